// The library that serves the system's classes, opened only to call its registration entry
// points, the way an installer does.
#pragma once

#include <string>

namespace Ostrel {

class ServerLibrary {
public:
    // `operand` names the library; null means libpravell.so beside this program, else in the
    // library folder of the installation this program belongs to.
    explicit ServerLibrary(const char* operand);
    ~ServerLibrary();
    ServerLibrary(const ServerLibrary&) = delete;
    ServerLibrary& operator=(const ServerLibrary&) = delete;

    // Loads the library; says why on standard error when it cannot.
    bool Load();
    // Calls the exported entry point ("DllRegisterServer", "DllUnregisterServer"); says why on
    // standard error when it fails.
    bool Call(const char* entryPoint);
    // The absolute path of the library.
    const std::string& Path() const { return path; }

private:
    bool FindDefault();

    std::string path;
    const char* operand;
    void* handle = nullptr;
};

} // namespace Ostrel
