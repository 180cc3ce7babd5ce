// The document object model the XML classes stand on: counted interface pointers, BSTR, VARIANT
// and _com_error. On Windows these are the system's own; elsewhere the library supplies them.
#ifndef TKV_DOM_H
#define TKV_DOM_H

#if defined(_WIN32)
// Winsock first, before anything pulls in <windows.h>, as Winsock asks.
#include <winsock2.h>

#include <comdef.h>
#include <msxml2.h>
#if defined(__MINGW32__)
// mingw-w64's msxml2.h gives the DOM interfaces no interface ids for __uuidof, which the counted
// pointers below need to query for their interface.
__CRT_UUID_DECL(IXMLDOMNode, 0x2933bf80, 0x7b36, 0x11d2, 0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e,
                0x60)
__CRT_UUID_DECL(IXMLDOMNamedNodeMap, 0x2933bf83, 0x7b36, 0x11d2, 0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98,
                0x3e, 0x60)
__CRT_UUID_DECL(IXMLDOMElement, 0x2933bf86, 0x7b36, 0x11d2, 0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98,
                0x3e, 0x60)
__CRT_UUID_DECL(IXMLDOMDocument2, 0x2933bf95, 0x7b36, 0x11d2, 0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98,
                0x3e, 0x60)
#endif
// The counted pointers of the DOM interfaces the XML classes hold, as the system's type library
// import would name them.
_COM_SMARTPTR_TYPEDEF(IUnknown, __uuidof(IUnknown));
_COM_SMARTPTR_TYPEDEF(IXMLDOMNode, __uuidof(IXMLDOMNode));
_COM_SMARTPTR_TYPEDEF(IXMLDOMElement, __uuidof(IXMLDOMElement));
_COM_SMARTPTR_TYPEDEF(IXMLDOMNamedNodeMap, __uuidof(IXMLDOMNamedNodeMap));
_COM_SMARTPTR_TYPEDEF(IXMLDOMDocument2, __uuidof(IXMLDOMDocument2));
#else
#include "tkv/posix/dom.h"
#endif

#endif  // TKV_DOM_H
