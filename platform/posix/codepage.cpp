// Code-page conversion: UTF-8 (and the ANSI code page, which is UTF-8 here) is converted by hand,
// every other code page through iconv. Malformed input never fails the call unless the caller
// asks for it: as on Windows it becomes U+FFFD (to wide) or the default character (to narrow).
#include "platform/codepage.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <initializer_list>

namespace {

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

bool IsUtf8(UINT cp) {
    return cp == CP_ACP || cp == CP_OEMCP || cp == CP_THREAD_ACP || cp == CP_UTF8;
}

// iconv's name for a Windows code page number, or null when the number is unknown here.
const char* IconvName(UINT cp) {
    switch (cp) {
        case CP_MACCP:
        case 10000:
            return "MACINTOSH";
        case CP_UTF7:
            return "UTF-7";
        case 20127:
            return "ASCII";
        case 20866:
            return "KOI8-R";
        case 21866:
            return "KOI8-U";
        case 54936:
            return "GB18030";
        case 51932:
        case 20932:
            return "EUC-JP";
        case 51949:
            return "EUC-KR";
        case 50220:
            return "ISO-2022-JP";
        case 932:
            return "CP932";
        case 936:
            return "CP936";
        case 949:
            return "CP949";
        case 950:
            return "CP950";
        case 437:
            return "CP437";
        case 850:
            return "CP850";
        case 852:
            return "CP852";
        case 866:
            return "CP866";
        case 874:
            return "CP874";
        case 1250:
            return "CP1250";
        case 1251:
            return "CP1251";
        case 1252:
            return "CP1252";
        case 1253:
            return "CP1253";
        case 1254:
            return "CP1254";
        case 1255:
            return "CP1255";
        case 1256:
            return "CP1256";
        case 1257:
            return "CP1257";
        case 1258:
            return "CP1258";
        case 28591:
            return "ISO-8859-1";
        case 28592:
            return "ISO-8859-2";
        case 28593:
            return "ISO-8859-3";
        case 28594:
            return "ISO-8859-4";
        case 28595:
            return "ISO-8859-5";
        case 28596:
            return "ISO-8859-6";
        case 28597:
            return "ISO-8859-7";
        case 28598:
            return "ISO-8859-8";
        case 28599:
            return "ISO-8859-9";
        case 28603:
            return "ISO-8859-13";
        case 28605:
            return "ISO-8859-15";
        default:
            return nullptr;
    }
}

// Decodes UTF-8, replacing each maximal ill-formed subsequence with U+FFFD. Returns false on the
// first ill-formed sequence when strict.
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

// Encodes wide text as UTF-8. A surrogate pair (text that came from UTF-16) becomes one
// character; a lone surrogate or a value above U+10FFFF becomes U+FFFD.
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

// One iconv descriptor per direction, kept per thread (a descriptor is not thread-safe) and
// reopened only when the thread switches code page.
class IconvCache {
  public:
    ~IconvCache() { Close(); }

