#pragma once
// The replay tool's script language: one table of commands feeds both the
// parser and the tool's --help, so the two cannot drift apart.
//
// Parsing is a pure function of the bytes: it reads no file and opens no
// device. A script is read whole before anything runs, so a malformed line
// stops the tool before the game starts. Rejected, with the line number: a
// line longer than kMaxScriptLineBytes, a script longer than kMaxScriptBytes,
// an unknown command, wrong arguments, an unterminated quote. A leading UTF-8
// byte-order mark is skipped; lines may end in CRLF.
//
// Words are separated by blanks; a word in double quotes may hold blanks
// (`press "Left Shift"`), and '#' outside quotes starts a comment.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Long enough for `screenshot` with a path of PATH_MAX bytes; a line
// without an end (`turfwar-replay /dev/zero`) is refused once past it.
inline constexpr std::size_t kMaxScriptLineBytes = 8192;
// Ten thousand minutes of turfwar-soakgen play take about 40 MB.
inline constexpr std::size_t kMaxScriptBytes = 64 * 1024 * 1024;

struct ScriptCommand {
    enum class Type {
        Tick, Press, Release, Mouse, Click, Close, Resize, Minimize,
        PadConnect, PadDisconnect, PadAxis, PadPress, PadRelease,
        Run, State, Screenshot, Memory,
    };
    Type type = Type::State;
    int line = 0;        // where the command stands in the script, from 1
    long long a = 0;     // tick MS, run N, mouse DX, resize W, pad axis (PadAxis order)
    long long b = 0;     // mouse DY, resize H
    float value = 0.0f;  // pad axis VALUE
    std::vector<int> codes;  // press, release: SDL scancodes; pad press, release: PadButton order
    std::string path;        // screenshot FILE, as written
    int pad = 0;             // pad commands: the pad's slot ("pad N ..." is slot N - 1; a bare "pad" slot 0)
    int player = 0;          // press, release, mouse, click written "player N ...": N; bare: 0
};

struct ScriptParse {
    std::vector<ScriptCommand> commands;  // empty when the script was rejected
    std::string error;                    // "line N: why", or "why" for the size; empty when parsed
    int errorLine = 0;                    // the line of the error, 0 when it is about the whole script

    bool ok() const { return error.empty(); }
};

// Reads a script in pieces as they arrive (a pipe, a terminal), so that a
// line that never ends is refused as soon as it is too long. parseScript
// below is the same over one piece.
class ScriptParser {
public:
    // The next bytes; false once the script is rejected (result().error says why).
    bool feed(std::string_view bytes);
    // The end of the input: a last line without its newline counts.
    bool finish();
    bool failed() const { return !result_.ok(); }
    // What was read; complete after finish.
    ScriptParse& result() { return result_; }

private:
    bool parseLine(std::string_view text);
    bool fail(int line, const std::string& why);

    ScriptParse result_;
    std::string partial_;  // the current line, until its newline comes
    std::size_t bytes_ = 0;
    int lineNumber_ = 0;  // lines completed so far
};

ScriptParse parseScript(std::string_view text);

// A script's "player N ..." commands checked against the game they will
// play: N is one of its players, and holds what the command moves (a key
// pressed is one of player N's bindings, the mouse's motion is player N's
// look, a click fires for player N). The keyboard and mouse are shared, so
// a command for the wrong player would move someone else: refused instead.
// Empty when every command fits, else "line N: why".
struct Settings;
std::string checkPlayerCommands(const std::vector<ScriptCommand>& commands, const Settings& settings);

// Every command with its arguments and what it does, one per line and
// aligned, as --help lists them.
std::string scriptCommandsHelp();
// The command names in the table's order ("tick", "pad axis", ...).
std::vector<std::string> scriptCommandNames();
