#include "FileBytes.h"
#include "Subject.h"

#include <tinyxml2.h>

namespace Ostrel::Bench {

namespace {

// tinyxml2 indents by four blanks; the saves compared here all indent by three.
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

class Tinyxml2Subject : public PlainSubject {
public:
    const char* Name() const override { return "tinyxml2"; }
    bool Supports(Operation operation) const override {
        return operation == Operation::Load || operation == Operation::Save;
    }
    bool Load(const std::string& path) override {
        return document.LoadFile(path.c_str()) == tinyxml2::XML_SUCCESS;
    }
    bool Save(const std::string& path) override;
    void Release() override { document.Clear(); }

private:
    tinyxml2::XMLDocument document;
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

Tinyxml2Subject subject;
SubjectRegistration registration(subject);

} // namespace

} // namespace Ostrel::Bench
