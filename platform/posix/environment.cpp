// Environment variables and file attributes over the C library; names, values and paths are
// UTF-8 on this platform.
#include "platform/environment.h"

#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "platform/codepage.h"
#include "platform/posix/utf8.h"

DWORD GetEnvironmentVariableW(LPCWSTR name, LPWSTR buffer, DWORD size) {
    // A name with '=' cannot be set on Windows either; the C library would match a prefix.
    const std::string narrowName =
        name != nullptr ? TKV::platform::detail::WideToUtf8(name) : std::string();
    const char* value = narrowName.empty() || narrowName.find('=') != std::string::npos
                            ? nullptr
                            : std::getenv(narrowName.c_str());
    if (value == nullptr) {
        SetLastError(ERROR_ENVVAR_NOT_FOUND);
        return 0;
    }
    const int needed = MultiByteToWideChar(CP_UTF8, 0, value, -1, nullptr, 0);  // NUL included
    if (needed <= 0) {
        SetLastError(ERROR_ENVVAR_NOT_FOUND);
        return 0;
    }
    if (buffer == nullptr || static_cast<DWORD>(needed) > size) {
        return static_cast<DWORD>(needed);
    }
    MultiByteToWideChar(CP_UTF8, 0, value, -1, buffer, needed);
    return static_cast<DWORD>(needed - 1);
}

DWORD GetFileAttributesW(LPCWSTR path) {
    const std::string narrowPath =
        path != nullptr ? TKV::platform::detail::WideToUtf8(path) : std::string();
    struct stat info;
    if (narrowPath.empty() || ::stat(narrowPath.c_str(), &info) != 0) {
        return INVALID_FILE_ATTRIBUTES;
    }
    return S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
}
