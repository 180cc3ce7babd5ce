// glibc's wide formatter reads %s and %c as narrow arguments, the opposite of the Windows wide
// convention the library's formats are written in, so every format is rewritten into glibc's
// spelling before it is used. glibc's vswprintf cannot count without a buffer either: lengths
// are measured in a stack buffer first and in a memory stream when that is too small.
// Narrow text inside a format is converted by the thread's locale, so every call runs with a
// UTF-8 character type, the ANSI code page here, for the time of the call only.
#include "platform/wide_format.h"

#include <locale.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

namespace TKV::platform {
namespace {

// The rewritten format: on the stack when short, on the heap otherwise.
class FormatText {
  public:
    void Append(wchar_t c) {
        if (heap_.empty() && used_ < kLocal) {
            local_[used_++] = c;
            return;
        }
        if (heap_.empty())
            heap_.assign(local_, used_);
        heap_.push_back(c);
    }
    void Append(const wchar_t* s) {
        while (*s != L'\0')
            Append(*s++);
    }
    const wchar_t* Text() {
        Append(L'\0');
        return heap_.empty() ? local_ : heap_.c_str();
    }

  private:
    static constexpr size_t kLocal = 256;
    wchar_t local_[kLocal];
    size_t used_ = 0;
    std::wstring heap_;
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

bool IsFlag(wchar_t c) {
    return c == L'-' || c == L'+' || c == L' ' || c == L'#' || c == L'0' || c == L'\'';
}
bool IsDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

// Copies one conversion (after its '%') to out in glibc's spelling; returns the position after.
const wchar_t* RewriteConversion(const wchar_t* p, FormatText& out) {
    while (IsFlag(*p))
        out.Append(*p++);
    if (*p == L'*')
        out.Append(*p++);
    while (IsDigit(*p))
        out.Append(*p++);
    if (*p == L'.') {
        out.Append(*p++);
        if (*p == L'*')
            out.Append(*p++);
        while (IsDigit(*p))
            out.Append(*p++);
    }
    // The size prefix: 'n' none, 'h' narrow, 'w' wide (l or w), or one passed on unchanged.
    wchar_t size = L'n';
    const wchar_t* keep = L"";
    if (p[0] == L'I' && p[1] == L'6' && p[2] == L'4') {
        keep = L"ll";
        p += 3;
    } else if (p[0] == L'I' && p[1] == L'3' && p[2] == L'2') {
        p += 3;
    } else if (p[0] == L'I') {
        keep = L"z";
        p += 1;
    } else if (p[0] == L'h' && p[1] == L'h') {
        keep = L"hh";
        p += 2;
    } else if (p[0] == L'l' && p[1] == L'l') {
        keep = L"ll";
        p += 2;
    } else if (*p == L'h') {
        size = L'h';
        p += 1;
    } else if (*p == L'l' || *p == L'w') {
        size = L'w';
        p += 1;
    } else if (*p == L'L' || *p == L'j' || *p == L'z' || *p == L't' || *p == L'q') {
        static const wchar_t* const kSame[] = {L"L", L"j", L"z", L"t", L"q"};
        keep = kSame[*p == L'L' ? 0 : *p == L'j' ? 1 : *p == L'z' ? 2 : *p == L't' ? 3 : 4];
        p += 1;
    }
    const wchar_t conv = *p;
    if (conv == L'\0')
        return p;  // a format ending inside a conversion: glibc reports it
    ++p;
    if (conv == L's' || conv == L'S' || conv == L'c' || conv == L'C') {
        const bool upper = conv == L'S' || conv == L'C';
        const bool wide = size == L'w' || (size == L'n' && !upper);
        if (wide)
            out.Append(L'l');
        out.Append(conv == L's' || conv == L'S' ? L's' : L'c');
        return p;
    }
    out.Append(keep);
    if (size == L'h')
        out.Append(L'h');
    else if (size == L'w')
        out.Append(L'l');
    out.Append(conv);
    return p;
}

class GlibcFormat {
  public:
    explicit GlibcFormat(const wchar_t* format) {
        for (const wchar_t* p = format; *p != L'\0';) {
            const wchar_t c = *p++;
            text_.Append(c);
            if (c != L'%')
                continue;
            if (*p == L'%') {
                text_.Append(*p++);
                continue;
            }
            p = RewriteConversion(p, text_);
        }
        format_ = text_.Text();
    }
    const wchar_t* Get() const { return format_; }

  private:
    FormatText text_;
    const wchar_t* format_;
};

}  // namespace

int WideFormatLength(const wchar_t* format, va_list args) {
    if (format == nullptr)
        return -1;
    GlibcFormat glibc(format);
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

int WideFormat(wchar_t* buffer, size_t count, const wchar_t* format, va_list args) {
    if (format == nullptr || buffer == nullptr || count == 0)
        return -1;
    GlibcFormat glibc(format);
    Utf8Text utf8;
    return std::vswprintf(buffer, count, glibc.Get(), args);
}

int FormatLength(const char* format, va_list args) {
    if (format == nullptr)
        return -1;
    Utf8Text utf8;
    return std::vsnprintf(nullptr, 0, format, args);
}

int Format(char* buffer, size_t count, const char* format, va_list args) {
    if (format == nullptr || buffer == nullptr || count == 0)
        return -1;
    Utf8Text utf8;
    return std::vsnprintf(buffer, count, format, args);
}

}  // namespace TKV::platform
