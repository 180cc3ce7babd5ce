// Loads arbitrary bytes as a document and walks every tag and attribute: nothing may crash,
// leak or read out of bounds; _com_error is the only failure allowed out of the classes.
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "tkv/xml.h"

namespace {

// Names that stand before a '=' in the input: the attribute names a walk asks each tag for.
std::vector<std::wstring> AttributeNames(const std::wstring& text) {
    std::vector<std::wstring> names;
    for (size_t eq = text.find(L'='); eq != std::wstring::npos && names.size() < 64;
         eq = text.find(L'=', eq + 1)) {
        size_t end = eq;
        while (end > 0 && text[end - 1] == L' ')
            --end;
        size_t begin = end;
        while (begin > 0 && text[begin - 1] > L' ' && text[begin - 1] != L'<' &&
               text[begin - 1] != L'"' && text[begin - 1] != L'\'')
            --begin;
        if (begin < end)
            names.push_back(text.substr(begin, end - begin));
    }
    return names;
}

void Walk(TKV::CXMLTag* tag, const std::vector<std::wstring>& names, int depth) {
    tag->GetValue();
    for (const auto& n : names) {
        if (TKV::CXMLAttribute* a = tag->GetAttribute(n.c_str()))
            a->ToInt();
    }
    if (depth > 4096)
        return;
    for (TKV::CXMLTag* child = tag->FirstTag(); child != nullptr; child = tag->NextTag())
        Walk(child, names, depth + 1);
    tag->GetTag(L"a");
}

}  // namespace

// The first byte picks how the rest becomes wide text: byte by byte, or four bytes to a
// character so that surrogates and values beyond Unicode come through too.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    std::wstring text;
    if (data[0] == 0xFF) {
        for (size_t i = 1; i + 4 <= size; i += 4)
            text.push_back(static_cast<wchar_t>(data[i] | data[i + 1] << 8 | data[i + 2] << 16 |
                                                static_cast<uint32_t>(data[i + 3]) << 24));
    } else {
        for (size_t i = 0; i < size; ++i)
            text.push_back(static_cast<wchar_t>(data[i]));
    }
    try {
        TKV::CXml xml;
        if (xml.LoadXML(text.c_str())) {
            Walk(xml.GetRoot(), AttributeNames(text), 0);
            xml.FindAttributeV(xml.GetRoot()->name, L"a", L"b", nullptr);
        }
    } catch (const _com_error&) {
    }
    return 0;
}
