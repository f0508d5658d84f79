// DRV_OPEN: which boards the driver serves, the two open parameters, the simulation
// settings read at open, and board state shared between handles.
#include "sim_driver.h"

#include "process_counts.h"

#include <cstring>

namespace simtest {
namespace {

DeviceOpenBlock OpenBlock(const char* board) {
    DeviceOpenBlock block{};
    block.StructSize = sizeof block;
    strncpy(block.BoardName, board, sizeof block.BoardName - 1);
    return block;
}

TEST(Open, EveryInstalledBoardOpensWithItsModelCode) {
    const std::pair<const char*, uint32_t> boards[] = {
        {"kvboard!SIM7100", 32},  {"kvboard!SIM7400", 42}, {"kvboard!SIM7700", 43},
        {"kvboard!SIM7300", 44},  {"kvboard!SIM7500", 45}, {"kvboard!SIM7400LS", 46},
        {"kvboard!SIM760X", 112},
    };
    for (const auto& [text, model] : boards) {
        Driver driver(text);
        ASSERT_TRUE(driver) << text;
        EXPECT_EQ(driver.DeviceCap(STC_IMG_DC_DEVICE_ID), model) << text;
    }
}

// Every close of the last handle unloads the driver; a host that opens and closes boards
// for weeks must get back every TLS slot and handle that a load took.
TEST(Open, LoadingAndUnloadingTheDriverLeavesNothingBehind) {
    const auto cycle = [] {
        Driver driver("kvboard!SIM7400LS");
        ASSERT_TRUE(driver);
        EXPECT_EQ(driver.DeviceCap(STC_IMG_DC_DEVICE_ID), 46u);
    };
    ASSERT_EQ(GetModuleHandleW(L"kvboard.drv"), nullptr);
    cycle(); // the system's own first-use state
    ASSERT_EQ(GetModuleHandleW(L"kvboard.drv"), nullptr) << "unloaded at the last close";
    const int slots = test::FreeTlsSlots();
    const long handles = test::ProcessHandles();
    const size_t heap = test::HeapBytesInUse();
    ASSERT_GT(slots, 0);
    ASSERT_GT(handles, 0);
    ASSERT_GT(heap, 0u);
    constexpr int kCycles = 40;
    for (int i = 0; i < kCycles; ++i)
        cycle();
    EXPECT_EQ(test::FreeTlsSlots(), slots);
    EXPECT_LT(test::ProcessHandles() - handles, kCycles / 4);
    // A few bytes a load are the loader's own; a block left per load would be kilobytes.
    EXPECT_LT(static_cast<double>(test::HeapBytesInUse()) - static_cast<double>(heap),
              kCycles * 1024.0);
}

TEST(Open, NamesMatchIgnoringCase) {
    Driver driver("KVBoard!sim7400");
    ASSERT_TRUE(driver);
    EXPECT_EQ(driver.DeviceCap(STC_IMG_DC_DEVICE_ID), 42u);
}

TEST(Open, RefusesWhatItDoesNotServe) {
    for (const char* text : {"kvboard!SIM9999", "otherdrv!SIM7100", "SIM7100", "kvboard!",
                             "kvboard!SIM7100\\Sub", "kvboard", "!SIM7100"}) {
        Driver driver(text);
        EXPECT_FALSE(driver) << text;
    }
}

// The system opens an installable driver once without a parameter before the caller's open;
// such a handle exists but serves no board.
TEST(Open, AnOpenWithoutParameterServesNoBoard) {
    Driver none(LPARAM{0});
    ASSERT_TRUE(none);
    uint32_t id = 0;
    EXPECT_EQ(none.Ask(msg::STM_QUERY_DEVICE_CAPS, STC_IMG_DC_DEVICE_ID, id), 0);
    EXPECT_EQ(id, 0u);
    Driver board("kvboard!SIM7100");
    EXPECT_TRUE(board);
}

TEST(Open, TheEnumSubkeyIsNoBoard) {
    ScratchBoard enumKey(L"Enum");
    enumKey.Set(L"Enable", 1);
    enumKey.Set(L"Model", 32);
    Driver driver("kvboard!Enum");
    EXPECT_FALSE(driver);
}

TEST(Open, ABoardNeedsEnableAndAKnownModel) {
    ScratchBoard board(L"SIMTEST");
    board.Set(L"Model", 32);
    EXPECT_FALSE(Driver("kvboard!SIMTEST")) << "no Enable value";
    board.Set(L"Enable", 0);
    EXPECT_FALSE(Driver("kvboard!SIMTEST")) << "Enable 0";
    board.Set(L"Enable", 1);
    EXPECT_TRUE(Driver("kvboard!SIMTEST"));
    board.Set(L"Model", 99);
    EXPECT_FALSE(Driver("kvboard!SIMTEST")) << "unknown model";
}

TEST(Open, AcceptsADeviceOpenBlock) {
    const DeviceOpenBlock block = OpenBlock("sim7400");
    Driver driver(reinterpret_cast<LPARAM>(&block));
    ASSERT_TRUE(driver);
    EXPECT_EQ(driver.DeviceCap(STC_IMG_DC_DEVICE_ID), 42u);
}

TEST(Open, RefusesABadDeviceOpenBlock) {
    DeviceOpenBlock unterminated{};
    unterminated.StructSize = sizeof unterminated;
    std::memset(unterminated.BoardName, 'A', sizeof unterminated.BoardName);
    EXPECT_FALSE(Driver(reinterpret_cast<LPARAM>(&unterminated)));
    const DeviceOpenBlock unknown = OpenBlock("SIM9999");
    EXPECT_FALSE(Driver(reinterpret_cast<LPARAM>(&unknown)));
    const DeviceOpenBlock empty = OpenBlock("");
    EXPECT_FALSE(Driver(reinterpret_cast<LPARAM>(&empty)));
}

TEST(Open, ReadsTheSimulationSettingsOfTheBoard) {
    ScratchBoard board(L"SIMTEST");
    board.Set(L"Enable", 1);
    board.Set(L"Model", 32);
    board.Set(L"FrameWidth", 802); // rounded down to the width granularity of 4
    board.Set(L"FrameHeight", 600);
    board.Set(L"InputSources", 3);
    board.Set(L"LinearMemSize", 1234567);
    board.Set(L"DeviceMemSize", 0);
    Driver driver("kvboard!SIMTEST");
    ASSERT_TRUE(driver);
    EXPECT_EQ(driver.Cap<uint32_t>(STC_FG_IC_INPUT_SOURCE_COUNT), 3u);
    EXPECT_EQ(driver.Cap<stSTT_LNG_RNG>(STC_FG_IC_FRAME_WIDTH_LIMITS).Nominal, 800);
    EXPECT_EQ(driver.Cap<stSTT_LNG_RNG>(STC_FG_IC_FRAME_HEIGHT_LIMITS).Nominal, 600);
    EXPECT_EQ(driver.GetControl(2, STC_FG_CTL_FRAME_WIDTH), 800);
    EXPECT_EQ(driver.GetControl(2, STC_FG_CTL_ACTIVE_LINE_COUNT), 300) << "one field";
    EXPECT_EQ(driver.DeviceCap(STC_IMG_DC_LINEAR_MEM_SIZE), 1234567u);
    EXPECT_EQ(driver.DeviceCap(STC_IMG_DC_DEVICE_MEM_SIZE), 0u);
}

TEST(Open, ClampsSettingsIntoTheModelsLimits) {
    ScratchBoard board(L"SIMTEST");
    board.Set(L"Enable", 1);
    board.Set(L"Model", 32);
    board.Set(L"FrameWidth", 100000);
    board.Set(L"FrameHeight", 0);
    board.Set(L"InputSources", 0);
    Driver driver("kvboard!SIMTEST");
    ASSERT_TRUE(driver);
    const auto width = driver.Cap<stSTT_LNG_RNG>(STC_FG_IC_FRAME_WIDTH_LIMITS);
    EXPECT_EQ(width.Nominal, width.Max);
    const auto height = driver.Cap<stSTT_LNG_RNG>(STC_FG_IC_FRAME_HEIGHT_LIMITS);
    EXPECT_EQ(height.Nominal, height.Min);
    EXPECT_EQ(driver.Cap<uint32_t>(STC_FG_IC_INPUT_SOURCE_COUNT), 1u);
}

TEST(Open, HandlesOnOneBoardShareItsStateButNotTheirLastStatus) {
    Driver first("kvboard!SIM7100");
    Driver second("kvboard!sim7100");
    ASSERT_TRUE(first);
    ASSERT_TRUE(second);
    EXPECT_EQ(first.SetControl(1, STC_FG_CTL_FRAME_WIDTH, 320), 1);
    EXPECT_EQ(second.GetControl(1, STC_FG_CTL_FRAME_WIDTH), 320);
    EXPECT_EQ(first.SetControl(1, STC_FG_CTL_FRAME_WIDTH, 321), 0);
    EXPECT_EQ(second.LastStatus(), 0u);
    EXPECT_EQ(first.LastStatus(), drv::STS_GRANULARITY);
    Driver other("kvboard!SIM7400");
    ASSERT_TRUE(other);
    EXPECT_EQ(other.GetControl(1, STC_FG_CTL_FRAME_WIDTH), 640) << "another board";
}

TEST(Open, ABoardStartsAfreshWhenItsLastHandleClosed) {
    {
        Driver driver("kvboard!SIM7100");
        ASSERT_TRUE(driver);
        ASSERT_EQ(driver.SetControl(0, STC_FG_CTL_FRAME_WIDTH, 320), 1);
    }
    Driver driver("kvboard!SIM7100");
    ASSERT_TRUE(driver);
    EXPECT_EQ(driver.GetControl(0, STC_FG_CTL_FRAME_WIDTH), 640);
}

} // namespace
} // namespace simtest
