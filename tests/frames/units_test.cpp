// The platform-free parts of frames: the frame table, the YUV conversion and the bitmap file
// encoding.
#include "bitmap_file.h"
#include "frame_table.h"
#include "yuv.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using core::FrameRecord;
using core::FrameTable;

std::unique_ptr<FrameRecord> Record(uint32_t id) {
    auto record = std::make_unique<FrameRecord>();
    record->driverFrameId = id;
    record->baseAddress = reinterpret_cast<void*>(uintptr_t{id} << 12);
    record->bytesPerPixel = id;
    return record;
}

uint32_t U32At(const std::vector<uint8_t>& file, size_t offset) {
    uint32_t value = 0;
    std::memcpy(&value, file.data() + offset, 4);
    return value;
}
uint16_t U16At(const std::vector<uint8_t>& file, size_t offset) {
    uint16_t value = 0;
    std::memcpy(&value, file.data() + offset, 2);
    return value;
}

TEST(FrameTable, StartsEmptyWithoutActiveFrame) {
    FrameTable table;
    EXPECT_EQ(table.Count(), 0);
    EXPECT_EQ(table.ActiveIndex(), -1);
    EXPECT_EQ(table.Active(), nullptr);
    EXPECT_FALSE(table.Resolve(-1));
    EXPECT_FALSE(table.Valid(0));
    EXPECT_FALSE(table.Valid(-1));
    EXPECT_FALSE(table.Valid(1024));
}

TEST(FrameTable, InsertTakesLowestSlotAndActivates) {
    FrameTable table;
    EXPECT_EQ(table.Insert(Record(1)), 0);
    EXPECT_EQ(table.Insert(Record(2)), 1);
    EXPECT_EQ(table.Insert(Record(3)), 2);
    EXPECT_EQ(table.ActiveIndex(), 2);
    EXPECT_EQ(table.ActiveBytesPerPixel(), 3u);
    EXPECT_EQ(table.Count(), 3);
    ASSERT_TRUE(table.Remove(1));
    EXPECT_EQ(table.Count(), 2);
    EXPECT_EQ(table.Insert(Record(4)), 1); // a freed slot is reused first
    EXPECT_EQ(table.Find(1)->driverFrameId, 4u);
    EXPECT_EQ(*table.Resolve(-1), 1);
}

TEST(FrameTable, FullTableRefusesWithoutChange) {
    FrameTable table;
    for (int i = 0; i < FrameTable::kSlots; ++i)
        ASSERT_EQ(table.Insert(Record(i + 1)), i);
    EXPECT_TRUE(table.Full());
    EXPECT_FALSE(table.Insert(Record(9999)));
    EXPECT_EQ(table.ActiveIndex(), 1023);
    EXPECT_EQ(table.Count(), 1024);
}

TEST(FrameTable, NeighbourPrefersBelowThenAbove) {
    FrameTable table;
    for (int i = 0; i < 5; ++i)
        table.Insert(Record(i + 1));
    table.Remove(2);
    EXPECT_EQ(table.Neighbour(2), 1);
    table.Remove(0);
    table.Remove(1);
    EXPECT_EQ(table.Neighbour(1), 3);
    table.Remove(3);
    table.Remove(4);
    EXPECT_EQ(table.Neighbour(4), -1);
}

TEST(FrameTable, SetActiveAcceptsOnlyFramesOrNone) {
    FrameTable table;
    table.Insert(Record(1));
    EXPECT_FALSE(table.SetActive(5));
    EXPECT_FALSE(table.SetActive(-2));
    EXPECT_TRUE(table.SetActive(-1));
    EXPECT_EQ(table.ActiveIndex(), -1);
    EXPECT_TRUE(table.SetActive(0));
    EXPECT_EQ(table.Remove(7), nullptr);
    const auto all = table.RemoveAll();
    EXPECT_EQ(all.size(), 1u);
    EXPECT_EQ(table.Count(), 0);
    EXPECT_EQ(table.ActiveIndex(), -1);
}

