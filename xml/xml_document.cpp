#include <stdarg.h>
#include <string.h>
#include <wchar.h>

#include <string>

#include "platform/com.h"
#include "platform/thread_slot.h"
#include "tkv/memory.h"
#include "tkv/string_functions.h"
#include "tkv/xml.h"
#include "xml/com_check.h"

namespace TKV {

namespace {

constexpr unsigned int kTmpLimit = 512000;  // the temporary-string ring's largest string

// Text that outlives the VARIANT it came in: a temporary string, or for a text too long for
// the ring, the thread's one long-text buffer.
const wchar_t* KeepText(BSTR text) {
    unsigned int length = SysStringLen(text);
    if (length < kTmpLimit) {
        wchar_t* s = nullptr;
        TKVGetTmpString(s, length + 1);
        if (length > 0)
            wmemcpy(s, text, length);
        s[length] = 0;
        return s;
    }
    static platform::ThreadLocal<std::wstring> longText;
    std::wstring* kept = longText.Get();
    if (kept == nullptr)
        return nullptr;
    kept->assign(text, length);
    return kept->c_str();
}

HRESULT CreateDocument(const wchar_t* progId, IXMLDOMDocument2Ptr& document) {
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(progId, &clsid);
    if (FAILED(hr))
        return hr;
    IUnknownPtr unknown;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IUnknown,
                          reinterpret_cast<void**>(&unknown));
    if (FAILED(hr))
        return hr;
    hr = OleRun(unknown);
    if (FAILED(hr))
        return hr;
    return unknown->QueryInterface(IID_IXMLDOMDocument2, reinterpret_cast<void**>(&document));
}

void SetFlag(IXMLDOMDocument2Ptr& document, const wchar_t* property, SHORT value) {
    detail::OwnedBstr name(property);
    detail::OwnedVariant flag;
    flag.v.vt = VT_I2;
    flag.v.iVal = value;
    detail::Check(document->setProperty(name.get(), flag.v));
}

}  // namespace

CXml::CXml() : isMSXML6(false), root(nullptr) {
    int version = 0;
    CreateXMLDocument(&version);
    isMSXML6 = version == 6;
}

CXml::CXml(const wchar_t* xml) : CXml() {
    LoadXML(xml);
}

CXml::CXml(const CXml& other) : isMSXML6(other.isMSXML6), document(other.document), root(nullptr) {
    if (other.root != nullptr)
        root = new CXMLTag(*other.root);
}

CXml& CXml::operator=(const CXml& other) {
    if (this != &other) {
        Reset();
        isMSXML6 = other.isMSXML6;
        document = other.document;
        if (other.root != nullptr)
            root = new CXMLTag(*other.root);
    }
    return *this;
}

CXml::~CXml() {
    Reset();
    document = nullptr;
}

// The 6.0 document first, else 4.0. The extra initialisation stays in place for the thread's
// life, as agents written for the system's COM expect.
HRESULT CXml::CreateXMLDocument(int* version) {
    CoInitialize(nullptr);
    *version = 0;
    HRESULT hr = CreateDocument(L"Msxml2.DOMDocument.6.0", document);
    if (hr != S_OK) {
        document = nullptr;
        hr = CreateDocument(L"Msxml2.DOMDocument.4.0", document);
        if (hr == S_OK)
            *version = 4;
        else
            document = nullptr;
        return hr;
    }
    // Documents with a DTD are accepted and their external definitions resolved.
    SetFlag(document, L"ProhibitDTD", 0);
    SetFlag(document, L"ResolveExternals", -1);
    *version = 6;
    return S_OK;
}

bool CXml::LoadXML(const wchar_t* xml) {
    if (xml == nullptr)
        return false;
    Reset();
    detail::OwnedBstr text(xml);
    if (!document)
        _com_issue_error(E_POINTER);
    VARIANT_BOOL ok = VARIANT_FALSE;
    detail::Check(document->loadXML(text.get(), &ok));
    if (ok == VARIANT_FALSE)
        return false;
    IXMLDOMElementPtr element;
    detail::Check(document->get_documentElement(&element));
    IXMLDOMNodePtr node;
    if (element) {
        HRESULT hr = element->QueryInterface(IID_IXMLDOMNode, reinterpret_cast<void**>(&node));
        if (FAILED(hr) && hr != E_NOINTERFACE)
            _com_issue_error(hr);
    }
    if (!node)
        return false;
    detail::OwnedBstr name;
    detail::Check(node->get_nodeName(&name));
    root = new CXMLTag(node, name.get() != nullptr ? name.get() : L"");
    return true;
}

void CXml::Reset() {
    if (root != nullptr)
        root->Release();
    delete root;
    root = nullptr;
}

CXMLTag* CXml::FindTagV(const wchar_t* first, ...) {
    if (root == nullptr || first == nullptr)
        return nullptr;
    if (!StrEqual(root->name.GetBuffer(), first, false))
        return root;
    va_list names;
    va_start(names, first);
    CXMLTag* tag = root;
    for (const wchar_t* name = va_arg(names, const wchar_t*); name != nullptr && tag != nullptr;
         name = va_arg(names, const wchar_t*)) {
        try {
            tag = tag->GetTag(name);
        } catch (...) {
            va_end(names);
            throw;
        }
    }
    va_end(names);
    return tag;
}

CXMLAttribute* CXml::FindAttributeV(const wchar_t* first, ...) {
    if (root == nullptr || first == nullptr)
        return nullptr;
    if (!StrEqual(root->name.GetBuffer(), first, false))
        return nullptr;
    va_list names;
    va_start(names, first);
    CXMLAttribute* result = nullptr;
    try {
        const wchar_t* pending = va_arg(names, const wchar_t*);
        CXMLTag* tag = root;
        while (pending != nullptr) {
            const wchar_t* next = va_arg(names, const wchar_t*);
            if (next == nullptr) {
                result = tag->GetAttribute(pending);
                break;
            }
            tag = tag->GetTag(pending);
            if (tag == nullptr)
                break;
            pending = next;
        }
    } catch (...) {
        va_end(names);
        throw;
    }
    va_end(names);
    return result;
}

const wchar_t* CXml::GetXMLTextValue(const IXMLDOMNodePtr& node) {
    if (!node)
        _com_issue_error(E_POINTER);
    detail::OwnedVariant value;
    detail::Check(node->get_nodeTypedValue(&value.v));
    if (value.v.vt != VT_BSTR)
        return nullptr;
    return KeepText(value.v.bstrVal);
}

}  // namespace TKV
