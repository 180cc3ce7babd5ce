// Test literals in either width: the same ASCII text as a std::string or std::wstring.
#ifndef TKV_TESTS_SUPPORT_WIDE_TEXT_H
#define TKV_TESTS_SUPPORT_WIDE_TEXT_H

#include <string>

#include <gtest/gtest.h>

template <typename CharT>
std::basic_string<CharT> Text(const char* ascii) {
    return std::basic_string<CharT>(ascii, ascii + std::char_traits<char>::length(ascii));
}

using BothWidths = ::testing::Types<char, wchar_t>;

#endif  // TKV_TESTS_SUPPORT_WIDE_TEXT_H
