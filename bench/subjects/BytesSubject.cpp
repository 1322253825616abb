#include "FileBytes.h"
#include "Subject.h"

#include <cstring>
#include <memory>

namespace Ostrel::Bench {

namespace {

// The floors of the saves, with no tree: the document's bytes, already in memory, written to the
// file in one call (`write`, which also stands for the edit cycle: nothing parsed, nothing
// edited) or copied into a newly allocated buffer of their size (`copy`, whose pages are touched
// for the first time as a save to memory touches its own).
class BytesSubject : public PlainSubject {
public:
    BytesSubject(const char* name, bool inMemory) : name(name), inMemory(inMemory) {}

    const char* Name() const override { return name; }
    bool Supports(Operation operation) const override;
    bool Load(const std::string& path) override { return ReadFileBytes(path, bytes); }
    bool Save(const std::string& path) override;
    bool SaveMemory() override;
    bool Edit() override { return true; }
    void Release() override {
        std::vector<unsigned char>().swap(bytes);
        copied.reset();
    }

private:
    const char* name;
    bool inMemory;
    std::vector<unsigned char> bytes;
    std::unique_ptr<unsigned char[]> copied;
};

bool BytesSubject::Supports(Operation operation) const {
    if (inMemory) {
        return operation == Operation::MemorySave;
    }
    return operation == Operation::Save || operation == Operation::UnsyncedSave ||
           operation == Operation::EditCycle;
}

bool BytesSubject::Save(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    FileCloser closer(file);
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return closer.Close() && written;
}

bool BytesSubject::SaveMemory() {
    // Left uninitialised, so that the copy is the first touch of every page.
    copied.reset(new unsigned char[bytes.size()]);
    std::memcpy(copied.get(), bytes.data(), bytes.size());
    return !bytes.empty();
}

BytesSubject writeSubject("write", false);
SubjectRegistration writeRegistration(writeSubject);
BytesSubject copySubject("copy", true);
SubjectRegistration copyRegistration(copySubject);

} // namespace

} // namespace Ostrel::Bench