TEST(Yuv, NeutralChromaGivesGrey) {
    EXPECT_EQ(core::YuvToRgb32(100, 96, 96), 0x646464u);
    EXPECT_EQ(core::YuvToRgb32(0, 96, 96), 0u);
    EXPECT_EQ(core::YuvToRgb32(255, 96, 96), 0xFFFFFFu);
}

TEST(Yuv, CoefficientsTruncateAndClamp) {
    // V = +10: R = 100 + 13.75 -> 113, G = 100 - 7.03125 -> 92, B = 100.
    EXPECT_EQ(core::YuvToRgb32(100, 96, 106), (113u << 16) | (92u << 8) | 100u);
    // U = -10: G = 100 + 3.4375 -> 103, B = 100 - 17.34375 -> 82.
    EXPECT_EQ(core::YuvToRgb32(100, 86, 96), (100u << 16) | (103u << 8) | 82u);
    // Far out of range both ways.
    EXPECT_EQ(core::YuvToRgb32(250, 255, 255), (255u << 16) | (83u << 8) | 255u); // G 83.56
    EXPECT_EQ(core::YuvToRgb32(5, 0, 0), (0u << 16) | (105u << 8) | 0u);          // G 105.5
}

TEST(Yuv, FramePlanesPairPixels) {
    // Four pixels: luma 10, 20, 30, 40; U 96, 106; V 96, 86.
    const uint8_t frame[] = {10, 20, 30, 40, 96, 106, 96, 86};
    uint32_t rgb[4] = {};
    ASSERT_TRUE(core::ConvertYuvFrame(frame, rgb));
    EXPECT_EQ(rgb[0], core::YuvToRgb32(10, 96, 96));
    EXPECT_EQ(rgb[1], core::YuvToRgb32(20, 96, 96));
    EXPECT_EQ(rgb[2], core::YuvToRgb32(30, 106, 86));
    EXPECT_EQ(rgb[3], core::YuvToRgb32(40, 106, 86));
    EXPECT_FALSE(core::ConvertYuvFrame(std::span(frame, 7), rgb));
}

TEST(Yuv, OddPixelCountStaysInsideTheFrame) {
    const uint8_t frame[] = {10, 20, 30, 100, 110}; // 3 pixels: one pair of chroma
    uint32_t rgb[3] = {};
    ASSERT_EQ(core::YuvFrameBytes(3), 5u);
    ASSERT_TRUE(core::ConvertYuvFrame(frame, rgb));
    EXPECT_EQ(rgb[2], core::YuvToRgb32(30, 100, 110));
}

TEST(BitmapFile, ModesChooseFormats) {
    using core::BitmapFormat;
    using core::StorageMode;
    EXPECT_EQ(core::BitmapFormatOf(StorageMode::Default), BitmapFormat::Grey8);
    EXPECT_EQ(core::BitmapFormatOf(StorageMode::Mono), BitmapFormat::Grey8);
    EXPECT_EQ(core::BitmapFormatOf(StorageMode::Rgb16), BitmapFormat::Rgb16);
    EXPECT_EQ(core::BitmapFormatOf(StorageMode::Rgb24), BitmapFormat::Rgb24);
    EXPECT_EQ(core::BitmapFormatOf(StorageMode::Rgb), BitmapFormat::Rgb32);
    EXPECT_EQ(core::BitmapFormatOf(StorageMode::Rgb32), BitmapFormat::Rgb32);
    EXPECT_FALSE(core::BitmapFormatOf(StorageMode::Rgb15));
    EXPECT_FALSE(core::BitmapFormatOf(StorageMode::Yuv));
    EXPECT_FALSE(core::BitmapFormatOf(static_cast<StorageMode>(9)));
    EXPECT_EQ(core::StorageModeForBytesPerPixel(1), StorageMode::Mono);
    EXPECT_EQ(core::StorageModeForBytesPerPixel(2), StorageMode::Rgb16);
    EXPECT_EQ(core::StorageModeForBytesPerPixel(3), StorageMode::Rgb24);
    EXPECT_EQ(core::StorageModeForBytesPerPixel(4), StorageMode::Rgb);
    EXPECT_EQ(core::StorageModeForBytesPerPixel(5), StorageMode::Default);
}

