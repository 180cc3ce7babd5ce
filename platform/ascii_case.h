// Case-insensitive comparison of narrow strings that folds A-Z only, whatever locale the
// program has set. Internal to the library.
#ifndef TKV_PLATFORM_ASCII_CASE_H
#define TKV_PLATFORM_ASCII_CASE_H

#include <stddef.h>

namespace TKV::platform {

// Negative, zero or positive as a sorts before, with or after b, both folded to lower case.
int CompareNoCaseA(const char* a, const char* b);
// The same over at most count characters.
int CompareNoCaseNA(const char* a, const char* b, size_t count);

}  // namespace TKV::platform

#endif  // TKV_PLATFORM_ASCII_CASE_H
