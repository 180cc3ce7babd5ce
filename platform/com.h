// The COM services the XML classes call: apartments, class lookup by ProgID and instance
// creation, with the system's names and results. Internal to the library.
#ifndef TKV_PLATFORM_COM_H
#define TKV_PLATFORM_COM_H

#include "tkv/dom.h"

#if defined(_WIN32)
#include <objbase.h>
#else

constexpr DWORD CLSCTX_ALL = 0x17;

extern "C" {
extern const IID IID_IUnknown;
extern const IID IID_IXMLDOMNode;
extern const IID IID_IXMLDOMElement;
extern const IID IID_IXMLDOMDocument;
extern const IID IID_IXMLDOMDocument2;
extern const IID IID_IXMLDOMNamedNodeMap;
}

// Apartment initialisation, counted per thread: S_OK the first time, S_FALSE when repeated in
// the same model, RPC_E_CHANGED_MODE (not counted) in the other model.
HRESULT CoInitialize(LPVOID reserved);
HRESULT CoInitializeEx(LPVOID reserved, DWORD flags);
void CoUninitialize();

HRESULT CLSIDFromProgID(LPCOLESTR progId, CLSID* clsid);
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid,
                         LPVOID* object);
HRESULT OleRun(IUnknown* object);

bool IsEqualGUID(REFIID a, REFIID b);

namespace TKV::platform {

// Makes an instance of a registered class, with one reference, or null.
typedef IUnknown* (*ComFactory)();

// The process's class registry: a ProgID names a class id, which names a factory. The
// document classes are registered from the start; tests take them away to see the fallback.
void RegisterComClass(const wchar_t* progId, REFCLSID clsid, ComFactory factory);
bool UnregisterComClass(const wchar_t* progId);
// Puts the built-in classes back as they were at start.
void ResetComClasses();

// The apartment count of the calling thread (0 when COM is not initialised on it).
int ComApartmentCount();

}  // namespace TKV::platform

#endif  // !_WIN32

#endif  // TKV_PLATFORM_COM_H
