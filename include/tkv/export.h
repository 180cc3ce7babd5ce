// Export control for the shared library: only what carries TKV_API is visible to agents.
#ifndef TKV_EXPORT_H
#define TKV_EXPORT_H

#if defined(TKV_BUILDING_LIBRARY)
#define TKV_API __attribute__((visibility("default")))
#else
#define TKV_API
#endif

#endif  // TKV_EXPORT_H
