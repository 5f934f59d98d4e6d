// MS3D: our reader against assimp importing the same bytes (both from
// memory, so the disk is out of it), and the per-frame cost of animating and
// skinning a model on the processor.
#include "assets/model_ms3d.h"
#include "tests/ms3d_builder.h"

#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// A character-sized skinned model: a 100 x 100 vertex sheet, 19,602
// triangles in 4 groups, a chain of 40 joints with 30 rotation and 30
// translation keys each.
std::vector<std::uint8_t> syntheticSkinnedModel()
{
    Ms3dBuilder b;
    constexpr int kSide = 100;
    constexpr int kJoints = 40;
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x)
            b.vertices.push_back({{static_cast<float>(x), static_cast<float>(y), 0.0f},
                                  static_cast<std::int8_t>((y * kJoints) / kSide)});
    for (int y = 0; y + 1 < kSide; ++y) {
        for (int x = 0; x + 1 < kSide; ++x) {
            const auto v = static_cast<std::uint16_t>(y * kSide + x);
            b.triangles.push_back({{v, static_cast<std::uint16_t>(v + 1), static_cast<std::uint16_t>(v + kSide + 1)}});
            b.triangles.push_back({{v, static_cast<std::uint16_t>(v + kSide + 1), static_cast<std::uint16_t>(v + kSide)}});
        }
    }
    b.groups.resize(4);
    for (std::size_t t = 0; t < b.triangles.size(); ++t)
        b.groups[t % 4].triangles.push_back(static_cast<std::uint16_t>(t));
    for (auto& g : b.groups)
        g.material = 0;
    b.materials = {{".\\skin.bmp"}};
    for (int j = 0; j < kJoints; ++j) {
        Ms3dBuilder::Joint joint;
        joint.name = "joint" + std::to_string(j);
        joint.parent = j == 0 ? "" : "joint" + std::to_string(j - 1);
        joint.position[1] = j == 0 ? 0.0f : static_cast<float>(kSide) / kJoints;
        for (int k = 0; k < 30; ++k) {
            const float time = static_cast<float>(k) / 24.0f;
            const float angle = 0.2f * std::sin(static_cast<float>(k + j) * 0.3f);
            joint.rotationKeys.push_back({time, {angle, 0.0f, angle * 0.5f}});
            joint.translationKeys.push_back({time, {0.0f, angle, 0.0f}});
        }
        b.joints.push_back(joint);
    }
    return b.bytes();
}

struct Sample {
    std::string name;
    std::vector<std::uint8_t> bytes;
};

std::vector<Sample> samples()
{
    std::vector<Sample> out;
    const std::filesystem::path root = "/usr/share/assimp/models/MS3D";
    if (std::filesystem::exists(root)) {
        for (const auto& entry : std::filesystem::directory_iterator(root)) {
            if (entry.path().extension() != ".ms3d")
                continue;
            std::ifstream in(entry.path(), std::ios::binary);
            out.push_back({entry.path().filename().string(),
                           {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()}});
        }
    }
    out.push_back({"synthetic_skinned", syntheticSkinnedModel()});
    return out;
}

void loadOurs(benchmark::State& state, const std::vector<std::uint8_t>& bytes)
{
    for (auto _ : state) {
        ModelMs3d model;
        const bool ok = model.loadFromMemory(bytes, "data\\model.ms3d");
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(model.triangles.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

void loadAssimp(benchmark::State& state, const std::vector<std::uint8_t>& bytes)
{
    for (auto _ : state) {
        Assimp::Importer importer;
        const aiScene* scene = importer.ReadFileFromMemory(bytes.data(), bytes.size(), 0, "ms3d");
        if (!scene) {
            state.SkipWithError(importer.GetErrorString());
            break;
        }
        benchmark::DoNotOptimize(scene->mNumMeshes);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

// One frame of the player: advance the clock by a 60 Hz frame and skin every
// corner, as draw does before handing them to GL.
void skinFrame(benchmark::State& state, const std::vector<std::uint8_t>& bytes)
{
    ModelMs3d model;
    if (!model.loadFromMemory(bytes, "model.ms3d")) {
        state.SkipWithError("model did not load");
        return;
    }
    std::vector<SkinnedCorner> corners;
    for (auto _ : state) {
        model.advance(16.0);
        model.skinAll(corners);
        benchmark::DoNotOptimize(corners.data());
    }
    state.counters["corners"] = static_cast<double>(corners.size());
}

const int kRegistered = [] {
    for (const Sample& sample : samples()) {
        benchmark::RegisterBenchmark(("Ms3dLoad/ours/" + sample.name).c_str(), loadOurs, sample.bytes);
        benchmark::RegisterBenchmark(("Ms3dLoad/assimp/" + sample.name).c_str(), loadAssimp, sample.bytes);
        if (sample.name == "synthetic_skinned")
            benchmark::RegisterBenchmark("Ms3dSkinFrame/synthetic_skinned", skinFrame, sample.bytes);
    }
    return 0;
}();

}  // namespace
