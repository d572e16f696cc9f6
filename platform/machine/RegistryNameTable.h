#pragma once

#include "Registry.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace pervo::machine {

// Finds the subkeys or the values of keys by name, without regard to case,
// for a reader that builds a tree from a file of any size: one flat table
// for all keys, so that a key with very many subkeys or values costs no more
// per name than a small one, and no allocation per name.
class RegistryNameTable {
public:
    static constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);

    enum class Names { Subkeys, Values };

    explicit RegistryNameTable(Names names) : m_names(names) {}

    // The position among owner's subkeys or values of the one named name. If
    // there is none, records that it will be at position `next`, which the
    // caller then fills, and returns kNotFound.
    std::size_t FindOrAdd(const RegistryKey& owner, std::string_view name, std::size_t next);

private:
    struct Slot {
        const RegistryKey* owner = nullptr;  // nullptr: the slot is free
        std::size_t position = 0;
        std::uint64_t hash = 0;
    };

    std::string_view NameAt(const RegistryKey& owner, std::size_t position) const;
    void Grow();

    Names m_names;
    std::vector<Slot> m_slots;  // a power of two long, and never more than half full
    std::size_t m_used = 0;
};

}  // namespace pervo::machine
