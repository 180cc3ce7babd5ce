// The DOM's interface ids that mingw-w64's uuid library lacks (the others come from it).
#include "tkv/dom.h"

extern "C" const IID IID_IXMLDOMDocument2 = __uuidof(IXMLDOMDocument2);
