// The GL side of SkinnedModel: immediate-mode drawing and the joint matrix
// for things held by a joint (the gun in the player's hand).
#include "assets/skinned_model.h"

#include <GL/gl.h>

void SkinnedModel::draw() const
{
    const bool wasTextured = glIsEnabled(GL_TEXTURE_2D) == GL_TRUE;
    const std::int32_t triangleCount = static_cast<std::int32_t>(triangles.size());
    const std::int32_t materialCount = static_cast<std::int32_t>(materials.size());
    SkinnedCorner corner;
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
        glBegin(GL_TRIANGLES);
        for (const std::int32_t index : group.triangleIndices) {
            if (index < 0 || index >= triangleCount)
                continue;
            const ModelTriangle& triangle = triangles[index];
            for (int k = 0; k < 3; ++k) {
                skinCorner(triangle, k, corner);
                glTexCoord2f(corner.s, corner.t);
                glNormal3fv(corner.normal);
                glVertex3fv(corner.position);
            }
        }
        glEnd();
    }
    if (wasTextured)
        glEnable(GL_TEXTURE_2D);
    else
        glDisable(GL_TEXTURE_2D);
}

void SkinnedModel::pushJointMatrix(int joint) const
{
    glPushMatrix();
    if (joint >= 0 && joint < static_cast<int>(joints.size()))
        glMultMatrixf(joints[joint].poseMatrix.elements());
}
