#include "tools/datagen/writer_3ds.h"

#include <cassert>

namespace datagen {

namespace {

// A chunk whose length is patched in when it is closed.
class ChunkScope {
public:
    ChunkScope(ByteWriter& out, std::uint16_t id) : out_(out), start_(out.size())
    {
        out_.u16(id);
        out_.u32(0);
    }
    ~ChunkScope() { out_.patchU32(start_ + 2, static_cast<std::uint32_t>(out_.size() - start_)); }
    ChunkScope(const ChunkScope&) = delete;
    ChunkScope& operator=(const ChunkScope&) = delete;

private:
    ByteWriter& out_;
    std::size_t start_;
};

void writeMaterial(ByteWriter& out, const Material3dsOut& m)
{
    ChunkScope material(out, 0xAFFF);
    {
        ChunkScope name(out, 0xA000);
        out.cString(m.name);
    }
    {
        ChunkScope diffuse(out, 0xA020);
        ChunkScope rgb(out, 0x0011);  // 24-bit colour
        for (std::uint8_t c : m.colour)
            out.u8(c);
    }
    if (!m.textureFile.empty()) {
        ChunkScope map(out, 0xA200);
        {
            ChunkScope percent(out, 0x0030);  // map strength, 100 %
            out.u16(100);
        }
        ChunkScope fileName(out, 0xA300);
        out.cString(m.textureFile);
    }
}

void writeObject(ByteWriter& out, const Object3dsOut& o)
{
    const Mesh& mesh = o.mesh;
    assert(mesh.positions.size() <= 0xFFFF && mesh.triangles.size() <= 0xFFFF && "3DS counts are 16-bit");
    ChunkScope object(out, 0x4000);
    out.cString(o.name);
    ChunkScope triMesh(out, 0x4100);
    {
        ChunkScope vertices(out, 0x4110);
        out.u16(static_cast<std::uint16_t>(mesh.positions.size()));
        for (const V3& p : mesh.positions) {
            out.f32(p.x);
            out.f32(-p.z);
            out.f32(p.y);
        }
    }
    {
        ChunkScope texCoords(out, 0x4140);
        out.u16(static_cast<std::uint16_t>(mesh.uvs.size()));
        for (const V2& uv : mesh.uvs) {
            out.f32(uv.u);
            out.f32(uv.v);
        }
    }
    {
        ChunkScope faces(out, 0x4120);
        out.u16(static_cast<std::uint16_t>(mesh.triangles.size()));
        for (const auto& t : mesh.triangles) {
            out.u16(t[0]);
            out.u16(t[1]);
            out.u16(t[2]);
            out.u16(0x0007);  // all three edges visible
        }
        ChunkScope group(out, 0x4130);
        out.cString(o.materialName);
        out.u16(static_cast<std::uint16_t>(mesh.triangles.size()));
        for (std::size_t i = 0; i < mesh.triangles.size(); ++i)
            out.u16(static_cast<std::uint16_t>(i));
    }
}

}  // namespace

std::vector<std::uint8_t> write3ds(const std::vector<Material3dsOut>& materials,
                                   const std::vector<Object3dsOut>& objects)
{
    ByteWriter out;
    {
        ChunkScope main(out, 0x4D4D);
        {
            ChunkScope version(out, 0x0002);
            out.u32(3);
        }
        ChunkScope editor(out, 0x3D3D);
        {
            // Must stay first: readers skip the editor's first sub-chunk unseen.
            ChunkScope meshVersion(out, 0x3D3E);
            out.u32(3);
        }
        {
            ChunkScope masterScale(out, 0x0100);
            out.f32(1.0f);
        }
        for (const Material3dsOut& m : materials)
            writeMaterial(out, m);
        for (const Object3dsOut& o : objects)
            writeObject(out, o);
    }
    return out.data();
}

}  // namespace datagen
