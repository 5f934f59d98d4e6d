#include "assets/skinned_model.h"

#include <cmath>
#include <cstddef>

namespace {

// Offset or angles of one channel for clockMs: the keys are searched forward
// from the cursor, and the last key passed and the next one are blended
// linearly. A channel without keys contributes nothing.
void sampleChannel(const std::vector<ModelKeyframe>& keys, std::int32_t& cursor, float clockMs, float out[3])
{
    const std::int32_t count = static_cast<std::int32_t>(keys.size());
    if (count == 0) {
        out[0] = out[1] = out[2] = 0.0f;
        return;
    }
    std::int32_t f = cursor < count ? cursor : count;
    while (f < count && keys[f].timeMs < clockMs)
        ++f;
    cursor = f;
    const float* values;
    if (f == 0) {
        values = keys[0].values;
    } else if (f == count) {
        values = keys[count - 1].values;
    } else {
        const ModelKeyframe& a = keys[f - 1];
        const ModelKeyframe& b = keys[f];
        const float d = b.timeMs - a.timeMs;
        float u = (clockMs - a.timeMs) / d;
        // A clock that only moves forward keeps a.timeMs < clock <= b.timeMs,
        // so d > 0 and u is in (0, 1]. One moved backwards can break both;
        // holding the nearer key then beats extrapolating into NaN or infinity.
        if (!(d > 0.0f))
            u = 1.0f;
        u = u > 0.0f ? (u < 1.0f ? u : 1.0f) : 0.0f;
        for (int i = 0; i < 3; ++i)
            out[i] = (b.values[i] - a.values[i]) * u + a.values[i];
        return;
    }
    out[0] = values[0];
    out[1] = values[1];
    out[2] = values[2];
}

}  // namespace

SkinnedModel::SkinnedModel() { restartAnimation(); }

SkinnedModel::~SkinnedModel() = default;

void SkinnedModel::buildBindPose()
{
    const std::int32_t jointCount = static_cast<std::int32_t>(joints.size());
    for (std::int32_t j = 0; j < jointCount; ++j) {
        ModelJoint& joint = joints[j];
        joint.localMatrix.setEulerRadians(joint.localRotation);
        joint.localMatrix.setTranslationPart(joint.localTranslation);
        if (joint.parent >= 0 && joint.parent < j) {
            joint.bindMatrix = joints[joint.parent].bindMatrix;
            joint.bindMatrix.multiplyBy(joint.localMatrix);
        } else {
            joint.bindMatrix = joint.localMatrix;
        }
    }
    for (ModelVertex& vertex : vertices) {
        if (vertex.jointIndex < 0 || vertex.jointIndex >= jointCount)
            continue;
        const Matrix4& bind = joints[vertex.jointIndex].bindMatrix;
        bind.applyInverseTranslation(vertex.position);
        bind.applyInverseRotation(vertex.position);
    }
    // Normals live per corner, so a vertex shared by several triangles has
    // each of its corner normals turned once.
    const std::int32_t vertexCount = static_cast<std::int32_t>(vertices.size());
    for (ModelTriangle& triangle : triangles) {
        for (int k = 0; k < 3; ++k) {
            const std::int32_t v = triangle.vertexIndices[k];
            if (v < 0 || v >= vertexCount)
                continue;
            const int j = vertices[v].jointIndex;
            if (j >= 0 && j < jointCount)
                joints[j].bindMatrix.applyInverseRotation(triangle.normals[k]);
        }
    }
}

void SkinnedModel::restartAnimation(SkeletonPose& pose) const
{
    pose.currentTimeMs = startTimeMs;
    pose.joints.resize(joints.size());
    for (std::size_t j = 0; j < joints.size(); ++j) {
        JointPose& joint = pose.joints[j];
        joint.translationCursor = 0;
        joint.rotationCursor = 0;
        joint.matrix = joints[j].bindMatrix;
    }
    // Posed directly rather than through advance(0): a start time past the
    // end would otherwise restart again without end. It holds the start pose.
    computePose(pose);
}

void SkinnedModel::advance(SkeletonPose& pose, double elapsedMs) const
{
    if (pose.joints.size() != joints.size())
        restartAnimation(pose);
    pose.currentTimeMs = static_cast<float>(pose.currentTimeMs + elapsedMs);
    if (!std::isfinite(pose.currentTimeMs)) {
        restartAnimation(pose);
        return;
    }
    if (pose.currentTimeMs > totalTimeMs) {
        if (looping) {
            // Back to the start exactly; the overshoot is dropped.
            restartAnimation(pose);
            return;
        }
        pose.currentTimeMs = static_cast<float>(totalTimeMs);
    }
    computePose(pose);
}

