#include "sim/command_record.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

PlayerCommand awkward()
{
    PlayerCommand c;
    c.forward = true;
    c.run = true;
    c.fire = true;
    c.stickForward = 1.0f / 3.0f;
    c.stickLeft = -std::numeric_limits<float>::denorm_min();
    c.steer = -0.0f;
    c.throttle = 37;
    c.brake = 100;
    c.lookYaw = -119.00001f;
    c.lookPitch = 1e-30f;
    return c;
}

}  // namespace

// What is stepped again must be what was stepped: every bit of every number.
TEST(CommandRecord, ReadsBackExactlyWhatWasWritten)
{
    const PlayerCommand commands[2] = {awkward(), PlayerCommand{}};
    const float dt = 0.016999999f;
    FrameRecord record;
    std::string error;
    ASSERT_TRUE(readFrameRecord(frameRecordLine(dt, commands, 2), record, error)) << error;
    EXPECT_EQ(record.dt, dt);
    ASSERT_EQ(record.playerCount, 2);
    const PlayerCommand& a = record.commands[0];
    EXPECT_TRUE(a.forward && a.run && a.fire && !a.back && !a.enterLeave);
    EXPECT_EQ(a.stickForward, commands[0].stickForward);
    EXPECT_EQ(a.stickLeft, commands[0].stickLeft);
    EXPECT_TRUE(std::signbit(a.steer));
    EXPECT_EQ(a.throttle, 37);
    EXPECT_EQ(a.brake, 100);
    EXPECT_EQ(a.lookYaw, commands[0].lookYaw);
    EXPECT_EQ(a.lookPitch, commands[0].lookPitch);
    EXPECT_FALSE(record.commands[1].forward);
}

TEST(CommandRecord, RefusesWhatNoFrameHolds)
{
    const PlayerCommand one[1] = {};
    const std::string good = frameRecordLine(0.5f, one, 1);
    FrameRecord record;
    std::string error;
    ASSERT_TRUE(readFrameRecord(good, record, error));

    const char* bad[] = {
        "",                                                 // nothing
        "state",                                            // not a frame
        "frame",                                            // no time
        "frame 2 0 0 0 0 0 0 0 0 0 0 0 0 0 0",              // longer than the game's longest frame
        "frame -0.1 0 0 0 0 0 0 0 0 0 0 0 0 0 0",           // time backwards
        "frame nan 0 0 0 0 0 0 0 0 0 0 0 0 0 0",            // not a number
        "frame 0.5",                                        // no player
        "frame 0.5 0 0 0 0 0 0 0 0 0 0 0 0 0",              // a number short
        "frame 0.5 2 0 0 0 0 0 0 0 0 0 0 0 0 0",            // a control is 0 or 1
        "frame 0.5 0 0 0 0 0 0 0 1.5 0 0 0 0 0 0",          // past full tilt
        "frame 0.5 0 0 0 0 0 0 0 0 0 0 101 0 0 0",          // past full throttle
        "frame 0.5 0 0 0 0 0 0 0 0 0 0 0 0 inf 0",          // an endless look
        "frame 0.5 0 0 0 0 0 0 0 0 0 0 0 0 1e7 0",          // past the look's bound
        "frame 0.5 0 0 0 0 0 0 0 0x1 0 0 0 0 0 0",          // not read whole
    };
    for (const char* line : bad) {
        error.clear();
        EXPECT_FALSE(readFrameRecord(line, record, error)) << line;
        EXPECT_FALSE(error.empty()) << line;
    }

    const PlayerCommand nine[9] = {};
    EXPECT_FALSE(readFrameRecord(frameRecordLine(0.5f, nine, 9), record, error));
    EXPECT_NE(error.find("more than 8 players"), std::string::npos) << error;
    EXPECT_FALSE(readFrameRecord(good + std::string(kMaxRecordLine, ' '), record, error));
}
