// The document model over libxml2: loading rules (safety, DTDs, encodings), node names and
// typed values, as the XML classes rely on them.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/com.h"
#include "tests/support/temp_file.h"

namespace {

class DomTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_GE(CoInitialize(nullptr), 0); }
    void TearDown() override { CoUninitialize(); }

    // A 6.0 document opened up as the XML classes open it.
    static IXMLDOMDocument2Ptr NewDocument(bool open = true) {
        CLSID clsid;
        EXPECT_EQ(S_OK, CLSIDFromProgID(L"Msxml2.DOMDocument.6.0", &clsid));
        IXMLDOMDocument2Ptr doc;
        EXPECT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IXMLDOMDocument2,
                                         reinterpret_cast<void**>(&doc)));
        VARIANT v;
        VariantInit(&v);
        v.vt = VT_I2;
        for (const wchar_t* name : {L"ProhibitDTD", L"ResolveExternals"}) {
            BSTR b = SysAllocString(name);
            EXPECT_EQ(S_OK, open ? doc->setProperty(b, v) : S_OK);
            v.iVal = -1;
            SysFreeString(b);
        }
        return doc;
    }
    static bool Load(IXMLDOMDocument2Ptr doc, const std::wstring& xml) {
        BSTR text = SysAllocString(xml.c_str());
        VARIANT_BOOL ok = VARIANT_FALSE;
        HRESULT hr = doc->loadXML(text, &ok);
        SysFreeString(text);
        EXPECT_GE(hr, 0);
        return ok == VARIANT_TRUE;
    }
    static bool Load(const std::wstring& xml) { return Load(NewDocument(), xml); }
    static std::wstring Name(IXMLDOMNode* node) {
        BSTR name = nullptr;
        EXPECT_EQ(S_OK, node->get_nodeName(&name));
        std::wstring s(name, SysStringLen(name));
        SysFreeString(name);
        return s;
    }
    static IXMLDOMNodePtr Root(IXMLDOMDocument2Ptr doc) {
        IXMLDOMElementPtr e;
        doc->get_documentElement(&e);
        return IXMLDOMNodePtr(e);
    }
    static IXMLDOMNodePtr Child(IXMLDOMNodePtr node) {
        IXMLDOMNodePtr child;
        node->get_firstChild(&child);
        return child;
    }
};

std::wstring BillionLaughs() {
    std::wstring xml = L"<!DOCTYPE r [<!ELEMENT r (#PCDATA)><!ENTITY l0 \"lol\">";
    for (int i = 1; i <= 9; ++i) {
        xml += L"<!ENTITY l" + std::to_wstring(i) + L" \"";
        for (int k = 0; k < 10; ++k)
            xml += L"&l" + std::to_wstring(i - 1) + L";";
        xml += L"\">";
    }
    return xml + L"]><r>&l9;</r>";
}

TEST_F(DomTest, HostileEntitiesFailToLoad) {
    EXPECT_FALSE(Load(BillionLaughs()));
    EXPECT_FALSE(
        Load(L"<!DOCTYPE r [<!ELEMENT r (#PCDATA)><!ENTITY a \"&b;\">"
             L"<!ENTITY b \"&a;\">]><r>&a;</r>"));
    std::wstring deep;
    for (int i = 0; i < 100000; ++i)
        deep += L"<a>";
    EXPECT_FALSE(Load(deep + L"x"));
}

