// The replay script parser on bytes: the commands as the tool runs them, key
// names as the settings file names keys, and the bounds that keep a script
// without line ends from eating memory.

#include "tools/replay/replay_script.h"

#include "app/settings.h"

#include "tool_runner.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using Type = ScriptCommand::Type;

TEST(ReplayScript, ReadsEveryCommandWithItsLine)
{
    const ScriptParse p = parseScript("# a comment line\r\n"
                                      "tick 100\r\n"
                                      "press W q   # run\n"
                                      "mouse -3 4\n"
                                      "\n"
                                      "resize 200 150\n"
                                      "pad axis LeftTrigger 0.5\n"
                                      "pad press a dpup\n"
                                      "run 7\n"
                                      "screenshot shot.png\n"
                                      "state");  // the last line needs no end
    ASSERT_TRUE(p.ok()) << p.error;
    ASSERT_EQ(p.commands.size(), 9u);
    EXPECT_EQ(p.commands[0].type, Type::Tick);
    EXPECT_EQ(p.commands[0].a, 100);
    EXPECT_EQ(p.commands[0].line, 2);
    EXPECT_EQ(p.commands[1].codes, (std::vector<int>{26, 20}));
    EXPECT_EQ(p.commands[2].a, -3);
    EXPECT_EQ(p.commands[2].b, 4);
    EXPECT_EQ(p.commands[3].line, 6);
    EXPECT_EQ(p.commands[4].type, Type::PadAxis);
    EXPECT_EQ(p.commands[4].a, 4);
    EXPECT_FLOAT_EQ(p.commands[4].value, 0.5f);
    EXPECT_EQ(p.commands[5].codes, (std::vector<int>{0, 11}));
    EXPECT_EQ(p.commands[6].a, 7);
    EXPECT_EQ(p.commands[7].path, "shot.png");
    EXPECT_EQ(p.commands[8].type, Type::State);
    EXPECT_EQ(p.commands[8].line, 11);
}

TEST(ReplayScript, SkipsALeadingByteOrderMarkOnly)
{
    const ScriptParse marked = parseScript("\xEF\xBB\xBFtick 16\nrun 1\n");
    ASSERT_TRUE(marked.ok()) << marked.error;
    EXPECT_EQ(marked.commands.size(), 2u);

    // Anywhere else it is a stray byte, named printably.
    const ScriptParse later = parseScript("run 1\n\xEF\xBB\xBFstate\n");
    EXPECT_EQ(later.errorLine, 2);
    EXPECT_EQ(later.error, "line 2: unknown command '\\xef\\xbb\\xbfstate'");
}

TEST(ReplayScript, TakesAnySdlKeyNameInAnyCaseQuotedWhenItHasBlanks)
{
    const ScriptParse p = parseScript("press \"Left Shift\" f1 ESCAPE esc Space \"Keypad #\" # held\n"
                                      "release \"left shift\"\n");
    ASSERT_TRUE(p.ok()) << p.error;
    ASSERT_EQ(p.commands.size(), 2u);
    EXPECT_EQ(p.commands[0].codes, (std::vector<int>{225, 58, 41, 41, 44, 204}));
    EXPECT_EQ(p.commands[1].codes, (std::vector<int>{225}));

    for (const char* bad : {"press Left Shift\n", "press \"Left Shift\n", "press Mouse1\n", "press \"\"\n",
                            "release Nokey\n", "press\n"}) {
        const ScriptParse r = parseScript(std::string("run 1\n") + bad);
        EXPECT_FALSE(r.ok()) << bad;
        EXPECT_EQ(r.errorLine, 2) << bad;
        EXPECT_TRUE(r.commands.empty()) << bad;
    }
    EXPECT_NE(parseScript("press Mouse1\n").error.find("mouse button"), std::string::npos);
}

TEST(ReplayScript, RefusesALineOrAScriptTooLongWithoutWaitingForItsEnd)
{
    const std::string longest(kMaxScriptLineBytes - 4, ' ');
    EXPECT_TRUE(parseScript("run" + longest + "1\n").ok());
    const ScriptParse tooLong = parseScript("run 1\nrun" + longest + " 1\n");
    EXPECT_EQ(tooLong.errorLine, 2);
    EXPECT_EQ(tooLong.error, "line 2: longer than " + std::to_string(kMaxScriptLineBytes) + " bytes");

    // /dev/zero as the tool reads it: refused after a few pieces, not at its end.
    ScriptParser zeros;
    const std::string piece(1024, '\0');
    int fed = 0;
    while (fed < 1000 && zeros.feed(piece))
        ++fed;
    EXPECT_TRUE(zeros.failed());
    EXPECT_LE(fed, static_cast<int>(kMaxScriptLineBytes / piece.size()));
    EXPECT_EQ(zeros.result().errorLine, 1);

    ScriptParser endless;
    const std::string lines(1024 * 1024, '\n');
    for (int i = 0; i < 100 && endless.feed(lines); ++i) {
    }
    EXPECT_TRUE(endless.failed());
    EXPECT_EQ(endless.result().errorLine, 0);
    EXPECT_NE(endless.result().error.find("longer than"), std::string::npos);
}

