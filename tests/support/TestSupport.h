// Files and directories of a test's own, on every system: a scratch directory removed with
// everything in it, whole-file helpers, the case files of a data folder, and automation strings
// as values that tests can build and compare.
#pragma once

#include "platform/com.h"

#include <string>
#include <vector>

// The characters of an automation string: wchar_t on Windows, char16_t elsewhere. Tests write
// their literals with OLESTR("...") so that they have this character type on both.
using OleString = std::basic_string<OLECHAR>;

// A directory of its own below the system's temporary directory (or PRAVELL_TEST_ROOT).
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

// The path as the system writes a full one: absolute, with its own separators (on Windows the
// drive and backslashes that registrations and module names carry).
std::string SystemPath(const std::string& path);

std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& text);

// The cases a data-driven runner walks: the paths of the files in `directory` whose names end
// in `extension` (".xml"), without it, in name order.
std::vector<std::string> CasesIn(const std::string& directory, const std::string& extension);

// The names in a directory, sorted, without "." and "..".
std::vector<std::string> ListDirectory(const std::string& path);

// The component keeps its texts as narrow bytes and converts them to and from automation strings
// through the ANSI code page: UTF-8 on Linux, a single-byte page (1252 under Wine) on Windows. A
// test whose text goes beyond ASCII derives its expectation with these, so that it states what
// holds on both systems instead of what holds where that page is UTF-8.
std::string ToAnsi(const OleString& wide);
OleString FromAnsi(const std::string& narrow);
// How a host that reads automation strings as UTF-8 sees the component's narrow `text`.
std::string AnsiAsUtf8(const std::string& text);

// An automation string's characters, embedded NULs included; a null string is empty.
inline OleString BstrText(BSTR text) {
    return text == nullptr ? OleString() : OleString(text, SysStringLen(text));
}
