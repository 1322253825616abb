#include "testsupport.h"

#include <ftw.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace {

int RemoveEntry(const char* path, const struct stat*, int, FTW*) {
    return remove(path);
}

std::string TemporaryRoot() {
    const char* root = std::getenv("PRAVELL_TEST_ROOT");
    std::string base = root != nullptr && *root != '\0' ? root : "/tmp";
    for (size_t at = 1; at <= base.size(); ++at) {
        if (at == base.size() || base[at] == '/') {
            mkdir(base.substr(0, at).c_str(), 0700);
        }
    }
    return base;
}

} // namespace

ScratchDirectory::ScratchDirectory() {
    std::string pattern = TemporaryRoot() + "/scratch-XXXXXX";
    if (mkdtemp(&pattern[0]) == nullptr) {
        ADD_FAILURE() << "cannot create a scratch directory: " << pattern;
    }
    path = pattern;
}

ScratchDirectory::~ScratchDirectory() {
    nftw(path.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

PrivateRegistry::PrivateRegistry() : path(directory.Path() + "/registry") {
    setenv("PRAVELL_REGISTRY", path.c_str(), 1);
}

PrivateRegistry::~PrivateRegistry() {
    unsetenv("PRAVELL_REGISTRY");
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteWholeFile(const std::string& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
}
