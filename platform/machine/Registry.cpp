#include "Registry.h"

#include "HiveFile.h"
#include "RegistryTree.h"

#include <functional>

namespace pervo::machine {

enum class ChangeResult { Unchanged, Changed };

struct Registry::Impl {
    std::string path;  // empty for a hive in memory only
    SystemCalls* calls = nullptr;
    std::unique_ptr<RegistryKey> root = NewHiveTree();
    std::uint64_t saveCount = 0;

    // Applies one change: to memory alone for an in-memory hive, otherwise to
    // the file as it is now, under the writers' lock, and memory then takes
    // what the file holds.
    Status Apply(const std::function<ChangeResult(RegistryKey&)>& change)
    {
        if (path.empty()) {
            change(*root);
            return Status::Ok();
        }
        HiveFile file(path, *calls);
        if (auto status = file.Lock(); !status)
            return status;
        auto text = file.Read();
        if (!text)
            return Status(text.GetStatus().GetError(),
                          text.GetStatus().Message() + " The registry file was left as it was.");
        // Another program may have stored keys since we read the file; they
        // are kept by applying our change to what the file holds now.
        std::unique_ptr<RegistryKey> tree;
        if (text.Value()) {
            auto parsed = ParseRegedit4(*text.Value(), path);
            if (!parsed)
                return Status(Error::Corrupt, parsed.GetStatus().Message()
                                                  + " (the registry file was changed since it was read and no longer "
                                                    "reads; nothing was written to it: correct or remove it)");
            tree = std::move(parsed.Value());
        } else {
            tree = NewHiveTree();
        }
        if (change(*tree) == ChangeResult::Unchanged) {
            root = std::move(tree);
            return Status::Ok();
        }
        const Status status = file.Replace(FormatRegedit4(*tree));
        // Once the rename is done the file holds the change, even if flushing
        // the folder then failed, and memory must say what the file says.
        if (status || file.Replaced()) {
            root = std::move(tree);
            ++saveCount;
        }
        return status;
    }
};

Registry::Registry() : m_impl(std::make_unique<Impl>()) {}

Registry::~Registry() = default;

Result<std::unique_ptr<Registry>> Registry::Load(std::string path, SystemCalls& calls)
{
    if (path.empty())
        return Status(Error::InvalidArgument, "No registry file was named; name one with --registry.");
    auto text = HiveFile(path, calls).Read();
    if (!text)
        return text.GetStatus();
    std::unique_ptr<Registry> registry(new Registry());
    if (text.Value()) {
        auto parsed = ParseRegedit4(*text.Value(), path);
        if (!parsed)
            return parsed.GetStatus();
        registry->m_impl->root = std::move(parsed.Value());
    }
    registry->m_impl->path = std::move(path);
    registry->m_impl->calls = &calls;
    return registry;
}

std::unique_ptr<Registry> Registry::InMemory()
{
    return std::unique_ptr<Registry>(new Registry());
}

bool Registry::KeyExists(std::string_view path) const
{
    const auto names = SplitKeyPath(path);
    return names && FindKey(*m_impl->root, names.Value()) != nullptr;
}

Status Registry::CreateKey(std::string_view path, bool* created)
{
    auto names = SplitKeyPath(path);
    if (!names)
        return Status(Error::InvalidArgument, "Cannot create the key: " + names.GetStatus().Message() + ".");
    if (FindKey(*m_impl->root, names.Value()) != nullptr) {
        if (created != nullptr)
            *created = false;
        return Status::Ok();
    }
    bool wasCreated = false;
    auto status = m_impl->Apply([&](RegistryKey& tree) {
        CreateKeyPath(tree, names.Value(), &wasCreated);
        return wasCreated ? ChangeResult::Changed : ChangeResult::Unchanged;
    });
    if (status && created != nullptr)
        *created = wasCreated;
    return status;
}

std::optional<RegistryValue> Registry::QueryValue(std::string_view key, std::string_view name) const
{
    const auto names = SplitKeyPath(key);
    if (!names)
        return std::nullopt;
    const RegistryKey* found = FindKey(*m_impl->root, names.Value());
    if (found == nullptr)
        return std::nullopt;
    const RegistryValue* value = found->FindValue(name);
    if (value == nullptr)
        return std::nullopt;
    return *value;
}

Status Registry::SetValue(std::string_view key, std::string_view name, const RegistryValue& value)
{
    auto names = SplitKeyPath(key);
    if (!names)
        return Status(Error::InvalidArgument, "Cannot store the value: " + names.GetStatus().Message() + ".");
    if (!IsValidValueName(name))
        return Status(Error::InvalidArgument,
                      "Cannot store the value: its name holds a control character, which the registry file cannot hold.");
    const RegistryKey* found = FindKey(*m_impl->root, names.Value());
    if (found == nullptr)
        return Status(Error::NotFound, "Cannot store the value: the key " + std::string(key)
                                           + " does not exist. Create the key first.");
    if (const RegistryValue* stored = found->FindValue(name); stored != nullptr && *stored == value)
        return Status::Ok();
    return m_impl->Apply([&](RegistryKey& tree) {
        // The key exists here; should someone have taken it out of the file
        // meanwhile, it comes back with the value rather than the value being
        // lost.
        RegistryKey& target = CreateKeyPath(tree, names.Value(), nullptr);
        return StoreValue(target, name, value) ? ChangeResult::Changed : ChangeResult::Unchanged;
    });
}

const RegistryKey& Registry::Root() const
{
    return *m_impl->root;
}

const std::string& Registry::Path() const
{
    return m_impl->path;
}

std::uint64_t Registry::SaveCount() const
{
    return m_impl->saveCount;
}

}  // namespace pervo::machine
