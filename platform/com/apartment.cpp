// Apartments: a per-thread count of successful initialisations and the model they chose.
#include "platform/com.h"

namespace {

struct Apartment {
    int count = 0;
    DWORD model = 0;
};
thread_local Apartment apartment;

}  // namespace

HRESULT CoInitializeEx(LPVOID /*reserved*/, DWORD flags) {
    const DWORD model = flags & COINIT_APARTMENTTHREADED;
    if (apartment.count > 0) {
        if (apartment.model != model)
            return RPC_E_CHANGED_MODE;
        ++apartment.count;
        return S_FALSE;
    }
    apartment.model = model;
    apartment.count = 1;
    return S_OK;
}

HRESULT CoInitialize(LPVOID reserved) {
    return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED);
}

// An unbalanced uninitialise is ignored, as there is nothing left to undo.
void CoUninitialize() {
    if (apartment.count > 0)
        --apartment.count;
}

int TKV::platform::ComApartmentCount() {
    return apartment.count;
}
