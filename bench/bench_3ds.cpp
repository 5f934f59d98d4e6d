// 3DS loading, ours against assimp's importer on the same files, side by
// side: every 3DS file of assimp's test models and a synthetic mesh of 60,000
// triangles. Both read from the file and compute vertex normals.
#include "assets/reader_3ds.h"

#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

void put16(Bytes& out, std::uint32_t v)
{
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put32(Bytes& out, std::uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

void putFloat(Bytes& out, float f)
{
    std::uint32_t v;
    std::memcpy(&v, &f, 4);
    put32(out, v);
}

Bytes chunk(std::uint16_t id, const Bytes& payload)
{
    Bytes out;
    put16(out, id);
    put32(out, static_cast<std::uint32_t>(payload.size() + 6));
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes text(const char* s) { return Bytes(s, s + std::strlen(s) + 1); }

// A rippled grid of 200 x 150 quads, two triangles each, with texture
// coordinates and one textured material covering every face.
Bytes syntheticMesh()
{
    constexpr int kColumns = 200, kRows = 150;
    Bytes vertexList, texCoords, faceList, group = text("ground");
    put16(vertexList, (kColumns + 1) * (kRows + 1));
    put16(texCoords, (kColumns + 1) * (kRows + 1));
    for (int r = 0; r <= kRows; ++r) {
        for (int c = 0; c <= kColumns; ++c) {
            putFloat(vertexList, static_cast<float>(c));
            putFloat(vertexList, static_cast<float>(r));
            putFloat(vertexList, std::sin(static_cast<float>(c) * 0.3f) * std::cos(static_cast<float>(r) * 0.2f));
            putFloat(texCoords, static_cast<float>(c) / kColumns);
            putFloat(texCoords, static_cast<float>(r) / kRows);
        }
    }
    // A face is a, b, c and a flags word.
    put16(faceList, kColumns * kRows * 2);
    put16(group, kColumns * kRows * 2);
    for (int r = 0; r < kRows; ++r) {
        for (int c = 0; c < kColumns; ++c) {
            const int v = r * (kColumns + 1) + c;
            for (const int corner : {v, v + 1, v + kColumns + 2})
                put16(faceList, static_cast<std::uint32_t>(corner));
            put16(faceList, 7);
            for (const int corner : {v, v + kColumns + 2, v + kColumns + 1})
                put16(faceList, static_cast<std::uint32_t>(corner));
            put16(faceList, 7);
        }
    }
    for (int i = 0; i < kColumns * kRows * 2; ++i)
        put16(group, static_cast<std::uint32_t>(i));
    Bytes version;
    put32(version, 3);
    const Bytes material = chunk(0xAFFF, chunk(0xA000, text("ground")) + chunk(0xA020, chunk(0x0011, {90, 160, 60})) +
                                             chunk(0xA200, chunk(0xA300, text("grass.bmp"))));
    const Bytes mesh = chunk(0x4100, chunk(0x4110, vertexList) + chunk(0x4120, faceList + chunk(0x4130, group)) +
                                         chunk(0x4140, texCoords));
    const Bytes object = chunk(0x4000, text("ground") + mesh);
    return chunk(0x4D4D, chunk(0x0002, version) + chunk(0x3D3D, chunk(0x3D3E, version) + material + object));
}

void ours(benchmark::State& state, const std::string& path)
{
    std::int64_t faces = 0;
    for (auto _ : state) {
        Scene3ds scene;
        Reader3ds reader;
        LoadReport report;
        if (!reader.import3ds(scene, path.c_str(), report)) {
            state.SkipWithError("our reader failed");
            return;
        }
        faces = 0;
        for (const Object3ds& o : scene.objects)
            faces += static_cast<std::int64_t>(o.faces.size());
        benchmark::DoNotOptimize(scene.objects.data());
    }
    state.counters["faces"] = static_cast<double>(faces);
}

void assimp(benchmark::State& state, const std::string& path)
{
    Assimp::Importer importer;
    std::int64_t faces = 0;
    for (auto _ : state) {
        const aiScene* scene = importer.ReadFile(path, 0);
        if (scene == nullptr) {
            state.SkipWithError(importer.GetErrorString());
            return;
        }
        faces = 0;
        for (unsigned m = 0; m < scene->mNumMeshes; ++m)
            faces += scene->mMeshes[m]->mNumFaces;
        benchmark::DoNotOptimize(scene);
    }
    state.counters["faces"] = static_cast<double>(faces);
}

void registerPair(const std::string& label, const std::string& path)
{
    benchmark::RegisterBenchmark(("Load3ds/ours/" + label).c_str(), ours, path);
    benchmark::RegisterBenchmark(("Load3ds/assimp/" + label).c_str(), assimp, path);
}

const bool registered = [] {
    std::vector<std::filesystem::path> files;
    const std::filesystem::path models = "/usr/share/assimp/models/3DS";
    if (std::filesystem::exists(models)) {
        for (const auto& entry : std::filesystem::directory_iterator(models)) {
            std::string extension = entry.path().extension().string();
            std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
            if (extension == ".3ds")
                files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    for (const auto& file : files)
        registerPair(file.filename().string(), file.string());

    const std::string synthetic = (std::filesystem::temp_directory_path() / "turfwar-bench-60k.3ds").string();
    const Bytes bytes = syntheticMesh();
    if (std::FILE* f = std::fopen(synthetic.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        registerPair("synthetic-60000-triangles", synthetic);
    }
    return true;
}();

}  // namespace
