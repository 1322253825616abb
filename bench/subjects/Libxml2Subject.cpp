#include "EditPass.h"
#include "Subject.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstring>

namespace Ostrel::Bench {

namespace {

const char* Chars(const xmlChar* text) {
    return reinterpret_cast<const char*>(text);
}

const xmlChar* XmlChars(const char* text) {
    return reinterpret_cast<const xmlChar*>(text);
}

// The edit pass's calls (EditPass.h) on libxml2's nodes.
class Libxml2Tree {
public:
    explicit Libxml2Tree(xmlDocPtr document) : document(document) {}

    xmlNodePtr DocumentElement() { return xmlDocGetRootElement(document); }
    template <class Visit>
    void EachChild(xmlNodePtr parent, Visit visit) {
        for (xmlNodePtr child = xmlFirstElementChild(parent); child != nullptr;
             child = xmlNextElementSibling(child)) {
            if (!visit(child)) {
                return;
            }
        }
    }
    bool IsNamed(xmlNodePtr element, const char* name) {
        return std::strcmp(Chars(element->name), name) == 0;
    }
    // As the other libraries answer: by the first text or CDATA child.
    bool HasText(xmlNodePtr element) {
        for (xmlNodePtr child = element->children; child != nullptr; child = child->next) {
            if (child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) {
                return child->content != nullptr && *child->content != '\0';
            }
        }
        return false;
    }
    // The text as it is, as the other libraries take it: xmlNodeSetContent alone would read
    // references in it.
    bool SetText(xmlNodePtr element, const char* text) {
        xmlNodeSetContent(element, nullptr);
        xmlNodeAddContent(element, XmlChars(text));
        return element->children != nullptr;
    }
    bool MarkEdited(xmlNodePtr record, const char* status) {
        return xmlSetProp(record, XmlChars(kEditedAttribute), XmlChars(status)) != nullptr;
    }
    bool AddNote(xmlNodePtr items, const char* number, const char* text) {
        xmlNodePtr note = xmlNewTextChild(items, nullptr, XmlChars(kNoteName), XmlChars(text));
        return note != nullptr &&
               xmlNewProp(note, XmlChars(kNoteAttribute), XmlChars(number)) != nullptr;
    }

private:
    xmlDocPtr document;
};

// libxml2's tree load; white-space-only text is dropped as the model drops it, which is also
// what lets the save indent (three blanks per level).
class Libxml2Subject : public PlainSubject {
public:
    const char* Name() const override { return "libxml2"; }
    bool Load(const std::string& path) override;
    bool Save(const std::string& path) override;
    bool SaveMemory() override;
    bool Edit() override {
        Libxml2Tree tree(document);
        return EditRecords(tree);
    }
    void Release() override;

private:
    xmlDocPtr document = nullptr;
    xmlChar* saved = nullptr;
};

bool Libxml2Subject::Load(const std::string& path) {
    Release();
    document = xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_NOBLANKS);
    return document != nullptr;
}

bool Libxml2Subject::Save(const std::string& path) {
    xmlTreeIndentString = "   ";
    return document != nullptr && xmlSaveFormatFileEnc(path.c_str(), document, "UTF-8", 1) >= 0;
}

bool Libxml2Subject::SaveMemory() {
    xmlTreeIndentString = "   ";
    xmlFree(saved);
    saved = nullptr;
    int size = 0;
    if (document != nullptr) {
        xmlDocDumpFormatMemoryEnc(document, &saved, &size, "UTF-8", 1);
    }
    return saved != nullptr && size > 0;
}

void Libxml2Subject::Release() {
    if (document != nullptr) {
        xmlFreeDoc(document);
        document = nullptr;
    }
    xmlFree(saved);
    saved = nullptr;
}

Libxml2Subject subject;
SubjectRegistration registration(subject);

} // namespace

} // namespace Ostrel::Bench
