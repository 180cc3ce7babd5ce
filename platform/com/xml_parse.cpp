// Parsing with the document's safety rules: no network, external definitions from local
// files only (and only when externals are resolved), entity expansion bounded by libxml2's
// amplification checks, a document type declaration refused or validated against.
#include <ctype.h>
#include <limits.h>
#include <stdint.h>
#include <string.h>

#include <libxml/SAX2.h>
#include <libxml/entities.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/com/dom_impl.h"

namespace TKV::platform::detail {

namespace {

thread_local bool allowLocalExternals = false;

bool HasForeignScheme(const char* url) {
    const char* p = url;
    if (!isalpha(static_cast<unsigned char>(*p)))
        return false;
    while (isalnum(static_cast<unsigned char>(*p)) || *p == '+' || *p == '-' || *p == '.')
        ++p;
    // one letter before the colon is a drive, not a scheme
    return *p == ':' && p - url > 1 && strncmp(url, "file:", 5) != 0;
}

xmlParserInputPtr LocalOnlyLoader(const char* url, const char* id, xmlParserCtxtPtr ctxt) {
    if (!allowLocalExternals || url == nullptr || HasForeignScheme(url))
        return nullptr;
    return xmlNoNetExternalEntityLoader(url, id, ctxt);
}

void SilentGeneric(void*, const char*, ...) {}
void SilentStructured(void*, xmlErrorPtr) {}

void RefuseDoctype(void* ctx, const xmlChar*, const xmlChar*, const xmlChar*) {
    xmlStopParser(static_cast<xmlParserCtxtPtr>(ctx));
}

void SetUpOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        xmlSetExternalEntityLoader(LocalOnlyLoader);
    });
}

bool IsBlank(const xmlChar* s) {
    if (s == nullptr)
        return true;
    for (; *s != 0; ++s)
        if (*s != ' ' && *s != '\t' && *s != '\n' && *s != '\r')
            return false;
    return true;
}

// Drops text nodes of white space alone, unless xml:space="preserve" keeps them; without a
// recursion, since documents may nest deeply.
void StripBlankText(xmlNodePtr top) {
    xmlNodePtr node = top->children;
    while (node != nullptr && node != top) {
        xmlNodePtr next;
        if (node->children != nullptr && node->type == XML_ELEMENT_NODE) {
            next = node->children;
        } else {
            xmlNodePtr up = node;
            while (up != top && up->next == nullptr)
                up = up->parent;
            next = up == top ? nullptr : up->next;
        }
        if (node->type == XML_TEXT_NODE && IsBlank(node->content) &&
            xmlNodeGetSpacePreserve(node->parent) != 1) {
            xmlUnlinkNode(node);
            xmlFreeNode(node);
        }
        node = next;
    }
}

// Whether the running parse handed over text of white space alone: without it (and without a
// DTD, whose entities may bring copied text) no blank text node was kept and StripBlankText need
// not walk the tree.
thread_local bool blankTextSeen = false;

