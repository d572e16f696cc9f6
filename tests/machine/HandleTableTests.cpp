// Kernel handles: multiples of four from 16, the lowest free one first, so a
// closed handle's number is given out again.

#include "CaseName.h"
#include "HandleTable.h"
#include "SerialPorts.h"

#include <gtest/gtest.h>

#include <vector>

namespace pervo::test {
namespace {

using test::PrintTo;

using machine::HandleTable;
using machine::KernelObject;

KernelObject Key(std::string path)
{
    KernelObject object;
    object.kind = KernelObject::Kind::RegistryKey;
    object.keyPath = std::move(path);
    return object;
}

TEST(HandleTable, GivesOutMultiplesOfFourFromSixteen)
{
    HandleTable handles;
    std::vector<std::uint32_t> given;
    for (int i = 0; i < 4; ++i)
        given.push_back(handles.Add(Key("k" + std::to_string(i))));
    EXPECT_EQ(given, (std::vector<std::uint32_t>{16, 20, 24, 28}));
    EXPECT_EQ(handles.Count(), 4u);
}

struct ReuseCase {
    const char* name;
    std::vector<std::uint32_t> closed;  // of 16, 20, 24, 28
    std::vector<std::uint32_t> next;    // the next handles given out
};

class HandleReuse : public ::testing::TestWithParam<ReuseCase> {};

TEST_P(HandleReuse, TheLowestFreeNumberComesFirst)
{
    HandleTable handles;
    for (int i = 0; i < 4; ++i)
        handles.Add(Key("k" + std::to_string(i)));
    for (std::uint32_t handle : GetParam().closed)
        ASSERT_TRUE(handles.Remove(handle).has_value()) << handle;
    std::vector<std::uint32_t> next;
    for (std::size_t i = 0; i < GetParam().next.size(); ++i)
        next.push_back(handles.Add(Key("new")));
    EXPECT_EQ(next, GetParam().next);
}

INSTANTIATE_TEST_SUITE_P(Cases, HandleReuse,
                         ::testing::Values(ReuseCase{"TheFirst", {16}, {16, 32}},
                                           ReuseCase{"OneInTheMiddle", {20}, {20, 32}},
                                           ReuseCase{"TheLast", {28}, {28, 32}},
                                           ReuseCase{"TwoGaps", {24, 16}, {16, 24, 32}},
                                           ReuseCase{"All", {16, 20, 24, 28}, {16, 20, 24, 28, 32}}),
                         CaseName());

TEST(HandleTable, FindsAndRemovesWhatWasAddedAndNothingElse)
{
    HandleTable handles;
    const std::uint32_t first = handles.Add(Key("HKEY_LOCAL_MACHINE\\SOFTWARE"));
    const std::uint32_t second = handles.Add(Key("HKEY_CURRENT_USER"));
    ASSERT_NE(handles.Find(second), nullptr);
    EXPECT_EQ(handles.Find(second)->keyPath, "HKEY_CURRENT_USER");
    for (std::uint32_t unknown : {0u, 17u, 24u, 0xFFFFFFFFu})
        EXPECT_EQ(handles.Find(unknown), nullptr) << unknown;

    auto removed = handles.Remove(first);
    ASSERT_TRUE(removed.has_value());
    EXPECT_EQ(removed->keyPath, "HKEY_LOCAL_MACHINE\\SOFTWARE");
    EXPECT_EQ(handles.Find(first), nullptr);
    EXPECT_FALSE(handles.Remove(first).has_value()) << "a handle is closed once";
    EXPECT_EQ(handles.Count(), 1u);
}

}  // namespace
}  // namespace pervo::test
