// A registry file of the test's own in a fresh directory, named through PRAVELL_REGISTRY for as
// long as the object lives, and small helpers around files.
#pragma once

#include <string>

class PrivateRegistry {
public:
    PrivateRegistry();
    PrivateRegistry(const PrivateRegistry&) = delete;
    PrivateRegistry& operator=(const PrivateRegistry&) = delete;
    ~PrivateRegistry();

    const std::string& Directory() const { return directory; }
    const std::string& Path() const { return path; }

private:
    std::string directory;
    std::string path;
};

std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& text);
