// What stands in for the Windows message box: this platform has no desktop to show one on.
#ifndef TKV_PLATFORM_MESSAGE_BOX_H
#define TKV_PLATFORM_MESSAGE_BOX_H

namespace TKV::platform {

// Reports caption and text on the standard error stream as one line group
// ("caption: text" and a line feed) and returns at once.
void ShowMessageBox(const wchar_t* caption, const wchar_t* text);

}  // namespace TKV::platform

#endif  // TKV_PLATFORM_MESSAGE_BOX_H
