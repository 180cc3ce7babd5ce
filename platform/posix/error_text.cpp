// The system's English sentences for the Windows error codes the library and its agents meet:
// the kernel's below, the Winsock and resolver ones from the library's one table of them
// (platform/winsock_error_text.h). FormatMessage here knows only these.
#include <cstring>
#include <cwchar>

#include "platform/system_text.h"
#include "platform/winsock_error_text.h"

namespace {

struct ErrorText {
    DWORD code;
    const char* text;  // ASCII, so both widths copy it unit by unit
};

constexpr ErrorText kErrorTexts[] = {
    {0, "The operation completed successfully."},
    {1, "Incorrect function."},
    {2, "The system cannot find the file specified."},
    {3, "The system cannot find the path specified."},
    {4, "The system cannot open the file."},
    {5, "Access is denied."},
    {6, "The handle is invalid."},
    {8, "Not enough memory resources are available to process this command."},
    {12, "The access code is invalid."},
    {13, "The data is invalid."},
    {14, "Not enough memory resources are available to complete this operation."},
    {18, "There are no more files."},
    {32, "The process cannot access the file because it is being used by another process."},
    {80, "The file exists."},
    {87, "The parameter is incorrect."},
    {109, "The pipe has been ended."},
    {111, "The file name is too long."},
    {120, "This function is not supported on this system."},
    {122, "The data area passed to a system call is too small."},
    {123, "The filename, directory name, or volume label syntax is incorrect."},
    {126, "The specified module could not be found."},
    {127, "The specified procedure could not be found."},
    {183, "Cannot create a file when that file already exists."},
    {203, "The system could not find the environment option that was entered."},
    {234, "More data is available."},
    {258, "The wait operation timed out."},
    {259, "No more data is available."},
    {288, "Attempt to release mutex not owned by caller."},
    {298, "Too many posts were made to a semaphore."},
    {317,
     "The system cannot find message text for message number 0x%1 in the message file for %2."},
    {995,
     "The I/O operation has been aborted because of either a thread exit or an application "
     "request."},
    {997, "Overlapped I/O operation is in progress."},
    {1004, "Invalid flags."},
    {1113, "No mapping for the Unicode character exists in the target multi-byte code page."},
    {1460, "This operation returned because the timeout period expired."},
    {1813, "The specified resource type cannot be found in the image file."},
    {1814, "The specified resource name cannot be found in the image file."},
};

const char* FindText(DWORD code) {
    for (const ErrorText& e : kErrorTexts)
        if (e.code == code)
            return e.text;
    return nullptr;
}

template <typename CharT>
DWORD Format(DWORD flags, DWORD code, CharT* buffer, DWORD size) {
    if (buffer == nullptr || (flags & FORMAT_MESSAGE_FROM_SYSTEM) == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const char* text = FindText(code);
    const wchar_t* socketText = text == nullptr && code <= 0x7FFFFFFF
                                    ? TKV::platform::WinsockErrorText(static_cast<int>(code))
                                    : nullptr;
    if (text == nullptr && socketText == nullptr) {
        SetLastError(ERROR_MR_MID_NOT_FOUND);
        return 0;
    }
    const size_t n = text != nullptr ? std::strlen(text) : std::wcslen(socketText);
    if (n + 3 > size) {  // the sentence, its "\r\n" and the NUL
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    // Both tables are ASCII, so either width copies unit by unit.
    for (size_t i = 0; i < n; ++i)
        buffer[i] = text != nullptr ? static_cast<CharT>(static_cast<unsigned char>(text[i]))
                                    : static_cast<CharT>(socketText[i]);
    buffer[n] = '\r';
    buffer[n + 1] = '\n';
    buffer[n + 2] = '\0';
    return static_cast<DWORD>(n + 2);
}

}  // namespace

DWORD FormatMessageA(DWORD flags, const void*, DWORD messageId, DWORD, LPSTR buffer, DWORD size,
                     va_list*) {
    return Format(flags, messageId, buffer, size);
}

DWORD FormatMessageW(DWORD flags, const void*, DWORD messageId, DWORD, LPWSTR buffer, DWORD size,
                     va_list*) {
    return Format(flags, messageId, buffer, size);
}
