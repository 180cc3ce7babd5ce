// Base64 with the alphabet and '=' padding of RFC 4648 (no line breaks): into caller buffers,
// into buffers allocated on the library heap (release them with MemFree), and for
// NUL-terminated strings. Nothing is validated: bytes outside the alphabet decode with the
// value 255 and give wrong bytes, as agents rely on. No state is kept between calls.
#ifndef TKV_BASE64_H
#define TKV_BASE64_H

#include "tkv/export.h"

namespace TKV {

// 4 * ceil(n / 3): the characters of an encoding, padding included, no terminator.
TKV_API int Base64CalcEncodedSize(int bytes);
// n - n / 4: room for the bytes of n padded characters, no terminator.
TKV_API int Base64CalcDecodedSize(int characters);

// Encodes `count` bytes into `out` (Base64CalcEncodedSize characters, no terminator); stores the
// character count in `written` when not null; returns `out`.
TKV_API unsigned char* Base64Encode(unsigned char* in, unsigned char* out, int count, int* written);
// The same into a new NUL-terminated heap block; null when the heap refuses.
TKV_API unsigned char* Base64Encode(unsigned char* in, int count, int* written);
// The bytes of `s` without its NUL, as above; null for null.
TKV_API unsigned char* Base64EncodeString(const char* s, int* written);

// Decodes `count` characters into `out` (Base64CalcDecodedSize bytes, no terminator); returns
// the number of bytes written. A '=' in a quantum's first place ends the decoding.
TKV_API int Base64Decode(unsigned char* in, unsigned char* out, int count, unsigned char** unused);
// The same into a new zero-filled heap block, NUL after the bytes; `decoded` gets the count.
TKV_API unsigned char* Base64Decode(unsigned char* in, int count, unsigned char** unused,
                                    int* decoded);
// The decoded bytes as a narrow temporary string (ending at the first 0 byte); null for null
// or empty input or on failure.
TKV_API const char* Base64DecodeString(const char* s, unsigned int unused);
// Through the narrow text of `s` in `codePage` and back to a wide temporary string.
TKV_API const wchar_t* Base64DecodeString(const wchar_t* s, unsigned int codePage);

}  // namespace TKV

#endif  // TKV_BASE64_H
