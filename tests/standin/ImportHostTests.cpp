#include "standin/ImportHost.h"

#include "MemoryFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace {

class ImportHostTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(file_.file, nullptr);
        trace_.out = file_.file;
        PanelHostInit(panels_, PanelBehaviour{}, &trace_);
        ImportHostInit(host_, &trace_, &panels_);
    }
    void TearDown() override {
        ImportHostRelease(host_);
        PanelHostRelease(panels_);
    }
    std::vector<std::string> Lines() {
        std::vector<std::string> lines;
        std::istringstream in(file_.Text());
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    Trace trace_;
    PanelHost panels_;
    ImportHost host_;
    MemoryFile file_;
};

// A fake activation entry that drives the callbacks like BuildObject would.
int32_t FakeActivate(int32_t version, GlobalLookupFn lookup, void* recordWord) {
    ImportRecord* r = static_cast<ImportRecord*>(recordWord);
    if (version != 1)
        return 1;
    if (lookup("LWPanelServices", nullptr) == nullptr)
        return 2;
    r->startObject(r->hostData, nullptr);
    r->declarePointCount(r->hostData, 3);
    const float p[3][3] = {{0, -0.0f, 0}, {8, 0, 0.1f}, {1, 2, 3}};
    for (const auto& xyz : p)
        r->addPoints(r->hostData, 1, xyz);
    const int32_t a = r->lookupSurface(r->hostData, "cube0", nullptr);
    const int32_t b = r->lookupSurface(r->hostData, "cube\"1\"", nullptr);
    const int32_t again = r->lookupSurface(r->hostData, "cube0", nullptr);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 2);
    EXPECT_EQ(again, 1);
    const uint16_t tri[3] = {0, 1, 2};
    const uint16_t edge[2] = {2, 65535};
    r->addPolygon(r->hostData, 3, a, nullptr, tri);
    r->addPolygon(r->hostData, 2, -1, nullptr, edge);
    const unsigned char block[4] = {0x43, 0x4f, 0x00, 0xff};
    r->storeSurfaceData(r->hostData, "cube0", 4, block);
    r->storeSurfaceData(r->hostData, "other", 0, nullptr);
    r->status = kImportLoaded;
    return 0;
}

int32_t ActivateWithoutStatus(int32_t, GlobalLookupFn, void*) {
    return 0;
}

} // namespace

TEST_F(ImportHostTest, RecordPresetsAndCallbacks) {
    ImportRecord r = MakeImportRecord(host_, "x/cube.rk4");
    EXPECT_EQ(r.status, kStatusUnwritten);
    EXPECT_STREQ(r.sourcePath, "x/cube.rk4");
    EXPECT_EQ(r.reserved2, nullptr);
    EXPECT_EQ(r.reserved3, nullptr);
    EXPECT_EQ(r.reserved4, nullptr);
    EXPECT_EQ(r.reserved7, nullptr);
    EXPECT_EQ(r.hostData, &host_);
    EXPECT_TRUE(r.startObject && r.declarePointCount && r.addPoints && r.lookupSurface &&
                r.addPolygon && r.storeSurfaceData);
}

TEST_F(ImportHostTest, TraceOfALoad) {
    ImportRecord r = MakeImportRecord(host_, "cube.rk4");
    int32_t status = 0;
    EXPECT_EQ(RunActivation(&FakeActivate, 1, r, &trace_, status), 0);
    EXPECT_EQ(status, 0);
    const std::vector<std::string> expected = {
        "globalLookup \"LWPanelServices\" -> found",
        "startObject",
        "declarePointCount 3",
        "addPoints 0 -0 0",
        "addPoints 8 0 0.100000001",
        "addPoints 1 2 3",
        "lookupSurface \"cube0\" -> 1",
        "lookupSurface \"cube\\\"1\\\"\" -> 2",
        "lookupSurface \"cube0\" -> 1",
        "addPolygon 3 1 0 1 2",
        "addPolygon 2 -1 2 65535",
        "storeSurfaceData \"cube0\" 4 434F00FF",
        "storeSurfaceData \"other\" 0",
        "status 0",
        "result 0",
    };
    EXPECT_EQ(Lines(), expected);
}

