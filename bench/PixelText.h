#ifndef PIXSTREAM_BENCH_PIXELTEXT_H
#define PIXSTREAM_BENCH_PIXELTEXT_H

#include <cstddef>
#include <cstdint>
#include <cstring>

// Deterministic JSON pixel text for the benchmarks, written a buffer at a time
// so that inputs of any length never have to exist in memory as a whole.
//
// The first four layouts carry the same pixels for the same seed, and the
// keyed layout uses keys and names without digits, so all four convert to the
// same bytes: a cheap check that layout never changes the output. Every block
// scanner takes every input; the next four put digits where the first four
// have none, to show what each costs: digits in keys, digits parted by a
// space ("2 55" is 255, so a scanner closes the gap or packs the window
// before reading it), runs of four digits ("0255" is 25 then 5), and random
// bytes weighted towards the ones that matter.
//
// The three after them are JSON that people have at hand rather than pixels
// written for the program: colours normalised to 0..1 as decimals
// ("0.333"), GeoJSON coordinates of 11 digits or more ("-122.4194155123"),
// and a 3D mesh's float triples ("-0.4871262", "1.25e-05"). The program
// reads their digits by its own rules, across the points, signs and
// exponents, so their pixels are not the drawn ones; they show its speed on
// such text.
enum class Layout {
    compact,
    spaced,
    pretty,
    keyed,
    numbered,
    split,
    padded,
    noise,
    decimal,
    longNumbers,
    mesh
};

// The layouts' names on the command line, in the order of Layout.
inline constexpr const char* layoutNames[] = {"compact", "spaced", "pretty",  "keyed", "numbered", "split",
                                              "padded",  "noise",  "decimal", "long",  "mesh"};
inline constexpr int layoutCount = sizeof layoutNames / sizeof layoutNames[0];

class PixelText {
public:
    // The most text one pixel can take, separators and a keyed frame change
    // included; fill() stops when less room than this is left.
    static constexpr std::size_t maxPixelText = 128;
    // Pixels per frame object in the keyed layout.
    static constexpr std::uint64_t framePixels = 1000;
    // Vertices per mesh in the mesh layout, each followed by its normals.
    static constexpr std::uint64_t meshVertices = 1000;

    PixelText(Layout form, std::uint64_t seed) : layout(form), state(seed) {
        for (unsigned v = 0; v < 256; ++v) {
            char* p = decimal[v];
            if (v >= 100) {
                *p++ = static_cast<char>('0' + v / 100);
            }
            if (v >= 10) {
                *p++ = static_cast<char>('0' + v / 10 % 10);
            }
            *p++ = static_cast<char>('0' + v % 10);
            length[v] = static_cast<std::uint8_t>(p - decimal[v]);
        }
    }

    // Appends whole pixels to out[0..size), at least one when size allows;
    // returns the number of bytes written.
    std::size_t fill(char* out, std::size_t size) {
        char* p = out;
        while (static_cast<std::size_t>(out + size - p) >= maxPixelText) {
            p = pixel(p);
        }
        return static_cast<std::size_t>(p - out);
    }

    // Writes the text that closes the document (at most maxPixelText bytes).
    std::size_t finish(char* out) const {
        const char* text = "]\n";
        if (layout == Layout::pretty) {
            text = pixels == 0 ? "[]\n" : "\n]\n";
        } else if (layout == Layout::keyed) {
            text = pixels == 0 ? "{\"frames\":[]}\n" : "]}]}\n";
        } else if (layout == Layout::numbered) {
            text = pixels == 0 ? "{}\n" : "]}}\n";
        } else if (layout == Layout::noise) {
            text = "\n";
        } else if (layout == Layout::longNumbers) {
            text = pixels == 0 ? "{\"type\":\"LineString\",\"coordinates\":[]}\n" : "]}\n";
        } else if (layout == Layout::mesh) {
            text = pixels == 0 ? "{\"meshes\":[]}\n" : "]}]}\n";
        } else if (pixels == 0) {
            text = "[]\n";
        }
        std::memcpy(out, text, std::strlen(text));
        return std::strlen(text);
    }

