#include "assets/reader_3ds.h"

#include "assets/data_file.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

constexpr std::uint16_t kMainChunk = 0x4D4D;
constexpr std::uint16_t kVersionChunk = 0x0002;
constexpr std::uint16_t kEditorChunk = 0x3D3D;
constexpr std::uint16_t kMaterialChunk = 0xAFFF;
constexpr std::uint16_t kMaterialNameChunk = 0xA000;
constexpr std::uint16_t kDiffuseChunk = 0xA020;
constexpr std::uint16_t kTextureMapChunk = 0xA200;
constexpr std::uint16_t kMapFileChunk = 0xA300;
constexpr std::uint16_t kObjectChunk = 0x4000;
constexpr std::uint16_t kMeshChunk = 0x4100;
constexpr std::uint16_t kVertexListChunk = 0x4110;
constexpr std::uint16_t kFaceListChunk = 0x4120;
constexpr std::uint16_t kFaceMaterialChunk = 0x4130;
constexpr std::uint16_t kTexCoordChunk = 0x4140;
// Colour sub-chunks holding three floats, 0 to 1 (plain and gamma-corrected).
constexpr std::uint16_t kFloatColourChunk = 0x0010;
constexpr std::uint16_t kFloatGammaColourChunk = 0x0013;

constexpr std::uint32_t kChunkHeaderSize = 6;
// Real files nest five deep; the bound keeps a crafted file from exhausting the stack.
constexpr int kMaxChunkDepth = 32;

const char* const kVersionWarning = "This 3DS file is over version 3 so it may load incorrectly";

std::uint32_t remainingIn(const Chunk3ds& chunk) { return chunk.length - chunk.bytesRead; }

std::uint16_t readU16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

std::uint32_t readU32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

float readFloat(const std::uint8_t* p) { return std::bit_cast<float>(readU32(p)); }

std::uint8_t colourByte(float value)
{
    if (!(value > 0.0f))  // also NaN
        return 0;
    if (value >= 1.0f)
        return 255;
    return static_cast<std::uint8_t>(value * 255.0f + 0.5f);
}

// The unit normal from a summed, divided face vector; the arithmetic of the
// plain path is the defining one, the rest only keeps NaN and zero vectors out.
Vector3 unitNormal(Vector3 d)
{
    const float length = magnitude(d);
    if (length > 0.0f && std::isfinite(length))
        return normalize(d);
    if (std::isfinite(d.x) && std::isfinite(d.y) && std::isfinite(d.z)) {
        // The float square sum under- or overflowed; double has the range.
        const double x = d.x, y = d.y, z = d.z;
        const double lengthD = std::sqrt(x * x + y * y + z * z);
        if (lengthD > 0.0 && std::isfinite(lengthD))
            return {static_cast<float>(x / lengthD), static_cast<float>(y / lengthD),
                    static_cast<float>(z / lengthD)};
    }
    return {0.0f, 1.0f, 0.0f};
}

}  // namespace

bool Reader3ds::fail(const char* reason)
{
    error_ = "The 3DS file " + fileName_ + " is damaged: " + reason + "!";
    return false;
}

bool Reader3ds::readChunk(Chunk3ds& chunk, const Chunk3ds& parent)
{
    if (remainingIn(parent) < kChunkHeaderSize || bytes_.size() - position_ < kChunkHeaderSize)
        return fail("a chunk header runs past its parent");
    const std::uint8_t* p = bytes_.data() + position_;
    chunk.id = readU16(p);
    chunk.length = readU32(p + 2);
    chunk.bytesRead = kChunkHeaderSize;
    position_ += kChunkHeaderSize;
    if (chunk.length < kChunkHeaderSize)
        return fail("a chunk is shorter than its header");
    // The parent's remainder still counts the header just read.
    if (chunk.length > remainingIn(parent) || chunk.length - kChunkHeaderSize > bytes_.size() - position_)
        return fail("a chunk runs past its parent or the end of the file");
    return true;
}

void Reader3ds::skip(Chunk3ds& chunk)
{
    position_ += remainingIn(chunk);
    chunk.bytesRead = chunk.length;
}

