// The XML classes' handling of COM results and COM-owned text. Internal to xml/.
#ifndef TKV_XML_COM_CHECK_H
#define TKV_XML_COM_CHECK_H

#include "tkv/dom.h"

namespace TKV::detail {

// A failing result leaves the operation as _com_error; success codes pass.
inline void Check(HRESULT hr) {
    if (FAILED(hr))
        _com_issue_error(hr);
}

// A BSTR owned for the length of a call.
class OwnedBstr {
  public:
    OwnedBstr() = default;
    // A copy of text; raises E_OUTOFMEMORY when it cannot be made.
    explicit OwnedBstr(const wchar_t* text) : s_(SysAllocString(text)) {
        if (text != nullptr && s_ == nullptr)
            _com_issue_error(E_OUTOFMEMORY);
    }
    OwnedBstr(const OwnedBstr&) = delete;
    OwnedBstr& operator=(const OwnedBstr&) = delete;
    ~OwnedBstr() { SysFreeString(s_); }
    BSTR* operator&() { return &s_; }
    BSTR get() const { return s_; }

  private:
    BSTR s_ = nullptr;
};

class OwnedVariant {
  public:
    OwnedVariant() { VariantInit(&v); }
    OwnedVariant(const OwnedVariant&) = delete;
    OwnedVariant& operator=(const OwnedVariant&) = delete;
    ~OwnedVariant() { VariantClear(&v); }
    VARIANT v;
};

}  // namespace TKV::detail

#endif  // TKV_XML_COM_CHECK_H
