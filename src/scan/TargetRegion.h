#ifndef PIXSTREAM_TARGETREGION_H
#define PIXSTREAM_TARGETREGION_H

// PIXSTREAM_TARGET_BEGIN("isa,...") ... PIXSTREAM_TARGET_END compiles every
// function defined between them for those instruction sets, with GCC or
// clang, while the rest of the program keeps the baseline. A kernel's
// source includes every shared header first: an inline function compiled
// here could be the copy the linker keeps for the other scanners too, and
// fault on a CPU without the instruction set. Inside go only templates of
// the kernel's own types and the kernel itself, which no other source
// shares (tests/kernel_objects.sh checks the objects).

// NOLINTBEGIN(cppcoreguidelines-macro-usage): pragmas are only made by macros
#define PIXSTREAM_PRAGMA(text) _Pragma(#text)
#if defined(__clang__)
#define PIXSTREAM_TARGET_BEGIN(isa)                                                                          \
    PIXSTREAM_PRAGMA(clang attribute push(__attribute__((target(isa))), apply_to = function))
#define PIXSTREAM_TARGET_END PIXSTREAM_PRAGMA(clang attribute pop)
#else
#define PIXSTREAM_TARGET_BEGIN(isa) PIXSTREAM_PRAGMA(GCC push_options) PIXSTREAM_PRAGMA(GCC target(isa))
#define PIXSTREAM_TARGET_END PIXSTREAM_PRAGMA(GCC pop_options)
#endif
// NOLINTEND(cppcoreguidelines-macro-usage)

#endif
