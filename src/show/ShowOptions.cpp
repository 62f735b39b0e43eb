#include "ShowOptions.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>

const char showUsage[] = "usage: pixstream-show --leds N [--scale K] [--png FILE]\n";

namespace {

// Writes the message, its parts in turn, and the usage line; returns false.
bool badUse(std::initializer_list<const char*> message) {
    std::fputs("pixstream-show: ", stderr);
    for (const char* part : message) {
        std::fputs(part, stderr);
    }
    std::fputs("\n", stderr);
    std::fputs(showUsage, stderr);
    return false;
}

// A decimal number from 1 to ShowOptions::maxRow, digits only: no sign, no
// white space, no suffix, so that "60x" or " 60" is a mistake caught, not a
// number guessed. Digits are added while the value is still in range, so a
// number of any length cannot overflow.
bool positive(const char* option, const char* text, std::size_t& value) {
    if (*text == '\0') {
        return badUse({option, " needs a positive integer"});
    }
    std::size_t n = 0;
    bool tooLarge = false;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') {
            return badUse({option, ": '", text, "' is not a positive integer"});
        }
        n = n * 10 + static_cast<std::size_t>(*c - '0');
        if (n > ShowOptions::maxRow) {
            tooLarge = true;
            n = ShowOptions::maxRow + 1; // stays put from here on
        }
    }
    if (n == 0) {
        return badUse({option, ": '", text, "' is not a positive integer"});
    }
    if (tooLarge) {
        return badUse({option, ": '", text, "' is too large (at most 1000000)"});
    }
    value = n;
    return true;
}

// Matches "--name" or "--name=value" in argv[i]. The value is the text after
// '=' or else the next argument, which is then taken too. False when the
// argument is another option; missing is set when the value is absent.
bool takes(const char* name, int argc, char** argv, int& i, const char*& value, bool& missing) {
    const char* arg = argv[i];
    const std::size_t length = std::strlen(name);
    if (std::strncmp(arg, name, length) != 0 || (arg[length] != '\0' && arg[length] != '=')) {
        return false;
    }
    missing = false;
    if (arg[length] == '=') {
        value = arg + length + 1;
    } else if (i + 1 < argc) {
        value = argv[++i];
    } else {
        missing = true;
    }
    return true;
}

} // namespace

bool ShowOptions::parse(int argc, char** argv, ShowOptions& options) {
    bool hasLeds = false;
    for (int i = 1; i < argc; ++i) {
        const char* value = nullptr;
        bool missing = false;
        if (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0) {
            options.help = true;
            return true;
        }
        if (takes("--leds", argc, argv, i, value, missing)) {
            if (missing) {
                return badUse({"--leds needs a positive integer"});
            }
            if (!positive("--leds", value, options.leds)) {
                return false;
            }
            hasLeds = true;
        } else if (takes("--scale", argc, argv, i, value, missing)) {
            if (missing) {
                return badUse({"--scale needs a positive integer"});
            }
            if (!positive("--scale", value, options.scale)) {
                return false;
            }
        } else if (takes("--png", argc, argv, i, value, missing)) {
            if (missing || *value == '\0') {
                return badUse({"--png needs a file name"});
            }
            options.png = value;
        } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
            return badUse({"unknown option '", argv[i], "'"});
        } else {
            return badUse({"unexpected argument '", argv[i], "'"});
        }
    }
    if (!hasLeds) {
        return badUse({"--leds is required"});
    }
    if (options.leds * options.scale > maxRow) {
        return badUse({"--leds times --scale is more than 1000000"});
    }
    return true;
}
