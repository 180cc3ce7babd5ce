#include "tkv/xml_tag.h"

#include <limits.h>
#include <wchar.h>

#include <new>

#include "platform/com.h"
#include "platform/thread_slot.h"
#include "tkv/string_functions.h"
#include "tkv/xml.h"
#include "xml/com_check.h"
#include "xml/tag_arena.h"

namespace TKV {

namespace {

// COM identity: two pointers stand for one node when they answer with one IUnknown.
bool SameNode(IXMLDOMNode* a, IXMLDOMNode* b) {
    if (a == b)
        return true;
    if (a == nullptr || b == nullptr)
        return false;
    IUnknownPtr ua, ub;
    a->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&ua));
    b->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&ub));
    return ua && ua.GetInterfacePtr() == ub.GetInterfacePtr();
}

IXMLDOMNodePtr FirstChild(IXMLDOMNodePtr& node) {
    IXMLDOMNodePtr child;
    detail::Check(node->get_firstChild(&child));
    return child;
}

IXMLDOMNodePtr NextSibling(IXMLDOMNodePtr& node) {
    IXMLDOMNodePtr next;
    detail::Check(node->get_nextSibling(&next));
    return next;
}

// The name as the BSTR a lookup passes: one per thread, refilled in place, so that a walk
// asking every tag for its attributes allocates no name. Null for null.
BSTR LookupName(const wchar_t* name) {
    if (name == nullptr)
        return nullptr;
    static platform::ThreadLocal<detail::OwnedBstr> scratch;
    detail::OwnedBstr* kept = scratch.Get();
    if (kept == nullptr || !SysReAllocStringLen(&*kept, name, static_cast<UINT>(wcslen(name))))
        _com_issue_error(E_OUTOFMEMORY);
    return kept->get();
}

// Names an item made in a tag's storage and enters it in list, which then destroys it. An item
// that cannot be named or entered is destroyed at once, before the failure is raised: its node
// would keep the whole tree.
template <class T, class Naming>
T* Enter(CXMLItemList<T>& list, T* item, Naming name) {
    try {
        name(item->name);
    } catch (...) {
        item->~T();
        throw;
    }
    if (list.AddInPlace(item) < 0) {
        item->~T();
        _com_issue_error(E_OUTOFMEMORY);
    }
    return item;
}

}  // namespace

CXMLTag::CXMLTag(const wchar_t* name) : name(name), parent(nullptr) {}

CXMLTag::CXMLTag(const IXMLDOMNodePtr& node, const wchar_t* name)
    : name(name), parent(nullptr), node(node) {}

CXMLTag::CXMLTag(CXMLTag* parent, const IXMLDOMNodePtr& node, const wchar_t* name)
    : name(name), parent(parent), node(node) {}

CXMLTag::CXMLTag(const CXMLTag& other) : name(other.name), parent(other.parent), node(other.node) {}

// What this tag handed out stays its own; only the name and node are taken over.
CXMLTag& CXMLTag::operator=(const CXMLTag& other) {
    if (this != &other) {
        name = other.name;
        parent = other.parent;
        node = other.node;
    }
    return *this;
}

CXMLTag::~CXMLTag() {
    attributes.Clear();
    children.Clear();
    if (arena != nullptr && arena->Owner() == this)
        delete arena;
}

void* CXMLTag::Take(size_t bytes) {
    if (arena == nullptr)
        arena = new detail::TagArena(this);
    void* slot = arena->Take(bytes);
    if (slot == nullptr)
        _com_issue_error(E_OUTOFMEMORY);
    return slot;
}

// A walk names thousands of tags and attributes: their names go with the tree's storage, not
// into a heap block each. The token is new and without text; it stays so for an empty name (as
// a token made of one) and for one beyond what a buffer holds.
void CXMLTag::Name(CXMLToken& token, const wchar_t* text) {
    const size_t length = wcslen(text);
    if (length == 0 || length > (INT_MAX - sizeof(wchar_t)) / sizeof(wchar_t))
        return;
    auto* storage = static_cast<wchar_t*>(Take((length + 1) * sizeof(wchar_t)));
    wmemcpy(storage, text, length + 1);
    token.UseStorage(storage, static_cast<int>(length));
}

// Most tags hand out a few children and attributes: their first slots come with the tags.
template <class T>
void CXMLTag::SeedSlots(CXMLItemList<T>& list) {
    if (list.Count() == 0)
        list.Seed(static_cast<typename CXMLItemList<T>::Holder*>(
            Take(CXMLItemList<T>::kFirstSlots * sizeof(typename CXMLItemList<T>::Holder))));
}

