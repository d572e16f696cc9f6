// The hive's text as it is written: the REGEDIT4 layout of registry
// exports, in which every tree this registry can hold reads back the same.

#include "Registry.h"
#include "Regedit4Syntax.h"
#include "RegistryTree.h"

#include <algorithm>

namespace pervo::machine {
namespace {

using namespace regedit4;

constexpr char kHexDigits[] = "0123456789abcdef";

void AppendQuoted(std::string& out, std::string_view text)
{
    out += '"';
    for (std::size_t position = 0;;) {
        const auto special = FindQuoteOrBackslash(text, position);
        out.append(text.data() + position, (special == std::string_view::npos ? text.size() : special) - position);
        if (special == std::string_view::npos)
            break;
        out += '\\';
        out += text[special];
        position = special + 1;
    }
    out += '"';
}

void AppendHexNumber(std::string& out, std::uint32_t number, int minimumDigits)
{
    char digits[8];
    int first = 8;
    do {
        digits[--first] = kHexDigits[number & 0x0F];
        number >>= 4;
    } while (number != 0 || 8 - first < minimumDigits);
    out.append(digits + first, static_cast<std::size_t>(8 - first));
}

// Only text that reads back to the same bytes may be written as a quoted
// string: one terminating NUL and no other, and no line breaks.
bool IsPlainString(const std::vector<std::uint8_t>& data)
{
    if (data.empty() || data.back() != 0)
        return false;
    const std::uint8_t* const bytes = data.data();
    for (std::size_t i = 0, last = data.size() - 1; i < last; ++i) {
        if (bytes[i] == 0 || bytes[i] == '\r' || bytes[i] == '\n')
            return false;
    }
    return true;
}

// Appends the bytes of a hex list to a line that began at lineStart in out.
void AppendHexList(std::string& out, std::size_t lineStart, const std::vector<std::uint8_t>& data)
{
    const std::size_t size = data.size();
    for (std::size_t i = 0; i < size; ++i) {
        const bool last = i + 1 == size;
        // A byte that is not the last needs its comma and room for the
        // backslash that may follow it.
        const std::size_t room = last ? 2 : 4;
        if (out.size() - lineStart + room > kLineWidth) {
            out += '\\';
            out += kNewline;
            lineStart = out.size();
            out += kContinuationIndent;
        }
        const char piece[3] = {kHexDigits[data[i] >> 4], kHexDigits[data[i] & 0x0F], ','};
        out.append(piece, last ? 2 : 3);
    }
    out += kNewline;
}

void AppendValue(std::string& out, const std::string& name, const RegistryValue& value)
{
    const std::size_t lineStart = out.size();
    if (name.empty())
        out += '@';
    else
        AppendQuoted(out, name);
    out += '=';
    if (value.type == kTypeString && IsPlainString(value.data)) {
        AppendQuoted(out, std::string_view(reinterpret_cast<const char*>(value.data.data()), value.data.size() - 1));
        out += kNewline;
        return;
    }
    if (value.type == kTypeDword && value.data.size() == 4) {
        out += "dword:";
        const std::uint32_t number = std::uint32_t{value.data[0]} | std::uint32_t{value.data[1]} << 8
            | std::uint32_t{value.data[2]} << 16 | std::uint32_t{value.data[3]} << 24;
        AppendHexNumber(out, number, 8);
        out += kNewline;
        return;
    }
    if (value.type == kTypeBinary) {
        out += "hex:";
    } else {
        out += "hex(";
        AppendHexNumber(out, value.type, 1);
        out += "):";
    }
    AppendHexList(out, lineStart, value.data);
}

// A key that always exists is written only when something has been stored
// below it, so that an untouched hive stays an empty file.
bool NeedsWriting(const RegistryKey* parent, const RegistryKey& key)
{
    if (!IsAlwaysPresentKey(parent, key) || !key.values.empty())
        return true;
    return std::any_of(key.subkeys.begin(), key.subkeys.end(),
                       [&](const auto& subkey) { return NeedsWriting(&key, *subkey); });
}

void AppendKey(std::string& out, std::string& path, const RegistryKey* parent, const RegistryKey& key)
{
    if (!NeedsWriting(parent, key))
        return;
    const std::size_t mark = path.size();
    if (parent != nullptr)
        path += '\\';
    path += key.name;
    out += '[';
    out += path;
    out += ']';
    out += kNewline;
    for (const auto& [name, value] : key.values)
        AppendValue(out, name, value);
    out += kNewline;
    for (const auto& subkey : key.subkeys)
        AppendKey(out, path, &key, *subkey);
    path.resize(mark);
}
}  // namespace

std::string FormatRegedit4(const RegistryKey& root)
{
    std::string out;
    out += kHeader;
    out += kNewline;
    out += kNewline;
    std::string path;
    for (const auto& key : root.subkeys)
        AppendKey(out, path, nullptr, *key);
    return out;
}

}  // namespace pervo::machine
