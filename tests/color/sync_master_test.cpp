// The sync master of the installed control on each simulated model: the KV7400 board library
// (KV7400, KV7400LS), the digital-camera board (KV7700), the color boards (KV7300 read and
// write, KV7500 read only) and the boards without a sync generator.
#include "color_fixture.h"

namespace color_test {
namespace {

using imaging::ParamReadBlock;
using imaging::ParamWriteBlock;
using test::BlockOf;
using test::RecordsOf;

namespace msg = imaging::msg;

struct TimingProperty {
    const wchar_t* name;
    uint32_t selector;
    LONG value; // a value the simulated generator accepts
};

constexpr TimingProperty kTimingProperties[] = {
    {L"HorizontalFrequency", 1, 15734},
    {L"HorizontalPulseWidth", 3, 4700},
    {L"VerticalFrequency", 2, 60},
    {L"VerticalPulseWidth", 4, 3},
    {L"Phase", 5, 0},
};

// The messages of one family that owns a sync generator with timing.
struct GeneratorFamily {
    const wchar_t* board;
    uint32_t enable, set, get;
};

constexpr GeneratorFamily kGeneratorFamilies[] = {
    {L"SIM7400", msg::STM_7400_ENABLE_SYNC_MASTER, msg::STM_7400_SET_SYNC_MASTER_PARAM,
     msg::STM_7400_GET_SYNC_MASTER_PARAM},
    {L"SIM7400LS", msg::STM_7400_ENABLE_SYNC_MASTER, msg::STM_7400_SET_SYNC_MASTER_PARAM,
     msg::STM_7400_GET_SYNC_MASTER_PARAM},
    {L"SIM7700", msg::STM_CAM_ENABLE_SYNC_MASTER, msg::STM_CAM_SET_SYNC_MASTER_PARAM,
     msg::STM_CAM_GET_SYNC_MASTER_PARAM},
};

using SyncMaster = ColorTest;

TEST_F(SyncMaster, HorizontalFrequencyOnTheKV7400SendsTheParameterWriteBlock) {
    Open(L"SIM7400");
    std::vector<KvTraceRecord> trace =
        Traced([&] { ASSERT_EQ(control_->put_HorizontalFrequency(15734), S_OK); });
    ASSERT_EQ(trace.size(), 1u);
    EXPECT_EQ(trace[0].Message, msg::STM_7400_SET_SYNC_MASTER_PARAM);
    const uint8_t expected[12] = {0, 0, 0, 0, 1, 0, 0, 0, 0x76, 0x3D, 0, 0};
    ASSERT_EQ(trace[0].BlockSize, 12u);
    EXPECT_EQ(std::memcmp(trace[0].Block, expected, 12), 0);
}

// Each timing property has its selector; reads and writes address the effective source.
TEST_F(SyncMaster, TimingPropertiesUseTheirFamilysMessages) {
    for (const GeneratorFamily& family : kGeneratorFamilies) {
        Open(family.board);
        const uint16_t source = family.board == std::wstring(L"SIM7400") ? 3 : 0;
        ASSERT_EQ(control_->put_VideoInputSource(static_cast<VideoSourceEnum>(source)), S_OK);
        test::Notifications notifications(dispatch_.Get());
        for (const TimingProperty& property : kTimingProperties) {
            LONG read = -1;
            std::vector<KvTraceRecord> trace = Traced([&] {
                ASSERT_EQ(
                    test::PutProperty(dispatch_.Get(), property.name, test::Long(property.value))
                        .hr,
                    S_OK);
                test::CallResult get = test::GetProperty(dispatch_.Get(), property.name);
                ASSERT_EQ(get.hr, S_OK);
                read = test::LongOf(get);
            });
            EXPECT_EQ(read, property.value);
            ASSERT_EQ(trace.size(), 2u);
            EXPECT_EQ(trace[0].Message, family.set);
            EXPECT_EQ(trace[1].Message, family.get);
            const auto write = BlockOf<ParamWriteBlock>(trace[0]);
            EXPECT_EQ(write.Source, source);
            EXPECT_EQ(write.Selector, property.selector);
            EXPECT_EQ(write.Value, static_cast<uint32_t>(property.value));
            const auto readBlock = BlockOf<ParamReadBlock>(trace[1]);
            EXPECT_EQ(readBlock.Source, source);
            EXPECT_EQ(readBlock.Selector, property.selector);
        }
        EXPECT_TRUE(notifications.Changed().empty());
    }
}

// The library and camera boards cannot report the enable: the control answers what it
// wrote last, without a message.
TEST_F(SyncMaster, EnableOnGeneratorBoardsIsSentAndKept) {
    for (const GeneratorFamily& family : kGeneratorFamilies) {
        Open(family.board);
        std::vector<KvTraceRecord> trace = Traced([&] {
            ASSERT_EQ(test::PutProperty(dispatch_.Get(), L"SyncMasterEnabled", test::Long(-1)).hr,
                      S_OK);
        });
        ASSERT_EQ(trace.size(), 1u);
        EXPECT_EQ(trace[0].Message, family.enable);
        EXPECT_EQ(static_cast<int32_t>(trace[0].Param1), -1);
        EXPECT_EQ(trace[0].Param2, 0u);
        VARIANT_BOOL enabled = VARIANT_FALSE;
        trace = Traced([&] { ASSERT_EQ(control_->get_SyncMasterEnabled(&enabled), S_OK); });
        EXPECT_TRUE(trace.empty());
        EXPECT_EQ(enabled, VARIANT_TRUE);
        ASSERT_EQ(control_->put_SyncMasterEnabled(VARIANT_FALSE), S_OK);
        ASSERT_EQ(control_->get_SyncMasterEnabled(&enabled), S_OK);
        EXPECT_EQ(enabled, VARIANT_FALSE);
    }
}

// A refused write leaves the kept value; the library's device-dependent status is mapped.
TEST_F(SyncMaster, GeneratorRefusalsAreReportedAndNotKept) {
    Open(L"SIM7400");
    ASSERT_EQ(control_->put_SyncMasterEnabled(VARIANT_TRUE), S_OK);
    Port().FailNext(msg::STM_7400_ENABLE_SYNC_MASTER, 0x04000004);
    test::CallResult put = test::PutProperty(dispatch_.Get(), L"SyncMasterEnabled", test::Long(0));
    EXPECT_EQ(put.hr, DISP_E_EXCEPTION);
    EXPECT_HRESULT_FAILED(put.exception.scode);
    BSTR mapped = nullptr;
    ASSERT_EQ(control_->GetStatusMessage(0x14000004, &mapped), S_OK);
    EXPECT_EQ(StatusMessage(), test::Wide(mapped));
    SysFreeString(mapped);
    VARIANT_BOOL enabled = VARIANT_FALSE;
    ASSERT_EQ(control_->get_SyncMasterEnabled(&enabled), S_OK);
    EXPECT_EQ(enabled, VARIANT_TRUE);
    ASSERT_EQ(control_->put_SyncMasterEnabled(VARIANT_FALSE), S_OK);

    // Out of the generator's range.
    LONG frequency = 0;
    ASSERT_EQ(control_->get_HorizontalFrequency(&frequency), S_OK);
    EXPECT_HRESULT_FAILED(control_->put_HorizontalFrequency(5));
    LONG after = 0;
    ASSERT_EQ(control_->get_HorizontalFrequency(&after), S_OK);
    EXPECT_EQ(after, frequency);
    EXPECT_EQ(control_->get_Phase(nullptr), E_POINTER);
    EXPECT_EQ(control_->get_SyncMasterEnabled(nullptr), E_POINTER);
}

TEST_F(SyncMaster, TheKV7300ReadsAndWritesTheEnableThroughItsColorFamily) {
    Open(L"SIM7300");
    ASSERT_EQ(control_->put_VideoInputSource(Chan2), S_OK);
    std::vector<KvTraceRecord> trace = Traced([&] {
        ASSERT_EQ(control_->put_SyncMasterEnabled(VARIANT_TRUE), S_OK);
        VARIANT_BOOL enabled = VARIANT_FALSE;
        ASSERT_EQ(control_->get_SyncMasterEnabled(&enabled), S_OK);
        EXPECT_EQ(enabled, VARIANT_TRUE);
        ASSERT_EQ(control_->put_SyncMasterEnabled(VARIANT_FALSE), S_OK);
        ASSERT_EQ(control_->get_SyncMasterEnabled(&enabled), S_OK);
        EXPECT_EQ(enabled, VARIANT_FALSE);
    });
    const auto messages = RecordsOf(trace, msg::STM_CLR_SYNC_MASTER);
    ASSERT_EQ(messages.size(), 4u);
    ASSERT_EQ(trace.size(), 4u);
    const uint32_t operations[] = {8, 7, 8, 7};
    for (size_t i = 0; i < 4; ++i) {
        const auto sent = BlockOf<OperationTrace>(messages[i]);
        EXPECT_EQ(sent.block.Operation, operations[i]);
        EXPECT_EQ(sent.block.Source, 2u);
        EXPECT_EQ(sent.parameter, 1u);
    }
    EXPECT_EQ(BlockOf<OperationTrace>(messages[0]).value, 0xFFFFFFFFu);
    EXPECT_EQ(BlockOf<OperationTrace>(messages[2]).value, 0u);

    // No timing on a color board.
    LONG frequency = 7;
    trace = Traced([&] {
        EXPECT_EQ(control_->get_HorizontalFrequency(&frequency), kModelLacksFeature);
        EXPECT_EQ(control_->put_VerticalPulseWidth(3), kModelLacksFeature);
    });
    EXPECT_TRUE(trace.empty());
    EXPECT_EQ(frequency, 7);
    EXPECT_EQ(StatusMessage().rfind(L"STC_STS_CONTROL:", 0), 0u);
}

// The KV7500's enable is set on the board: a write sends nothing and succeeds, the next read
// asks the board.
TEST_F(SyncMaster, TheKV7500IgnoresWritesAndReadsTheBoard) {
    Open(L"SIM7500");
    std::vector<KvTraceRecord> trace =
        Traced([&] { ASSERT_EQ(control_->put_SyncMasterEnabled(VARIANT_TRUE), S_OK); });
    EXPECT_TRUE(trace.empty());
    VARIANT_BOOL enabled = VARIANT_TRUE;
    trace = Traced([&] { ASSERT_EQ(control_->get_SyncMasterEnabled(&enabled), S_OK); });
    ASSERT_EQ(trace.size(), 1u);
    EXPECT_EQ(trace[0].Message, msg::STM_CLR_SYNC_MASTER);
    EXPECT_EQ(BlockOf<OperationTrace>(trace[0]).block.Operation, 7u);
    EXPECT_EQ(enabled, VARIANT_FALSE); // the simulated board's jumper is off

    // A failed read is reported; the kept value stays what the board said last.
    Port().FailNext(msg::STM_CLR_SYNC_MASTER, 0x04000001);
    EXPECT_EQ(control_->get_SyncMasterEnabled(&enabled), kUnknownStatus);
    EXPECT_EQ(control_->get_Phase(nullptr), E_POINTER);
    LONG phase = 0;
    EXPECT_EQ(control_->put_Phase(phase), kModelLacksFeature);
}

TEST_F(SyncMaster, BoardsWithoutAGeneratorLackTheFeature) {
    for (const wchar_t* board : {L"SIM7100", L"SIM760X"}) {
        Open(board);
        VARIANT_BOOL enabled = VARIANT_TRUE;
        LONG value = 7;
        std::vector<KvTraceRecord> trace = Traced([&] {
            EXPECT_EQ(control_->get_SyncMasterEnabled(&enabled), kModelLacksFeature);
            EXPECT_EQ(control_->put_SyncMasterEnabled(VARIANT_TRUE), kModelLacksFeature);
            for (const TimingProperty& property : kTimingProperties) {
                test::CallResult get = test::GetProperty(dispatch_.Get(), property.name);
                EXPECT_EQ(get.hr, DISP_E_EXCEPTION);
                EXPECT_EQ(get.exception.scode, kModelLacksFeature);
                EXPECT_EQ(
                    test::PutProperty(dispatch_.Get(), property.name, test::Long(property.value))
                        .exception.scode,
                    kModelLacksFeature);
            }
            EXPECT_EQ(control_->get_Phase(&value), kModelLacksFeature);
        });
        EXPECT_TRUE(trace.empty());
        EXPECT_EQ(enabled, VARIANT_TRUE);
        EXPECT_EQ(value, 7);
    }
    // No device at all: the same.
    ASSERT_EQ(control_->CloseDevice(), S_OK);
    VARIANT_BOOL enabled = VARIANT_FALSE;
    EXPECT_EQ(control_->get_SyncMasterEnabled(&enabled), kModelLacksFeature);
}

// The kept enable belongs to the control object, not to the device.
TEST_F(SyncMaster, TheKeptEnableOutlivesTheDevice) {
    Open(L"SIM7400");
    ASSERT_EQ(control_->put_SyncMasterEnabled(VARIANT_TRUE), S_OK);
    Open(L"SIM7700");
    VARIANT_BOOL enabled = VARIANT_FALSE;
    ASSERT_EQ(control_->get_SyncMasterEnabled(&enabled), S_OK);
    EXPECT_EQ(enabled, VARIANT_TRUE);
    // Leave the simulated generators off for the other tests.
    ASSERT_EQ(control_->put_SyncMasterEnabled(VARIANT_FALSE), S_OK);
    Open(L"SIM7400");
    ASSERT_EQ(control_->put_SyncMasterEnabled(VARIANT_FALSE), S_OK);
}

} // namespace
} // namespace color_test
