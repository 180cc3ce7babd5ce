#include "platform/critical_section.h"

#include <new>

namespace TKV::platform {

CriticalSection* InitializeCriticalSection() {
    auto* section = new (std::nothrow) CriticalSection;
    if (section != nullptr)
        ::InitializeCriticalSection(&section->section);
    return section;
}

void DeleteCriticalSection(CriticalSection* section) {
    if (section == nullptr)
        return;
    // The caller's own hold, at any depth, is given up first; deleting a held section would
    // leave the system's bookkeeping of it dangling.
    while (CriticalSectionHeldByCaller(section))
        ::LeaveCriticalSection(&section->section);
    ::DeleteCriticalSection(&section->section);
    delete section;
}

}  // namespace TKV::platform
