// A new folder of the tool's own under $TMPDIR (or /tmp), created with a unique name and
// removed, with the files in it, when the object goes.
#pragma once

#include <string>

namespace Ostrel {

class TemporaryFolder {
public:
    // The folder is named after `prefix` and a unique suffix.
    explicit TemporaryFolder(const char* prefix);
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    bool IsCreated() const { return !path.empty(); }
    // The errno of a failed creation.
    int ErrorNumber() const { return errorNumber; }
    // The path of a file of that name inside the folder.
    std::string PathOf(const std::string& fileName) const { return path + "/" + fileName; }

private:
    std::string path;
    int errorNumber = 0;
};

} // namespace Ostrel
