// MS3D reader, animation and skinning on arbitrary bytes. Whatever load
// makes of them must pose and skin without NaN or infinity; any is a crash.
#include "assets/model_ms3d.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

namespace {

void requireFinite(const SkinnedModel& model, const std::vector<SkinnedCorner>& corners)
{
    for (const JointPose& joint : model.ownPose.joints)
        for (int i = 0; i < 16; ++i)
            if (!std::isfinite(joint.matrix[i]))
                std::abort();
    for (const SkinnedCorner& c : corners)
        for (int i = 0; i < 3; ++i)
            if (!std::isfinite(c.normal[i]) || !std::isfinite(c.position[i]))
                std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ModelMs3d model;
    std::string reason;
    // Textures are not loaded here: that needs GL and the texture files.
    model.loadFromMemory(std::span<const std::uint8_t>(data, size), "data\\model.ms3d", &reason);

    std::vector<SkinnedCorner> corners;
    model.skinAll(corners);
    requireFinite(model, corners);

    // What the game does: the player's walk from 4200 ms, frames of a few
    // milliseconds and the odd long one, restarts when standing still.
    model.setAnimationStart(4200);  // where the game starts the walk
    model.restartAnimation();
    const double steps[] = {0.0, 16.0, 33.0, 250.0, 5000.0, -40.0, 16.0};
    for (const double step : steps) {
        model.advance(step);
        model.skinAll(corners);
        requireFinite(model, corners);
    }
    model.setAnimationStart(0);
    model.restartAnimation();
    model.advance(100.0);
    model.skinAll(corners);
    requireFinite(model, corners);
    float muzzle[3] = {0.0f, 0.0f, 0.0f};
    model.transformByJoint(37, muzzle, true);
    return 0;
}
