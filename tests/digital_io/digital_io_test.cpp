// The digital camera and digital I/O groups through the installed control on every simulated
// board: which message each board model gets, what comes back, and the values the control
// keeps across devices.
#include "frames_fixture.h"

#include "digital_io.h"

#include <gtest/gtest.h>

namespace {

using Microsoft::WRL::ComPtr;
namespace msg = imaging::msg;

constexpr HRESULT kUnsupportedKey = static_cast<HRESULT>(0x80044009); // STC_STS_UNSUPKEY
constexpr HRESULT kNoCamera = static_cast<HRESULT>(0x80044118);       // STC_STS_CONTROL
constexpr uint32_t kNone = 0;                                         // no message

// What one board model does with its digital lines, as its owner would expect it.
struct Lines {
    const wchar_t* board; // null: no device open
    uint32_t configRead;  // the message of the DigIOConfig get
    long config;          // what it reads
    long newConfig;       // the value the DigIOConfig put is tried with
    uint32_t configWrite; // its message; kNone with refused: STC_STS_UNSUPKEY
    bool configRefused;
    long pattern;          // the value the DigIOPattern put is tried with
    uint32_t patternWrite; // its message
    uint32_t patternSent;  // the pattern in that message (the color extension: the operation)
    uint32_t patternRead;  // the message of the DigIOPattern get
    long readBack;         // what it reads (the simulator loops outputs back to inputs)
    long outputCaps, inputCaps;
};

// clang-format off
constexpr Lines kLines[] = {
    // board         config read                 config  new   config write             refused pattern pattern write                 sent  pattern read                  read  out  in
    {nullptr,        kNone,                      0,      0x0F, kNone,                   false,  0x30,   kNone,                        0,    kNone,                        0,    0,   0},
    {L"SIM7100",     msg::STM_QUERY_CAMCTL_CAPS, 15,     0x0F, kNone,                   true,   0x05,   msg::STM_SET_DIGITAL_OUTPUTS, 0x05, msg::STM_SET_DIGITAL_OUTPUTS, 0x05, 255, 0},
    {L"SIM7400",     msg::STM_QUERY_CAMCTL_CAPS, 255,    0x0F, kNone,                   true,   0xA5,   msg::STM_SET_DIGITAL_OUTPUTS, 0xA5, msg::STM_SET_DIGITAL_OUTPUTS, 0xA5, 255, 0},
    {L"SIM7700",     msg::STM_CAM_GET_DIGIO_CONFIG, 15,  0x0F, msg::STM_CAM_SET_DIGIO_CONFIG, false, 0x05, msg::STM_CAM_SET_DIGIO_PATTERN, 0x05, msg::STM_CAM_GET_DIGIO_PATTERN, 0x55, 255, 255},
    {L"SIM7300",     msg::STM_CLR_DIGITAL_IO,    3,      0x03, msg::STM_CLR_DIGITAL_IO, false,  0x01,   msg::STM_CLR_DIGITAL_IO,      8,    msg::STM_CLR_DIGITAL_IO,      0x05, 15,  15},
    {L"SIM7500",     msg::STM_CLR_DIGITAL_IO,    7,      0x07, kNone,                   true,   0x05,   msg::STM_CLR_DIGITAL_IO,      8,    msg::STM_CLR_DIGITAL_IO,      0x0D, 7,   24},
    // Outside line-scan mode the line-scan board's upper four lines go out the standard way
    // and its pattern reads 0.
    {L"SIM7400LS",   msg::STM_QUERY_CAMCTL_CAPS, 255,    0x0F, kNone,                   true,   0x30,   msg::STM_SET_DIGITAL_OUTPUTS, 0x03, kNone,                        0,    240, 15},
    {L"SIM760X",     msg::STM_QUERY_CAMCTL_CAPS, 3,      0x0F, kNone,                   true,   0x02,   kNone,                        0,    kNone,                        0,    0,   0},
};
// clang-format on

class DigitalIo : public frames_test::Frames {
protected:
    // The codes of the messages sent since the trace started.
    std::vector<uint32_t> Sent() {
        std::vector<uint32_t> codes;
        for (const KvTraceRecord& record : simulator_.Port().Trace())
            codes.push_back(record.Message);
        return codes;
    }
    std::vector<uint32_t> Expected(uint32_t code) {
        return code == kNone ? std::vector<uint32_t>{} : std::vector<uint32_t>{code};
    }
};

TEST_F(DigitalIo, EachBoardModelReachesItsLinesThroughItsOwnMessages) {
    for (const Lines& row : kLines) {
        SCOPED_TRACE(row.board ? row.board : L"no device");
        ComPtr<IDispatch> dispatch = test::CreateControl();
        ComPtr<ICorvid3> control;
        ASSERT_EQ(dispatch.As(&control), S_OK);
        if (row.board) {
            ASSERT_TRUE(test::OpenBoard(dispatch.Get(), row.board));
        }
        test::Notifications notifications(control.Get());

        simulator_.Port().StartTrace();
        LONG value = -1;
        const HRESULT configured = control->put_DigIOConfig(row.newConfig);
        EXPECT_EQ(configured, row.configRefused ? kUnsupportedKey : S_OK);
        EXPECT_EQ(Sent(), Expected(row.configWrite));

        simulator_.Port().StartTrace();
        EXPECT_EQ(control->get_DigIOConfig(&value), S_OK);
        EXPECT_EQ(value, row.config);
        EXPECT_EQ(Sent(), Expected(row.configRead));

        simulator_.Port().StartTrace();
        EXPECT_EQ(control->put_DigIOPattern(row.pattern), S_OK);
        const auto writes = simulator_.Port().Trace();
        EXPECT_EQ(Sent(), Expected(row.patternWrite));
        if (!writes.empty()) {
            const bool camera = row.patternWrite == msg::STM_CAM_SET_DIGIO_PATTERN;
            EXPECT_EQ(camera ? writes[0].Param2 : writes[0].Param1, row.patternSent);
        }

        simulator_.Port().StartTrace();
        EXPECT_EQ(control->get_DigIOPattern(&value), S_OK);
        EXPECT_EQ(value, row.readBack);
        const auto reads = simulator_.Port().Trace();
        EXPECT_EQ(Sent(), Expected(row.patternRead));
        // Boards without a read of their outputs get the last pattern again.
        if (row.patternRead == msg::STM_SET_DIGITAL_OUTPUTS && !reads.empty()) {
            EXPECT_EQ(reads[0].Param1, static_cast<uint64_t>(row.pattern));
        }

        simulator_.Port().StartTrace();
        EXPECT_EQ(control->get_DigOutCaps(&value), S_OK);
        EXPECT_EQ(value, row.outputCaps);
        EXPECT_EQ(control->get_DigInCaps(&value), S_OK);
        EXPECT_EQ(value, row.inputCaps);
        EXPECT_TRUE(Sent().empty());

        std::vector<DISPID> changed{DispidDigIOPattern};
        if (!row.configRefused) changed.insert(changed.begin(), DispidDigIOConfig);
        EXPECT_EQ(notifications.Changed(), changed);
    }
}

TEST_F(DigitalIo, LineScanModeMovesThePatternToTheLineScanMessages) {
    Open(L"SIM7400LS");
    ASSERT_EQ(control_->put_LineScanMode(VARIANT_TRUE), S_OK);
    simulator_.Port().StartTrace();
    ASSERT_EQ(control_->put_DigIOPattern(0x50), S_OK);
    const auto writes = test::RecordsOf(simulator_.Port().Trace(), msg::STM_LS_SET_DIGIO);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].Param2, 5u);
    LONG pattern = 0;
    ASSERT_EQ(control_->get_DigIOPattern(&pattern), S_OK);
    EXPECT_EQ(pattern, 0x55); // lines 4 to 7 drive, 0 to 3 see them through the loopback
    EXPECT_EQ(test::RecordsOf(simulator_.Port().Trace(), msg::STM_LS_GET_DIGIO).size(), 1u);

    // A pattern the board cannot drive is its failure, and the kept pattern stays.
    const HRESULT refused = control_->put_DigIOPattern(0x0F00);
    EXPECT_EQ(refused & 0xFFFF0000, static_cast<HRESULT>(0x80040000));
    ASSERT_EQ(control_->put_LineScanMode(VARIANT_FALSE), S_OK);
    EXPECT_EQ(control_->get_DigIOPattern(&pattern), S_OK);
    EXPECT_EQ(pattern, 0);
}

