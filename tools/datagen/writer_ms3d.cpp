#include "tools/datagen/writer_ms3d.h"

#include "tools/datagen/byte_writer.h"

#include <cassert>

namespace datagen {

namespace {

void writeKeys(ByteWriter& out, const std::vector<Ms3dKeyOut>& keys)
{
    for (const Ms3dKeyOut& k : keys) {
        out.f32(k.timeSeconds);
        out.f32(k.value.x);
        out.f32(k.value.y);
        out.f32(k.value.z);
    }
}

}  // namespace

std::vector<std::uint8_t> writeMs3d(const Ms3dModelOut& model)
{
    // The groups' meshes are laid end to end into one vertex and one triangle list.
    std::size_t vertexCount = 0, triangleCount = 0;
    for (const Ms3dGroupOut& g : model.groups) {
        vertexCount += g.mesh.positions.size();
        triangleCount += g.mesh.triangles.size();
    }
    assert(vertexCount <= 0xFFFF && triangleCount <= 0xFFFF && "MS3D counts are 16-bit");
    assert(model.groups.size() <= 0xFFFF && model.materials.size() <= 0xFFFF && model.joints.size() <= 0xFFFF);

    // How many triangles use each vertex: the format's reference count.
    std::vector<int> references(vertexCount, 0);
    {
        std::size_t base = 0;
        for (const Ms3dGroupOut& g : model.groups) {
            for (const auto& t : g.mesh.triangles)
                for (std::uint16_t i : t)
                    ++references[base + i];
            base += g.mesh.positions.size();
        }
    }

    ByteWriter out;
    out.bytes("MS3D000000");
    out.i32(4);

    out.u16(static_cast<std::uint16_t>(vertexCount));
    std::size_t vertexIndex = 0;
    for (const Ms3dGroupOut& g : model.groups) {
        for (std::size_t i = 0; i < g.mesh.positions.size(); ++i, ++vertexIndex) {
            out.u8(0);  // flags
            out.f32(g.mesh.positions[i].x);
            out.f32(g.mesh.positions[i].y);
            out.f32(g.mesh.positions[i].z);
            out.i8(g.mesh.joints[i]);
            out.u8(static_cast<std::uint8_t>(references[vertexIndex] > 255 ? 255 : references[vertexIndex]));
        }
    }

    out.u16(static_cast<std::uint16_t>(triangleCount));
    std::size_t base = 0;
    for (std::size_t gi = 0; gi < model.groups.size(); ++gi) {
        const Mesh& mesh = model.groups[gi].mesh;
        for (const auto& t : mesh.triangles) {
            out.u16(0);  // flags
            for (std::uint16_t i : t)
                out.u16(static_cast<std::uint16_t>(base + i));
            for (std::uint16_t i : t) {
                out.f32(mesh.normals[i].x);
                out.f32(mesh.normals[i].y);
                out.f32(mesh.normals[i].z);
            }
            for (std::uint16_t i : t)
                out.f32(mesh.uvs[i].u);
            for (std::uint16_t i : t)
                out.f32(1.0f - mesh.uvs[i].v);
            out.u8(1);                                  // smoothing group
            out.u8(static_cast<std::uint8_t>(gi));      // group index
        }
        base += mesh.positions.size();
    }

    out.u16(static_cast<std::uint16_t>(model.groups.size()));
    std::size_t firstTriangle = 0;
    for (const Ms3dGroupOut& g : model.groups) {
        out.u8(0);  // flags
        out.fixedString(g.name, 32);
        out.u16(static_cast<std::uint16_t>(g.mesh.triangles.size()));
        for (std::size_t i = 0; i < g.mesh.triangles.size(); ++i)
            out.u16(static_cast<std::uint16_t>(firstTriangle + i));
        out.i8(g.material);
        firstTriangle += g.mesh.triangles.size();
    }

    out.u16(static_cast<std::uint16_t>(model.materials.size()));
    for (const Ms3dMaterialOut& m : model.materials) {
        out.fixedString(m.name, 32);
        for (const float* colour : {m.ambient, m.diffuse, m.specular, m.emissive})
            for (int i = 0; i < 4; ++i)
                out.f32(colour[i]);
        out.f32(m.shininess);
        out.f32(1.0f);  // transparency: opaque
        out.u8(0);      // mode
        out.fixedString(m.texture, 128);
        out.fixedString("", 128);  // alpha map
    }

    out.f32(model.framesPerSecond);
    out.f32(model.currentTime);
    out.i32(model.totalFrames);
    out.u16(static_cast<std::uint16_t>(model.joints.size()));
    for (const Ms3dJointOut& j : model.joints) {
        assert(j.rotationKeys.size() <= 0xFFFF && j.translationKeys.size() <= 0xFFFF);
        out.u8(0);  // flags
        out.fixedString(j.name, 32);
        out.fixedString(j.parentName, 32);
        out.f32(j.rotation.x);
        out.f32(j.rotation.y);
        out.f32(j.rotation.z);
        out.f32(j.position.x);
        out.f32(j.position.y);
        out.f32(j.position.z);
        out.u16(static_cast<std::uint16_t>(j.rotationKeys.size()));
        out.u16(static_cast<std::uint16_t>(j.translationKeys.size()));
        writeKeys(out, j.rotationKeys);
        writeKeys(out, j.translationKeys);
    }
    return out.data();
}

}  // namespace datagen
