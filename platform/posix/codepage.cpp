// Code-page conversion: UTF-8 (and the ANSI code page, which is UTF-8 here) goes through the
// library's own codec (platform/utf8_codec.h), every other code page through iconv. Malformed input
// never fails the call unless the caller asks for it: as on Windows it becomes U+FFFD (to wide) or
// the default character (to narrow).
#include "platform/codepage.h"
#include "platform/utf8_codec.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <initializer_list>
#include <mutex>
#include <vector>

#include "platform/unload.h"

namespace {

using TKV::platform::DecodeUtf8;
using TKV::platform::EncodeUtf8;
using TKV::platform::kReplacement;
using TKV::platform::Sink;
using TKV::platform::UnloadOwned;

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

// Open iconv descriptors kept for reuse, as opening one costs far more than a short
// conversion. A descriptor is not thread-safe, so a conversion takes one out for its own use.
// Process-wide rather than thread-local: a thread-local with a destructor would keep the loader
// from unloading the library.
class IconvPool {
  public:
    ~IconvPool() {
        for (const Entry& e : m_idle)
            iconv_close(e.cd);
    }

    // An idle descriptor for the code page and direction, back in its initial shift state, or
    // a new one; (iconv_t)-1 when the code page cannot be opened.
    iconv_t Take(UINT cp, bool toWide) {
        {
            std::lock_guard<std::mutex> hold(m_lock);
            for (size_t i = m_idle.size(); i-- > 0;) {
                if (m_idle[i].cp == cp && m_idle[i].toWide == toWide) {
                    const iconv_t cd = m_idle[i].cd;
                    m_idle.erase(m_idle.begin() + static_cast<std::ptrdiff_t>(i));
                    iconv(cd, nullptr, nullptr, nullptr, nullptr);
                    return cd;
                }
            }
        }
        const char* name = IconvName(cp);
        return toWide ? iconv_open("WCHAR_T", name) : iconv_open(name, "WCHAR_T");
    }

    void Give(UINT cp, bool toWide, iconv_t cd) {
        {
            std::lock_guard<std::mutex> hold(m_lock);
            if (m_idle.size() < kMaxIdle) {
                m_idle.push_back({cd, cp, toWide});
                return;
            }
        }
        iconv_close(cd);
    }

  private:
    static constexpr size_t kMaxIdle = 16;
    struct Entry {
        iconv_t cd;
        UINT cp;
        bool toWide;
    };
    std::mutex m_lock;
    std::vector<Entry> m_idle;  // guarded by m_lock
};

// One descriptor taken from the pool for the length of a conversion.
class PooledIconv {
  public:
    PooledIconv(UINT cp, bool toWide)
        : m_cp(cp), m_toWide(toWide), m_cd(UnloadOwned<IconvPool>::Get().Take(cp, toWide)) {}
    ~PooledIconv() {
        if (m_cd != reinterpret_cast<iconv_t>(-1))
            UnloadOwned<IconvPool>::Get().Give(m_cp, m_toWide, m_cd);
    }
    PooledIconv(const PooledIconv&) = delete;
    PooledIconv& operator=(const PooledIconv&) = delete;

    iconv_t Get() const { return m_cd; }

  private:
    const UINT m_cp;
    const bool m_toWide;
    const iconv_t m_cd;
};

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
    const PooledIconv pooled(codePage, true);
    const iconv_t cd = pooled.Get();
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
    const PooledIconv pooled(codePage, false);
    const iconv_t cd = pooled.Get();
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
