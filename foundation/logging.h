// The trace log's state for the library's own use: the two logging switches (the receiver queue
// decides after each complete message whether and how to dump it) and the file.
#ifndef TKV_FOUNDATION_LOGGING_H
#define TKV_FOUNDATION_LOGGING_H

namespace TKV::platform {
class TraceFile;
}  // namespace TKV::platform

namespace TKV::detail {

// The process-wide trace log file, for the dumps that write it in its encoding directly.
platform::TraceFile& TraceLogFile();

// True when EnableLogging switched the dumps of received traffic on.
bool IsLoggingOn();
// True when the dumps are made as text (EnableLogging with mode 1), false for hex.
bool IsTextLogging();

}  // namespace TKV::detail

#endif  // TKV_FOUNDATION_LOGGING_H
