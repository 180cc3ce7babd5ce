// Code-page conversion into a string of the caller's own, for the library's own code.
#ifndef TKV_FOUNDATION_STRING_CONVERT_H
#define TKV_FOUNDATION_STRING_CONVERT_H

#include <string>

namespace TKV::detail {

// The conversion StrConvert makes, into out instead of a temporary string: for text that must
// stay put while other threads take temporary strings (the resolver reads its texts for as long
// as a look-up lasts). Null for a null, empty or unconvertible text, as StrConvert gives.
const char* ConvertInto(const wchar_t* s, unsigned int codePage, std::string& out);
const wchar_t* ConvertInto(const char* s, unsigned int codePage, std::wstring& out);

}  // namespace TKV::detail

#endif  // TKV_FOUNDATION_STRING_CONVERT_H
