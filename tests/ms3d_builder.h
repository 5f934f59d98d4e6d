#pragma once
// Builds MS3D files byte by byte, so tests can state exactly what a file
// holds, damage it at a chosen place and load it from memory.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

struct Ms3dBuilder {
    struct Vertex {
        float position[3];
        std::int8_t joint = -1;
    };
    struct Triangle {
        std::uint16_t vertices[3];
        float normals[3][3] = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
        float s[3] = {0, 1, 0};
        float t[3] = {0, 0, 1};
    };
    struct Group {
        std::vector<std::uint16_t> triangles;
        std::int8_t material = -1;
    };
    struct Material {
        std::string texture;  // written into 128 bytes; 128 characters leave no terminator
        float diffuse[4] = {0.8f, 0.8f, 0.8f, 1.0f};
    };
    struct Key {
        float timeSeconds;
        float values[3];
    };
    struct Joint {
        std::string name;
        std::string parent;  // "" for a root
        float rotation[3] = {};
        float position[3] = {};
        std::vector<Key> rotationKeys;
        std::vector<Key> translationKeys;
    };

    std::int32_t version = 4;
    std::vector<Vertex> vertices;
    std::vector<Triangle> triangles;
    std::vector<Group> groups;
    std::vector<Material> materials;
    float framesPerSecond = 24.0f;
    std::int32_t frameCount = 30;
    std::vector<Joint> joints;

    std::vector<std::uint8_t> bytes() const
    {
        std::vector<std::uint8_t> out;
        auto raw = [&out](const void* p, std::size_t n) {
            const auto* b = static_cast<const std::uint8_t*>(p);
            out.insert(out.end(), b, b + n);
        };
        auto u8 = [&](std::uint8_t v) { out.push_back(v); };
        auto u16 = [&](std::uint16_t v) { raw(&v, 2); };
        auto s32 = [&](std::int32_t v) { raw(&v, 4); };
        auto f32 = [&](float v) { raw(&v, 4); };
        auto text = [&](const std::string& s, std::size_t width) {
            std::vector<std::uint8_t> field(width, 0);
            std::memcpy(field.data(), s.data(), s.size() < width ? s.size() : width);
            raw(field.data(), width);
        };

        raw("MS3D000000", 10);
        s32(version);
        u16(static_cast<std::uint16_t>(vertices.size()));
        for (const Vertex& v : vertices) {
            u8(0);
            for (float c : v.position)
                f32(c);
            u8(static_cast<std::uint8_t>(v.joint));
            u8(1);
        }
        u16(static_cast<std::uint16_t>(triangles.size()));
        for (const Triangle& t : triangles) {
            u16(0);
            for (std::uint16_t i : t.vertices)
                u16(i);
            for (const auto& n : t.normals)
                for (float c : n)
                    f32(c);
            for (float c : t.s)
                f32(c);
            for (float c : t.t)
                f32(c);
            u8(1);
            u8(0);
        }
        u16(static_cast<std::uint16_t>(groups.size()));
        for (const Group& g : groups) {
            u8(0);
            text("group", 32);
            u16(static_cast<std::uint16_t>(g.triangles.size()));
            for (std::uint16_t i : g.triangles)
                u16(i);
            u8(static_cast<std::uint8_t>(g.material));
        }
        u16(static_cast<std::uint16_t>(materials.size()));
        for (const Material& m : materials) {
            text("material", 32);
            for (int i = 0; i < 4; ++i)
                f32(0.2f);  // ambient
            for (float c : m.diffuse)
                f32(c);
            for (int i = 0; i < 4; ++i)
                f32(0.0f);  // specular
            for (int i = 0; i < 4; ++i)
                f32(0.0f);  // emissive
            f32(10.0f);     // shininess
            f32(1.0f);      // transparency
            u8(0);
            text(m.texture, 128);
            text("", 128);
        }
        f32(framesPerSecond);
        f32(0.0f);
        s32(frameCount);
        u16(static_cast<std::uint16_t>(joints.size()));
        for (const Joint& j : joints) {
            u8(0);
            text(j.name, 32);
            text(j.parent, 32);
            for (float c : j.rotation)
                f32(c);
            for (float c : j.position)
                f32(c);
            u16(static_cast<std::uint16_t>(j.rotationKeys.size()));
            u16(static_cast<std::uint16_t>(j.translationKeys.size()));
            for (const Key& k : j.rotationKeys) {
                f32(k.timeSeconds);
                for (float c : k.values)
                    f32(c);
            }
            for (const Key& k : j.translationKeys) {
                f32(k.timeSeconds);
                for (float c : k.values)
                    f32(c);
            }
        }
        return out;
    }
};

// A small skinned model: a unit square in the z = 0 plane split in two
// triangles, its left half on joint "root" and its right half on "arm",
// a child of root placed at x = 1. The arm has translation keys only, at
// 0 s and 1 s, moving it up by 0 then 4; root has no keys. 30 frames at
// 24 fps: 1250 ms.
inline Ms3dBuilder twoJointModel()
{
    Ms3dBuilder b;
    b.vertices = {
        {{0, 0, 0}, 0}, {{1, 0, 0}, 1}, {{1, 1, 0}, 1}, {{0, 1, 0}, 0},
    };
    b.triangles = {{{0, 1, 2}}, {{0, 2, 3}}};
    b.groups = {{{0, 1}, 0}};
    b.materials = {{".\\skin.bmp"}};
    Ms3dBuilder::Joint root;
    root.name = "root";
    Ms3dBuilder::Joint arm;
    arm.name = "arm";
    arm.parent = "root";
    arm.position[0] = 1.0f;
    arm.translationKeys = {{0.0f, {0, 0, 0}}, {1.0f, {0, 4, 0}}};
    b.joints = {root, arm};
    return b;
}
