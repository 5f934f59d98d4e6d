// The 3DS parser on arbitrary bytes: no message boxes, no GL, no files.
#include "assets/reader_3ds.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Scene3ds scene;
    Reader3ds reader;
    const bool ok = reader.importBytes(scene, std::span<const std::uint8_t>(data, size), "fuzz.3ds");
    // What the mesh and the game rely on, checked on every accepted file.
    if (ok) {
        for (const Object3ds& object : scene.objects) {
            if (object.normals.size() != object.vertices.size())
                std::abort();
            for (const Face3ds& face : object.faces)
                for (const std::int32_t index : face.vertexIndex)
                    if (index < 0 || static_cast<std::size_t>(index) >= object.vertices.size())
                        std::abort();
            for (const Vector3& n : object.normals)
                if (!std::isfinite(n.x) || !std::isfinite(n.y) || !std::isfinite(n.z))
                    std::abort();
            if (object.name[kName3dsSize - 1] != '\0')
                std::abort();
        }
    } else if (!scene.objects.empty() || !scene.materials.empty() || reader.error().empty()) {
        std::abort();
    }
    return 0;
}
