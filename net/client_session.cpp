#include "net/client_session.h"

#include "net/server.h"
#include "net/snapshot.h"
#include "sim/match.h"

#include <ode/ode.h>

#include <algorithm>
#include <cmath>

namespace {

// Frames the server has not yet applied, kept for the replay: about four
// seconds at 60 a second; a server that applied none for that long is lost
// to prediction anyway.
constexpr std::size_t kMaxPendingCommands = 256;
// Events waiting for the shown tick; more than a match raises in seconds.
constexpr std::size_t kMaxHeldEvents = 1024;
// A frame longer than this is a stall, not a step to replay at full length.
constexpr float kLongestFrame = 0.25f;

bool atOrBefore(std::uint32_t a, std::uint32_t b) { return static_cast<std::int32_t>(a - b) <= 0; }

std::int8_t axisByte(float v) { return static_cast<std::int8_t>(std::lround(std::clamp(v, -1.0f, 1.0f) * 127.0f)); }

// degrees (and the rest carried) into a wrapping total of hundredths.
void addLook(float degrees, std::int32_t& total, float& rest)
{
    const float sum = std::clamp(rest + degrees, -kMaxLookPerInput, kMaxLookPerInput);
    const long whole = std::lround(sum * 100.0f);
    rest = sum - static_cast<float>(whole) / 100.0f;
    total = static_cast<std::int32_t>(static_cast<std::uint32_t>(total) + static_cast<std::uint32_t>(whole));
}

Vector3 scaled(Vector3 v, float s) { return {v.x * s, v.y * s, v.z * s}; }

const Quaternion kNoTurn{};

}  // namespace

void InputTotals::add(const PlayerCommand& command)
{
    input.buttons = static_cast<std::uint8_t>(
        (command.forward ? kInputForward : 0) | (command.back ? kInputBack : 0) | (command.left ? kInputLeft : 0) |
        (command.right ? kInputRight : 0) | (command.run ? kInputRun : 0) |
        (command.enterLeave ? kInputEnterLeave : 0));
    input.stickForward = axisByte(command.stickForward);
    input.stickLeft = axisByte(command.stickLeft);
    input.steer = axisByte(command.steer);
    input.throttle = static_cast<std::uint8_t>(std::clamp(command.throttle, 0, kFullThrottle));
    input.brake = static_cast<std::uint8_t>(std::clamp(command.brake, 0, kFullBrake));
    addLook(command.lookYaw, input.lookYawTotal, yawRest);
    addLook(command.lookPitch, input.lookPitchTotal, pitchRest);
    if (command.fire)
        ++input.fireCount;
}

bool ClientSession::connect(const NetClientConfig& config, std::string& reason)
{
    place_ = -1;
    showing_ = false;
    appliedTick_ = 0;
    serverTick_ = 0.0;
    shownTick_ = 0;
    rostersSeen_ = 0;
    namedPlayers_ = 0;
    totals_ = {};
    lastSent_ = {};
    pending_.clear();
    held_.clear();
    playerError_ = {};
    carPositionError_ = {};
    carTurnError_ = {};
    errorCar_ = -1;
    lastRound_ = 0;
    newestMatch_.reset();
    stats_ = {};
    return client_.connect(config, reason);
}

void ClientSession::frame(const PlayerCommand& own, float dt, SimWorld& world, StepEvents& events)
{
    dt = std::clamp(dt, 0.0f, kLongestFrame);
    bool commanded = false;
    if (place_ >= 0 && client_.state() == NetClientState::Joined) {
        totals_.add(own);
        client_.sendInput(totals_.input, dt);
        // What the server will make of it, so the prediction steps the same.
        NetInput sent = totals_.input;
        sent.sequence = client_.lastInputSequence();
        pending_.push_back({sent.sequence, commandFromInput(sent, lastSent_), dt});
        if (pending_.size() > kMaxPendingCommands)
            pending_.pop_front();
        lastSent_ = sent;
        commanded = true;
    }
    client_.service(0);
    if (place_ < 0 && client_.state() == NetClientState::Joined && client_.welcome())
        welcome(world);
    if (place_ < 0)
        return;

    takeRoster(world);
    for (EventsMessage& m : client_.takeEvents())
        for (const StepEvent& e : m.events)
            held_.push_back({m.tick, e});

    serverTick_ += static_cast<double>(dt) * kServerTickRate;
    const std::deque<WorldSnapshot>& snapshots = client_.snapshots();
    if (!snapshots.empty() && (!showing_ || snapshots.back().tick != appliedTick_)) {
        // The server's clock as this client sees it: pulled gently toward
        // the newest snapshot's tick, set to it when far out (the start, a
        // long stall).
        const double gap = static_cast<double>(static_cast<std::int32_t>(snapshots.back().tick -
                                                                         static_cast<std::uint32_t>(serverTick_)));
        if (!showing_ || std::abs(gap) > 4.0 * kInterpolationDelayTicks)
            serverTick_ = snapshots.back().tick;
        else
            serverTick_ += gap * 0.1;
        reconcile(world);
    } else if (showing_ && commanded) {
        predictStep(world, pending_.back().command, dt);
    }
    if (!showing_)
        return;
    fadeCorrection(world, dt);
    showOthers(world);
    releaseEvents(events);
}

