#include "PngRowWriter.h"

#include "RawIo.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>

PngRowWriter::PngRowWriter(int fd)
    : output(fd), png(png_create_write_struct(PNG_LIBPNG_VER_STRING, this, onError, onWarning)),
      info(png == nullptr ? nullptr : png_create_info_struct(png)) {
    if (info == nullptr) {
        std::snprintf(libpngMessage, sizeof libpngMessage, "libpng: out of memory");
    }
}

PngRowWriter::~PngRowWriter() { png_destroy_write_struct(&png, &info); }

bool PngRowWriter::start(std::uint32_t width, std::uint32_t height) {
    if (info == nullptr) {
        return false;
    }
    // NOLINTNEXTLINE(cert-err52-cpp): libpng's errors come back this way only
    if (setjmp(png_jmpbuf(png)) != 0) {
        return false;
    }
    png_set_write_fn(png, this, onWrite, onFlush);
    // A PNG may be 2^31 - 1 pixels each way; libpng's default limits of a
    // million are for readers that fear a hostile file, not for this writer.
    png_set_user_limits(png, 0x7fffffff, 0x7fffffff);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    return true;
}

bool PngRowWriter::writeRow(const std::uint8_t* rgb) {
    // NOLINTNEXTLINE(cert-err52-cpp): as in start
    if (setjmp(png_jmpbuf(png)) != 0) {
        return false;
    }
    png_write_row(png, rgb);
    return true;
}

bool PngRowWriter::finish() {
    // NOLINTNEXTLINE(cert-err52-cpp): as in start
    if (setjmp(png_jmpbuf(png)) != 0) {
        return false;
    }
    png_write_end(png, nullptr);
    return true;
}

const char* PngRowWriter::message() const {
    return writeErrno != 0 ? std::strerror(writeErrno) : libpngMessage;
}

void PngRowWriter::onWrite(png_structp png, png_bytep data, std::size_t n) {
    auto* self = static_cast<PngRowWriter*>(png_get_io_ptr(png));
    if (!writeAll(self->output, data, n)) {
        self->writeErrno = errno != 0 ? errno : EIO;
        png_error(png, "write failed");
    }
}

// Every row goes to the descriptor as it is written; there is no buffer here.
void PngRowWriter::onFlush(png_structp /*png*/) {}

void PngRowWriter::onError(png_structp png, png_const_charp text) {
    auto* self = static_cast<PngRowWriter*>(png_get_error_ptr(png));
    std::snprintf(self->libpngMessage, sizeof self->libpngMessage, "libpng: %s", text);
    png_longjmp(png, 1);
}

// Warnings concern chunks this writer never sets; they would only be noise.
void PngRowWriter::onWarning(png_structp /*png*/, png_const_charp /*text*/) {}
