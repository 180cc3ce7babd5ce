#include <limits.h>
#include <wchar.h>

#include "tkv/xml.h"
#include "tkv/xml_tag.h"

namespace TKV {

CXMLAttribute::CXMLAttribute(const wchar_t* name) : name(name), tag(nullptr) {}

CXMLAttribute::CXMLAttribute(CXMLTag* tag, const IXMLDOMNodePtr& node, const wchar_t* name)
    : name(name), tag(tag), node(node) {
    tag->attributes.Add(this, true);
}

CXMLAttribute::CXMLAttribute(const CXMLAttribute& other)
    : name(other.name), tag(other.tag), node(other.node) {}

CXMLAttribute& CXMLAttribute::operator=(const CXMLAttribute& other) {
    name = other.name;
    tag = other.tag;
    node = other.node;
    return *this;
}

CXMLAttribute::~CXMLAttribute() = default;

const wchar_t* CXMLAttribute::GetValue() {
    if (!node)
        return nullptr;
    return CXml::GetXMLTextValue(node);
}

// The value is a 32-bit long where agents come from, so both readings saturate alike.
long CXMLAttribute::ToLong() {
    const wchar_t* text = GetValue();
    if (text == nullptr)
        return 0;
    long v = wcstol(text, nullptr, 10);
    if (v > INT_MAX)
        return INT_MAX;
    if (v < INT_MIN)
        return INT_MIN;
    return v;
}

int CXMLAttribute::ToInt() {
    return static_cast<int>(ToLong());
}

}  // namespace TKV
