// The player on foot: speeds, diagonals, the gait and the walk animation.
#include "assets/model_ms3d.h"
#include "sim/player.h"
#include "ms3d_builder.h"

#include <gtest/gtest.h>

namespace {

class PlayerOnFoot : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(model.loadFromMemory(twoJointModel().bytes(), "model.ms3d"));
        model.setAnimationStart(100);
        model.restartAnimation();
        player.yaw = kStartYawDegrees;
    }
    // One second in steps of 1/50 s.
    void walkOneSecond(const WalkControls& keys)
    {
        for (int i = 0; i < 50; ++i)
            player.updateOnFoot(0.02f, keys, model, model.ownPose);
    }

    ModelMs3d model;
    Player player;
};

TEST_F(PlayerOnFoot, StartYawFacesMinusZAndWalksOrRunsAlongIt)
{
    WalkControls w;
    w.forward = true;
    walkOneSecond(w);
    EXPECT_NEAR(player.facing.x, 0.0f, 1e-6f);
    EXPECT_NEAR(player.facing.z, -1.0f, 1e-6f);
    EXPECT_NEAR(player.position.z, -15.0f, 1e-3f);
    EXPECT_NEAR(player.position.x, 0.0f, 1e-3f);
    EXPECT_EQ(player.gait, 1);
    EXPECT_NEAR(model.ownPose.currentTimeMs, 1100.0f, 0.5f);

    player = Player{};
    model.restartAnimation();
    w.run = true;
    walkOneSecond(w);
    EXPECT_NEAR(player.position.z, 30.0f, 1e-3f);  // yaw 0 faces +z
    EXPECT_EQ(player.gait, 2);
    // Running plays the walk twice as fast.
    model.restartAnimation();
    player.updateOnFoot(0.02f, w, model, model.ownPose);
    EXPECT_NEAR(model.ownPose.currentTimeMs, 140.0f, 0.01f);
}

TEST_F(PlayerOnFoot, EachHeldKeyMovesOnItsOwn)
{
    WalkControls wa;
    wa.forward = true;
    wa.left = true;
    walkOneSecond(wa);
    // yaw 180: facing -z, side -x; both displacements add up.
    EXPECT_NEAR(player.position.z, -15.0f, 1e-3f);
    EXPECT_NEAR(player.position.x, -15.0f, 1e-3f);

    const Vector3 before = player.position;
    WalkControls ad;
    ad.left = true;
    ad.right = true;
    player.updateOnFoot(0.1f, ad, model, model.ownPose);
    EXPECT_NEAR(player.position.x, before.x, 1e-4f);
    EXPECT_NEAR(player.position.z, before.z, 1e-4f);
    EXPECT_EQ(player.gait, 1);

    // W wins over S; Q alone does nothing.
    WalkControls ws;
    ws.forward = true;
    ws.back = true;
    player.position = {};
    player.updateOnFoot(1.0f, ws, model, model.ownPose);
    EXPECT_NEAR(player.position.z, -15.0f, 1e-3f);
    WalkControls q;
    q.run = true;
    player.updateOnFoot(1.0f, q, model, model.ownPose);
    EXPECT_NEAR(player.position.z, -15.0f, 1e-3f);
    EXPECT_EQ(player.gait, 0);
}

TEST_F(PlayerOnFoot, AnimatesWhileSideKeysCancelAndSnapsBackWhenReleased)
{
    WalkControls ad;
    ad.left = true;
    ad.right = true;
    player.updateOnFoot(0.25f, ad, model, model.ownPose);
    EXPECT_NEAR(model.ownPose.currentTimeMs, 350.0f, 0.5f);

    player.updateOnFoot(0.25f, WalkControls{}, model, model.ownPose);
    EXPECT_EQ(player.gait, 0);
    EXPECT_FLOAT_EQ(model.ownPose.currentTimeMs, 100.0f);
    EXPECT_EQ(player.position.y, 0.0f);
}

}  // namespace
