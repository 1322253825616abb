#include "Subject.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

namespace Ostrel::Bench {

namespace {

// libxml2's tree load; white-space-only text is dropped as the model drops it, which is also
// what lets the save indent (three blanks per level).
class Libxml2Subject : public PlainSubject {
public:
    const char* Name() const override { return "libxml2"; }
    bool Supports(Operation operation) const override {
        return operation == Operation::Load || operation == Operation::Save;
    }
    bool Load(const std::string& path) override;
    bool Save(const std::string& path) override;
    void Release() override;

private:
    xmlDocPtr document = nullptr;
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

void Libxml2Subject::Release() {
    if (document != nullptr) {
        xmlFreeDoc(document);
        document = nullptr;
    }
}

Libxml2Subject subject;
SubjectRegistration registration(subject);

} // namespace

} // namespace Ostrel::Bench
