// The document object model the XML classes stand on: counted interface pointers, BSTR, VARIANT
// and _com_error. On Windows these are the system's own; elsewhere the library supplies them.
#ifndef TKV_DOM_H
#define TKV_DOM_H

#if defined(_WIN32)
#include <winsock2.h>  // before anything pulls in <windows.h>, as Winsock asks
#include <comdef.h>
#include <msxml2.h>
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
