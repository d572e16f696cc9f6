// The hive's text: the REGEDIT4 export format, written the way the export tool
// lays it out and read back from whatever a person may have edited.

#include "Registry.h"
#include "RegistryTree.h"

#include <algorithm>
#include <functional>
#include <unordered_map>

namespace pervo::machine {
namespace {

constexpr RegistryType kTypeString = 1;
constexpr RegistryType kTypeBinary = 3;
constexpr RegistryType kTypeDword = 4;

// Hex lists are wrapped so that no line, its trailing backslash included, is
// wider than this; continuation lines are indented by two spaces.
constexpr std::size_t kLineWidth = 80;
constexpr std::string_view kContinuationIndent = "  ";
constexpr std::string_view kHeader = "REGEDIT4";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kNewline = "\r\n";
constexpr char kHexDigits[] = "0123456789abcdef";

// ---- Writing ----------------------------------------------------------------

void AppendQuoted(std::string& out, std::string_view text)
{
    out += '"';
    for (;;) {
        const auto special = text.find_first_of("\\\"");
        out += text.substr(0, special);
        if (special == std::string_view::npos)
            break;
        out += '\\';
        out += text[special];
        text.remove_prefix(special + 1);
    }
    out += '"';
}

void AppendHexByte(std::string& out, std::uint8_t byte)
{
    out += kHexDigits[byte >> 4];
    out += kHexDigits[byte & 0x0F];
}

void AppendHexNumber(std::string& out, std::uint32_t number, int minimumDigits)
{
    char digits[8];
    int count = 0;
    do {
        digits[count++] = kHexDigits[number & 0x0F];
        number >>= 4;
    } while (number != 0 || count < minimumDigits);
    while (count > 0)
        out += digits[--count];
}

// Only text that reads back to the same bytes may be written as a quoted
// string: one terminating NUL and no other, and no line breaks.
bool IsPlainString(const std::vector<std::uint8_t>& data)
{
    if (data.empty() || data.back() != 0)
        return false;
    return std::none_of(data.begin(), data.end() - 1, [](std::uint8_t b) { return b == 0 || b == '\r' || b == '\n'; });
}

void AppendHexList(std::string& out, std::string line, const std::vector<std::uint8_t>& data)
{
    for (std::size_t i = 0; i < data.size(); ++i) {
        const bool last = i + 1 == data.size();
        // A byte that is not the last needs its comma and room for the
        // backslash that may follow it.
        const std::size_t room = last ? 2 : 4;
        if (line.size() + room > kLineWidth) {
            out += line;
            out += '\\';
            out += kNewline;
            line = kContinuationIndent;
        }
        AppendHexByte(line, data[i]);
        if (!last)
            line += ',';
    }
    out += line;
    out += kNewline;
}

void AppendValue(std::string& out, const std::string& name, const RegistryValue& value)
{
    std::string line;
    if (name.empty())
        line += '@';
    else
        AppendQuoted(line, name);
    line += '=';
    if (value.type == kTypeString && IsPlainString(value.data)) {
        AppendQuoted(line, std::string_view(reinterpret_cast<const char*>(value.data.data()), value.data.size() - 1));
        out += line;
        out += kNewline;
        return;
    }
    if (value.type == kTypeDword && value.data.size() == 4) {
        line += "dword:";
        const std::uint32_t number = std::uint32_t{value.data[0]} | std::uint32_t{value.data[1]} << 8
            | std::uint32_t{value.data[2]} << 16 | std::uint32_t{value.data[3]} << 24;
        AppendHexNumber(line, number, 8);
        out += line;
        out += kNewline;
        return;
    }
    if (value.type == kTypeBinary) {
        line += "hex:";
    } else {
        line += "hex(";
        AppendHexNumber(line, value.type, 1);
        line += "):";
    }
    AppendHexList(out, std::move(line), value.data);
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

// ---- Reading ----------------------------------------------------------------

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (IsBlank(text.back()) || text.back() == '\r'))
        text.remove_suffix(1);
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    return text;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads 1 to maxDigits hex digits, the whole of text.
std::optional<std::uint32_t> ParseHexNumber(std::string_view text, std::size_t maxDigits)
{
    if (text.empty() || text.size() > maxDigits)
        return std::nullopt;
    std::uint32_t number = 0;
    for (const char c : text) {
        const int digit = HexDigitValue(c);
        if (digit < 0)
            return std::nullopt;
        number = number << 4 | static_cast<std::uint32_t>(digit);
    }
    return number;
}

// A short, printable excerpt of what the file holds, for an error message.
std::string Excerpt(std::string_view text)
{
    constexpr std::size_t kMaxExcerpt = 16;
    std::string excerpt;
    for (const char c : text.substr(0, kMaxExcerpt)) {
        const auto byte = static_cast<unsigned char>(c);
        excerpt += (byte >= 0x20 && byte < 0x7F) ? c : '?';
    }
    if (text.size() > kMaxExcerpt)
        excerpt += "...";
    return excerpt;
}

// Keys and values are found through these indexes while reading, so that a
// file with very many keys or values under one parent still reads in linear
// time.
struct NameInParent {
    const RegistryKey* parent;
    std::string lowerName;

