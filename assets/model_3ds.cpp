#include "assets/model_3ds.h"

#include "assets/reader_3ds.h"

#include <GL/gl.h>

#include <algorithm>
#include <cassert>
#include <cmath>

LoadReport Model3ds::load(const char* fileName)
{
    glEnable(GL_TEXTURE_2D);

    LoadReport report;
    Scene3ds scene;
    {
        Reader3ds reader;
        if (!reader.import3ds(scene, fileName, report))
            report.add("", "culdnt load model");
    }

    objects.assign(scene.objects.size(), Model3dsObject{});
    materials.assign(scene.materials.size(), Model3dsMaterial{});

    for (std::size_t i = 0; i < scene.objects.size(); ++i) {
        const Object3ds& from = scene.objects[i];
        Model3dsObject& to = objects[i];
        to.vertices.resize(from.vertices.size());
        for (std::size_t j = 0; j < from.vertices.size(); ++j) {
            Model3dsVertex& v = to.vertices[j];
            v.position[0] = from.vertices[j].x;
            v.position[1] = from.vertices[j].y;
            v.position[2] = from.vertices[j].z;
            // An object may map fewer vertices than it has (none without a
            // mapping chunk): the rest sit at the texture's corner.
            const TexCoord3ds t = j < from.texCoords.size() ? from.texCoords[j] : TexCoord3ds{};
            v.texCoord[0] = t.u;
            v.texCoord[1] = t.v;
            v.normal[0] = from.normals[j].x;
            v.normal[1] = from.normals[j].y;
            v.normal[2] = from.normals[j].z;
        }
        to.indices.resize(from.faces.size() * 3);
        for (std::size_t j = 0; j < from.faces.size(); ++j) {
            for (int k = 0; k < 3; ++k)
                to.indices[3 * j + k] = static_cast<std::uint32_t>(from.faces[j].vertexIndex[k]);
        }
        // An object without a material group keeps index 0, which names
        // nothing in a file without materials.
        if (from.materialIndex >= 0 && static_cast<std::size_t>(from.materialIndex) < materials.size())
            to.material = &materials[static_cast<std::size_t>(from.materialIndex)];
    }
    computeBounds();

    for (std::size_t i = 0; i < scene.materials.size(); ++i) {
        const Material3ds& from = scene.materials[i];
        Model3dsMaterial& to = materials[i];
        const TextureLoad texture = loadTexture(from.textureFile);
        to.texture = texture.id;
        to.textureFile = from.textureFile;
        report.append(texture.report);
        for (int c = 0; c < 3; ++c)
            to.diffuse[c] = static_cast<float>(from.colour[c]);
        if (report.fatal)
            break;
    }
    return report;
}

void Model3ds::draw() const
{
    for (std::size_t i = 0; i < objects.size(); ++i)
        drawObject(static_cast<int>(i));
}

namespace {

// What drawing an object sets before its triangles go to GL.
void applyObjectState(const Model3dsObject& object, const TextureId* texture = nullptr)
{
    if (object.material != nullptr) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, texture != nullptr ? *texture : object.material->texture);
        glMaterialfv(GL_FRONT, GL_DIFFUSE, object.material->diffuse);
    } else {
        glDisable(GL_TEXTURE_2D);
        glColor3f(1.0f, 1.0f, 1.0f);
    }
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    const Model3dsVertex* first = object.vertices.data();
    constexpr GLsizei kStride = sizeof(Model3dsVertex);
    glVertexPointer(3, GL_FLOAT, kStride, first != nullptr ? first->position : nullptr);
    glTexCoordPointer(2, GL_FLOAT, kStride, first != nullptr ? first->texCoord : nullptr);
    glNormalPointer(GL_FLOAT, kStride, first != nullptr ? first->normal : nullptr);
}

}  // namespace

namespace {

void drawOne(const std::vector<Model3dsObject>& objects, int index, const TextureId* texture)
{
    const bool inRange = index >= 0 && static_cast<std::size_t>(index) < objects.size();
    assert(inRange && "drawObject: object index out of range");
    if (!inRange)
        return;
    const Model3dsObject& object = objects[static_cast<std::size_t>(index)];
    applyObjectState(object, texture);
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(object.indices.size()), GL_UNSIGNED_INT, object.indices.data());
}

}  // namespace

void Model3ds::drawObject(int index) const { drawOne(objects, index, nullptr); }

void Model3ds::drawObject(int index, TextureId texture) const { drawOne(objects, index, &texture); }

void Model3ds::applyDrawState() const
{
    for (const Model3dsObject& object : objects)
        applyObjectState(object);
}

void Model3ds::computeBounds()
{
    // Centred on the box round the vertices, then wide enough for the
    // farthest one. A NaN or infinite coordinate leaves the default sphere,
    // which holds anything.
    float low[3] = {std::numeric_limits<float>::infinity(), std::numeric_limits<float>::infinity(),
                    std::numeric_limits<float>::infinity()};
    float high[3] = {-low[0], -low[1], -low[2]};
    bool any = false;
    for (const Model3dsObject& object : objects)
        for (const Model3dsVertex& v : object.vertices) {
            any = true;
            for (int i = 0; i < 3; ++i) {
                low[i] = std::min(low[i], v.position[i]);
                high[i] = std::max(high[i], v.position[i]);
            }
        }
    bounds = BoundingSphere{};
    if (!any) {
        bounds.radius = 0.0f;
        return;
    }
    for (int i = 0; i < 3; ++i)
        bounds.centre[i] = low[i] + (high[i] - low[i]) / 2.0f;
    double farthest = 0.0;
    for (const Model3dsObject& object : objects)
        for (const Model3dsVertex& v : object.vertices) {
            double squared = 0.0;
            for (int i = 0; i < 3; ++i) {
                const double d = static_cast<double>(v.position[i]) - bounds.centre[i];
                squared += d * d;
            }
            if (!std::isfinite(squared)) {
                bounds = BoundingSphere{};
                return;
            }
            farthest = std::max(farthest, squared);
        }
    bounds.radius = static_cast<float>(std::sqrt(farthest));
}
