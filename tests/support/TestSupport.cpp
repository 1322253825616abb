#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <system_error>

namespace fs = std::filesystem;

namespace {

fs::path TemporaryRoot() {
    const char* root = std::getenv("PRAVELL_TEST_ROOT");
    if (root != nullptr && *root != '\0') {
        std::error_code ignored;
        fs::create_directories(root, ignored);
        return root;
    }
    return fs::temp_directory_path();
}

std::string ToCodePage(UINT codePage, const OleString& wide) {
    const int length = static_cast<int>(wide.size());
    const int bytes =
        WideCharToMultiByte(codePage, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), length, &narrow[0], bytes, nullptr, nullptr);
    return narrow;
}

} // namespace

ScratchDirectory::ScratchDirectory() {
    const fs::path root = TemporaryRoot();
    std::random_device random;
    // create_directory answers false for a name that exists, so a name taken by a test running
    // in another process is never shared: the next attempt draws another.
    for (int attempt = 0; attempt < 100 && path.empty(); ++attempt) {
        const fs::path candidate = root / ("scratch-" + std::to_string(random()));
        std::error_code error;
        if (fs::create_directory(candidate, error)) {
            fs::permissions(candidate, fs::perms::owner_all, error);
            path = candidate.string();
        }
    }
    EXPECT_FALSE(path.empty()) << "cannot create a scratch directory in " << root.string();
}

// A directory that could not be made leaves an empty path, which names nothing to remove.
ScratchDirectory::~ScratchDirectory() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
}

std::string SystemPath(const std::string& path) {
    return fs::absolute(path).make_preferred().string();
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteWholeFile(const std::string& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
}

std::vector<std::string> CasesIn(const std::string& directory, const std::string& extension) {
    std::vector<std::string> cases;
    for (const std::string& name : ListDirectory(directory)) {
        fs::path path = fs::path(directory) / name;
        if (path.extension() == extension) {
            cases.push_back(path.replace_extension().string());
        }
    }
    return cases;
}

std::string ToAnsi(const OleString& wide) {
    return ToCodePage(CP_ACP, wide);
}

OleString FromAnsi(const std::string& narrow) {
    const int length = static_cast<int>(narrow.size());
    const int units = MultiByteToWideChar(CP_ACP, 0, narrow.data(), length, nullptr, 0);
    OleString wide(static_cast<size_t>(units > 0 ? units : 0), 0);
    MultiByteToWideChar(CP_ACP, 0, narrow.data(), length, &wide[0], units);
    return wide;
}

std::string AnsiAsUtf8(const std::string& text) {
    return ToCodePage(CP_UTF8, FromAnsi(text));
}

std::vector<std::string> ListDirectory(const std::string& path) {
    std::vector<std::string> names;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(path, error)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}
