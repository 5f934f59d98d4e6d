#include "sim/match.h"

#include "sim/sim_world.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

float dot(Vector3 a, Vector3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

int teamOf(int player) { return player % kTeamCount; }

MatchPlayer& matchPlayer(SimWorld& world, int index) { return world.match->players[static_cast<std::size_t>(index)]; }

bool down(const SimWorld& world, int index)
{
    return world.match->players[static_cast<std::size_t>(index)].knockedOutSeconds > 0.0f;
}

// Where a team's car's chassis stands when built.
Vector3 carStart(const SimWorld& world, int car)
{
    const CarParams& p = world.cars[static_cast<std::size_t>(car)].params;
    Vector3 at = {p.chassisX, 0.0f, p.chassisZ};
    if (car == 1)
        at = add(at, Vector3{kSecondCarOffset.x, 0.0f, kSecondCarOffset.z});
    return at;
}

void placeBesideCar(SimWorld& world, int index)
{
    SimPlayer& p = world.players[static_cast<std::size_t>(index)];
    p.body.inCar = false;
    p.body.carIndex = teamOf(index);
    p.body.position = matchStartPosition(world, index);
    const Vector3 other = carStart(world, 1 - teamOf(index));
    const Vector3 toOther = subtract(other, p.body.position);
    p.body.yaw = std::atan2(toOther.x, toOther.z) * 180.0f / std::numbers::pi_v<float>;
    p.body.gait = 0;
    p.weapon.fireRequested = false;
    p.weapon.targetLocked = false;
    p.weapon.targetPlayer = -1;
    p.footstep = -1;
    if (world.playerModel)
        world.playerModel->restartAnimation(p.pose);
}

}  // namespace

// The cars' bodies are destroyed and built again from the numbers the car
// file gave.
void rebuildCars(SimWorld& world)
{
    for (int c = 0; c < kCarCount; ++c) {
        Car& car = world.cars[static_cast<std::size_t>(c)];
        if (!car.built())
            continue;
        const CarParams params = car.params;
        car.destroy();
        car.build(params, world.physics.world, world.physics.space);
        if (c == 1)
            car.translate(kSecondCarOffset);
        // The jump back to rest is no crash.
        world.lastChassisVelocity[static_cast<std::size_t>(c)] = {};
        world.crashCooldown[static_cast<std::size_t>(c)] = 0.0f;
    }
}

