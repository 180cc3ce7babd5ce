// The library's own COM-shaped document object model, for platforms without one: interfaces
// with the system's method names, argument order and results, counted interface pointers that
// raise _com_error, BSTR and VARIANT as far as the XML classes need them.
#ifndef TKV_POSIX_DOM_H
#define TKV_POSIX_DOM_H

#include "tkv/export.h"
#include "tkv/winapi.h"

typedef int INT;
typedef unsigned long ULONG;
typedef short SHORT;
typedef unsigned short USHORT;
typedef long long LONGLONG;
typedef wchar_t OLECHAR;
typedef OLECHAR* BSTR;
typedef const OLECHAR* LPCOLESTR;
typedef short VARIANT_BOOL;
typedef unsigned short VARTYPE;
typedef double DATE;

constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

// HRESULT values in the Windows numbering (S_OK, S_FALSE and E_FAIL come with HRESULT).
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(static_cast<LONG>(0x80004001u));
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(static_cast<LONG>(0x80004002u));
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(static_cast<LONG>(0x8007000Eu));
constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(static_cast<LONG>(0x80020005u));
constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(static_cast<LONG>(0x80040110u));
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(static_cast<LONG>(0x80040154u));
constexpr HRESULT CO_E_CLASSSTRING = static_cast<HRESULT>(static_cast<LONG>(0x800401F3u));
constexpr HRESULT CO_E_NOTINITIALIZED = static_cast<HRESULT>(static_cast<LONG>(0x800401F0u));
constexpr HRESULT RPC_E_CHANGED_MODE = static_cast<HRESULT>(static_cast<LONG>(0x80010106u));

// Apartment models for CoInitializeEx (CCOMBinder's flags).
constexpr DWORD COINIT_MULTITHREADED = 0x0;
constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;

// Variant types used by the document's typed values and properties.
enum VARENUM : VARTYPE {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R8 = 5,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_BOOL = 11,
    VT_I8 = 20,
};

struct VARIANT {
    VARTYPE vt;
    WORD wReserved1;
    WORD wReserved2;
    WORD wReserved3;
    union {
        LONGLONG llVal;
        LONG lVal;
        SHORT iVal;
        double dblVal;
        VARIANT_BOOL boolVal;
        DATE date;
        BSTR bstrVal;
    };
};
typedef VARIANT VARIANTARG;

struct GUID {
    unsigned long Data1;
    unsigned short Data2;
    unsigned short Data3;
    unsigned char Data4[8];
};
typedef GUID IID;
typedef GUID CLSID;
typedef const IID& REFIID;
typedef const CLSID& REFCLSID;

extern "C" {
// A BSTR carries its length in front of the text; null stands for the empty string.
TKV_API BSTR SysAllocString(const OLECHAR* text);
TKV_API BSTR SysAllocStringLen(const OLECHAR* text, UINT length);
TKV_API void SysFreeString(BSTR text);
// Replaces *text with a copy of length characters of source (null: that many zeros); FALSE,
// with *text unchanged, when memory runs out.
TKV_API INT SysReAllocStringLen(BSTR* text, const OLECHAR* source, UINT length);
TKV_API UINT SysStringLen(BSTR text);
TKV_API void VariantInit(VARIANTARG* value);
// Frees what the variant owns (its BSTR) and leaves it VT_EMPTY.
TKV_API HRESULT VariantClear(VARIANTARG* value);
}

struct IUnknown {
    virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

  protected:
    ~IUnknown() = default;
};

struct IXMLDOMNamedNodeMap;

// One node of a document: element, attribute, text, comment ... Names and values come back as
// BSTRs the caller frees; children and attribute maps as references the caller releases.
struct IXMLDOMNode : IUnknown {
    virtual HRESULT get_nodeName(BSTR* name) = 0;
    virtual HRESULT get_firstChild(IXMLDOMNode** child) = 0;
    virtual HRESULT get_nextSibling(IXMLDOMNode** sibling) = 0;
    virtual HRESULT get_attributes(IXMLDOMNamedNodeMap** attributes) = 0;
    virtual HRESULT get_nodeTypedValue(VARIANT* value) = 0;

  protected:
    ~IXMLDOMNode() = default;
};

struct IXMLDOMElement : IXMLDOMNode {
  protected:
    ~IXMLDOMElement() = default;
};

