// The hive's text as it is read: whatever the writer wrote, and what a person
// may have made of it in an editor, or a clear error naming the line.

#include "Registry.h"
#include "Regedit4Syntax.h"
#include "RegistryNameTable.h"
#include "RegistryTree.h"

#include <algorithm>
#include <optional>

namespace pervo::machine {
namespace {

using namespace regedit4;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text)
{
    const char* begin = text.data();
    const char* end = begin + text.size();
    while (end != begin && (end[-1] == ' ' || end[-1] == '\t' || end[-1] == '\r'))
        --end;
    while (begin != end && (*begin == ' ' || *begin == '\t'))
        ++begin;
    return std::string_view(begin, static_cast<std::size_t>(end - begin));
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

// Reads one text line by line into a hive tree. Missing parent keys are
// implied, a key named twice is one key, and a value stored twice keeps the
// later data; the first failure ends the reading.
class Parser {
public:
    Parser(std::string_view text, std::string_view fileName) : m_text(text), m_fileName(fileName) {}

    Result<std::unique_ptr<RegistryKey>> Run()
    {
        m_root = NewHiveTree();
        for (std::size_t i = 0; i < m_root->subkeys.size(); ++i) {
            const RegistryKey& top = *m_root->subkeys[i];
            m_subkeys.FindOrAdd(*m_root, top.name, i);
            for (std::size_t j = 0; j < top.subkeys.size(); ++j)
                m_subkeys.FindOrAdd(top, top.subkeys[j]->name, j);
        }

        std::string_view line;
        if (!NextLine(line)) {
            Fail(1, "the file is empty; it must begin with the line REGEDIT4");
            return m_failure;
        }
        if (line.starts_with(kByteOrderMark))
            line.remove_prefix(kByteOrderMark.size());
        if (line != kHeader) {
            Fail(m_lineNumber, "the file does not begin with the line REGEDIT4");
            return m_failure;
        }

        while (NextLine(line)) {
            bool read = true;
            if (line.empty() || line.front() == ';')
                continue;
            if (line.front() == '[')
                read = ReadKeyLine(line);
            else if (line.front() == '"' || line.front() == '@')
                read = ReadValueLine(line);
            else
                read = Fail(m_lineNumber, "expected a [key], a \"value\"=, or a ; comment, found \"" + Excerpt(line) + "\"");
            if (!read)
                return m_failure;
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

    // The readers below return false once they have failed, with the reason
    // kept here: a Status for every line read would cost more than the line.
    bool Fail(std::size_t line, std::string_view what)
    {
        m_failure = Status(Error::Corrupt, m_fileName + ":" + std::to_string(line) + ": " + std::string(what));
        return false;
    }

    bool ReadKeyLine(std::string_view line)
    {
        if (line.size() < 2 || line.back() != ']')
            return Fail(m_lineNumber, "the key line does not end with ]");
        if (auto split = SplitKeyPath(line.substr(1, line.size() - 2), m_names); !split)
            return Fail(m_lineNumber, split.Message());
        RegistryKey* key = m_root.get();
        for (const auto name : m_names) {
            const auto found = m_subkeys.FindOrAdd(*key, name, key->subkeys.size());
            if (found != RegistryNameTable::kNotFound) {
                key = key->subkeys[found].get();
                continue;
            }
            auto fresh = std::make_unique<RegistryKey>();
            fresh->name = std::string(name);
            key->subkeys.push_back(std::move(fresh));
            key = key->subkeys.back().get();
        }
        m_key = key;
        return true;
    }

    // Reads a quoted text starting at line[position] == '"', and leaves
    // position after its closing quote.
    bool ReadQuoted(std::string_view line, std::size_t& position, std::string& out, std::string_view what)
    {
        ++position;
        for (;;) {
            const auto special = FindQuoteOrBackslash(line, position);
            if (special == std::string_view::npos)
                break;
            out += line.substr(position, special - position);
            position = special + 1;
            if (line[special] == '"')
                return true;
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

    bool ReadValueLine(std::string_view line)
    {
        if (m_key == nullptr)
            return Fail(m_lineNumber, "a value comes before any [key]");
        std::size_t position = 0;
        std::string name;
        if (line.front() == '@') {
            position = 1;
        } else {
            if (!ReadQuoted(line, position, name, "value name"))
                return false;
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
        if (!ReadData(line, position, value))
            return false;
        StoreParsedValue(std::move(name), std::move(value));
        return true;
    }

    bool ReadData(std::string_view line, std::size_t position, RegistryValue& value)
    {
        const auto data = line.substr(position);
        if (!data.empty() && data.front() == '"') {
            std::string text;
            if (!ReadQuoted(line, position, text, "string"))
                return false;
            if (position != line.size())
                return Fail(m_lineNumber, "unexpected text after the closing quote of the string");
            value.type = kTypeString;
            value.data.assign(text.begin(), text.end());
            value.data.push_back(0);
            return true;
        }
        if (StartsWithIgnoringCase(data, "dword:")) {
            const auto number = ParseHexNumber(data.substr(6), 8);
            if (!number)
                return Fail(m_lineNumber, "a dword: value needs 1 to 8 hex digits");
            value.type = kTypeDword;
            value.data.resize(4);
            for (std::size_t i = 0; i < 4; ++i)
                value.data[i] = static_cast<std::uint8_t>(*number >> (8 * i));
            return true;
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
    bool ReadHexList(std::string_view first, std::vector<std::uint8_t>& bytes)
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
            return true;
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
                return true;
            start = comma + 1;
        }
    }

    void StoreParsedValue(std::string name, RegistryValue value)
    {
        auto& values = m_key->values;
        const auto found = m_values.FindOrAdd(*m_key, name, values.size());
        if (found != RegistryNameTable::kNotFound)
            values[found].second = std::move(value);
        else
            values.emplace_back(std::move(name), std::move(value));
    }

    std::string_view m_text;
    std::string m_fileName;
    std::size_t m_position = 0;
    std::size_t m_lineNumber = 0;
    std::unique_ptr<RegistryKey> m_root;
    RegistryKey* m_key = nullptr;
    RegistryNameTable m_subkeys{RegistryNameTable::Names::Subkeys};
    RegistryNameTable m_values{RegistryNameTable::Names::Values};
    std::vector<std::string_view> m_names;
    Status m_failure;
};
}  // namespace

Result<std::unique_ptr<RegistryKey>> ParseRegedit4(std::string_view text, std::string_view fileName)
{
    return Parser(text, fileName).Run();
}

}  // namespace pervo::machine