TEST_F(ImportHostTest, ReceivedModel) {
    ImportRecord r = MakeImportRecord(host_, "cube.rk4");
    int32_t status = 0;
    RunActivation(&FakeActivate, 1, r, &trace_, status);
    const ReceivedModel& m = host_.received;
    EXPECT_EQ(m.startObjectCalls, 1);
    EXPECT_EQ(m.declaredPointCount, 3);
    ASSERT_EQ(m.points.size(), 3u);
    EXPECT_EQ(m.points[1].x, 8.0f);
    EXPECT_EQ(m.points[1].z, 0.1f);
    ASSERT_EQ(m.surfaces.size(), 3u);
    EXPECT_EQ(m.surfaces[0].name, "cube0");
    EXPECT_EQ(m.surfaces[0].value, 1);
    ASSERT_EQ(m.surfaces[0].blocks.size(), 1u);
    EXPECT_EQ(m.surfaces[0].blocks[0], (std::vector<unsigned char>{0x43, 0x4f, 0x00, 0xff}));
    EXPECT_EQ(m.surfaces[1].name, "cube\"1\"");
    EXPECT_EQ(m.surfaces[1].value, 2);
    EXPECT_EQ(m.surfaces[2].name, "other"); // a block for a name never looked up
    EXPECT_EQ(m.surfaces[2].value, 0);
    ASSERT_EQ(m.polygons.size(), 2u);
    EXPECT_EQ(m.corners, (std::vector<uint32_t>{0, 1, 2, 2, 65535}));
    EXPECT_EQ(m.polygons[1].firstCorner, 3u);
    EXPECT_EQ(m.polygons[1].cornerCount, 2u);
    EXPECT_EQ(m.polygons[1].surface, -1);
    EXPECT_TRUE(IsReturnedSurfaceValue(m, 1));
    EXPECT_TRUE(IsReturnedSurfaceValue(m, 2));
    EXPECT_FALSE(IsReturnedSurfaceValue(m, 3));
    EXPECT_FALSE(IsReturnedSurfaceValue(m, -1));
}

TEST_F(ImportHostTest, SurfaceValuesFollowTheLow16Bits) {
    ReceivedModel m;
    for (int i = 0; i < 70000; ++i)
        ReceiveLookupSurface(m, ("s" + std::to_string(i)).c_str());
    EXPECT_EQ(m.surfaces[65534].value, 65535);
    // The plug-in passes the low 16 bits sign-extended: 65535 arrives as -1.
    EXPECT_TRUE(IsReturnedSurfaceValue(m, -1));
    EXPECT_TRUE(IsReturnedSurfaceValue(m, 0));      // 65536 arrives as 0
    EXPECT_FALSE(IsReturnedSurfaceValue(m, 65535)); // not as addPolygon passes it
}

TEST_F(ImportHostTest, StatusLineOnlyWhenWritten) {
    ImportRecord r = MakeImportRecord(host_, "cube.rk4");
    int32_t status = 0;
    EXPECT_EQ(RunActivation(&ActivateWithoutStatus, 1, r, &trace_, status), 0);
    EXPECT_EQ(status, kStatusUnwritten);
    EXPECT_EQ(Lines(), (std::vector<std::string>{"result 0"}));
}

TEST_F(ImportHostTest, WrongVersionAndMissingGlobal) {
    ImportRecord r = MakeImportRecord(host_, "cube.rk4");
    int32_t status = 0;
    EXPECT_EQ(RunActivation(&FakeActivate, 2, r, &trace_, status), 1);
    ImportHostInit(host_, &trace_, nullptr); // no panel services
    r = MakeImportRecord(host_, "cube.rk4");
    EXPECT_EQ(RunActivation(&FakeActivate, 1, r, &trace_, status), 2);
    EXPECT_EQ(Lines(), (std::vector<std::string>{
                           "result 1", "globalLookup \"LWPanelServices\" -> null", "result 2"}));
}

TEST_F(ImportHostTest, OtherGlobalsAreNull) {
    EXPECT_EQ(HostGlobalLookup("LWMessageFuncs", nullptr), nullptr);
    EXPECT_EQ(HostGlobalLookup(nullptr, nullptr), nullptr);
    EXPECT_EQ(HostGlobalLookup("LWPanelServices", nullptr), &panels_.services);
    EXPECT_EQ(Lines(), (std::vector<std::string>{"globalLookup \"LWMessageFuncs\" -> null",
                                                 "globalLookup null -> null",
                                                 "globalLookup \"LWPanelServices\" -> found"}));
}
