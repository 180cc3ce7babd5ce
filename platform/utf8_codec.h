// UTF-8 to and from wide text (UTF-32 here, UTF-16 where wchar_t has 16 bits) with the Windows
// rules for malformed input, for the code-page conversion of every platform that lacks one.
// Internal to the library.
#ifndef TKV_PLATFORM_UTF8_CODEC_H
#define TKV_PLATFORM_UTF8_CODEC_H

#include <stddef.h>
#include <stdint.h>

namespace TKV::platform {

constexpr uint32_t kReplacement = 0xFFFD;

// Collects output: counts only when dst is null, else writes up to cap units.
template <typename CharT>
struct Sink {
    CharT* dst;
    size_t cap;
    size_t count = 0;
    bool overflow = false;

    void Put(CharT c) {
        if (dst != nullptr) {
            if (count >= cap) {
                overflow = true;
                return;
            }
            dst[count] = c;
        }
        ++count;
    }

    // k ASCII units at once, in either width.
    template <typename Src>
    void PutAscii(const Src* src, size_t k) {
        if (dst != nullptr) {
            if (count + k > cap) {
                for (size_t x = 0; x < k; ++x)
                    Put(static_cast<CharT>(src[x]));
                return;
            }
            CharT* out = dst + count;
            for (size_t x = 0; x < k; ++x)
                out[x] = static_cast<CharT>(src[x]);
        }
        count += k;
    }
};

// Decodes UTF-8, replacing each maximal ill-formed subsequence with U+FFFD. Returns false on the
// first ill-formed sequence when strict.
bool DecodeUtf8(const unsigned char* s, size_t n, bool strict, Sink<wchar_t>& out);

// Encodes wide text as UTF-8. A surrogate pair (text that came from UTF-16) becomes one
// character; a lone surrogate or a value above U+10FFFF becomes U+FFFD.
bool EncodeUtf8(const wchar_t* s, size_t n, bool strict, Sink<char>& out);

}  // namespace TKV::platform

#endif  // TKV_PLATFORM_UTF8_CODEC_H
