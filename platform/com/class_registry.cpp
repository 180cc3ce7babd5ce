// Class lookup by ProgID and instance creation through the process's class registry.
#include <string.h>

#include <map>
#include <mutex>
#include <string>

#include "platform/com.h"
#include "platform/com/dom_impl.h"
#include "platform/unload.h"

extern "C" {
// Interface and class ids of this library's own classes; only their identity matters.
const IID IID_IUnknown = {1, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
const IID IID_IXMLDOMNode = {0x746B7601, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
const IID IID_IXMLDOMElement = {0x746B7602, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
const IID IID_IXMLDOMDocument = {0x746B7603, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
const IID IID_IXMLDOMDocument2 = {0x746B7604, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
const IID IID_IXMLDOMNamedNodeMap = {0x746B7605, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
}

namespace {

const CLSID kDocument60 = {0x746B7660, 0, 0, {0, 0, 0, 0, 0, 0, 0, 2}};
const CLSID kDocument40 = {0x746B7640, 0, 0, {0, 0, 0, 0, 0, 0, 0, 2}};

struct GuidLess {
    bool operator()(const GUID& a, const GUID& b) const { return memcmp(&a, &b, sizeof a) < 0; }
};

struct Registry {
    std::mutex lock;  // guards both maps
    std::map<std::wstring, CLSID> progIds;
    std::map<CLSID, TKV::platform::ComFactory, GuidLess> factories;

    Registry() { Builtins(); }
    void Builtins() {
        progIds[L"Msxml2.DOMDocument.6.0"] = kDocument60;
        progIds[L"Msxml2.DOMDocument.4.0"] = kDocument40;
        factories[kDocument60] = TKV::platform::detail::CreateDomDocument60;
        factories[kDocument40] = TKV::platform::detail::CreateDomDocument40;
    }
};

// Usable until the very end of the process; deleted by an unload.
Registry& TheRegistry() {
    return TKV::platform::UnloadOwned<Registry>::Get();
}

}  // namespace

bool IsEqualGUID(REFIID a, REFIID b) {
    return memcmp(&a, &b, sizeof a) == 0;
}

HRESULT CLSIDFromProgID(LPCOLESTR progId, CLSID* clsid) {
    if (progId == nullptr || clsid == nullptr)
        return E_INVALIDARG;
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> hold(r.lock);
    auto it = r.progIds.find(progId);
    if (it == r.progIds.end())
        return CO_E_CLASSSTRING;
    *clsid = it->second;
    return S_OK;
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD /*context*/, REFIID iid,
                         LPVOID* object) {
    if (object == nullptr)
        return E_POINTER;
    *object = nullptr;
    if (outer != nullptr)
        return CLASS_E_NOAGGREGATION;
    if (TKV::platform::ComApartmentCount() == 0)
        return CO_E_NOTINITIALIZED;
    TKV::platform::ComFactory factory = nullptr;
    {
        Registry& r = TheRegistry();
        std::lock_guard<std::mutex> hold(r.lock);
        auto it = r.factories.find(clsid);
        if (it == r.factories.end())
            return REGDB_E_CLASSNOTREG;
        factory = it->second;
    }
    IUnknown* instance = factory();
    if (instance == nullptr)
        return E_OUTOFMEMORY;
    HRESULT hr = instance->QueryInterface(iid, object);
    instance->Release();
    return hr;
}

HRESULT OleRun(IUnknown* object) {
    return object == nullptr ? E_INVALIDARG : S_OK;
}

void TKV::platform::RegisterComClass(const wchar_t* progId, REFCLSID clsid, ComFactory factory) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> hold(r.lock);
    r.progIds[progId] = clsid;
    r.factories[clsid] = factory;
}

bool TKV::platform::UnregisterComClass(const wchar_t* progId) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> hold(r.lock);
    auto it = r.progIds.find(progId);
    if (it == r.progIds.end())
        return false;
    r.factories.erase(it->second);
    r.progIds.erase(it);
    return true;
}

void TKV::platform::ResetComClasses() {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> hold(r.lock);
    r.progIds.clear();
    r.factories.clear();
    r.Builtins();
}
