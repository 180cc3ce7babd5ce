// The assertion's message box. A process without a visible window station (a service) would
// wait for a click nobody can give, and a box that cannot be shown (no display) loses the
// report: in both cases it goes to the standard error stream instead, as on platforms without
// a desktop. (A box that cannot be shown gives 0, or -1 under Wine without a display.)
#include "platform/message_box.h"

#include <cstdio>
#include <string>

#include "tkv/winapi.h"

namespace TKV::platform {
namespace {

bool HasVisibleDesktop() {
    HWINSTA station = GetProcessWindowStation();
    USEROBJECTFLAGS flags = {};
    return station != nullptr &&
           GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, nullptr) &&
           (flags.dwFlags & WSF_VISIBLE) != 0;
}

std::string ToUtf8(const wchar_t* text) {
    std::string out;
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes > 1) {
        out.resize(static_cast<size_t>(bytes));
        WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], bytes, nullptr, nullptr);
        out.resize(static_cast<size_t>(bytes) - 1);
    }
    return out;
}

}  // namespace

void ShowMessageBox(const wchar_t* caption, const wchar_t* text) {
    caption = caption != nullptr ? caption : L"";
    text = text != nullptr ? text : L"";
    if (HasVisibleDesktop() &&
        MessageBoxW(nullptr, text, caption, MB_OK | MB_ICONERROR | MB_TASKMODAL) > 0)
        return;
    // One write, so reports of several threads do not interleave within a line group.
    std::string line = ToUtf8(caption) + ": " + ToUtf8(text) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

}  // namespace TKV::platform
