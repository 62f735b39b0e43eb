#ifndef PIXSTREAM_SHOW_PNGROWWRITER_H
#define PIXSTREAM_SHOW_PNGROWWRITER_H

#include <png.h>

#include <cstdint>

// Writes an 8-bit RGB PNG to a descriptor one row at a time, through libpng,
// so a picture of any height takes the memory of one row. Call start once,
// writeRow height times, then finish; each returns false on a failure and
// the writer is then done. message() says what failed: the write's errno
// text, or libpng's own message.
//
// libpng reports an error by longjmp back to the setjmp of the call that
// made it; each public call sets its own and keeps nothing with a
// destructor in between, so no C++ object is ever skipped over.
class PngRowWriter {
public:
    explicit PngRowWriter(int fd);
    ~PngRowWriter();
    PngRowWriter(const PngRowWriter&) = delete;
    PngRowWriter& operator=(const PngRowWriter&) = delete;

    bool start(std::uint32_t width, std::uint32_t height);
    // rgb: width pixels, three bytes each, red first.
    bool writeRow(const std::uint8_t* rgb);
    bool finish();

    const char* message() const;

private:
    static void onWrite(png_structp png, png_bytep data, std::size_t n);
    static void onFlush(png_structp png);
    static void onError(png_structp png, png_const_charp text);
    static void onWarning(png_structp png, png_const_charp text);

    int output;
    png_structp png = nullptr;
    png_infop info = nullptr;
    int writeErrno = 0;
    char libpngMessage[128] = {};
};

#endif
