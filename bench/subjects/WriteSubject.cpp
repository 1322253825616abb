#include "FileBytes.h"
#include "Subject.h"

namespace Ostrel::Bench {

namespace {

// The floor of every save: the document's bytes, already in memory, written to the file in
// one call.
class WriteSubject : public PlainSubject {
public:
    const char* Name() const override { return "write"; }
    bool Supports(Operation operation) const override { return operation == Operation::Save; }
    bool Load(const std::string& path) override { return ReadFileBytes(path, bytes); }
    bool Save(const std::string& path) override;
    void Release() override { std::vector<unsigned char>().swap(bytes); }

private:
    std::vector<unsigned char> bytes;
};

bool WriteSubject::Save(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    FileCloser closer(file);
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return closer.Close() && written;
}

WriteSubject subject;
SubjectRegistration registration(subject);

} // namespace

} // namespace Ostrel::Bench
