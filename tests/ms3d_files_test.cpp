// Our MS3D reader against assimp reading the same bytes: the real files of
// Debian's assimp-testmodels, and a skinned model built here (none of those
// files has a skeleton).
#include "assets/model_ms3d.h"
#include "sim/player.h"

#include "game_folder.h"
#include "ms3d_builder.h"
#include "offscreen_gl.h"

#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

std::vector<std::uint8_t> readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::filesystem::path> ms3dFiles()
{
    std::vector<std::filesystem::path> files;
    const std::filesystem::path root = TURFWAR_ASSIMP_MODELS;
    if (!std::filesystem::exists(root))
        return files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        std::string extension = entry.path().extension().string();
        for (char& c : extension)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (entry.is_regular_file() && extension == ".ms3d")
            files.push_back(entry.path());
    }
    return files;
}

const aiNode* findNode(const aiNode* node, const char* name)
{
    if (std::string(node->mName.C_Str()) == name)
        return node;
    for (unsigned i = 0; i < node->mNumChildren; ++i)
        if (const aiNode* found = findNode(node->mChildren[i], name))
            return found;
    return nullptr;
}

void collectJoints(const aiNode* node, std::map<std::string, std::string>& parentOf)
{
    for (unsigned i = 0; i < node->mNumChildren; ++i) {
        const aiNode* child = node->mChildren[i];
        parentOf[child->mName.C_Str()] = node->mName.C_Str();
        collectJoints(child, parentOf);
    }
}

// Groups become meshes (empty ones dropped), triangles become faces with
// their corners unshared, materials and joints keep their order.
void expectSameAsAssimp(const ModelMs3d& model, const aiScene& scene, const std::string& fileName)
{
    SCOPED_TRACE(fileName);
    std::vector<const ModelGroup*> drawn;
    for (const ModelGroup& group : model.groups)
        if (!group.triangleIndices.empty())
            drawn.push_back(&group);
    ASSERT_EQ(drawn.size(), scene.mNumMeshes);

    std::vector<SkinnedCorner> corners;
    model.skinAll(corners);
    const bool posed = !model.joints.empty();  // the bind pose moves stored positions
    std::size_t corner = 0;
    for (unsigned m = 0; m < scene.mNumMeshes; ++m) {
        const aiMesh& mesh = *scene.mMeshes[m];
        ASSERT_EQ(mesh.mNumFaces, drawn[m]->triangleIndices.size());
        if (drawn[m]->materialIndex >= 0) {
            EXPECT_EQ(mesh.mMaterialIndex, static_cast<unsigned>(drawn[m]->materialIndex));
        }
        for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
            ASSERT_EQ(mesh.mFaces[f].mNumIndices, 3u);
            for (unsigned k = 0; k < 3; ++k, ++corner) {
                const aiVector3D& p = mesh.mVertices[mesh.mFaces[f].mIndices[k]];
                const aiVector3D& n = mesh.mNormals[mesh.mFaces[f].mIndices[k]];
                if (posed)
                    continue;
                const SkinnedCorner& c = corners[corner];
                ASSERT_EQ(c.position[0], p.x);
                ASSERT_EQ(c.position[1], p.y);
                ASSERT_EQ(c.position[2], p.z);
                ASSERT_EQ(c.normal[0], n.x);
                ASSERT_EQ(c.normal[2], n.z);
            }
        }
    }

    if (!model.materials.empty()) {
        ASSERT_EQ(scene.mNumMaterials, model.materials.size());
        const std::string directory = ms3dDirectoryPrefix(fileName.c_str());
        for (unsigned i = 0; i < scene.mNumMaterials; ++i) {
            aiString texture;
            if (scene.mMaterials[i]->GetTexture(aiTextureType_DIFFUSE, 0, &texture) != AI_SUCCESS) {
                EXPECT_EQ(model.materials[i].textureFile, "");
                continue;
            }
            std::string stored = texture.C_Str();
            if (stored.starts_with(".\\"))
                stored = directory + stored.substr(2);
            EXPECT_EQ(model.materials[i].textureFile, stored);
        }
    }

    const aiNode* jointRoot = findNode(scene.mRootNode, "<MS3DJointRoot>");
    std::map<std::string, std::string> parentOf;
    if (jointRoot)
        collectJoints(jointRoot, parentOf);
    ASSERT_EQ(parentOf.size(), model.joints.size());
    std::map<std::string, const aiNodeAnim*> channels;
    for (unsigned a = 0; a < scene.mNumAnimations; ++a)
        for (unsigned c = 0; c < scene.mAnimations[a]->mNumChannels; ++c)
            channels[scene.mAnimations[a]->mChannels[c]->mNodeName.C_Str()] = scene.mAnimations[a]->mChannels[c];
    for (const ModelJoint& joint : model.joints) {
        const std::string parent = joint.parent < 0 ? "<MS3DJointRoot>" : model.joints[joint.parent].name;
        EXPECT_EQ(parentOf[joint.name], parent) << joint.name;
        // assimp fills a channel without keys with one key of its own.
        const aiNodeAnim* channel = channels[joint.name];
        if (!joint.rotationKeys.empty()) {
            EXPECT_EQ(channel ? channel->mNumRotationKeys : 0u, joint.rotationKeys.size()) << joint.name;
        }
        if (!joint.translationKeys.empty()) {
            EXPECT_EQ(channel ? channel->mNumPositionKeys : 0u, joint.translationKeys.size()) << joint.name;
        }
    }
}

