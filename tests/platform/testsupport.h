// Files and directories of a test's own: a scratch directory removed with everything in it, a
// registry file in one that PRAVELL_REGISTRY names while the test runs, and whole-file helpers.
#pragma once

#include <string>

class ScratchDirectory {
public:
    ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;
    ~ScratchDirectory();

    const std::string& Path() const { return path; }

private:
    std::string path;
};

class PrivateRegistry {
public:
    PrivateRegistry();
    PrivateRegistry(const PrivateRegistry&) = delete;
    PrivateRegistry& operator=(const PrivateRegistry&) = delete;
    ~PrivateRegistry();

    const std::string& Directory() const { return directory.Path(); }
    const std::string& Path() const { return path; }

private:
    ScratchDirectory directory;
    std::string path;
};

std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& text);
