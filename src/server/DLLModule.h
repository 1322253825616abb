// Where the library lies: its own full path and the directory its type library files are looked
// for in. Both are computed once, when the module is built at load time.
#pragma once

#include "platform/com.h"
#include "text/Text.h"

namespace Ostrel {

class DLLModule {
public:
    // `instance` is the library's own module handle (on Linux, any address inside it).
    explicit DLLModule(HMODULE instance);
    DLLModule(const DLLModule&) = delete;
    DLLModule& operator=(const DLLModule&) = delete;
    virtual ~DLLModule() = default;

    // The library file in long-name form; this is what registration writes.
    const Text& ModulePath() const { return modulePath; }
    // Ends with the platform's path separator, or is empty when the path has none.
    const Text& TypeLibraryDirectory() const { return typeLibraryDirectory; }

    // The part of `path` up to and including its last path separator; empty when it has none.
    static Text DirectoryOf(const Text& path);
    // A module copied to a temporary name "...[<other>].tmp" by an installer finds its type
    // libraries beside <other>: the name between the last "[" and the last "].tmp", if any.
    static bool BracketedModuleName(const Text& path, Text* name);

private:
    Text modulePath;
    Text typeLibraryDirectory;
};

} // namespace Ostrel
