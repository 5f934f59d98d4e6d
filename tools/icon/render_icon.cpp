// turfwar-render-icon: draws the game's own car, as the game loads and
// builds it from a data folder, into square PNG icons with a transparent
// background. The build runs it on the data it prepares, so the icon is made
// from source like every other picture the game shows.
//
//   turfwar-render-icon DATADIR OUTDIR SIZE...   writes OUTDIR/turfwar-SIZE.png
//
// Each icon is drawn several times larger and averaged down, so its edges are
// smooth. GL gives no alpha channel here, so the car is drawn twice, over
// black and over white: where the two differ the background shows through,
// and by how much is the pixel's transparency.
// Exit status: 0 when every icon was written; 1 when the game could not start
// on the data, showed any error, or a file could not be written; 2 for bad
// arguments.

#include "app/error_box.h"
#include "app/game.h"
#include "app/headless_platform.h"
#include "game/car_drawing.h"
#include "game/scene.h"
#include "tools/png_file.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace {

// The largest square drawn: every icon side fits this many times over.
constexpr int kCanvasSide = 512;
constexpr int kMaxIconSide = kCanvasSide / 2;
constexpr double kFieldOfViewDegrees = 30.0;

struct Rgba {
    int side = 0;
    std::vector<std::uint8_t> pixels;  // top row first
};

std::vector<std::uint8_t> readRgb(int side)
{
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(side) * side * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, side, side, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    return rgb;
}

