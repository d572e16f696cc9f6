#include "TerminalInput.h"

#include "WindowMessages.h"

#include <cctype>
#include <optional>

namespace pervo::desktop {
namespace msg = machine::msg;
namespace {

constexpr char kEscape = '\x1B';

KeyPress Key(std::uint32_t virtualKey, std::uint32_t modifiers = machine::kNoModifier, char character = 0)
{
    return KeyPress{virtualKey, modifiers, character};
}

// xterm's modifier parameter is one more than a bit set of Shift, Alt,
// Control and Meta; Meta counts as Alt.
std::uint32_t ModifiersFromParameter(int parameter)
{
    if (parameter < 2)
        return machine::kNoModifier;
    const int bits = parameter - 1;
    std::uint32_t modifiers = machine::kNoModifier;
    if (bits & 1)
        modifiers |= machine::kShift;
    if (bits & (2 | 8))
        modifiers |= machine::kAlt;
    if (bits & 4)
        modifiers |= machine::kControl;
    return modifiers;
}

// One byte that is not part of a sequence: a character or a control key.
std::optional<KeyPress> SingleByte(unsigned char byte)
{
    switch (byte) {
    case '\r':
    case '\n':
        return Key(msg::VkReturn);
    case '\t':
        return Key(msg::VkTab);
    case 0x08:
    case 0x7F:
        return Key(vk::kBack);
    case 0x00:
        return Key(msg::VkSpace, machine::kControl);
    case ' ':
        return Key(msg::VkSpace, machine::kNoModifier, ' ');
    default:
        break;
    }
    if (byte >= 0x01 && byte <= 0x1A)
        return Key(static_cast<std::uint32_t>('A' + byte - 1), machine::kControl, static_cast<char>('a' + byte - 1));
    if (byte >= 'a' && byte <= 'z')
        return Key(static_cast<std::uint32_t>(std::toupper(byte)), machine::kNoModifier, static_cast<char>(byte));
    if (byte >= 'A' && byte <= 'Z')
        return Key(byte, machine::kShift, static_cast<char>(byte));
    if (byte >= '0' && byte <= '9')
        return Key(byte, machine::kNoModifier, static_cast<char>(byte));
    if (byte > 0x20 && byte < 0x7F)
        return Key(0, machine::kNoModifier, static_cast<char>(byte));
    return std::nullopt;
}

std::optional<std::uint32_t> FinalLetterKey(char final)
{
    switch (final) {
    case 'A': return msg::VkUp;
    case 'B': return msg::VkDown;
    case 'C': return msg::VkRight;
    case 'D': return msg::VkLeft;
    case 'H': return vk::kHome;
    case 'F': return vk::kEnd;
    case 'M': return msg::VkReturn;  // the keypad's Enter, in application mode
    case 'P': return msg::VkF1;
    case 'Q': return msg::VkF1 + 1;
    case 'R': return msg::VkF1 + 2;
    case 'S': return msg::VkF1 + 3;
    default: return std::nullopt;
    }
}

std::optional<std::uint32_t> TildeKey(int number)
{
    switch (number) {
    case 1: case 7: return vk::kHome;
    case 2: return vk::kInsert;
    case 3: return vk::kDelete;
    case 4: case 8: return vk::kEnd;
    case 5: return vk::kPageUp;
    case 6: return vk::kPageDown;
    default: break;
    }
    // F1..F12 are 11-15, 17-21 and 23-24: the gaps are historical.
    static const int kFunctionNumbers[] = {11, 12, 13, 14, 15, 17, 18, 19, 20, 21, 23, 24};
    for (std::uint32_t i = 0; i < 12; ++i) {
        if (kFunctionNumbers[i] == number)
            return msg::VkF1 + i;
    }
    return std::nullopt;
}

std::optional<MouseEvent> MouseFromCode(int code, int column, int row, bool release)
{
    MouseEvent event;
    event.column = column;
    event.row = row;
    if (code & 4)
        event.modifiers |= machine::kShift;
    if (code & 8)
        event.modifiers |= machine::kAlt;
    if (code & 16)
        event.modifiers |= machine::kControl;
    const int button = code & 3;
    if (code & 64) {
        if (button > 1)
            return std::nullopt;  // sideways wheels
        event.action = button == 0 ? MouseAction::WheelUp : MouseAction::WheelDown;
        event.button = MouseButton::None;
        return event;
    }
    static const MouseButton kButtons[] = {MouseButton::Left, MouseButton::Middle, MouseButton::Right, MouseButton::None};
    event.button = kButtons[button];
    if (code & 32)
        event.action = MouseAction::Move;
    else if (release || button == 3)
        event.action = MouseAction::Release;
    else
        event.action = MouseAction::Press;
    return event;
}

// The parser proper: one event (or none) at a time from the front of the bytes.
class Parser {
public:
    explicit Parser(std::string_view bytes) : m_bytes(bytes) {}

    ParsedInput Run()
    {
        ParsedInput parsed;
        while (m_position < m_bytes.size()) {
            const std::size_t start = m_position;
            if (!Next(parsed.events)) {
                m_position = start;  // an unfinished sequence: keep it for later
                break;
            }
        }
        parsed.consumed = m_position;
        return parsed;
    }

private:
    bool AtEnd() const { return m_position >= m_bytes.size(); }
    unsigned char Peek(std::size_t ahead = 0) const { return static_cast<unsigned char>(m_bytes[m_position + ahead]); }
    std::size_t Left() const { return m_bytes.size() - m_position; }