bool Reader3ds::readString(char* buffer, Chunk3ds& chunk)
{
    const std::uint8_t* start = bytes_.data() + position_;
    const std::uint32_t available = remainingIn(chunk);
    const auto* end = static_cast<const std::uint8_t*>(std::memchr(start, 0, available));
    if (end == nullptr)
        return fail("a name has no end inside its chunk");
    const auto length = static_cast<std::uint32_t>(end - start);
    const std::uint32_t kept = std::min<std::uint32_t>(length, kName3dsSize - 1);
    std::memcpy(buffer, start, kept);
    buffer[kept] = '\0';
    position_ += length + 1;
    chunk.bytesRead += length + 1;
    return true;
}

void Reader3ds::readRemainingString(char* buffer, Chunk3ds& chunk)
{
    const std::uint32_t kept = std::min<std::uint32_t>(remainingIn(chunk), kName3dsSize - 1);
    std::memset(buffer, 0, kName3dsSize);
    std::memcpy(buffer, bytes_.data() + position_, kept);
    skip(chunk);
}

bool Reader3ds::processNextChunk(Scene3ds& scene, Chunk3ds& parent, int depth)
{
    if (depth > kMaxChunkDepth)
        return fail("chunks are nested too deep");
    while (parent.bytesRead < parent.length) {
        Chunk3ds chunk;
        if (!readChunk(chunk, parent))
            return false;
        switch (chunk.id) {
        case kVersionChunk:
            if (remainingIn(chunk) == 4 && static_cast<std::int32_t>(readU32(bytes_.data() + position_)) > 3)
                versionWarning_ = true;
            skip(chunk);
            break;
        case kEditorChunk:
            // The first sub-chunk is the mesh version in every file the game
            // knows; it is passed over without looking at its id.
            if (chunk.bytesRead < chunk.length) {
                Chunk3ds first;
                if (!readChunk(first, chunk))
                    return false;
                skip(first);
                chunk.bytesRead += first.bytesRead;
            }
            if (!processNextChunk(scene, chunk, depth + 1))
                return false;
            break;
        case kMaterialChunk:
            scene.materials.emplace_back();
            if (!processNextMaterialChunk(scene, chunk, depth + 1))
                return false;
            break;
        case kObjectChunk: {
            scene.objects.emplace_back();
            Object3ds& object = scene.objects.back();
            if (!readString(object.name, chunk) || !processNextObjectChunk(scene, object, chunk, depth + 1))
                return false;
            break;
        }
        default:  // the keyframer (0xB000) and everything else
            skip(chunk);
            break;
        }
        parent.bytesRead += chunk.bytesRead;
    }
    return true;
}

bool Reader3ds::processNextMaterialChunk(Scene3ds& scene, Chunk3ds& parent, int depth)
{
    if (depth > kMaxChunkDepth)
        return fail("chunks are nested too deep");
    while (parent.bytesRead < parent.length) {
        Chunk3ds chunk;
        if (!readChunk(chunk, parent))
            return false;
        Material3ds& material = scene.materials.back();
        switch (chunk.id) {
        case kMaterialNameChunk:
            readRemainingString(material.name, chunk);
            break;
        case kDiffuseChunk:
            if (!readColour(material, chunk))
                return false;
            break;
        case kTextureMapChunk:
            if (!processNextMaterialChunk(scene, chunk, depth + 1))
                return false;
            break;
        case kMapFileChunk:
            readRemainingString(material.textureFile, chunk);
            break;
        default:
            skip(chunk);
            break;
        }
        parent.bytesRead += chunk.bytesRead;
    }
    return true;
}

bool Reader3ds::processNextObjectChunk(Scene3ds& scene, Object3ds& object, Chunk3ds& parent, int depth)
{
    if (depth > kMaxChunkDepth)
        return fail("chunks are nested too deep");
    while (parent.bytesRead < parent.length) {
        Chunk3ds chunk;
        if (!readChunk(chunk, parent))
            return false;
        bool ok = true;
        switch (chunk.id) {
        case kMeshChunk:
            ok = processNextObjectChunk(scene, object, chunk, depth + 1);
            break;
        case kVertexListChunk:
            ok = readVertices(object, chunk);
            break;
        case kFaceListChunk:
            ok = readFaces(object, chunk);
            break;
        case kFaceMaterialChunk:
            ok = readObjectMaterial(scene, object, chunk);
            break;
        case kTexCoordChunk:
            ok = readTexCoords(object, chunk);
            break;
        default:
            skip(chunk);
            break;
        }
        if (!ok)
            return false;
        parent.bytesRead += chunk.bytesRead;
    }
    return true;
}

