#include "FileBytes.h"
#include "Subject.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>

namespace Ostrel::Bench {

namespace {

constexpr uLong blockSize = 1048576;

void PutLittleEndian(uint32_t value, unsigned char* out) {
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

uint32_t GetLittleEndian(const unsigned char* in) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = (value << 8) | in[i];
    }
    return value;
}

// The floor of the compressed container: the document's bytes cut into 1 MiB blocks, each
// compressed in one call at zlib's default level 6 and written behind its plain and packed
// lengths; the load inflates every block back into memory.
class ZlibSubject : public Subject {
public:
    const char* Name() const override { return "zlib"; }
    bool Supports(Operation operation) const override;
    bool Load(const std::string& path) override { return ReadFileBytes(path, plain); }
    bool Save(const std::string&) override { return false; }
    bool SaveMemory() override { return false; }
    bool Edit() override { return false; }
    bool SaveCompressed(const std::string& path) override;
    bool LoadCompressed(const std::string& path) override;
    void Release() override;

private:
    bool WriteBlock(FILE* file, const unsigned char* data, uLong length);
    bool ReadBlock(FILE* file, bool& ended);

    std::vector<unsigned char> plain;
    std::vector<unsigned char> packed;
};

bool ZlibSubject::Supports(Operation operation) const {
    return operation == Operation::CompressedSave || operation == Operation::CompressedLoad;
}

bool ZlibSubject::SaveCompressed(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    FileCloser closer(file);
    packed.resize(compressBound(blockSize));
    for (size_t offset = 0; offset < plain.size(); offset += blockSize) {
        uLong length = static_cast<uLong>(std::min<size_t>(blockSize, plain.size() - offset));
        if (!WriteBlock(file, plain.data() + offset, length)) {
            return false;
        }
    }
    return closer.Close();
}

bool ZlibSubject::WriteBlock(FILE* file, const unsigned char* data, uLong length) {
    uLongf packedLength = static_cast<uLongf>(packed.size());
    if (compress(packed.data(), &packedLength, data, length) != Z_OK) {
        return false;
    }
    unsigned char lengths[8];
    PutLittleEndian(static_cast<uint32_t>(length), lengths);
    PutLittleEndian(static_cast<uint32_t>(packedLength), lengths + 4);
    return std::fwrite(lengths, 1, sizeof lengths, file) == sizeof lengths &&
           std::fwrite(packed.data(), 1, packedLength, file) == packedLength;
}

bool ZlibSubject::LoadCompressed(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    FileCloser closer(file);
    plain.clear();
    packed.resize(compressBound(blockSize));
    bool ended = false;
    while (!ended) {
        if (!ReadBlock(file, ended)) {
            return false;
        }
    }
    return true;
}

// Lengths are checked before anything is sized from them: a damaged file fails the load.
bool ZlibSubject::ReadBlock(FILE* file, bool& ended) {
    unsigned char lengths[8];
    size_t got = std::fread(lengths, 1, sizeof lengths, file);
    if (got == 0) {
        ended = std::ferror(file) == 0;
        return ended;
    }
    uLong length = GetLittleEndian(lengths);
    uLong packedLength = GetLittleEndian(lengths + 4);
    if (got != sizeof lengths || length > blockSize || packedLength > packed.size() ||
        std::fread(packed.data(), 1, packedLength, file) != packedLength) {
        return false;
    }
    size_t offset = plain.size();
    plain.resize(offset + length);
    uLongf decoded = length;
    return uncompress(plain.data() + offset, &decoded, packed.data(), packedLength) == Z_OK &&
           decoded == length;
}

void ZlibSubject::Release() {
    std::vector<unsigned char>().swap(plain);
    std::vector<unsigned char>().swap(packed);
}

ZlibSubject subject;
SubjectRegistration registration(subject);

} // namespace

} // namespace Ostrel::Bench
