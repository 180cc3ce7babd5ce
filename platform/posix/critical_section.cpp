#include "platform/critical_section.h"

#include <new>

namespace TKV::platform {

CriticalSection* InitializeCriticalSection() {
    return new (std::nothrow) CriticalSection;
}

void DeleteCriticalSection(CriticalSection* section) {
    if (section == nullptr) {
        return;
    }
    if (CriticalSectionHeldByCaller(section)) {
        section->depth = 1;
        LeaveCriticalSection(section);
    }
    delete section;
}

}  // namespace TKV::platform