struct IXMLDOMNamedNodeMap : IUnknown {
    // S_FALSE with a null item when no attribute bears the name.
    virtual HRESULT getNamedItem(BSTR name, IXMLDOMNode** item) = 0;
    virtual HRESULT get_length(LONG* length) = 0;
    virtual HRESULT get_item(LONG index, IXMLDOMNode** item) = 0;

  protected:
    ~IXMLDOMNamedNodeMap() = default;
};

struct IXMLDOMDocument : IXMLDOMNode {
    // VARIANT_FALSE in *ok (and S_FALSE) when the text does not load.
    virtual HRESULT loadXML(BSTR xml, VARIANT_BOOL* ok) = 0;
    virtual HRESULT get_documentElement(IXMLDOMElement** element) = 0;

  protected:
    ~IXMLDOMDocument() = default;
};

struct IXMLDOMDocument2 : IXMLDOMDocument {
    // "ProhibitDTD" and "ResolveExternals", each a VT_BOOL or VT_I2 flag.
    virtual HRESULT setProperty(BSTR name, VARIANT value) = 0;

  protected:
    ~IXMLDOMDocument2() = default;
};

// The exception for a failing COM call: it carries the call's HRESULT.
class TKV_API _com_error {
  public:
    explicit _com_error(HRESULT hr) noexcept : hr_(hr) {}
    HRESULT Error() const noexcept { return hr_; }

  private:
    HRESULT hr_;
};

[[noreturn]] inline void _com_issue_error(HRESULT hr) {
    throw _com_error(hr);
}

// A counted interface pointer: copies add a reference, destruction releases it; operator->
// on a null pointer raises _com_error with E_POINTER.
template <class T>
class _com_ptr_t {
  public:
    _com_ptr_t() noexcept = default;
    _com_ptr_t(decltype(nullptr)) noexcept {}
    // Takes a new reference on p (as the system's pointer does unless told to attach).
    _com_ptr_t(T* p) noexcept : p_(p) { AddRefIf(); }
    _com_ptr_t(T* p, bool addRef) noexcept : p_(p) {
        if (addRef)
            AddRefIf();
    }
    _com_ptr_t(const _com_ptr_t& o) noexcept : p_(o.p_) { AddRefIf(); }
    _com_ptr_t(_com_ptr_t&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    template <class U>
    _com_ptr_t(const _com_ptr_t<U>& o) noexcept : p_(o.GetInterfacePtr()) {
        AddRefIf();
    }
    ~_com_ptr_t() { Release(); }

    _com_ptr_t& operator=(_com_ptr_t o) noexcept {
        T* old = p_;
        p_ = o.p_;
        o.p_ = old;
        return *this;
    }
    _com_ptr_t& operator=(decltype(nullptr)) noexcept {
        Release();
        return *this;
    }

    void Release() noexcept {
        if (p_ != nullptr) {
            T* p = p_;
            p_ = nullptr;
            p->Release();
        }
    }
    // Takes over p without a new reference.
    void Attach(T* p) noexcept {
        Release();
        p_ = p;
    }
    T* Detach() noexcept {
        T* p = p_;
        p_ = nullptr;
        return p;
    }
    T* GetInterfacePtr() const noexcept { return p_; }
    T** operator&() noexcept {
        Release();
        return &p_;
    }
    T* operator->() const {
        if (p_ == nullptr)
            _com_issue_error(E_POINTER);
        return p_;
    }
    operator T*() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }

  private:
    void AddRefIf() noexcept {
        if (p_ != nullptr)
            p_->AddRef();
    }
    T* p_ = nullptr;
};

typedef _com_ptr_t<IUnknown> IUnknownPtr;
typedef _com_ptr_t<IXMLDOMNode> IXMLDOMNodePtr;
typedef _com_ptr_t<IXMLDOMElement> IXMLDOMElementPtr;
typedef _com_ptr_t<IXMLDOMNamedNodeMap> IXMLDOMNamedNodeMapPtr;
typedef _com_ptr_t<IXMLDOMDocument> IXMLDOMDocumentPtr;
typedef _com_ptr_t<IXMLDOMDocument2> IXMLDOMDocument2Ptr;

#endif  // TKV_POSIX_DOM_H