namespace {

void startRound(SimWorld& world)
{
    MatchState& m = *world.match;
    rebuildCars(world);
    for (Projectile& p : world.projectiles)
        p.active = false;
    for (int i = 0; i < static_cast<int>(world.players.size()); ++i) {
        placeBesideCar(world, i);
        MatchPlayer& mp = matchPlayer(world, i);
        mp.hitsTaken = 0;
        mp.knockedOutSeconds = 0.0f;
        mp.protectionSeconds = 0.0f;
    }
    m.phase = MatchPhase::Countdown;
    m.phaseSeconds = kCountdownSeconds;
    m.clock = m.rules.roundSeconds;
    m.wheelsOff = {};
    m.lastWarning = 0;
}

void knockOut(SimWorld& world, int by, int target, int car, StepEvents& events)
{
    MatchPlayer& victim = matchPlayer(world, target);
    SimPlayer& p = world.players[static_cast<std::size_t>(target)];
    victim.knockedOutSeconds = std::max(world.match->rules.respawnSeconds, 1e-3f);
    victim.hitsTaken = 0;
    ++victim.timesKnockedOut;
    if (by >= 0)
        ++matchPlayer(world, by).knockOuts;
    p.body.gait = 0;
    p.weapon.fireRequested = false;
    StepEvent e{StepEventKind::KnockedOut, by, car, -1, car >= 0 ? 1.0f : 0.0f, p.body.position};
    e.target = target;
    events.add(e);
}

// The closest distance between segments a0-a1 and b0-b1.
float segmentDistance(Vector3 a0, Vector3 a1, Vector3 b0, Vector3 b1)
{
    const Vector3 d1 = subtract(a1, a0);
    const Vector3 d2 = subtract(b1, b0);
    const Vector3 r = subtract(a0, b0);
    const float a = dot(d1, d1);
    const float e = dot(d2, d2);
    const float f = dot(d2, r);
    float s = 0.0f;
    float t = 0.0f;
    if (a <= 1e-12f) {
        t = e > 1e-12f ? std::clamp(f / e, 0.0f, 1.0f) : 0.0f;
    } else {
        const float c = dot(d1, r);
        if (e <= 1e-12f) {
            s = std::clamp(-c / a, 0.0f, 1.0f);
        } else {
            const float b = dot(d1, d2);
            const float denom = a * e - b * b;
            s = denom > 1e-12f ? std::clamp((b * f - c * e) / denom, 0.0f, 1.0f) : 0.0f;
            t = (b * s + f) / e;
            if (t < 0.0f) {
                t = 0.0f;
                s = std::clamp(-c / a, 0.0f, 1.0f);
            } else if (t > 1.0f) {
                t = 1.0f;
                s = std::clamp((b - c) / a, 0.0f, 1.0f);
            }
        }
    }
    const Vector3 pa = add(a0, Vector3{d1.x * s, d1.y * s, d1.z * s});
    const Vector3 pb = add(b0, Vector3{d2.x * t, d2.y * t, d2.z * t});
    return magnitude(subtract(pa, pb));
}

// A driven car above the run-over speed knocks out every enemy of its driver
// on foot that its chassis box (widened by the player's radius) reaches.
void runOvers(SimWorld& world, StepEvents& events)
{
    for (int c = 0; c < kCarCount; ++c) {
        const Car& car = world.cars[static_cast<std::size_t>(c)];
        const int driver = driverOf(world, c);
        if (!car.built() || driver < 0 || magnitude(car.partVelocity(0)) <= kRunOverSpeed)
            continue;
        float pose[16];
        car.partPose(0, pose);
        const Vector3 centre = {pose[12], pose[13], pose[14]};
        for (int i = 0; i < static_cast<int>(world.players.size()); ++i) {
            if (!canHitPlayer(world, driver, i))
                continue;
            const Vector3 at = world.players[static_cast<std::size_t>(i)].body.position;
            const Vector3 mid = subtract(add(at, Vector3{0.0f, kPlayerHeight / 2.0f, 0.0f}), centre);
            // Into the chassis frame: the rotation's transpose.
            const float lx = pose[0] * mid.x + pose[1] * mid.y + pose[2] * mid.z;
            const float ly = pose[4] * mid.x + pose[5] * mid.y + pose[6] * mid.z;
            const float lz = pose[8] * mid.x + pose[9] * mid.y + pose[10] * mid.z;
            const CarParams& p = car.params;
            if (std::fabs(lx) < p.chassisSizeX / 2.0f + kPlayerRadius &&
                std::fabs(ly) < p.chassisSizeY / 2.0f + kPlayerHeight / 2.0f &&
                std::fabs(lz) < p.chassisSizeZ / 2.0f + kPlayerRadius)
                knockOut(world, driver, i, c, events);
        }
    }
}

int wheelsOffCar(const Car& car)
{
    int n = 0;
    for (int part = 1; part < kCarPartCount; ++part)
        n += car.built() && car.wheelDetached(part) ? 1 : 0;
    return n;
}

void endRound(SimWorld& world, int winner, StepEvents& events)
{
    MatchState& m = *world.match;
    events.add({StepEventKind::RoundEnded, -1, -1, winner, 0.0f, {}});
    if (winner >= 0)
        ++m.scores[static_cast<std::size_t>(winner)];
    if (winner >= 0 && m.scores[static_cast<std::size_t>(winner)] >= m.rules.rounds) {
        m.phase = MatchPhase::MatchOver;
        m.winner = winner;
        events.add({StepEventKind::MatchEnded, -1, -1, winner, 0.0f, {}});
        return;
    }
    m.phase = MatchPhase::RoundOver;
    m.phaseSeconds = kRoundResultSeconds;
}

void runClock(SimWorld& world, float dt, StepEvents& events)
{
    MatchState& m = *world.match;
    m.clock = std::max(0.0f, m.clock - dt);
    const int whole = static_cast<int>(std::ceil(m.clock));
    if (whole < kClockWarningSeconds + 1 && whole >= 1 && whole != m.lastWarning && m.clock > 0.0f) {
        m.lastWarning = whole;
        events.add({StepEventKind::ClockWarning, -1, -1, whole, 0.0f, {}});
    }
    if (m.clock > 0.0f)
        return;
    if (m.phase == MatchPhase::SuddenDeath) {
        endRound(world, -1, events);
        return;
    }
    if (m.wheelsOff[0] != m.wheelsOff[1]) {
        endRound(world, m.wheelsOff[0] > m.wheelsOff[1] ? 0 : 1, events);
        return;
    }
    m.phase = MatchPhase::SuddenDeath;
    m.clock = kSuddenDeathSeconds;
    m.lastWarning = 0;
}

}  // namespace

