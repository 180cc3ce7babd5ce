// The document object: loads text into a fresh tree and hands out its nodes.
#include <new>

#include "platform/com/dom_impl.h"

namespace TKV::detail {

namespace {

class DomDocument final : public IXMLDOMDocument2 {
  public:
    explicit DomDocument(const LoadSettings& defaults) : settings_(defaults) {}
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
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        ULONG left = --refs_;
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
        if (tree_ == nullptr || tree_->Doc()->children == nullptr)
            return S_FALSE;
        *child = NodeFor(tree_, tree_->Doc()->children);
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
        xmlDocPtr doc = ParseDocument(text, settings_);
        if (doc == nullptr)
            return S_FALSE;
        tree_ = new (std::nothrow) DomTree(doc);
        if (tree_ == nullptr) {
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
        xmlNodePtr root = tree_ != nullptr ? xmlDocGetRootElement(tree_->Doc()) : nullptr;
        if (root == nullptr)
            return S_FALSE;
        IXMLDOMNode* node = NodeFor(tree_, root);
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
            settings_.prohibitDtd = flag;
        else if (property == L"ResolveExternals")
            settings_.resolveExternals = flag;
        else
            return E_INVALIDARG;
        return S_OK;
    }

  private:
    ~DomDocument() { Drop(); }
    void Drop() {
        if (tree_ != nullptr)
            tree_->Release();
        tree_ = nullptr;
    }

    LoadSettings settings_;
    DomTree* tree_ = nullptr;  // one reference; nodes handed out hold their own
    ULONG refs_ = 1;
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

}  // namespace TKV::detail