// The whole file of a width x height image from a frame whose rows, top to bottom, lie
// stride bytes apart (0: back to back).
std::vector<uint8_t> FileOf(core::BitmapFormat format, uint32_t width, uint32_t height,
                            std::span<const uint8_t> frame, size_t stride = 0,
                            const core::BitMasks& masks = core::kMasks565) {
    std::vector<uint8_t> file;
    const bool whole = core::StreamBitmapFile(
        format, width, height, frame, stride ? stride : width * core::BytesPerPixelOf(format),
        masks, [&file](std::span<const uint8_t> piece) {
            file.insert(file.end(), piece.begin(), piece.end());
            return true;
        });
    EXPECT_TRUE(whole);
    return file;
}

TEST(BitmapFile, GreyFileHasPaletteAndExactSize) {
    std::vector<uint8_t> rows(8 * 2);
    for (size_t i = 0; i < rows.size(); ++i)
        rows[i] = static_cast<uint8_t>(i * 7);
    const auto file = FileOf(core::BitmapFormat::Grey8, 8, 2, rows);
    ASSERT_EQ(file.size(), 1078u + 16u);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(U32At(file, 2), 1078u + 16u);
    EXPECT_EQ(U32At(file, 6), 0u);
    EXPECT_EQ(U32At(file, 10), 1078u);
    EXPECT_EQ(U32At(file, 14), 40u);
    EXPECT_EQ(U32At(file, 18), 8u);
    EXPECT_EQ(U32At(file, 22), 2u);
    EXPECT_EQ(U16At(file, 26), 1u);
    EXPECT_EQ(U16At(file, 28), 8u);
    EXPECT_EQ(U32At(file, 30), 0u);
    EXPECT_EQ(U32At(file, 34), 16u);
    EXPECT_EQ(U32At(file, 38), 0u);
    EXPECT_EQ(U32At(file, 42), 0u);
    EXPECT_EQ(U32At(file, 46), 256u);
    EXPECT_EQ(U32At(file, 50), 256u);
    for (uint32_t i = 0; i < 256; ++i)
        ASSERT_EQ(U32At(file, 54 + 4 * i), i << 16 | i << 8 | i) << i;
    // Bottom-up: the frame's second row first.
    EXPECT_TRUE(std::equal(rows.begin() + 8, rows.end(), file.begin() + 1078));
    EXPECT_TRUE(std::equal(rows.begin(), rows.begin() + 8, file.begin() + 1086));
}

TEST(BitmapFile, SixteenBitFileHasMasks) {
    std::vector<uint8_t> rows(4 * 3 * 2, 0xAB);
    auto file = FileOf(core::BitmapFormat::Rgb16, 4, 3, rows);
    ASSERT_EQ(file.size(), 66u + 24u);
    EXPECT_EQ(U32At(file, 2), 90u);
    EXPECT_EQ(U32At(file, 10), 66u);
    EXPECT_EQ(U16At(file, 28), 16u);
    EXPECT_EQ(U32At(file, 30), 3u);
    EXPECT_EQ(U32At(file, 34), 24u);
    EXPECT_EQ(U32At(file, 46), 3u);
    EXPECT_EQ(U32At(file, 50), 0u);
    EXPECT_EQ(U32At(file, 54), 0xF800u);
    EXPECT_EQ(U32At(file, 58), 0x07E0u);
    EXPECT_EQ(U32At(file, 62), 0x001Fu);
    file = FileOf(core::BitmapFormat::Rgb16, 4, 3, rows, 0, core::kMasks555);
    EXPECT_EQ(U32At(file, 54), 0x7C00u);
    EXPECT_EQ(U32At(file, 58), 0x03E0u);
}

