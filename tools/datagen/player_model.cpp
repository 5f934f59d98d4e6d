// The player: a low-polygon soldier skinned to a 38-joint skeleton, with a
// looping walk, and the gun he holds.
//
// Model frame: y up, the player faces +z, his right hand side is -x, the soles
// are at y = -35 (the game lifts the model by 35 and scales it by 0.25, so he
// stands on the ground about 18 units tall). Joint 37 is the right hand: its
// frame has +x forward (the aim), +y up, so the gun modelled in that frame
// fires ahead of the player with its muzzle at (20, 2, 5).
//
// Every joint has keys, even those that never move: the animation code poses
// a joint without keys at its bind pose in model space, which would leave it
// behind when the body it hangs from moves.

#include "tools/datagen/datagen.h"
#include "tools/datagen/noise.h"
#include "tools/datagen/skeleton_math.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace datagen {

namespace {

constexpr float kPi = 3.14159265358979323846f;
constexpr int kWalkKeys = 16;  // keys per walk cycle (plus the closing one)

struct JointDef {
    const char* name;
    int parent;
    V3 position;  // bind pose, model space
};

// Parents before children; joint 37 (the right hand) last. The hand joint sits
// beside the grip rather than at the wrist: its frame is the gun's frame.
const JointDef kJoints[] = {
    {"pelvis", -1, {0.0f, 0.0f, 0.0f}},          // 0
    {"spine_lower", 0, {0.0f, 5.0f, 0.0f}},      // 1
    {"spine_upper", 1, {0.0f, 11.0f, 0.0f}},     // 2
    {"chest", 2, {0.0f, 17.0f, 0.0f}},           // 3
    {"neck", 3, {0.0f, 24.0f, 0.0f}},            // 4
    {"head", 4, {0.0f, 27.5f, 0.0f}},            // 5
    {"head_end", 5, {0.0f, 36.0f, 0.0f}},        // 6
    {"hip_l", 0, {3.6f, -3.0f, 0.0f}},           // 7
    {"knee_l", 7, {3.6f, -17.5f, 0.3f}},         // 8
    {"ankle_l", 8, {3.6f, -31.0f, 0.0f}},        // 9
    {"ball_l", 9, {3.6f, -33.5f, 4.6f}},         // 10
    {"toe_l", 10, {3.6f, -34.0f, 7.6f}},         // 11
    {"hip_r", 0, {-3.6f, -3.0f, 0.0f}},          // 12
    {"knee_r", 12, {-3.6f, -17.5f, 0.3f}},       // 13
    {"ankle_r", 13, {-3.6f, -31.0f, 0.0f}},      // 14
    {"ball_r", 14, {-3.6f, -33.5f, 4.6f}},       // 15
    {"toe_r", 15, {-3.6f, -34.0f, 7.6f}},        // 16
    {"clavicle_l", 3, {2.0f, 22.0f, 0.0f}},      // 17
    {"shoulder_l", 17, {9.5f, 22.3f, 0.0f}},     // 18
    {"elbow_l", 18, {10.0f, 10.8f, 0.0f}},       // 19
    {"wrist_l", 19, {10.5f, 0.2f, 0.5f}},        // 20
    {"thumb1_l", 20, {10.2f, -1.0f, 2.0f}},      // 21
    {"thumb2_l", 21, {10.2f, -3.0f, 2.6f}},      // 22
    {"index1_l", 20, {10.5f, -4.6f, 1.4f}},      // 23
    {"index2_l", 23, {10.5f, -6.4f, 1.4f}},      // 24
    {"fingers1_l", 20, {10.5f, -4.6f, -0.4f}},   // 25
    {"fingers2_l", 25, {10.5f, -6.4f, -0.4f}},   // 26
    {"clavicle_r", 3, {-2.0f, 22.0f, 0.0f}},     // 27
    {"shoulder_r", 27, {-9.5f, 22.3f, 0.0f}},    // 28
    {"elbow_r", 28, {-10.0f, 11.0f, 0.8f}},      // 29
    {"wrist_r", 29, {-10.0f, 11.0f, 12.0f}},     // 30
    {"thumb1_r", 30, {-11.9f, 11.0f, 14.0f}},    // 31
    {"thumb2_r", 31, {-11.9f, 11.6f, 16.0f}},    // 32
    {"index1_r", 30, {-10.0f, 11.0f, 16.5f}},    // 33
    {"index2_r", 33, {-7.9f, 11.0f, 16.5f}},     // 34
    {"fingers1_r", 30, {-10.0f, 8.6f, 16.5f}},   // 35
    {"fingers2_r", 35, {-8.1f, 8.6f, 16.5f}},    // 36
    {"hand_r", 30, {-5.0f, 11.5f, 12.0f}},       // 37
};
constexpr int kJointCount = static_cast<int>(std::size(kJoints));
static_assert(kJointCount == kHandJoint + 1, "the right hand must be joint 37");

// Joint 37 turns a quarter turn about y: its +x is the model's +z (forward),
// its +z the model's -x (the player's right).
constexpr V3 kHandRotation{0.0f, -kPi / 2.0f, 0.0f};

// A hand-frame point in model space at the bind pose.
V3 handToModel(V3 p)
{
    const V3 o = kJoints[kHandJoint].position;
    return {o.x - p.z, o.y + p.y, o.z + p.x};
}

// Texture atlas of "skin.bmp", a little inset so that filtering does not
// bleed across regions.
constexpr float kInset = 2.0f / 256.0f;
constexpr UvRect region(float u0, float v0, float u1, float v1)
{
    return {u0 + kInset, v0 + kInset, u1 - kInset, v1 - kInset};
}
constexpr UvRect kSkinUv = region(0.0f, 0.75f, 0.25f, 1.0f);
constexpr UvRect kFaceUv = region(0.25f, 0.75f, 0.5f, 1.0f);
constexpr UvRect kHairUv = region(0.5f, 0.75f, 0.75f, 1.0f);
constexpr UvRect kGloveUv = region(0.75f, 0.75f, 1.0f, 1.0f);
constexpr UvRect kShirtUv = region(0.0f, 0.5f, 0.5f, 0.75f);
constexpr UvRect kBeltUv = region(0.5f, 0.5f, 1.0f, 0.75f);
constexpr UvRect kTrousersUv = region(0.0f, 0.25f, 0.5f, 0.5f);
constexpr UvRect kBootUv = region(0.5f, 0.25f, 1.0f, 0.5f);

std::int8_t j(int index) { return static_cast<std::int8_t>(index); }

// A limb between two joints' bind positions, skinned to the first.
void limb(Mesh& mesh, int from, V3 a, V3 b, V3 side, float width0, float depth0, float width1, float depth1,
          UvRect uv)
{
    addSegment(mesh, a, b, side, width0, depth0, width1, depth1, sameUvOnAllFaces(uv), j(from));
}

Mesh buildBody()
{
    Mesh m;
    const V3 x{1.0f, 0.0f, 0.0f}, y{0.0f, 1.0f, 0.0f};
    // Trunk and head.
    addBox(m, {-6.0f, -5.5f, -3.6f}, {6.0f, 3.0f, 3.6f}, kTrousersUv, j(0));
    addBox(m, {-6.2f, 1.4f, -3.8f}, {6.2f, 3.4f, 3.8f}, kBeltUv, j(0));
    addBox(m, {-5.6f, 3.0f, -3.4f}, {5.6f, 11.2f, 3.4f}, kShirtUv, j(1));
    limb(m, 2, {0.0f, 11.0f, 0.0f}, {0.0f, 17.2f, 0.0f}, x, 11.6f, 7.0f, 13.6f, 8.0f, kShirtUv);
    limb(m, 3, {0.0f, 17.0f, 0.0f}, {0.0f, 24.5f, 0.0f}, x, 13.6f, 8.0f, 12.4f, 6.6f, kShirtUv);
    limb(m, 4, {0.0f, 24.0f, -0.3f}, {0.0f, 28.5f, -0.3f}, x, 3.6f, 3.6f, 3.4f, 3.4f, kSkinUv);
    {
        std::array<V3, 8> head{};
        for (std::size_t i = 0; i < 8; ++i)
            head[i] = {(i & 1) ? 4.2f : -4.2f, (i & 2) ? 36.2f : 27.5f, (i & 4) ? 4.6f : -4.4f};
        std::array<UvRect, 6> uv = sameUvOnAllFaces(kHairUv);
        uv[2] = kSkinUv;  // under the chin
        uv[5] = kFaceUv;  // the face looks along +z
        addHexahedron(m, head, uv, j(5));
        addBox(m, {-0.7f, 30.3f, 4.6f}, {0.7f, 32.6f, 5.6f}, kSkinUv, j(5));            // nose
        addBox(m, {-4.5f, 35.6f, -4.8f}, {4.5f, 37.2f, 4.2f}, kHairUv, j(6));           // hair on top
    }
    // Legs: thigh, shin, boot and toe cap on each side.
    for (int side = 0; side < 2; ++side) {
        const int hip = side == 0 ? 7 : 12;
        const float sx = side == 0 ? 1.0f : -1.0f;
        const float lx = 3.6f * sx;
        limb(m, hip, {lx, -2.0f, 0.0f}, {lx, -18.0f, 0.3f}, x, 5.2f, 5.6f, 4.2f, 4.4f, kTrousersUv);
        limb(m, hip + 1, {lx, -17.2f, 0.3f}, {lx, -30.5f, 0.0f}, x, 4.2f, 4.4f, 3.4f, 3.6f, kTrousersUv);
        limb(m, hip + 2, {lx, -31.5f, 0.0f}, {lx, -27.5f, 0.0f}, x, 4.0f, 4.2f, 4.0f, 4.2f, kBootUv);
        addBox(m, {lx - 2.2f, kFeetHeight, -2.6f}, {lx + 2.2f, -30.5f, 4.6f}, kBootUv, j(hip + 2));
        addBox(m, {lx - 2.1f, kFeetHeight, 4.6f}, {lx + 2.1f, -32.2f, 7.6f}, kBootUv, j(hip + 3));
    }
    // Left arm, hanging, with an open hand.
    limb(m, 17, {2.0f, 22.3f, 0.0f}, {9.8f, 22.3f, 0.0f}, y, 4.2f, 5.0f, 4.0f, 4.4f, kShirtUv);
    limb(m, 18, {9.5f, 22.8f, 0.0f}, {10.0f, 10.5f, 0.0f}, x, 4.0f, 4.2f, 3.2f, 3.4f, kShirtUv);
    limb(m, 19, {10.0f, 11.0f, 0.0f}, {10.5f, 0.0f, 0.5f}, x, 3.2f, 3.2f, 2.6f, 2.6f, kSkinUv);
    limb(m, 20, {10.5f, 0.5f, 0.5f}, {10.5f, -4.8f, 0.5f}, x, 1.8f, 3.4f, 1.6f, 3.6f, kGloveUv);
    limb(m, 21, {10.2f, -1.0f, 2.0f}, {10.2f, -3.0f, 2.6f}, x, 1.2f, 1.2f, 1.1f, 1.1f, kGloveUv);
    limb(m, 22, {10.2f, -3.0f, 2.6f}, {10.2f, -4.6f, 2.8f}, x, 1.1f, 1.1f, 1.0f, 1.0f, kGloveUv);
    limb(m, 23, {10.5f, -4.6f, 1.4f}, {10.5f, -6.4f, 1.4f}, x, 1.3f, 1.2f, 1.2f, 1.1f, kGloveUv);
    limb(m, 24, {10.5f, -6.4f, 1.4f}, {10.5f, -7.8f, 1.3f}, x, 1.2f, 1.1f, 1.1f, 1.0f, kGloveUv);
    limb(m, 25, {10.5f, -4.6f, -0.4f}, {10.5f, -6.4f, -0.4f}, x, 1.4f, 2.4f, 1.3f, 2.3f, kGloveUv);
    limb(m, 26, {10.5f, -6.4f, -0.4f}, {10.5f, -7.6f, -0.4f}, x, 1.3f, 2.3f, 1.2f, 2.2f, kGloveUv);
    // Right arm: upper arm down, forearm forward, the fist round the grip.
    limb(m, 27, {-2.0f, 22.3f, 0.0f}, {-9.8f, 22.3f, 0.0f}, y, 4.2f, 5.0f, 4.0f, 4.4f, kShirtUv);
    limb(m, 28, {-9.5f, 22.8f, 0.0f}, {-10.0f, 10.2f, 0.8f}, x, 4.0f, 4.2f, 3.2f, 3.4f, kShirtUv);
    limb(m, 29, {-10.0f, 11.0f, -0.8f}, {-10.0f, 11.0f, 12.5f}, x, 3.2f, 3.2f, 2.6f, 2.6f, kSkinUv);
    limb(m, 30, {-10.0f, 11.0f, 12.0f}, {-10.0f, 10.6f, 13.6f}, x, 2.8f, 3.0f, 3.2f, 3.4f, kGloveUv);
    {
        // The fist in the hand's own frame, then into the model.
        const V3 lo = handToModel({0.8f, -3.8f, 7.4f}), hi = handToModel({4.6f, 1.0f, 2.6f});
        addBox(m, lo, hi, kGloveUv, j(kHandJoint));
    }
    addBox(m, {-12.4f, 10.5f, 13.8f}, {-11.4f, 12.5f, 16.0f}, kGloveUv, j(31));
    addBox(m, {-12.4f, 11.0f, 16.0f}, {-11.4f, 12.2f, 17.3f}, kGloveUv, j(32));
    addBox(m, {-11.6f, 10.3f, 16.3f}, {-8.4f, 11.7f, 17.7f}, kGloveUv, j(33));
    addBox(m, {-8.6f, 10.3f, 15.2f}, {-7.6f, 11.7f, 17.6f}, kGloveUv, j(34));
    addBox(m, {-11.6f, 7.2f, 16.3f}, {-8.4f, 10.1f, 17.7f}, kGloveUv, j(35));
    addBox(m, {-8.6f, 7.2f, 15.2f}, {-7.6f, 10.1f, 17.6f}, kGloveUv, j(36));
    return m;
}

// The walk, as rotations (about x, radians) of the joints that move, at phase
// 0 to 2 pi. Phase 0 is the standing pose: every angle is zero there, so the
// first key is the bind pose and the loop closes on it.
struct WalkPose {
    float hip[2], knee[2], ankle[2];  // [0] left, [1] right
    float shoulderLeft, elbowLeft;
};

WalkPose walkPose(float phase)
{
    const float hipSwing = 26.0f * kPi / 180.0f, kneeBend = 40.0f * kPi / 180.0f;
    WalkPose p{};
    const float s = std::sin(phase), c = std::cos(phase);
    // Negative angles swing a limb forward; the legs alternate.
    p.hip[1] = -hipSwing * s;
    p.hip[0] = hipSwing * s;
    // A leg bends at the knee while it swings forward.
    const float bend = kneeBend * std::fabs(std::sin(2.0f * phase));
    p.knee[1] = c > 0.0f ? bend : 0.0f;
    p.knee[0] = c < 0.0f ? bend : 0.0f;
    for (int i = 0; i < 2; ++i)
        p.ankle[i] = -0.6f * (p.hip[i] + p.knee[i]);  // keeps the sole near flat
    // The free arm swings against the leg on its side; the gun arm stays on aim.
    p.shoulderLeft = 0.8f * p.hip[1];
    p.elbowLeft = -0.35f * std::max(0.0f, -s);
    return p;
}

}  // namespace

