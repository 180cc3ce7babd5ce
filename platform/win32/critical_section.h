// The Windows critical section, kept with the portable calls' contract: leaving a section the
// caller does not hold is ignored, and the holder can be asked for.
#ifndef TKV_PLATFORM_WIN32_CRITICAL_SECTION_H
#define TKV_PLATFORM_WIN32_CRITICAL_SECTION_H

#include <stdint.h>

#include "tkv/winapi.h"

namespace TKV::platform {

struct CriticalSection {
    CRITICAL_SECTION section;
};

CriticalSection* InitializeCriticalSection();
void DeleteCriticalSection(CriticalSection* section);

inline bool CriticalSectionHeldByCaller(const CriticalSection* section) {
    return reinterpret_cast<uintptr_t>(section->section.OwningThread) == ::GetCurrentThreadId();
}

inline void EnterCriticalSection(CriticalSection* section) {
    ::EnterCriticalSection(&section->section);
}

inline bool TryEnterCriticalSection(CriticalSection* section) {
    return ::TryEnterCriticalSection(&section->section) != FALSE;
}

inline void LeaveCriticalSection(CriticalSection* section) {
    if (CriticalSectionHeldByCaller(section))
        ::LeaveCriticalSection(&section->section);
}

}  // namespace TKV::platform

#endif  // TKV_PLATFORM_WIN32_CRITICAL_SECTION_H
