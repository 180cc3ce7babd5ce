// The document model's objects over libxml2 trees. Internal to the platform layer.
#ifndef TKV_PLATFORM_COM_DOM_IMPL_H
#define TKV_PLATFORM_COM_DOM_IMPL_H

#include <libxml/tree.h>

#include <string>

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

  private:
    ~DomTree() { xmlFreeDoc(m_doc); }
    xmlDocPtr m_doc;
    unsigned long m_refs = 1;
};

// The node object for a libxml2 node, one per node at a time (kept in the node's _private
// slot), with a new reference.
IXMLDOMNode* NodeFor(DomTree* tree, xmlNodePtr node);

// What a load may do; the document object's properties.
struct LoadSettings {
    bool prohibitDtd = true;
    bool resolveExternals = false;
};

// Parses UTF-8 text into a tree ready for the node objects (insignificant white space gone),
// or null when it does not load under the settings.
xmlDocPtr ParseDocument(const std::string& utf8, const LoadSettings& settings);

// Text conversions between the interface's wide characters and libxml2's UTF-8.
std::string WideToUtf8Text(const wchar_t* text, size_t length);
BSTR Utf8ToBstr(const xmlChar* text);

}  // namespace TKV::platform::detail

#endif  // TKV_PLATFORM_COM_DOM_IMPL_H