CXMLAttribute* CXMLTag::FindAttribute(const wchar_t* name) {
    return attributes.Find(name);
}

CXMLAttribute* CXMLTag::GetAttribute(const wchar_t* name) {
    if (CXMLAttribute* cached = FindAttribute(name))
        return cached;
    if (!node)
        _com_issue_error(E_POINTER);
    IXMLDOMNamedNodeMapPtr map;
    detail::Check(node->get_attributes(&map));
    if (!map)
        return nullptr;
    IXMLDOMNodePtr item;
    detail::Check(map->getNamedItem(LookupName(name), &item));
    if (!item)
        return nullptr;
    static_assert(alignof(CXMLAttribute) <= detail::TagArena::kAlign, "the arena aligns it");
    SeedSlots(attributes);
    auto* attribute =
        new (Take(sizeof(CXMLAttribute))) CXMLAttribute(CXMLAttribute::InPlace{}, this);
    attribute->node.Attach(item.Detach());
    return Enter(attributes, attribute, [&](CXMLToken& token) { Name(token, name); });
}

// A tag already made for this child under this name, so that lookups do not pile up tags.
CXMLTag* CXMLTag::FindTag(const wchar_t* name, IXMLDOMNode* child) {
    for (int i = children.FindIndex(name); i >= 0 && i < children.Count(); ++i) {
        CXMLTag* tag = children.At(i);
        if (tag->name.Order(name) != 0)
            break;
        if (SameNode(tag->node, child))
            return tag;
    }
    return nullptr;
}

CXMLTag* CXMLTag::MakeChild(const IXMLDOMNodePtr& child, const wchar_t* name) {
    static_assert(alignof(CXMLTag) <= detail::TagArena::kAlign, "the arena aligns it");
    SeedSlots(children);
    auto* tag = new (Take(sizeof(CXMLTag))) CXMLTag(this, child, nullptr);
    tag->arena = arena;
    return Enter(children, tag, [&](CXMLToken& token) { Name(token, name); });
}

CXMLTag* CXMLTag::GetTag(const wchar_t* name) {
    if (!node)
        _com_issue_error(E_POINTER);
    for (IXMLDOMNodePtr child = FirstChild(node); child; child = NextSibling(child)) {
        detail::OwnedBstr childName;
        detail::Check(child->get_nodeName(&childName));
        if (!StrEqual(childName.get() != nullptr ? childName.get() : L"", name, false))
            continue;
        if (CXMLTag* known = FindTag(name, child))
            return known;
        return MakeChild(child, name);
    }
    return nullptr;
}

// The iteration's tag for a child: the one an earlier walk made when it is still in line.
CXMLTag* CXMLTag::IteratedChild(CXMLTag* known, const IXMLDOMNodePtr& child) {
    if (known != nullptr && SameNode(known->node, child))
        return known;
    detail::OwnedBstr childName;
    detail::Check(child->get_nodeName(&childName));
    CXMLTag* tag = MakeChild(child, childName.get() != nullptr ? childName.get() : L"");
    tag->nextIterated = nullptr;
    return tag;
}

CXMLTag* CXMLTag::FirstTag() {
    cursor = nullptr;
    cursorTag = nullptr;
    if (!node)
        return nullptr;
    IXMLDOMNodePtr child = FirstChild(node);
    if (!child)
        return nullptr;
    CXMLTag* tag = IteratedChild(firstIterated, child);
    firstIterated = tag;
    cursor.Attach(child.Detach());
    cursorTag = tag;
    return tag;
}

CXMLTag* CXMLTag::NextTag() {
    if (!cursor)
        return nullptr;
    cursor.Attach(NextSibling(cursor).Detach());
    if (!cursor) {
        cursorTag = nullptr;
        return nullptr;
    }
    CXMLTag* before = cursorTag;
    CXMLTag* tag = IteratedChild(before != nullptr ? before->nextIterated : nullptr, cursor);
    if (before != nullptr)
        before->nextIterated = tag;
    cursorTag = tag;
    return tag;
}

const wchar_t* CXMLTag::GetValue() {
    if (!node)
        return nullptr;
    return CXml::GetXMLTextValue(node);
}

void CXMLTag::Release() {
    node = nullptr;
}

}  // namespace TKV
