// Diagnostics: one process-wide trace log (a UTF-16LE text file with a byte-order mark and CR LF
// line ends), the dumps of received traffic into it, free-form trace lines, and the assertion.
// The dumps (LogHex, LogTextA, LogTextW) are serialised by one library lock, so their lines never
// interleave; TKVTrace and TKVWriteTraceLog keep each single write whole. Opening or closing the
// log while other threads write is the caller's business.
#ifndef TKV_DIAGNOSTICS_H
#define TKV_DIAGNOSTICS_H

#include "tkv/export.h"

namespace TKV {

// Switches the dumps of received traffic on or off; mode 1 dumps as text, any other as hex.
// Does not open or close the trace log.
TKV_API void EnableLogging(bool on, int mode);

// Writes one line "header HEX..." (no header: just the hex digits) and a line feed, when logging
// is on. The digits are upper case, two per byte, with no separator.
TKV_API void LogHex(const wchar_t* header, const unsigned char* data, unsigned long length);

// Writes UTF-8 text, converted to wide text, when logging is on; no line end is added.
TKV_API void LogTextA(const char* text);

// Writes the text when logging is on; no line end is added.
TKV_API void LogTextW(const wchar_t* text);

}  // namespace TKV

// The TKV-prefixed globals keep C names, as agents' loaders look them up by name.
extern "C" {

// Opens the trace log (created or emptied) unless one is open, in which case the path is
// ignored; true when a trace log is open afterwards.
TKV_API bool TKVOpenTraceLog(const wchar_t* path);

// Closes the trace log if it is open.
TKV_API void TKVCloseTraceLog();

// Writes the text unchanged, whatever the logging switch, when a trace log is open.
TKV_API void TKVWriteTraceLog(const wchar_t* text);

// Formats (printf style; %s takes a wide string) and writes, when a trace log is open. No line
// end is added: the format carries its own.
TKV_API void TKVTrace(const wchar_t* format, ...);

// When condition is 0, reports "message\nfile:file, line:line" (at most 519 characters) with the
// caption "Assertion" to the assertion reporter, then returns: the program continues.
TKV_API void TKVAssert(int condition, const wchar_t* message, const wchar_t* file, int line);

// Receives an assertion's caption and text. The default reporter writes "caption: text" and a
// line feed to the standard error stream (this platform has no message box).
typedef void (*TKVAssertReporter)(const wchar_t* caption, const wchar_t* text);

// Installs a reporter for TKVAssert (null restores the default); returns the previous one.
TKV_API TKVAssertReporter TKVSetAssertReporter(TKVAssertReporter reporter);

}  // extern "C"

#endif  // TKV_DIAGNOSTICS_H
