#pragma once

// Marks a function that every tracker sample runs through, from the receive to the
// output's send. GCC puts such functions in the hot text section, which the ELF
// linker lays out as one stretch: a sample arriving after an idle stretch (caches and
// address translations gone cold) then meets a few pages of code instead of one or
// two per function. (The Windows linker keeps them beside their own file's code.)
#if defined(__GNUC__)
#define STRIVO_HOT_PATH [[gnu::hot]]
#else
#define STRIVO_HOT_PATH
#endif
