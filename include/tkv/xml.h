// CXml holds one XML document in memory: LoadXML parses wide text into it and makes the tag of
// the document element, from which the caller walks the tree by name or finds tags and
// attributes by path. Each CXml initialises COM on its thread for its lifetime.
#ifndef TKV_XML_H
#define TKV_XML_H

#include "tkv/com_binder.h"
#include "tkv/dom.h"
#include "tkv/export.h"
#include "tkv/xml_tag.h"

namespace TKV {

class TKV_API CXml {
  public:
    CXml();
    // Loads xml at once; the result is not kept (GetRoot tells).
    explicit CXml(const wchar_t* xml);
    // A copy shares the document and has a root tag of its own for the same element.
    CXml(const CXml& other);
    CXml& operator=(const CXml& other);
    virtual ~CXml();

    // Replaces the tree with the parsed text; false (and no tree) when it does not load, false
    // with the tree unchanged for null. Raises _com_error (E_POINTER) when no document class
    // could be created.
    bool LoadXML(const wchar_t* xml);
    void Reset();
    CXMLTag* GetRoot() const { return root; }

    // The tag at the end of a path of element names, the root's first, ended by a null
    // pointer; null when a name matches nothing. A path whose first name is not the root's
    // gives the root.
    CXMLTag* FindTagV(const wchar_t* first, ...);
    // The attribute named last on a path of the root's name and element names; null pointer
    // ended; null when anything does not match.
    CXMLAttribute* FindAttributeV(const wchar_t* first, ...);

    // The node's value when it is text, else null. The text is a temporary string (valid for
    // 256 more of them); one beyond 511999 characters lives until the next such text of the
    // thread. Raises _com_error (E_POINTER) for a null node.
    static const wchar_t* GetXMLTextValue(const IXMLDOMNodePtr& node);

  private:
    HRESULT CreateXMLDocument(int* version);

    CCOMBinder comBinder;
    bool isMSXML6;
    IXMLDOMDocument2Ptr document;
    CXMLTag* root;
};

}  // namespace TKV

#endif  // TKV_XML_H
