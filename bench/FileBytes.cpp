#include "FileBytes.h"

namespace Ostrel::Bench {

bool ReadFileBytes(const std::string& path, std::vector<unsigned char>& bytes) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    FileCloser closer(file);
    bytes.clear();
    if (std::fseek(file, 0, SEEK_END) == 0) {
        long size = std::ftell(file);
        if (size > 0) {
            bytes.reserve(static_cast<size_t>(size));
        }
        std::rewind(file);
    }
    unsigned char piece[65536];
    size_t got;
    while ((got = std::fread(piece, 1, sizeof piece, file)) > 0) {
        bytes.insert(bytes.end(), piece, piece + got);
    }
    return std::ferror(file) == 0;
}

FileCloser::~FileCloser() {
    Close();
}

bool FileCloser::Close() {
    if (file == nullptr) {
        return true;
    }
    bool closed = std::fclose(file) == 0;
    file = nullptr;
    return closed;
}

} // namespace Ostrel::Bench
