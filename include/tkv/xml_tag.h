// The caller's view of the nodes of a CXml document. A CXMLTag stands for one node: it hands
// out its children as further tags (by name, or in document order) and its attributes as
// CXMLAttribute objects. Everything a tag hands out belongs to it and lives until the tag is
// destroyed; asking again for the same child or attribute gives the same object.
#ifndef TKV_XML_TAG_H
#define TKV_XML_TAG_H

#include "tkv/buffer.h"
#include "tkv/dom.h"
#include "tkv/export.h"
#include "tkv/xml_item_list.h"

namespace TKV {

namespace detail {
class TagArena;
}

// A name, ordered by code unit and case-sensitively (a missing text first). Copies are deep.
class TKV_API CXMLToken : public CBuffer<wchar_t> {
  public:
    CXMLToken(const wchar_t* text = nullptr);
    CXMLToken(const CXMLToken& other);
    CXMLToken& operator=(const CXMLToken& other);
    ~CXMLToken() = default;

    bool operator==(const CXMLToken& other) const { return Order(other) == 0; }
    bool operator!=(const CXMLToken& other) const { return Order(other) != 0; }
    bool operator<(const CXMLToken& other) const { return Order(other) < 0; }
    bool operator<=(const CXMLToken& other) const { return Order(other) <= 0; }
    bool operator>(const CXMLToken& other) const { return Order(other) > 0; }
    bool operator>=(const CXMLToken& other) const { return Order(other) >= 0; }

    // -1, 0 or 1 as this token sorts before, with or after the other (or a text).
    int Order(const CXMLToken& other) const;
    int Order(const wchar_t* text) const;

  private:
    friend class CXMLTag;  // keeps the names of what it hands out in its tree's storage
};

class CXMLTag;

// One attribute of a tag. Made by CXMLTag::GetAttribute, which keeps and deletes it.
class TKV_API CXMLAttribute {
  public:
    CXMLToken name;

    // A search key: no tag, no node.
    explicit CXMLAttribute(const wchar_t* name);
    // Enters itself in tag's attributes, which then own it: make it with new.
    CXMLAttribute(CXMLTag* tag, const IXMLDOMNodePtr& node, const wchar_t* name);
    // A copy shares the node and belongs to nobody.
    CXMLAttribute(const CXMLAttribute& other);
    CXMLAttribute& operator=(const CXMLAttribute& other);
    ~CXMLAttribute();

    // The value's text (see CXml::GetXMLTextValue for its lifetime); null without a node or for
    // a value that is no text.
    const wchar_t* GetValue();
    // The value read as a decimal number (leading blanks and a sign, up to the first other
    // character); 0 when there is none.
    int ToInt();
    long ToLong();
    operator CXMLAttribute*() { return this; }

  private:
    friend class CXMLTag;
    struct InPlace {};
    // Made by a tag in storage of its own, which gives it node and name and enters it in its
    // attributes.
    CXMLAttribute(InPlace, CXMLTag* tag) : tag(tag) {}

    CXMLTag* tag;
    IXMLDOMNodePtr node;
};

// One node of the document, usually an element. Not for use from other threads than the one
// that made its document.
class TKV_API CXMLTag {
  public:
    CXMLToken name;

    explicit CXMLTag(const wchar_t* name);
    CXMLTag(const IXMLDOMNodePtr& node, const wchar_t* name);
    CXMLTag(CXMLTag* parent, const IXMLDOMNodePtr& node, const wchar_t* name);
    // A copy stands for the same node and starts with nothing handed out.
    CXMLTag(const CXMLTag& other);
    CXMLTag& operator=(const CXMLTag& other);
    ~CXMLTag();

    // The first child node whose name equals `name` regardless of case, as a tag bearing
    // `name`; null when none does. Raises _com_error (E_POINTER) after Release.
    CXMLTag* GetTag(const wchar_t* name);
    // The attribute of exactly that qualified name, or null. Raises _com_error (E_POINTER)
    // after Release for a name not asked for before.
    CXMLAttribute* GetAttribute(const wchar_t* name);
    // Children of every kind in document order (text and comments too); null at the end.
    CXMLTag* FirstTag();
    CXMLTag* NextTag();
    const wchar_t* GetValue();
    // Lets go of the node; what was handed out stays.
    void Release();
    operator CXMLTag*() { return this; }

    CXMLTag* GetParent() const { return parent; }

  private:
    friend class CXMLAttribute;
    CXMLAttribute* FindAttribute(const wchar_t* name);
    CXMLTag* FindTag(const wchar_t* name, IXMLDOMNode* child);
    CXMLTag* MakeChild(const IXMLDOMNodePtr& child, const wchar_t* name);
    CXMLTag* IteratedChild(CXMLTag* known, const IXMLDOMNodePtr& child);
    // Storage for what this tag hands out: its creator's, or one of its own made when first
    // needed (a tag made by the caller, or a copy).
    void* Take(size_t bytes);
    // Gives token a copy of text in that storage.
    void Name(CXMLToken& token, const wchar_t* text);
    template <class T>
    void SeedSlots(CXMLItemList<T>& list);

    CXMLTag* parent;  // not owned
    IXMLDOMNodePtr node;
    IXMLDOMNodePtr cursor;  // the child last visited by FirstTag/NextTag
    CXMLItemList<CXMLAttribute> attributes;
    CXMLItemList<CXMLTag> children;  // every tag this one made; all owned
    // The iteration's tags in document order, so that walking again reuses them.
    CXMLTag* firstIterated = nullptr;
    CXMLTag* cursorTag = nullptr;
    CXMLTag* nextIterated = nullptr;    // in the parent's chain
    detail::TagArena* arena = nullptr;  // deleted by the tag it names as its owner
};

}  // namespace TKV

#endif  // TKV_XML_TAG_H
