// What a front end that draws gets: the object's arrays (the same the glb is
// formed from), its size after the scale and in the file's units, and the
// panel with the edits in effect.
#include "LinkedModule.h"
#include "web/View.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace {

class ViewTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(linked_.started) << linked_.error; }

    ImportOutcome Import(const std::string& name, const PanelEdits& edits) {
        std::ifstream in(std::string(OSTREL_EXAMPLES_DIR) + "/" + name, std::ios::binary);
        bytes_.assign(std::istreambuf_iterator<char>(in), {});
        ImportRequest request;
        request.module = &linked_.module;
        request.modelName = name;
        request.modelBytes = bytes_;
        request.panel.edits = edits;
        request.keepReceived = true;
        return RunImport(request);
    }

    LinkedModule linked_;
    std::string bytes_;
};

} // namespace

// The unit cube at the proposed scale of 8, and mirrored at -0.5: the size
// is the extent after the scale, the file's size that divided by its size.
TEST_F(ViewTest, CubeSizeAfterTheScaleAndInTheFile) {
    for (const auto& [scale, across] : {std::pair{8.0, 8.0}, std::pair{-0.5, 0.5}}) {
        PanelEdits edits;
        if (scale != 8.0)
            edits.scale = scale;
        const ImportOutcome outcome = Import("cube.rk4", edits);
        ASSERT_EQ(outcome.result, ImportResult::Loaded) << outcome.reason;
        ObjectView view;
        std::string error;
        ASSERT_TRUE(FormObjectView(outcome, edits, view, error)) << error;
        ASSERT_TRUE(view.dimensions.scale.has_value());
        EXPECT_EQ(*view.dimensions.scale, scale);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(view.dimensions.size[i], across);
            EXPECT_EQ(view.dimensions.fileSize[i], 1.0);
        }
        // Six quads of three surfaces: 12 triangles, one normal per
        // triangle vertex, each surface's triangles in its own part.
        size_t triangles = 0;
        for (const ViewPart& part : view.arrays.parts)
            triangles += part.kind == ViewPartKind::Triangles ? part.indices.size() / 3 : 0;
        EXPECT_EQ(triangles, 12u);
        EXPECT_EQ(view.arrays.normals.size(), view.arrays.triangleVertices * 3);
        EXPECT_EQ(view.arrays.parts.size(), 3 * view.arrays.materials.size());
    }
}

// A scale of zero leaves no size in the file's units to recover.
TEST_F(ViewTest, ScaleZeroHasNoFileSize) {
    PanelEdits edits;
    edits.scale = 0.0;
    const ImportOutcome outcome = Import("cube.rk4", edits);
    ObjectView view;
    std::string error;
    ASSERT_TRUE(FormObjectView(outcome, edits, view, error)) << error;
    EXPECT_FALSE(view.dimensions.scale.has_value());
    EXPECT_EQ(view.dimensions.size[0], 0.0);
}

// The panel in effect holds the edits where the plug-in proposed otherwise,
// and the proposals elsewhere.
TEST_F(ViewTest, PanelInEffectHoldsTheEdits) {
    PanelEdits edits;
    edits.angle = 10.0;
    edits.smooth = 0;
    const ImportOutcome outcome = Import("cube.rk4", edits);
    ASSERT_TRUE(outcome.panel.has_value());
    PanelModel panel = PanelInEffect(*outcome.panel, edits);
    EXPECT_EQ(RoleControl(panel, ResolvePanelRoles(panel), PanelRole::Angle)->value.d, 10.0);
    EXPECT_EQ(RoleControl(panel, ResolvePanelRoles(panel), PanelRole::Smooth)->value.i, 0);
    EXPECT_EQ(RoleControl(panel, ResolvePanelRoles(panel), PanelRole::Scale)->value.d, 8.0);
    PanelModel proposed = *outcome.panel;
    EXPECT_EQ(RoleControl(proposed, ResolvePanelRoles(proposed), PanelRole::Angle)->value.d, 44.5);
}
