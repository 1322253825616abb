#include "FileBytes.h"
#include "Subject.h"
#include "parser/Tokenizer.h"

#include <expat.h>

namespace Ostrel::Bench {

namespace {

void XMLCALL IgnoreStart(void*, const XML_Char*, const XML_Char**) {}
void XMLCALL IgnoreEnd(void*, const XML_Char*) {}
void XMLCALL IgnoreText(void*, const XML_Char*, int) {}
void XMLCALL IgnoreComment(void*, const XML_Char*) {}

// The floor of every load: the tokenizer the model is built on, configured and fed as the model
// feeds it (fixed UTF-8 input, pieces of Tokenizer::kPieceSize bytes), with handlers that keep
// nothing.
class ExpatSubject : public PlainSubject {
public:
    const char* Name() const override { return "expat"; }
    bool Supports(Operation operation) const override { return operation == Operation::Load; }
    bool Load(const std::string& path) override;
    bool Save(const std::string&) override { return false; }
    bool SaveMemory() override { return false; }
    bool Edit() override { return false; }
    void Release() override {}
};

bool ExpatSubject::Load(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    FileCloser closer(file);
    XML_Parser parser = XML_ParserCreate("utf-8");
    if (parser == nullptr) {
        return false;
    }
    XML_SetElementHandler(parser, IgnoreStart, IgnoreEnd);
    XML_SetCharacterDataHandler(parser, IgnoreText);
    XML_SetCommentHandler(parser, IgnoreComment);
    char piece[Tokenizer::kPieceSize];
    bool parsed = true;
    bool last = false;
    while (parsed && !last) {
        size_t got = std::fread(piece, 1, sizeof piece, file);
        last = got < sizeof piece;
        parsed = std::ferror(file) == 0 &&
                 XML_Parse(parser, piece, static_cast<int>(got), last) == XML_STATUS_OK;
    }
    XML_ParserFree(parser);
    return parsed;
}

ExpatSubject subject;
SubjectRegistration registration(subject);

} // namespace

} // namespace Ostrel::Bench
