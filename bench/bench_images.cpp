// Our BMP and TGA decoders against stb_image on the same 4096 x 4096 files,
// held in memory, side by side. The picture is blocky (runs of 8 to 64
// pixels from a 200-colour palette), so that RLE files are realistic and
// palette files are exact.

#include "assets/image.h"

#include <benchmark/benchmark.h>
#include <stb/stb_image.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr int kSide = 4096;
constexpr int kColours = 200;

struct Picture {
    std::vector<std::uint8_t> index;         // kSide * kSide palette indices, bottom row first
    std::uint8_t palette[kColours][4] = {};  // R G B A
};

const Picture& picture()
{
    static const Picture p = [] {
        Picture pic;
        std::uint32_t state = 12345;
        auto next = [&state] {
            state = state * 1664525u + 1013904223u;
            return state >> 8;
        };
        for (auto& c : pic.palette) {
            c[0] = static_cast<std::uint8_t>(next());
            c[1] = static_cast<std::uint8_t>(next());
            c[2] = static_cast<std::uint8_t>(next());
            c[3] = static_cast<std::uint8_t>(next() | 0x80);
        }
        pic.index.resize(std::size_t{kSide} * kSide);
        for (int y = 0; y < kSide; ++y) {
            int x = 0;
            while (x < kSide) {
                const int run = std::min<int>(8 + static_cast<int>(next() % 57), kSide - x);
                const auto colour = static_cast<std::uint8_t>(next() % kColours);
                std::memset(&pic.index[std::size_t(y) * kSide + std::size_t(x)], colour, std::size_t(run));
                x += run;
            }
        }
        return pic;
    }();
    return p;
}

