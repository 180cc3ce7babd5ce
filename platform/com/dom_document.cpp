// The document object: loads text into a fresh tree and hands out its nodes.
#include <new>

#include "platform/com/dom_impl.h"

namespace TKV::platform::detail {

namespace {

class DomDocument final : public IXMLDOMDocument2 {
  public:
    explicit DomDocument(const LoadSettings& defaults) : m_settings(defaults) {}
    HRESULT QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr)
            return E_POINTER;
        if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IXMLDOMNode) ||
            IsEqualGUID(iid, IID_IXMLDOMDocument) || IsEqualGUID(iid, IID_IXMLDOMDocument2)) {
            AddRef();
            *object = static_cast<IXMLDOMDocument2*>(this);
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
        *name = SysAllocString(L"#document");
        return *name != nullptr ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT get_firstChild(IXMLDOMNode** child) override {
        if (child == nullptr)
            return E_POINTER;
        *child = nullptr;
        if (m_tree == nullptr || m_tree->Doc()->children == nullptr)
            return S_FALSE;
        *child = NodeFor(m_tree, m_tree->Doc()->children);
        return *child != nullptr ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT get_nextSibling(IXMLDOMNode** sibling) override {
        if (sibling == nullptr)
            return E_POINTER;
        *sibling = nullptr;
        return S_FALSE;
    }
    HRESULT get_attributes(IXMLDOMNamedNodeMap** attributes) override {
        if (attributes == nullptr)
            return E_POINTER;
        *attributes = nullptr;
        return S_FALSE;
    }
    HRESULT get_nodeTypedValue(VARIANT* value) override {
        if (value == nullptr)
            return E_POINTER;
        VariantInit(value);
        value->vt = VT_NULL;
        return S_FALSE;
    }

    HRESULT loadXML(BSTR xml, VARIANT_BOOL* ok) override {
        if (ok == nullptr)
            return E_POINTER;
        *ok = VARIANT_FALSE;
        Drop();
        std::string text = WideToUtf8Text(xml != nullptr ? xml : L"", SysStringLen(xml));
        xmlDocPtr doc = ParseDocument(text, m_settings);
        if (doc == nullptr)
            return S_FALSE;
        m_tree = new (std::nothrow) DomTree(doc);
        if (m_tree == nullptr) {
            xmlFreeDoc(doc);
            return E_OUTOFMEMORY;
        }
        *ok = VARIANT_TRUE;
        return S_OK;
    }
    HRESULT get_documentElement(IXMLDOMElement** element) override {
        if (element == nullptr)
            return E_POINTER;
        *element = nullptr;
        xmlNodePtr root = m_tree != nullptr ? xmlDocGetRootElement(m_tree->Doc()) : nullptr;
        if (root == nullptr)
            return S_FALSE;
        IXMLDOMNode* node = NodeFor(m_tree, root);
        if (node == nullptr)
            return E_OUTOFMEMORY;
        HRESULT hr = node->QueryInterface(IID_IXMLDOMElement, reinterpret_cast<void**>(element));
        node->Release();
        return hr;
    }

    HRESULT setProperty(BSTR name, VARIANT value) override {
        if (name == nullptr)
            return E_INVALIDARG;
        bool flag;
        if (value.vt == VT_BOOL)
            flag = value.boolVal != VARIANT_FALSE;
        else if (value.vt == VT_I2)
            flag = value.iVal != 0;
        else if (value.vt == VT_I4)
            flag = value.lVal != 0;
        else
            return E_INVALIDARG;
        std::wstring property(name, SysStringLen(name));
        if (property == L"ProhibitDTD")
            m_settings.prohibitDtd = flag;
        else if (property == L"ResolveExternals")
            m_settings.resolveExternals = flag;
        else
            return E_INVALIDARG;
        return S_OK;
    }

  private:
    ~DomDocument() { Drop(); }
    void Drop() {
        if (m_tree != nullptr)
            m_tree->Release();
        m_tree = nullptr;
    }

    LoadSettings m_settings;
    DomTree* m_tree = nullptr;  // one reference; nodes handed out hold their own
    ULONG m_refs = 1;
};

}  // namespace

// The newer class refuses document type declarations and external definitions until told
// otherwise; the older one accepts both.
IUnknown* CreateDomDocument60() {
    return new (std::nothrow) DomDocument(LoadSettings{});
}

IUnknown* CreateDomDocument40() {
    LoadSettings open;
    open.prohibitDtd = false;
    open.resolveExternals = true;
    return new (std::nothrow) DomDocument(open);
}

}  // namespace TKV::platform::detail
