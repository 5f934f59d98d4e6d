// The default data read by the game's own loaders: every file loads without
// a message, and the player model meets what the game's code is written
// around (the hand holding the gun's muzzle, the aim, the feet).

#include "assets/model_3ds.h"
#include "assets/model_ms3d.h"
#include "assets/texture.h"
#include "sim/player.h"
#include "sim/weapon.h"

#include "game_folder.h"
#include "offscreen_gl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {


class DefaultData : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(gl.ok()); }
    const std::vector<RecordedMessageBox>& boxes() const { return gl.platform.messageBoxes(); }

    GameFolder folder;
    OffscreenGl gl;
};

TEST_F(DefaultData, EveryFileLoadsThroughOurLoadersWithoutAMessage)
{
    LoadReport report;
    Model3ds car, wheel;
    report.append(car.load("car.3ds"));
    report.append(wheel.load("wheel.3ds"));
    EXPECT_FALSE(car.objects.empty());
    EXPECT_FALSE(wheel.objects.empty());
    ModelMs3d gun, player, sky;
    EXPECT_TRUE(gun.load("data\\gun.ms3d", report));
    EXPECT_TRUE(player.load("data\\model.ms3d", report));
    EXPECT_TRUE(sky.load("sky.ms3d", report));
    for (const ModelMs3d* model : {&gun, &player, &sky})
        for (const ModelMaterial& material : model->materials)
            EXPECT_NE(material.texture, 0u) << material.textureFile;
    for (const char* texture : {"grass14.bmp", "aasdf.tga", "fire//12001.bmp", "fire//12015.bmp"}) {
        const TextureLoad loaded = loadTexture(texture);
        EXPECT_NE(loaded.id, 0u) << texture;
        report.append(loaded.report);
    }
    EXPECT_FALSE(report.fatal);
    for (const LoadMessage& message : report.messages)
        ADD_FAILURE() << message.caption << ": " << message.text;
}

TEST_F(DefaultData, TheHandHoldsTheMuzzleAheadAndTheFeetStandOnTheGround)
{
    ModelMs3d player, gun;
    LoadReport report;
    ASSERT_TRUE(player.load("data\\model.ms3d", report));
    ASSERT_TRUE(gun.load("data\\gun.ms3d", report));
    ASSERT_GT(player.joints.size(), static_cast<std::size_t>(kGunJoint));

    // The gun's barrel ends at the muzzle point of the hand's frame.
    float barrelEnd = -1e9f;
    for (const ModelVertex& v : gun.vertices)
        barrelEnd = std::max(barrelEnd, v.position[0]);
    EXPECT_NEAR(barrelEnd, kMuzzleInHand.x, 0.01f);

    player.setAnimationStart(kWalkStartMs);
    player.restartAnimation();

    // Standing at exactly 4200 ms: the lowest point of the skin is the sole, at -35.
    std::vector<SkinnedCorner> corners;
    player.skinAll(corners);
    float lowest = 1e9f;
    for (const SkinnedCorner& c : corners)
        lowest = std::min(lowest, c.position[1]);
    EXPECT_NEAR(lowest, -35.0f, 0.5f);

    // Through the whole walk the shot leaves ahead of the player (model +z)
    // from a point in front of the body.
    for (int step = 0; step < 60; ++step) {
        float muzzle[3] = {kMuzzleInHand.x, kMuzzleInHand.y, kMuzzleInHand.z};
        float aim[3] = {300.0f, 0.0f, 0.0f};
        player.transformByJoint(kGunJoint, muzzle, true);
        player.transformByJoint(kGunJoint, aim, false);
        EXPECT_GT(aim[2] / 300.0f, std::cos(10.0f * static_cast<float>(M_PI) / 180.0f)) << "step " << step;
        EXPECT_GT(muzzle[2], 5.0f) << "step " << step;
        EXPECT_TRUE(std::isfinite(muzzle[0]) && std::isfinite(muzzle[1]) && std::isfinite(muzzle[2]));
        player.advance(20.0);
    }
}

}  // namespace
