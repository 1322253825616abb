#include "EditPass.h"
#include "FileBytes.h"
#include "Subject.h"

#include <tinyxml2.h>

#include <cstring>
#include <memory>

namespace Ostrel::Bench {

namespace {

// tinyxml2 indents by four blanks; the saves compared here all indent by three. Without a file
// it prints into its own buffer.
class ThreeBlankPrinter : public tinyxml2::XMLPrinter {
public:
    explicit ThreeBlankPrinter(FILE* file) : XMLPrinter(file) {}

protected:
    void PrintSpace(int depth) override {
        for (int i = 0; i < depth; ++i) {
            Write("   ", 3);
        }
    }
};

// The edit pass's calls (EditPass.h) on tinyxml2's elements.
class Tinyxml2Tree {
public:
    using Element = tinyxml2::XMLElement*;

    explicit Tinyxml2Tree(tinyxml2::XMLDocument& document) : document(document) {}

    Element DocumentElement() { return document.RootElement(); }
    template <class Visit>
    void EachChild(Element parent, Visit visit) {
        for (Element child = parent->FirstChildElement(); child != nullptr;
             child = child->NextSiblingElement()) {
            if (!visit(child)) {
                return;
            }
        }
    }
    bool IsNamed(Element element, const char* name) {
        return std::strcmp(element->Name(), name) == 0;
    }
    bool HasText(Element element) {
        const char* text = element->GetText();
        return text != nullptr && *text != '\0';
    }
    bool SetText(Element element, const char* text) {
        element->SetText(text);
        return true;
    }
    bool MarkEdited(Element record, const char* status) {
        record->SetAttribute(kEditedAttribute, status);
        return true;
    }
    bool AddNote(Element items, const char* number, const char* text) {
        Element note = items->InsertNewChildElement(kNoteName);
        if (note == nullptr) {
            return false;
        }
        note->SetAttribute(kNoteAttribute, number);
        note->SetText(text);
        return true;
    }

private:
    tinyxml2::XMLDocument& document;
};

class Tinyxml2Subject : public PlainSubject {
public:
    const char* Name() const override { return "tinyxml2"; }
    bool Load(const std::string& path) override {
        return document.LoadFile(path.c_str()) == tinyxml2::XML_SUCCESS;
    }
    bool Save(const std::string& path) override;
    bool SaveMemory() override;
    bool Edit() override {
        Tinyxml2Tree tree(document);
        return EditRecords(tree);
    }
    void Release() override {
        document.Clear();
        saved.reset();
    }

private:
    tinyxml2::XMLDocument document;
    std::unique_ptr<ThreeBlankPrinter> saved;
};

bool Tinyxml2Subject::Save(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) {
        return false;
    }
    FileCloser closer(file);
    ThreeBlankPrinter printer(file);
    document.Print(&printer);
    bool written = std::ferror(file) == 0;
    return closer.Close() && written;
}

bool Tinyxml2Subject::SaveMemory() {
    saved = std::make_unique<ThreeBlankPrinter>(nullptr);
    document.Print(saved.get());
    return saved->CStrSize() > 1;
}

Tinyxml2Subject subject;
SubjectRegistration registration(subject);

} // namespace

} // namespace Ostrel::Bench
