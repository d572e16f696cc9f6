#include "RegistryTree.h"

#include <algorithm>

namespace pervo::machine {
namespace {

// These run for every name of every line of a hive that is read, so they are
// plain loops that stay quick in an unoptimised build too.
char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool HoldsControlCharacter(std::string_view name)
{
    const char* const data = name.data();
    for (std::size_t i = 0, size = name.size(); i < size; ++i) {
        if (static_cast<unsigned char>(data[i]) < 0x20)
            return true;
    }
    return false;
}

}  // namespace

bool EqualsIgnoringCase(std::string_view left, std::string_view right)
{
    const std::size_t size = left.size();
    if (size != right.size())
        return false;
    const char* const a = left.data();
    const char* const b = right.data();
    for (std::size_t i = 0; i < size; ++i) {
        if (a[i] != b[i] && LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    }
    return true;
}

std::string ToLowerAscii(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower)
        c = LowerAscii(c);
    return lower;
}

bool IsValidValueName(std::string_view name)
{
    return !HoldsControlCharacter(name);
}

bool IsValidKeyName(std::string_view name)
{
    return !name.empty() && !HoldsControlCharacter(name) && name.find('\\') == std::string_view::npos;
}

Status SplitKeyPath(std::string_view path, std::vector<std::string_view>& names)
{
    names.clear();
    if (path.empty())
        return Status(Error::InvalidArgument, "the key path is empty");
    for (;;) {
        const auto separator = path.find('\\');
        const auto name = path.substr(0, separator);
        if (name.empty())
            return Status(Error::InvalidArgument,
                          "the key path has an empty key name (two backslashes in a row, or one at an end)");
        if (HoldsControlCharacter(name))
            return Status(Error::InvalidArgument, "a key name in the path holds a control character");
        if (names.size() == kMaxKeyDepth)
            return Status(Error::InvalidArgument, "the key path is nested deeper than 512 levels");
        names.push_back(name);
        if (separator == std::string_view::npos)
            break;
        path.remove_prefix(separator + 1);
    }
    const bool knownRoot = std::any_of(std::begin(kRootKeyNames), std::end(kRootKeyNames),
                                       [&](std::string_view root) { return EqualsIgnoringCase(root, names.front()); });
    if (!knownRoot)
        return Status(Error::InvalidArgument,
                      "the key path does not begin with a root key (HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, "
                      "HKEY_CLASSES_ROOT, HKEY_USERS or HKEY_CURRENT_CONFIG)");
    return Status::Ok();
}

Result<std::vector<std::string_view>> SplitKeyPath(std::string_view path)
{
    std::vector<std::string_view> names;
    if (auto status = SplitKeyPath(path, names); !status)
        return status;
    return names;
}

std::unique_ptr<RegistryKey> NewHiveTree()
{
    auto root = std::make_unique<RegistryKey>();
    for (const auto name : kRootKeyNames) {
        auto key = std::make_unique<RegistryKey>();
        key->name = std::string(name);
        root->subkeys.push_back(std::move(key));
    }
    auto software = std::make_unique<RegistryKey>();
    software->name = std::string(kSoftwareKeyName);
    root->subkeys.front()->subkeys.push_back(std::move(software));
    return root;
}

bool IsAlwaysPresentKey(const RegistryKey* parent, const RegistryKey& key)
{
    if (parent == nullptr)
        return true;
    return EqualsIgnoringCase(parent->name, kRootKeyNames[0]) && EqualsIgnoringCase(key.name, kSoftwareKeyName);
}

RegistryKey* RegistryKey::FindSubkey(std::string_view subkey) const
{
    for (const auto& key : subkeys) {
        if (EqualsIgnoringCase(key->name, subkey))
            return key.get();
    }
    return nullptr;
}

const RegistryValue* RegistryKey::FindValue(std::string_view value) const
{
    for (const auto& [storedName, stored] : values) {
        if (EqualsIgnoringCase(storedName, value))
            return &stored;
    }
    return nullptr;
}

RegistryKey* FindKey(const RegistryKey& root, const std::vector<std::string_view>& names)
{
    const RegistryKey* key = &root;
    for (const auto name : names) {
        key = key->FindSubkey(name);
        if (key == nullptr)
            return nullptr;
    }
    return const_cast<RegistryKey*>(key);
}

RegistryKey& CreateKeyPath(RegistryKey& root, const std::vector<std::string_view>& names, bool* created)
{
    bool anyCreated = false;
    RegistryKey* key = &root;
    for (const auto name : names) {
        RegistryKey* next = key->FindSubkey(name);
        if (next == nullptr) {
            auto fresh = std::make_unique<RegistryKey>();
            fresh->name = std::string(name);
            next = fresh.get();
            key->subkeys.push_back(std::move(fresh));
            anyCreated = true;
        }
        key = next;
    }
    if (created != nullptr)
        *created = anyCreated;
    return *key;
}

bool StoreValue(RegistryKey& key, std::string_view name, const RegistryValue& value)
{
    for (auto& [storedName, stored] : key.values) {
        if (EqualsIgnoringCase(storedName, name)) {
            if (stored == value)
                return false;
            stored = value;
            return true;
        }
    }
    key.values.emplace_back(std::string(name), value);
    return true;
}

bool SameTree(const RegistryKey& left, const RegistryKey& right)
{
    if (left.name != right.name || left.values != right.values || left.subkeys.size() != right.subkeys.size())
        return false;
    for (std::size_t i = 0; i < left.subkeys.size(); ++i) {
        if (!SameTree(*left.subkeys[i], *right.subkeys[i]))
            return false;
    }
    return true;
}

}  // namespace pervo::machine
