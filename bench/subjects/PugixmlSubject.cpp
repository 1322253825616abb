#include "Subject.h"

#include <pugixml.hpp>

namespace Ostrel::Bench {

namespace {

// pugixml keeping comments and dropping white-space-only text, as the model does; its indented
// output at three blanks per level.
class PugixmlSubject : public PlainSubject {
public:
    const char* Name() const override { return "pugixml"; }
    bool Supports(Operation operation) const override {
        return operation == Operation::Load || operation == Operation::Save;
    }
    bool Load(const std::string& path) override {
        return document.load_file(path.c_str(), pugi::parse_default | pugi::parse_comments);
    }
    bool Save(const std::string& path) override { return document.save_file(path.c_str(), "   "); }
    void Release() override { document.reset(); }

private:
    pugi::xml_document document;
};

PugixmlSubject subject;
SubjectRegistration registration(subject);

} // namespace

} // namespace Ostrel::Bench
