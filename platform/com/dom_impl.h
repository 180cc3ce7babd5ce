// The document model's objects over libxml2 trees. Internal to the platform layer.
#ifndef TKV_PLATFORM_COM_DOM_IMPL_H
#define TKV_PLATFORM_COM_DOM_IMPL_H

#include <libxml/tree.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/com.h"

namespace TKV::platform::detail {

IUnknown* CreateDomDocument60();
IUnknown* CreateDomDocument40();

// One parsed document; every node object holds a reference, so a tree outlives the document
// object's next load for as long as a node of it is in use.
class DomTree {
  public:
    explicit DomTree(xmlDocPtr doc) : m_doc(doc) {}
    DomTree(const DomTree&) = delete;
    DomTree& operator=(const DomTree&) = delete;
    void AddRef() { ++m_refs; }
    void Release() {
        if (--m_refs == 0)
            delete this;
    }
    xmlDocPtr Doc() const { return m_doc; }

    // Storage for one node object: a document hands out many, so they come from blocks of
    // the tree's own, released with the tree. Null when memory runs out.
    static constexpr size_t kSlotBytes = 40;
    void* TakeSlot();

  private:
    ~DomTree();
    xmlDocPtr m_doc;
    unsigned long m_refs = 1;
    std::vector<std::unique_ptr<unsigned char[]>> m_blocks;
    size_t m_blockSlots = 0;  // slots of the newest block
    size_t m_blockUsed = 0;   // of them handed out
};

// The node object for a libxml2 node, with a new reference. A node has one (kept in its
// _private slot), made when first asked for and kept until the tree goes, also while nobody
// holds a reference: a walk lets go of thousands, and forgetting each would touch every node
// of the tree once more just before the tree is freed.
IXMLDOMNode* NodeFor(DomTree* tree, xmlNodePtr node);

// What a load may do; the document object's properties.
struct LoadSettings {
    bool prohibitDtd = true;
    bool resolveExternals = false;
};

// Parses UTF-8 text into a tree ready for the node objects (insignificant white space gone),
// or null when it does not load under the settings.
xmlDocPtr ParseDocument(const std::string& utf8, const LoadSettings& settings);

// Room for a BSTR of length characters, terminated, the rest of its text not yet written.
BSTR NewBstr(UINT length);

// Text conversions between the interface's wide characters and libxml2's UTF-8.
std::string WideToUtf8Text(const wchar_t* text, size_t length);
// prefix:text, or text alone for a null prefix.
BSTR Utf8ToBstr(const xmlChar* prefix, const xmlChar* text);
inline BSTR Utf8ToBstr(const xmlChar* text) {
    return Utf8ToBstr(nullptr, text);
}
// The wide characters a UTF-8 text matches at the start of wide[0, length), or SIZE_MAX when
// it does not match there.
size_t MatchUtf8(const xmlChar* utf8, const wchar_t* wide, size_t length);

}  // namespace TKV::platform::detail

#endif  // TKV_PLATFORM_COM_DOM_IMPL_H
