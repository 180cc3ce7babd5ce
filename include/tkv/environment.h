// Small helpers over single platform services: an environment variable into a String, whether
// a path exists, URL unescaping into a temporary string, and an event test without waiting.
// They keep no state and may be called from any thread.
#ifndef TKV_ENVIRONMENT_H
#define TKV_ENVIRONMENT_H

#include "tkv/export.h"
#include "tkv/string.h"

namespace TKV {

// True and `value` set when the variable exists (an empty value included); false, `value`
// unchanged, when it does not.
TKV_API bool GetEnvironmentVar(const wchar_t* name, String& value);
// True when the path names an existing file or directory; false for null or empty.
TKV_API bool FileExists(const wchar_t* path);
// The URL with every %XX escape replaced by its character, in a wide temporary string; null
// for null or empty input.
TKV_API const wchar_t* TKVUrlUnescape(const wchar_t* url);
// True unless a zero-time wait on the handle times out (a failed wait counts as signalled);
// the wait resets a signalled auto-reset event and takes a free mutex. False for null.
TKV_API bool IsEventSignalled(void* handle);

}  // namespace TKV

#endif  // TKV_ENVIRONMENT_H
