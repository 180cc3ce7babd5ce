// A recursive mutual-exclusion section for the library's own locks (CLock, the trace log):
// the calling thread may enter it again while it holds it, and must leave it as often.
// Unlike a bare mutex, leaving a section the caller does not hold is ignored instead of
// corrupting it, so a stray unlock from a lock's wrapper can never free another thread's hold.
//
// The calls (inline, so a lock costs what the system's own mutex costs):
//   CriticalSection* InitializeCriticalSection();   a new free section; null when out of memory
//   void DeleteCriticalSection(CriticalSection*);    frees it; the caller's own hold is released
//                                                    first; nobody else may hold or wait for it
//   void EnterCriticalSection(CriticalSection*);     blocks until held; re-entrant
//   bool TryEnterCriticalSection(CriticalSection*);  enters without blocking, or false
//   void LeaveCriticalSection(CriticalSection*);     one level of the caller's hold; ignored
//                                                    when the caller holds nothing
//   bool CriticalSectionHeldByCaller(const CriticalSection*);
#ifndef TKV_PLATFORM_CRITICAL_SECTION_H
#define TKV_PLATFORM_CRITICAL_SECTION_H

#if defined(_WIN32)
#include "platform/win32/critical_section.h"
#else
#include "platform/posix/critical_section.h"
#endif

namespace TKV::platform {

// Holds a section for one scope.
class SectionGuard {
  public:
    explicit SectionGuard(CriticalSection* section) : m_section(section) {
        EnterCriticalSection(m_section);
    }
    ~SectionGuard() { LeaveCriticalSection(m_section); }
    SectionGuard(const SectionGuard&) = delete;
    SectionGuard& operator=(const SectionGuard&) = delete;

  private:
    CriticalSection* m_section;
};

}  // namespace TKV::platform

#endif  // TKV_PLATFORM_CRITICAL_SECTION_H
