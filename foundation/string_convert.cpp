// Code-page conversion and formatting into temporary strings.
#include <cstdarg>

#include "foundation/string_convert.h"
#include "foundation/tmp_string.h"
#include "platform/codepage.h"
#include "platform/format.h"
#include "tkv/string_functions.h"

namespace TKV {
namespace {

// One conversion call per direction, with no flags and no default character; a null dst counts.
int ConvertCall(UINT codePage, const wchar_t* s, char* dst, int count) {
    return WideCharToMultiByte(codePage, 0, s, -1, dst, count, nullptr, nullptr);
}
int ConvertCall(UINT codePage, const char* s, wchar_t* dst, int count) {
    return MultiByteToWideChar(codePage, 0, s, -1, dst, count);
}

template <typename To, typename From>
const To* Convert(const From* s, unsigned int codePage) {
    if (s == nullptr || *s == From(0))
        return nullptr;
    const int count = ConvertCall(codePage, s, static_cast<To*>(nullptr), 0);
    if (count <= 0)
        return nullptr;
    To* out = detail::GetTmpString<To>(static_cast<unsigned int>(count));
    if (out == nullptr)
        return nullptr;
    if (ConvertCall(codePage, s, out, count) == 0)
        return nullptr;
    return out;
}

template <typename To, typename From>
const To* ConvertIntoString(const From* s, unsigned int codePage, std::basic_string<To>& out) {
    if (s == nullptr || *s == From(0))
        return nullptr;
    const int count = ConvertCall(codePage, s, static_cast<To*>(nullptr), 0);
    if (count <= 0)
        return nullptr;
    out.resize(static_cast<size_t>(count));
    if (ConvertCall(codePage, s, &out[0], count) != count)
        return nullptr;
    out.resize(static_cast<size_t>(count) - 1);  // the terminator is the string's own
    return out.c_str();
}

template <typename CharT>
const CharT* FormatV(const CharT* format, va_list args) {
    if (format == nullptr)
        return nullptr;
    va_list measure;
    va_copy(measure, args);
    const int n = platform::FormatLength(format, measure);
    va_end(measure);
    if (n <= 0)
        return nullptr;  // an empty result is no string
    const unsigned long long count = static_cast<unsigned long long>(n) + 1;
    if (count > detail::kMaxTmpChars)
        return nullptr;
    CharT* out = detail::GetTmpString<CharT>(static_cast<unsigned int>(count));
    if (out == nullptr)
        return nullptr;
    if (platform::Format(out, static_cast<size_t>(count), format, args) < 0) {
        out[0] = CharT(0);
        return nullptr;
    }
    return out;
}

}  // namespace

const char* StrConvert(const wchar_t* s, unsigned int codePage) {
    return Convert<char>(s, codePage);
}

const wchar_t* StrConvert(const char* s, unsigned int codePage) {
    return Convert<wchar_t>(s, codePage);
}

const char* detail::ConvertInto(const wchar_t* s, unsigned int codePage, std::string& out) {
    return ConvertIntoString(s, codePage, out);
}

const wchar_t* detail::ConvertInto(const char* s, unsigned int codePage, std::wstring& out) {
    return ConvertIntoString(s, codePage, out);
}

const char* StrFormat(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const char* out = FormatV(format, args);
    va_end(args);
    return out;
}

const wchar_t* StrFormat(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    const wchar_t* out = FormatV(format, args);
    va_end(args);
    return out;
}

}  // namespace TKV
