#pragma once
// What a server's simulation consumed, as text, so that a match can be
// stepped again through a fresh world to the same state: the header names
// the seed, the rules and the players the world started with, then one line
// per event that changed the world, in the order the server did it:
//
//   turfwar-server-record 1
//   seed S                  the bots' seed (whole, 0 to 2^63)
//   rules R M S             rounds to win, round seconds, respawn seconds
//   players N               the world's players at the start (1 to kMaxPlayers)
//   frame DT ...            one step: its seconds and every player's command
//                           (sim/command_record.h's line)
//   vacate P                player P left: out of any car (growPlaces and
//                           vacatePlace below say exactly what changes)
//   grow N                  the world grew to N players: a fresh match
//   restart                 the match began again (restartMatch)
//   name P TEXT             player P is shown as TEXT (the rest of the line,
//                           printable, at most kMaxRecordName bytes)
//
// Reading refuses, naming the line, anything else: an unknown word, a
// number that does not read whole or is out of range, a frame whose player
// count is not the world's, a header out of order, a line longer than
// kMaxRecordLine. Writing is a stream the caller owns (a file with
// --record), flushed by the caller.

#include "sim/command_record.h"
#include "sim/match.h"
#include "sim/step_events.h"

#include <cstdint>
#include <fstream>
#include <iosfwd>
#include <string>

struct SimWorld;
class SkinnedModel;

inline constexpr std::size_t kMaxRecordName = 64;

struct MatchRecordHeader {
    std::uint64_t seed = 0;
    MatchRules rules;
    int players = 1;
};

void writeMatchRecordHeader(std::ostream& out, const MatchRecordHeader& header);
void writeMatchRecordFrame(std::ostream& out, float dt, const PlayerCommand* commands, int playerCount);
void writeMatchRecordVacate(std::ostream& out, int player);
void writeMatchRecordGrow(std::ostream& out, int players);
void writeMatchRecordRestart(std::ostream& out);
// name as it is: the caller gives printable text within kMaxRecordName.
void writeMatchRecordName(std::ostream& out, int player, const std::string& name);

// The world changes a server makes besides the step; the record's replay
// makes them the same way.
// Player index out of its car (if it drives one), as a person leaving.
void vacatePlace(SimWorld& world, int index);
// count players (more than now, at most kMaxPlayers): every player placed
// afresh and a new match with the same rules. Names are cleared.
void growPlaces(SimWorld& world, const SkinnedModel& model, int count);

enum class MatchRecordLine {
    Frame,      // one step taken
    Change,     // a place vacated, the world grown, the match restarted or a name set
    End,        // the record is over
    Malformed,  // the error says which line and why; nothing more is read
};

// A record a line at a time, for a caller that does something between the
// steps (shows them, describes the world at some ticks).
class MatchRecordReader {
public:
    // Reads the header into world (created, its cars built): the players
    // added from model and the match started.
    bool begin(std::istream& in, SimWorld& world, const SkinnedModel& model, std::string& error);
    MatchRecordLine next(std::string& error);
    const MatchRecordHeader& header() const { return header_; }
    long long frames() const { return frames_; }   // steps taken so far: the server's tick
    const StepEvents& events() const { return events_; }  // what the last step raised

private:
    std::istream* in_ = nullptr;
    SimWorld* world_ = nullptr;
    const SkinnedModel* model_ = nullptr;
    MatchRecordHeader header_;
    int line_ = 0;
    long long frames_ = 0;
    FrameRecord record_;
    StepEvents events_;
};

// A record read from its file a step at a time, for every caller that plays
// a record: each error names the file. The reader keeps a pointer to the
// stream, so a MatchRecordFile stays where it was opened.
class MatchRecordFile {
public:
    MatchRecordFile() = default;
    MatchRecordFile(const MatchRecordFile&) = delete;
    MatchRecordFile& operator=(const MatchRecordFile&) = delete;

    // Opens path: false with error "PATH: cannot be read". Then begin reads
    // its header into world, as MatchRecordReader::begin: false with error
    // "PATH: line N: why". Apart, so a caller can tell of an unreadable
    // file before it loads what the world needs.
    bool open(const std::string& path, std::string& error);
    bool begin(SimWorld& world, const SkinnedModel& model, std::string& error);
    // Makes the changes up to the next step and takes it: Frame; or End once
    // the record is over (changes after its last step made), or Malformed
    // with error "PATH: line N: why", after which nothing more is read.
    MatchRecordLine nextFrame(std::string& error);
    const MatchRecordReader& reader() const { return reader_; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::ifstream in_;
    MatchRecordReader reader_;
};

// Steps world (created, its cars built) through a record from its start:
// players added from model, the match started, every line applied. False
// with error ("line N: why") on the first malformed line; the world is then
// wherever it got to. frames counts the steps taken.
bool replayMatchRecord(std::istream& in, SimWorld& world, const SkinnedModel& model, MatchRecordHeader& header,
                       long long& frames, std::string& error);
