// The pure parts of the extension messages: color key, color query word, plane records.
#include "color_messages.h"
#include "surface_messages.h"

#include <gtest/gtest.h>

#include <cstring>

namespace imaging {
namespace {

TEST(ColorKey, ExchangesRedAndBlue) {
    EXPECT_EQ(SurfaceColorKey(0x000000FF), 0x00FF0000u); // pure red of the control
    EXPECT_EQ(SurfaceColorKey(0x00FF0000), 0x000000FFu);
    EXPECT_EQ(SurfaceColorKey(0x0000FF00), 0x0000FF00u);
    EXPECT_EQ(SurfaceColorKey(0x00123456), 0x00563412u);
    EXPECT_EQ(SurfaceColorKey(0xFF000000), 0x00000000u); // the high byte is not sent
}

TEST(ColorQueryWord, SourceLowByteOperationNextByte) {
    EXPECT_EQ(ColorQueryWord(2, STC_READ_CONTROL), 0x0702u);
    EXPECT_EQ(ColorQueryWord(0x1FF, STC_READ_CONTROL), 0x07FFu); // high source bits are lost
    EXPECT_EQ(ColorQueryWord(0, STC_QUERY_CAPABILITY), 0x0400u);
}

class PlaneRecords : public ::testing::Test {
protected:
    uint8_t redPixels[6] = {};
    uint8_t greenPixels[6] = {};
    uint16_t bluePixels[6] = {};
    PlaneBuffer red{redPixels, 3, 2, 1};
    PlaneBuffer green{greenPixels, 3, 2, 1};
    PlaneBuffer blue{bluePixels, 3, 2, 2};
    STT_BUFFER_INFO records[3];

    void SetUp() override { std::memset(records, 0xCD, sizeof(records)); }
};

TEST_F(PlaneRecords, RedAndBluePackTwoRecordsRedFirst) {
    EXPECT_EQ(PackPlaneRecords(&red, nullptr, &blue, records), 5u);
    EXPECT_EQ(records[0].StructSize, sizeof(STT_BUFFER_INFO));
    EXPECT_EQ(records[0].BufferAddr, redPixels);
    EXPECT_EQ(records[0].BufferSize, 6u);
    EXPECT_EQ(records[0].Width, 3u);
    EXPECT_EQ(records[0].Height, 2u);
    EXPECT_EQ(records[0].PixelDepth, 1u);
    EXPECT_EQ(records[0].Flags, 5u);
    EXPECT_EQ(records[1].BufferAddr, bluePixels);
    EXPECT_EQ(records[1].BufferSize, 12u); // width x height x element size
    EXPECT_EQ(records[1].PixelDepth, 2u);
    EXPECT_EQ(records[1].Flags, 0u);
    EXPECT_EQ(records[2].StructSize, 0u); // unused records are zeroed
    EXPECT_EQ(records[2].BufferAddr, nullptr);
}

TEST_F(PlaneRecords, AllThreePlanesInOrder) {
    EXPECT_EQ(PackPlaneRecords(&red, &green, &blue, records), 7u);
    EXPECT_EQ(records[0].BufferAddr, redPixels);
    EXPECT_EQ(records[1].BufferAddr, greenPixels);
    EXPECT_EQ(records[2].BufferAddr, bluePixels);
    EXPECT_EQ(records[0].Flags, 7u);
}

TEST_F(PlaneRecords, OnlyGreenStartsAtTheFirstRecord) {
    EXPECT_EQ(PackPlaneRecords(nullptr, &green, nullptr, records), 2u);
    EXPECT_EQ(records[0].BufferAddr, greenPixels);
    EXPECT_EQ(records[0].Flags, 2u);
    EXPECT_EQ(records[1].StructSize, 0u);
}

TEST_F(PlaneRecords, NoPlaneGivesMaskZero) {
    EXPECT_EQ(PackPlaneRecords(nullptr, nullptr, nullptr, records), 0u);
    EXPECT_EQ(records[0].StructSize, 0u);
    EXPECT_EQ(records[0].Flags, 0u);
}

TEST_F(PlaneRecords, HugeSizeIsClampedNotWrapped) {
    PlaneBuffer huge{redPixels, 0x10000, 0x10000, 4}; // 16 GiB would wrap to 0
    PackPlaneRecords(&huge, nullptr, nullptr, records);
    EXPECT_EQ(records[0].BufferSize, 0xFFFFFFFFu);
}

} // namespace
} // namespace imaging