TEST(Ms3dFiles, TestModelsAgreeWithAssimp)
{
    const std::vector<std::filesystem::path> files = ms3dFiles();
    if (files.empty())
        GTEST_SKIP() << "assimp-testmodels is not installed";
    OffscreenGl gl;  // load() loads the materials' textures
    for (const std::filesystem::path& path : files) {
        const std::vector<std::uint8_t> bytes = readFile(path);
        ModelMs3d ours;
        std::string reason;
        ASSERT_TRUE(ours.loadFromMemory(bytes, path.c_str(), &reason)) << path << ": " << reason;
        Assimp::Importer importer;
        const aiScene* scene = importer.ReadFile(path.string(), 0);
        ASSERT_NE(scene, nullptr) << importer.GetErrorString();
        expectSameAsAssimp(ours, *scene, path.string());

        // The file-reading entry point gets the same model, and takes the
        // game's Windows-style separators.
        std::string windowsName = path.string();
        for (char& c : windowsName)
            if (c == '/')
                c = '\\';
        ModelMs3d fromFile;
        LoadReport report;
        ASSERT_TRUE(fromFile.load(windowsName.c_str(), report));
        EXPECT_EQ(fromFile.triangles.size(), ours.triangles.size());
    }
    ModelMs3d missing;
    LoadReport report;
    std::string reason;
    EXPECT_FALSE(missing.load("no\\such\\model.ms3d", report, &reason));
    EXPECT_EQ(reason, "No such file or directory");
    EXPECT_FALSE(missing.load(TURFWAR_ASSIMP_MODELS, report, &reason));  // a folder opens, and claims an absurd size
    EXPECT_EQ(reason, "Is a directory");
    EXPECT_TRUE(report.messages.empty());
}

TEST(Ms3dFiles, SkinnedModelAgreesWithAssimp)
{
    Ms3dBuilder b = twoJointModel();
    Ms3dBuilder::Joint hand;
    hand.name = "hand";
    hand.parent = "arm";
    hand.rotationKeys = {{0.0f, {0, 0, 1}}, {0.5f, {0, 0, 0}}, {0.75f, {1, 0, 0}}};
    b.joints.push_back(hand);
    b.vertices[3].joint = 2;
    const std::vector<std::uint8_t> bytes = b.bytes();
    ModelMs3d ours;
    ASSERT_TRUE(ours.loadFromMemory(bytes, "model.ms3d"));
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFileFromMemory(bytes.data(), bytes.size(), 0, "ms3d");
    ASSERT_NE(scene, nullptr) << importer.GetErrorString();
    expectSameAsAssimp(ours, *scene, "model.ms3d");

    // Every joint a vertex uses is a bone of the mesh.
    std::set<std::string> used;
    for (const ModelVertex& v : ours.vertices)
        if (v.jointIndex >= 0)
            used.insert(ours.joints[v.jointIndex].name);
    std::set<std::string> bones;
    for (unsigned i = 0; i < scene->mMeshes[0]->mNumBones; ++i)
        bones.insert(scene->mMeshes[0]->mBones[i]->mName.C_Str());
    EXPECT_EQ(used, bones);
}

// The game's own models, loaded by the names start-up uses, from the folder
// it starts in.
TEST(Ms3dFiles, GameModelsLoadAndAnimate)
{
    GameFolder folder;
    OffscreenGl gl;
    for (const char* name : {"data\\model.ms3d", "data\\gun.ms3d", "sky.ms3d"}) {
        ModelMs3d model;
        LoadReport report;
        ASSERT_TRUE(model.load(name, report)) << name;
        EXPECT_TRUE(report.messages.empty()) << name;
        std::string path = name;
        std::replace(path.begin(), path.end(), '\\', '/');
        Assimp::Importer importer;
        const aiScene* scene = importer.ReadFile(path, 0);
        ASSERT_NE(scene, nullptr) << importer.GetErrorString();
        expectSameAsAssimp(model, *scene, name);
    }

    // The walk from 4200 ms moves the gun hand (joint 37) and wraps to 4200.
    ModelMs3d player;
    LoadReport report;
    ASSERT_TRUE(player.load("data\\model.ms3d", report));
    ASSERT_GT(player.joints.size(), 37u);
    ASSERT_GT(player.totalTimeMs, 4200.0);
    player.setAnimationStart(kWalkStartMs);
    player.restartAnimation();
    float start[3] = {0, 0, 0};
    player.transformByJoint(37, start, true);
    player.advance(250.0);
    float later[3] = {0, 0, 0};
    player.transformByJoint(37, later, true);
    EXPECT_NE(std::vector<float>(start, start + 3), std::vector<float>(later, later + 3));
    player.advance(player.totalTimeMs);
    EXPECT_EQ(player.ownPose.currentTimeMs, 4200.0f);
}

}  // namespace