// A short text expanded a hundredfold by nested entities is harmless, though libxml2 alone
// reports it as an entity loop.
TEST_F(DomTest, HarmlessNestedEntitiesLoad) {
    IXMLDOMDocument2Ptr doc = NewDocument();
    ASSERT_TRUE(Load(doc,
                     L"<!DOCTYPE r [<!ELEMENT r (#PCDATA)>"
                     L"<!ENTITY a \"0123456789012345678901234567890123456789\">"
                     L"<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
                     L"<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">]><r>&c;</r>"));
    VARIANT v;
    ASSERT_EQ(S_OK, Root(doc)->get_nodeTypedValue(&v));
    ASSERT_EQ(VT_BSTR, v.vt);
    EXPECT_EQ(4000u, SysStringLen(v.bstrVal));
    VariantClear(&v);
}

TEST_F(DomTest, WideTextLoadsWhateverEncodingItDeclares) {
    IXMLDOMDocument2Ptr doc = NewDocument();
    const std::wstring text = std::wstring(300, L'a') + L"\u00e9\u4e2d\U0001F600";  // ASCII first
    ASSERT_TRUE(Load(doc, L"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r>" + text + L"</r>"));
    VARIANT v;
    ASSERT_EQ(S_OK, Root(doc)->get_nodeTypedValue(&v));
    EXPECT_EQ(text, v.bstrVal);
    VariantClear(&v);
}

TEST_F(DomTest, DocumentTypesAndExternalEntitiesAreReadFromLocalFilesOnly) {
    const std::wstring dtd = L"<!DOCTYPE r [<!ELEMENT r (a)><!ELEMENT a EMPTY>]>";
    EXPECT_FALSE(Load(NewDocument(false), dtd + L"<r><a/></r>")) << "refused until allowed";
    TempFile file("<!ELEMENT r (a)><!ELEMENT a EMPTY>");
    const std::wstring local = file.WidePath();
    EXPECT_TRUE(Load(L"<!DOCTYPE r SYSTEM \"" + local + L"\"><r><a/></r>"));
    EXPECT_FALSE(Load(L"<!DOCTYPE r SYSTEM \"" + local + L"\"><r><b/></r>"));
    EXPECT_TRUE(Load(L"<!DOCTYPE r SYSTEM \"http://127.0.0.1:9/r.dtd\"><r><b/></r>"));
    EXPECT_TRUE(Load(L"<!DOCTYPE r PUBLIC \"-//x//y\" \"urn:x:y\"><r/>"));
    TempFile entity("inside");  // external entities come from local files only
    const std::wstring entityPath = entity.WidePath();
    IXMLDOMDocument2Ptr doc = NewDocument();
    ASSERT_TRUE(Load(doc, L"<!DOCTYPE r [<!ELEMENT r (#PCDATA)><!ENTITY e SYSTEM \"" + entityPath +
                              L"\">]><r>&e;</r>"));
    EXPECT_EQ(L"#text", Name(Child(Root(doc))));
    ASSERT_TRUE(Load(doc,
                     L"<!DOCTYPE r [<!ELEMENT r (#PCDATA)>"
                     L"<!ENTITY e SYSTEM \"http://127.0.0.1:9/e\">]><r>&e;</r>"));
    EXPECT_FALSE(Child(Root(doc))) << "not fetched";
}

TEST_F(DomTest, NodesBearTheirStandardNamesWithoutBlankText) {
    IXMLDOMDocument2Ptr doc = NewDocument();
    ASSERT_TRUE(Load(doc, L"<p:r xmlns:p=\"urn:p\">\n  <!--c-->\n  <![CDATA[d]]> t <a/>\n</p:r>"));
    IXMLDOMNodePtr root = Root(doc);
    EXPECT_EQ(L"p:r", Name(root));
    std::wstring names;
    for (IXMLDOMNodePtr n = Child(root); n;) {
        names += Name(n) + L" ";
        IXMLDOMNodePtr next;
        n->get_nextSibling(&next);
        n = next;
    }
    EXPECT_EQ(L"#comment #cdata-section #text a ", names);
}

TEST_F(DomTest, AttributesAreFoundByQualifiedName) {
    IXMLDOMDocument2Ptr doc = NewDocument();
    ASSERT_TRUE(Load(doc, L"<r xmlns:q=\"urn:q\" id=\"1\" q:id=\"2\" xml:lang=\"en\"/>"));
    IXMLDOMNamedNodeMapPtr map;
    ASSERT_EQ(S_OK, Root(doc)->get_attributes(&map));
    LONG length = 0;
    map->get_length(&length);
    EXPECT_EQ(3, length) << "namespace declarations are no attributes";
    for (const wchar_t* name : {L"id", L"q:id", L"xml:lang"}) {
        BSTR b = SysAllocString(name);
        IXMLDOMNodePtr item;
        EXPECT_EQ(S_OK, map->getNamedItem(b, &item)) << name;
        EXPECT_EQ(name, Name(item));
        SysFreeString(b);
    }
    BSTR missing = SysAllocString(L"xmlns:q");
    IXMLDOMNodePtr none;
    EXPECT_EQ(S_FALSE, map->getNamedItem(missing, &none));
    EXPECT_FALSE(none);
    SysFreeString(missing);
}

TEST_F(DomTest, TypedElementsYieldNoText) {
    IXMLDOMDocument2Ptr doc = NewDocument();
    ASSERT_TRUE(Load(doc,
                     L"<r xmlns:dt=\"urn:types\"><n dt:dt=\"int\">42</n>"
                     L"<s dt:dt=\"string\">x</s><b dt:dt=\"int\">x</b></r>"));
    IXMLDOMNodePtr n = Child(Root(doc));
    VARIANT v;
    ASSERT_EQ(S_OK, n->get_nodeTypedValue(&v));
    EXPECT_EQ(VT_I4, v.vt);
    EXPECT_EQ(42, v.lVal);
    IXMLDOMNodePtr s;
    n->get_nextSibling(&s);
    ASSERT_EQ(S_OK, s->get_nodeTypedValue(&v));
    EXPECT_EQ(VT_BSTR, v.vt);
    VariantClear(&v);
    IXMLDOMNodePtr b;
    s->get_nextSibling(&b);
    EXPECT_EQ(DISP_E_TYPEMISMATCH, b->get_nodeTypedValue(&v));
}

TEST_F(DomTest, NodesOutliveTheirDocumentsNextLoad) {
    IXMLDOMDocument2Ptr doc = NewDocument();
    ASSERT_TRUE(Load(doc, L"<old/>"));
    IXMLDOMNodePtr old = Root(doc);
    ASSERT_TRUE(Load(doc, L"<new/>"));
    EXPECT_EQ(L"old", Name(old));
    EXPECT_EQ(L"new", Name(Root(doc)));
}

// A reallocation into the room a longer text left keeps the exact new length.
TEST(Bstr, ReallocatesToTheNewTextInOrBeyondItsRoom) {
    BSTR s = nullptr;
    ASSERT_TRUE(SysReAllocStringLen(&s, L"longer", 6));
    ASSERT_TRUE(SysReAllocStringLen(&s, L"ab", 2));
    EXPECT_EQ(2u, SysStringLen(s));
    EXPECT_EQ(std::wstring(L"ab"), s);
    ASSERT_TRUE(SysReAllocStringLen(&s, s + 1, 1));  // from inside itself
    EXPECT_EQ(std::wstring(L"b"), s);
    ASSERT_TRUE(SysReAllocStringLen(&s, L"much longer", 11));
    EXPECT_EQ(std::wstring(L"much longer"), std::wstring(s, SysStringLen(s)));
    const std::wstring longer(40, L'x');
    ASSERT_TRUE(SysReAllocStringLen(&s, longer.c_str(), 40));
    EXPECT_EQ(longer, std::wstring(s, SysStringLen(s)));
    SysFreeString(s);
    // Short texts a thread freed are reused at their new length and given back at its end.
    std::thread([] {
        std::vector<BSTR> kept;
        for (UINT i = 0; i < 120; ++i)
            kept.push_back(SysAllocStringLen(nullptr, i % 70));
        for (BSTR b : kept)
            SysFreeString(b);
        BSTR again = SysAllocString(L"again");
        EXPECT_EQ(std::wstring(L"again"), std::wstring(again, SysStringLen(again)));
        SysFreeString(again);
    }).join();
}

TEST(ComClasses, NeedAnApartmentAndAKnownName) {
    CLSID clsid;
    EXPECT_EQ(CO_E_CLASSSTRING, CLSIDFromProgID(L"No.Such.Class", &clsid));
    ASSERT_EQ(S_OK, CLSIDFromProgID(L"Msxml2.DOMDocument.4.0", &clsid));
    void* object = &clsid;
    EXPECT_EQ(CO_E_NOTINITIALIZED,
              CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IUnknown, &object));
    EXPECT_EQ(nullptr, object);
}

}  // namespace
