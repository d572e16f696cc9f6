#include "RegistryNameTable.h"

#include "RegistryTree.h"

namespace pervo::machine {
namespace {

// FNV-1a over the name folded to lower case, mixed with the owner, then
// scrambled so that the low bits that pick a slot depend on every bit.
std::uint64_t HashOf(const RegistryKey& owner, std::string_view name)
{
    std::uint64_t hash = 0xCBF29CE484222325ull;
    const char* const data = name.data();
    for (std::size_t i = 0, size = name.size(); i < size; ++i) {
        const char c = data[i];
        hash ^= static_cast<unsigned char>((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c);
        hash *= 0x100000001B3ull;
    }
    hash ^= static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(&owner)) * 0x9E3779B97F4A7C15ull;
    hash ^= hash >> 33;
    hash *= 0xFF51AFD7ED558CCDull;
    hash ^= hash >> 33;
    hash *= 0xC4CEB9FE1A85EC53ull;
    hash ^= hash >> 33;
    return hash;
}

}  // namespace

std::string_view RegistryNameTable::NameAt(const RegistryKey& owner, std::size_t position) const
{
    return m_names == Names::Subkeys ? std::string_view(owner.subkeys[position]->name)
                                     : std::string_view(owner.values[position].first);
}

std::size_t RegistryNameTable::FindOrAdd(const RegistryKey& owner, std::string_view name, std::size_t next)
{
    if ((m_used + 1) * 2 > m_slots.size())
        Grow();
    const std::uint64_t hash = HashOf(owner, name);
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t index = static_cast<std::size_t>(hash) & mask;; index = (index + 1) & mask) {
        Slot& slot = m_slots[index];
        if (slot.owner == nullptr) {
            slot = Slot{&owner, next, hash};
            ++m_used;
            return kNotFound;
        }
        if (slot.hash == hash && slot.owner == &owner && EqualsIgnoringCase(NameAt(owner, slot.position), name))
            return slot.position;
    }
}

void RegistryNameTable::Grow()
{
    std::vector<Slot> old(m_slots.empty() ? 64 : m_slots.size() * 2);
    old.swap(m_slots);
    const std::size_t mask = m_slots.size() - 1;
    for (const Slot& slot : old) {
        if (slot.owner == nullptr)
            continue;
        std::size_t index = static_cast<std::size_t>(slot.hash) & mask;
        while (m_slots[index].owner != nullptr)
            index = (index + 1) & mask;
        m_slots[index] = slot;
    }
}

}  // namespace pervo::machine