    // False when the bytes end inside a sequence.
    bool Next(std::vector<TerminalEvent>& events)
    {
        const unsigned char byte = Peek();
        if (byte == kEscape)
            return Escape(events);
        if (byte >= 0x80)
            return SkipUtf8();
        ++m_position;
        if (auto key = SingleByte(byte))
            events.emplace_back(*key);
        return true;
    }

    bool SkipUtf8()
    {
        // The desktop takes no text, so a character beyond ASCII is passed over whole.
        const unsigned char lead = Peek();
        const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        if (Left() < length)
            return false;
        m_position += length;
        return true;
    }

    bool Escape(std::vector<TerminalEvent>& events)
    {
        if (Left() == 1) {
            ++m_position;
            events.emplace_back(Key(msg::VkEscape));
            return true;
        }
        const unsigned char second = Peek(1);
        if (second == '[')
            return ControlSequence(events, machine::kNoModifier);
        if (second == 'O' && Left() > 2)
            return ShiftThree(events, machine::kNoModifier);
        if (second == kEscape && Left() > 2 && (Peek(2) == '[' || Peek(2) == 'O')) {
            // Some terminals send Alt with a cursor key as Escape, then the key.
            ++m_position;
            return Peek(1) == '[' ? ControlSequence(events, machine::kAlt) : ShiftThree(events, machine::kAlt);
        }
        if (second == kEscape) {
            ++m_position;
            events.emplace_back(Key(msg::VkEscape));
            return true;
        }
        if (second >= 0x80) {
            ++m_position;
            return true;
        }
        // Escape before a character is that character with Alt.
        m_position += 2;
        if (auto key = SingleByte(second)) {
            key->modifiers |= machine::kAlt;
            events.emplace_back(*key);
        }
        return true;
    }

    bool ShiftThree(std::vector<TerminalEvent>& events, std::uint32_t extra)
    {
        // ESC O [modifier digit] letter
        std::size_t at = 2;
        int modifier = 0;
        while (at < Left() && std::isdigit(Peek(at)))
            modifier = std::min(modifier * 10 + (Peek(at++) - '0'), 100000);
        if (at >= Left())
            return false;
        const char final = static_cast<char>(Peek(at));
        m_position += at + 1;
        if (auto key = FinalLetterKey(final))
            events.emplace_back(Key(*key, ModifiersFromParameter(modifier) | extra));
        return true;
    }

    bool ControlSequence(std::vector<TerminalEvent>& events, std::uint32_t extra)
    {
        if (Left() < 3)
            return false;
        const unsigned char third = Peek(2);
        if (third == 'M')
            return OldMouse(events);
        if (third == '[') {
            // The Linux console's F1..F5: ESC [ [ A..E.
            if (Left() < 4)
                return false;
            const unsigned char letter = Peek(3);
            m_position += 4;
            if (letter >= 'A' && letter <= 'E')
                events.emplace_back(Key(msg::VkF1 + (letter - 'A'), extra));
            return true;
        }
        // Parameter bytes, intermediate bytes, then one final byte.
        std::size_t at = 2;
        const bool sgrMouse = third == '<';
        if (sgrMouse)
            ++at;
        std::vector<int> parameters{0};
        while (at < Left() && Peek(at) >= 0x30 && Peek(at) <= 0x3F) {
            const unsigned char byte = Peek(at++);
            if (std::isdigit(byte))
                parameters.back() = std::min(parameters.back() * 10 + (byte - '0'), 100000);
            else if (byte == ';')
                parameters.push_back(0);
        }
        while (at < Left() && Peek(at) >= 0x20 && Peek(at) <= 0x2F)
            ++at;
        if (at >= Left())
            return false;
        const unsigned char final = Peek(at);
        if (final < 0x40 || final > 0x7E) {
            // Not a sequence after all: drop what was read of it.
            m_position += at;
            return true;
        }
        m_position += at + 1;
        if (sgrMouse) {
            // Cells count from 1 here; a report of cell 0 points nowhere.
            if (parameters.size() == 3 && (final == 'M' || final == 'm') && parameters[1] >= 1 && parameters[2] >= 1) {
                if (auto mouse = MouseFromCode(parameters[0], parameters[1] - 1, parameters[2] - 1, final == 'm'))
                    events.emplace_back(*mouse);
            }
            return true;
        }
        const std::uint32_t modifiers = (parameters.size() > 1 ? ModifiersFromParameter(parameters[1]) : 0u) | extra;
        if (final == 'Z') {
            events.emplace_back(Key(msg::VkTab, modifiers | machine::kShift));
        } else if (final == '~') {
            if (auto key = TildeKey(parameters[0]))
                events.emplace_back(Key(*key, modifiers));
        } else if (auto key = FinalLetterKey(static_cast<char>(final)); key && final != 'M') {
            events.emplace_back(Key(*key, modifiers));
        }
        return true;
    }

    bool OldMouse(std::vector<TerminalEvent>& events)
    {
        // ESC [ M, then the button, column and row, each plus 32.
        if (Left() < 6)
            return false;
        const int code = Peek(3) - 32;
        const int column = Peek(4) - 33;
        const int row = Peek(5) - 33;
        m_position += 6;
        if (code >= 0 && column >= 0 && row >= 0) {
            if (auto mouse = MouseFromCode(code, column, row, false))
                events.emplace_back(*mouse);
        }
        return true;
    }

    std::string_view m_bytes;
    std::size_t m_position = 0;
};

}  // namespace

ParsedInput ParseTerminalInput(std::string_view bytes)
{
    return Parser(bytes).Run();
}

}  // namespace pervo::desktop
