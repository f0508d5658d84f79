// Input messages: capabilities from the model tables, controls per source with range and
// granularity checks, the input source, lookup tables, based source and triggers.
#include "sim_driver.h"

#include <cstring>

namespace simtest {
namespace {

constexpr const char* kAllBoards[] = {"kvboard!SIM7100", "kvboard!SIM7400", "kvboard!SIM7700",
                                      "kvboard!SIM7300", "kvboard!SIM7500", "kvboard!SIM7400LS",
                                      "kvboard!SIM760X"};

uint32_t CapStatus(const Driver& driver, uint32_t key, uint32_t size = 64) {
    uint8_t buffer[64] = {};
    if (driver.Ask(msg::STM_QUERY_INPUT_CAPS, key, buffer, size) == 1) return 0;
    return driver.LastStatus();
}

TEST(InputCaps, GeneralKeysFollowTheModel) {
    Driver mono("kvboard!SIM7100");
    ASSERT_TRUE(mono);
    EXPECT_EQ(mono.Cap<uint32_t>(STC_FG_IC_INPUT_SOURCE_COUNT), 4u);
    EXPECT_EQ(mono.Cap<uint32_t>(STC_FG_IC_ILUT_COUNT), 4u);
    EXPECT_EQ(mono.Cap<uint32_t>(STC_FG_IC_MAX_ILUT_INDEX), 255u);
    EXPECT_EQ(mono.Cap<uint32_t>(STC_FG_IC_MAX_ILUT_VALUE), 255u);
    EXPECT_EQ(mono.Cap<uint32_t>(STC_FG_IC_PIXEL_DEPTH), 8u);
    const auto size = mono.Cap<std::array<uint32_t, 2>>(STC_FG_IC_MAX_FRAME_SIZE);
    EXPECT_EQ(size[0], 1024u);
    EXPECT_EQ(size[1], 1024u);
    EXPECT_EQ(mono.Cap<uint32_t>(STC_FG_IC_FRAME_TYPE_LIMITS), 0x7Fu);
    EXPECT_EQ(mono.Cap<uint32_t>(STC_FG_IC_DOES_COLOR), 0u);

    Driver camera("kvboard!SIM7700");
    EXPECT_EQ(camera.Cap<uint32_t>(STC_FG_IC_PIXEL_DEPTH), 10u);
    EXPECT_EQ(camera.Cap<uint32_t>(STC_FG_IC_MAX_ILUT_VALUE), 1023u);
    EXPECT_EQ(camera.Cap<uint32_t>(STC_FG_IC_FRAME_TYPE_LIMITS), 64u);
    Driver color("kvboard!SIM7500");
    EXPECT_EQ(color.Cap<uint32_t>(STC_FG_IC_DOES_COLOR), 1u);
    EXPECT_EQ(color.Cap<uint32_t>(STC_FG_IC_PIXEL_DEPTH), 32u);
    const auto width = color.Cap<stSTT_LNG_RNG>(STC_FG_IC_FRAME_WIDTH_LIMITS);
    EXPECT_EQ(width.Nominal, 768);
    EXPECT_EQ(color.Cap<stSTT_LNG_RNG>(STC_FG_IC_FRAME_HEIGHT_LIMITS).Nominal, 576);
}

TEST(InputCaps, FeatureGroupsTheModelLacksAreReported) {
    Driver full("kvboard!SIM7100");
    Driver plain("kvboard!SIM760X");
    ASSERT_TRUE(full);
    ASSERT_TRUE(plain);
    EXPECT_EQ(full.Cap<uint32_t>(STC_FG_IC_DOES_INPUT_FILTER), 1u);
    EXPECT_EQ(full.Cap<uint32_t>(STC_FG_IC_INPUT_FILTER_LIMITS), 15u);
    EXPECT_EQ(plain.Cap<uint32_t>(STC_FG_IC_DOES_INPUT_FILTER), 0u);
    EXPECT_EQ(CapStatus(plain, STC_FG_IC_INPUT_FILTER_LIMITS), drv::STS_UNSUPKEY);
    EXPECT_EQ(full.Cap<uint32_t>(STC_FG_IC_DOES_PIXEL_CLOCK), 1u);
    EXPECT_EQ(full.Cap<uint32_t>(STC_FG_IC_CLOCK_SOURCE_LIMITS), 3u);
    EXPECT_EQ(plain.Cap<uint32_t>(STC_FG_IC_DOES_QUERY_PIXEL_CLOCK), 0u);
    EXPECT_EQ(CapStatus(plain, STC_FG_IC_CLOCK_FREQ_LIMITS), drv::STS_UNSUPKEY);
    EXPECT_EQ(full.Cap<uint32_t>(STC_FG_IC_CSYNC_SOURCE_LIMITS), 7u);
    EXPECT_EQ(full.Cap<uint32_t>(STC_FG_IC_SYNC_SENTINEL_TYPE_LIMITS), 3u);
    EXPECT_EQ(full.Cap<uint32_t>(STC_FG_IC_DOES_TRIGGER), 1u);
    EXPECT_EQ(plain.Cap<uint32_t>(STC_FG_IC_DOES_TRIGGER), 0u);
    EXPECT_EQ(full.Cap<uint32_t>(STC_FG_IC_DOES_EVENT_COUNTING), 0u);
    EXPECT_EQ(CapStatus(full, STC_FG_IC_EVENT_COUNT_LIMITS), drv::STS_UNSUPKEY);
    Driver sync("kvboard!SIM7400");
    EXPECT_EQ(sync.Cap<uint32_t>(STC_FG_IC_DOES_EVENT_COUNTING), 1u);
    EXPECT_EQ(sync.Cap<uint32_t>(STC_FG_IC_EVENT_TYPE_LIMITS), 15u);
    EXPECT_EQ(sync.Cap<uint32_t>(STC_FG_IC_DOES_STROBE), 1u);
    Driver color("kvboard!SIM7300");
    EXPECT_EQ(color.Cap<uint32_t>(STC_FG_IC_MULT_TRIGGER_MODE_LIMITS), 1u) << "Once only";
    EXPECT_EQ(full.Cap<uint32_t>(STC_FG_IC_MULT_TRIGGER_MODE_LIMITS), 3u);
}

TEST(InputCaps, ListsAnswerTheirLimitsThenTheirEntries) {
    Driver driver("kvboard!SIM7100");
    ASSERT_TRUE(driver);
    const auto limits = driver.Cap<stSTT_LIST_LIMITS>(STC_FG_IC_CSYNC_THRESH_LIST_LIMITS);
    ASSERT_EQ(limits.Count, 5);
    std::vector<int32_t> list(limits.Count + 1, -1);
    uint32_t written = 0;
    ASSERT_EQ(driver.Ask(msg::STM_QUERY_INPUT_CAPS, STC_FG_IC_CSYNC_THRESH_LIST, list.data(),
                         4 * limits.Count, &written),
              1);
    EXPECT_EQ(written, 20u);
    EXPECT_EQ(list[0], limits.Min);
    EXPECT_EQ(list[4], limits.Max);
    EXPECT_EQ(list[5], -1) << "written beyond the buffer size";
    EXPECT_EQ(CapStatus(driver, STC_FG_IC_CSYNC_THRESH_LIST, 16), drv::STS_BUFSIZ);
}

TEST(InputCaps, UnknownKeysAndShortBuffersFail) {
    Driver driver("kvboard!SIM7100");
    ASSERT_TRUE(driver);
    EXPECT_EQ(CapStatus(driver, 9999), drv::STS_UNSUPKEY);
    EXPECT_EQ(CapStatus(driver, STC_FG_IC_UNKNOWN), drv::STS_UNSUPKEY);
    EXPECT_EQ(CapStatus(driver, STC_FG_IC_FRAME_WIDTH_LIMITS, 4), drv::STS_BUFSIZ);
}

// Every range a board reports is the range it enforces, on every model.
TEST(InputControls, ReportedLimitsAreTheEnforcedLimits) {
    const std::pair<uint32_t, uint32_t> ranges[] = {
        {STC_FG_IC_BLACK_LEVEL_LIMITS, STC_FG_CTL_BLACK_LEVEL},
        {STC_FG_IC_WHITE_LEVEL_LIMITS, STC_FG_CTL_WHITE_LEVEL},
        {STC_FG_IC_CLAMP_START_LIMITS, STC_FG_CTL_CLAMP_START},
        {STC_FG_IC_CLAMP_END_LIMITS, STC_FG_CTL_CLAMP_END},
        {STC_FG_IC_ACTIVE_PIXEL_LIMITS, STC_FG_CTL_FIRST_ACTIVE_PIXEL},
        {STC_FG_IC_ACTIVE_WIDTH_LIMITS, STC_FG_CTL_ACTIVE_PIXEL_COUNT},
        {STC_FG_IC_ACTIVE_LINE_LIMITS, STC_FG_CTL_FIRST_ACTIVE_LINE},
        {STC_FG_IC_ACTIVE_HEIGHT_LIMITS, STC_FG_CTL_ACTIVE_LINE_COUNT},
        {STC_FG_IC_BACK_PORCH_START_LIMITS, STC_FG_CTL_BACK_PORCH_START},
        {STC_FG_IC_TOTAL_PIX_PER_LINE_LIMITS, STC_FG_CTL_TOTAL_PIX_PER_LINE},
        {STC_FG_IC_TOTAL_LINES_PER_FLD_LIMITS, STC_FG_CTL_TOTAL_LINES_PER_FLD},
        {STC_FG_IC_FRAME_TOP_LIMITS, STC_FG_CTL_FRAME_TOP},
        {STC_FG_IC_FRAME_LEFT_LIMITS, STC_FG_CTL_FRAME_LEFT},
        {STC_FG_IC_FRAME_WIDTH_LIMITS, STC_FG_CTL_FRAME_WIDTH},
        {STC_FG_IC_FRAME_HEIGHT_LIMITS, STC_FG_CTL_FRAME_HEIGHT},
        {STC_FG_IC_FRAME_HINC_LIMITS, STC_FG_CTL_HOR_FRAME_INC},
        {STC_FG_IC_FRAME_VINC_LIMITS, STC_FG_CTL_VER_FRAME_INC},
        {STC_FG_IC_CLOCK_FREQ_LIMITS, STC_FG_CTL_CLOCK_FREQ},
    };
    int checked = 0;
    for (const char* open : kAllBoards) {
        Driver d(open);
        ASSERT_TRUE(d) << open;
        for (const auto& [cap, control] : ranges) {
            stSTT_LNG_RNG r{};
            if (d.Ask(msg::STM_QUERY_INPUT_CAPS, cap, r) != 1) {
                EXPECT_EQ(d.SetControl(0, control, 0), 0);
                EXPECT_EQ(d.LastStatus(), drv::STS_CONTROL) << open << " control " << control;
                continue;
            }
            SCOPED_TRACE(std::string(open) + " control " + std::to_string(control));
            ++checked;
            EXPECT_EQ(d.GetControl(0, control), r.Nominal);
            EXPECT_EQ(d.SetControl(0, control, r.Min), 1);
            EXPECT_EQ(d.SetControl(0, control, r.Max), 1);
            EXPECT_EQ(d.GetControl(0, control), r.Max);
            EXPECT_EQ(d.SetControl(0, control, r.Max + r.Granularity), 0);
            EXPECT_EQ(d.LastStatus(), drv::STS_RANGE);
            EXPECT_EQ(d.SetControl(0, control, r.Min - 1), 0);
            EXPECT_EQ(d.LastStatus(), drv::STS_RANGE);
            if (r.Granularity > 1) {
                EXPECT_EQ(d.SetControl(0, control, r.Min + 1), 0);
                EXPECT_EQ(d.LastStatus(), drv::STS_GRANULARITY);
            }
            EXPECT_EQ(d.GetControl(0, control), r.Max) << "a refused value changed the control";
        }
    }
    EXPECT_GT(checked, 60);
}

TEST(InputControls, TheBlockOfTheProtocolExampleIsAccepted) {
    Driver driver("kvboard!SIM7100");
    ASSERT_TRUE(driver);
    const uint8_t block[12] = {0x03, 0, 0, 0, 0x52, 0x01, 0, 0, 0x80, 0x02, 0, 0};
    int32_t answer = 0;
    ASSERT_EQ(driver.Ask(msg::STM_SET_INPUT_CONTROL, reinterpret_cast<LPARAM>(block), answer), 1);
    EXPECT_EQ(answer, 640);
}

TEST(InputControls, AreKeptPerSource) {
    Driver driver("kvboard!SIM7100");
    ASSERT_TRUE(driver);
    for (uint16_t source = 0; source < 4; ++source)
        ASSERT_EQ(driver.SetControl(source, STC_FG_CTL_FRAME_HEIGHT, 100 + source), 1);
    for (uint16_t source = 0; source < 4; ++source)
        EXPECT_EQ(driver.GetControl(source, STC_FG_CTL_FRAME_HEIGHT), 100 + source);
}

TEST(InputControls, UnknownControlsAndSourcesFail) {
    Driver driver("kvboard!SIM760X");
    ASSERT_TRUE(driver);
    EXPECT_EQ(driver.SetControl(0, STC_FG_CTL_INPUT_FILTER, 1), 0);
    EXPECT_EQ(driver.LastStatus(), drv::STS_CONTROL);
    EXPECT_EQ(driver.SetControl(0, 9999, 1), 0);
    EXPECT_EQ(driver.LastStatus(), drv::STS_CONTROL);
    EXPECT_EQ(driver.SetControl(2, STC_FG_CTL_FRAME_WIDTH, 320), 0);
    EXPECT_EQ(driver.LastStatus(), drv::STS_INPUTSOURCE);
    InputControlReadBlock read{2, 0, STC_FG_CTL_FRAME_WIDTH};
    int32_t value = 0;
    EXPECT_EQ(driver.AskWith(msg::STM_GET_INPUT_CONTROL, read, value), 0);
    EXPECT_EQ(driver.LastStatus(), drv::STS_INPUTSOURCE);
    EXPECT_EQ(driver.Ask(msg::STM_SET_INPUT_CONTROL, 0, value), 0);
    EXPECT_EQ(driver.LastStatus(), drv::STS_NULL);
}

TEST(InputControls, ChoicesAcceptOneOfTheirValues) {
    Driver driver("kvboard!SIM7100");
    ASSERT_TRUE(driver);
    struct Case {
        uint32_t control;
        int32_t value;
        uint32_t status;
    };
    const Case cases[] = {
        {STC_FG_CTL_FRAME_TYPE, 64, 0},
        {STC_FG_CTL_FRAME_TYPE, 3, drv::STS_RANGE}, // two frame types at once
        {STC_FG_CTL_FRAME_TYPE, 0, drv::STS_RANGE},
        {STC_FG_CTL_INPUT_FILTER, 8, 0},
        {STC_FG_CTL_INPUT_FILTER, 16, drv::STS_RANGE},
        {STC_FG_CTL_SYNC_SENTINEL, 0, 0},
        {STC_FG_CTL_SYNC_SENTINEL, 2, 0},
        {STC_FG_CTL_SYNC_SENTINEL, 3, drv::STS_RANGE},
        {STC_FG_CTL_CSYNC_SOURCE, 0x30002, 0}, // Channel3
        {STC_FG_CTL_CSYNC_SOURCE, 0x40002, drv::STS_INPUTSOURCE},
        {STC_FG_CTL_CSYNC_SOURCE, 0x10001, drv::STS_RANGE},
        {STC_FG_CTL_CSYNC_SOURCE, 4, 0},
        {STC_FG_CTL_CSYNC_THRESH, 75, 0},
        {STC_FG_CTL_CSYNC_THRESH, 80, drv::STS_RANGE},
        {STC_FG_CTL_CLOCK_SOURCE, 2, 0},
        {STC_FG_CTL_VIDEO_TYPE, 0, drv::STS_RANGE},
        {STC_FG_CTL_BLACK_LEVEL, -10, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(driver.SetControl(1, c.control, c.value), c.status == 0 ? 1 : 0)
            << c.control << " = " << c.value;
        EXPECT_EQ(driver.LastStatus(), c.status) << c.control << " = " << c.value;
    }
    EXPECT_EQ(driver.GetControl(1, STC_FG_CTL_CSYNC_SOURCE), 4);
}

TEST(InputSource, SetAndGetTheCurrentSource) {
    Driver driver("kvboard!SIM7100");
    ASSERT_TRUE(driver);
    uint16_t source = 0xFFFF;
    uint32_t written = 0;
    ASSERT_EQ(driver.Ask(msg::STM_GET_INPUT_SOURCE, 0, &source, 2, &written), 1);
    EXPECT_EQ(source, 0);
    EXPECT_EQ(written, 2u);
    ASSERT_EQ(driver.Ask(msg::STM_SET_INPUT_SOURCE, 0x10003, &source, 2), 1) << "low 16 bits";
    EXPECT_EQ(source, 3);
    EXPECT_EQ(driver.Ask(msg::STM_SET_INPUT_SOURCE, 4, &source, 2), 0);
    EXPECT_EQ(driver.LastStatus(), drv::STS_INPUTSOURCE);
    ASSERT_EQ(driver.Ask(msg::STM_GET_INPUT_SOURCE, 0, &source, 2), 1);
    EXPECT_EQ(source, 3);
}

TEST(InputLut, StartsAsIdentityAndRoundTrips) {
    Driver driver("kvboard!SIM7100");
    ASSERT_TRUE(driver);
    LutBlock all{1, 0, 0, 256};
    std::vector<uint32_t> entries(256);
    ASSERT_EQ(driver.Ask(msg::STM_READ_INPUT_LUT, reinterpret_cast<LPARAM>(&all), entries.data(),
                         256 * 4),
              1);
    for (uint32_t i = 0; i < 256; ++i)
        ASSERT_EQ(entries[i], i);

    const uint32_t inverse[10] = {255, 254, 253, 252, 251, 250, 249, 248, 247, 246};
    LutBlock part{1, 0, 100, 10};
    ASSERT_EQ(driver.Send(msg::STM_WRITE_INPUT_LUT, reinterpret_cast<LPARAM>(&part),
                          reinterpret_cast<LPARAM>(inverse)),
              1);
    uint32_t back[12] = {};
    LutBlock around{1, 0, 99, 12};
    ASSERT_EQ(
        driver.Ask(msg::STM_READ_INPUT_LUT, reinterpret_cast<LPARAM>(&around), back, sizeof back),
        1);
    EXPECT_EQ(back[0], 99u);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(back[i + 1], inverse[i]);
    EXPECT_EQ(back[11], 110u);
    LutBlock other{0, 0, 100, 1};
    uint32_t untouched = 0;
    ASSERT_EQ(driver.Ask(msg::STM_READ_INPUT_LUT, reinterpret_cast<LPARAM>(&other), untouched), 1);
    EXPECT_EQ(untouched, 100u) << "tables are separate";
}

TEST(InputLut, RangesAreChecked) {
    Driver driver("kvboard!SIM7100");
    ASSERT_TRUE(driver);
    uint32_t entries[16] = {};
    auto read = [&](LutBlock block, uint32_t size) {
        return driver.Ask(msg::STM_READ_INPUT_LUT, reinterpret_cast<LPARAM>(&block), entries, size);
    };
    auto write = [&](LutBlock block, const void* data) {
        return driver.Send(msg::STM_WRITE_INPUT_LUT, reinterpret_cast<LPARAM>(&block),
                           reinterpret_cast<LPARAM>(data));
    };
    EXPECT_EQ(read({4, 0, 0, 1}, 64), 0) << "the fifth of four tables";
    EXPECT_EQ(driver.LastStatus(), drv::STS_LUT);
    EXPECT_EQ(read({0, 0, 250, 10}, 64), 0) << "past the last entry";
    EXPECT_EQ(driver.LastStatus(), drv::STS_LUT);
    EXPECT_EQ(read({0, 0, 0xFFFFFFFF, 2}, 64), 0);
    EXPECT_EQ(driver.LastStatus(), drv::STS_LUT);
    EXPECT_EQ(read({0, 0, 0, 16}, 63), 0);
    EXPECT_EQ(driver.LastStatus(), drv::STS_BUFSIZ);

    const uint32_t tooBig[2] = {10, 256};
    EXPECT_EQ(write({0, 0, 0, 2}, tooBig), 0);
    EXPECT_EQ(driver.LastStatus(), drv::STS_RANGE);
    ASSERT_EQ(read({0, 0, 0, 2}, 8), 1);
    EXPECT_EQ(entries[0], 0u) << "a refused write changed the table";
    EXPECT_EQ(write({0, 0, 255, 2}, tooBig), 0);
    EXPECT_EQ(driver.LastStatus(), drv::STS_LUT);
    EXPECT_EQ(write({0, 0, 0, 2}, nullptr), 0);
    EXPECT_EQ(driver.LastStatus(), drv::STS_NULL);

    Driver camera("kvboard!SIM7700");
    const uint32_t tenBit[1] = {1023};
    LutBlock missing{2, 0, 0, 1};
    EXPECT_EQ(camera.Send(msg::STM_WRITE_INPUT_LUT, reinterpret_cast<LPARAM>(&missing),
                          reinterpret_cast<LPARAM>(tenBit)),
              0)
        << "the third of two tables";
    LutBlock last{1, 0, 1023, 1};
    EXPECT_EQ(camera.Send(msg::STM_WRITE_INPUT_LUT, reinterpret_cast<LPARAM>(&last),
                          reinterpret_cast<LPARAM>(tenBit)),
              1);
}

TEST(BasedSource, SelectsAndReleasesASource) {
    Driver driver("kvboard!SIM7100");
    ASSERT_TRUE(driver);
    auto select = [&](uint32_t on, uint16_t source) {
        BasedSourceBlock block{on, source, 0};
        return driver.Send(msg::STM_SELECT_BASED_SOURCE, reinterpret_cast<LPARAM>(&block), 0);
    };
    EXPECT_EQ(select(1, 2), 1);
    EXPECT_EQ(select(0, 2), 1);
    EXPECT_EQ(select(1, 4), 0);
    EXPECT_EQ(driver.LastStatus(), drv::STS_INPUTSOURCE);
    EXPECT_EQ(select(2, 0), 0);
    EXPECT_EQ(driver.LastStatus(), drv::STS_RANGE);
    EXPECT_EQ(driver.Send(msg::STM_SELECT_BASED_SOURCE, 0, 0), 0);
    EXPECT_EQ(driver.LastStatus(), drv::STS_NULL);
}

TEST(Triggers, SingleTriggerRoundTripsWithinTheModelsTypes) {
    Driver driver("kvboard!SIM7100");
    ASSERT_TRUE(driver);
    TriggerBlock answer{};
    ASSERT_EQ(driver.Ask(msg::STM_GET_TRIGGER, 0, answer), 1);
    EXPECT_EQ(answer.Type, 1u);
    EXPECT_EQ(answer.Transition, 0u);
    const TriggerBlock external{STC_FG_TRIGGER_EXTERNAL_LINE, 1};
    ASSERT_EQ(driver.AskWith(msg::STM_SET_TRIGGER, external, answer), 1);
    EXPECT_EQ(answer.Type, 2u);
    EXPECT_EQ(answer.Transition, 1u);
    answer = {};
    ASSERT_EQ(driver.Ask(msg::STM_GET_TRIGGER, 0, answer), 1);
    EXPECT_EQ(answer.Type, 2u);
    EXPECT_EQ(answer.Transition, 1u);

    EXPECT_EQ(driver.AskWith(msg::STM_SET_TRIGGER, TriggerBlock{STC_FG_TRIGGER_EVENT, 0}, answer),
              0)
        << "no event counting on this model";
    EXPECT_EQ(driver.LastStatus(), drv::STS_RANGE);
    EXPECT_EQ(driver.AskWith(msg::STM_SET_TRIGGER, TriggerBlock{2, 2}, answer), 0);
    EXPECT_EQ(driver.LastStatus(), drv::STS_RANGE);
    EXPECT_EQ(driver.AskWith(msg::STM_SET_TRIGGER, TriggerBlock{0, 0}, answer), 0);
    uint32_t small = 0;
    EXPECT_EQ(driver.AskWith(msg::STM_SET_TRIGGER, external, small), 0);
    EXPECT_EQ(driver.LastStatus(), drv::STS_BUFSIZ);

    Driver sync("kvboard!SIM7400");
    EXPECT_EQ(sync.AskWith(msg::STM_SET_TRIGGER, TriggerBlock{STC_FG_TRIGGER_EVENT, 0}, answer), 1);
}

TEST(Triggers, MultipleTriggerChecksTypeTransitionAndMode) {
    Driver driver("kvboard!SIM7100");
    ASSERT_TRUE(driver);
    MultTriggerBlock answer{};
    ASSERT_EQ(driver.Ask(msg::STM_GET_MULT_TRIGGER, 0, answer), 1);
    EXPECT_EQ(answer.Type, 1u);
    EXPECT_EQ(answer.Mode, 1u);
    const MultTriggerBlock each{2, 1, STC_FG_TRIGMODE_FOR_EACH};
    ASSERT_EQ(driver.AskWith(msg::STM_SET_MULT_TRIGGER, each, answer), 1);
    answer = {};
    ASSERT_EQ(driver.Ask(msg::STM_GET_MULT_TRIGGER, 0, answer), 1);
    EXPECT_EQ(answer.Type, 2u);
    EXPECT_EQ(answer.Transition, 1u);
    EXPECT_EQ(answer.Mode, 2u);
    EXPECT_EQ(driver.AskWith(msg::STM_SET_MULT_TRIGGER, MultTriggerBlock{2, 1, 3}, answer), 0);
    EXPECT_EQ(driver.LastStatus(), drv::STS_RANGE);

    Driver color("kvboard!SIM7300");
    EXPECT_EQ(color.AskWith(msg::STM_SET_MULT_TRIGGER, each, answer), 0) << "Once only";
    EXPECT_EQ(color.LastStatus(), drv::STS_RANGE);
}

} // namespace
} // namespace simtest