void SkinnedModel::computePose(SkeletonPose& pose) const
{
    const std::int32_t jointCount = static_cast<std::int32_t>(joints.size());
    for (std::int32_t j = 0; j < jointCount; ++j) {
        const ModelJoint& joint = joints[j];
        JointPose& posed = pose.joints[j];
        if (joint.rotationKeys.empty() && joint.translationKeys.empty()) {
            posed.matrix = joint.bindMatrix;
            continue;
        }
        float offset[3];
        float angles[3];
        sampleChannel(joint.translationKeys, posed.translationCursor, pose.currentTimeMs, offset);
        sampleChannel(joint.rotationKeys, posed.rotationCursor, pose.currentTimeMs, angles);
        Matrix4 keyed;
        keyed.setEulerRadians(angles);
        keyed.setTranslationPart(offset);
        // Keys are relative to the joint's bind-pose local transform.
        Matrix4 relative = joint.localMatrix;
        relative.multiplyBy(keyed);
        if (joint.parent >= 0 && joint.parent < j) {
            posed.matrix = pose.joints[joint.parent].matrix;
            posed.matrix.multiplyBy(relative);
        } else {
            posed.matrix = relative;
        }
    }
}

void SkinnedModel::setAnimationStart(int startMs) { startTimeMs = static_cast<float>(startMs); }

void SkinnedModel::transformByJoint(const SkeletonPose& pose, int joint, float v[3], bool asPoint) const
{
    if (joint < 0 || joint >= static_cast<int>(joints.size()) || joint >= static_cast<int>(pose.joints.size()))
        return;
    Vector4 t;
    t.setXyz(v);
    if (asPoint)
        t.transformPoint(pose.joints[joint].matrix);
    else
        t.transformDirection(pose.joints[joint].matrix);
    v[0] = t[0];
    v[1] = t[1];
    v[2] = t[2];
}

void SkinnedModel::skinCorner(const SkeletonPose& pose, const ModelTriangle& triangle, int corner,
                              SkinnedCorner& out) const
{
    out.s = triangle.s[corner];
    out.t = triangle.t[corner];
    const std::int32_t v = triangle.vertexIndices[corner];
    if (v < 0 || v >= static_cast<std::int32_t>(vertices.size())) {
        // Only a hand-built model can get here; the reader rejects such indices.
        out.normal[0] = out.normal[2] = 0.0f;
        out.normal[1] = 1.0f;
        out.position[0] = out.position[1] = out.position[2] = 0.0f;
        return;
    }
    const ModelVertex& vertex = vertices[v];
    const float* normal = triangle.normals[corner];
    if (vertex.jointIndex < 0 || vertex.jointIndex >= static_cast<int>(joints.size()) ||
        vertex.jointIndex >= static_cast<int>(pose.joints.size())) {
        for (int i = 0; i < 3; ++i) {
            out.normal[i] = normal[i];
            out.position[i] = vertex.position[i];
        }
        return;
    }
    const Matrix4& joint = pose.joints[vertex.jointIndex].matrix;
    Vector4 n(normal);
    n.transformDirection(joint);
    const float length = n.length();
    if (length > 0.0f && std::isfinite(length)) {
        n.normalize();
        for (int i = 0; i < 3; ++i)
            out.normal[i] = n[i];
    } else {
        // A zero normal from the file (or one too small to square) has no
        // direction to keep; up is as good as any and is not NaN.
        out.normal[0] = out.normal[2] = 0.0f;
        out.normal[1] = 1.0f;
    }
    Vector4 p(vertex.position);
    p.transformPoint(joint);
    for (int i = 0; i < 3; ++i)
        out.position[i] = p[i];
}

void SkinnedModel::skinAll(const SkeletonPose& pose, std::vector<SkinnedCorner>& out) const
{
    out.clear();
    const std::int32_t triangleCount = static_cast<std::int32_t>(triangles.size());
    for (const ModelGroup& group : groups) {
        for (const std::int32_t index : group.triangleIndices) {
            if (index < 0 || index >= triangleCount)
                continue;
            for (int k = 0; k < 3; ++k) {
                out.emplace_back();
                skinCorner(pose, triangles[index], k, out.back());
            }
        }
    }
}