    bool operator==(const NameInParent&) const = default;
};

struct NameInParentHash {
    std::size_t operator()(const NameInParent& name) const
    {
        return std::hash<std::string>{}(name.lowerName) ^ (std::hash<const void*>{}(name.parent) * 0x9E3779B97F4A7C15ull);
    }
};

class Parser {
public:
    Parser(std::string_view text, std::string_view fileName) : m_text(text), m_fileName(fileName) {}

    Result<std::unique_ptr<RegistryKey>> Run()
    {
        m_root = NewHiveTree();
        for (const auto& top : m_root->subkeys) {
            m_keys.emplace(NameInParent{m_root.get(), ToLowerAscii(top->name)}, top.get());
            for (const auto& below : top->subkeys)
                m_keys.emplace(NameInParent{top.get(), ToLowerAscii(below->name)}, below.get());
        }

        std::string_view line;
        if (!NextLine(line))
            return Fail(1, "the file is empty; it must begin with the line REGEDIT4");
        if (line.starts_with(kByteOrderMark))
            line.remove_prefix(kByteOrderMark.size());
        if (line != kHeader)
            return Fail(m_lineNumber, "the file does not begin with the line REGEDIT4");

        while (NextLine(line)) {
            Status status;
            if (line.empty() || line.front() == ';')
                continue;
            if (line.front() == '[')
                status = ReadKeyLine(line);
            else if (line.front() == '"' || line.front() == '@')
                status = ReadValueLine(line);
            else
                status = Fail(m_lineNumber, "expected a [key], a \"value\"=, or a ; comment, found \"" + Excerpt(line) + "\"");
            if (!status)
                return status;
        }
        return std::move(m_root);
    }

private:
    bool NextLine(std::string_view& line)
    {
        if (m_position >= m_text.size())
            return false;
        auto end = m_text.find('\n', m_position);
        if (end == std::string_view::npos)
            end = m_text.size();
        line = Trim(m_text.substr(m_position, end - m_position));
        m_position = end + 1;
        ++m_lineNumber;
        return true;
    }

    Status Fail(std::size_t line, std::string_view what) const
    {
        return Status(Error::Corrupt, m_fileName + ":" + std::to_string(line) + ": " + std::string(what));
    }

