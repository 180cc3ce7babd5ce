// Export control for the shared library: only what carries TKV_API is visible to agents. On
// Windows the library's own build exports it and agents import it (exported data needs the
// import); elsewhere the symbol visibility does both.
#ifndef TKV_EXPORT_H
#define TKV_EXPORT_H

#if defined(_WIN32)
#if defined(TKV_BUILDING_LIBRARY)
#define TKV_API __declspec(dllexport)
#else
#define TKV_API __declspec(dllimport)
#endif
#elif defined(TKV_BUILDING_LIBRARY)
#define TKV_API __attribute__((visibility("default")))
#else
#define TKV_API
#endif

#endif  // TKV_EXPORT_H
