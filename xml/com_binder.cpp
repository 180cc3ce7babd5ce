#include "tkv/com_binder.h"

#include "platform/com.h"

namespace TKV {

CCOMBinder::CCOMBinder() : result(CoInitialize(nullptr)) {}

CCOMBinder::CCOMBinder(unsigned long flags) : result(CoInitializeEx(nullptr, flags)) {}

// S_FALSE counts as well as S_OK: each success is one initialisation to undo.
CCOMBinder::~CCOMBinder() {
    if (result >= 0)
        CoUninitialize();
}

CCOMBinder& CCOMBinder::operator=(const CCOMBinder& other) {
    result = other.result;
    return *this;
}

}  // namespace TKV
