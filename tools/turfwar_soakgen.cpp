// turfwar-soakgen: writes a seeded random-play script for turfwar-replay, for
// soak runs: long stretches of walking, running, turning, shooting, getting
// in and out of both cars, and driving flat out into walls and the other car,
// with a `state` line every second of game time and a `memory` line every ten.
//
//   turfwar-soakgen [--seed N] [--minutes M] > soak.txt
//   turfwar-replay soak.txt
//
// The same seed and length give the same script, and the game then plays the
// same game. The script opens with a fixed tour from the default start, which
// gets in and out of both cars; after that the play is random, with no
// knowledge of where anything went.

#include "app/game.h"
#include "sim/driving.h"
#include "sim/player.h"
#include "sim/weapon.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <iostream>
#include <optional>
#include <random>
#include <string>

namespace {

class ScriptWriter {
public:
    ScriptWriter(std::ostream& out, long long lengthMs) : out_(out), lengthMs_(lengthMs) {}

    bool finished() const { return timeMs_ >= lengthMs_; }

    void tick(int ms)
    {
        if (ms != tickMs_)
            out_ << "tick " << ms << "\n";
        tickMs_ = ms;
    }
    void press(const std::string& keys) { out_ << "press " << keys << "\n"; }
    void release(const std::string& keys) { out_ << "release " << keys << "\n"; }
    void mouse(int dx, int dy)
    {
        pitch_ += dy;
        out_ << "mouse " << dx << " " << dy << "\n";
    }
    void click() { out_ << "click\n"; }
    int pitch() const { return pitch_; }

    // Runs frames, stopping at the script's length, with the reports due on the way.
    void frames(long long count)
    {
        while (count > 0 && !finished()) {
            const long long untilReport = std::max(1LL, (nextStateMs_ - timeMs_ + tickMs_ - 1) / std::max(tickMs_, 1));
            const long long run = std::min(count, untilReport);
            out_ << "run " << run << "\n";
            count -= run;
            timeMs_ += run * tickMs_;
            if (timeMs_ >= nextStateMs_) {
                out_ << "state\n";
                nextStateMs_ = (timeMs_ / 1000 + 1) * 1000;
                if (timeMs_ >= nextMemoryMs_) {
                    out_ << "memory\n";
                    nextMemoryMs_ = (timeMs_ / 10000 + 1) * 10000;
                }
            }
        }
    }
    void seconds(double s) { frames(std::max(1LL, std::llround(s * 1000.0 / std::max(tickMs_, 1)))); }

    // Clicks every `every` seconds for `count` shots; by default just slower
    // than the gun's rate, so that each click can fire.
    static_assert(kShotInterval < 0.5f);
    void shots(int count, double every = 0.5)
    {
        for (int i = 0; i < count && !finished(); ++i) {
            click();
            seconds(every);
        }
    }
    // E for one frame, then long enough for its cooldown to run out.
    void enterOrLeave()
    {
        press("E");
        frames(1);
        release("E");
        seconds(kEnterCooldown + 0.1);
    }

private:
    std::ostream& out_;
    long long lengthMs_;
    long long timeMs_ = 0;
    long long nextStateMs_ = 0;  // a state at once, then on every whole second
    long long nextMemoryMs_ = 0;
    int tickMs_ = 16;
    int pitch_ = 0;
};

// The default start: the player stands at the origin facing kStartYawDegrees
// (facing is (sin yaw, 0, cos yaw)); the first car's chassis is at the
// origin, the second kSecondCarOffset from it, both square to the axes;
// getting out of a car puts the player at kLeavePoint from its chassis. The
// mouse turns a degree a pixel.
void runTo(ScriptWriter& s, double& yaw, double fromX, double fromZ, double toX, double toZ)
{
    const double dx = toX - fromX, dz = toZ - fromZ;
    const double wanted = std::atan2(dx, dz) * 180.0 / std::acos(-1.0);
    const double turn = std::remainder(wanted - yaw, 360.0);
    s.mouse(static_cast<int>(std::lround(turn)), 0);
    yaw += static_cast<double>(std::lround(turn));
    s.frames(1);
    s.press("W Q");
    s.seconds((std::hypot(dx, dz) - 4.0) / kRunSpeed);
    s.release("W Q");
    s.frames(1);
}

// In and out of the first car, a run to the second, in and out of it, a run
// back to the first and a drive in it, the gun going.
void openingTour(ScriptWriter& s)
{
    s.tick(16);
    s.seconds(0.5);
    s.enterOrLeave();  // into the first car: its chassis is 8 units away
    s.seconds(1.0);
    s.enterOrLeave();  // and out again, beside it
    const double leaveX = kLeavePoint.x, leaveZ = kLeavePoint.z;
    const double secondX = kSecondCarOffset.x, secondZ = kSecondCarOffset.z;
    double yaw = kStartYawDegrees;
    runTo(s, yaw, leaveX, leaveZ, secondX, secondZ);
    s.enterOrLeave();
    s.seconds(1.0);
    s.enterOrLeave();
    runTo(s, yaw, secondX + leaveX, secondZ + leaveZ, 0.0, 0.0);
    s.enterOrLeave();
    s.press("W D");
    s.seconds(3.0);
    s.shots(8);
    s.release("W D");
}

class RandomPlay {
public:
    RandomPlay(ScriptWriter& s, std::uint64_t seed) : s_(s), random_(seed) {}

