#include "net/match_record.h"

#include "sim/driving.h"
#include "sim/sim_world.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <istream>
#include <limits>
#include <ostream>
#include <string_view>
#include <vector>

namespace {

constexpr std::string_view kMagic = "turfwar-server-record 1";

std::string shortest(float v)
{
    std::array<char, 32> text{};
    const auto end = std::to_chars(text.data(), text.data() + text.size(), v).ptr;
    return {text.data(), end};
}

std::vector<std::string_view> wordsOf(std::string_view line)
{
    std::vector<std::string_view> words;
    std::size_t at = 0;
    while (at < line.size()) {
        const std::size_t start = line.find_first_not_of(' ', at);
        if (start == std::string_view::npos)
            break;
        const std::size_t end = std::min(line.find(' ', start), line.size());
        words.push_back(line.substr(start, end - start));
        at = end;
    }
    return words;
}

template <typename T>
bool whole(std::string_view word, T low, T high, T& out)
{
    T v{};
    const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), v);
    if (ec != std::errc{} || end != word.data() + word.size() || v < low || v > high)
        return false;
    out = v;
    return true;
}

bool number(std::string_view word, float low, float high, float& out)
{
    float v = 0.0f;
    const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), v);
    if (ec != std::errc{} || end != word.data() + word.size() || !std::isfinite(v) || v < low || v > high)
        return false;
    out = v;
    return true;
}

}  // namespace

void writeMatchRecordHeader(std::ostream& out, const MatchRecordHeader& header)
{
    out << kMagic << "\nseed " << header.seed << "\nrules " << header.rules.rounds << ' '
        << shortest(header.rules.roundSeconds) << ' ' << shortest(header.rules.respawnSeconds) << "\nplayers "
        << header.players << '\n';
}

void writeMatchRecordFrame(std::ostream& out, float dt, const PlayerCommand* commands, int playerCount)
{
    out << frameRecordLine(dt, commands, playerCount) << '\n';
}

void writeMatchRecordVacate(std::ostream& out, int player) { out << "vacate " << player << '\n'; }
void writeMatchRecordGrow(std::ostream& out, int players) { out << "grow " << players << '\n'; }
void writeMatchRecordRestart(std::ostream& out) { out << "restart\n"; }
void writeMatchRecordName(std::ostream& out, int player, const std::string& name)
{
    out << "name " << player << ' ' << name << '\n';
}

void vacatePlace(SimWorld& world, int index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= world.players.size())
        return;
    SimPlayer& p = world.players[static_cast<std::size_t>(index)];
    if (!p.body.inCar)
        return;
    // The door's own way out: the same spot and cooldown as a player's leaving.
    float cooldown = 0.0f;
    enterOrLeaveCar(world.cars, p.body, cooldown, true, 0.0f, {});
    p.enterCooldown = cooldown;
}

void growPlaces(SimWorld& world, const SkinnedModel& model, int count)
{
    const MatchRules rules = world.match ? world.match->rules : MatchRules{};
    addSimPlayers(world, count, model);
    startMatch(world, rules);
}

bool MatchRecordReader::begin(std::istream& in, SimWorld& world, const SkinnedModel& model, std::string& error)
{
    in_ = &in;
    world_ = &world;
    model_ = &model;
    line_ = 0;
    frames_ = 0;
    std::string line;
    const auto fail = [&](const std::string& why) {
        error = "line " + std::to_string(line_) + ": " + why;
        in_ = nullptr;
        return false;
    };
    // The header: four lines, in order.
    for (int part = 0; part < 4; ++part) {
        ++line_;
        if (!std::getline(in, line))
            return fail("the record ends inside its header");
        if (line.size() > kMaxRecordLine)
            return fail("line too long");
        const std::vector<std::string_view> w = wordsOf(line);
        bool good = false;
        switch (part) {
        case 0:
            good = line == kMagic;
            break;
        case 1:
            good = w.size() == 2 && w[0] == "seed" &&
                   whole<std::uint64_t>(w[1], 0, std::numeric_limits<std::uint64_t>::max(), header_.seed);
            break;
        case 2:
            good = w.size() == 4 && w[0] == "rules" && whole(w[1], 1, 99, header_.rules.rounds) &&
                   number(w[2], 0.001f, 1e6f, header_.rules.roundSeconds) &&
                   number(w[3], 0.0f, 1e6f, header_.rules.respawnSeconds);
            break;
        default:
            good = w.size() == 2 && w[0] == "players" && whole(w[1], 1, kMaxPlayers, header_.players);
        }
        if (!good)
            return fail(part == 0 ? "not a server record" : "a malformed header line");
    }
    addSimPlayers(world, header_.players, model);
    startMatch(world, header_.rules);
    return true;
}

