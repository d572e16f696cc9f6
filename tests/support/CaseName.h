#pragma once

// Names a parameterised test case after its `name` field, so a failure reads
// as the behaviour that broke rather than as a case number, and prints the
// case by that name instead of as raw bytes.

#include <gtest/gtest.h>

#include <concepts>
#include <ostream>
#include <string>

namespace pervo::test {

struct CaseName {
    template <typename Case>
    std::string operator()(const ::testing::TestParamInfo<Case>& testCase) const
    {
        return testCase.param.name;
    }
};

// Found by argument-dependent lookup once a test file's own namespace says
// `using test::PrintTo;`.
template <typename Case>
    requires requires(const Case& testCase) {
        { testCase.name } -> std::convertible_to<const char*>;
    }
void PrintTo(const Case& testCase, std::ostream* out)
{
    *out << testCase.name;
}

}  // namespace pervo::test
