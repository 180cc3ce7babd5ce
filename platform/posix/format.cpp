// glibc reads the string and character conversions by their own rules (in a wide format %s is a
// narrow string, %S a wide one), and does not know the I64/I32/I size prefixes, which it would
// take as a flag and a width. Every format is therefore rewritten into glibc's spelling before
// use. glibc's vswprintf cannot count without a buffer either: wide lengths are measured in a
// stack probe, then in a kept buffer that grows to the longest text measured. %n is refused: no
// format writes through an argument. Text of the other width is converted by the thread's locale,
// so every call runs with a UTF-8 character type, the ANSI code page here, for the time of the call
// only.
#include "platform/format.h"

#include <locale.h>

#include <atomic>
#include <cerrno>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

#include "platform/unload.h"

namespace TKV::platform {
namespace {

// The rewritten format: on the stack when short, on the heap otherwise.
template <typename CharT>
class FormatText {
  public:
    void Append(CharT c) {
        if (m_heap.empty() && m_used < kLocal) {
            m_local[m_used++] = c;
            return;
        }
        if (m_heap.empty())
            m_heap.assign(m_local, m_used);
        m_heap.push_back(c);
    }
    void Append(const char* ascii) {
        while (*ascii != '\0')
            Append(static_cast<CharT>(*ascii++));
    }
    const CharT* Text() {
        Append(CharT(0));
        return m_heap.empty() ? m_local : m_heap.c_str();
    }

  private:
    static constexpr size_t kLocal = 256;
    CharT m_local[kLocal];
    size_t m_used = 0;
    std::basic_string<CharT> m_heap;
};

// Switches the calling thread to a UTF-8 character type for its lifetime; numbers keep the "C"
// form. Where no UTF-8 locale exists, the thread's own locale is kept.
class Utf8Text {
  public:
    Utf8Text() {
        if (Utf8() != static_cast<locale_t>(0))
            m_previous = uselocale(Utf8());
    }
    ~Utf8Text() {
        if (m_previous != static_cast<locale_t>(0))
            uselocale(m_previous);
    }
    Utf8Text(const Utf8Text&) = delete;
    Utf8Text& operator=(const Utf8Text&) = delete;

  private:
    static locale_t Utf8();
    locale_t m_previous = static_cast<locale_t>(0);
};

// Created on first use and freed by an unload; plain data, so a thread formatting while the
// process exits still finds it.
std::atomic<locale_t> g_utf8{static_cast<locale_t>(0)};

void ReleaseUtf8() {
    if (locale_t utf8 = g_utf8.exchange(static_cast<locale_t>(0)))
        freelocale(utf8);
}

locale_t Utf8Text::Utf8() {
    locale_t utf8 = g_utf8.load(std::memory_order_acquire);
    if (utf8 != static_cast<locale_t>(0))
        return utf8;
    locale_t made = newlocale(LC_ALL_MASK, "C.UTF-8", static_cast<locale_t>(0));
    if (made == static_cast<locale_t>(0))
        made = newlocale(LC_ALL_MASK, "C.utf8", static_cast<locale_t>(0));
    if (made == static_cast<locale_t>(0))
        return made;
    if (!g_utf8.compare_exchange_strong(utf8, made, std::memory_order_acq_rel)) {
        freelocale(made);
        return utf8;
    }
    RegisterUnloadAction(&ReleaseUtf8);
    return made;
}

template <typename CharT>
bool IsFlag(CharT c) {
    return c == '-' || c == '+' || c == ' ' || c == '#' || c == '0' || c == '\'';
}
template <typename CharT>
bool IsDigit(CharT c) {
    return c >= '0' && c <= '9';
}

// Copies one conversion (after its '%') to out in glibc's spelling; returns the position after.
template <typename CharT>
const CharT* RewriteConversion(const CharT* p, FormatText<CharT>& out) {
    constexpr bool kWideFormat = sizeof(CharT) != 1;
    while (IsFlag(*p))
        out.Append(*p++);
    if (*p == '*')
        out.Append(*p++);
    while (IsDigit(*p))
        out.Append(*p++);
    if (*p == '.') {
        out.Append(*p++);
        if (*p == '*')
            out.Append(*p++);
        while (IsDigit(*p))
            out.Append(*p++);
    }
    // The size prefix: 'n' none, 'h' narrow, 'w' wide (l or w), or one passed on unchanged.
    char size = 'n';
    const char* keep = "";
    if (p[0] == 'I' && p[1] == '6' && p[2] == '4') {
        keep = "ll";
        p += 3;
    } else if (p[0] == 'I' && p[1] == '3' && p[2] == '2') {
        p += 3;
    } else if (p[0] == 'I') {
        keep = "z";
        p += 1;
    } else if (p[0] == 'h' && p[1] == 'h') {
        keep = "hh";
        p += 2;
    } else if (p[0] == 'l' && p[1] == 'l') {
        keep = "ll";
        p += 2;
    } else if (*p == 'h') {
        size = 'h';
        p += 1;
    } else if (*p == 'l' || *p == 'w') {
        size = 'w';
        p += 1;
    } else if (*p == 'L') {
        keep = "L";
        p += 1;
    } else if (*p == 'j') {
        keep = "j";
        p += 1;
    } else if (*p == 'z') {
        keep = "z";
        p += 1;
    } else if (*p == 't') {
        keep = "t";
        p += 1;
    }
    const CharT conv = *p;
    if (conv == CharT(0))
        return p;  // a format ending inside a conversion: glibc reports it
    if (conv == 'n')
        return nullptr;
    ++p;
    if (conv == 's' || conv == 'S' || conv == 'c' || conv == 'C') {
        const bool upper = conv == 'S' || conv == 'C';
        const bool wide = size == 'w' || (size == 'n' && (upper != kWideFormat));
        if (wide)
            out.Append(CharT('l'));
        out.Append(CharT(conv == 's' || conv == 'S' ? 's' : 'c'));
        return p;
    }
    out.Append(keep);
    if (size == 'h')
        out.Append(CharT('h'));
    else if (size == 'w')
        out.Append(CharT('l'));
    out.Append(conv);
    return p;
}

template <typename CharT>
class GlibcFormat {
  public:
    explicit GlibcFormat(const CharT* format) {
        for (const CharT* p = format; *p != CharT(0);) {
            const CharT c = *p++;
            m_text.Append(c);
            if (c != '%')
                continue;
            if (*p == '%') {
                m_text.Append(*p++);
                continue;
            }
            p = RewriteConversion(p, m_text);
            if (p == nullptr)
                return;
        }
        m_format = m_text.Text();
    }
    // Null when the format is refused.
    const CharT* Get() const { return m_format; }

