// The whole game started on the default data with one file broken at a time:
// missing, empty, cut short at four points, replaced by noise of its own size,
// or by something that is not a file (a folder, a named pipe, a link to
// /dev/zero). Each case checks the exact message boxes after the start-up question
// and then the outcome: either a scripted run that draws every asset in both
// views (walk, shoot, get in, drive, shoot, get out) and ends with status 0,
// or the documented early end with no frame run.

#include "app/error_box.h"
#include "app/game.h"
#include "app/headless_platform.h"

#include "game_folder.h"
#include "tool_runner.h"

#include <gtest/gtest.h>

#include <GL/gl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Every file the game opens from its folder, in the order it opens them.
const char* const kGameFiles[] = {
    "car.3ds",        "carpaint.bmp",   "carcabin.bmp",   "cartrim.bmp",    "wheel.3ds",
    "tyre.bmp",       "rim.bmp",        "data/gun.ms3d",  "data/gun.bmp",   "car.txt",
    "fire/12001.bmp", "fire/12002.bmp", "fire/12003.bmp", "fire/12004.bmp", "fire/12005.bmp",
    "fire/12006.bmp", "fire/12007.bmp", "fire/12008.bmp", "fire/12009.bmp", "fire/12010.bmp",
    "fire/12011.bmp", "fire/12012.bmp", "fire/12013.bmp", "fire/12014.bmp", "fire/12015.bmp",
    "data/model.ms3d", "data/skin.bmp", "grass14.bmp",    "aasdf.tga",      "sky.ms3d",
    "sky.bmp",
    // Sounds, loaded after the textures.
    "sound/hand_gun.wav", "sound/car_gun.wav", "sound/hit.wav",    "sound/clank.wav",    "sound/wheel_off.wav",
    "sound/engine.wav",   "sound/skid.wav",    "sound/crash.wav",  "sound/footstep.wav", "sound/door.wav",
    "sound/round_start.wav", "sound/clock_tick.wav", "sound/knock_out.wav", "sound/round_end.wav",
    // The blue team's paint and roof, read only by a match: free play never opens them.
    "carpaint_blue.bmp",
    "carcabin_blue.bmp",
    // The font of the text layer, which the game's frame does not use yet:
    // breaking it must change nothing.
    "font/DejaVuSans.ttf",
};

enum class Variant {
    Missing,
    Empty,
    First5Bytes,
    First40Bytes,
    FirstHalf,
    AllButLastByte,
    Noise,
    Directory,
    NamedPipe,
    LinkToDevZero,
};
const Variant kVariants[] = {Variant::Missing,   Variant::Empty,         Variant::First5Bytes,
                             Variant::First40Bytes, Variant::FirstHalf,  Variant::AllButLastByte,
                             Variant::Noise,     Variant::Directory,     Variant::NamedPipe,
                             Variant::LinkToDevZero};

const char* variantName(Variant v)
{
    switch (v) {
    case Variant::Missing: return "missing";
    case Variant::Empty: return "empty";
    case Variant::First5Bytes: return "first 5 bytes";
    case Variant::First40Bytes: return "first 40 bytes";
    case Variant::FirstHalf: return "first half";
    case Variant::AllButLastByte: return "all but the last byte";
    case Variant::Noise: return "noise";
    case Variant::Directory: return "a directory";
    case Variant::NamedPipe: return "a named pipe";
    case Variant::LinkToDevZero: return "a link to /dev/zero";
    }
    return "?";
}

// Seeded by the name, so a file added later changes no other file's noise.
std::string noise(const std::string& name, std::size_t size)
{
    std::uint64_t state = 1469598103934665603ull;
    for (unsigned char c : name)
        state = (state ^ c) * 1099511628211ull;
    std::string bytes(size, '\0');
    for (char& byte : bytes) {
        // splitmix64: the same bytes on every platform, unlike the std distributions.
        state += 0x9E3779B97F4A7C15ull;
        std::uint64_t z = state;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        byte = static_cast<char>((z ^ (z >> 31)) & 0xFF);
    }
    return bytes;
}