// The first sub-chunk's payload is the colour; what follows it in the diffuse
// chunk (usually a gamma-corrected copy) is left for the material walk, which
// skips it.
bool Reader3ds::readColour(Material3ds& material, Chunk3ds& chunk)
{
    Chunk3ds colour;
    if (!readChunk(colour, chunk))
        return false;
    const std::uint8_t* p = bytes_.data() + position_;
    const std::uint32_t payload = remainingIn(colour);
    if ((colour.id == kFloatColourChunk || colour.id == kFloatGammaColourChunk) && payload >= 12) {
        for (int i = 0; i < 3; ++i)
            material.colour[i] = colourByte(readFloat(p + 4 * i));
    } else {
        std::memset(material.colour, 0, sizeof material.colour);
        std::memcpy(material.colour, p, std::min<std::uint32_t>(payload, 3));
    }
    skip(colour);
    chunk.bytesRead += colour.bytesRead;
    return true;
}

// The 16-bit count that opens a list, checked against the bytes its chunk
// still holds for elementSize-byte elements before anything is allocated.
bool Reader3ds::readCount(Chunk3ds& chunk, std::size_t elementSize, const char* list, const char* elements,
                          std::uint16_t& count)
{
    if (remainingIn(chunk) < 2)
        return fail((std::string(list) + " has no count").c_str());
    count = readU16(bytes_.data() + position_);
    position_ += 2;
    chunk.bytesRead += 2;
    if (std::size_t{count} * elementSize > remainingIn(chunk))
        return fail((std::string(list) + " holds fewer " + elements + " than its count").c_str());
    return true;
}

bool Reader3ds::readVertices(Object3ds& object, Chunk3ds& chunk)
{
    std::uint16_t count = 0;
    if (!readCount(chunk, 12, "a vertex list", "vertices", count))
        return false;
    object.vertices.assign(count, Vector3{});
    const std::uint8_t* p = bytes_.data() + position_;
    for (Vector3& v : object.vertices) {
        // z up in the file, y up in the game: a rotation, so the winding stays.
        v = {readFloat(p), readFloat(p + 8), -readFloat(p + 4)};
        p += 12;
    }
    // A payload longer than the count says holds nothing the object can keep.
    skip(chunk);
    return true;
}

// Consumes only the count and the faces: the material groups after them are
// met by the parent's walk at its own level.
bool Reader3ds::readFaces(Object3ds& object, Chunk3ds& chunk)
{
    std::uint16_t count = 0;
    if (!readCount(chunk, 8, "a face list", "faces", count))
        return false;
    object.faces.assign(count, Face3ds{});
    const std::uint8_t* p = bytes_.data() + position_;
    for (Face3ds& face : object.faces) {
        // The fourth value, the edge flags, is not used.
        for (int k = 0; k < 3; ++k)
            face.vertexIndex[k] = readU16(p + 2 * k);
        p += 8;
    }
    position_ += std::size_t{count} * 8;
    chunk.bytesRead += std::uint32_t{count} * 8;
    return true;
}

bool Reader3ds::readTexCoords(Object3ds& object, Chunk3ds& chunk)
{
    std::uint16_t count = 0;
    if (!readCount(chunk, 8, "a texture coordinate list", "pairs", count))
        return false;
    object.texCoords.assign(count, TexCoord3ds{});
    const std::uint8_t* p = bytes_.data() + position_;
    for (TexCoord3ds& t : object.texCoords) {
        t = {readFloat(p), readFloat(p + 4)};
        p += 8;
    }
    skip(chunk);
    return true;
}

