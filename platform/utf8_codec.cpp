#include "platform/utf8_codec.h"

#include <cstring>

namespace TKV::platform {
namespace {

// The length of the run of ASCII units at s (at most n), eight bytes at a time where it can.
size_t AsciiRun(const unsigned char* s, size_t n) {
    size_t j = 0;
    for (; j + 8 <= n; j += 8) {
        uint64_t word;
        std::memcpy(&word, s + j, 8);
        if ((word & 0x8080808080808080ull) != 0)
            break;
    }
    while (j < n && s[j] < 0x80)
        ++j;
    return j;
}

size_t AsciiRun(const wchar_t* s, size_t n) {
    size_t j = 0;
    for (; j + 4 <= n; j += 4) {
        const uint32_t any = static_cast<uint32_t>(s[j]) | static_cast<uint32_t>(s[j + 1]) |
                             static_cast<uint32_t>(s[j + 2]) | static_cast<uint32_t>(s[j + 3]);
        if (any >= 0x80)
            break;
    }
    while (j < n && static_cast<uint32_t>(s[j]) < 0x80)
        ++j;
    return j;
}

void PutUtf8(uint32_t cp, Sink<char>& out) {
    if (cp < 0x80) {
        out.Put(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.Put(static_cast<char>(0xC0 | (cp >> 6)));
        out.Put(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.Put(static_cast<char>(0xE0 | (cp >> 12)));
        out.Put(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.Put(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.Put(static_cast<char>(0xF0 | (cp >> 18)));
        out.Put(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.Put(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.Put(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

}  // namespace

bool DecodeUtf8(const unsigned char* s, size_t n, bool strict, Sink<wchar_t>& out) {
    size_t i = 0;
    while (i < n) {
        const unsigned b0 = s[i];
        if (b0 < 0x80) {
            const size_t run = AsciiRun(s + i, n - i);
            out.PutAscii(s + i, run);
            i += run;
            continue;
        }
        size_t need;
        unsigned lo = 0x80, hi = 0xBF;
        uint32_t cp;
        if (b0 >= 0xC2 && b0 <= 0xDF) {
            need = 1;
            cp = b0 & 0x1F;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            need = 2;
            cp = b0 & 0x0F;
            if (b0 == 0xE0)
                lo = 0xA0;
            else if (b0 == 0xED)
                hi = 0x9F;  // no encoded surrogates
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            need = 3;
            cp = b0 & 0x07;
            if (b0 == 0xF0)
                lo = 0x90;
            else if (b0 == 0xF4)
                hi = 0x8F;  // nothing above U+10FFFF
        } else {
            if (strict)
                return false;
            out.Put(static_cast<wchar_t>(kReplacement));
            ++i;
            continue;
        }
        size_t k = 1;
        bool ok = true;
        for (; k <= need; ++k) {
            if (i + k >= n) {
                ok = false;
                break;
            }
            const unsigned b = s[i + k];
            if (b < lo || b > hi) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (b & 0x3F);
            lo = 0x80;
            hi = 0xBF;
        }
        if (!ok) {
            if (strict)
                return false;
            out.Put(static_cast<wchar_t>(kReplacement));
            i += k;
            continue;
        }
        out.Put(static_cast<wchar_t>(cp));
        i += need + 1;
    }
    return true;
}

bool EncodeUtf8(const wchar_t* s, size_t n, bool strict, Sink<char>& out) {
    for (size_t i = 0; i < n; ++i) {
        uint32_t cp = static_cast<uint32_t>(s[i]);
        if (cp < 0x80) {
            const size_t run = AsciiRun(s + i, n - i);
            out.PutAscii(s + i, run);
            i += run - 1;
            continue;
        }
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n) {
            const uint32_t low = static_cast<uint32_t>(s[i + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
            if (strict)
                return false;
            cp = kReplacement;
        }
        PutUtf8(cp, out);
    }
    return true;
}

}  // namespace TKV::platform
