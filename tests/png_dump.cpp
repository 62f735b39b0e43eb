// Reads a PNG on standard input with libpng and prints it as text the end-to-end tests compare
// byte for byte: "WIDTH HEIGHT COLOUR_TYPE BIT_DEPTH" on the first line, then
// one line per row, each pixel as six hex digits, red first, separated by
// spaces. Status 1, with libpng's message, if the file is not a whole PNG.
// Usage: png_dump < FILE
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <vector>

namespace {

// Reads and prints the picture; false on any libpng error. The rows are held in one
// vector made before the setjmp, so the longjmp skips no destructor.
bool dump(std::FILE* file, std::vector<png_byte>& row) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png == nullptr ? nullptr : png_create_info_struct(png);
    if (info == nullptr) {
        return false;
    }
    // NOLINTNEXTLINE(cert-err52-cpp): libpng's errors come back this way only
    if (setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_init_io(png, file);
    png_set_user_limits(png, 0x7fffffff, 0x7fffffff);
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    std::printf("%u %u %d %d\n", width, height, png_get_color_type(png, info), png_get_bit_depth(png, info));
    if (png_get_color_type(png, info) != PNG_COLOR_TYPE_RGB || png_get_bit_depth(png, info) != 8) {
        png_error(png, "not 8-bit RGB");
    }
    row.resize(3 * static_cast<std::size_t>(width));
    for (png_uint_32 y = 0; y < height; ++y) {
        png_read_row(png, row.data(), nullptr);
        for (png_uint_32 x = 0; x < width; ++x) {
            std::printf("%s%02x%02x%02x", x == 0 ? "" : " ", row[3 * x], row[3 * x + 1], row[3 * x + 2]);
        }
        std::printf("\n");
    }
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

} // namespace

int main() {
    std::vector<png_byte> row;
    const bool read = dump(stdin, row);
    return read && std::fflush(stdout) == 0 ? 0 : 1;
}
