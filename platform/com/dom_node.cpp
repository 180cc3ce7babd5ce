// Node objects and attribute maps over the nodes of a libxml2 tree.
#include <errno.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "platform/com/dom_impl.h"

namespace TKV::platform::detail {

namespace {

// The DOM's standard name of a node: the qualified name of elements and attributes, the
// "#kind" names of the other node kinds.
std::string NodeName(xmlNodePtr node) {
    switch (node->type) {
        case XML_ELEMENT_NODE:
        case XML_ATTRIBUTE_NODE: {
            std::string name;
            if (node->ns != nullptr && node->ns->prefix != nullptr) {
                name = reinterpret_cast<const char*>(node->ns->prefix);
                name += ':';
            }
            if (node->name != nullptr)
                name += reinterpret_cast<const char*>(node->name);
            return name;
        }
        case XML_TEXT_NODE:
            return "#text";
        case XML_CDATA_SECTION_NODE:
            return "#cdata-section";
        case XML_COMMENT_NODE:
            return "#comment";
        case XML_DOCUMENT_NODE:
            return "#document";
        default:
            return node->name != nullptr ? reinterpret_cast<const char*>(node->name) : "";
    }
}

bool QualifiedNameIs(xmlNodePtr node, const char* name) {
    const char* local = name;
    if (node->ns != nullptr && node->ns->prefix != nullptr) {
        size_t n = strlen(reinterpret_cast<const char*>(node->ns->prefix));
        if (strncmp(name, reinterpret_cast<const char*>(node->ns->prefix), n) != 0 ||
            name[n] != ':')
            return false;
        local = name + n + 1;
    } else if (strchr(name, ':') != nullptr && node->ns == nullptr) {
        // a literal "p:q" attribute libxml2 could not bind keeps its colon in the name
        local = name;
    }
    return node->name != nullptr && strcmp(local, reinterpret_cast<const char*>(node->name)) == 0;
}

// The data type an element declares with a dt:dt attribute (bound to a namespace), or null.
const xmlChar* DeclaredType(xmlNodePtr node) {
    if (node->type != XML_ELEMENT_NODE)
        return nullptr;
    for (xmlAttrPtr a = node->properties; a != nullptr; a = a->next) {
        if (a->ns != nullptr && a->ns->prefix != nullptr &&
            xmlStrEqual(a->ns->prefix, BAD_CAST "dt") && xmlStrEqual(a->name, BAD_CAST "dt") &&
            a->children != nullptr)
            return a->children->content;
    }
    return nullptr;
}

bool OneOf(const xmlChar* type, std::initializer_list<const char*> names) {
    for (const char* n : names)
        if (xmlStrEqual(type, BAD_CAST n))
            return true;
    return false;
}

// A typed element's value: numbers, truth values and dates are no text. A value that does
// not read as its type is a type mismatch.
HRESULT TypedValue(const xmlChar* type, const char* text, VARIANT* value) {
    const char* p = text;
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r')
        ++p;
    char* end = nullptr;
    errno = 0;
    if (OneOf(type, {"int", "i1", "i2", "i4", "ui1", "ui2", "ui4"})) {
        long long v = strtoll(p, &end, 10);
        if (end == p || errno != 0 || v < -2147483648LL || v > 4294967295LL)
            return DISP_E_TYPEMISMATCH;
        value->vt = VT_I4;
        value->lVal = static_cast<LONG>(v);
    } else if (OneOf(type, {"i8", "ui8"})) {
        long long v = strtoll(p, &end, 10);
        if (end == p || errno != 0)
            return DISP_E_TYPEMISMATCH;
        value->vt = VT_I8;
        value->llVal = v;
    } else if (OneOf(type, {"number", "float", "r4", "r8", "fixed.14.4"})) {
        double v = strtod(p, &end);
        if (end == p)
            return DISP_E_TYPEMISMATCH;
        value->vt = VT_R8;
        value->dblVal = v;
    } else if (OneOf(type, {"boolean"})) {
        if (*p != '0' && *p != '1')
            return DISP_E_TYPEMISMATCH;
        value->vt = VT_BOOL;
        value->boolVal = *p == '1' ? VARIANT_TRUE : VARIANT_FALSE;
    } else if (OneOf(type, {"date", "dateTime", "dateTime.tz", "time", "time.tz"})) {
        // Only the kind matters to the library's readers; the day count is not worked out.
        if (*p == 0)
            return DISP_E_TYPEMISMATCH;
        value->vt = VT_DATE;
        value->date = 0;
    } else {
        return S_FALSE;  // a string type (or one this layer reads as text)
    }
    return S_OK;
}

class DomAttributeMap final : public IXMLDOMNamedNodeMap {
  public:
    DomAttributeMap(DomTree* tree, xmlNodePtr element) : m_tree(tree), m_element(element) {
        m_tree->AddRef();
    }
    HRESULT QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr)
            return E_POINTER;
        if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IXMLDOMNamedNodeMap)) {
            AddRef();
            *object = static_cast<IXMLDOMNamedNodeMap*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override {
        ULONG left = --m_refs;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT getNamedItem(BSTR name, IXMLDOMNode** item) override {
        if (item == nullptr)
            return E_POINTER;
        *item = nullptr;
        if (name == nullptr)
            return E_INVALIDARG;
        std::string wanted = WideToUtf8Text(name, SysStringLen(name));
        for (xmlAttrPtr a = m_element->properties; a != nullptr; a = a->next) {
            if (QualifiedNameIs(reinterpret_cast<xmlNodePtr>(a), wanted.c_str())) {
                *item = NodeFor(m_tree, reinterpret_cast<xmlNodePtr>(a));
                return *item != nullptr ? S_OK : E_OUTOFMEMORY;
            }
        }
        return S_FALSE;
    }
    HRESULT get_length(LONG* length) override {
        if (length == nullptr)
            return E_POINTER;
        LONG n = 0;
        for (xmlAttrPtr a = m_element->properties; a != nullptr; a = a->next)
            ++n;
        *length = n;
        return S_OK;
    }
    HRESULT get_item(LONG index, IXMLDOMNode** item) override {
        if (item == nullptr)
            return E_POINTER;
        *item = nullptr;
        xmlAttrPtr a = m_element->properties;
        for (LONG i = 0; a != nullptr && i < index; ++i)
            a = a->next;
        if (index < 0 || a == nullptr)
            return S_FALSE;
        *item = NodeFor(m_tree, reinterpret_cast<xmlNodePtr>(a));
        return *item != nullptr ? S_OK : E_OUTOFMEMORY;
    }

  private:
    ~DomAttributeMap() { m_tree->Release(); }
    DomTree* m_tree;
    xmlNodePtr m_element;
    ULONG m_refs = 1;
};

class DomNode final : public IXMLDOMElement {
  public:
    DomNode(DomTree* tree, xmlNodePtr node) : m_tree(tree), m_node(node) {
        m_tree->AddRef();
        m_node->_private = this;
    }
    HRESULT QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr)
            return E_POINTER;
        if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IXMLDOMNode) ||
            (IsEqualGUID(iid, IID_IXMLDOMElement) && m_node->type == XML_ELEMENT_NODE)) {
            AddRef();
            *object = static_cast<IXMLDOMElement*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override {
        ULONG left = --m_refs;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT get_nodeName(BSTR* name) override {
        if (name == nullptr)
            return E_POINTER;
        *name = Utf8ToBstr(BAD_CAST NodeName(m_node).c_str());
        return *name != nullptr ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT get_firstChild(IXMLDOMNode** child) override {
        // an attribute's value text is no child the walkers are meant to see
        return Hand(m_node->type == XML_ATTRIBUTE_NODE ? nullptr : m_node->children, child);
    }
    HRESULT get_nextSibling(IXMLDOMNode** sibling) override { return Hand(m_node->next, sibling); }
    HRESULT get_attributes(IXMLDOMNamedNodeMap** attributes) override {
        if (attributes == nullptr)
            return E_POINTER;
        *attributes = nullptr;
        if (m_node->type != XML_ELEMENT_NODE)
            return S_FALSE;
        *attributes = new (std::nothrow) DomAttributeMap(m_tree, m_node);
        return *attributes != nullptr ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT get_nodeTypedValue(VARIANT* value) override {
        if (value == nullptr)
            return E_POINTER;
        VariantInit(value);
        xmlChar* text = xmlNodeGetContent(m_node);
        const char* content = text != nullptr ? reinterpret_cast<const char*>(text) : "";
        HRESULT hr = S_FALSE;
        if (const xmlChar* type = DeclaredType(m_node))
            hr = TypedValue(type, content, value);
        if (hr == S_FALSE) {
            value->vt = VT_BSTR;
            value->bstrVal = Utf8ToBstr(BAD_CAST content);
            hr = value->bstrVal != nullptr ? S_OK : E_OUTOFMEMORY;
            if (FAILED(hr))
                value->vt = VT_EMPTY;
        }
        xmlFree(text);
        return hr;
    }

  private:
    ~DomNode() {
        m_node->_private = nullptr;
        m_tree->Release();
    }
    HRESULT Hand(xmlNodePtr next, IXMLDOMNode** out) {
        if (out == nullptr)
            return E_POINTER;
        *out = nullptr;
        if (next == nullptr)
            return S_FALSE;
        *out = NodeFor(m_tree, next);
        return *out != nullptr ? S_OK : E_OUTOFMEMORY;
    }

    DomTree* m_tree;
    xmlNodePtr m_node;
    ULONG m_refs = 1;
};

}  // namespace

IXMLDOMNode* NodeFor(DomTree* tree, xmlNodePtr node) {
    if (node->_private != nullptr) {
        auto* existing = static_cast<DomNode*>(node->_private);
        existing->AddRef();
        return existing;
    }
    return new (std::nothrow) DomNode(tree, node);
}

}  // namespace TKV::platform::detail
