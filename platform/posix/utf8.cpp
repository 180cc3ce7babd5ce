#include "platform/posix/utf8.h"

#include "platform/codepage.h"

namespace TKV::platform::detail {

std::string WideToUtf8(const wchar_t* text) {
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1) {
        return std::string();
    }
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), bytes, nullptr, nullptr);
    out.resize(static_cast<size_t>(bytes) - 1);  // without the NUL
    return out;
}

}  // namespace TKV::platform::detail
