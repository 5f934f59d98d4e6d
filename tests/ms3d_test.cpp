#include "assets/model_ms3d.h"
#include "ms3d_builder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

namespace {

bool loadBytes(ModelMs3d& model, const std::vector<std::uint8_t>& bytes, const char* fileName = "model.ms3d",
               std::string* reason = nullptr)
{
    return model.loadFromMemory(bytes, fileName, reason);
}

// Corner positions and normals after skinning, in draw order.
std::vector<SkinnedCorner> skinned(const SkinnedModel& model)
{
    std::vector<SkinnedCorner> corners;
    model.skinAll(corners);
    return corners;
}

void expectAllFinite(const SkinnedModel& model)
{
    for (const SkinnedCorner& c : skinned(model)) {
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(std::isfinite(c.normal[i]));
            ASSERT_TRUE(std::isfinite(c.position[i]));
        }
    }
    for (const JointPose& joint : model.ownPose.joints)
        for (int i = 0; i < 16; ++i)
            ASSERT_TRUE(std::isfinite(joint.matrix[i]));
}

// The arm joint's translation relative to its bind pose, read from the
// corner at vertex 1 (bind position (1, 0, 0)).
float armLift(const SkinnedModel& model) { return skinned(model)[1].position[1]; }

TEST(Ms3dRead, KeepsWhatTheFileHolds)
{
    Ms3dBuilder b = twoJointModel();
    b.joints[1].rotationKeys = {{0.5f, {0, 0, 0}}, {1.25f, {0, 0, 0}}};
    b.groups.push_back({{1}, -1});
    ModelMs3d model;
    std::string reason;
    ASSERT_TRUE(loadBytes(model, b.bytes(), "model.ms3d", &reason)) << reason;  // version 4 like 3

    EXPECT_FLOAT_EQ(model.triangles[0].t[2], 0.0f);  // 1 - t
    EXPECT_EQ(model.groups[1].materialIndex, -1);  // 0xFF sign-extended
    EXPECT_DOUBLE_EQ(model.totalTimeMs, 1250.0);   // 30 frames at 24 per second

    ASSERT_EQ(model.joints.size(), 2u);
    EXPECT_EQ(model.joints[0].parent, -1);
    EXPECT_EQ(model.joints[1].parent, 0);
    EXPECT_EQ(model.joints[1].rotationKeys[0].timeMs, 500.0f);
    EXPECT_EQ(model.joints[1].rotationKeys[1].timeMs, 1250.0f);

    // Vertices are kept in their joint's bind space, and the bind pose draws
    // them back where the file put them.
    EXPECT_FLOAT_EQ(model.vertices[1].position[0], 0.0f);
    const std::vector<SkinnedCorner> corners = skinned(model);
    ASSERT_EQ(corners.size(), 9u);
    EXPECT_FLOAT_EQ(corners[1].position[0], 1.0f);
    EXPECT_FLOAT_EQ(corners[2].position[1], 1.0f);

    b.version = 3;
    ModelMs3d v3;
    EXPECT_TRUE(loadBytes(v3, b.bytes()));
    b.version = 2;
    ModelMs3d v2;
    EXPECT_FALSE(loadBytes(v2, b.bytes(), "model.ms3d", &reason));
    EXPECT_EQ(reason, "MS3D version 2 is below 3");
}

