#pragma once

#include "Status.h"
#include "SystemCalls.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pervo::machine {

// Value types, numbered as the registry numbers them (REG_SZ = 1, REG_DWORD = 4, ...).
using RegistryType = std::uint32_t;

struct RegistryValue {
    RegistryType type = 0;
    std::vector<std::uint8_t> data;

    bool operator==(const RegistryValue&) const = default;
};

// One key: its values and subkeys, both looked up without regard to case but
// keeping the case they were created with.
struct RegistryKey {
    std::string name;
    std::vector<std::pair<std::string, RegistryValue>> values;  // in creation order
    std::vector<std::unique_ptr<RegistryKey>> subkeys;          // in creation order

    RegistryKey* FindSubkey(std::string_view subkey) const;
    const RegistryValue* FindValue(std::string_view value) const;
};

// The machine's registry: a tree of keys kept in a REGEDIT4 text file.
//
// Key paths are full paths such as "HKEY_LOCAL_MACHINE\SOFTWARE\Varholm",
// compared without regard to case. The root keys and HKEY_LOCAL_MACHINE\SOFTWARE
// always exist in memory; the file holds them only once something below them
// has been stored.
//
// The file is read once, by Load. Every change is saved at once and whole, under
// a lock on a sentinel file beside the hive: the file is read again under the
// lock, this change alone is applied to what it holds, and the result goes to a
// temporary file in the same folder that is flushed, renamed over the hive, and
// the folder flushed. So two programs sharing one hive never lose each other's
// keys, and a crash at any moment leaves either the old or the new file. After
// a save, memory holds what the file holds; after a failed save, memory and file
// both keep the old state. A change that changes nothing writes nothing.
class Registry {
public:
    // Reads the hive. A missing file is an empty hive (the file appears with the
    // first change); a file that does not parse fails with "FILE:LINE: what is
    // wrong" and is never written.
    static Result<std::unique_ptr<Registry>> Load(std::string path, SystemCalls& calls);

    // An empty hive that lives only in memory, for tests and for tools.
    static std::unique_ptr<Registry> InMemory();

    bool KeyExists(std::string_view path) const;

    // Creates the key and any missing parents. *created tells whether it was new.
    Status CreateKey(std::string_view path, bool* created);

    std::optional<RegistryValue> QueryValue(std::string_view key, std::string_view name) const;

    // Stores the value in an existing key.
    Status SetValue(std::string_view key, std::string_view name, const RegistryValue& value);

    const RegistryKey& Root() const;  // the unnamed node above the root keys
    const std::string& Path() const;  // "" for an in-memory hive
    std::uint64_t SaveCount() const;  // how many times the file was written

    ~Registry();

private:
    Registry();
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// The REGEDIT4 text of a tree, and back. Exposed for the tests and the fuzzers.
std::string FormatRegedit4(const RegistryKey& root);
Result<std::unique_ptr<RegistryKey>> ParseRegedit4(std::string_view text, std::string_view fileName);

}  // namespace pervo::machine
