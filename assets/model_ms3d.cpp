#include "assets/model_ms3d.h"

#include "assets/data_file.h"

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

static_assert(std::endian::native == std::endian::little, "the MS3D reader decodes little-endian fields in place");

namespace {

constexpr char kIdentifier[] = "MS3D000000";
constexpr std::size_t kIdentifierSize = 10;
constexpr std::size_t kVertexSize = 15;
constexpr std::size_t kTriangleSize = 70;
constexpr std::size_t kGroupHeadSize = 35;  // flags, name, triangle count
constexpr std::size_t kMaterialSize = 361;
constexpr std::size_t kJointHeadSize = 93;
constexpr std::size_t kKeySize = 16;
constexpr std::size_t kJointNameSize = 32;
constexpr std::size_t kTextureNameSize = 128;

// Beyond this a coordinate, angle or offset is taken as damage: anything up
// to it keeps every product along a 65535-joint chain far from overflowing.
constexpr float kMaxMagnitude = 1e15f;

std::uint16_t u16At(const std::uint8_t* p)
{
    std::uint16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

std::int32_t s32At(const std::uint8_t* p)
{
    std::int32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

float f32At(const std::uint8_t* p)
{
    float v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Reads n floats into out; false if any is not a sane geometric value.
bool saneFloatsAt(const std::uint8_t* p, int n, float* out)
{
    bool ok = true;
    for (int i = 0; i < n; ++i) {
        out[i] = f32At(p + 4 * i);
        ok &= std::fabs(out[i]) <= kMaxMagnitude;  // false for NaN too
    }
    return ok;
}

// A name stored in a fixed field: up to the first zero or the field's end.
std::string_view fieldString(const std::uint8_t* p, std::size_t width)
{
    const char* s = reinterpret_cast<const char*>(p);
    const void* zero = std::memchr(s, 0, width);
    return {s, zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - s) : width};
}

// A cursor over the file that hands out whole records and never runs past
// the end: take() gives nullptr instead.
class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    const std::uint8_t* take(std::size_t size)
    {
        if (size > bytes_.size() - offset_)
            return nullptr;
        const std::uint8_t* p = bytes_.data() + offset_;
        offset_ += size;
        return p;
    }
    // count records of recordSize bytes; nullptr when they are not all there.
    const std::uint8_t* takeArray(std::size_t count, std::size_t recordSize)
    {
        if (recordSize != 0 && count > (bytes_.size() - offset_) / recordSize)
            return nullptr;
        return take(count * recordSize);
    }
    // Whether count records of recordSize bytes could still follow, without
    // taking them: bounds an allocation before a walk over variable records.
    bool canHold(std::size_t count, std::size_t recordSize) const
    {
        return recordSize == 0 || count <= (bytes_.size() - offset_) / recordSize;
    }
    bool u16(std::uint16_t& v)
    {
        const std::uint8_t* p = take(2);
        if (p)
            v = u16At(p);
        return p != nullptr;
    }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t offset_ = 0;
};

struct JointRecord {
    const std::uint8_t* head;
    const std::uint8_t* keys;  // R rotation keys, then P translation keys
    std::uint16_t rotationKeyCount;
    std::uint16_t translationKeyCount;
};

// Writes one keyframe into an already sized key array of a joint.
void storeKeyframe(std::vector<ModelJoint>& joints, std::int32_t jointIndex, std::size_t keyIndex, float timeMs,
                   const float values[3], bool isRotation)
{
    ModelJoint& joint = joints[jointIndex];
    ModelKeyframe& key = isRotation ? joint.rotationKeys[keyIndex] : joint.translationKeys[keyIndex];
    key.jointIndex = jointIndex;
    key.timeMs = timeMs;
    key.values[0] = values[0];
    key.values[1] = values[1];
    key.values[2] = values[2];
}

bool fail(std::string* reason, std::string message)
{
    if (reason)
        *reason = std::move(message);
    return false;
}

}  // namespace

std::string ms3dDirectoryPrefix(const char* fileName)
{
    const std::size_t length = std::strlen(fileName);
    std::size_t i = length == 0 ? 0 : length - 1;
    while (i > 0 && fileName[i] != '/' && fileName[i] != '\\')
        --i;
    if (i == 0)
        return {};
    return std::string(fileName, i) + '/';
}

ModelMs3d::ParseResult ModelMs3d::readFile(const char* fileName, std::string* reason)
{
    const std::optional<std::vector<std::uint8_t>> bytes = readDataFile(fileName, reason);
    if (!bytes)
        return ParseResult::Rejected;
    return parse(*bytes, fileName, reason);
}

bool ModelMs3d::loadWithoutTextures(const char* fileName, std::string* reason)
{
    return readFile(fileName, reason) == ParseResult::Loaded;
}

bool ModelMs3d::loadFromMemory(std::span<const std::uint8_t> bytes, const char* fileName, std::string* reason)
{
    return parse(bytes, fileName, reason) == ParseResult::Loaded;
}

ModelMs3d::ParseResult ModelMs3d::parse(std::span<const std::uint8_t> bytes, const char* fileName,
                                        std::string* reason)
{
    constexpr ParseResult kRejected = ParseResult::Rejected;
    ByteReader in(bytes);

    const std::uint8_t* header = in.take(kIdentifierSize + 4);
    if (!header || std::memcmp(header, kIdentifier, kIdentifierSize) != 0) {
        fail(reason, "not an MS3D file");
        return kRejected;
    }
    const std::int32_t version = s32At(header + kIdentifierSize);
    if (version < 3) {
        fail(reason, "MS3D version " + std::to_string(version) + " is below 3");
        return kRejected;
    }

    // Vertices. Joint indices are checked once the joint count is known.
    std::uint16_t vertexCount = 0;
    const std::uint8_t* p = nullptr;
    if (!in.u16(vertexCount) || !(p = in.takeArray(vertexCount, kVertexSize))) {
        fail(reason, "file ends inside the vertices");
        return kRejected;
    }
    std::vector<ModelVertex> newVertices(vertexCount);
    for (ModelVertex& vertex : newVertices) {
        if (!saneFloatsAt(p + 1, 3, vertex.position)) {
            fail(reason, "vertex position out of range");
            return kRejected;
        }
        vertex.jointIndex = static_cast<std::int8_t>(p[13]);
        p += kVertexSize;
    }

    std::uint16_t triangleCount = 0;
    if (!in.u16(triangleCount) || !(p = in.takeArray(triangleCount, kTriangleSize))) {
        fail(reason, "file ends inside the triangles");
        return kRejected;
    }
    std::vector<ModelTriangle> newTriangles(triangleCount);
    for (ModelTriangle& triangle : newTriangles) {
        for (int k = 0; k < 3; ++k) {
            const std::uint16_t v = u16At(p + 2 + 2 * k);
            if (v >= vertexCount) {
                fail(reason, "triangle names vertex " + std::to_string(v) + " of " + std::to_string(vertexCount));
                return kRejected;
            }
            triangle.vertexIndices[k] = v;
        }
        if (!saneFloatsAt(p + 8, 9, &triangle.normals[0][0])) {
            fail(reason, "triangle normal out of range");
            return kRejected;
        }
        for (int k = 0; k < 3; ++k) {
            triangle.s[k] = f32At(p + 44 + 4 * k);
            triangle.t[k] = 1.0f - f32At(p + 56 + 4 * k);
        }
        p += kTriangleSize;
    }

    std::uint16_t groupCount = 0;
    if (!in.u16(groupCount) || !in.canHold(groupCount, kGroupHeadSize + 1)) {
        fail(reason, "file ends inside the groups");
        return kRejected;
    }
    std::vector<ModelGroup> newGroups(groupCount);
    for (ModelGroup& group : newGroups) {
        const std::uint8_t* head = in.take(kGroupHeadSize);
        const std::uint16_t n = head ? u16At(head + 33) : 0;
        const std::uint8_t* indices = head ? in.takeArray(n, 2) : nullptr;
        const std::uint8_t* material = indices ? in.take(1) : nullptr;
        if (!material) {
            fail(reason, "file ends inside the groups");
            return kRejected;
        }
        group.triangleIndices.resize(n);
        for (std::uint16_t i = 0; i < n; ++i) {
            const std::uint16_t t = u16At(indices + 2 * i);
            if (t >= triangleCount) {
                fail(reason, "group names triangle " + std::to_string(t) + " of " + std::to_string(triangleCount));
                return kRejected;
            }
            group.triangleIndices[i] = t;
        }
        // Sign-extended: the byte 0xFF stays -1, "no material".
        group.materialIndex = static_cast<std::int8_t>(material[0]);
    }

    std::uint16_t materialCount = 0;
    if (!in.u16(materialCount) || !(p = in.takeArray(materialCount, kMaterialSize))) {
        fail(reason, "file ends inside the materials");
        return kRejected;
    }
    for (const ModelGroup& group : newGroups) {
        if (group.materialIndex >= materialCount) {
            fail(reason, "group names material " + std::to_string(group.materialIndex) + " of " +
                             std::to_string(materialCount));
            return kRejected;
        }
    }
    const std::string directory = ms3dDirectoryPrefix(fileName);
    std::vector<ModelMaterial> newMaterials(materialCount);
    for (ModelMaterial& material : newMaterials) {
        for (int i = 0; i < 4; ++i) {
            material.ambient[i] = f32At(p + 32 + 4 * i);
            material.diffuse[i] = f32At(p + 48 + 4 * i);
            material.specular[i] = f32At(p + 64 + 4 * i);
            material.emissive[i] = f32At(p + 80 + 4 * i);
        }
        material.shininess = f32At(p + 96);
        // ".\name" is relative to the model's own folder; anything else to
        // the working directory.
        const std::string_view name = fieldString(p + 105, kTextureNameSize);
        if (name.starts_with(".\\"))
            material.textureFile = directory + std::string(name.substr(2));
        else
            material.textureFile = std::string(name);
        p += kMaterialSize;
    }

    const std::uint8_t* animation = in.take(12);
    std::uint16_t jointCount = 0;
    if (!animation || !in.u16(jointCount) || !in.canHold(jointCount, kJointHeadSize)) {
        fail(reason, "file ends inside the animation header");
        return kRejected;
    }
    const float framesPerSecond = f32At(animation);
    const std::int32_t frameCount = s32At(animation + 8);
    double total = frameCount * 1000.0 / framesPerSecond;
    // No frame rate, or a negative frame count, means no animation to play;
    // a negative length would restart the clock at every step.
    if (!(total >= 0.0) || total > FLT_MAX)
        total = 0.0;

    for (const ModelVertex& vertex : newVertices) {
        if (vertex.jointIndex < -1 || vertex.jointIndex >= jointCount) {
            fail(reason, "vertex names joint " + std::to_string(vertex.jointIndex) + " of " +
                             std::to_string(jointCount));
            return kRejected;
        }
    }

    // First pass: find every joint record, so parents can be looked up by name.
    std::vector<JointRecord> records(jointCount);
    for (JointRecord& record : records) {
        record.head = in.take(kJointHeadSize);
        if (!record.head) {
            fail(reason, "file ends inside the joints");
            return kRejected;
        }
        record.rotationKeyCount = u16At(record.head + 89);
        record.translationKeyCount = u16At(record.head + 91);
        record.keys = in.takeArray(std::size_t{record.rotationKeyCount} + record.translationKeyCount, kKeySize);
        if (!record.keys) {
            fail(reason, "file ends inside the keyframes");
            return kRejected;
        }
    }

    // Second pass: the joints themselves. Everything but the parent links is
    // checked before the model is touched.
    std::vector<ModelJoint> newJoints(jointCount);
    for (std::int32_t k = 0; k < jointCount; ++k) {
        const JointRecord& record = records[k];
        ModelJoint& joint = newJoints[k];
        joint.name = std::string(fieldString(record.head + 1, kJointNameSize));
        if (!saneFloatsAt(record.head + 65, 3, joint.localRotation) ||
            !saneFloatsAt(record.head + 77, 3, joint.localTranslation)) {
            fail(reason, "joint " + joint.name + " has its bind pose out of range");
            return kRejected;
        }
        joint.rotationKeys.resize(record.rotationKeyCount);
        joint.translationKeys.resize(record.translationKeyCount);
        const std::uint8_t* key = record.keys;
        const std::size_t keyCount = std::size_t{record.rotationKeyCount} + record.translationKeyCount;
        for (std::size_t i = 0; i < keyCount; ++i, key += kKeySize) {
            const bool isRotation = i < record.rotationKeyCount;
            const float timeMs = static_cast<float>(f32At(key) * 1000.0);
            float values[3];
            if (!std::isfinite(timeMs) || !saneFloatsAt(key + 4, 3, values)) {
                fail(reason, "joint " + joint.name + " has a keyframe out of range");
                return kRejected;
            }
            storeKeyframe(newJoints, k, isRotation ? i : i - record.rotationKeyCount, timeMs, values, isRotation);
        }
    }

    // The file is sound as far as bytes and indices go: from here on the
    // model is changed.
    vertices = std::move(newVertices);
    triangles = std::move(newTriangles);
    groups = std::move(newGroups);
    materials = std::move(newMaterials);
    totalTimeMs = total;

    // Parents by name, the first joint of that name. Only a joint listed
    // earlier can be a parent: one that names itself or a later joint would
    // make a loop that feeds each pose into the next frame's until it overflows.
    std::unordered_map<std::string_view, std::int32_t> firstByName;
    firstByName.reserve(jointCount);
    for (std::int32_t k = 0; k < jointCount; ++k)
        firstByName.emplace(newJoints[k].name, k);
    for (std::int32_t k = 0; k < jointCount; ++k) {
        const std::string_view parentName = fieldString(records[k].head + 33, kJointNameSize);
        if (parentName.empty())
            continue;
        const auto found = firstByName.find(parentName);
        if (found == firstByName.end() || found->second >= k) {
            fail(reason, "joint " + newJoints[k].name + " names a parent " + std::string(parentName) +
                             " not listed before it");
            // Keep the joints before it; the rest stay bare. Without a bind
            // pose every vertex draws where the file put it.
            joints.clear();
            joints.resize(jointCount);
            for (std::int32_t j = 0; j < k; ++j)
                joints[j] = std::move(newJoints[j]);
            return ParseResult::BrokenSkeleton;
        }
        newJoints[k].parent = found->second;
    }
    joints = std::move(newJoints);

    buildBindPose();
    restartAnimation();
    return ParseResult::Loaded;
}
