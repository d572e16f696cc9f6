#pragma once

// Small helpers shared by the registry's tests: values written the short way,
// a scratch folder that is removed afterwards, and file access that goes
// around the registry so that tests see what is really on disk.

#include "Registry.h"
#include "RegistryTree.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace pervo::test {

inline constexpr machine::RegistryType kRegSz = 1;
inline constexpr machine::RegistryType kRegExpandSz = 2;
inline constexpr machine::RegistryType kRegBinary = 3;
inline constexpr machine::RegistryType kRegDword = 4;
inline constexpr machine::RegistryType kRegMultiSz = 7;

inline machine::RegistryValue Dword(std::uint32_t number)
{
    return {kRegDword,
            {static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
             static_cast<std::uint8_t>(number >> 16), static_cast<std::uint8_t>(number >> 24)}};
}

// A REG_SZ as the real registry stores it: the text and its terminating NUL.
inline machine::RegistryValue Sz(std::string_view text)
{
    machine::RegistryValue value{kRegSz, {text.begin(), text.end()}};
    value.data.push_back(0);
    return value;
}

inline machine::RegistryValue Raw(machine::RegistryType type, std::vector<std::uint8_t> data)
{
    return {type, std::move(data)};
}

// A hive tree holding one value in one key.
inline std::unique_ptr<machine::RegistryKey> TreeWith(std::string_view keyPath, std::string_view name,
                                                      const machine::RegistryValue& value)
{
    auto tree = machine::NewHiveTree();
    auto names = machine::SplitKeyPath(keyPath);
    EXPECT_TRUE(names.IsOk()) << keyPath;
    auto& key = machine::CreateKeyPath(*tree, names.Value(), nullptr);
    machine::StoreValue(key, name, value);
    return tree;
}

inline std::string CrLfLines(std::initializer_list<std::string_view> lines)
{
    std::string text;
    for (const auto line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

inline std::optional<std::string> ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteWholeFile(const std::string& path, std::string_view text)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    ASSERT_TRUE(out.good()) << path;
}

inline std::set<std::string> FolderEntries(const std::string& folder)
{
    std::set<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        names.insert(entry.path().filename().string());
    return names;
}

// A fresh folder for one test, removed with everything in it afterwards.
class TemporaryFolder {
public:
    // Memory puts the folder on the memory file system where there is one:
    // for tests that save thousands of times to check how writers share a
    // file, not how long the disk takes to flush it.
    enum class Place { Disk, Memory };

    explicit TemporaryFolder(Place place = Place::Disk)
    {
        const char* base = std::getenv("TMPDIR");
        std::string root = base != nullptr && *base != '\0' ? base : "/tmp";
        if (place == Place::Memory && ::access("/dev/shm", W_OK) == 0)
            root = "/dev/shm";
        std::string pattern = root + "/pervo-registry-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr)
            ADD_FAILURE() << "cannot create a scratch folder from " << pattern;
        m_path = pattern;
    }
    ~TemporaryFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

// Shows a case of a test table by its label when the test fails, instead of
// its bytes. It lives in the unnamed namespace, as the tables do, so that the
// test framework finds it beside them.
namespace {

template <typename Case>
    requires requires(const Case& test) { test.label; }
void PrintTo(const Case& test, std::ostream* out)
{
    *out << test.label;
}

}  // namespace

}  // namespace pervo::test