Vector3 matchStartPosition(const SimWorld& world, int index)
{
    const int team = teamOf(index);
    const int slot = index / kTeamCount;
    const CarParams& p = world.cars[static_cast<std::size_t>(team)].params;
    // On the car's far side from the other car (red at -z, blue at +z),
    // beyond the wheels by a few strides, teammates side by side.
    const float out = p.chassisSizeZ / 2.0f + p.wheelRadius + 20.0f;
    const Vector3 car = carStart(world, team);
    return {car.x - 10.0f + 20.0f * static_cast<float>(slot), 0.0f, team == 0 ? car.z - out : car.z + out};
}

void startMatch(SimWorld& world, const MatchRules& rules)
{
    world.match.emplace();
    world.match->rules = rules;
    world.match->players.resize(world.players.size());
    for (std::size_t i = 0; i < world.players.size(); ++i)
        world.match->players[i].team = teamOf(static_cast<int>(i));
    startRound(world);
}

void restartMatch(SimWorld& world)
{
    const MatchRules rules = world.match ? world.match->rules : MatchRules{};
    startMatch(world, rules);
}

void filterMatchCommands(const SimWorld& world, std::span<const PlayerCommand> in, std::span<PlayerCommand> out)
{
    const MatchPhase phase = world.match->phase;
    const bool playing = phase == MatchPhase::Playing || phase == MatchPhase::SuddenDeath;
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = playing && i < in.size() && !down(world, static_cast<int>(i)) ? in[i] : PlayerCommand{};
}

bool canHitPlayer(const SimWorld& world, int shooter, int target)
{
    if (!world.match || target < 0 || target >= static_cast<int>(world.players.size()) ||
        teamOf(shooter) == teamOf(target))
        return false;
    const MatchPlayer& m = world.match->players[static_cast<std::size_t>(target)];
    return !world.players[static_cast<std::size_t>(target)].body.inCar && m.knockedOutSeconds <= 0.0f &&
           m.protectionSeconds <= 0.0f;
}

bool findPlayerTarget(const SimWorld& world, int shooter, Vector3 viewer, Vector3 aim, int& player,
                      Vector3& position)
{
    const Vector3 a = normalize(aim);
    float best = kTargetRange;
    bool found = false;
    for (int i = 0; i < static_cast<int>(world.players.size()); ++i) {
        if (!canHitPlayer(world, shooter, i))
            continue;
        // Aimed at the chest, where a part's body centre would be.
        const Vector3 body = add(world.players[static_cast<std::size_t>(i)].body.position,
                                 Vector3{0.0f, kPlayerHeight / 2.0f, 0.0f});
        const Vector3 v = subtract(body, viewer);
        const float dist = magnitude(v);
        if (dist <= 0.0f)
            continue;
        const float cosine = dot(divide(v, dist), a);
        if (cosine > kTargetCosine && dist < best) {
            best = dist;
            player = i;
            position = body;
            found = true;
        }
    }
    return found;
}

