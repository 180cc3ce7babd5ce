// The printf family on the CRT. The CRT already gives %s/%S/%hs/%ls and I64/I32/I their
// Windows meanings, but it converts text of the other width by its own locale (Latin-1 in the
// "C" locale), knows no hh/j/z/t, and would write through %n. So each conversion is taken apart
// here: its argument is fetched by type, text of the other width is converted through the ANSI
// code page (refused when it does not convert), and the CRT formats one conversion at a time
// with the spelling it knows.
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <string>
#include <type_traits>

#include "platform/format.h"
#include "tkv/winapi.h"

namespace TKV::platform {
namespace {

template <typename... Args>
int Count(const char* spec, Args... args) {
    return _scprintf(spec, args...);
}
template <typename... Args>
int Count(const wchar_t* spec, Args... args) {
    return _scwprintf(spec, args...);
}
template <typename... Args>
int Print(char* out, size_t room, const char* spec, Args... args) {
    return _snprintf(out, room, spec, args...);
}
template <typename... Args>
int Print(wchar_t* out, size_t room, const wchar_t* spec, Args... args) {
    return _snwprintf(out, room, spec, args...);
}

// Collects the output: counts only when there is no buffer, else writes while it fits.
template <typename CharT>
struct Output {
    Output(CharT* buffer, size_t room) : buffer(buffer), room(room) {}

    CharT* buffer;
    size_t room;  // characters of buffer, NUL included
    size_t used = 0;
    bool failed = false;

    void Literal(CharT c) {
        if (buffer != nullptr && used + 1 < room)
            buffer[used] = c;
        ++used;
    }
    template <typename... Args>
    void Piece(const CharT* spec, Args... args) {
        const int n = Count(spec, args...);
        if (n < 0) {
            failed = true;
            return;
        }
        if (buffer != nullptr && used + static_cast<size_t>(n) < room)
            Print(buffer + used, room - used, spec, args...);
        used += static_cast<size_t>(n);
    }
};

// Text of the other width in the format's own, through the ANSI code page; false when it does
// not convert.
bool ToOwnWidth(const wchar_t* text, size_t length, std::string& out) {
    const DWORD flags = GetACP() == CP_UTF8 ? WC_ERR_INVALID_CHARS : 0;
    const int n = WideCharToMultiByte(CP_ACP, flags, text, static_cast<int>(length), nullptr, 0,
                                      nullptr, nullptr);
    out.resize(static_cast<size_t>(n > 0 ? n : 0));
    return length == 0 ||
           (n > 0 && WideCharToMultiByte(CP_ACP, flags, text, static_cast<int>(length), &out[0], n,
                                         nullptr, nullptr) == n);
}
bool ToOwnWidth(const char* text, size_t length, std::wstring& out) {
    const int n = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, static_cast<int>(length),
                                      nullptr, 0);
    out.resize(static_cast<size_t>(n > 0 ? n : 0));
    return length == 0 || (n > 0 && MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text,
                                                        static_cast<int>(length), &out[0], n) == n);
}

template <typename CharT>
bool IsDigit(CharT c) {
    return c >= '0' && c <= '9';
}

// One conversion as the CRT is to see it: '%', flags, width and precision as numbers, and the
// size prefix and conversion appended by the caller.
template <typename CharT>
class Spec {
  public:
    Spec() { Add('%'); }
    void Add(char c) {
        if (m_used + 1 < kMax)
            m_text[m_used++] = static_cast<CharT>(c);
        m_text[m_used] = 0;
    }
    void Add(const char* s) {
        while (*s != 0)
            Add(*s++);
    }
    void AddNumber(int n) {
        char digits[16];
        std::snprintf(digits, sizeof digits, "%d", n);
        Add(digits);
    }
    const CharT* Text() const { return m_text; }

  private:
    static constexpr size_t kMax = 48;
    CharT m_text[kMax];
    size_t m_used = 0;
};

