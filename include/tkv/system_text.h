// The system's texts: error messages for Windows error codes and strings of a module's string
// table, each handed out in a temporary string (tkv/tmp_string.h).
#ifndef TKV_SYSTEM_TEXT_H
#define TKV_SYSTEM_TEXT_H

#include "tkv/export.h"
#include "tkv/winapi.h"

namespace TKV {

// The system's text for a Windows error code (0: the thread's last error), line break included,
// in a temporary string; an empty string when the system has no text for it.
TKV_API const char* TKVGetErrorMessageA(unsigned long code);
TKV_API const wchar_t* TKVGetErrorMessageW(unsigned long code);

// String id of the module's string table in a temporary string, or null when it is missing.
TKV_API const wchar_t* TKVLoadResourceStringW(HINSTANCE module, unsigned int id);

}  // namespace TKV

#endif  // TKV_SYSTEM_TEXT_H
