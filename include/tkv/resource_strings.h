// String resources without resource sections: a program (an agent, a test) registers the string
// table of a module handle here, and the library's resource lookups read it as they would read
// the module's string-table resource. On Windows modules carry their own string tables
// (compiled in with the resource compiler), so there is nothing to register and these calls do
// not exist.
#ifndef TKV_RESOURCE_STRINGS_H
#define TKV_RESOURCE_STRINGS_H

#include "tkv/export.h"
#include "tkv/winapi.h"

#if !defined(_WIN32)
extern "C" {

// Sets string id (0-65535) of the module's table to text; a null or empty text removes it, as a
// string table cannot hold an empty string. FALSE (ERROR_INVALID_PARAMETER) for a larger id.
TKV_API BOOL TKVSetResourceString(HINSTANCE module, UINT id, const wchar_t* text);
// Removes every string registered for the module.
TKV_API void TKVClearResourceStrings(HINSTANCE module);

}  // extern "C"
#endif  // !_WIN32

#endif  // TKV_RESOURCE_STRINGS_H