// Formats one conversion (p after its '%'); returns the position after it, or null when the
// format is refused.
template <typename CharT>
const CharT* Convert(const CharT* p, va_list& args, Output<CharT>& out) {
    constexpr bool kWideFormat = sizeof(CharT) != 1;
    Spec<CharT> spec;
    while (*p == '-' || *p == '+' || *p == ' ' || *p == '#' || *p == '0')
        spec.Add(static_cast<char>(*p++));
    if (*p == '*') {
        int width = va_arg(args, int);
        if (width < 0) {
            spec.Add('-');
            width = -width;
        }
        spec.AddNumber(width);
        ++p;
    } else {
        while (IsDigit(*p))
            spec.Add(static_cast<char>(*p++));
    }
    if (*p == '.') {
        ++p;
        if (*p == '*') {
            const int precision = va_arg(args, int);
            if (precision >= 0) {  // a negative one counts as none
                spec.Add('.');
                spec.AddNumber(precision);
            }
            ++p;
        } else {
            spec.Add('.');
            while (IsDigit(*p))
                spec.Add(static_cast<char>(*p++));
        }
    }
    // The size: 'c' char, 'h' short, 'n' none, 'l' long, 'L' 64-bit, 'I' pointer-sized.
    char size = 'n';
    if (p[0] == 'I' && p[1] == '6' && p[2] == '4') {
        size = 'L';
        p += 3;
    } else if (p[0] == 'I' && p[1] == '3' && p[2] == '2') {
        p += 3;
    } else if (p[0] == 'h' && p[1] == 'h') {
        size = 'c';
        p += 2;
    } else if (p[0] == 'l' && p[1] == 'l') {
        size = 'L';
        p += 2;
    } else if (*p == 'I' || *p == 'z' || *p == 't') {
        size = 'I';
        ++p;
    } else if (*p == 'j' || *p == 'L') {
        size = 'L';
        ++p;
    } else if (*p == 'h') {
        size = 'h';
        ++p;
    } else if (*p == 'l' || *p == 'w') {
        size = 'l';
        ++p;
    }
    const CharT conv = *p++;
    switch (conv) {
        case 's':
        case 'S':
        case 'c':
        case 'C': {
            const bool upper = conv == 'S' || conv == 'C';
            const bool wide = size == 'l' || (size != 'h' && upper != kWideFormat);
            const bool text = conv == 's' || conv == 'S';
            if (wide == kWideFormat) {  // the format's own width: the CRT's %s and %c
                spec.Add(text ? 's' : 'c');
                if (text)
                    out.Piece(spec.Text(), va_arg(args, const CharT*));
                else
                    out.Piece(spec.Text(), va_arg(args, int));
                return p;
            }
            using Other = std::conditional_t<kWideFormat, char, wchar_t>;
            std::basic_string<CharT> converted;
            Other c = 0;
            const Other* source = &c;
            size_t length = 1;
            if (text) {
                source = va_arg(args, const Other*);
                if (source == nullptr) {
                    spec.Add('s');
                    out.Piece(spec.Text(), static_cast<const CharT*>(nullptr));  // "(null)"
                    return p;
                }
                length = std::char_traits<Other>::length(source);
            } else {
                c = static_cast<Other>(va_arg(args, int));
            }
            if (!ToOwnWidth(source, length, converted))
                return nullptr;
            spec.Add('s');
            out.Piece(spec.Text(), converted.c_str());
            return p;
        }
        case 'd':
        case 'i':
        case 'o':
        case 'u':
        case 'x':
        case 'X': {
            const bool isSigned = conv == 'd' || conv == 'i';
            if (size == 'L') {
                spec.Add("I64");
                spec.Add(static_cast<char>(conv));
                out.Piece(spec.Text(), va_arg(args, long long));
            } else if (size == 'I') {
                spec.Add('I');
                spec.Add(static_cast<char>(conv));
                out.Piece(spec.Text(), va_arg(args, intptr_t));
            } else if (size == 'l') {
                spec.Add('l');
                spec.Add(static_cast<char>(conv));
                out.Piece(spec.Text(), va_arg(args, long));
            } else {
                int value = va_arg(args, int);
                if (size == 'c')  // the CRT has no hh: the value is narrowed here
                    value = isSigned ? static_cast<signed char>(value)
                                     : static_cast<unsigned char>(value);
                if (size == 'h')
                    spec.Add('h');
                spec.Add(static_cast<char>(conv));
                out.Piece(spec.Text(), value);
            }
            return p;
        }
        case 'e':
        case 'E':
        case 'f':
        case 'F':
        case 'g':
        case 'G':
        case 'a':
        case 'A':
            spec.Add(static_cast<char>(conv));
            out.Piece(spec.Text(), size == 'L' ? static_cast<double>(va_arg(args, long double))
                                               : va_arg(args, double));
            return p;
        case 'p':
            spec.Add('p');
            out.Piece(spec.Text(), va_arg(args, void*));
            return p;
        default:
            return nullptr;  // %n (no format writes through an argument), or no conversion
    }
}

// The formatted length, writing what fits when there is a buffer; -1 when refused.
template <typename CharT>
long long Run(CharT* buffer, size_t room, const CharT* format, va_list args) {
    Output<CharT> out(buffer, room);
    va_list walk;
    va_copy(walk, args);
    for (const CharT* p = format; !out.failed && *p != 0;) {
        if (*p != '%') {
            out.Literal(*p++);
        } else if (p[1] == '%') {
            out.Literal('%');
            p += 2;
        } else if ((p = Convert(p + 1, walk, out)) == nullptr) {
            out.failed = true;
        }
    }
    va_end(walk);
    if (out.failed || out.used > INT32_MAX)
        return -1;
    return static_cast<long long>(out.used);
}

template <typename CharT>
int FormatInto(CharT* buffer, size_t count, const CharT* format, va_list args) {
    if (format == nullptr || buffer == nullptr || count == 0)
        return -1;
    const long long n = Run(buffer, count, format, args);
    if (n < 0 || static_cast<size_t>(n) >= count) {
        buffer[count - 1] = 0;
        return -1;
    }
    buffer[n] = 0;
    return static_cast<int>(n);
}

}  // namespace

int FormatLength(const char* format, va_list args) {
    return format != nullptr ? static_cast<int>(Run<char>(nullptr, 0, format, args)) : -1;
}
int FormatLength(const wchar_t* format, va_list args) {
    return format != nullptr ? static_cast<int>(Run<wchar_t>(nullptr, 0, format, args)) : -1;
}
int Format(char* buffer, size_t count, const char* format, va_list args) {
    return FormatInto(buffer, count, format, args);
}
int Format(wchar_t* buffer, size_t count, const wchar_t* format, va_list args) {
    return FormatInto(buffer, count, format, args);
}

}  // namespace TKV::platform