void put16(Bytes& b, unsigned v)
{
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void put32(Bytes& b, std::uint32_t v)
{
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

Bytes bmpHeaders(unsigned bitCount, unsigned compression, unsigned colours)
{
    Bytes b{'B', 'M'};
    put32(b, 0);
    put32(b, 0);
    put32(b, 54 + colours * 4);
    put32(b, 40);
    put32(b, kSide);
    put32(b, kSide);
    put16(b, 1);
    put16(b, bitCount);
    put32(b, compression);
    for (int i = 0; i < 3; ++i)
        put32(b, 0);
    put32(b, colours);
    put32(b, 0);
    const Picture& p = picture();
    for (unsigned i = 0; i < colours; ++i)
        b.insert(b.end(), {p.palette[i][2], p.palette[i][1], p.palette[i][0], 0});
    return b;
}

Bytes makeBmp(unsigned bitCount, bool rle)
{
    const Picture& p = picture();
    Bytes b = bmpHeaders(bitCount, rle ? 1 : 0, bitCount == 8 ? kColours : 0);
    for (int y = 0; y < kSide; ++y) {
        const std::uint8_t* row = &p.index[std::size_t(y) * kSide];
        if (rle) {
            int x = 0;
            while (x < kSide) {
                int run = 1;
                while (x + run < kSide && run < 255 && row[x + run] == row[x])
                    ++run;
                b.insert(b.end(), {static_cast<std::uint8_t>(run), row[x]});
                x += run;
            }
            b.insert(b.end(), {0, 0});
            continue;
        }
        for (int x = 0; x < kSide; ++x) {
            const std::uint8_t* c = p.palette[row[x]];
            if (bitCount == 8)
                b.push_back(row[x]);
            else
                b.insert(b.end(), {c[2], c[1], c[0]});
            if (bitCount == 32)
                b.push_back(c[3]);
        }
    }
    if (rle)
        b.insert(b.end(), {0, 1});
    return b;
}

Bytes makeTga(unsigned bits, bool rle)
{
    const Picture& p = picture();
    Bytes b{0, 0, static_cast<std::uint8_t>(rle ? 10 : 2), 0, 0, 0, 0, 0, 0, 0, 0, 0};
    put16(b, kSide);
    put16(b, kSide);
    b.push_back(static_cast<std::uint8_t>(bits));
    b.push_back(bits == 32 ? 8 : 0);
    auto pixel = [&](std::uint8_t index) {
        const std::uint8_t* c = p.palette[index];
        b.insert(b.end(), {c[2], c[1], c[0]});
        if (bits == 32)
            b.push_back(c[3]);
    };
    for (int y = 0; y < kSide; ++y) {
        const std::uint8_t* row = &p.index[std::size_t(y) * kSide];
        if (!rle) {
            for (int x = 0; x < kSide; ++x)
                pixel(row[x]);
            continue;
        }
        int x = 0;
        while (x < kSide) {  // runs only: the picture has no lone pixels
            int run = 1;
            while (x + run < kSide && run < 128 && row[x + run] == row[x])
                ++run;
            b.push_back(static_cast<std::uint8_t>(127 + run));
            pixel(row[x]);
            x += run;
        }
    }
    return b;
}

const Bytes& file(const std::string& kind)
{
    static std::map<std::string, Bytes> files;
    auto it = files.find(kind);
    if (it != files.end())
        return it->second;
    Bytes b;
    if (kind == "bmp24")
        b = makeBmp(24, false);
    else if (kind == "bmp8")
        b = makeBmp(8, false);
    else if (kind == "bmp_rle8")
        b = makeBmp(8, true);
    else if (kind == "bmp32")
        b = makeBmp(32, false);
    else if (kind == "tga24")
        b = makeTga(24, false);
    else if (kind == "tga_rle24")
        b = makeTga(24, true);
    else if (kind == "tga32")
        b = makeTga(32, false);
    else if (kind == "tga_rle32")
        b = makeTga(32, true);
    return files.emplace(kind, std::move(b)).first->second;
}

void ours(benchmark::State& state, const std::string& kind)
{
    const Bytes& bytes = file(kind);
    const bool bmp = kind.rfind("bmp", 0) == 0;
    std::size_t outBytes = 0;
    for (auto _ : state) {
        DecodeFailure failure;
        if (bmp) {
            std::optional<RgbImage> image = decodeDibImage(bytes, failure);
            if (!image) {
                state.SkipWithError(failure.reason.c_str());
                return;
            }
            outBytes = image->pixels.size();
            benchmark::DoNotOptimize(image->pixels.data());
        } else {
            std::optional<TgaImage> image = decodeTgaImage(bytes, failure);
            if (!image) {
                state.SkipWithError(failure.reason.c_str());
                return;
            }
            outBytes = image->pixels.size();
            benchmark::DoNotOptimize(image->pixels.data());
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * outBytes));
    state.counters["file_MB"] = static_cast<double>(bytes.size()) / 1e6;
}

void stb(benchmark::State& state, const std::string& kind)
{
    const Bytes& bytes = file(kind);
    std::size_t outBytes = 0;
    for (auto _ : state) {
        int w = 0, h = 0, n = 0;
        stbi_uc* pixels = stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &w, &h, &n, 0);
        if (pixels == nullptr) {
            state.SkipWithError(stbi_failure_reason());
            return;
        }
        outBytes = std::size_t(w) * std::size_t(h) * std::size_t(n);
        benchmark::DoNotOptimize(pixels);
        stbi_image_free(pixels);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * outBytes));
}

void registerAll()
{
    // stb_image cannot read a run-length BMP; that case runs ours alone.
    for (const char* kind : {"bmp24", "bmp8", "bmp_rle8", "bmp32", "tga24", "tga_rle24", "tga32", "tga_rle32"}) {
        const std::string k = kind;
        benchmark::RegisterBenchmark((k + "/ours").c_str(), [k](benchmark::State& s) { ours(s, k); })
            ->Unit(benchmark::kMillisecond);
        if (k != "bmp_rle8")
            benchmark::RegisterBenchmark((k + "/stb_image").c_str(), [k](benchmark::State& s) { stb(s, k); })
                ->Unit(benchmark::kMillisecond);
    }
}

const int kRegistered = (registerAll(), 0);

}  // namespace