TEST(Ms3dRead, TexturePaths)
{
    EXPECT_EQ(ms3dDirectoryPrefix("data\\model.ms3d"), "data/");
    EXPECT_EQ(ms3dDirectoryPrefix("a/b\\c.ms3d"), "a/b/");
    EXPECT_EQ(ms3dDirectoryPrefix("sky.ms3d"), "");
    EXPECT_EQ(ms3dDirectoryPrefix(""), "");

    Ms3dBuilder b = twoJointModel();
    const std::string full(128, 'x');  // fills the field: no terminator
    b.materials = {{".\\skin.bmp"}, {"textures\\a.tga"}, {""}, {full}, {".\\" + std::string(126, 'y')}};
    ModelMs3d model;
    ASSERT_TRUE(loadBytes(model, b.bytes(), "data\\model.ms3d"));
    EXPECT_EQ(model.materials[0].textureFile, "data/skin.bmp");
    EXPECT_EQ(model.materials[1].textureFile, "textures\\a.tga");  // relative to the working directory
    EXPECT_EQ(model.materials[2].textureFile, "");
    EXPECT_EQ(model.materials[3].textureFile, full);
    EXPECT_EQ(model.materials[2].texture, 0u);

    ModelMs3d sky;
    ASSERT_TRUE(loadBytes(sky, b.bytes(), "sky.ms3d"));
    EXPECT_EQ(sky.materials[0].textureFile, "skin.bmp");

    // A deep folder and a full-width name make a path far longer than any
    // fixed buffer would hold; it is composed whole.
    const std::string deep = std::string(300, 'd') + "/model.ms3d";
    ModelMs3d deepModel;
    ASSERT_TRUE(loadBytes(deepModel, b.bytes(), deep.c_str()));
    EXPECT_EQ(deepModel.materials[4].textureFile, std::string(300, 'd') + "/" + std::string(126, 'y'));
}

// A file damaged anywhere is refused and the model keeps what it held.
TEST(Ms3dRead, RefusesDamagedFilesAndKeepsTheModel)
{
    const std::vector<std::uint8_t> good = twoJointModel().bytes();
    ModelMs3d model;
    ASSERT_TRUE(loadBytes(model, good));
    for (std::size_t size = 0; size < good.size(); ++size) {
        const std::vector<std::uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size));
        ASSERT_FALSE(loadBytes(model, cut)) << "cut at " << size;
    }
    EXPECT_EQ(model.vertices.size(), 4u);
    EXPECT_EQ(model.joints.size(), 2u);

    auto refused = [&](const Ms3dBuilder& b, const char* expected) {
        std::string reason;
        EXPECT_FALSE(loadBytes(model, b.bytes(), "model.ms3d", &reason)) << expected;
        EXPECT_NE(reason.find(expected), std::string::npos) << reason;
        EXPECT_EQ(model.triangles.size(), 2u);
    };
    Ms3dBuilder b = twoJointModel();
    b.vertices[2].joint = 2;
    refused(b, "vertex names joint 2 of 2");
    b.vertices[2].joint = -2;
    refused(b, "vertex names joint -2");
    b = twoJointModel();
    b.triangles[1].vertices[1] = 4;
    refused(b, "triangle names vertex 4 of 4");
    b = twoJointModel();
    b.groups[0].triangles.push_back(2);
    refused(b, "group names triangle 2 of 2");
    b = twoJointModel();
    b.groups[0].material = 1;
    refused(b, "group names material 1 of 1");
    b = twoJointModel();
    b.vertices[0].position[1] = NAN;
    refused(b, "vertex position");
    b = twoJointModel();
    b.triangles[0].normals[1][2] = INFINITY;
    refused(b, "normal");
    b = twoJointModel();
    b.joints[1].translationKeys[1].timeSeconds = 1e38f;  // infinite in milliseconds
    refused(b, "keyframe");
    b = twoJointModel();
    b.joints[0].position[0] = 1e30f;
    refused(b, "bind pose");

    std::vector<std::uint8_t> renamed = good;
    renamed[3] = 'X';
    std::string reason;
    EXPECT_FALSE(loadBytes(model, renamed, "model.ms3d", &reason));
    EXPECT_EQ(reason, "not an MS3D file");
    EXPECT_EQ(model.vertices.size(), 4u);
}

// A parent that is missing, the joint itself or a later joint: the load
// fails, but what the game may still draw stays, and it is safe to pose.
TEST(Ms3dRead, BrokenSkeletonKeepsGeometry)
{
    for (const char* parent : {"nobody", "arm", "hand"}) {
        Ms3dBuilder b = twoJointModel();
        Ms3dBuilder::Joint hand;
        hand.name = "hand";
        hand.parent = "arm";
        hand.rotationKeys = {{0.0f, {0, 0, 1}}};
        b.joints.push_back(hand);
        b.joints[1].parent = parent;
        ModelMs3d model;
        std::string reason;
        EXPECT_FALSE(loadBytes(model, b.bytes(), "model.ms3d", &reason)) << parent;
        EXPECT_NE(reason.find("arm names a parent"), std::string::npos) << reason;
        EXPECT_EQ(model.triangles.size(), 2u);
        EXPECT_EQ(model.materials.size(), 1u);
        ASSERT_EQ(model.joints.size(), 3u);
        EXPECT_EQ(model.joints[0].name, "root");
        EXPECT_EQ(model.joints[1].name, "");  // not filled in
        EXPECT_TRUE(model.joints[2].rotationKeys.empty());
        // No bind pose: the vertices draw where the file put them.
        EXPECT_FLOAT_EQ(skinned(model)[1].position[0], 1.0f);
        model.advance(300.0);
        model.restartAnimation();
        expectAllFinite(model);
    }
}

