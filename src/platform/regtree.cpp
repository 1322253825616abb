#include "platform/regtree.h"

#include <algorithm>
#include <iterator>

namespace Ostrel {

namespace {

char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string FoldName(const std::string& name) {
    std::string folded(name);
    std::transform(folded.begin(), folded.end(), folded.begin(), UpperAscii);
    return folded;
}

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return UpperAscii(x) == UpperAscii(y);
           });
}

} // namespace

RegistryKey* RegistryKey::Subkey(const std::string& subkeyName) const {
    auto found = subkeys.find(FoldName(subkeyName));
    return found == subkeys.end() ? nullptr : found->second.get();
}

RegistryKey& RegistryKey::AddSubkey(const std::string& subkeyName, bool& created) {
    auto& slot = subkeys[FoldName(subkeyName)];
    created = slot == nullptr;
    if (created) {
        slot = std::make_unique<RegistryKey>(subkeyName);
    }
    return *slot;
}

bool RegistryKey::RemoveSubkey(const std::string& subkeyName) {
    return subkeys.erase(FoldName(subkeyName)) != 0;
}

const RegistryKey* RegistryKey::SubkeyAt(size_t index) const {
    if (index >= subkeys.size()) {
        return nullptr;
    }
    return std::next(subkeys.begin(), static_cast<std::ptrdiff_t>(index))->second.get();
}

const RegistryValue* RegistryKey::Value(const std::string& valueName) const {
    for (const RegistryValue& value : values) {
        if (SameName(value.name, valueName)) {
            return &value;
        }
    }
    return nullptr;
}

bool RegistryKey::SetValue(const std::string& valueName, DWORD type, std::string data) {
    for (RegistryValue& value : values) {
        if (SameName(value.name, valueName)) {
            if (value.type == type && value.data == data) {
                return false;
            }
            value.type = type;
            value.data = std::move(data);
            return true;
        }
    }
    values.push_back(RegistryValue{valueName, type, std::move(data)});
    return true;
}

RegistryKey* RegistryKey::Find(const std::vector<std::string>& path) {
    RegistryKey* key = this;
    for (const std::string& part : path) {
        key = key->Subkey(part);
        if (key == nullptr) {
            return nullptr;
        }
    }
    return key;
}

} // namespace Ostrel
