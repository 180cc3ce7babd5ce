// The rings of temporary strings: short-lived text that a function returns without the caller
// owning it. A temporary string belongs to its ring: the caller never frees it, and it stays
// valid until 256 further requests of the same width have been made by any thread.
#ifndef TKV_TMP_STRING_H
#define TKV_TMP_STRING_H

#include "tkv/export.h"

namespace TKV {

// Points s at the next temporary string of the ring with room for count characters (NUL
// included), empty; returns 1. Returns 0, s untouched, for count 0 or above 512000.
TKV_API unsigned int TKVGetTmpString(char*& s, unsigned int count);
TKV_API unsigned int TKVGetTmpString(wchar_t*& s, unsigned int count);

}  // namespace TKV

#endif  // TKV_TMP_STRING_H