  private:
    FormatText<CharT> m_text;
    const CharT* m_format = nullptr;
};

// A measuring buffer for wide text longer than the stack probe: plain data, grown on demand.
struct MeasureBuffer {
    wchar_t* text;
    size_t size;

    bool Grow() {
        constexpr size_t kMaxChars = size_t{1} << 24;
        const size_t grown = size == 0 ? 4096 : size * 2;
        if (grown > kMaxChars)
            return false;
        void* block = std::realloc(text, grown * sizeof(wchar_t));
        if (block == nullptr)
            return false;
        text = static_cast<wchar_t*>(block);
        size = grown;
        return true;
    }
};

// The process's buffer, kept at the longest text measured so far, so measuring again up to
// that length allocates nothing. A measurement that finds it taken uses a buffer of its own.
// Not thread-local: a thread-local with a destructor would keep the loader from unloading the
// library. Freed by an unload.
MeasureBuffer g_shared;
std::atomic<bool> g_sharedTaken{false};

void ReleaseShared() {
    std::free(g_shared.text);
    g_shared = {nullptr, 0};
}

// vswprintf into count characters; -1 when it failed for another reason than room (glibc then
// sets errno), -2 when the text did not fit.
int TryWide(wchar_t* out, size_t count, const wchar_t* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    errno = 0;
    const int n = std::vswprintf(out, count, format, copy);
    va_end(copy);
    return n >= 0 ? n : errno == 0 ? -2 : -1;
}

}  // namespace

int FormatLength(const char* format, va_list args) {
    if (format == nullptr)
        return -1;
    GlibcFormat<char> glibc(format);
    if (glibc.Get() == nullptr)
        return -1;
    Utf8Text utf8;
    return std::vsnprintf(nullptr, 0, glibc.Get(), args);
}

int FormatLength(const wchar_t* format, va_list args) {
    if (format == nullptr)
        return -1;
    GlibcFormat<wchar_t> glibc(format);
    if (glibc.Get() == nullptr)
        return -1;
    Utf8Text utf8;
    wchar_t probe[512];
    int n = TryWide(probe, sizeof(probe) / sizeof(probe[0]), glibc.Get(), args);
    if (n != -2)
        return n;
    const bool shared = !g_sharedTaken.exchange(true, std::memory_order_acquire);
    MeasureBuffer own = {nullptr, 0};
    MeasureBuffer& buffer = shared ? g_shared : own;
    const bool wasEmpty = buffer.text == nullptr;
    while (n == -2) {
        if (buffer.size != 0)
            n = TryWide(buffer.text, buffer.size, glibc.Get(), args);
        if (n == -2 && !buffer.Grow())
            n = -1;
    }
    if (shared && wasEmpty && g_shared.text != nullptr)
        RegisterUnloadAction(&ReleaseShared);
    if (shared)
        g_sharedTaken.store(false, std::memory_order_release);
    std::free(own.text);
    return n;
}

int Format(char* buffer, size_t count, const char* format, va_list args) {
    if (format == nullptr || buffer == nullptr || count == 0)
        return -1;
    GlibcFormat<char> glibc(format);
    if (glibc.Get() == nullptr)
        return -1;
    Utf8Text utf8;
    const int n = std::vsnprintf(buffer, count, glibc.Get(), args);
    return n >= 0 && static_cast<size_t>(n) < count ? n : -1;
}

int Format(wchar_t* buffer, size_t count, const wchar_t* format, va_list args) {
    if (format == nullptr || buffer == nullptr || count == 0)
        return -1;
    GlibcFormat<wchar_t> glibc(format);
    if (glibc.Get() == nullptr)
        return -1;
    Utf8Text utf8;
    return std::vswprintf(buffer, count, glibc.Get(), args);
}

}  // namespace TKV::platform