    void episode()
    {
        // A frame length for the episode, mostly 60 frames a second.
        static constexpr int kTicks[] = {16, 16, 16, 16, 8, 10, 20, 33, 50};
        s_.tick(kTicks[pick(std::size(kTicks))]);
        switch (pick(10)) {
        case 0:
        case 1: walk(); break;
        case 2: turnAndShoot(); break;
        case 3: s_.enterOrLeave(); break;
        case 4:
        case 5: drive(); break;
        case 6: rampage(); break;
        case 7: burst(); break;
        case 8: hitch(); break;
        case 9: lookAround(); break;
        }
    }

private:
    std::size_t pick(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_); }
    int between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    double secondsBetween(double low, double high) { return std::uniform_real_distribution<double>(low, high)(random_); }
    bool chance(double p) { return std::bernoulli_distribution(p)(random_); }

    // Turns by about `degrees` spread over `seconds`, a little each frame chunk.
    void turnWhile(int degrees, double seconds)
    {
        const int steps = std::max(1, static_cast<int>(seconds * 10.0));
        for (int i = 0; i < steps && !s_.finished(); ++i) {
            s_.mouse(degrees / steps + (i == 0 ? degrees % steps : 0), 0);
            s_.seconds(seconds / steps);
        }
    }

    void walk()
    {
        static constexpr const char* kGaits[] = {"W", "W Q", "W Q", "S", "A", "D", "W A", "W D", "S D", "W Q A"};
        const std::string keys = kGaits[pick(std::size(kGaits))];
        s_.press(keys);
        turnWhile(between(-90, 90), secondsBetween(1.0, 8.0));
        s_.release(keys);
    }
    void turnAndShoot()
    {
        const int count = between(2, 12);
        const int sweep = between(-40, 40);
        for (int i = 0; i < count && !s_.finished(); ++i) {
            s_.mouse(sweep / count, 0);
            s_.shots(1);
        }
    }
    // Throttle one way, maybe a steering lock, maybe the gun: on foot the same keys walk.
    void drive()
    {
        std::string keys = chance(0.8) ? "W" : "S";
        if (chance(0.6))
            keys += chance(0.5) ? " A" : " D";
        s_.press(keys);
        if (chance(0.5))
            s_.shots(between(2, 16));
        else
            s_.seconds(secondsBetween(2.0, 10.0));
        s_.release(keys);
    }
    // Flat out at full lock (circles that end in a wall or the other car),
    // then flat out straight.
    void rampage()
    {
        s_.press(chance(0.5) ? "W A" : "W D");
        s_.seconds(secondsBetween(4.0, 15.0));
        s_.release("A D");
        s_.seconds(secondsBetween(2.0, 20.0));
        s_.release("W");
    }
    // A long burst at the gun's full rate, clicks coming faster than shots
    // can go, while looking about: as many projectiles in flight as play gets.
    void burst()
    {
        for (int i = between(20, 120); i > 0 && !s_.finished(); --i) {
            s_.mouse(between(-10, 10), 0);
            s_.shots(1, 0.2);
        }
    }
    // One long frame, as when the machine stalls: the physics catches up in one go.
    void hitch()
    {
        s_.tick(between(100, 700));
        s_.frames(1);
        s_.tick(16);
    }
    void lookAround()
    {
        for (int i = between(2, 8); i > 0 && !s_.finished(); --i) {
            s_.mouse(between(-180, 180), between(-60, 60));
            s_.seconds(secondsBetween(0.1, 1.0));
        }
        s_.mouse(0, -s_.pitch());
    }

    ScriptWriter& s_;
    std::mt19937_64 random_;
};

// The longest script written, in minutes of game time (about 40 MB, under
// what turfwar-replay reads).
constexpr int kMaxMinutes = 10000;
constexpr int kExitUsage = 2;

int usageError(const std::string& reason)
{
    std::cerr << "turfwar-soakgen: " << reason << "\nRun with --help for more information.\n";
    return kExitUsage;
}

// Digits only: CLI11 would wrap "-1" and saturate an overflow to 2^64 - 1.
std::optional<std::uint64_t> seedFrom(const std::string& text)
{
    std::uint64_t seed = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, seed);
    if (text.empty() || ec != std::errc() || ptr != end)
        return std::nullopt;
    return seed;
}

// NaN and infinities fail the range test.
std::optional<double> minutesFrom(const std::string& text)
{
    double minutes = 0.0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, minutes);
    if (text.empty() || ec != std::errc() || ptr != end || !(minutes >= 0.0 && minutes <= kMaxMinutes))
        return std::nullopt;
    return minutes;
}

}  // namespace

int main(int argc, char** argv)
{
    CLI::App app{"Writes a seeded random-play script for turfwar-replay."};
    std::string seedText = "1";
    std::string minutesText = "30";
    app.add_option("--seed", seedText, "Seed of the random play, a whole number from 0 to 18446744073709551615")
        ->type_name("N");
    app.add_option("--minutes", minutesText, "Game time the script plays, 0 to " + std::to_string(kMaxMinutes))
        ->type_name("M");
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::cout << app.help();
        return 0;
    } catch (const CLI::ParseError& error) {
        return usageError(error.what());
    }
    const std::optional<std::uint64_t> seed = seedFrom(seedText);
    if (!seed)
        return usageError("--seed: '" + seedText + "' is not a whole number from 0 to 18446744073709551615");
    const std::optional<double> minutes = minutesFrom(minutesText);
    if (!minutes)
        return usageError("--minutes: '" + minutesText + "' is not a number from 0 to " + std::to_string(kMaxMinutes));

    std::ios::sync_with_stdio(false);
    std::cout << "# turfwar-soakgen --seed " << *seed << " --minutes " << *minutes << "\n";
    ScriptWriter script(std::cout, std::llround(*minutes * 60000.0));
    openingTour(script);
    RandomPlay play(script, *seed);
    while (!script.finished())
        play.episode();
    std::cout << "release W A S D Q E\nstate\nmemory\n";
    return std::cout.good() ? 0 : 1;
}