void ClientSession::welcome(SimWorld& world)
{
    const WelcomeMessage& w = *client_.welcome();
    place_ = w.player;
    const int players = std::clamp<int>(w.playerCount, 1, kMaxPlayers);
    if (world.playerModel)
        addSimPlayers(world, players, *world.playerModel);
    else
        world.players.resize(static_cast<std::size_t>(players));
    place_ = std::min(place_, players - 1);
    MatchRules rules;
    rules.rounds = w.rounds;
    rules.roundSeconds = w.roundSeconds;
    rules.respawnSeconds = w.respawnSeconds;
    startMatch(world, rules);
    serverTick_ = w.tick;
}

void ClientSession::takeRoster(SimWorld& world)
{
    if (client_.rostersReceived() == rostersSeen_ && world.players.size() == namedPlayers_)
        return;
    rostersSeen_ = client_.rostersReceived();
    namedPlayers_ = world.players.size();
    if (!client_.roster())
        return;
    for (const RosterEntry& e : client_.roster()->players)
        if (e.player < world.players.size())
            world.players[e.player].name = e.name;
}

void ClientSession::reconcile(SimWorld& world)
{
    const WorldSnapshot& newest = client_.snapshots().back();
    const std::size_t me = static_cast<std::size_t>(place_);
    const bool hadShown = showing_ && me < world.players.size();
    const bool wasInCar = hadShown && world.players[me].body.inCar;
    const int wasCar = wasInCar ? world.players[me].body.carIndex : -1;
    const Vector3 shownAt = hadShown ? world.players[me].body.position : Vector3{};
    std::array<CarPartSnapshot, kCarPartCount> shownParts{};
    if (wasInCar && world.cars[static_cast<std::size_t>(wasCar)].built())
        for (int p = 0; p < kCarPartCount; ++p)
            shownParts[static_cast<std::size_t>(p)] = carPartOf(world.cars[static_cast<std::size_t>(wasCar)], p);

    // The server's world at its tick, then the own commands it had not yet
    // applied, stepped again in order.
    applySnapshot(newest, kServerTickSeconds, world);
    world.physicsAccumulator = 0.0f;
    newestMatch_ = world.match;
    while (!pending_.empty() && atOrBefore(pending_.front().sequence, newest.inputSequence))
        pending_.pop_front();
    for (const PendingCommand& c : pending_)
        predictStep(world, c.command, c.dt);
    showing_ = true;
    appliedTick_ = newest.tick;
    ++stats_.snapshotsApplied;
    if (me >= world.players.size())
        return;

    // What is shown stays where it was, and the difference fades: a
    // correction that is a jump (a respawn, a new round) is shown at once.
    SimPlayer& player = world.players[me];
    const bool sameWay = hadShown && wasInCar == player.body.inCar && wasCar == (player.body.inCar ? player.body.carIndex : -1);
    // A new round puts the player where they start.
    const bool placedAfresh = newest.match.round != lastRound_;
    lastRound_ = newest.match.round;
    if (placedAfresh) {
        playerError_ = {};
        errorCar_ = -1;
        return;
    }
    if (!sameWay) {
        playerError_ = {};
        errorCar_ = -1;
        return;
    }
    if (!wasInCar) {
        const Vector3 error = subtract(shownAt, player.body.position);
        if (magnitude(error) > kPlayerJump) {
            playerError_ = {};
            return;
        }
        noteCorrection(magnitude(subtract(error, playerError_)));
        playerError_ = error;
        player.body.position = shownAt;
        return;
    }
    Car& car = world.cars[static_cast<std::size_t>(wasCar)];
    const CarPartSnapshot chassis = carPartOf(car, 0);
    const Vector3 chassisError = subtract(shownParts[0].position, chassis.position);
    const Vector3 fading = errorCar_ == wasCar ? carPositionError_[0] : Vector3{};
    if (magnitude(chassisError) > kSnapshotJump) {
        errorCar_ = -1;
        return;
    }
    noteCorrection(magnitude(subtract(chassisError, fading)));
    errorCar_ = wasCar;
    for (int p = 0; p < kCarPartCount; ++p) {
        const std::size_t k = static_cast<std::size_t>(p);
        CarPartSnapshot now = carPartOf(car, p);
        carPositionError_[k] = subtract(shownParts[k].position, now.position);
        carTurnError_[k] = multiply(shownParts[k].orientation, conjugate(now.orientation));
        now.position = shownParts[k].position;
        now.orientation = shownParts[k].orientation;
        placeCarPart(car, p, now);
    }
}