void hitPlayer(SimWorld& world, int shooter, int target, StepEvents& events)
{
    if (!canHitPlayer(world, shooter, target))
        return;
    MatchPlayer& victim = matchPlayer(world, target);
    ++victim.hitsTaken;
    StepEvent e{StepEventKind::PlayerHit, shooter, -1, -1, 0.0f,
                world.players[static_cast<std::size_t>(target)].body.position};
    e.target = target;
    events.add(e);
    if (victim.hitsTaken >= kKnockOutHits)
        knockOut(world, shooter, target, -1, events);
}

void hitPlayersOnPaths(SimWorld& world, std::span<const Vector3> before, StepEvents& events)
{
    for (std::size_t k = 0; k < world.projectiles.size() && k < before.size(); ++k) {
        Projectile& shot = world.projectiles[k];
        if (!shot.active || shot.locked)
            continue;
        for (int i = 0; i < static_cast<int>(world.players.size()); ++i) {
            if (!canHitPlayer(world, shot.shooter, i))
                continue;
            const Vector3 foot = world.players[static_cast<std::size_t>(i)].body.position;
            const Vector3 head = add(foot, Vector3{0.0f, kPlayerHeight, 0.0f});
            if (segmentDistance(before[k], shot.position, foot, head) <= kPlayerRadius) {
                hitPlayer(world, shot.shooter, i, events);
                shot.active = false;
                break;
            }
        }
    }
}

void stepMatch(SimWorld& world, float dt, std::size_t firstEvent, StepEvents& events)
{
    MatchState& m = *world.match;
    const bool playing = m.phase == MatchPhase::Playing || m.phase == MatchPhase::SuddenDeath;

    // What the players did this step: shots end protection, wheels count.
    for (std::size_t k = firstEvent; k < events.size(); ++k) {
        const StepEvent e = events.list[k];
        if (e.kind == StepEventKind::ShotFired && e.player >= 0)
            matchPlayer(world, e.player).protectionSeconds = 0.0f;
        if (e.kind == StepEventKind::WheelOff && e.player >= 0)
            ++matchPlayer(world, e.player).wheelsKnockedOff;
    }
    if (playing)
        runOvers(world, events);

    for (int i = 0; i < static_cast<int>(world.players.size()); ++i) {
        MatchPlayer& mp = matchPlayer(world, i);
        mp.protectionSeconds = std::max(0.0f, mp.protectionSeconds - dt);
        if (mp.knockedOutSeconds > 0.0f && playing) {
            mp.knockedOutSeconds = std::max(0.0f, mp.knockedOutSeconds - dt);
            if (mp.knockedOutSeconds <= 0.0f) {
                placeBesideCar(world, i);
                mp.protectionSeconds = kProtectionSeconds;
                events.add({StepEventKind::Respawned, i, teamOf(i), -1, 0.0f,
                            world.players[static_cast<std::size_t>(i)].body.position});
            }
        }
    }

    switch (m.phase) {
    case MatchPhase::Countdown:
        m.phaseSeconds -= dt;
        if (m.phaseSeconds <= 0.0f) {
            m.phase = MatchPhase::Playing;
            m.phaseSeconds = 0.0f;
            events.add({StepEventKind::RoundStarted, -1, -1, m.round, 0.0f, {}});
        }
        break;
    case MatchPhase::Playing:
    case MatchPhase::SuddenDeath: {
        const int redTook = wheelsOffCar(world.cars[1]);
        const int blueTook = wheelsOffCar(world.cars[0]);
        const bool changed = redTook != m.wheelsOff[0] || blueTook != m.wheelsOff[1];
        m.wheelsOff = {redTook, blueTook};
        const bool redDone = redTook == kCarPartCount - 1;
        const bool blueDone = blueTook == kCarPartCount - 1;
        if (redDone || blueDone)
            endRound(world, redDone && blueDone ? -1 : (redDone ? 0 : 1), events);
        else if (m.phase == MatchPhase::SuddenDeath && changed && redTook != blueTook)
            endRound(world, redTook > blueTook ? 0 : 1, events);
        else
            runClock(world, dt, events);
        break;
    }
    case MatchPhase::RoundOver:
        m.phaseSeconds -= dt;
        if (m.phaseSeconds <= 0.0f) {
            ++m.round;
            startRound(world);
        }
        break;
    case MatchPhase::MatchOver:
        break;
    }
}