// Keys at 0 ms (offset 0) and 1000 ms (offset 4) on the arm.
TEST(Ms3dAnimation, InterpolatesKeys)
{
    Ms3dBuilder b = twoJointModel();
    ModelMs3d model;
    ASSERT_TRUE(loadBytes(model, b.bytes()));
    EXPECT_EQ(model.ownPose.currentTimeMs, 0.0f);
    EXPECT_EQ(armLift(model), 0.0f);  // exactly the first key
    model.advance(250.0);
    EXPECT_FLOAT_EQ(armLift(model), 1.0f);
    model.advance(750.0);  // exactly at the second key: the pair ending there, u = 1
    EXPECT_EQ(model.ownPose.currentTimeMs, 1000.0f);
    EXPECT_EQ(armLift(model), 4.0f);
    model.advance(200.0);  // past the last key
    EXPECT_EQ(armLift(model), 4.0f);
    // The root has no keys: its vertices stay in their bind position.
    const std::vector<SkinnedCorner> corners = skinned(model);
    EXPECT_FLOAT_EQ(corners[0].position[0], 0.0f);
    EXPECT_FLOAT_EQ(corners[5].position[1], 1.0f);

    // Past the end: back to the start exactly, overshoot dropped.
    model.advance(100.0);
    EXPECT_EQ(model.ownPose.currentTimeMs, 0.0f);
    EXPECT_EQ(armLift(model), 0.0f);
    model.advance(500.0);
    EXPECT_FLOAT_EQ(armLift(model), 2.0f);

    model.looping = false;
    model.advance(5000.0);
    EXPECT_EQ(model.ownPose.currentTimeMs, 1250.0f);
    EXPECT_EQ(armLift(model), 4.0f);
}

TEST(Ms3dAnimation, RotationsFollowTheHierarchy)
{
    // Rotating the root a quarter turn about z carries the arm with it.
    Ms3dBuilder b = twoJointModel();
    b.joints[0].rotationKeys = {{0.0f, {0, 0, 0}}, {1.0f, {0, 0, std::numbers::pi_v<float>}}};
    b.joints[1].translationKeys = {{0.0f, {0, 0, 0}}};  // without keys it would keep its bind pose
    ModelMs3d model;
    ASSERT_TRUE(loadBytes(model, b.bytes()));
    model.advance(500.0);
    const std::vector<SkinnedCorner> corners = skinned(model);
    // Vertex 1 at (1, 0, 0) turns to (0, 1, 0), vertex 2 at (1, 1, 0) to (-1, 1, 0).
    EXPECT_NEAR(corners[1].position[0], 0.0f, 1e-6f);
    EXPECT_NEAR(corners[1].position[1], 1.0f, 1e-6f);
    EXPECT_NEAR(corners[2].position[0], -1.0f, 1e-6f);
    // Normals turn with the joint but stay unit length; (0, 0, 1) is on the axis.
    EXPECT_NEAR(corners[1].normal[2], 1.0f, 1e-6f);

    float muzzle[3] = {0, 0, 0};
    model.transformByJoint(1, muzzle, true);
    EXPECT_NEAR(muzzle[0], 0.0f, 1e-6f);
    EXPECT_NEAR(muzzle[1], 1.0f, 1e-6f);
    float direction[3] = {1, 0, 0};
    model.transformByJoint(1, direction, false);
    EXPECT_NEAR(direction[1], 1.0f, 1e-6f);
    // The game asks for joint 37 of whatever loaded: outside the skeleton the
    // vector is left alone rather than read from past the array.
    float far[3] = {1, 2, 3};
    model.transformByJoint(37, far, true);
    model.transformByJoint(-1, far, false);
    EXPECT_EQ(far[2], 3.0f);
}