    Status ReadKeyLine(std::string_view line)
    {
        if (line.size() < 2 || line.back() != ']')
            return Fail(m_lineNumber, "the key line does not end with ]");
        if (auto status = SplitKeyPath(line.substr(1, line.size() - 2), m_names); !status)
            return Fail(m_lineNumber, status.Message());
        RegistryKey* key = m_root.get();
        for (const auto name : m_names) {
            // The probe's string keeps its capacity, so looking up a key
            // that exists allocates nothing.
            m_probe.parent = key;
            m_probe.lowerName.assign(name);
            for (char& c : m_probe.lowerName)
                c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
            const auto found = m_keys.find(m_probe);
            if (found != m_keys.end()) {
                key = found->second;
                continue;
            }
            auto fresh = std::make_unique<RegistryKey>();
            fresh->name = std::string(name);
            RegistryKey* created = fresh.get();
            key->subkeys.push_back(std::move(fresh));
            m_keys.emplace(m_probe, created);
            key = created;
        }
        m_key = key;
        return Status::Ok();
    }

    // Reads a quoted text starting at line[position] == '"', and leaves
    // position after its closing quote.
    Status ReadQuoted(std::string_view line, std::size_t& position, std::string& out, std::string_view what)
    {
        ++position;
        for (;;) {
            const auto special = line.find_first_of("\\\"", position);
            if (special == std::string_view::npos)
                break;
            out += line.substr(position, special - position);
            position = special + 1;
            if (line[special] == '"')
                return Status::Ok();
            if (position == line.size())
                break;
            const char escaped = line[position];
            if (escaped != '\\' && escaped != '"')
                return Fail(m_lineNumber, std::string("bad escape \\") + Excerpt(line.substr(position, 1)) + " in the "
                                              + std::string(what) + "; only \\\\ and \\\" may follow a backslash");
            out += escaped;
            ++position;
        }
        return Fail(m_lineNumber, "the " + std::string(what) + " has no closing quote");
    }

    Status ReadValueLine(std::string_view line)
    {
        if (m_key == nullptr)
            return Fail(m_lineNumber, "a value comes before any [key]");
        std::size_t position = 0;
        std::string name;
        if (line.front() == '@') {
            position = 1;
        } else {
            if (auto status = ReadQuoted(line, position, name, "value name"); !status)
                return status;
            if (!IsValidValueName(name))
                return Fail(m_lineNumber, "the value name holds a control character");
        }
        while (position < line.size() && IsBlank(line[position]))
            ++position;
        if (position == line.size() || line[position] != '=')
            return Fail(m_lineNumber, "expected = after the value name");
        ++position;
        while (position < line.size() && IsBlank(line[position]))
            ++position;

        RegistryValue value;
        if (auto status = ReadData(line, position, value); !status)
            return status;
        StoreParsedValue(std::move(name), std::move(value));
        return Status::Ok();
    }

    Status ReadData(std::string_view line, std::size_t position, RegistryValue& value)
    {
        const auto data = line.substr(position);
        if (!data.empty() && data.front() == '"') {
            std::string text;
            if (auto status = ReadQuoted(line, position, text, "string"); !status)
                return status;
            if (position != line.size())
                return Fail(m_lineNumber, "unexpected text after the closing quote of the string");
            value.type = kTypeString;
            value.data.assign(text.begin(), text.end());
            value.data.push_back(0);
            return Status::Ok();
        }
        if (StartsWithIgnoringCase(data, "dword:")) {
            const auto number = ParseHexNumber(data.substr(6), 8);
            if (!number)
                return Fail(m_lineNumber, "a dword: value needs 1 to 8 hex digits");
            value.type = kTypeDword;
            value.data = {static_cast<std::uint8_t>(*number), static_cast<std::uint8_t>(*number >> 8),
                          static_cast<std::uint8_t>(*number >> 16), static_cast<std::uint8_t>(*number >> 24)};
            return Status::Ok();
        }
        if (StartsWithIgnoringCase(data, "hex")) {
            auto rest = data.substr(3);
            value.type = kTypeBinary;
            if (!rest.empty() && rest.front() == '(') {
                const auto close = rest.find(')');
                const auto type = close == std::string_view::npos ? std::nullopt : ParseHexNumber(rest.substr(1, close - 1), 8);
                if (!type)
                    return Fail(m_lineNumber, "the type in hex(...) must be 1 to 8 hex digits");
                value.type = *type;
                rest.remove_prefix(close + 1);
            }
            if (rest.empty() || rest.front() != ':')
                return Fail(m_lineNumber, "expected : after hex");
            rest.remove_prefix(1);
            return ReadHexList(Trim(rest), value.data);
        }
        return Fail(m_lineNumber, "unknown value data \"" + Excerpt(data) + "\"; expected \"text\", dword: or hex:");
    }

