// What names of events and mutexes mean on this platform: they are machine-wide (per user),
// so another process opens the same object by name, and a name is at most 200 bytes of UTF-8.
#ifndef TKV_POSIX_NAMED_OBJECTS_H
#define TKV_POSIX_NAMED_OBJECTS_H

// A name too long for the platform: the create or open call fails with this error.
constexpr unsigned long ERROR_FILENAME_EXCED_RANGE = 206;

#endif  // TKV_POSIX_NAMED_OBJECTS_H