TEST_F(DigitalIo, TheCameraGroupExistsOnlyOnTheDigitalCameraBoard) {
    for (const test::SimBoard& board : test::kSimBoards) {
        if (board.model == KV7700) continue;
        SCOPED_TRACE(board.name);
        ComPtr<ICorvid3> control;
        ASSERT_EQ(test::CreateControl().As(&control), S_OK);
        ASSERT_TRUE(test::OpenBoard(control.Get(), board.name));
        simulator_.Port().StartTrace();
        EXPECT_EQ(control->ResetCamera(), kNoCamera);
        CameraTypeEnum type = CAM_8BIT_DUAL;
        EXPECT_EQ(control->get_DigitalCameraType(&type), kNoCamera);
        EXPECT_EQ(type, CAM_16BIT);
        EXPECT_EQ(control->put_DigitalCameraType(CAM_8BIT_SINGLE), kNoCamera);
        EXPECT_EQ(control->put_EnableExposePulse(VARIANT_TRUE), kNoCamera);
        LONG duration = -1;
        EXPECT_EQ(control->get_ExposePulseDuration(&duration), kNoCamera);
        EXPECT_EQ(duration, 0);
        EXPECT_EQ(control->put_ExposePulsePolarity(ActiveLow), kNoCamera);
        VARIANT_BOOL enabled = VARIANT_TRUE;
        EXPECT_EQ(control->get_EnableExposePulse(&enabled), S_OK);
        EXPECT_EQ(enabled, VARIANT_FALSE);
        EXPECT_TRUE(simulator_.Port().Trace().empty());
        BSTR message = nullptr;
        ASSERT_EQ(control->get_StatusMessage(&message), S_OK); // the stored status
        EXPECT_FALSE(test::Wide(message).empty());
        SysFreeString(message);
    }
}