std::vector<Rigid> poseSkeleton(const Ms3dModelOut& model, float timeMs)
{
    // Mirrors the game's keyframe search: a key is passed only while its time
    // is strictly below the clock; values are interpolated linearly.
    const auto sample = [timeMs](const std::vector<Ms3dKeyOut>& keys) {
        std::size_t f = 0;
        while (f < keys.size() && static_cast<float>(keys[f].timeSeconds * 1000.0) < timeMs)
            ++f;
        if (f == 0)
            return keys.front().value;
        if (f == keys.size())
            return keys.back().value;
        const Ms3dKeyOut& a = keys[f - 1];
        const Ms3dKeyOut& b = keys[f];
        const float ta = static_cast<float>(a.timeSeconds * 1000.0), tb = static_cast<float>(b.timeSeconds * 1000.0);
        const float u = (timeMs - ta) / (tb - ta);
        return a.value + (b.value - a.value) * u;
    };
    std::vector<Rigid> pose(model.joints.size());
    for (std::size_t i = 0; i < model.joints.size(); ++i) {
        const Ms3dJointOut& joint = model.joints[i];
        Rigid local = Rigid::fromEuler(joint.rotation, joint.position);
        if (!joint.rotationKeys.empty() && !joint.translationKeys.empty())
            local = local.then(Rigid::fromEuler(sample(joint.rotationKeys), sample(joint.translationKeys)));
        int parent = -1;
        for (std::size_t k = 0; k < i; ++k)
            if (model.joints[k].name == joint.parentName)
                parent = static_cast<int>(k);
        pose[i] = parent < 0 ? local : pose[static_cast<std::size_t>(parent)].then(local);
    }
    return pose;
}

