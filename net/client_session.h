#pragma once
// A player's side of a network match: a NetClient and what makes its world
// look right between the server's snapshots.
//
// Once a frame, frame() sends the local player's command, services the
// network and sets the client's SimWorld to what the player should see:
// - the other players, the cars they drive or that stand empty, the shots
//   and the match as they were kInterpolationDelayTicks ago on the server,
//   interpolated between the two snapshots around that tick (the delay is
//   two snapshot intervals, so one lost snapshot does not stop them);
// - the own player, and the car they drive, predicted: on every new
//   snapshot the world is set to it and the own commands the server had not
//   yet applied are stepped again on top (the others keep their last known
//   controls); between snapshots each frame steps on. A correction is not
//   shown at once: the difference fades over about kCorrectionFadeSeconds.
// - the server's events (sounds, the match's messages), handed out when
//   the shown tick reaches theirs, so a sound comes with what it belongs to.
//
// The client steps no game rules of its own: shots fly only as the server
// reports them and hit nothing here, the match's clocks are the server's.
// So a prediction never knocks off a wheel or ends a round the server
// did not.

#include "net/client.h"
#include "net/server.h"
#include "net/snapshot.h"
#include "sim/sim_world.h"
#include "sim/step_events.h"

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

class SkinnedModel;

inline constexpr std::uint32_t kInterpolationDelayTicks = 2 * kSnapshotInterval;  // 100 ms at 200 Hz
inline constexpr float kCorrectionFadeSeconds = 0.1f;

// A client's running input: each frame's command added to the totals, the
// look in whole hundredths of a degree with what rounding leaves carried
// to the next frame (so slow, fine looks are not lost), a press counted.
struct InputTotals {
    NetInput input;
    float yawRest = 0.0f;    // degrees not yet in the total
    float pitchRest = 0.0f;
    void add(const PlayerCommand& command);
};

// What the prediction measured: each correction is how far the own player
// (or the chassis of the car they drive) stood from where the server's
// newest snapshot and the replayed commands put it.
struct PredictionStats {
    int corrections = 0;
    double largestCorrection = 0.0;  // units
    double correctionSum = 0.0;      // for the mean
    int snapshotsApplied = 0;
};

class ClientSession {
public:
    // Starts connecting (the world is untouched until the welcome).
    bool connect(const NetClientConfig& config, std::string& reason);
    // One frame of dt real seconds with the local player's command. The
    // world has its cars built and the player model set (addSimPlayers);
    // on the welcome it is given the server's players and match. Events
    // the server raised up to the shown tick are appended.
    void frame(const PlayerCommand& own, float dt, SimWorld& world, StepEvents& events);
    // Goodbye (waiting at most waitMs), or gone at once.
    void leave(std::uint32_t waitMs = 1000) { client_.leave(waitMs); }

    NetClientState state() const { return client_.state(); }
    const NetClient& client() const { return client_; }
    // The player this client plays, -1 before the welcome.
    int place() const { return place_; }
    // A snapshot has been applied: the world shows the server's.
    bool showing() const { return showing_; }
    // The server tick the others are shown at.
    std::uint32_t shownTick() const { return shownTick_; }
    const PredictionStats& prediction() const { return stats_; }

private:
    struct PendingCommand {
        std::uint32_t sequence = 0;
        PlayerCommand command;
        float dt = 0.0f;
    };
    struct HeldEvent {
        std::uint32_t tick = 0;
        StepEvent event;
    };

    void welcome(SimWorld& world);
    void reconcile(SimWorld& world);
    void predictStep(SimWorld& world, const PlayerCommand& own, float dt);
    void noteCorrection(double units);
    void showOthers(SimWorld& world);
    void fadeCorrection(SimWorld& world, float dt);
    void releaseEvents(StepEvents& events);
    void takeRoster(SimWorld& world);

    NetClient client_;
    int place_ = -1;
    bool showing_ = false;
    std::uint32_t appliedTick_ = 0;  // the newest snapshot reconciled with
    double serverTick_ = 0.0;        // the server's tick as this client reckons it
    std::uint32_t shownTick_ = 0;
    int rostersSeen_ = 0;
    std::size_t namedPlayers_ = 0;   // the world's players when the roster was last applied
    InputTotals totals_;             // what the next input carries
    NetInput lastSent_;              // the input before it, for the command the server makes of it
    std::deque<PendingCommand> pending_;
    std::deque<HeldEvent> held_;
    std::vector<PlayerCommand> commands_;  // the prediction's, kept to spare allocations
    std::vector<PlayerCommand> allowed_;
    StepEvents scratch_;                  // what the prediction raises, not shown
    WorldSnapshot shown_;                 // the others' interpolated world
    std::optional<MatchState> heldMatch_; // the match, kept out of the prediction's steps
    std::optional<MatchState> newestMatch_; // the newest snapshot's, which says what the own player may do
    std::uint8_t lastRound_ = 0;
    // The correction still to fade: the own player's position, or the
    // driven car's parts (positions and orientations).
    Vector3 playerError_;
    std::array<Vector3, kCarPartCount> carPositionError_{};
    std::array<Quaternion, kCarPartCount> carTurnError_{};
    int errorCar_ = -1;
    PredictionStats stats_;
};
