#pragma once
// Skinned models: the player, the gun and the sky dome. A model is vertices
// (each attached to at most one joint, with full weight), triangles with a
// normal and texture coordinates per corner, groups of triangles sharing a
// material, and a skeleton of joints animated by Euler-angle and translation
// keyframes in milliseconds.
//
// After loading, every attached vertex and normal is stored in its joint's
// bind space (buildBindPose), so drawing pushes it through the joint's
// current poseMatrix. Skinning runs on the processor in draw(), every frame,
// into a buffer the model keeps, which GL reads as client vertex arrays. The keyframe search starts at a per-joint cursor, so a
// clock that only moves forward stays cheap.
//
// Whatever a model holds is safe to draw and to animate, loaded or not, even
// after a failed load: indices were checked when the file was read, joint
// queries outside the skeleton answer with the identity, and no pose or
// normal can become NaN, whatever the clock does (the reader bounds the
// values that feed them).
//
// The model owns its arrays and strings; the GL textures its materials name
// are never released (textures live as long as the game).

#include "assets/texture.h"
#include "math/matrix4.h"

#include <cstdint>
#include <string>
#include <vector>

struct ModelVertex {
    std::int8_t jointIndex = -1;  // -1: not attached to a joint
    float position[3] = {};      // model units; in the joint's bind space once posed
};

struct ModelTriangle {
    float normals[3][3] = {};  // one per corner; in the joint's bind space once posed
    float s[3] = {};
    float t[3] = {};           // already flipped (1 - t of the file)
    std::int32_t vertexIndices[3] = {};
};

struct ModelGroup {
    std::int32_t materialIndex = -1;  // negative: no material
    std::vector<std::int32_t> triangleIndices;
};

struct ModelMaterial {
    float ambient[4] = {};   // RGBA
    float diffuse[4] = {};
    float specular[4] = {};
    float emissive[4] = {};
    float shininess = 0.0f;
    TextureId texture = 0;   // 0: none
    std::string textureFile; // as read, with the model's directory for ".\" names
};

struct ModelKeyframe {
    std::int32_t jointIndex = 0;
    float timeMs = 0.0f;
    float values[3] = {};  // Euler radians for a rotation key, an offset for a translation key
};

struct ModelJoint {
    std::string name;             // up to 32 bytes, as in the file
    float localRotation[3] = {};  // radians, relative to the parent
    float localTranslation[3] = {};
    Matrix4 bindMatrix;   // bind pose in model space
    Matrix4 localMatrix;  // bind pose relative to the parent
    std::vector<ModelKeyframe> translationKeys;
    std::vector<ModelKeyframe> rotationKeys;
    std::int32_t parent = -1;  // joint index, always below this joint's own; -1: root
};

// One joint of a pose: where its clock has got to in its keys, and where the
// joint stands.
struct JointPose {
    std::int32_t translationCursor = 0;  // first key not yet passed by the clock
    std::int32_t rotationCursor = 0;
    Matrix4 matrix;  // animated, model space: joint space -> model space
};

// Where a model's skeleton stands at one moment of its animation. The model
// is shared (one player model for every player); each thing drawn with it
// keeps a pose of its own, so two players walk out of step. A pose is made
// for one model by that model's restartAnimation.
struct SkeletonPose {
    float currentTimeMs = 0.0f;  // animation clock
    std::vector<JointPose> joints;
};

// One drawn triangle corner after skinning, in model space. The layout is
// part of the interface: drawing hands it to GL with a stride of
// sizeof(SkinnedCorner).
struct SkinnedCorner {
    float s = 0.0f;
    float t = 0.0f;
    float normal[3] = {};    // unit length for attached vertices
    float position[3] = {};
};
static_assert(sizeof(SkinnedCorner) == 8 * sizeof(float), "SkinnedCorner is handed to GL as packed floats");

class SkinnedModel {
public:
    SkinnedModel();
    virtual ~SkinnedModel();
    SkinnedModel(const SkinnedModel&) = delete;
    SkinnedModel& operator=(const SkinnedModel&) = delete;

    // For each material with a texture file name: texture = loadTexture(name),
    // what it met into report. Stops at a texture the game cannot run without
    // (a fatal report). Needs a current GL context.
    void loadMaterialTextures(LoadReport& report);

    // Moves every attached vertex and corner normal into its joint's bind
    // space. Called once by load, after the joints are read.
    void buildBindPose();
    // Clock to startTimeMs, keyframe cursors to 0, pose recomputed (and
    // sized to this model's skeleton).
    void restartAnimation(SkeletonPose& pose) const;
    // Moves the clock by elapsedMs and recomputes every joint's matrix.
    // Passing totalTimeMs restarts (looping) or stops at the end. A pose made
    // for another model is restarted first.
    void advance(SkeletonPose& pose, double elapsedMs) const;
    // The same on the model's own pose.
    void restartAnimation() { restartAnimation(ownPose); }
    void advance(double elapsedMs) { advance(ownPose, elapsedMs); }
    // Where a restart puts the clock; takes effect at the next restartAnimation.
    // (The file's end time is not kept: playback runs to totalTimeMs.)
    void setAnimationStart(int startMs);

    // Draws every group in the current modelview transform through client
    // vertex arrays (left enabled, as the 3DS meshes leave them), with the
    // last corner's normal and texture coordinates current afterwards, as
    // immediate mode would leave them. Leaves GL_TEXTURE_2D enabled or
    // disabled as it found it. Allocates only the first time.
    void draw(const SkeletonPose& pose) const;
    void draw() const { draw(ownPose); }
    // v = the joint's matrix in the pose applied to v (with translation when
    // asPoint, rotation only otherwise). A joint outside the skeleton (or the
    // pose) leaves v alone.
    void transformByJoint(const SkeletonPose& pose, int joint, float v[3], bool asPoint) const;
    void transformByJoint(int joint, float v[3], bool asPoint) const { transformByJoint(ownPose, joint, v, asPoint); }
    // glPushMatrix, then the joint's matrix multiplied on (nothing for a
    // joint outside the skeleton). The caller pops.
    void pushJointMatrix(const SkeletonPose& pose, int joint) const;
    void pushJointMatrix(int joint) const { pushJointMatrix(ownPose, joint); }

    // Skins one corner of a triangle exactly as draw() sends it to GL.
    void skinCorner(const SkeletonPose& pose, const ModelTriangle& triangle, int corner, SkinnedCorner& out) const;
    // Every corner draw() would send, group by group, into out (resized).
    void skinAll(const SkeletonPose& pose, std::vector<SkinnedCorner>& out) const;
    void skinAll(std::vector<SkinnedCorner>& out) const { skinAll(ownPose, out); }

    // The model's own pose, for a model drawn as one thing (the gun, the sky).
    SkeletonPose ownPose;
    float startTimeMs = 0.0f;    // where a restart puts the clock
    std::vector<ModelGroup> groups;
    std::vector<ModelMaterial> materials;
    std::vector<ModelTriangle> triangles;
    std::vector<ModelVertex> vertices;
    std::vector<ModelJoint> joints;
    double totalTimeMs = 0.0;  // animation length; never negative
    bool looping = true;

private:
    // Every joint's matrix for the pose's clock, without the end-of-animation test.
    void computePose(SkeletonPose& pose) const;

    mutable std::vector<SkinnedCorner> drawCorners_;  // what the last draw() sent to GL
};