std::vector<Rigid> bindSkeleton(const Ms3dModelOut& model)
{
    Ms3dModelOut still = model;
    for (Ms3dJointOut& joint : still.joints) {
        joint.rotationKeys.clear();
        joint.translationKeys.clear();
    }
    return poseSkeleton(still, 0.0f);
}

Ms3dModelOut buildPlayerModel()
{
    Ms3dModelOut model;
    Ms3dMaterialOut skin;
    skin.name = "soldier";
    skin.ambient[0] = skin.ambient[1] = skin.ambient[2] = 0.4f;
    skin.diffuse[0] = skin.diffuse[1] = skin.diffuse[2] = 0.9f;
    skin.specular[0] = skin.specular[1] = skin.specular[2] = 0.1f;
    skin.shininess = 8.0f;
    skin.texture = ".\\skin.bmp";
    model.materials.push_back(skin);
    model.groups.push_back({"soldier", buildBody(), 0});

    model.framesPerSecond = 25.0f;
    model.totalFrames = static_cast<std::int32_t>(std::lround(kWalkEndSeconds * model.framesPerSecond));
    model.currentTime = kWalkStartSeconds;

    for (int i = 0; i < kJointCount; ++i) {
        const JointDef& d = kJoints[i];
        Ms3dJointOut joint;
        joint.name = d.name;
        joint.parentName = d.parent < 0 ? "" : kJoints[d.parent].name;
        joint.position = d.parent < 0 ? d.position : d.position - kJoints[d.parent].position;
        joint.rotation = i == kHandJoint ? kHandRotation : V3{};
        model.joints.push_back(joint);
    }

    // Keys: the walk's joints at every step of the cycle, the others only at
    // its two ends (so they follow their parents).
    const int moving[] = {0, 7, 8, 9, 12, 13, 14, 18, 19};
    for (int i = 0; i < kJointCount; ++i) {
        Ms3dJointOut& joint = model.joints[static_cast<std::size_t>(i)];
        const bool moves = std::find(std::begin(moving), std::end(moving), i) != std::end(moving);
        const int steps = moves ? kWalkKeys : 1;
        for (int k = 0; k <= steps; ++k) {
            const float fraction = static_cast<float>(k) / static_cast<float>(steps);
            const float t = kWalkStartSeconds + fraction * (kWalkEndSeconds - kWalkStartSeconds);
            const WalkPose p = walkPose(2.0f * kPi * fraction);
            float angle = 0.0f;
            switch (i) {
            case 7: angle = p.hip[0]; break;
            case 8: angle = p.knee[0]; break;
            case 9: angle = p.ankle[0]; break;
            case 12: angle = p.hip[1]; break;
            case 13: angle = p.knee[1]; break;
            case 14: angle = p.ankle[1]; break;
            case 18: angle = p.shoulderLeft; break;
            case 19: angle = p.elbowLeft; break;
            default: break;
            }
            // The closing key repeats the first exactly, so the loop has no seam.
            if (k == steps)
                angle = joint.rotationKeys.front().value.x;
            joint.rotationKeys.push_back({t, {angle, 0.0f, 0.0f}});
            joint.translationKeys.push_back({t, {}});
        }
    }

    // Lower the pelvis at each key so that the lower foot stays on the ground.
    const Mesh& body = model.groups.front().mesh;
    const std::vector<Rigid> bind = bindSkeleton(model);
    Ms3dJointOut& pelvis = model.joints.front();
    for (std::size_t k = 0; k < pelvis.translationKeys.size(); ++k) {
        const float timeMs = static_cast<float>(pelvis.translationKeys[k].timeSeconds * 1000.0);
        const std::vector<Rigid> pose = poseSkeleton(model, timeMs);
        float lowest = 1e9f;
        for (std::size_t v = 0; v < body.positions.size(); ++v) {
            const auto joint = static_cast<std::size_t>(body.joints[v]);
            lowest = std::min(lowest, pose[joint].point(bind[joint].inversePoint(body.positions[v])).y);
        }
        pelvis.translationKeys[k].value.y = k == 0 || k + 1 == pelvis.translationKeys.size() ? 0.0f
                                                                                             : kFeetHeight - lowest;
    }
    return model;
}

