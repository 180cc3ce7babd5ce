#include "platform/message_box.h"

#include <cstdio>
#include <string>

#include "platform/posix/utf8.h"

namespace TKV::platform {

void ShowMessageBox(const wchar_t* caption, const wchar_t* text) {
    // One fwrite, so reports of several threads do not interleave within a line group.
    std::string line = detail::WideToUtf8(caption != nullptr ? caption : L"");
    line += ": ";
    line += detail::WideToUtf8(text != nullptr ? text : L"");
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

}  // namespace TKV::platform