TEST_F(DigitalIo, CameraTypeAndResetOnTheDigitalCameraBoard) {
    Open(L"SIM7700");
    test::Notifications notifications(control_.Get());
    simulator_.Port().StartTrace();
    ASSERT_EQ(control_->put_DigitalCameraType(CAM_12BIT), S_OK);
    const auto sets = test::RecordsOf(simulator_.Port().Trace(), msg::STM_CAM_SET_TYPE);
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0].Param1, 0u); // the input source
    EXPECT_EQ(sets[0].Param2, uint64_t{CAM_12BIT});
    CameraTypeEnum type = CAM_16BIT;
    ASSERT_EQ(control_->get_DigitalCameraType(&type), S_OK);
    EXPECT_EQ(type, CAM_12BIT);
    ASSERT_EQ(control_->ResetCamera(), S_OK);
    ASSERT_EQ(control_->get_DigitalCameraType(&type), S_OK);
    EXPECT_EQ(type, CAM_10BIT); // the camera's own width again
    EXPECT_EQ(notifications.Changed(), std::vector<DISPID>{DispidDigitalCameraType});
    EXPECT_EQ(control_->put_DigitalCameraType(static_cast<CameraTypeEnum>(9)) & 0xFFFF0000,
              static_cast<HRESULT>(0x80040000));
    EXPECT_EQ(control_->get_DigitalCameraType(nullptr), E_POINTER);
}

