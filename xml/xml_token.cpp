#include "tkv/xml_tag.h"

#include "tkv/string_functions.h"

namespace TKV {

CXMLToken::CXMLToken(const wchar_t* text) {
    CBuffer<wchar_t>::operator=(text);
}

// The buffer's own copy shares storage; a token copies its text instead.
CXMLToken::CXMLToken(const CXMLToken& other) : CBuffer<wchar_t>() {
    CBuffer<wchar_t>::operator=(other.GetBuffer());
}

CXMLToken& CXMLToken::operator=(const CXMLToken& other) {
    if (this != &other)
        CBuffer<wchar_t>::operator=(other.GetBuffer());
    return *this;
}

int CXMLToken::Order(const CXMLToken& other) const {
    return Compare(other);
}

// The buffer's Compare order, without making a token of the text.
int CXMLToken::Order(const wchar_t* text) const {
    return StrCompare(GetBuffer(), text, true);
}

}  // namespace TKV
