#include "EditPass.h"
#include "Subject.h"

#include <cstring>
#include <pugixml.hpp>

namespace Ostrel::Bench {

namespace {

// What pugixml writes, gathered in one string.
class StringWriter : public pugi::xml_writer {
public:
    void write(const void* data, size_t size) override {
        text.append(static_cast<const char*>(data), size);
    }

    std::string text;
};

// The edit pass's calls (EditPass.h) on pugixml's nodes.
class PugixmlTree {
public:
    explicit PugixmlTree(pugi::xml_document& document) : document(document) {}

    pugi::xml_node DocumentElement() { return document.document_element(); }
    template <class Visit>
    void EachChild(pugi::xml_node parent, Visit visit) {
        for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
            if (child.type() == pugi::node_element && !visit(child)) {
                return;
            }
        }
    }
    bool IsNamed(pugi::xml_node element, const char* name) {
        return std::strcmp(element.name(), name) == 0;
    }
    bool HasText(pugi::xml_node element) { return *element.child_value() != '\0'; }
    bool SetText(pugi::xml_node element, const char* text) { return element.text().set(text); }
    bool MarkEdited(pugi::xml_node record, const char* status) {
        pugi::xml_attribute attribute = record.attribute(kEditedAttribute);
        return (attribute ? attribute : record.append_attribute(kEditedAttribute))
            .set_value(status);
    }
    bool AddNote(pugi::xml_node items, const char* number, const char* text) {
        pugi::xml_node note = items.append_child(kNoteName);
        return note && note.append_attribute(kNoteAttribute).set_value(number) &&
               note.text().set(text);
    }

private:
    pugi::xml_document& document;
};

// pugixml keeping comments and dropping white-space-only text, as the model does; its indented
// output at three blanks per level.
class PugixmlSubject : public PlainSubject {
public:
    const char* Name() const override { return "pugixml"; }
    bool Load(const std::string& path) override {
        return document.load_file(path.c_str(), pugi::parse_default | pugi::parse_comments);
    }
    bool Save(const std::string& path) override { return document.save_file(path.c_str(), "   "); }
    bool SaveMemory() override;
    bool Edit() override {
        PugixmlTree tree(document);
        return EditRecords(tree);
    }
    void Release() override {
        document.reset();
        std::string().swap(saved.text);
    }

private:
    pugi::xml_document document;
    StringWriter saved;
};

bool PugixmlSubject::SaveMemory() {
    saved.text.clear();
    document.save(saved, "   ");
    return !saved.text.empty();
}

PugixmlSubject subject;
SubjectRegistration registration(subject);

} // namespace

} // namespace Ostrel::Bench
