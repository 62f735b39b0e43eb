#ifndef PIXSTREAM_TARGETREGION_H
#define PIXSTREAM_TARGETREGION_H

// PIXSTREAM_TARGET_BEGIN("isa,...") ... PIXSTREAM_TARGET_END compiles every
// function defined between them for those instruction sets, with GCC or
// clang, while the rest of the program keeps the baseline. Standard and
// system headers go before a region, as with any target pragma: an inline
// function of theirs compiled inside could be the copy the linker keeps for
// the whole program, and fault on a CPU without the instruction set. Every
// function of the project's own headers is a template of a kernel's own
// types or has internal linkage, so none is shared between sources
// (tests/kernel_objects.sh checks the objects); the algorithm's templates
// are included inside, so that they are compiled for the region.

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