void ClientSession::noteCorrection(double units)
{
    ++stats_.corrections;
    stats_.correctionSum += units;
    stats_.largestCorrection = std::max(stats_.largestCorrection, units);
}

void ClientSession::predictStep(SimWorld& world, const PlayerCommand& own, float dt)
{
    const std::size_t count = world.players.size();
    commands_.assign(count, PlayerCommand{});
    for (std::size_t i = 0; i < count; ++i) {
        if (static_cast<int>(i) == place_) {
            commands_[i] = own;
            commands_[i].fire = false;  // shots are the server's to make
            continue;
        }
        // The others keep driving as they last did.
        const Player& body = world.players[i].body;
        if (body.inCar) {
            const Car& car = world.cars[static_cast<std::size_t>(body.carIndex)];
            commands_[i].throttle = car.throttle;
            commands_[i].steer = car.steer;
            commands_[i].brake = car.brake;
        }
    }
    // What the match lets through is the newest snapshot's say (the match
    // shown is older), so a knock-out or the countdown's end is predicted
    // when the server has it.
    if (newestMatch_) {
        world.match.swap(newestMatch_);
        allowed_.assign(count, PlayerCommand{});
        filterMatchCommands(world, commands_, allowed_);
        commands_.swap(allowed_);
        world.match.swap(newestMatch_);
    }
    // No game rules here: no shots in flight to hit anything, no match to
    // score or end a round. Both come back from the server.
    // A wheel that is off is shown where the server has it; stepped here it
    // would only settle against the ground and walls at the wire's rounded
    // place, which ODE's solver takes badly. Anything driven into it wakes it.
    for (Car& car : world.cars)
        if (car.built())
            for (int p = 1; p < kCarPartCount; ++p)
                if (car.wheelDetached(p))
                    dBodyDisable(car.bodies[p]);
    const std::array<Projectile, kProjectileCount> shots = world.projectiles;
    for (Projectile& p : world.projectiles)
        p.active = false;
    heldMatch_.swap(world.match);
    scratch_.clear();
    stepWorld(world, commands_, dt, scratch_);
    heldMatch_.swap(world.match);
    world.projectiles = shots;
}

void ClientSession::fadeCorrection(SimWorld& world, float dt)
{
    const std::size_t me = static_cast<std::size_t>(place_);
    if (me >= world.players.size())
        return;
    const float keep = std::exp(-dt / kCorrectionFadeSeconds);
    SimPlayer& player = world.players[me];
    if (!player.body.inCar) {
        player.body.position = subtract(player.body.position, scaled(playerError_, 1.0f - keep));
        playerError_ = scaled(playerError_, keep);
        return;
    }
    if (errorCar_ != player.body.carIndex)
        return;
    Car& car = world.cars[static_cast<std::size_t>(errorCar_)];
    for (int p = 0; p < kCarPartCount; ++p) {
        const std::size_t k = static_cast<std::size_t>(p);
        CarPartSnapshot now = carPartOf(car, p);
        now.position = subtract(now.position, scaled(carPositionError_[k], 1.0f - keep));
        carPositionError_[k] = scaled(carPositionError_[k], keep);
        const Quaternion less = nlerp(kNoTurn, carTurnError_[k], keep);
        now.orientation = multiply(multiply(less, conjugate(carTurnError_[k])), now.orientation);
        carTurnError_[k] = less;
        placeCarPart(car, p, now);
    }
}

void ClientSession::showOthers(SimWorld& world)
{
    const std::deque<WorldSnapshot>& snapshots = client_.snapshots();
    const double at = std::max(0.0, serverTick_ - kInterpolationDelayTicks);
    const std::uint32_t tick = static_cast<std::uint32_t>(at);
    // The two around the shown tick; before the oldest or after the newest,
    // that one alone (a stall shows the newest, it does not guess on).
    std::size_t b = 0;
    while (b < snapshots.size() && atOrBefore(snapshots[b].tick, tick))
        ++b;
    if (b == 0 || b == snapshots.size()) {
        const WorldSnapshot& only = b == 0 ? snapshots.front() : snapshots.back();
        interpolateSnapshots(only, only, only.tick, shown_);
    } else {
        interpolateSnapshots(snapshots[b - 1], snapshots[b], tick, shown_);
    }
    SnapshotOverlay overlay;
    overlay.keepPlayer = place_;
    const Player& me = world.players[static_cast<std::size_t>(place_)].body;
    overlay.keepCar = me.inCar ? me.carIndex : -1;
    applySnapshotOverlay(shown_, kServerTickSeconds, overlay, world);
    shownTick_ = shown_.tick;
}

void ClientSession::releaseEvents(StepEvents& events)
{
    while (!held_.empty() && (atOrBefore(held_.front().tick, shownTick_) || held_.size() > kMaxHeldEvents)) {
        events.add(held_.front().event);
        held_.pop_front();
    }
}
