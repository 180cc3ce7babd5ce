// The two logging switches, for the library's own readers (the receiver queue decides after each
// complete message whether and how to dump it).
#ifndef TKV_FOUNDATION_LOGGING_H
#define TKV_FOUNDATION_LOGGING_H

namespace TKV::detail {

// True when EnableLogging switched the dumps of received traffic on.
bool IsLoggingOn();
// True when the dumps are made as text (EnableLogging with mode 1), false for hex.
bool IsTextLogging();

}  // namespace TKV::detail

#endif  // TKV_FOUNDATION_LOGGING_H
