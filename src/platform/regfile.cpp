// Reads and writes the registry's text form, described at the top of registry.cpp. The reader
// is strict: anything the writer would not have produced counts as damage, so that a file cut
// short or overwritten by something else is reported instead of being half understood.
#include "platform/regfile.h"

#include "platform/registry.h"

#include <algorithm>
#include <unordered_set>

namespace Ostrel {

namespace {

const char header[] = "PRAVELL-REGISTRY 1";
const char headerPrefix[] = "PRAVELL-REGISTRY ";
const char trailer[] = "END";
const char hexDigits[] = "0123456789ABCDEF";

bool NeedsEscape(unsigned char c) {
    return c < 0x20 || c == 0x7F || c == '%' || c == '"';
}

void AppendEscaped(std::string& out, const std::string& text) {
    for (char c : text) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (NeedsEscape(byte)) {
            out += '%';
            out += hexDigits[byte >> 4];
            out += hexDigits[byte & 0xF];
        } else {
            out += c;
        }
    }
}

void AppendValue(std::string& out, const RegistryValue& value) {
    if (value.name.empty()) {
        out += '@';
    } else {
        out += '"';
        AppendEscaped(out, value.name);
        out += '"';
    }
    out += '=';
    if (value.type == REG_SZ && !value.data.empty() && value.data.back() == '\0') {
        out += '"';
        AppendEscaped(out, value.data.substr(0, value.data.size() - 1));
        out += '"';
    } else {
        out += "hex(" + std::to_string(value.type) + "):";
        for (size_t i = 0; i < value.data.size(); ++i) {
            unsigned char byte = static_cast<unsigned char>(value.data[i]);
            if (i != 0) {
                out += ',';
            }
            out += hexDigits[byte >> 4];
            out += hexDigits[byte & 0xF];
        }
    }
    out += '\n';
}

// The root is listed as "[]" only when it holds values of its own.
void AppendKey(std::string& out, const RegistryKey& key, const std::string& path, bool isRoot) {
    if (!isRoot || !key.Values().empty()) {
        out += '[' + path + "]\n";
    }
    for (const RegistryValue& value : key.Values()) {
        AppendValue(out, value);
    }
    key.ForEachSubkey([&](const RegistryKey& subkey) {
        std::string subpath = path;
        if (!subpath.empty()) {
            subpath += '\\';
        }
        AppendEscaped(subpath, subkey.Name());
        AppendKey(out, subkey, subpath, false);
    });
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

bool ParseHexByte(const char* at, const char* end, char& byte) {
    if (end - at < 2 || HexValue(at[0]) < 0 || HexValue(at[1]) < 0) {
        return false;
    }
    byte = static_cast<char>(HexValue(at[0]) * 16 + HexValue(at[1]));
    return true;
}

// One line at a time, keeping the key that value lines belong to.
class RegistryReader {
public:
    RegistryReader(RegistryKey& root, std::string& problem) : root(root), problem(problem) {}

    bool Read(const std::string& text);

private:
    bool ReadLine(const char* begin, const char* end);
    bool ReadKey(const char* begin, const char* end);
    bool ReadValue(const char* begin, const char* end);
    bool ReadData(const char* begin, const char* end, DWORD& type, std::string& data);
    bool ReadHexData(const char* begin, const char* end, DWORD& type, std::string& data);
    bool Unescape(const char* begin, const char* end, std::string& out);
    bool Fail(const std::string& reason);

    RegistryKey& root;
    std::string& problem;
    RegistryKey* current = nullptr;
    std::unordered_set<const RegistryKey*> declared;
    size_t lineNumber = 0;
    bool ended = false;
};

bool RegistryReader::Read(const std::string& text) {
    if (text.empty()) {
        return Fail("the file is empty");
    }
    const char* at = text.data();
    const char* end = at + text.size();
    while (at != end) {
        ++lineNumber;
        const char* lineEnd = std::find(at, end, '\n');
        if (lineEnd == end) {
            return Fail("the line is cut short (no line end)");
        }
        if (!ReadLine(at, lineEnd)) {
            return false;
        }
        at = lineEnd + 1;
    }
    if (!ended) {
        ++lineNumber;
        return Fail("the END line is missing: the file is cut short");
    }
    return true;
}

bool RegistryReader::ReadLine(const char* begin, const char* end) {
    std::string line(begin, end);
    if (lineNumber == 1) {
        if (line == header) {
            return true;
        }
        return Fail(line.compare(0, sizeof headerPrefix - 1, headerPrefix) == 0
                        ? "unsupported format version"
                        : "not a registry file");
    }
    if (ended) {
        return Fail("text after the END line");
    }
    if (line == trailer) {
        ended = true;
        return true;
    }
    if (!line.empty() && line.front() == '[' && line.back() == ']' && line.size() >= 2) {
        return ReadKey(begin + 1, end - 1);
    }
    if (!line.empty() && (line.front() == '@' || line.front() == '"')) {
        return ReadValue(begin, end);
    }
    return Fail("unrecognised line");
}

bool RegistryReader::ReadKey(const char* begin, const char* end) {
    RegistryKey* key = &root;
    size_t depth = 0;
    const char* at = begin;
    while (at != end) {
        const char* partEnd = std::find(at, end, '\\');
        std::string name;
        if (partEnd == at) {
            return Fail("empty key name in a path");
        }
        if (!Unescape(at, partEnd, name)) {
            return false;
        }
        if (++depth > maxKeyDepth) {
            return Fail("key path too deep");
        }
        bool created = false;
        key = &key->AddSubkey(name, created);
        at = partEnd == end ? end : partEnd + 1;
        if (partEnd != end && at == end) {
            return Fail("empty key name in a path");
        }
    }
    if (!declared.insert(key).second) {
        return Fail("key listed twice");
    }
    current = key;
    return true;
}

bool RegistryReader::ReadValue(const char* begin, const char* end) {
    if (current == nullptr) {
        return Fail("value before any key");
    }
    std::string name;
    const char* at = begin;
    if (*at == '@') {
        ++at;
    } else {
        const char* close = std::find(at + 1, end, '"');
        if (close == end) {
            return Fail("unterminated value name");
        }
        if (!Unescape(at + 1, close, name)) {
            return false;
        }
        if (name.empty()) {
            return Fail("empty value name written as a string");
        }
        at = close + 1;
    }
    if (at == end || *at != '=') {
        return Fail("'=' expected after the value name");
    }
    DWORD type = REG_NONE;
    std::string data;
    if (!ReadData(at + 1, end, type, data)) {
        return false;
    }
    if (current->Value(name) != nullptr) {
        return Fail("value listed twice");
    }
    current->SetValue(name, type, std::move(data));
    return true;
}

bool RegistryReader::ReadData(const char* begin, const char* end, DWORD& type, std::string& data) {
    if (begin != end && *begin == '"') {
        if (end - begin < 2 || end[-1] != '"') {
            return Fail("unterminated string");
        }
        if (!Unescape(begin + 1, end - 1, data)) {
            return false;
        }
        type = REG_SZ;
        data += '\0';
        return true;
    }
    return ReadHexData(begin, end, type, data);
}

bool RegistryReader::ReadHexData(const char* begin, const char* end, DWORD& type,
                                 std::string& data) {
    static const char opening[] = "hex(";
    const size_t openingLength = sizeof opening - 1;
    if (static_cast<size_t>(end - begin) < openingLength ||
        std::string(begin, openingLength) != opening) {
        return Fail("value data is neither a string nor hex(type):bytes");
    }
    const char* at = begin + openingLength;
    uint64_t number = 0;
    const char* digits = at;
    while (at != end && *at >= '0' && *at <= '9' && number <= 0xFFFFFFFFu) {
        number = number * 10 + static_cast<uint64_t>(*at - '0');
        ++at;
    }
    if (at == digits || number > 0xFFFFFFFFu || end - at < 2 || at[0] != ')' || at[1] != ':') {
        return Fail("bad value type");
    }
    type = static_cast<DWORD>(number);
    at += 2;
    while (at != end) {
        char byte = 0;
        if (!data.empty() && *at++ != ',') {
            return Fail("',' expected between bytes");
        }
        if (!ParseHexByte(at, end, byte)) {
            return Fail("bad hexadecimal byte");
        }
        data += byte;
        at += 2;
    }
    return true;
}

bool RegistryReader::Unescape(const char* begin, const char* end, std::string& out) {
    for (const char* at = begin; at != end; ++at) {
        unsigned char c = static_cast<unsigned char>(*at);
        if (c == '%') {
            char byte = 0;
            if (!ParseHexByte(at + 1, end, byte)) {
                return Fail("bad %-escape");
            }
            out += byte;
            at += 2;
        } else if (NeedsEscape(c)) {
            return Fail("unescaped control character or quote");
        } else {
            out += static_cast<char>(c);
        }
    }
    return true;
}

bool RegistryReader::Fail(const std::string& reason) {
    problem = "line " + std::to_string(lineNumber) + ": " + reason;
    return false;
}

} // namespace

std::string FormatRegistry(const RegistryKey& root) {
    std::string out = header;
    out += '\n';
    AppendKey(out, root, "", true);
    out += trailer;
    out += '\n';
    return out;
}

bool ParseRegistry(const std::string& text, RegistryKey& root, std::string& problem) {
    return RegistryReader(root, problem).Read(text);
}

} // namespace Ostrel
