// The registry's keys in memory: a tree read from the registry file for one operation and
// written back after a change.
#pragma once

#include "platform/types.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace Ostrel {

// Windows allows keys 512 levels deep; the limit also bounds every walk over the tree.
constexpr size_t maxKeyDepth = 512;

struct RegistryValue {
    std::string name; // empty for the key's default value
    DWORD type;
    std::string data;
};

// Names of keys and values compare without regard to ASCII letter case and keep the case they
// were created with. Subkeys are ordered by their upper-cased names, as Windows lists them.
class RegistryKey {
public:
    explicit RegistryKey(std::string name) : name(std::move(name)) {}

    const std::string& Name() const { return name; }

    RegistryKey* Subkey(const std::string& subkeyName) const;
    // Returns the existing subkey of that name, or a new one; created tells which.
    RegistryKey& AddSubkey(const std::string& subkeyName, bool& created);
    bool RemoveSubkey(const std::string& subkeyName);
    bool HasSubkeys() const { return !subkeys.empty(); }
    // The subkey at a position of the listing order, or null past its end.
    const RegistryKey* SubkeyAt(size_t index) const;

    const RegistryValue* Value(const std::string& valueName) const;
    // Answers whether anything changed.
    bool SetValue(const std::string& valueName, DWORD type, std::string data);
    const std::vector<RegistryValue>& Values() const { return values; }

    template <typename Visit>
    void ForEachSubkey(Visit visit) const {
        for (const auto& entry : subkeys) {
            visit(*entry.second);
        }
    }

    // Follows a path of subkey names; null when one is missing.
    RegistryKey* Find(const std::vector<std::string>& path);

private:
    std::string name;
    std::vector<RegistryValue> values; // in the order they were first set, as Windows keeps them
    std::map<std::string, std::unique_ptr<RegistryKey>> subkeys; // by upper-cased name
};

} // namespace Ostrel