// 5 bytes end inside the first header of every format (a BMP's file header,
// a TGA's header, an MS3D identifier, a 3DS chunk header); 40 inside a BMP's
// info header and past the others' into their first records.
void breakFile(const GameFolder& folder, const std::string& name, Variant variant)
{
    const std::string original = readWholeFile(folder.path() / name);
    ASSERT_GT(original.size(), 80u) << name;
    switch (variant) {
    case Variant::Missing: folder.remove(name); return;
    case Variant::Empty: folder.write(name, ""); return;
    case Variant::First5Bytes: folder.write(name, original.substr(0, 5)); return;
    case Variant::First40Bytes: folder.write(name, original.substr(0, 40)); return;
    case Variant::FirstHalf: folder.write(name, original.substr(0, original.size() / 2)); return;
    case Variant::AllButLastByte: folder.write(name, original.substr(0, original.size() - 1)); return;
    case Variant::Noise: folder.write(name, noise(name, original.size())); return;
    case Variant::Directory:
        folder.remove(name);
        fs::create_directory(folder.path() / name);
        return;
    case Variant::NamedPipe:
        folder.remove(name);
        ASSERT_EQ(::mkfifo((folder.path() / name).c_str(), 0600), 0) << name;
        return;
    case Variant::LinkToDevZero:
        folder.remove(name);
        fs::create_symlink("/dev/zero", folder.path() / name);
        return;
    }
}

// --- what the game should do ---

enum class Ending { RunsOn, BadGameData };

struct Box {
    std::string caption;
    std::string text;
};

struct Expected {
    Ending ending = Ending::RunsOn;
    std::vector<Box> boxes;  // after the start-up question, in order
};

Expected runsOn(std::vector<Box> boxes = {}) { return {Ending::RunsOn, std::move(boxes)}; }
Expected endsWith(std::vector<Box> boxes) { return {Ending::BadGameData, std::move(boxes)}; }

// car.txt: every failure ends the start with one box naming the file and the
// number. Its eleven numbers fill the first 30 bytes; the rest is a note the
// reader ignores, so any cut past them leaves a valid file.
Expected carFileExpectation(Variant v)
{
    const std::string t = kErrorBoxCaption;
    switch (v) {
    case Variant::Missing:
        return endsWith({{t, "Cannot open the car file \"car.txt\": No such file or directory."}});
    case Variant::Empty:
        return endsWith({{t, "The car file \"car.txt\" holds only 0 of its 11 numbers: number 1 (chassisSizeX) is "
                             "missing."}});
    case Variant::First5Bytes:  // "30 8 "
        return endsWith({{t, "The car file \"car.txt\" holds only 2 of its 11 numbers: number 3 (chassisSizeZ) is "
                             "missing."}});
    case Variant::First40Bytes:
    case Variant::FirstHalf:
    case Variant::AllButLastByte:
        return runsOn();  // no message: all eleven numbers are still there
    case Variant::Noise:
        // The first 24 bytes of the noise, unprintable ones as '?'.
        return endsWith({{t, "The car file \"car.txt\" has \"\?\?9\?\?\?O\?\?\?\?P\?>\?\?\?C\?iyg\?\?\" where "
                             "number 1 of 11 (chassisSizeX) should be."}});
    case Variant::Directory:
        return endsWith({{t, "Cannot open the car file \"car.txt\": Is a directory."}});
    case Variant::NamedPipe:
    case Variant::LinkToDevZero:
        return endsWith({{t, "Cannot open the car file \"car.txt\": Not a regular file."}});
    }
    return {};
}

// A 3DS mesh: the reader's box (captioned "Error"), then the model's own;
// the game runs on with the mesh empty (the cars show as plain solids).
Expected meshExpectation(const std::string& name, Variant v)
{
    const Box model{kErrorBoxCaption, "culdnt load model"};
    const std::string noPrimary = "Unable to load PRIMARY chuck from file: " + name + "!";
    const std::string pastEnd =
        "The 3DS file " + name + " is damaged: a chunk runs past its parent or the end of the file!";
    switch (v) {
    case Variant::Missing:
    case Variant::Directory:
    case Variant::NamedPipe:
    case Variant::LinkToDevZero: return runsOn({{"Error", "Unable to find the file: " + name + "!"}, model});
    case Variant::Empty:
    case Variant::First5Bytes:
    case Variant::Noise: return runsOn({{"Error", noPrimary}, model});
    case Variant::First40Bytes:
    case Variant::FirstHalf:
    case Variant::AllButLastByte: return runsOn({{"Error", pastEnd}, model});
    }
    return {};
}

