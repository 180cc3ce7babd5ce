// glibc reads the string and character conversions by their own rules (in a wide format %s is a
// narrow string, %S a wide one), and does not know the I64/I32/I size prefixes, which it would
// take as a flag and a width. Every format is therefore rewritten into glibc's spelling before
// use. glibc's vswprintf cannot count without a buffer either: wide lengths are measured in a
// stack buffer first and in a memory stream when that is too small. Text of the other width is
// converted by the thread's locale, so every call runs with a UTF-8 character type, the ANSI
// code page here, for the time of the call only.
#include "platform/format.h"

#include <locale.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

namespace TKV::platform {
namespace {

// The rewritten format: on the stack when short, on the heap otherwise.
template <typename CharT>
class FormatText {
  public:
    void Append(CharT c) {
        if (heap_.empty() && used_ < kLocal) {
            local_[used_++] = c;
            return;
        }
        if (heap_.empty())
            heap_.assign(local_, used_);
        heap_.push_back(c);
    }
    void Append(const char* ascii) {
        while (*ascii != '\0')
            Append(static_cast<CharT>(*ascii++));
    }
    const CharT* Text() {
        Append(CharT(0));
        return heap_.empty() ? local_ : heap_.c_str();
    }

  private:
    static constexpr size_t kLocal = 256;
    CharT local_[kLocal];
    size_t used_ = 0;
    std::basic_string<CharT> heap_;
};

// Switches the calling thread to a UTF-8 character type for its lifetime; numbers keep the "C"
// form. Where no UTF-8 locale exists, the thread's own locale is kept.
class Utf8Text {
  public:
    Utf8Text() {
        if (Utf8() != static_cast<locale_t>(0))
            previous_ = uselocale(Utf8());
    }
    ~Utf8Text() {
        if (previous_ != static_cast<locale_t>(0))
            uselocale(previous_);
    }
    Utf8Text(const Utf8Text&) = delete;
    Utf8Text& operator=(const Utf8Text&) = delete;

  private:
    static locale_t Utf8() {
        // Created once, kept for the life of the process.
        static const locale_t utf8 = [] {
            locale_t l = newlocale(LC_ALL_MASK, "C.UTF-8", static_cast<locale_t>(0));
            return l != static_cast<locale_t>(0)
                       ? l
                       : newlocale(LC_ALL_MASK, "C.utf8", static_cast<locale_t>(0));
        }();
        return utf8;
    }
    locale_t previous_ = static_cast<locale_t>(0);
};

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
            text_.Append(c);
            if (c != '%')
                continue;
            if (*p == '%') {
                text_.Append(*p++);
                continue;
            }
            p = RewriteConversion(p, text_);
        }
        format_ = text_.Text();
    }
    const CharT* Get() const { return format_; }

  private:
    FormatText<CharT> text_;
    const CharT* format_;
};

}  // namespace

int FormatLength(const char* format, va_list args) {
    if (format == nullptr)
        return -1;
    GlibcFormat<char> glibc(format);
    Utf8Text utf8;
    return std::vsnprintf(nullptr, 0, glibc.Get(), args);
}

int FormatLength(const wchar_t* format, va_list args) {
    if (format == nullptr)
        return -1;
    GlibcFormat<wchar_t> glibc(format);
    Utf8Text utf8;
    wchar_t probe[512];
    va_list copy;
    va_copy(copy, args);
    int n = std::vswprintf(probe, sizeof(probe) / sizeof(probe[0]), glibc.Get(), copy);
    va_end(copy);
    if (n >= 0)
        return n;
    // Too long for the probe, or a failure: a memory stream tells the two apart.
    wchar_t* text = nullptr;
    size_t size = 0;
    FILE* stream = open_wmemstream(&text, &size);
    if (stream == nullptr)
        return -1;
    va_copy(copy, args);
    n = std::vfwprintf(stream, glibc.Get(), copy);
    va_end(copy);
    std::fclose(stream);
    std::free(text);
    return n;
}

int Format(char* buffer, size_t count, const char* format, va_list args) {
    if (format == nullptr || buffer == nullptr || count == 0)
        return -1;
    GlibcFormat<char> glibc(format);
    Utf8Text utf8;
    const int n = std::vsnprintf(buffer, count, glibc.Get(), args);
    return n >= 0 && static_cast<size_t>(n) < count ? n : -1;
}

int Format(wchar_t* buffer, size_t count, const wchar_t* format, va_list args) {
    if (format == nullptr || buffer == nullptr || count == 0)
        return -1;
    GlibcFormat<wchar_t> glibc(format);
    Utf8Text utf8;
    return std::vswprintf(buffer, count, glibc.Get(), args);
}

}  // namespace TKV::platform
