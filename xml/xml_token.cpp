#include "tkv/xml_tag.h"

#include "tkv/string_functions.h"

namespace TKV {

// Without text the new buffer is as it should be already (tags and attributes of a walk are
// made so and named afterwards).
CXMLToken::CXMLToken(const wchar_t* text) {
    if (text != nullptr)
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