// A BMP, whoever loads it: a missing one draws untextured without a word; one
// that cannot be read (anything but a file in its place) or decoded gives the
// decoder's box (captioned "Error") once and draws untextured.
Expected bitmapExpectation(const std::string& name, Variant v)
{
    // The fire frames are named with a doubled slash.
    std::string shownName = name;
    if (shownName.starts_with("fire/"))
        shownName.insert(4, "/");
    switch (v) {
    case Variant::Missing: return runsOn();
    case Variant::Directory:
    case Variant::NamedPipe:
    case Variant::LinkToDevZero: return runsOn({{"Error", "Failed to open DIB file " + shownName + ".\n"}});
    case Variant::Empty:
    case Variant::First5Bytes:
    case Variant::First40Bytes:  // the info header is cut
    case Variant::Noise: return runsOn({{"Error", "Unknown DIB file format."}});
    case Variant::FirstHalf:
    case Variant::AllButLastByte: return runsOn({{"Error", "Image file conversion error."}});
    }
    return {};
}

// The target marker is the one texture the game does not start without.
// Every way of breaking it ends the start with "error laoding tga", except
// that a depth the loader does not read ends it with no box at all: the
// noise's depth byte is none of 16, 24 and 32.
Expected markerExpectation(Variant v)
{
    if (v == Variant::Noise)
        return endsWith({});
    return endsWith({{kErrorBoxCaption, "error laoding tga"}});
}

Expected expectationFor(const std::string& name, Variant v)
{
    const std::string extension = fs::path(name).extension().string();
    if (name == "car.txt")
        return carFileExpectation(v);
    if (name == "aasdf.tga")
        return markerExpectation(v);
    if (name == "carpaint_blue.bmp" || name == "carcabin_blue.bmp")
        return runsOn();
    if (extension == ".3ds")
        return meshExpectation(name, v);
    if (extension == ".bmp")
        return bitmapExpectation(name, v);
    if (extension == ".ms3d")
        return runsOn();  // the MS3D loader shows nothing; the model stays empty and draws nothing
    if (extension == ".wav")
        return runsOn();  // sound is no part of the start: standard error names the file, that sound stays silent
    if (extension == ".ttf")
        return runsOn();  // not read by the game yet
    ADD_FAILURE() << "no expectation for " << name;
    return {};
}

// --- the run ---

struct Outcome {
    bool askedFirst = false;  // the first box was the start-up question
    int startStatus = -1;
    int finishStatus = -1;
    std::vector<RecordedMessageBox> boxes;  // after the start-up question
    int swaps = 0;
    bool windowOpenAfterStart = false;
    GLenum glError = GL_NO_ERROR;  // the first error the run left, if any
    // What the script reached, so a script that stops exercising something
    // fails instead of passing quietly.
    int flashFramesOnFoot = 0;
    int flashFramesInCar = 0;  // drawn in the main view and the inset
    int framesInCar = 0;
    int framesOnFootAfterDriving = 0;
    std::string err;  // standard error through the start and the run
};

// One frame of the script: the time it measures, the keys held through it,
// a left click before it.
struct ScriptStep {
    std::uint32_t ms;
    std::vector<Key> keys;
    bool click = false;
};

// The player starts beside car 0. Walk away and back a little; the hand gun,
// asked for at once, fires in frame 1 (its rate limit has run) and its flash
// shows on foot, then in the car entered at frame 3; drive and turn; the car
// gun fires in frame 5; get out at frame 8 (the enter cooldown has run) with
// its flash still showing; walk, run and turn; Escape after the last frame.
// The mouse turns the player all along.
const std::vector<ScriptStep>& script()
{
    static const std::vector<ScriptStep> steps = {
        {500, {Key::W}, true},
        {100, {Key::S}},
        {100, {Key::S}},
        {100, {Key::E}, true},
        {300, {Key::W, Key::A}},
        {100, {Key::W, Key::A}},
        {100, {Key::W, Key::D}},
        {100, {Key::W, Key::D}},
        {100, {Key::E}},
        {100, {Key::D, Key::Q}},
    };
    return steps;
}

void prepareFrame(HeadlessPlatform& platform, int frame)
{
    const std::vector<ScriptStep>& steps = script();
    if (frame >= static_cast<int>(steps.size())) {
        // Held at the end of the last frame: the loop ends after it.
        platform.setKeyDown(Key::Escape, true);
        return;
    }
    const ScriptStep& step = steps[static_cast<std::size_t>(frame)];
    platform.advanceTicks(step.ms);
    platform.releaseAllKeys();
    for (Key key : step.keys)
        platform.setKeyDown(key, true);
    if (step.click)
        platform.click(1, 400, 300);
    platform.moveMouse(-20, 4);
}

