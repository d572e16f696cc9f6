// The hive's text reader and writer. Any bytes may be in a registry file a
// person edited, so the reader must refuse what it cannot read with a line
// number inside the file, never crash, and whatever it accepts must survive
// being written and read again unchanged: the file is rewritten on every
// change, and a round that lost or altered a key would lose the user's data.

#include "FuzzCheck.h"

#include "Registry.h"
#include "RegistryTree.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace pervo::machine;
using pervo::fuzz::Check;
using pervo::fuzz::Printable;

namespace {

// A refusal names the file and a line of it: "fuzz.reg:LINE: what".
void CheckRefusal(const Status& status, std::string_view text)
{
    const std::string& message = status.Message();
    const std::string prefix = "fuzz.reg:";
    Check(message.rfind(prefix, 0) == 0, "a refusal does not begin with the file's name: " + Printable(message));
    const char* digits = message.c_str() + prefix.size();
    char* end = nullptr;
    const long line = std::strtol(digits, &end, 10);
    const long lines = static_cast<long>(std::count(text.begin(), text.end(), '\n')) + 1;
    Check(end != digits && *end == ':' && line >= 1 && line <= lines,
          "a refusal names no line of the file: " + Printable(message));
    Check(status.GetError() == Error::Corrupt, "a refusal is not reported as a corrupt file");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    auto first = ParseRegedit4(text, "fuzz.reg");
    if (!first) {
        CheckRefusal(first.GetStatus(), text);
        return 0;
    }
    const std::string written = FormatRegedit4(*first.Value());
    auto second = ParseRegedit4(written, "rewritten.reg");
    Check(second.IsOk(), "the written text does not read back: " + second.GetStatus().Message() + "\n"
                             + Printable(written));
    Check(SameTree(*first.Value(), *second.Value()),
          "reading, writing and reading again changed the tree; written as:\n" + Printable(written));
    Check(FormatRegedit4(*second.Value()) == written, "writing the tree read back gives other text");
    return 0;
}