    iconv_t Get(UINT cp, bool toWide) {
        Entry& e = toWide ? m_toWide : m_toNarrow;
        if (e.cd != reinterpret_cast<iconv_t>(-1) && e.cp == cp) {
            iconv(e.cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial shift state
            return e.cd;
        }
        if (e.cd != reinterpret_cast<iconv_t>(-1))
            iconv_close(e.cd);
        const char* name = IconvName(cp);
        e.cd = toWide ? iconv_open("WCHAR_T", name) : iconv_open(name, "WCHAR_T");
        e.cp = cp;
        return e.cd;
    }

  private:
    struct Entry {
        iconv_t cd = reinterpret_cast<iconv_t>(-1);
        UINT cp = 0;
    };
    void Close() {
        for (Entry* e : {&m_toWide, &m_toNarrow})
            if (e->cd != reinterpret_cast<iconv_t>(-1))
                iconv_close(e->cd);
    }
    Entry m_toWide, m_toNarrow;
};

thread_local IconvCache t_iconv;

// Runs iconv over the whole input through a scratch buffer into the sink; ill-formed or
// unmappable input units become the replacement, one per skipped unit.
template <typename In, typename Out>
bool ConvertIconv(iconv_t cd, const In* src, size_t n, bool strict, const Out* replacement,
                  size_t replacementLen, BOOL* usedReplacement, Sink<Out>& out) {
    char* in = const_cast<char*>(reinterpret_cast<const char*>(src));
    size_t inLeft = n * sizeof(In);
    Out scratch[256];
    bool flushing = false;
    for (;;) {
        char* o = reinterpret_cast<char*>(scratch);
        size_t oLeft = sizeof(scratch);
        size_t r = flushing ? iconv(cd, nullptr, nullptr, &o, &oLeft)
                            : iconv(cd, &in, &inLeft, &o, &oLeft);
        const int err = errno;
        const size_t produced = (sizeof(scratch) - oLeft) / sizeof(Out);
        for (size_t k = 0; k < produced; ++k)
            out.Put(scratch[k]);
        if (r != static_cast<size_t>(-1)) {
            if (flushing)
                return true;
            flushing = true;
            continue;
        }
        if (err == E2BIG)
            continue;
        if (strict)
            return false;
        if (usedReplacement != nullptr)
            *usedReplacement = TRUE;
        for (size_t k = 0; k < replacementLen; ++k)
            out.Put(replacement[k]);
        if (err == EILSEQ && inLeft >= sizeof(In)) {
            in += sizeof(In);
            inLeft -= sizeof(In);
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        } else {
            inLeft = 0;  // EINVAL: an incomplete sequence at the end
            flushing = true;
        }
    }
}

// The checks and counting rules both directions share; returns -1 when the arguments fail.
template <typename In, typename Out>
int CheckArgs(const In* src, int srcCount, Out* dst, int dstCount, size_t& n) {
    if (src == nullptr || srcCount == 0 || srcCount < -1 || dstCount < 0 ||
        (dst == nullptr && dstCount != 0) ||
        (dst != nullptr && static_cast<const void*>(src) == static_cast<const void*>(dst))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    if (srcCount == -1) {
        if constexpr (sizeof(In) == 1)
            n = std::strlen(reinterpret_cast<const char*>(src)) + 1;
        else
            n = std::wcslen(reinterpret_cast<const wchar_t*>(src)) + 1;
    } else {
        n = static_cast<size_t>(srcCount);
    }
    return 0;
}

template <typename Out>
int Finish(bool ok, const Sink<Out>& out) {
    if (!ok) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    if (out.overflow) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (out.count > 0x7FFFFFFF) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return static_cast<int>(out.count);
}

}  // namespace

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR src, int srcBytes, LPWSTR dst,
                        int dstCount) {
    size_t n = 0;
    if (CheckArgs(src, srcBytes, dst, dstCount, n) < 0)
        return 0;
    if ((flags & ~MB_ERR_INVALID_CHARS) != 0) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    const bool strict = (flags & MB_ERR_INVALID_CHARS) != 0;
    Sink<wchar_t> out{dst, static_cast<size_t>(dstCount)};
    if (IsUtf8(codePage))
        return Finish(DecodeUtf8(reinterpret_cast<const unsigned char*>(src), n, strict, out), out);
    if (IconvName(codePage) == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    iconv_t cd = t_iconv.Get(codePage, true);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const wchar_t replacement = static_cast<wchar_t>(kReplacement);
    return Finish(ConvertIconv(cd, src, n, strict, &replacement, 1, nullptr, out), out);
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR src, int srcCount, LPSTR dst,
                        int dstBytes, LPCSTR defaultChar, BOOL* usedDefaultChar) {
    size_t n = 0;
    if (CheckArgs(src, srcCount, dst, dstBytes, n) < 0)
        return 0;
    if ((flags & ~WC_ERR_INVALID_CHARS) != 0) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    const bool strict = (flags & WC_ERR_INVALID_CHARS) != 0;
    Sink<char> out{dst, static_cast<size_t>(dstBytes)};
    if (IsUtf8(codePage)) {
        // UTF-8 can hold every character, so Windows refuses a default character for it.
        if (defaultChar != nullptr || usedDefaultChar != nullptr) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        return Finish(EncodeUtf8(src, n, strict, out), out);
    }
    if (IconvName(codePage) == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    iconv_t cd = t_iconv.Get(codePage, false);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (usedDefaultChar != nullptr)
        *usedDefaultChar = FALSE;
    const char* replacement = defaultChar != nullptr ? defaultChar : "?";
    return Finish(ConvertIconv(cd, src, n, strict, replacement, std::strlen(replacement),
                               usedDefaultChar, out),
                  out);
}
