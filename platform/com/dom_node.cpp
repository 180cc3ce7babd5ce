// Node objects and attribute maps over the nodes of a libxml2 tree.
#include <errno.h>
#include <stdlib.h>
#include <string.h>

#include <stdint.h>
#include <algorithm>
#include <new>

#include <string>

#include "platform/com/dom_impl.h"

namespace TKV::platform::detail {

namespace {

// The DOM's standard name of a node: the qualified name of elements and attributes, the
// "#kind" names of the other node kinds.
BSTR NodeName(xmlNodePtr node) {
    switch (node->type) {
        case XML_ELEMENT_NODE:
        case XML_ATTRIBUTE_NODE:
            return Utf8ToBstr(node->ns != nullptr ? node->ns->prefix : nullptr, node->name);
        case XML_TEXT_NODE:
            return SysAllocString(L"#text");
        case XML_CDATA_SECTION_NODE:
            return SysAllocString(L"#cdata-section");
        case XML_COMMENT_NODE:
            return SysAllocString(L"#comment");
        case XML_DOCUMENT_NODE:
            return SysAllocString(L"#document");
        default:
            return Utf8ToBstr(node->name);
    }
}

bool QualifiedNameIs(xmlNodePtr node, const wchar_t* name, size_t length) {
    if (node->ns != nullptr && node->ns->prefix != nullptr) {
        size_t n = MatchUtf8(node->ns->prefix, name, length);
        if (n == SIZE_MAX || n == length || name[n] != L':')
            return false;
        name += n + 1;
        length -= n + 1;
    }
    return MatchUtf8(node->name, name, length) == length;
}

// The text of a node, without a copy when it is one piece (a text node, or an element or
// attribute with a single text child); otherwise put together in *owned.
const xmlChar* ContentOf(xmlNodePtr node, xmlChar** owned) {
    *owned = nullptr;
    switch (node->type) {
        case XML_TEXT_NODE:
        case XML_CDATA_SECTION_NODE:
        case XML_COMMENT_NODE:
        case XML_PI_NODE:
            return node->content;
        case XML_ELEMENT_NODE:
        case XML_ATTRIBUTE_NODE: {
            xmlNodePtr only = node->children;
            if (only == nullptr)
                return BAD_CAST "";
            if (only->next == nullptr &&
                (only->type == XML_TEXT_NODE || only->type == XML_CDATA_SECTION_NODE))
                return only->content;
            break;
        }
        default:
            break;
    }
    *owned = xmlNodeGetContent(node);
    return *owned;
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

// A node object is also its element's attribute map, so that asking for the map costs
// nothing; both interfaces share one count.
class DomNode final : public IXMLDOMElement, public IXMLDOMNamedNodeMap {
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
        if (IsEqualGUID(iid, IID_IXMLDOMNamedNodeMap) && m_node->type == XML_ELEMENT_NODE) {
            AddRef();
            *object = static_cast<IXMLDOMNamedNodeMap*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // Only a referenced node object holds its tree.
    ULONG AddRef() override {
        if (m_refs++ == 0)
            m_tree->AddRef();
        return m_refs;
    }
    ULONG Release() override {
        ULONG left = --m_refs;
        if (left == 0)
            m_tree->Release();  // may free this object with the tree: nothing of it is used after
        return left;
    }
    HRESULT get_nodeName(BSTR* name) override {
        if (name == nullptr)
            return E_POINTER;
        *name = NodeName(m_node);
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
        AddRef();
        *attributes = this;
        return S_OK;
    }

    HRESULT getNamedItem(BSTR name, IXMLDOMNode** item) override {
        if (item == nullptr)
            return E_POINTER;
        *item = nullptr;
        if (name == nullptr)
            return E_INVALIDARG;
        const size_t length = SysStringLen(name);
        for (xmlAttrPtr a = m_node->properties; a != nullptr; a = a->next) {
            if (QualifiedNameIs(reinterpret_cast<xmlNodePtr>(a), name, length)) {
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
        for (xmlAttrPtr a = m_node->properties; a != nullptr; a = a->next)
            ++n;
        *length = n;
        return S_OK;
    }
    HRESULT get_item(LONG index, IXMLDOMNode** item) override {
        if (item == nullptr)
            return E_POINTER;
        *item = nullptr;
        xmlAttrPtr a = m_node->properties;
        for (LONG i = 0; a != nullptr && i < index; ++i)
            a = a->next;
        if (index < 0 || a == nullptr)
            return S_FALSE;
        *item = NodeFor(m_tree, reinterpret_cast<xmlNodePtr>(a));
        return *item != nullptr ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT get_nodeTypedValue(VARIANT* value) override {
        if (value == nullptr)
            return E_POINTER;
        VariantInit(value);
        xmlChar* text = nullptr;
        const xmlChar* found = ContentOf(m_node, &text);
        const char* content = found != nullptr ? reinterpret_cast<const char*>(found) : "";
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
    static_assert(sizeof(DomNode) <= DomTree::kSlotBytes, "a node object fits its slot");
    void* slot = tree->TakeSlot();
    return slot != nullptr ? new (slot) DomNode(tree, node) : nullptr;
}

DomTree::~DomTree() {
    xmlFreeDoc(m_doc);
}

void* DomTree::TakeSlot() {
    if (m_blockUsed == m_blockSlots) {
        size_t slots = m_blockSlots == 0 ? 32 : std::min<size_t>(m_blockSlots * 2, 1024);
        m_blocks.emplace_back(new (std::nothrow) unsigned char[slots * kSlotBytes]);
        if (!m_blocks.back()) {
            m_blocks.pop_back();
            return nullptr;
        }
        m_blockSlots = slots;
        m_blockUsed = 0;
    }
    return m_blocks.back().get() + kSlotBytes * m_blockUsed++;
}

}  // namespace TKV::platform::detail
