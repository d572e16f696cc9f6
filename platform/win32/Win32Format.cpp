// wsprintfA: the window manager's own small formatter. It knows integers,
// characters and strings, with flags, width and precision, and writes at most
// 1024 characters, the terminator included, as the original does.

#include "Win32Internal.h"

#include <cstdarg>
#include <cstdint>
#include <string>

using namespace pervo::win32;

namespace {

constexpr std::size_t kMaxOutput = 1024;

struct Directive {
    bool left = false;
    bool alternate = false;
    bool zero = false;
    int width = 0;
    int precision = -1;
    char size = 0;  // 'h', 'l', or 'I' for I64
    char type = 0;
};

std::string Digits(std::uint64_t value, unsigned base, bool upper)
{
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string text;
    do {
        text.insert(text.begin(), digits[value % base]);
        value /= base;
    } while (value);
    return text;
}

std::string Pad(std::string body, const std::string& prefix, const Directive& directive, bool numeric)
{
    if (numeric && directive.precision >= 0 && static_cast<int>(body.size()) < directive.precision)
        body.insert(0, static_cast<std::size_t>(directive.precision - static_cast<int>(body.size())), '0');
    const int length = static_cast<int>(body.size() + prefix.size());
    if (length >= directive.width)
        return prefix + body;
    const auto fill = static_cast<std::size_t>(directive.width - length);
    if (directive.left)
        return prefix + body + std::string(fill, ' ');
    if (directive.zero && numeric)
        return prefix + std::string(fill, '0') + body;
    return std::string(fill, ' ') + prefix + body;
}

}  // namespace

int wsprintfA(LPSTR lpOut, LPCSTR lpFmt, ...)
{
    std::string out;
    Json traced = Json::array();
    va_list args;
    va_start(args, lpFmt);
    for (const char* p = lpFmt; p && *p; ++p) {
        if (*p != '%') {
            out.push_back(*p);
            continue;
        }
        const char* start = p++;
        Directive directive;
        for (;; ++p) {
            if (*p == '-')
                directive.left = true;
            else if (*p == '#')
                directive.alternate = true;
            else if (*p == '0')
                directive.zero = true;
            else
                break;
        }
        while (*p >= '0' && *p <= '9' && directive.width < 1024)
            directive.width = directive.width * 10 + (*p++ - '0');
        if (*p == '.') {
            directive.precision = 0;
            ++p;
            while (*p >= '0' && *p <= '9' && directive.precision < 1024)
                directive.precision = directive.precision * 10 + (*p++ - '0');
        }
        if (*p == 'h' || *p == 'l') {
            directive.size = *p++;
        } else if (p[0] == 'I' && p[1] == '6' && p[2] == '4') {
            directive.size = 'I';
            p += 3;
        }
        directive.type = *p;
        switch (directive.type) {
        case 'd':
        case 'i': {
            std::int64_t value = directive.size == 'I' ? va_arg(args, long long) : va_arg(args, int);
            if (directive.size == 'h')
                value = static_cast<short>(value);
            traced.push_back(value);
            const bool negative = value < 0;
            const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
            out += Pad(Digits(magnitude, 10, false), negative ? "-" : "", directive, true);
            break;
        }
        case 'u':
        case 'x':
        case 'X': {
            std::uint64_t value = directive.size == 'I' ? va_arg(args, unsigned long long) : va_arg(args, unsigned);
            if (directive.size == 'h')
                value = static_cast<unsigned short>(value);
            traced.push_back(value);
            const bool hex = directive.type != 'u';
            const std::string prefix = hex && directive.alternate && value ? (directive.type == 'x' ? "0x" : "0X") : "";
            out += Pad(Digits(value, hex ? 16 : 10, directive.type == 'X'), prefix, directive, true);
            break;
        }
        case 'c':
        case 'C': {
            const char value = static_cast<char>(va_arg(args, int));
            traced.push_back(std::string(1, value));
            out += Pad(std::string(1, value), "", directive, false);
            break;
        }
        case 's':
        case 'S': {
            const char* value = va_arg(args, const char*);
            std::string text = value ? value : "(null)";
            traced.push_back(value ? Json(text) : Json(nullptr));
            if (directive.precision >= 0 && text.size() > static_cast<std::size_t>(directive.precision))
                text.resize(static_cast<std::size_t>(directive.precision));
            out += Pad(text, "", directive, false);
            break;
        }
        case '\0':
            --p;
            out.append(start, p + 1);
            break;
        default:
            // Anything else stands for itself, as the original prints it.
            out.append(start + 1, p + 1);
            break;
        }
        if (out.size() >= kMaxOutput)
            break;
    }
    va_end(args);
    if (out.size() > kMaxOutput - 1)
        out.resize(kMaxOutput - 1);
    if (lpOut) {
        out.copy(lpOut, out.size());
        lpOut[out.size()] = '\0';
    }
    TracedCall call("wsprintfA");
    call.Arg(Pointer(lpOut)).Arg(Text(lpFmt));
    for (auto& value : traced)
        call.Arg(value);
    if (lpOut)
        call.Out("lpOut", out);
    call.Return(static_cast<int>(out.size()));
    return static_cast<int>(out.size());
}
