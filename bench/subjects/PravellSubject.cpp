#include "EditPass.h"
#include "Subject.h"
#include "model/XMLModel.h"
#include "text/Text.h"

#include <memory>

namespace Ostrel::Bench {

namespace {

// The edit pass's calls (EditPass.h) on the model's nodes, through the tree's own methods. The
// names are made once, as a host that edits many elements would make them.
class PravellTree {
public:
    explicit PravellTree(XMLModel& model) : model(model) {}

    XMLNode* DocumentElement() { return model.Root().ChildAt(0); }
    template <class Visit>
    void EachChild(XMLNode* parent, Visit visit) {
        for (LONG index = 0; index < parent->ChildCount(); ++index) {
            if (!visit(parent->ChildAt(index))) {
                return;
            }
        }
    }
    bool IsNamed(const XMLNode* element, const char* name) { return element->Name() == name; }
    bool HasText(const XMLNode* element) { return !element->GetText().IsEmpty(); }
    bool SetText(XMLNode* element, const char* text) {
        element->SetText(Text(text));
        return true;
    }
    bool MarkEdited(XMLNode* record, const char* status) {
        return record->SetAttribute(editedAttribute, Text(status));
    }
    bool AddNote(XMLNode* items, const char* number, const char* text) {
        XMLNode* note = items->CreateChild(noteName);
        if (note == nullptr || !note->AddAttribute(noteAttribute, Text(number))) {
            return false;
        }
        note->SetText(Text(text));
        return true;
    }

private:
    XMLModel& model;
    const Text editedAttribute{kEditedAttribute};
    const Text noteName{kNoteName};
    const Text noteAttribute{kNoteAttribute};
};

// The system itself, through the model's own file operations: a load reads the file in text
// mode, a save writes indented text through the replacement file (synced before it replaces
// the target), a save to memory writes the same text into a string, and the compressed pair
// goes through the container over a binary file.
class PravellSubject : public Subject {
public:
    const char* Name() const override { return "pravell"; }
    bool Supports(Operation) const override { return true; }
    bool Load(const std::string& path) override;
    bool Save(const std::string& path) override;
    bool SaveMemory() override { return model != nullptr && model->SaveString(saved); }
    bool Edit() override;
    bool SaveCompressed(const std::string& path) override;
    bool LoadCompressed(const std::string& path) override;
    void Release() override {
        model.reset();
        saved = Text();
    }

private:
    // A fresh model for every load, so that no run starts from a previous run's arena.
    XMLModel& Fresh();

    std::unique_ptr<XMLModel> model;
    Text saved;
};

XMLModel& PravellSubject::Fresh() {
    model = std::make_unique<XMLModel>();
    return *model;
}

bool PravellSubject::Load(const std::string& path) {
    return Fresh().LoadFile(Text(path.c_str()));
}

bool PravellSubject::Save(const std::string& path) {
    return model != nullptr && model->SaveFile(Text(path.c_str()));
}

bool PravellSubject::Edit() {
    if (model == nullptr) {
        return false;
    }
    PravellTree tree(*model);
    return EditRecords(tree);
}

bool PravellSubject::SaveCompressed(const std::string& path) {
    return model != nullptr && model->SaveCompressed(Text(path.c_str()));
}

bool PravellSubject::LoadCompressed(const std::string& path) {
    return Fresh().LoadCompressed(Text(path.c_str()));
}

PravellSubject subject;
SubjectRegistration registration(subject);

} // namespace

} // namespace Ostrel::Bench
