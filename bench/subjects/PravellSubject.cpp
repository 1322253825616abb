#include "Subject.h"
#include "model/XMLModel.h"
#include "text/Text.h"

#include <memory>

namespace Ostrel::Bench {

namespace {

// The system itself, through the model's own file operations: a load reads the file in text
// mode, a save writes indented text through the replacement file, and the compressed pair
// goes through the container over a binary file.
class PravellSubject : public Subject {
public:
    const char* Name() const override { return "pravell"; }
    bool Supports(Operation) const override { return true; }
    bool Load(const std::string& path) override;
    bool Save(const std::string& path) override;
    bool SaveCompressed(const std::string& path) override;
    bool LoadCompressed(const std::string& path) override;
    void Release() override { model.reset(); }

private:
    // A fresh model for every load, so that no run starts from a previous run's arena.
    XMLModel& Fresh();

    std::unique_ptr<XMLModel> model;
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
