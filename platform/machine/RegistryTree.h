#pragma once

#include "Registry.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pervo::machine {

// The rules every key tree in the machine follows, shared by the registry, its
// text format and the tests: which names are allowed, how paths split, which
// keys always exist, and when two trees hold the same thing.

// The real registry refuses to nest keys deeper than this; it also keeps every
// walk over a tree (formatting, comparing, freeing) well inside the stack.
inline constexpr std::size_t kMaxKeyDepth = 512;

inline constexpr std::string_view kRootKeyNames[] = {
    "HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER", "HKEY_CLASSES_ROOT", "HKEY_USERS", "HKEY_CURRENT_CONFIG",
};
inline constexpr std::string_view kSoftwareKeyName = "SOFTWARE";

bool EqualsIgnoringCase(std::string_view left, std::string_view right);
std::string ToLowerAscii(std::string_view text);

// Names may hold any byte but control characters: a line break could not be
// written to the hive's text, and the others would only confuse a reader.
// Key names may not hold a backslash either, because it separates them.
bool IsValidValueName(std::string_view name);
bool IsValidKeyName(std::string_view name);

// Splits a full key path into its names: the first must be a root key, none
// may be empty or invalid, and there may be at most kMaxKeyDepth of them. The
// failure says what is wrong with the path, without naming the path itself.
Result<std::vector<std::string_view>> SplitKeyPath(std::string_view path);
// The same, into a vector the caller keeps, for readers of many paths.
Status SplitKeyPath(std::string_view path, std::vector<std::string_view>& names);

// A tree holding the keys that always exist: the root keys and
// HKEY_LOCAL_MACHINE\SOFTWARE.
std::unique_ptr<RegistryKey> NewHiveTree();

// Whether the key is one of those that always exist (given its parent, or
// nullptr for a key right below the unnamed top).
bool IsAlwaysPresentKey(const RegistryKey* parent, const RegistryKey& key);

// The key at the end of names, or nullptr.
RegistryKey* FindKey(const RegistryKey& root, const std::vector<std::string_view>& names);

// Finds or creates the key at the end of names; *created tells whether any
// key had to be created.
RegistryKey& CreateKeyPath(RegistryKey& root, const std::vector<std::string_view>& names, bool* created);

// Stores the value, keeping the position and name case of a value it replaces.
// Returns whether anything changed.
bool StoreValue(RegistryKey& key, std::string_view name, const RegistryValue& value);

// Whether two trees hold the same keys and values, with the same names (case
// included) in the same order.
bool SameTree(const RegistryKey& left, const RegistryKey& right);

}  // namespace pervo::machine
