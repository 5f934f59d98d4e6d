// The GL side of the skinned models: their textures, drawing through client
// vertex arrays, and the joint matrix for things held by a joint (the gun in
// the player's hand).
#include "assets/model_ms3d.h"
#include "assets/skinned_model.h"

#include <GL/gl.h>

#include <algorithm>
#include <string>

void SkinnedModel::loadMaterialTextures(LoadReport& report)
{
    for (ModelMaterial& material : materials) {
        if (material.textureFile.empty()) {
            material.texture = 0;
            continue;
        }
        // Texture names come from Windows tools; the file system wants '/'.
        std::string path = material.textureFile;
        for (char& c : path)
            if (c == '\\')
                c = '/';
        const TextureLoad texture = loadTexture(path.c_str());
        material.texture = texture.id;
        report.append(texture.report);
        if (report.fatal)
            return;
    }
}

bool ModelMs3d::load(const char* fileName, LoadReport& report, std::string* reason)
{
    const ParseResult result = readFile(fileName, reason);
    if (result == ParseResult::Rejected)
        return false;
    loadMaterialTextures(report);
    return result == ParseResult::Loaded;
}

void SkinnedModel::draw(const SkeletonPose& pose) const
{
    // Skinned into one interleaved buffer and handed to GL a group at a
    // time: the same corners, in the same order, as a glBegin/glEnd per
    // group would send. The buffer keeps its size from frame to frame.
    skinAll(pose, drawCorners_);
    const SkinnedCorner* first = drawCorners_.data();
    if (first != nullptr) {
        constexpr GLsizei kStride = sizeof(SkinnedCorner);
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glEnableClientState(GL_NORMAL_ARRAY);
        glTexCoordPointer(2, GL_FLOAT, kStride, &first->s);
        glNormalPointer(GL_FLOAT, kStride, first->normal);
        glVertexPointer(3, GL_FLOAT, kStride, first->position);
    }
    const bool wasTextured = glIsEnabled(GL_TEXTURE_2D) == GL_TRUE;
    const std::int32_t triangleCount = static_cast<std::int32_t>(triangles.size());
    const std::int32_t materialCount = static_cast<std::int32_t>(materials.size());
    GLint groupStart = 0;
    for (const ModelGroup& group : groups) {
        if (group.materialIndex >= 0 && group.materialIndex < materialCount) {
            const ModelMaterial& material = materials[group.materialIndex];
            glMaterialfv(GL_FRONT, GL_AMBIENT, material.ambient);
            glMaterialfv(GL_FRONT, GL_DIFFUSE, material.diffuse);
            glMaterialfv(GL_FRONT, GL_SPECULAR, material.specular);
            glMaterialfv(GL_FRONT, GL_EMISSION, material.emissive);
            glMaterialf(GL_FRONT, GL_SHININESS, material.shininess);
            if (material.texture != 0) {
                glBindTexture(GL_TEXTURE_2D, material.texture);
                glEnable(GL_TEXTURE_2D);
            } else {
                glDisable(GL_TEXTURE_2D);
            }
        } else {
            // No material: the previous group's material state carries over.
            glDisable(GL_TEXTURE_2D);
        }
        const auto drawn = std::count_if(group.triangleIndices.begin(), group.triangleIndices.end(),
                                         [triangleCount](std::int32_t i) { return i >= 0 && i < triangleCount; });
        const GLsizei cornerCount = static_cast<GLsizei>(3 * drawn);
        if (cornerCount > 0)
            glDrawArrays(GL_TRIANGLES, groupStart, cornerCount);
        groupStart += cornerCount;
    }
    // Immediate mode left the last corner's normal and texture coordinates
    // current, and what is drawn after (the shots' points) takes them up.
    if (groupStart > 0) {
        const SkinnedCorner& last = drawCorners_[static_cast<std::size_t>(groupStart - 1)];
        glTexCoord2f(last.s, last.t);
        glNormal3fv(last.normal);
    }
    if (wasTextured)
        glEnable(GL_TEXTURE_2D);
    else
        glDisable(GL_TEXTURE_2D);
}

void SkinnedModel::pushJointMatrix(const SkeletonPose& pose, int joint) const
{
    glPushMatrix();
    if (joint >= 0 && joint < static_cast<int>(joints.size()) && joint < static_cast<int>(pose.joints.size()))
        glMultMatrixf(pose.joints[joint].matrix.elements());
}
