#include "sim/command_record.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace {

constexpr int kFieldsPerPlayer = 14;
constexpr float kMaxRecordedDt = 1.0f;
constexpr float kMaxRecordedLook = 1e6f;

void appendFloat(std::string& out, float value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.push_back(' ');
    out.append(buffer, result.ptr);
}

void appendInt(std::string& out, int value)
{
    out.push_back(' ');
    out += std::to_string(value);
}

// The line's words, one at a time.
class Words {
public:
    explicit Words(std::string_view line) : rest_(line) {}
    bool next(std::string_view& word)
    {
        const std::size_t start = rest_.find_first_not_of(' ');
        if (start == std::string_view::npos)
            return false;
        rest_.remove_prefix(start);
        const std::size_t end = rest_.find(' ');
        word = rest_.substr(0, end);
        rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end);
        return true;
    }

private:
    std::string_view rest_;
};

bool readFloat(std::string_view word, float low, float high, float& value)
{
    const auto result = std::from_chars(word.data(), word.data() + word.size(), value);
    return result.ec == std::errc() && result.ptr == word.data() + word.size() && std::isfinite(value) &&
           value >= low && value <= high;
}

bool readInt(std::string_view word, int low, int high, int& value)
{
    const auto result = std::from_chars(word.data(), word.data() + word.size(), value);
    return result.ec == std::errc() && result.ptr == word.data() + word.size() && value >= low && value <= high;
}

bool readBool(std::string_view word, bool& value)
{
    int bit = 0;
    if (!readInt(word, 0, 1, bit))
        return false;
    value = bit == 1;
    return true;
}

// Field i of a player's 14, read from word into command.
bool readField(int i, std::string_view word, PlayerCommand& c)
{
    switch (i) {
    case 0: return readBool(word, c.forward);
    case 1: return readBool(word, c.back);
    case 2: return readBool(word, c.left);
    case 3: return readBool(word, c.right);
    case 4: return readBool(word, c.run);
    case 5: return readBool(word, c.enterLeave);
    case 6: return readBool(word, c.fire);
    case 7: return readFloat(word, -1.0f, 1.0f, c.stickForward);
    case 8: return readFloat(word, -1.0f, 1.0f, c.stickLeft);
    case 9: return readFloat(word, -1.0f, 1.0f, c.steer);
    case 10: return readInt(word, 0, kFullThrottle, c.throttle);
    case 11: return readInt(word, 0, kFullBrake, c.brake);
    case 12: return readFloat(word, -kMaxRecordedLook, kMaxRecordedLook, c.lookYaw);
    default: return readFloat(word, -kMaxRecordedLook, kMaxRecordedLook, c.lookPitch);
    }
}

constexpr const char* kFieldNames[kFieldsPerPlayer] = {
    "forward",      "back",      "left",  "right",    "run",   "enterLeave", "fire",
    "stickForward", "stickLeft", "steer", "throttle", "brake", "lookYaw",    "lookPitch",
};

}  // namespace

std::string frameRecordLine(float dt, const PlayerCommand* commands, int playerCount)
{
    std::string line = "frame";
    appendFloat(line, dt);
    for (int p = 0; p < playerCount; ++p) {
        const PlayerCommand& c = commands[p];
        for (const bool b : {c.forward, c.back, c.left, c.right, c.run, c.enterLeave, c.fire})
            appendInt(line, b ? 1 : 0);
        appendFloat(line, c.stickForward);
        appendFloat(line, c.stickLeft);
        appendFloat(line, c.steer);
        appendInt(line, c.throttle);
        appendInt(line, c.brake);
        appendFloat(line, c.lookYaw);
        appendFloat(line, c.lookPitch);
    }
    return line;
}

bool readFrameRecord(std::string_view line, FrameRecord& record, std::string& error)
{
    if (line.size() > kMaxRecordLine) {
        error = "line longer than " + std::to_string(kMaxRecordLine) + " bytes";
        return false;
    }
    Words words(line);
    std::string_view word;
    if (!words.next(word) || word != "frame") {
        error = "not a frame line";
        return false;
    }
    if (!words.next(word) || !readFloat(word, 0.0f, kMaxRecordedDt, record.dt)) {
        error = "frame time missing or not a number of seconds from 0 to 1";
        return false;
    }
    record = FrameRecord{record.dt};
    int field = 0;
    while (words.next(word)) {
        const int player = field / kFieldsPerPlayer;
        if (player >= kMaxPlayers) {
            error = "more than " + std::to_string(kMaxPlayers) + " players";
            return false;
        }
        if (!readField(field % kFieldsPerPlayer, word, record.commands[static_cast<std::size_t>(player)])) {
            error = "player " + std::to_string(player + 1) + "'s " + kFieldNames[field % kFieldsPerPlayer] +
                    " is out of range or not a number";
            return false;
        }
        ++field;
    }
    if (field == 0 || field % kFieldsPerPlayer != 0) {
        error = "a frame needs " + std::to_string(kFieldsPerPlayer) + " numbers for each player, got " +
                std::to_string(field);
        return false;
    }
    record.playerCount = field / kFieldsPerPlayer;
    return true;
}