TEST(ReplayScript, ReadInPiecesGivesWhatItGivesReadWhole)
{
    for (const char* name : {"tests/replays/every_feature.txt", "tests/replays/quick_tour.txt"}) {
        const std::string text = "\xEF\xBB\xBF" + readWholeFile(std::string(TURFWAR_SOURCE_DIR "/") + name);
        const ScriptParse whole = parseScript(text);
        ASSERT_TRUE(whole.ok()) << name << ": " << whole.error;
        ScriptParser bytes;
        for (char c : text)
            ASSERT_TRUE(bytes.feed(std::string_view(&c, 1)));
        ASSERT_TRUE(bytes.finish()) << bytes.result().error;
        const std::vector<ScriptCommand>& a = whole.commands;
        const std::vector<ScriptCommand>& b = bytes.result().commands;
        ASSERT_EQ(a.size(), b.size());
        for (std::size_t i = 0; i < a.size(); ++i) {
            EXPECT_EQ(a[i].type, b[i].type);
            EXPECT_EQ(a[i].line, b[i].line);
            EXPECT_EQ(a[i].a, b[i].a);
            EXPECT_EQ(a[i].codes, b[i].codes);
            EXPECT_EQ(a[i].path, b[i].path);
        }
    }
}

TEST(ReplayScript, ShowsABadWordPrintablyAndClipped)
{
    const ScriptParse escape = parseScript("jump\x1b[2J\n");
    EXPECT_EQ(escape.error, "line 1: unknown command 'jump\\x1b[2J'");
    // A quoted word may hold a tab: it reads as every message writes it, and
    // bytes beyond ASCII stay escaped.
    const ScriptParse quoted = parseScript("press \"a\tb\xc3\xa9\"\n");
    EXPECT_EQ(quoted.error.rfind("line 1: unknown key 'a\\tb\\xc3\\xa9' (", 0), 0u) << quoted.error;
    const ScriptParse clipped = parseScript("press " + std::string(500, 'k') + "\n");
    EXPECT_LT(clipped.error.size(), 160u);
    EXPECT_NE(clipped.error.find("...'"), std::string::npos);
}

// "player N ..." names whose keyboard or mouse command it is; the parser
// takes N and the command, and the check against the game's settings
// refuses a command that would move someone else.
TEST(ReplayScript, PlayerCommandsAreCheckedToBeThatPlayers)
{
    const ScriptParse p = parseScript("player 2 press Up\nplayer 1 mouse 3 4\nplayer 4 click\npress W\n");
    ASSERT_TRUE(p.ok()) << p.error;
    EXPECT_EQ(p.commands[0].player, 2);
    EXPECT_EQ(p.commands[0].codes, (std::vector<int>{82}));
    EXPECT_EQ(p.commands[1].player, 1);
    EXPECT_EQ(p.commands[1].b, 4);
    EXPECT_EQ(p.commands[2].type, Type::Click);
    EXPECT_EQ(p.commands[3].player, 0);
    EXPECT_EQ(parseScript("player 5 press W\n").error,
              "line 1: player takes a number, 1 to 4, then press, release, mouse or click");
    EXPECT_EQ(parseScript("player\n").error, parseScript("player 0 press W\n").error);
    EXPECT_EQ(parseScript("player 2 pad connect\n").error,
              "line 1: player 2 takes press, release, mouse or click, not 'pad'");
    EXPECT_EQ(parseScript("player 2\n").error, "line 1: player 2 takes press, release, mouse or click");

    Settings settings;
    settings.game.players = 2;
    const std::vector<ScriptCommand> arrows = parseScript("player 2 press Up\n").commands;
    EXPECT_EQ(checkPlayerCommands(arrows, settings),
              "line 1: player 2 has no action on 'Up' (their keys: [player2] in --config)");
    settings.player2.keys[Action::Forward] = Binding{Binding::Kind::Key, 82};
    EXPECT_EQ(checkPlayerCommands(arrows, settings), "");
    EXPECT_EQ(checkPlayerCommands(parseScript("\nplayer 1 release Up\n").commands, settings),
              "line 2: player 1 has no action on 'Up' (their keys: [keys] in --config)");
    EXPECT_EQ(checkPlayerCommands(parseScript("player 3 press W\n").commands, settings),
              "line 1: player 3: the game has 2 players (--players)");
    const std::vector<ScriptCommand> look = parseScript("player 2 mouse 5 0\n").commands;
    EXPECT_EQ(checkPlayerCommands(look, settings),
              "line 1: the mouse's look is player 1's, not player 2's ([mouse] player in --config)");
    settings.mouse.player = 2;
    EXPECT_EQ(checkPlayerCommands(look, settings), "");
    EXPECT_EQ(checkPlayerCommands(parseScript("player 2 click\n").commands, settings),
              "line 1: player 2 has no action on the left button (their keys: [player2] in --config)");
    EXPECT_EQ(checkPlayerCommands(parseScript("player 1 click\nplayer 1 press W\n").commands, settings), "");
    // One player takes every device: the mouse is theirs whatever [mouse] says.
    settings.game.players = 1;
    EXPECT_EQ(checkPlayerCommands(parseScript("player 1 mouse 5 0\n").commands, settings), "");
}

}  // namespace