Ms3dModelOut buildGunModel()
{
    // Modelled in the hand joint's frame: +x along the barrel, +y up, the
    // barrel's axis on y = 2, z = 5, ending at the muzzle (20, 2, 5).
    const V3 muzzle = kMuzzleInHand;
    constexpr UvRect kMetal{0.0f, 0.0f, 0.5f, 1.0f}, kPolymer{0.5f, 0.0f, 1.0f, 1.0f};
    Mesh m;
    addPrism(m, {6.0f, muzzle.y, muzzle.z}, muzzle, {0.0f, 1.0f, 0.0f}, 0.8f, 8, kMetal);
    addBox(m, {-4.0f, 0.2f, 3.6f}, {8.0f, 4.0f, 6.4f}, kMetal);                              // receiver
    addBox(m, {10.0f, 0.6f, 3.9f}, {15.5f, 1.6f, 6.1f}, kPolymer);                           // handguard
    addBox(m, {16.8f, 2.8f, 4.7f}, {18.4f, 4.0f, 5.3f}, kMetal);                             // front sight
    addBox(m, {-2.0f, 4.0f, 4.5f}, {0.5f, 5.0f, 5.5f}, kMetal);                              // rear sight
    addBox(m, {5.0f, -5.5f, 4.2f}, {7.4f, 0.2f, 5.8f}, kMetal);                              // magazine
    {
        std::array<V3, 8> grip{};  // raked back, like a pistol grip
        for (std::size_t i = 0; i < 8; ++i) {
            const bool top = (i & 2) != 0;
            const float x0 = top ? 1.5f : 0.3f, x1 = top ? 4.5f : 3.3f;
            grip[i] = {(i & 1) ? x1 : x0, top ? 0.2f : -6.5f, (i & 4) ? 6.0f : 4.0f};
        }
        addHexahedron(m, grip, sameUvOnAllFaces(kPolymer));
    }
    {
        std::array<V3, 8> stock{};
        for (std::size_t i = 0; i < 8; ++i) {
            const bool back = (i & 1) == 0;
            stock[i] = {back ? -8.0f : -4.0f, (i & 2) ? 3.6f : (back ? -1.5f : 0.6f), (i & 4) ? 5.9f : 4.1f};
        }
        addHexahedron(m, stock, sameUvOnAllFaces(kPolymer));
    }

    Ms3dModelOut model;
    Ms3dMaterialOut metal;
    metal.name = "gun";
    metal.ambient[0] = metal.ambient[1] = metal.ambient[2] = 0.3f;
    metal.diffuse[0] = metal.diffuse[1] = metal.diffuse[2] = 0.8f;
    metal.specular[0] = metal.specular[1] = metal.specular[2] = 0.5f;
    metal.shininess = 40.0f;
    metal.texture = ".\\gun.bmp";
    model.materials.push_back(metal);
    model.groups.push_back({"gun", std::move(m), 0});
    model.framesPerSecond = 25.0f;
    model.totalFrames = 1;
    return model;
}