    // A hex list may go on over several lines, each but the last ending in a
    // backslash. The pieces are joined first; each remembers its line so that
    // an error names the line the bad byte is on.
    Status ReadHexList(std::string_view first, std::vector<std::uint8_t>& bytes)
    {
        struct Piece {
            std::size_t offset;
            std::size_t line;
        };
        std::vector<Piece> pieces;
        std::string joined;
        std::string_view piece = first;
        for (;;) {
            pieces.push_back({joined.size(), m_lineNumber});
            const bool continues = !piece.empty() && piece.back() == '\\';
            if (continues)
                piece.remove_suffix(1);
            joined += piece;
            if (!continues)
                break;
            if (!NextLine(piece))
                return Fail(m_lineNumber, "the hex data goes on past the end of the file");
        }
        const auto lineAt = [&](std::size_t offset) {
            const auto after = std::upper_bound(pieces.begin(), pieces.end(), offset,
                                                [](std::size_t value, const Piece& p) { return value < p.offset; });
            return std::prev(after)->line;
        };

        const std::string_view all = joined;
        if (Trim(all).empty())
            return Status::Ok();
        bytes.reserve(all.size() / 3 + 1);
        std::size_t start = 0;
        for (;;) {
            const auto comma = all.find(',', start);
            const auto item = Trim(all.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
            const auto byte = ParseHexNumber(item, 2);
            if (!byte)
                return Fail(lineAt(start), item.empty() ? std::string("a hex list has an empty entry")
                                                        : "bad hex byte \"" + Excerpt(item) + "\"; expected two hex digits");
            bytes.push_back(static_cast<std::uint8_t>(*byte));
            if (comma == std::string_view::npos)
                return Status::Ok();
            start = comma + 1;
        }
    }

    // A key's values are searched one by one while it has few; once it has
    // many, through an index of their names, so that a key with very many
    // values still reads in linear time.
    void StoreParsedValue(std::string name, RegistryValue value)
    {
        auto& values = m_key->values;
        if (values.size() < kIndexFrom) {
            for (auto& [storedName, stored] : values) {
                if (EqualsIgnoringCase(storedName, name)) {
                    stored = std::move(value);
                    return;
                }
            }
            values.emplace_back(std::move(name), std::move(value));
            if (values.size() == kIndexFrom) {
                auto& index = m_valueIndexes[m_key];
                for (std::size_t i = 0; i < values.size(); ++i)
                    index.emplace(ToLowerAscii(values[i].first), i);
            }
            return;
        }
        auto& index = m_valueIndexes[m_key];
        const auto [slot, added] = index.try_emplace(ToLowerAscii(name), values.size());
        if (!added) {
            values[slot->second].second = std::move(value);
            return;
        }
        values.emplace_back(std::move(name), std::move(value));
    }

    static constexpr std::size_t kIndexFrom = 16;

    std::string_view m_text;
    std::string m_fileName;
    std::size_t m_position = 0;
    std::size_t m_lineNumber = 0;
    std::unique_ptr<RegistryKey> m_root;
    RegistryKey* m_key = nullptr;
    std::unordered_map<NameInParent, RegistryKey*, NameInParentHash> m_keys;
    NameInParent m_probe{nullptr, {}};
    std::vector<std::string_view> m_names;
    std::unordered_map<const RegistryKey*, std::unordered_map<std::string, std::size_t>> m_valueIndexes;
};

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

Result<std::unique_ptr<RegistryKey>> ParseRegedit4(std::string_view text, std::string_view fileName)
{
    return Parser(text, fileName).Run();
}

}  // namespace pervo::machine