MatchRecordLine MatchRecordReader::next(std::string& error)
{
    if (!in_)
        return MatchRecordLine::Malformed;
    std::string line;
    if (!std::getline(*in_, line))
        return MatchRecordLine::End;
    ++line_;
    const auto fail = [&](const std::string& why) {
        error = "line " + std::to_string(line_) + ": " + why;
        in_ = nullptr;
        return MatchRecordLine::Malformed;
    };
    if (line.size() > kMaxRecordLine)
        return fail("line too long");
    const std::vector<std::string_view> w = wordsOf(line);
    if (w.empty())
        return fail("an empty line");
    SimWorld& world = *world_;
    const int count = static_cast<int>(world.players.size());
    if (w[0] == "frame") {
        std::string why;
        if (!readFrameRecord(line, record_, why))
            return fail(why);
        if (record_.playerCount != count)
            return fail("a frame of " + std::to_string(record_.playerCount) + " players in a world of " +
                        std::to_string(count));
        events_.clear();
        stepWorld(world, {record_.commands.data(), static_cast<std::size_t>(count)}, record_.dt, events_);
        ++frames_;
        return MatchRecordLine::Frame;
    }
    if (w[0] == "vacate") {
        int player = 0;
        if (w.size() != 2 || !whole(w[1], 0, count - 1, player))
            return fail("a malformed vacate line");
        vacatePlace(world, player);
    } else if (w[0] == "grow") {
        int players = 0;
        if (w.size() != 2 || !whole(w[1], count + 1, kMaxPlayers, players))
            return fail("a malformed grow line");
        growPlaces(world, *model_, players);
    } else if (w[0] == "restart") {
        if (w.size() != 1)
            return fail("a malformed restart line");
        restartMatch(world);
    } else if (w[0] == "name") {
        // "name P TEXT": the text is the rest of the line, spaces and all.
        int player = 0;
        if (w.size() < 3 || !whole(w[1], 0, count - 1, player))
            return fail("a malformed name line");
        const std::size_t at = static_cast<std::size_t>(w[2].data() - line.data());
        const std::string name = line.substr(at);
        if (name.size() > kMaxRecordName ||
            std::any_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }))
            return fail("a malformed name line");
        world.players[static_cast<std::size_t>(player)].name = name;
    } else {
        return fail("an unknown line");
    }
    return MatchRecordLine::Change;
}

bool replayMatchRecord(std::istream& in, SimWorld& world, const SkinnedModel& model, MatchRecordHeader& header,
                       long long& frames, std::string& error)
{
    MatchRecordReader reader;
    frames = 0;
    if (!reader.begin(in, world, model, error))
        return false;
    header = reader.header();
    MatchRecordLine line = MatchRecordLine::Change;
    while ((line = reader.next(error)) == MatchRecordLine::Frame || line == MatchRecordLine::Change)
        ;
    frames = reader.frames();
    return line == MatchRecordLine::End;
}

bool MatchRecordFile::open(const std::string& path, std::string& error)
{
    path_ = path;
    in_.open(path, std::ios::binary);
    if (!in_) {
        error = path + ": cannot be read";
        return false;
    }
    return true;
}

bool MatchRecordFile::begin(SimWorld& world, const SkinnedModel& model, std::string& error)
{
    if (!reader_.begin(in_, world, model, error)) {
        error = path_ + ": " + error;
        return false;
    }
    return true;
}

MatchRecordLine MatchRecordFile::nextFrame(std::string& error)
{
    for (;;) {
        const MatchRecordLine line = reader_.next(error);
        if (line == MatchRecordLine::Change)
            continue;
        if (line == MatchRecordLine::Malformed)
            error = path_ + ": " + error;
        return line;
    }
}
