#pragma once

// What every fuzz target shares: a check that stops the run loudly, so that
// libFuzzer keeps the input and the corpus replay fails.

#include <cstdio>
#include <cstdlib>
#include <string>

namespace pervo::fuzz {

inline void Check(bool holds, const std::string& what)
{
    if (holds)
        return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what.c_str());
    std::abort();
}

// Bytes as a C string literal would show them, for a failure message.
inline std::string Printable(const std::string& bytes)
{
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
            out += c;
        } else {
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
    }
    return out;
}

}  // namespace pervo::fuzz