TEST(BitmapFile, TrueColorFilesHaveNoTable) {
    std::vector<uint8_t> rows(4 * 2 * 4, 0x11);
    auto file = FileOf(core::BitmapFormat::Rgb32, 4, 2, rows);
    ASSERT_EQ(file.size(), 54u + 32u);
    EXPECT_EQ(U32At(file, 10), 54u);
    EXPECT_EQ(U16At(file, 28), 32u);
    EXPECT_EQ(U32At(file, 30), 0u);
    EXPECT_EQ(U32At(file, 46), 0u);
    file = FileOf(core::BitmapFormat::Rgb24, 4, 2, std::span(rows).first(24));
    ASSERT_EQ(file.size(), 54u + 24u);
    EXPECT_EQ(U16At(file, 28), 24u);
    EXPECT_EQ(U32At(file, 34), 24u);
}

TEST(BitmapFile, OddWidthRowsArePadded) {
    const std::vector<uint8_t> rows = {1, 2, 3, 4, 5, 6}; // 3 x 2 grey
    const auto file = FileOf(core::BitmapFormat::Grey8, 3, 2, rows);
    ASSERT_EQ(file.size(), 1078u + 8u);
    EXPECT_EQ(U32At(file, 34), 8u);
    const std::vector<uint8_t> pixels(file.begin() + 1078, file.end());
    EXPECT_EQ(pixels, (std::vector<uint8_t>{4, 5, 6, 0, 1, 2, 3, 0}));
}

TEST(BitmapFile, SavedSizeIsScaledAndRoundedDownToFour) {
    EXPECT_EQ(core::SavedImageExtent(642, 100), 640u);
    EXPECT_EQ(core::SavedImageExtent(642, 50), 320u);
    EXPECT_EQ(core::SavedImageExtent(480, 50), 240u);
    EXPECT_EQ(core::SavedImageExtent(768, 33), 252u);
    EXPECT_EQ(core::SavedImageExtent(3, 100), 0u);
}

TEST(BitmapFile, StreamedRowsComeLastFirstPaddedAndStayInsideTheFrame) {
    const std::vector<uint8_t> frame = {1, 2, 3, 4, 5, 6, 7, 8, 9}; // 3 rows of 3
    // The grey pixels after the 1078 header bytes, taken from a frame with rows 3 bytes apart.
    const auto pixels = [](std::span<const uint8_t> from, uint32_t width, uint32_t height) {
        const std::vector<uint8_t> file = FileOf(core::BitmapFormat::Grey8, width, height, from, 3);
        EXPECT_EQ(file.size(), 1078u + 4u * height);
        return std::vector<uint8_t>(file.begin() + std::min<size_t>(1078, file.size()), file.end());
    };
    EXPECT_EQ(pixels(frame, 2, 3), (std::vector<uint8_t>{7, 8, 0, 0, 4, 5, 0, 0, 1, 2, 0, 0}));
    // Rows the frame does not hold read as 0.
    EXPECT_EQ(pixels(frame, 3, 4),
              (std::vector<uint8_t>{0, 0, 0, 0, 7, 8, 9, 0, 4, 5, 6, 0, 1, 2, 3, 0}));
    EXPECT_EQ(pixels(std::span(frame).first(8), 3, 3),
              (std::vector<uint8_t>{7, 8, 0, 0, 4, 5, 6, 0, 1, 2, 3, 0}));
    // A sink that refuses stops the file.
    EXPECT_FALSE(core::StreamBitmapFile(core::BitmapFormat::Grey8, 3, 3, frame, 3,
                                        core::kMasks565,
                                        [](std::span<const uint8_t>) { return false; }));
}

} // namespace
