#pragma once
// Builds 3DS files byte by byte for the reader and mesh tests.

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace build3ds {

using Bytes = std::vector<std::uint8_t>;

inline void put16(Bytes& out, std::uint32_t v)
{
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

inline void put32(Bytes& out, std::uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

inline void putFloat(Bytes& out, float f)
{
    std::uint32_t v;
    std::memcpy(&v, &f, 4);
    put32(out, v);
}

inline Bytes cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

inline Bytes text(const std::string& s)
{
    Bytes out(s.begin(), s.end());
    out.push_back(0);
    return out;
}

// A chunk with its header; the length counts the header.
inline Bytes chunk(std::uint16_t id, const Bytes& payload)
{
    Bytes out;
    put16(out, id);
    put32(out, static_cast<std::uint32_t>(payload.size() + 6));
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

inline Bytes version(std::int32_t v)
{
    Bytes p;
    put32(p, static_cast<std::uint32_t>(v));
    return chunk(0x0002, p);
}

// The mesh-version chunk that every editor chunk starts with.
inline Bytes meshVersion() { return chunk(0x3D3E, Bytes{3, 0, 0, 0}); }

inline Bytes vertices(std::initializer_list<float> xyz)
{
    Bytes p;
    put16(p, static_cast<std::uint32_t>(xyz.size() / 3));
    for (float f : xyz)
        putFloat(p, f);
    return chunk(0x4110, p);
}

// Faces as (a, b, c) triples with flags 7; the sub-chunks (material groups)
// follow the face data inside the face chunk, as 3DS writers put them.
inline Bytes faces(std::initializer_list<int> abc, const Bytes& subChunks = {})
{
    Bytes p;
    put16(p, static_cast<std::uint32_t>(abc.size() / 3));
    int corner = 0;
    for (int i : abc) {
        put16(p, static_cast<std::uint32_t>(i));
        if (++corner == 3) {
            put16(p, 7);
            corner = 0;
        }
    }
    p.insert(p.end(), subChunks.begin(), subChunks.end());
    return chunk(0x4120, p);
}

inline Bytes texCoords(std::initializer_list<float> uv)
{
    Bytes p;
    put16(p, static_cast<std::uint32_t>(uv.size() / 2));
    for (float f : uv)
        putFloat(p, f);
    return chunk(0x4140, p);
}

inline Bytes materialGroup(const std::string& name)
{
    Bytes p = text(name);
    put16(p, 1);
    put16(p, 0);
    return chunk(0x4130, p);
}

inline Bytes object(const std::string& name, const Bytes& meshContents)
{
    return chunk(0x4000, cat({text(name), chunk(0x4100, meshContents)}));
}

inline Bytes colour24(std::uint8_t r, std::uint8_t g, std::uint8_t b) { return chunk(0x0011, Bytes{r, g, b}); }

inline Bytes material(const std::string& name, const std::string& textureFile = "",
                      const Bytes& diffuseContents = colour24(255, 255, 255))
{
    Bytes p = cat({chunk(0xA000, text(name)), chunk(0xA020, diffuseContents)});
    if (!textureFile.empty())
        p = cat({p, chunk(0xA200, cat({chunk(0xA351, Bytes{0, 0}), chunk(0xA300, text(textureFile))}))});
    return chunk(0xAFFF, p);
}

// A whole file: the main chunk with a version and an editor chunk holding
// the mesh version and then `editorContents`.
inline Bytes file(const Bytes& editorContents, std::int32_t fileVersion = 3)
{
    return chunk(0x4D4D, cat({version(fileVersion), chunk(0x3D3D, cat({meshVersion(), editorContents}))}));
}

// Writes `bytes` to a file in the build folder and returns its path.
inline std::string writeTemp(const Bytes& bytes, const char* name)
{
    const std::string path = std::string(TURFWAR_BINARY_DIR) + "/" + name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!bytes.empty())  // an empty vector's data() may be null, which fwrite must not get
        std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return path;
}

}  // namespace build3ds