TEST(Ms3dAnimation, StartTimesAndRestart)
{
    Ms3dBuilder b = twoJointModel();
    ModelMs3d model;
    ASSERT_TRUE(loadBytes(model, b.bytes()));
    model.setAnimationStart(500);
    EXPECT_EQ(model.startTimeMs, 500.0f);
    EXPECT_EQ(model.ownPose.currentTimeMs, 0.0f);  // only the next restart uses it
    model.advance(800.0);
    model.restartAnimation();
    EXPECT_EQ(model.ownPose.currentTimeMs, 500.0f);
    EXPECT_FLOAT_EQ(armLift(model), 2.0f);
    model.advance(800.0);  // 1300 > 1250: back to 500
    EXPECT_EQ(model.ownPose.currentTimeMs, 500.0f);

    // A start past the end (the game's 4200 on a short file) holds the
    // start pose instead of restarting forever.
    model.setAnimationStart(4200);
    model.restartAnimation();
    EXPECT_EQ(model.ownPose.currentTimeMs, 4200.0f);
    EXPECT_EQ(armLift(model), 4.0f);
    model.advance(16.0);
    EXPECT_EQ(model.ownPose.currentTimeMs, 4200.0f);
    EXPECT_EQ(armLift(model), 4.0f);

    // A clock moved backwards, or by an absurd step, never poses into NaN.
    model.setAnimationStart(0);
    model.restartAnimation();
    model.advance(900.0);
    model.advance(-850.0);
    expectAllFinite(model);
    model.advance(-1e300);
    expectAllFinite(model);
    model.advance(NAN);
    expectAllFinite(model);

    // Keys a microsecond apart and a clock sent far back between them: the
    // blend must not extrapolate by a factor of 1e36 into infinity.
    b.joints[1].translationKeys = {{0.0f, {0, 0, 0}}, {1e-9f, {1e15f, 0, 0}}};
    ASSERT_TRUE(loadBytes(model, b.bytes()));
    model.advance(5e-7);
    model.advance(-1e30);
    expectAllFinite(model);
}

TEST(Ms3dAnimation, LopsidedJointsAndOddFiles)
{
    // Rotation keys only: the missing translation channel adds nothing.
    Ms3dBuilder b = twoJointModel();
    b.joints[1].translationKeys.clear();
    b.joints[1].rotationKeys = {{0.0f, {0, 0, 0}}};
    ModelMs3d model;
    ASSERT_TRUE(loadBytes(model, b.bytes()));
    EXPECT_FLOAT_EQ(skinned(model)[1].position[0], 1.0f);
    EXPECT_FLOAT_EQ(armLift(model), 0.0f);

    // A zero normal on a skinned corner, a frame rate of zero, and
    // a negative frame count: nothing is NaN and the clock holds.
    b.triangles[0].normals[1][2] = 0.0f;
    b.framesPerSecond = 0.0f;
    b.frameCount = 0;
    ASSERT_TRUE(loadBytes(model, b.bytes()));
    EXPECT_EQ(model.totalTimeMs, 0.0);
    const SkinnedCorner zero = skinned(model)[1];
    EXPECT_EQ(zero.normal[1], 1.0f);
    model.advance(10.0);
    EXPECT_EQ(model.ownPose.currentTimeMs, 0.0f);
    expectAllFinite(model);
    b.framesPerSecond = 24.0f;
    b.frameCount = -5;
    ASSERT_TRUE(loadBytes(model, b.bytes()));
    EXPECT_EQ(model.totalTimeMs, 0.0);

    // An unattached vertex ignores every pose.
    b = twoJointModel();
    b.vertices[1].joint = -1;
    ASSERT_TRUE(loadBytes(model, b.bytes()));
    model.advance(1000.0);
    EXPECT_EQ(armLift(model), 0.0f);
    EXPECT_EQ(skinned(model)[1].normal[2], 1.0f);

    // A model that never loaded draws nothing and animates harmlessly.
    ModelMs3d empty;
    empty.setAnimationStart(4200);
    empty.restartAnimation();
    empty.advance(33.0);
    EXPECT_TRUE(skinned(empty).empty());
}

}  // namespace
