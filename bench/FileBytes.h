#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace Ostrel::Bench {

// Reads a whole file; false when it cannot be opened or read to its end.
bool ReadFileBytes(const std::string& path, std::vector<unsigned char>& bytes);

// Closes a stdio file when it goes out of scope.
class FileCloser {
public:
    explicit FileCloser(FILE* file) : file(file) {}
    FileCloser(const FileCloser&) = delete;
    FileCloser& operator=(const FileCloser&) = delete;
    ~FileCloser();
    // Closes now; false when buffered bytes could not be written.
    bool Close();

private:
    FILE* file;
};

} // namespace Ostrel::Bench