void NoteBlankText(void* ctx, const xmlChar* text, int length) {
    if (!blankTextSeen) {
        int i = 0;
        while (i < length &&
               (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r'))
            ++i;
        blankTextSeen = i == length;
    }
    xmlSAX2Characters(ctx, text, length);
}

struct CtxtFree {
    void operator()(xmlParserCtxtPtr c) const { xmlFreeParserCtxt(c); }
};
struct DocFree {
    void operator()(xmlDocPtr d) const { xmlFreeDoc(d); }
};

// One parse under the settings, with libxml2 options added or taken away; the failure's
// libxml2 error number in *error.
xmlDocPtr ParseOnce(const std::string& utf8, const LoadSettings& settings, int add, int remove,
                    int* error) {
    *error = 0;
    std::unique_ptr<xmlParserCtxt, CtxtFree> ctxt(xmlNewParserCtxt());
    if (!ctxt)
        return nullptr;
    // NOBLANKS drops most blank text at once; StripBlankText takes what it keeps.
    int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOENT |
                  XML_PARSE_IGNORE_ENC | XML_PARSE_NOBLANKS;
    blankTextSeen = false;
    ctxt->sax->characters = NoteBlankText;
    if (settings.prohibitDtd)
        ctxt->sax->internalSubset = RefuseDoctype;
    else
        options |= XML_PARSE_DTDVALID | XML_PARSE_DTDATTR;
    options = (options | add) & ~remove;
    allowLocalExternals = settings.resolveExternals;
    std::unique_ptr<xmlDoc, DocFree> doc(xmlCtxtReadMemory(
        ctxt.get(), utf8.data(), static_cast<int>(utf8.size()), nullptr, "UTF-8", options));
    allowLocalExternals = false;
    if (xmlErrorPtr e = xmlCtxtGetLastError(ctxt.get()))
        *error = e->code;
    if (!doc || !ctxt->wellFormed || xmlDocGetRootElement(doc.get()) == nullptr)
        return nullptr;
    if (xmlDtdPtr dtd = doc->intSubset) {
        if (settings.prohibitDtd)
            return nullptr;
        // A DTD that could not be fetched is not held against the document.
        bool unreachable =
            (dtd->ExternalID != nullptr || dtd->SystemID != nullptr) && doc->extSubset == nullptr;
        if (!unreachable && !ctxt->valid)
            return nullptr;
    }
    if (blankTextSeen || doc->intSubset != nullptr || doc->extSubset != nullptr)
        StripBlankText(reinterpret_cast<xmlNodePtr>(doc.get()));
    return doc.release();
}

// The characters an entity stands for once every reference in it is replaced; SIZE_MAX for a
// loop, an external entity or anything beyond the limit.
size_t ExpandedSize(xmlDocPtr doc, xmlEntityPtr entity, std::map<xmlEntityPtr, size_t>& known,
                    size_t limit) {
    if (entity->etype == XML_INTERNAL_PREDEFINED_ENTITY)
        return 1;
    if (entity->etype != XML_INTERNAL_GENERAL_ENTITY || entity->content == nullptr)
        return SIZE_MAX;
    auto found = known.find(entity);
    if (found != known.end())
        return found->second;
    known[entity] = SIZE_MAX;  // in progress: meeting it again is a loop
    size_t total = 0;
    for (const xmlChar* p = entity->content; *p != 0 && total <= limit; ++p) {
        const xmlChar* end = *p == '&' ? xmlStrchr(p, ';') : nullptr;
        if (end == nullptr || p[1] == '#') {
            ++total;
            continue;
        }
        std::string name(reinterpret_cast<const char*>(p + 1), end - p - 1);
        xmlEntityPtr inner = xmlGetDocEntity(doc, BAD_CAST name.c_str());
        size_t n = inner != nullptr ? ExpandedSize(doc, inner, known, limit) : SIZE_MAX;
        total = n > limit ? SIZE_MAX : total + n;
        p = end;
    }
    if (total > limit)
        total = SIZE_MAX;
    known[entity] = total;
    return total;
}

// Whether replacing every entity reference of a tree parsed without replacement stays within
// the limit; attribute values count too.
bool ExpansionWithin(xmlDocPtr doc, size_t limit) {
    std::map<xmlEntityPtr, size_t> known;
    size_t total = 0;
    std::vector<xmlNodePtr> pending{xmlDocGetRootElement(doc)};
    while (!pending.empty()) {
        xmlNodePtr node = pending.back();
        pending.pop_back();
        for (; node != nullptr; node = node->next) {
            if (node->type == XML_ENTITY_REF_NODE) {
                xmlEntityPtr e = xmlGetDocEntity(doc, node->name);
                size_t n = e != nullptr ? ExpandedSize(doc, e, known, limit) : SIZE_MAX;
                if (n > limit || (total += n) > limit)
                    return false;
                continue;
            }
            if (node->type == XML_ELEMENT_NODE) {
                for (xmlAttrPtr a = node->properties; a != nullptr; a = a->next)
                    pending.push_back(a->children);
                pending.push_back(node->children);
            }
        }
    }
    return true;
}

}  // namespace

xmlDocPtr ParseDocument(const std::string& utf8, const LoadSettings& settings) {
    SetUpOnce();
    if (utf8.size() > static_cast<size_t>(INT_MAX))
        return nullptr;
    xmlSetGenericErrorFunc(nullptr, SilentGeneric);
    xmlSetStructuredErrorFunc(nullptr, SilentStructured);
    int error = 0;
    xmlDocPtr doc = ParseOnce(utf8, settings, 0, 0, &error);
    if (doc == nullptr && error == XML_ERR_ENTITY_LOOP) {
        // libxml2 also reports harmless nesting that expands a short text more than tenfold as
        // a loop. Measure the expansion without replacing; within bounds, replace unchecked.
        std::unique_ptr<xmlDoc, DocFree> probe(
            ParseOnce(utf8, settings, XML_PARSE_HUGE | XML_PARSE_DTDLOAD,
                      XML_PARSE_NOENT | XML_PARSE_DTDVALID, &error));
        const size_t limit = std::max<size_t>(1 << 20, 10 * utf8.size());
        if (probe && ExpansionWithin(probe.get(), limit))
            doc = ParseOnce(utf8, settings, XML_PARSE_HUGE, 0, &error);
    }
    return doc;
}

}  // namespace TKV::platform::detail
