// CXml with its tags and attributes: loading, path lookups, the attribute cache, iteration,
// ownership of what lookups hand out, and the _com_error cases.
#include "tkv/xml.h"

#include <gtest/gtest.h>

#include "host.h"

namespace {

using TKV::CXml;
using TKV::CXMLAttribute;
using TKV::CXMLTag;
using TKV::CXMLToken;

const wchar_t* const kConfig =
    L"<cfg id='7' Mode='x'>"
    L"  <!-- note -->"
    L"  <server host='h' port='8080'/>"
    L"  <item n='a'>one</item><item n='b'>two</item>"
    L"  <count xmlns:dt='urn:types' dt:dt='int'>42</count>"
    L"  <num v='42abc' w=' -7' big='99999999999'/>"
    L"</cfg>";

template <class F>
HRESULT ErrorOf(F f) {
    try {
        f();
    } catch (const _com_error& e) {
        return e.Error();
    }
    return S_OK;
}

TEST(CXmlLoad, ReplacesTheTreeOrKeepsItForNull) {
    CXml xml(kConfig);
    CXMLTag* root = xml.GetRoot();
    ASSERT_NE(nullptr, root);
    EXPECT_STREQ(L"cfg", root->name);
    EXPECT_FALSE(xml.LoadXML(nullptr));
    EXPECT_EQ(root, xml.GetRoot());
    EXPECT_FALSE(xml.LoadXML(L"<cfg><open></cfg>"));
    EXPECT_EQ(nullptr, xml.GetRoot());
    EXPECT_FALSE(xml.LoadXML(L"<!DOCTYPE r [<!ELEMENT r EMPTY>]><r>text</r>")) << "invalid";
    EXPECT_TRUE(xml.LoadXML(L"<!DOCTYPE r [<!ELEMENT r EMPTY>]><r/>"));
    EXPECT_FALSE(xml.LoadXML(L""));
}

TEST(CXmlPaths, FindTagsAndAttributesByNameAndTypedTagsBearNoText) {
    CXml xml(kConfig);
    CXMLTag* root = xml.GetRoot();
    EXPECT_EQ(root, xml.FindTagV(L"CFG", nullptr)) << "names compare regardless of case";
    EXPECT_EQ(root, xml.FindTagV(L"other", L"child", nullptr));
    EXPECT_EQ(nullptr, xml.FindAttributeV(L"other", L"id", nullptr));
    EXPECT_EQ(nullptr, xml.FindTagV(L"cfg", L"none", L"server", nullptr));
    EXPECT_EQ(nullptr, xml.FindAttributeV(L"cfg", nullptr));
    EXPECT_STREQ(L"7", xml.FindAttributeV(L"cfg", L"id", nullptr)->GetValue());
    CXMLAttribute* port = xml.FindAttributeV(L"cfg", L"server", L"port", nullptr);
    ASSERT_NE(nullptr, port);
    EXPECT_EQ(8080, port->ToInt());
    EXPECT_EQ(xml.FindTagV(L"cfg", L"server", nullptr), xml.FindTagV(L"cfg", L"server", nullptr))
        << "a repeated lookup gives the same tag";
    EXPECT_EQ(nullptr, xml.FindTagV(L"cfg", L"count", nullptr)->GetValue()) << "typed: no text";
    EXPECT_STREQ(L"one", xml.FindTagV(L"cfg", L"item", nullptr)->GetValue());
    EXPECT_THROW(CXml::GetXMLTextValue(nullptr), _com_error);
}

TEST(CXMLTagLookup, AttributeCacheKeepsItsObjectsAndExactNames) {
    CXml xml(kConfig);
    CXMLTag* root = xml.GetRoot();
    CXMLAttribute* id = root->GetAttribute(L"id");
    ASSERT_NE(nullptr, id);
    EXPECT_EQ(id, root->GetAttribute(L"id"));
    ASSERT_NE(nullptr, root->GetAttribute(L"Mode"));
    EXPECT_EQ(id, root->GetAttribute(L"id")) << "after re-sorting";
    EXPECT_EQ(nullptr, root->GetAttribute(L"ID"));
    EXPECT_EQ(nullptr, root->GetAttribute(L"mode"));
    CXMLTag* server = root->GetTag(L"SERVER");
    ASSERT_NE(nullptr, server);
    EXPECT_STREQ(L"SERVER", server->name) << "bears the caller's name";
    EXPECT_EQ(root, server->GetParent());
    EXPECT_EQ(nullptr, root->GetTag(nullptr));
    CXMLTag* first = root->GetTag(L"item");
    EXPECT_STREQ(L"one", first->GetValue());
    first->name.GetBuffer()[0] = L'I';
    id->name += L"entity";  // names are tokens like any other: changed in place, grown
    EXPECT_STREQ(L"Item", first->name);
    EXPECT_STREQ(L"identity", id->name);
}

TEST(CXMLTagIteration, VisitsEveryChildOnceAndReusesItsTags) {
    CXml xml(kConfig);
    CXMLTag* root = xml.GetRoot();
    EXPECT_EQ(nullptr, root->NextTag());
    std::vector<CXMLTag*> walk;
    for (CXMLTag* t = root->FirstTag(); t != nullptr; t = root->NextTag())
        walk.push_back(t);
    ASSERT_EQ(6u, walk.size());
    EXPECT_STREQ(L"#comment", walk[0]->name);
    EXPECT_NE(walk[2], walk[3]) << "two siblings of one name";
    EXPECT_STREQ(L"two", walk[3]->GetValue());
    EXPECT_EQ(nullptr, root->NextTag());
    EXPECT_EQ(nullptr, root->NextTag());
    EXPECT_EQ(walk[0], root->FirstTag()) << "a second walk reuses the tags";
    EXPECT_EQ(walk[1], root->NextTag());
    CXMLTag* text = walk[2]->FirstTag();
    EXPECT_STREQ(L"#text", text->name);
    EXPECT_EQ(nullptr, text->GetAttribute(L"x"));
}

TEST(CXMLAttributeValue, ReadsLeadingDecimalNumbers) {
    CXml xml(kConfig);
    CXMLTag* num = xml.FindTagV(L"cfg", L"num", nullptr);
    EXPECT_EQ(42, num->GetAttribute(L"v")->ToInt());
    EXPECT_EQ(-7, num->GetAttribute(L"w")->ToLong());
    EXPECT_EQ(2147483647, num->GetAttribute(L"big")->ToInt());
    EXPECT_EQ(0, CXMLAttribute(L"v").ToInt());
}

TEST(CXmlErrors, ReleasedTagsAndMissingDocumentsRaise) {
    CXml xml(kConfig);
    CXMLTag* root = xml.GetRoot();
    CXMLAttribute* id = root->GetAttribute(L"id");
    root->FirstTag();
    root->Release();
    EXPECT_EQ(id, root->GetAttribute(L"id"));
    EXPECT_STREQ(L"7", id->GetValue()) << "the attribute keeps its own node";
    EXPECT_NE(nullptr, root->NextTag()) << "an iteration under way goes on";
    EXPECT_EQ(nullptr, root->FirstTag());
    EXPECT_EQ(nullptr, root->GetValue());
    EXPECT_EQ(E_POINTER, ErrorOf([&] { root->GetAttribute(L"Mode"); }));
    EXPECT_THROW(root->GetTag(L"server"), _com_error);
    EXPECT_THROW(xml.FindTagV(L"cfg", L"server", nullptr), _com_error);
}

class CXmlClasses : public ::testing::Test {
  protected:
    void TearDown() override { TKV::test::RestoreComClasses(); }
};

TEST_F(CXmlClasses, FallBackToTheOlderDocumentThenToNone) {
    if (!TKV::test::HideComClass(L"Msxml2.DOMDocument.6.0")) {
        GTEST_SKIP() << "the system's document classes cannot be taken away";
    }
    {
        CXml older(L"<!DOCTYPE r [<!ELEMENT r EMPTY>]><r/>");
        EXPECT_NE(nullptr, older.GetRoot());
    }
    TKV::test::HideComClass(L"Msxml2.DOMDocument.4.0");
    CXml none;
    EXPECT_FALSE(none.LoadXML(nullptr));
    EXPECT_EQ(E_POINTER, ErrorOf([] { CXml(L"<r/>"); }));
}

TEST(CXmlCopies, OwnTheirTreesApartAndTokensOrderByCodeUnitNullFirst) {
    auto* source = new CXml(kConfig);
    source->GetRoot()->GetAttribute(L"id");
    CXml copy(*source);
    CXml assigned;
    assigned = *source;
    CXMLTag tagCopy(*source->GetRoot());
    delete source;
    EXPECT_STREQ(L"7", copy.FindAttributeV(L"cfg", L"id", nullptr)->GetValue());
    EXPECT_STREQ(L"h", assigned.FindAttributeV(L"cfg", L"server", L"host", nullptr)->GetValue());
    EXPECT_STREQ(L"x", tagCopy.GetAttribute(L"Mode")->GetValue());
    CXMLToken a(L"a"), upper(L"B"), none(nullptr);
    EXPECT_TRUE(upper < a && none < a && a != upper);
    EXPECT_FALSE(a < upper || a == upper);
    CXMLToken token(a);
    token = upper;
    EXPECT_STREQ(L"a", a) << "copies are deep";
}

}  // namespace
