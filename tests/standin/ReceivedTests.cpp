// What the host refuses while receiving: point numbers, surface values,
// attribute blocks, counts and arrays that cannot be meant; and that a check
// without geometry checks the same.
#include "SampleReceived.h"
#include "standin/Received.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(HostRefusal, AcceptsWhatThePlugInMaySend) {
    ReceivedModel m;
    AddPoint(m, 0, 0, 0);
    AddPoint(m, 1, 0, 0);
    const int32_t v = ReceiveLookupSurface(m, "a0");
    AddPolygon(m, {0, 1}, v);
    ReceivePolygon(m, 0, v,
                   static_cast<const uint16_t*>(nullptr)); // empty: dropped later, not refused
    ReceiveSurfaceData(m, "a0", 60, kBlock.data());
    EXPECT_EQ(m.refusal, "");
    EXPECT_EQ(m.emptyPolygonCount, 1u);
}

TEST(HostRefusal, PointNumbersMustBeBelowThePointsSent) {
    ReceivedModel m;
    AddPoint(m, 0, 0, 0);
    AddPoint(m, 1, 0, 0);
    const int32_t v = ReceiveLookupSurface(m, "a0");
    AddPolygon(m, {0, 2}, v);
    EXPECT_NE(m.refusal.find("names point 2, not below the 2 points sent"), std::string::npos)
        << m.refusal;
    // The first refusal is the one reported.
    AddPolygon(m, {0, 1}, 7);
    EXPECT_NE(m.refusal.find("point 2"), std::string::npos);
}

TEST(HostRefusal, SurfaceValuesMustHaveBeenReturned) {
    struct Case {
        int32_t lookups;
        int32_t surface;
        bool accepted;
    };
    const Case cases[] = {
        {1, 1, true},          {1, 2, false},  {0, 1, false},
        {1, 0, false},         {2, -1, false}, {1, 65537, false}, // not sign-extended
        {40000, -25536, true}, // 40000 arrives as its low 16 bits, sign-extended
        {40000, 40000, false},
    };
    for (const Case& c : cases) {
        ReceivedModel m;
        AddPoint(m, 0, 0, 0);
        for (int32_t i = 0; i < c.lookups; ++i)
            ReceiveLookupSurface(m, ("s" + std::to_string(i)).c_str());
        AddPolygon(m, {0}, c.surface);
        EXPECT_EQ(m.refusal.empty(), c.accepted)
            << c.lookups << " lookups, surface " << c.surface << ": " << m.refusal;
    }
}

TEST(HostRefusal, BlocksMustBeTheSevenSubChunksInOrder) {
    auto refused = [](std::vector<unsigned char> block, int32_t count) {
        ReceivedModel m;
        ReceiveLookupSurface(m, "a0");
        ReceiveSurfaceData(m, "a0", count, block.empty() ? nullptr : block.data());
        return !m.refusal.empty();
    };
    EXPECT_FALSE(refused(kBlock, 60));
    EXPECT_TRUE(refused(kBlock, 58)); // short count
    EXPECT_TRUE(refused({}, 60));     // no block
    std::vector<unsigned char> longer = kBlock;
    longer.push_back(0);
    EXPECT_TRUE(refused(longer, 61));
    std::vector<unsigned char> swapped = kBlock; // DIFF and TRAN exchanged
    std::memcpy(swapped.data() + 28, "TRAN", 4);
    std::memcpy(swapped.data() + 36, "DIFF", 4);
    EXPECT_TRUE(refused(swapped, 60));
    std::vector<unsigned char> badLength = kBlock; // FLAG claiming 4 bytes
    badLength[15] = 4;
    EXPECT_TRUE(refused(badLength, 60));
}

TEST(HostRefusal, CountsAndArraysThatCannotBeMeant) {
    ReceivedModel a;
    ReceivePoints(a, -1, nullptr);
    EXPECT_NE(a.refusal.find("addPoints"), std::string::npos);
    ReceivedModel b;
    ReceiveLookupSurface(b, "a0");
    ReceivePolygon(b, 3, 1, static_cast<const uint16_t*>(nullptr));
    EXPECT_NE(b.refusal.find("no point numbers"), std::string::npos);
    ReceivedModel c;
    ReceiveLookupSurface(c, "a0");
    const uint16_t p = 0;
    ReceivePolygon(c, -2, 1, &p);
    EXPECT_NE(c.refusal.find("negative vertex count"), std::string::npos);
}

TEST(HostRefusal, CheckingKeepsNoGeometryButChecksTheSame) {
    ReceivedModel m;
    m.keepGeometry = false;
    AddPoint(m, 0, 0, 0);
    const int32_t v = ReceiveLookupSurface(m, "a0");
    AddPolygon(m, {0}, v);
    EXPECT_TRUE(m.points.empty());
    EXPECT_TRUE(m.polygons.empty());
    EXPECT_EQ(m.pointCount, 1u);
    EXPECT_EQ(m.polygonCount, 1u);
    EXPECT_EQ(m.refusal, "");
    AddPolygon(m, {1}, v);
    EXPECT_NE(m.refusal, "");
}

} // namespace