// The car's parts, lit and textured as the scene pass draws them, seen from
// ahead and to one side, a little above, filling the square.
void drawCar(const World& world, const float background[3], int side)
{
    const Car& car = world.sim.cars[0];
    float pose[16];
    car.partPose(0, pose);
    const double cx = pose[12], cy = pose[13], cz = pose[14];
    // Far enough that every wheel (and the body around them) stays inside the view.
    double reach = 0.0;
    for (int part = 1; part < kCarPartCount; ++part) {
        float wheel[16];
        car.partPose(part, wheel);
        reach = std::max(reach, std::hypot(wheel[12] - cx, wheel[13] - cy, wheel[14] - cz));
    }
    const double radius = reach * 1.35;
    const double distance = radius / std::sin(kFieldOfViewDegrees / 2.0 * M_PI / 180.0);
    // The chassis's own axes, so the view follows the car however it stands.
    const double fx = pose[8], fy = pose[9], fz = pose[10];  // local z
    const double sx = pose[0], sy = pose[1], sz = pose[2];   // local x
    const double dx = 0.8 * fx + 0.6 * sx;
    const double dy = 0.55 + 0.8 * fy + 0.6 * sy;
    const double dz = 0.8 * fz + 0.6 * sz;
    const double length = std::sqrt(dx * dx + dy * dy + dz * dz);

    glViewport(0, 0, side, side);
    glClearColor(background[0], background[1], background[2], 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(kFieldOfViewDegrees, 1.0, distance * 0.1, distance * 4.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(cx + dx / length * distance, cy + dy / length * distance, cz + dz / length * distance, cx, cy, cz, 0.0,
              1.0, 0.0);
    glLightfv(GL_LIGHT0, GL_POSITION, kLightPosition);
    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glColor3f(1.0f, 1.0f, 1.0f);

    pushCarPartPose(car, 0);
    if (world.carMesh.objects.empty())
        drawStandInChassis(car);
    else
        world.carMesh.draw();
    glPopMatrix();
    for (int part = 1; part < kCarPartCount; ++part) {
        pushCarPartPose(car, part);
        if (world.wheelMesh.objects.empty())
            drawStandInWheel(car);
        else
            world.wheelMesh.draw();
        glPopMatrix();
    }
    glFinish();
}

// Averages factor x factor blocks of the two drawings into one RGBA icon.
// Over black a pixel shows colour * alpha; over white, that plus 1 - alpha.
Rgba iconFrom(const std::vector<std::uint8_t>& overBlack, const std::vector<std::uint8_t>& overWhite, int canvas,
              int factor)
{
    Rgba icon;
    icon.side = canvas / factor;
    icon.pixels.resize(static_cast<std::size_t>(icon.side) * icon.side * 4);
    const double samples = static_cast<double>(factor) * factor;
    for (int y = 0; y < icon.side; ++y) {
        for (int x = 0; x < icon.side; ++x) {
            double premultiplied[3] = {0.0, 0.0, 0.0};
            double alpha = 0.0;
            for (int v = 0; v < factor; ++v) {
                for (int u = 0; u < factor; ++u) {
                    const std::size_t at =
                        (static_cast<std::size_t>(y * factor + v) * canvas + static_cast<std::size_t>(x * factor + u)) *
                        3;
                    double seen = 0.0;
                    for (int c = 0; c < 3; ++c) {
                        premultiplied[c] += overBlack[at + c] / 255.0;
                        seen += (overWhite[at + c] - overBlack[at + c]) / 255.0;
                    }
                    alpha += std::clamp(1.0 - seen / 3.0, 0.0, 1.0);
                }
            }
            alpha /= samples;
            // GL rows run bottom up; a picture's run top down.
            const std::size_t out = (static_cast<std::size_t>(icon.side - 1 - y) * icon.side + x) * 4;
            for (int c = 0; c < 3; ++c) {
                const double colour = alpha > 0.0 ? premultiplied[c] / samples / alpha : 0.0;
                icon.pixels[out + c] = static_cast<std::uint8_t>(std::lround(std::clamp(colour, 0.0, 1.0) * 255.0));
            }
            icon.pixels[out + 3] = static_cast<std::uint8_t>(std::lround(alpha * 255.0));
        }
    }
    return icon;
}

bool writePng(const std::filesystem::path& path, const Rgba& icon)
{
    std::string error;
    if (writePngFile(path.string(), icon.side, icon.side, 4, icon.pixels.data(), false, error))
        return true;
    std::cerr << "turfwar-render-icon: " << error << "\n";
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::cerr << "usage: turfwar-render-icon DATADIR OUTDIR SIZE...\n";
        return 2;
    }
    namespace fs = std::filesystem;
    const fs::path outDir = fs::absolute(argv[2]);
    std::vector<int> sides;
    for (int i = 3; i < argc; ++i) {
        const int side = std::atoi(argv[i]);
        if (side < 1 || side > kMaxIconSide) {
            std::cerr << "turfwar-render-icon: an icon side is 1 to " << kMaxIconSide << " pixels, not " << argv[i]
                      << "\n";
            return 2;
        }
        sides.push_back(side);
    }
    std::error_code ec;
    fs::create_directories(outDir, ec);
    fs::current_path(argv[1], ec);
    if (ec) {
        std::cerr << "turfwar-render-icon: cannot enter " << argv[1] << ": " << ec.message() << "\n";
        return 1;
    }

    HeadlessPlatform platform;
    World world(platform);
    // The icon is the real car: a data folder the game complains about makes none.
    bool complained = false;
    platform.onMessageBox = [&complained](const RecordedMessageBox& box) {
        std::cerr << "turfwar-render-icon: " << box.caption << ": " << box.text << "\n";
        complained = true;
    };
    setErrorBoxPlatform(&platform);
    // Eight bits a channel (the game asks for sixteen a pixel), for smooth shading.
    const bool started = world.window.create(32, kCanvasSide, kCanvasSide, "turfwar icon", false) && initGame(world);
    if (!started || complained || !world.sim.cars[0].built()) {
        std::cerr << "turfwar-render-icon: the game did not start cleanly on " << argv[1] << "\n";
        return 1;
    }

    const float black[3] = {0.0f, 0.0f, 0.0f};
    const float white[3] = {1.0f, 1.0f, 1.0f};
    for (int side : sides) {
        const int factor = kCanvasSide / side;
        const int canvas = side * factor;
        drawCar(world, black, canvas);
        const std::vector<std::uint8_t> overBlack = readRgb(canvas);
        drawCar(world, white, canvas);
        const std::vector<std::uint8_t> overWhite = readRgb(canvas);
        if (!writePng(outDir / ("turfwar-" + std::to_string(side) + ".png"), iconFrom(overBlack, overWhite, canvas, factor)))
            return 1;
    }
    world.window.destroy();
    setErrorBoxPlatform(nullptr);
    return 0;
}