    std::uint64_t pixelCount() const { return pixels; }

private:
    // splitmix64: fast, and the same on every platform and compiler.
    std::uint64_t draw64() {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15u);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
        return z ^ (z >> 31);
    }

    // The next pixel's four colour values, one per byte.
    std::uint32_t draw() { return static_cast<std::uint32_t>(draw64()); }

    char* put(char* p, const char* text) const {
        const std::size_t n = std::strlen(text);
        std::memcpy(p, text, n);
        return p + n;
    }

    char* value(char* p, unsigned v) const {
        std::memcpy(p, decimal[v], 4);
        return p + length[v];
    }

    static std::uint64_t power10(unsigned n) {
        std::uint64_t power = 1;
        while (n-- > 0) {
            power *= 10;
        }
        return power;
    }

    // units / 10^places in decimal, with trailing zeros of the fraction
    // dropped down to keep places: (1500, 3, 3) is "1.500", (1500, 3, 1)
    // "1.5", (1000, 3, 1) "1.0" and (1000, 3, 0) "1".
    static char* fixed(char* p, std::uint64_t units, unsigned places, unsigned keep) {
        const std::uint64_t scale = power10(places);
        char whole[20];
        int n = 0;
        for (std::uint64_t w = units / scale; n == 0 || w != 0; w /= 10) {
            whole[n++] = static_cast<char>('0' + w % 10);
        }
        while (n > 0) {
            *p++ = whole[--n];
        }
        *p++ = '.';
        std::uint64_t fraction = units % scale;
        for (unsigned i = places; i-- > 0; fraction /= 10) {
            p[i] = static_cast<char>('0' + fraction % 10);
        }
        p += places;
        for (unsigned kept = places; kept > keep && p[-1] == '0'; --kept) {
            --p;
        }
        return p[-1] == '.' ? p - 1 : p;
    }

    // A signed number with ten decimal places, from -offset to range - offset
    // (both in units of 1e-10).
    char* coordinate(char* p, std::uint64_t range, std::uint64_t offset) {
        const std::uint64_t units = draw64() % range;
        if (units < offset) {
            *p++ = '-';
            return fixed(p, offset - units, 10, 10);
        }
        return fixed(p, units - offset, 10, 10);
    }

    // A float as printf's %g writes it, the way 3D tools export float32:
    // significand holds its `precision` significant digits, the first of them
    // at 10^exponent. As with %g, trailing zeros of the fraction are dropped,
    // and below 1e-4 it takes the exponent form: (125000000, 9, -5) is
    // "1.25e-05", (125078130, 9, 1) "12.507813". Exponents from -9 to
    // precision - 1 only, which is all the mesh layout draws.
    static char* general(char* p, std::uint64_t significand, unsigned precision, int exponent) {
        char digits[20] = {};
        for (unsigned i = precision; i-- > 0; significand /= 10) {
            digits[i] = static_cast<char>('0' + significand % 10);
        }
        unsigned end = precision;
        const unsigned whole = exponent > 0 ? static_cast<unsigned>(exponent) + 1 : 1;
        while (end > whole && digits[end - 1] == '0') {
            --end;
        }
        if (exponent < -4) {
            *p++ = digits[0];
            if (end > 1) {
                *p++ = '.';
                std::memcpy(p, digits + 1, end - 1);
                p += end - 1;
            }
            const auto magnitude = static_cast<unsigned>(-exponent);
            *p++ = 'e';
            *p++ = '-';
            *p++ = static_cast<char>('0' + magnitude / 10);
            *p++ = static_cast<char>('0' + magnitude % 10);
            return p;
        }
        if (exponent < 0) {
            *p++ = '0';
            *p++ = '.';
            for (int i = -1; i > exponent; --i) {
                *p++ = '0';
            }
            std::memcpy(p, digits, end);
            return p + end;
        }
        std::memcpy(p, digits, whole);
        p += whole;
        if (end > whole) {
            *p++ = '.';
            std::memcpy(p, digits + whole, end - whole);
            p += end - whole;
        }
        return p;
    }

    // A signed float of six to nine significant digits, its first one at
    // 10^exponent.
    char* meshNumber(char* p, int exponent) {
        const std::uint64_t r = draw64();
        if ((r & 1u) != 0) {
            *p++ = '-';
        }
        const auto precision = static_cast<unsigned>(6 + (r >> 1 & 3u));
        const std::uint64_t lowest = power10(precision - 1);
        return general(p, lowest + (r >> 8) % (9 * lowest), precision, exponent);
    }

    // A vertex: coordinates from about 1e-5 to 100 model units, most of them
    // between 0.1 and 100; one in 32 is small enough for the exponent form.
    char* vertex(char* p) {
        static constexpr int exponents[32] = {1, 1, 1, 1, 1,  1,  1,  1,  0,  0,  0,  0,  0,  0,  0,  0,
                                              0, 0, 0, 0, -1, -1, -1, -1, -1, -1, -1, -1, -2, -2, -3, -5};
        p = put(p, "[");
        for (int i = 0; i < 3; ++i) {
            p = meshNumber(p, exponents[draw() % 32]);
            p = put(p, i < 2 ? "," : "]");
        }
        return p;
    }

    // A normal, one in four along an axis: there the other two components
    // are 0 or what a rotation left of it in float32 ("-4.371139e-08"). The
    // components are drawn each alone, so normals are not of unit length;
    // only their text matters here.
    char* normal(char* p) {
        static constexpr int exponents[16] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -2, -2, -2, -3};
        const std::uint32_t style = draw();
        const std::uint32_t axis = (style >> 2) % 3;
        p = put(p, "[");
        for (std::uint32_t i = 0; i < 3; ++i) {
            if ((style & 3u) != 0) {
                p = meshNumber(p, exponents[draw() % 16]);
            } else if (i == axis) {
                p = put(p, (style & 32u) != 0 ? "-1" : "1");
            } else if ((style >> (6 + i) & 1u) != 0) {
                p = meshNumber(p, -8);
            } else {
                p = put(p, "0");
            }
            p = put(p, i < 2 ? "," : "]");
        }
        return p;
    }

    // One pixel as a compact array: "[1,2,3,4]".
    char* array(char* p, std::uint32_t colors) const {
        p = put(p, "[");
        for (int i = 0; i < 4; ++i) {
            p = value(p, colors >> (8 * i) & 0xFFu);
            p = put(p, i < 3 ? "," : "]");
        }
        return p;
    }

    char* pixel(char* p) {
        const std::uint32_t colors = draw();
        const bool first = pixels == 0;
        switch (layout) {
        case Layout::compact:
        case Layout::spaced: {
            const char* comma = layout == Layout::spaced ? ", " : ",";
            p = put(p, first ? "[[" : layout == Layout::spaced ? ", [" : ",[");
            for (int i = 0; i < 4; ++i) {
                p = value(p, colors >> (8 * i) & 0xFFu);
                p = put(p, i < 3 ? comma : "]");
            }
            break;
        }
        case Layout::pretty:
            // The layout of `jq .` and Python's json.dumps(indent=2).
            p = put(p, first ? "[\n  [\n    " : ",\n  [\n    ");
            for (int i = 0; i < 4; ++i) {
                p = value(p, colors >> (8 * i) & 0xFFu);
                p = put(p, i < 3 ? ",\n    " : "\n  ]");
            }
            break;
        case Layout::numbered:
            // A frame object with numbered keys for every six pixels.
            if (pixels % 6 == 0) {
                p = put(p, first ? "{" : "]},");
                p = put(p, "\"frame");
                p = value(p, static_cast<unsigned>(pixels / 6 % 256));
                p = put(p, "\":{\"w\":3,\"h\":2,\"pixels\":[");
            } else {
                p = put(p, ",");
            }
            p = array(p, colors);
            break;
        case Layout::split:
        case Layout::padded:
            p = put(p, first ? "[[" : ",[");
            for (int i = 0; i < 4; ++i) {
                const unsigned v = colors >> (8 * i) & 0xFFu;
                if (layout == Layout::split) {
                    *p++ = decimal[v][0];
                    *p++ = ' ';
                    p = put(p, decimal[v] + 1);
                } else {
                    *p++ = '0';
                    *p++ = static_cast<char>('0' + v / 100);
                    *p++ = static_cast<char>('0' + v / 10 % 10);
                    *p++ = static_cast<char>('0' + v % 10);
                }
                p = put(p, i < 3 ? "," : "]");
            }
            break;
        case Layout::noise:
            for (int i = 0; i < 16; ++i) {
                static const char alphabet[] = "0123456789012345,,,]][ \n\"-.:a{}";
                *p++ = alphabet[draw() % (sizeof alphabet - 1)];
            }
            break;
        case Layout::decimal: {
            // Each colour as v / 255 rounded to one to four places, trailing
            // zeros dropped, and whole numbers as JavaScript ("1") or Python
            // ("1.0") prints them; three pixels in four are opaque.
            const std::uint32_t style = draw();
            p = put(p, first ? "[[" : ",[");
            for (int i = 0; i < 4; ++i) {
                const unsigned v = i == 3 && (style & 3u) != 0 ? 255 : colors >> (8 * i) & 0xFFu;
                const unsigned places = 1 + (style >> (2 + 2 * i) & 3u);
                // Rounded to nearest: v * 10^places / 255 never ends in a half.
                p = fixed(p, (v * power10(places) * 2 + 255) / 510, places, style >> 10 & 1u);
                p = put(p, i < 3 ? "," : "]");
            }
            break;
        }
        case Layout::longNumbers:
            // A GPS track as GeoJSON: longitude, latitude and elevation in
            // metres, each to ten places, as converted and projected
            // coordinates come out unrounded.
            p = put(p, first ? "{\"type\":\"LineString\",\"coordinates\":[[" : ",[");
            p = coordinate(p, 3600000000000, 1800000000000);
            p = put(p, ",");
            p = coordinate(p, 1800000000000, 900000000000);
            p = put(p, ",");
            p = coordinate(p, 45000000000000, 1000000000000);
            p = put(p, "]");
            break;
        case Layout::mesh: {
            // A scene as a 3D tool exports it: for each mesh its vertices as
            // [x,y,z] triples, then as many normals. A pixel is one triple.
            const std::uint64_t item = pixels % (2 * meshVertices);
            if (first) {
                p = put(p, "{\"meshes\":[{\"vertices\":[");
            } else if (item == 0) {
                p = put(p, "]},{\"vertices\":[");
            } else if (item == meshVertices) {
                p = put(p, "],\"normals\":[");
            } else {
                p = put(p, ",");
            }
            p = item < meshVertices ? vertex(p) : normal(p);
            break;
        }
        case Layout::keyed:
            if (first) {
                p = put(p, "{\"frames\":[{\"name\":\"frame\",\"pixels\":[");
            } else if (pixels % framePixels == 0) {
                p = put(p, "]},{\"name\":\"frame\",\"pixels\":[");
            } else {
                p = put(p, ",");
            }
            p = array(p, colors);
            break;
        }
        ++pixels;
        return p;
    }

    Layout layout;
    std::uint64_t state;
    std::uint64_t pixels = 0;
    char decimal[256][4] = {};
    std::uint8_t length[256] = {};
};

#endif
