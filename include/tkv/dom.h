// The document object model the XML classes stand on: counted interface pointers, BSTR, VARIANT
// and _com_error. On Windows these are the system's own; elsewhere the library supplies them.
#ifndef TKV_DOM_H
#define TKV_DOM_H

#if defined(_WIN32)
#include <comdef.h>
#include <msxml2.h>
#else
#include "tkv/posix/dom.h"
#endif

#endif  // TKV_DOM_H