Outcome runGame()
{
    Outcome outcome;
    HeadlessPlatform platform;
    ::testing::internal::CaptureStderr();
    {
        World world(platform);
        platform.queueAnswer(MessageBoxAnswer::No);
        bool hasDriven = false;
        platform.onSwap = [&](int swaps) {
            const bool flash = world.sim.players[0].weapon.shotTimer > 0.0f;
            if (world.sim.players[0].body.inCar) {
                ++outcome.framesInCar;
                outcome.flashFramesInCar += flash;
                hasDriven = true;
            } else {
                outcome.flashFramesOnFoot += flash;
                outcome.framesOnFootAfterDriving += hasDriven;
            }
            prepareFrame(platform, swaps);
        };
        outcome.startStatus = startTurfwar(world);
        outcome.windowOpenAfterStart = platform.windowOpen();
        if (outcome.startStatus == kExitOk) {
            // The player first makes the window small: every asset is drawn
            // as before, at a sixth of the pixels, which is where the
            // software rasteriser spends the time of a case.
            platform.resize(320, 240);
            prepareFrame(platform, 0);
            // Bounded: a loop that never quits still ends the case.
            for (int pass = 0; pass < 100 && !world.quitRequested; ++pass) {
                if (runLoopPass(world) == LoopPass::Quit)
                    break;
            }
            outcome.glError = glGetError();
            outcome.finishStatus = finishTurfwar(world);
        }
        platform.onSwap = nullptr;
    }
    outcome.err = ::testing::internal::GetCapturedStderr();
    setErrorBoxPlatform(nullptr);
    const std::vector<RecordedMessageBox>& boxes = platform.messageBoxes();
    if (!boxes.empty()) {
        outcome.askedFirst = boxes[0].caption == kStartQuestionCaption;
        outcome.boxes.assign(boxes.begin() + 1, boxes.end());
    }
    outcome.swaps = platform.swapCount();
    return outcome;
}

