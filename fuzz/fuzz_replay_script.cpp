// The replay tool's script parser on arbitrary bytes: no crash and no
// sanitizer report; read in two pieces it gives what it gives read whole (the
// tool reads in chunks); a rejection is one printable line naming its line;
// every command it accepts holds values the tool can hand to the game.

#include "app/headless_platform.h"
#include "app/platform.h"
#include "tools/replay/replay_script.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

bool sameCommand(const ScriptCommand& x, const ScriptCommand& y)
{
    return x.type == y.type && x.line == y.line && x.a == y.a && x.b == y.b && x.value == y.value &&
           x.codes == y.codes && x.path == y.path && x.pad == y.pad;
}

bool usable(const ScriptCommand& c)
{
    using Type = ScriptCommand::Type;
    switch (c.type) {
    case Type::Press:
    case Type::Release:
        for (const int code : c.codes)
            if (code <= 0 || code >= kScancodeCount)
                return false;
        return !c.codes.empty();
    case Type::PadPress:
    case Type::PadRelease:
        for (const int code : c.codes)
            if (code < 0 || code >= kPadButtonCount)
                return false;
        return !c.codes.empty();
    case Type::PadAxis:
        return c.a >= 0 && c.a < kPadAxisCount && c.value >= -1.0f && c.value <= 1.0f;
    case Type::Resize:
        return c.a >= 1 && c.b >= 1 && c.a <= kMaxHeadlessWindowSide && c.b <= kMaxHeadlessWindowSide;
    case Type::Tick:
    case Type::Run:
        return c.a >= 0;
    case Type::Screenshot:
        return !c.path.empty();
    default:
        return c.pad >= 0 && c.pad < kPadSlots;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const ScriptParse whole = parseScript(text);

    const std::size_t split = size == 0 ? 0 : data[0] % (size + 1);
    ScriptParser pieces;
    if (pieces.feed(text.substr(0, split)) && pieces.feed(text.substr(split)))
        pieces.finish();
    const ScriptParse& inPieces = pieces.result();
    if (whole.error != inPieces.error || whole.commands.size() != inPieces.commands.size())
        std::abort();
    for (std::size_t i = 0; i < whole.commands.size(); ++i) {
        if (!sameCommand(whole.commands[i], inPieces.commands[i]) || !usable(whole.commands[i]))
            std::abort();
    }

    if (!whole.ok()) {
        if (!whole.commands.empty())
            std::abort();
        for (const char c : whole.error)
            if (c < 0x20 || c == 0x7f)
                std::abort();
        const std::string prefix = "line " + std::to_string(whole.errorLine) + ": ";
        if (whole.errorLine > 0 && whole.error.compare(0, prefix.size(), prefix) != 0)
            std::abort();
    }
    return 0;
}