// Only a material with a texture file is recorded on the object; the first
// material is the exception only because materialIndex starts at 0.
bool Reader3ds::readObjectMaterial(Scene3ds& scene, Object3ds& object, Chunk3ds& chunk)
{
    char name[kName3dsSize] = {};
    if (!readString(name, chunk))
        return false;
    for (std::size_t i = 0; i < scene.materials.size(); ++i) {
        const Material3ds& material = scene.materials[i];
        if (std::strcmp(material.name, name) == 0) {
            if (material.textureFile[0] != '\0') {
                object.materialIndex = static_cast<std::int32_t>(i);
                object.hasTexture = 1;
            }
            break;
        }
        if (!object.hasTexture)
            object.materialIndex = -1;
    }
    skip(chunk);  // the faces of the group
    return true;
}

void Reader3ds::computeNormals(Scene3ds& scene)
{
    std::vector<Vector3> sums;
    std::vector<std::int32_t> counts;
    for (Object3ds& object : scene.objects) {
        const auto vertexCount = object.vertices.size();
        sums.assign(vertexCount, Vector3{});
        counts.assign(vertexCount, 0);
        // Each vertex sees its faces in face order, as a search over all faces
        // per vertex would, so the float sums come out bit for bit the same.
        for (const Face3ds& face : object.faces) {
            const std::int32_t a = face.vertexIndex[0], b = face.vertexIndex[1], c = face.vertexIndex[2];
            const Vector3 v0 = object.vertices[a], v1 = object.vertices[b], v2 = object.vertices[c];
            const Vector3 faceVector = cross(subtract(v0, v2), subtract(v2, v1));
            sums[a] = add(sums[a], faceVector);
            ++counts[a];
            if (b != a) {
                sums[b] = add(sums[b], faceVector);
                ++counts[b];
            }
            if (c != a && c != b) {
                sums[c] = add(sums[c], faceVector);
                ++counts[c];
            }
        }
        object.normals.resize(vertexCount);
        for (std::size_t v = 0; v < vertexCount; ++v) {
            object.normals[v] = counts[v] == 0 ? Vector3{0.0f, 1.0f, 0.0f}
                                               : unitNormal(divide(sums[v], -static_cast<float>(counts[v])));
        }
    }
}

bool Reader3ds::importBytes(Scene3ds& scene, std::span<const std::uint8_t> bytes, const char* fileName)
{
    bytes_ = bytes;
    position_ = 0;
    fileName_ = fileName != nullptr ? fileName : "";
    error_.clear();
    versionWarning_ = false;

    // The whole file acts as the parent of the main chunk.
    Chunk3ds file;
    file.length = static_cast<std::uint32_t>(std::min<std::size_t>(bytes.size(), std::numeric_limits<std::uint32_t>::max()));
    bool ok = false;
    Chunk3ds main;
    if (bytes.size() < kChunkHeaderSize || readU16(bytes.data()) != kMainChunk) {
        error_ = "Unable to load PRIMARY chuck from file: " + fileName_ + "!";
    } else if (readChunk(main, file) && processNextChunk(scene, main, 0)) {
        ok = true;
        for (const Object3ds& object : scene.objects) {
            for (const Face3ds& face : object.faces) {
                for (const std::int32_t index : face.vertexIndex) {
                    if (static_cast<std::size_t>(index) >= object.vertices.size())
                        ok = fail("a face names a vertex past its object's vertex list");
                }
            }
        }
    }
    if (!ok) {
        scene = Scene3ds{};
        bytes_ = {};
        return false;
    }
    computeNormals(scene);
    bytes_ = {};
    return true;
}

bool Reader3ds::import3ds(Scene3ds& scene, const char* fileName, LoadReport& report)
{
    std::string reason;
    const std::optional<std::vector<std::uint8_t>> bytes = readDataFile(fileName, &reason);
    if (!bytes) {
        // The box keeps the original's words for every cause; the cause goes to standard error.
        report.note(fileName, reason);
        report.add("Error", std::string("Unable to find the file: ") + fileName + "!");
        return false;
    }
    const bool ok = importBytes(scene, *bytes, fileName);
    if (versionWarning_)
        report.add("Warning", kVersionWarning);
    if (!ok)
        report.add("Error", error_);
    return ok;
}