void expectOutcome(const Outcome& outcome, const Expected& expected)
{
    EXPECT_TRUE(outcome.askedFirst);
    ASSERT_EQ(outcome.boxes.size(), expected.boxes.size()) << [&] {
        std::string shown;
        for (const RecordedMessageBox& box : outcome.boxes)
            shown += "\n  [" + box.caption + "] " + box.text;
        return "boxes shown:" + (shown.empty() ? std::string(" none") : shown);
    }();
    for (std::size_t i = 0; i < expected.boxes.size(); ++i) {
        EXPECT_EQ(outcome.boxes[i].caption, expected.boxes[i].caption) << "box " << i;
        EXPECT_EQ(outcome.boxes[i].text, expected.boxes[i].text) << "box " << i;
        EXPECT_EQ(outcome.boxes[i].style, MessageBoxStyle::OkError) << "box " << i;
    }

    if (expected.ending == Ending::BadGameData) {
        EXPECT_EQ(outcome.startStatus, kExitBadGameData);
        EXPECT_EQ(outcome.swaps, 0);
        EXPECT_FALSE(outcome.windowOpenAfterStart);
        return;
    }
    ASSERT_EQ(outcome.startStatus, kExitOk);
    EXPECT_EQ(outcome.finishStatus, kExitOk);
    EXPECT_EQ(outcome.swaps, static_cast<int>(script().size()));
    EXPECT_EQ(outcome.glError, static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_GT(outcome.flashFramesOnFoot, 0);
    EXPECT_GT(outcome.flashFramesInCar, 0);
    EXPECT_GT(outcome.framesInCar, 0);
    EXPECT_GT(outcome.framesOnFootAfterDriving, 0);
}

// What standard error adds to the boxes: a mesh or texture that cannot be
// read is named with its path in the data folder and the reason (the boxes
// keep the original's words, which say neither), and a missing BMP, silent
// in the boxes, gets one line. Empty: nothing asked of standard error.
std::string expectedStderrLine(const std::string& name, Variant v)
{
    const std::string extension = fs::path(name).extension().string();
    if (name == "carpaint_blue.bmp" || name == "carcabin_blue.bmp")
        return {};  // free play never opens them, so breaking them says nothing
    if (extension != ".3ds" && extension != ".bmp" && extension != ".tga")
        return {};
    std::string reason;
    switch (v) {
    case Variant::Missing:
        reason = extension == ".bmp" ? "No such file or directory; drawn without this texture"
                                     : "No such file or directory";
        break;
    case Variant::Directory: reason = "Is a directory"; break;
    case Variant::NamedPipe:
    case Variant::LinkToDevZero: reason = "Not a regular file"; break;
    case Variant::Noise:
        if (extension != ".tga")
            return {};
        reason = "only 16, 24 and 32 bits per pixel are supported";  // the one failure without a box
        break;
    default: return {};
    }
    return "turfwar: " + fs::current_path().string() + "/" + name + ": " + reason + "\n";
}

class BrokenGameFile : public ::testing::TestWithParam<const char*> {};

TEST_P(BrokenGameFile, EachWayOfBreakingItGivesItsMessageAndOutcome)
{
    const std::string name = GetParam();
    for (Variant variant : kVariants) {
        SCOPED_TRACE(name + ", " + variantName(variant));
        GameFolder folder;
        breakFile(folder, name, variant);
        const Outcome outcome = runGame();
        expectOutcome(outcome, expectationFor(name, variant));
        const std::string line = expectedStderrLine(name, variant);
        if (!line.empty()) {
            const std::size_t at = outcome.err.find(line);
            EXPECT_NE(at, std::string::npos) << "expected on standard error: " << line << "got: " << outcome.err;
            EXPECT_EQ(outcome.err.find(line, at + 1), std::string::npos) << "said twice: " << outcome.err;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(DefaultData, BrokenGameFile, ::testing::ValuesIn(kGameFiles),
                         [](const ::testing::TestParamInfo<const char*>& param) {
                             std::string name = param.param;
                             for (char& c : name)
                                 c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

// A model's material may name a TGA as well as a BMP, and the game does not
// start without any TGA it names, as without the marker. Each model here has
// its first texture's name turned from .bmp to .tga (same length, so the file
// stays whole), with the marker's picture as that TGA.
struct MaterialTga {
    const char* model;
    std::string bmpName;  // as the model names it
    std::string tgaName;
    const char* tgaFile;  // where the game looks for it
};

void useTgaForMaterial(const GameFolder& folder, const MaterialTga& m)
{
    std::string bytes = readWholeFile(folder.path() / m.model);
    const std::size_t at = bytes.find(m.bmpName);
    ASSERT_NE(at, std::string::npos) << m.model;
    bytes.replace(at, m.tgaName.size(), m.tgaName);
    folder.write(m.model, bytes);
    folder.write(m.tgaFile, readWholeFile(folder.path() / "aasdf.tga"));
}

TEST(BrokenGameData, ATgaNamedByAModelIsNeededLikeTheMarker)
{
    const MaterialTga cases[] = {
        {"car.3ds", "carpaint.bmp", "carpaint.tga", "carpaint.tga"},
        {"data/gun.ms3d", ".\\gun.bmp", ".\\gun.tga", "data/gun.tga"},
    };
    for (const MaterialTga& m : cases) {
        {
            SCOPED_TRACE(std::string(m.tgaFile) + ", intact");
            GameFolder folder;
            useTgaForMaterial(folder, m);
            expectOutcome(runGame(), runsOn());
        }
        for (Variant variant : kVariants) {
            SCOPED_TRACE(std::string(m.tgaFile) + ", " + variantName(variant));
            GameFolder folder;
            useTgaForMaterial(folder, m);
            breakFile(folder, m.tgaFile, variant);
            expectOutcome(runGame(), markerExpectation(variant));
        }
    }
}

TEST(BrokenGameData, IntactDataRunsTheWholeScriptWithoutAMessage)
{
    GameFolder folder;
    const Outcome outcome = runGame();
    expectOutcome(outcome, runsOn());
    EXPECT_EQ(outcome.err, "");
}

// A modder's material naming a texture that is not there: no box, as in the
// original, and one line naming the file as the game opens it.
TEST(BrokenGameData, AMissingTextureAModelNamesIsOneLineOnStandardError)
{
    GameFolder folder;
    std::string gun = readWholeFile(folder.path() / "data/gun.ms3d");
    const std::size_t at = gun.find(".\\gun.bmp");
    ASSERT_NE(at, std::string::npos);
    gun.replace(at, 9, ".\\gum.bmp");
    folder.write("data/gun.ms3d", gun);
    const Outcome outcome = runGame();
    expectOutcome(outcome, runsOn());
    EXPECT_EQ(outcome.err, "turfwar: " + folder.path().string() +
                               "/data/gum.bmp: No such file or directory; drawn without this texture\n");
}

// A file added to the default data joins the matrix, or this fails. Dot
// files (the source folder's .gitkeep) are not data.
TEST(BrokenGameData, TheMatrixCoversEveryFileOfTheDefaultData)
{
    const fs::path root = TURFWAR_BINARY_DIR "/game";
    std::vector<std::string> present;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file() && entry.path().filename().string().front() != '.')
            present.push_back(entry.path().lexically_relative(root).generic_string());
    }
    std::vector<std::string> listed(std::begin(kGameFiles), std::end(kGameFiles));
    std::sort(present.begin(), present.end());
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, present);
}

}  // namespace