std::vector<NamedImage> buildPlayerTextures()
{
    std::vector<NamedImage> out;
    Image skin(256, 256);
    const Colour skinTone{0.86f, 0.66f, 0.52f}, hair{0.25f, 0.16f, 0.09f}, glove{0.16f, 0.14f, 0.12f};
    const Colour shirt{0.42f, 0.47f, 0.28f}, belt{0.3f, 0.22f, 0.12f}, trousers{0.3f, 0.33f, 0.22f};
    const Colour boot{0.12f, 0.1f, 0.08f};
    for (int py = 0; py < 256; ++py)
        for (int px = 0; px < 256; ++px) {
            const float u = (static_cast<float>(px) + 0.5f) / 256.0f, v = (static_cast<float>(py) + 0.5f) / 256.0f;
            const float n = periodicFbm(u * 32.0f, v * 32.0f, 32, 3, 31) - 0.5f;
            Colour c;
            if (v >= 0.75f) {
                const float lu = std::fmod(u * 4.0f, 1.0f), lv = (v - 0.75f) * 4.0f;
                if (u < 0.25f) {
                    c = skinTone;
                } else if (u < 0.5f) {
                    // The face: hair line, brows, eyes, mouth on skin.
                    c = skinTone;
                    if (lv > 0.84f)
                        c = hair;
                    const float ex = std::fabs(lu - 0.5f);
                    if (ex > 0.12f && ex < 0.3f && std::fabs(lv - 0.62f) < 0.05f)
                        c = ex > 0.17f && ex < 0.25f ? Colour{0.1f, 0.15f, 0.25f} : Colour{0.95f, 0.95f, 0.95f};
                    if (ex > 0.1f && ex < 0.32f && std::fabs(lv - 0.71f) < 0.02f)
                        c = hair;
                    if (ex < 0.16f && std::fabs(lv - 0.26f) < 0.025f)
                        c = {0.55f, 0.25f, 0.22f};
                } else if (u < 0.75f) {
                    c = mix(hair, {0.4f, 0.28f, 0.15f}, 0.5f + n);
                } else {
                    c = glove;
                }
            } else if (v >= 0.5f) {
                if (u < 0.5f) {
                    // Camouflage blotches on the shirt.
                    const float blot = periodicFbm(u * 12.0f, v * 12.0f, 12, 3, 41);
                    c = blot > 0.58f ? Colour{0.3f, 0.35f, 0.2f} : (blot < 0.4f ? Colour{0.5f, 0.5f, 0.34f} : shirt);
                } else {
                    c = std::fabs((v - 0.625f) * 8.0f) < 0.25f && std::fabs(u - 0.75f) < 0.03f ? Colour{0.7f, 0.65f, 0.4f}
                                                                                                : belt;
                }
            } else if (v >= 0.25f) {
                if (u < 0.5f) {
                    const float blot = periodicFbm(u * 12.0f, v * 12.0f, 12, 3, 43);
                    c = blot > 0.6f ? Colour{0.22f, 0.25f, 0.16f} : trousers;
                } else {
                    c = boot;
                }
            } else {
                c = shirt;
            }
            const float shade = 1.0f + 0.12f * n;
            skin.at(px, py) = toRgba({c.r * shade, c.g * shade, c.b * shade, 1.0f});
        }
    out.push_back({"data/skin.bmp", std::move(skin)});

    Image gun(128, 128);
    for (int py = 0; py < 128; ++py)
        for (int px = 0; px < 128; ++px) {
            const float u = (static_cast<float>(px) + 0.5f) / 128.0f, v = (static_cast<float>(py) + 0.5f) / 128.0f;
            const float n = periodicFbm(u * 16.0f, v * 16.0f, 16, 3, 51) - 0.5f;
            Colour c = u < 0.5f ? Colour{0.22f, 0.23f, 0.25f} : Colour{0.1f, 0.1f, 0.09f};
            if (u < 0.5f && std::fmod(v * 8.0f, 1.0f) < 0.08f)
                c = {0.12f, 0.12f, 0.13f};  // machined grooves
            if (u >= 0.5f && hashUnit(px / 2, py / 2, 0, 53) < 0.2f)
                c = {0.06f, 0.06f, 0.05f};  // stippled grip
            const float shade = 1.0f + 0.25f * n;
            gun.at(px, py) = toRgba({c.r * shade, c.g * shade, c.b * shade, 1.0f});
        }
    out.push_back({"data/gun.bmp", std::move(gun)});
    return out;
}

}  // namespace datagen