TEST_F(DigitalIo, ExposePulseTravelsAsAPairAndTheEnableIsKeptAcrossDevices) {
    Open(L"SIM7700");
    ASSERT_EQ(control_->put_ExposePulseDuration(500), S_OK);
    ASSERT_EQ(control_->put_EnableExposePulse(VARIANT_TRUE), S_OK);

    // A new control knows nothing yet: it reads the duration, then sets the polarity.
    ComPtr<IDispatch> dispatch = test::CreateControl();
    ComPtr<ICorvid3> control;
    ASSERT_EQ(dispatch.As(&control), S_OK);
    ASSERT_TRUE(test::OpenBoard(dispatch.Get(), L"SIM7700"));
    LONG duration = 0;
    ASSERT_EQ(control->get_ExposePulseDuration(&duration), S_OK);
    EXPECT_EQ(duration, 500);
    simulator_.Port().StartTrace();
    ASSERT_EQ(control->put_ExposePulsePolarity(ActiveLow), S_OK);
    const auto pulses = test::RecordsOf(simulator_.Port().Trace(), msg::STM_CAM_SET_EXPOSE_PULSE);
    ASSERT_EQ(pulses.size(), 1u);
    EXPECT_EQ(pulses[0].Param1, 500u);
    const auto block = test::BlockOf<imaging::ExposePulseWriteBlock>(pulses[0]);
    EXPECT_EQ(block.Source, 0);
    EXPECT_EQ(block.Polarity, 1u);
    PulsePolarityEnum polarity = ActiveHigh;
    ASSERT_EQ(control->get_ExposePulsePolarity(&polarity), S_OK);
    EXPECT_EQ(polarity, ActiveLow);

    // A refused duration leaves the kept one: the next polarity write carries 500 again.
    EXPECT_EQ(control->put_ExposePulseDuration(0) & 0xFFFF0000, static_cast<HRESULT>(0x80040000));
    simulator_.Port().StartTrace();
    ASSERT_EQ(control->put_ExposePulsePolarity(ActiveHigh), S_OK);
    EXPECT_EQ(test::RecordsOf(simulator_.Port().Trace(), msg::STM_CAM_SET_EXPOSE_PULSE)[0].Param1,
              500u);

    // The enable is served from the control's memory, on any device, without a message.
    const auto enables =
        test::RecordsOf(simulator_.Port().Trace(), msg::STM_CAM_ENABLE_EXPOSE_PULSE);
    EXPECT_TRUE(enables.empty());
    ASSERT_EQ(control_->CloseDevice(), S_OK);
    Open(L"SIM7100");
    simulator_.Port().StartTrace();
    VARIANT_BOOL enabled = VARIANT_FALSE;
    ASSERT_EQ(control_->get_EnableExposePulse(&enabled), S_OK);
    EXPECT_EQ(enabled, VARIANT_TRUE);
    EXPECT_TRUE(simulator_.Port().Trace().empty());
}

TEST(DigitalLinesTable, ConfigurationAndUnknownModels) {
    EXPECT_EQ(core::OutputConfiguration(0), 0);
    EXPECT_EQ(core::OutputConfiguration(4), 15);
    EXPECT_EQ(core::OutputConfiguration(8), 255);
    EXPECT_EQ(core::OutputConfiguration(40), -1);
    // Models without a row of their own are read through the capability query and refuse
    // a configuration.
    for (uint32_t model : {uint32_t{KV760X}, uint32_t{KV7900}, 1234u}) {
        const core::DigitalLinesModel& row = core::DigitalLinesOf(model);
        EXPECT_EQ(row.configRead, core::LinesRoute::Standard);
        EXPECT_EQ(row.configWrite, core::LinesRoute::Unsupported);
        EXPECT_EQ(row.patternWrite, core::LinesRoute::Nothing);
        EXPECT_EQ(row.outputCaps, 0);
    }
}

} // namespace
