// A written glb or .gltf read back by tinygltf's own loader, for the tests'
// checks.
#pragma once

#include <gtest/gtest.h>
#include <tiny_gltf.h>

#include <string>

inline ::testing::AssertionResult ReadGlb(const std::string& glb, tinygltf::Model& model) {
    tinygltf::TinyGLTF loader;
    std::string error, warning;
    if (loader.LoadBinaryFromMemory(&model, &error, &warning,
                                    reinterpret_cast<const unsigned char*>(glb.data()),
                                    static_cast<unsigned>(glb.size())))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the glb does not load: " << error;
}

inline ::testing::AssertionResult ReadGltfText(const std::string& gltf, tinygltf::Model& model) {
    tinygltf::TinyGLTF loader;
    std::string error, warning;
    if (loader.LoadASCIIFromString(&model, &error, &warning, gltf.data(),
                                   static_cast<unsigned>(gltf.size()), ""))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the .gltf does not load: " << error;
}
