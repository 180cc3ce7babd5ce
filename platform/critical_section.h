// A recursive mutual-exclusion section for the library's own locks (CLock, the trace log):
// the calling thread may enter it again while it holds it, and must leave it as often.
// Unlike a bare mutex, leaving a section the caller does not hold is ignored instead of
// corrupting it, so a stray unlock from a lock's wrapper can never free another thread's hold.
#ifndef TKV_PLATFORM_CRITICAL_SECTION_H
#define TKV_PLATFORM_CRITICAL_SECTION_H

namespace TKV {
namespace detail {

struct CriticalSection;

// A new, free section; null only when memory is exhausted.
CriticalSection* InitializeCriticalSection();
// Frees the section. A hold of the calling thread is released first; no other thread may
// hold it or wait for it.
void DeleteCriticalSection(CriticalSection* section);

// Blocks until the calling thread holds the section; re-entrant.
void EnterCriticalSection(CriticalSection* section);
// Enters without blocking; false when another thread holds the section.
bool TryEnterCriticalSection(CriticalSection* section);
// Releases one level of the calling thread's hold; ignored when the caller holds nothing.
void LeaveCriticalSection(CriticalSection* section);
// True when the calling thread holds the section.
bool CriticalSectionHeldByCaller(const CriticalSection* section);

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

}  // namespace detail
}  // namespace TKV

#endif  // TKV_PLATFORM_CRITICAL_SECTION_H
