// The device and input-control messages through the real driver interface into the simulated
// board driver, checked in its message trace.
#include "devices.h"
#include "driver_port.h"
#include "input_messages.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

using namespace imaging;

namespace {

constexpr wchar_t kBoardDriverFile[] = L"kvboard.drv";

std::vector<std::string> SimulatedBoards() {
    std::vector<std::string> boards;
    ScanImagingDrivers(
        [](const char* board, const char* driver, void* context) {
            if (_stricmp(driver, "kvboard") == 0)
                static_cast<std::vector<std::string>*>(context)->push_back(board);
        },
        &boards);
    return boards;
}

class OpenBoard {
public:
    explicit OpenBoard(const std::string& name) : name_(name) {
        status_ = OpenImagingDevice(name.c_str(), &handle_);
    }
    OpenBoard(const OpenBoard&) = delete;
    OpenBoard& operator=(const OpenBoard&) = delete;
    ~OpenBoard() {
        if (handle_) CloseImagingDevice(handle_);
    }
    STT_APISTATUS status() const { return status_; }
    HDRVR handle() const { return handle_; }
    const std::string& name() const { return name_; }

private:
    std::string name_;
    HDRVR handle_ = nullptr;
    STT_APISTATUS status_;
};

class SimulatedBoardMessages : public ::testing::Test {
protected:
    void SetUp() override {
        const std::vector<std::string> names = SimulatedBoards();
        if (names.empty()) GTEST_SKIP() << "kvboard.drv is not installed in this prefix";
        for (const std::string& name : names) {
            boards.push_back(std::make_unique<OpenBoard>(name));
            ASSERT_EQ(boards.back()->status(), STC_STS_NORMAL) << "cannot open " << name;
        }
        port = std::make_unique<DriverPort>(kBoardDriverFile);
        ASSERT_TRUE(port->ok()) << "kvboard.drv has no test port";
        port->ClearFailures();
        port->StartTrace();
    }
    void TearDown() override {
        if (!port) return;
        port->ClearFailures();
        port->StopTrace();
    }

    HDRVR h() const { return boards.front()->handle(); }

    // The records of one message since the trace started.
    std::vector<KvTraceRecord> Sent(uint32_t message) const {
        std::vector<KvTraceRecord> found;
        for (const KvTraceRecord& r : port->Trace())
            if (r.Message == message) found.push_back(r);
        return found;
    }
    static std::vector<uint8_t> Block(const KvTraceRecord& r) {
        return std::vector<uint8_t>(r.Block, r.Block + r.BlockSize);
    }

    std::vector<std::unique_ptr<OpenBoard>> boards;
    std::unique_ptr<DriverPort> port;
};

} // namespace

TEST_F(SimulatedBoardMessages, InputControlBlocksAsTheDriverReceivesThem) {
    uint32_t answer = 0;
    STM_SET_INPUT_CONTROL(h(), 3, STC_FG_CTL_FRAME_WIDTH, 640, &answer);
    const auto written = Sent(msg::STM_SET_INPUT_CONTROL);
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(Block(written[0]), (std::vector<uint8_t>{0x03, 0x00, 0x00, 0x00, 0x52, 0x01, 0x00,
                                                       0x00, 0x80, 0x02, 0x00, 0x00}));

    uint32_t value = 0;
    STM_GET_INPUT_CONTROL(h(), 65536 + 2, STC_FG_CTL_FRAME_HEIGHT, &value);
    const auto read = Sent(msg::STM_GET_INPUT_CONTROL);
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(Block(read[0]), (std::vector<uint8_t>{0x02, 0, 0, 0, 0x53, 0x01, 0, 0}));
}

TEST_F(SimulatedBoardMessages, InputControlRoundTrip) {
    stSTT_LNG_RNG width{};
    ASSERT_EQ(STM_QUERY_INPUT_CAPS(h(), STC_FG_IC_FRAME_WIDTH_LIMITS, &width, sizeof(width)),
              STC_STS_NORMAL);
    ASSERT_GT(width.Max, 0);
    uint32_t answer = 0, value = 0;
    ASSERT_EQ(STM_SET_INPUT_CONTROL(h(), 0, STC_FG_CTL_FRAME_WIDTH, width.Max, &answer),
              STC_STS_NORMAL);
    EXPECT_EQ(answer, static_cast<uint32_t>(width.Max));
    ASSERT_EQ(STM_GET_INPUT_CONTROL(h(), 0, STC_FG_CTL_FRAME_WIDTH, &value), STC_STS_NORMAL);
    EXPECT_EQ(value, static_cast<uint32_t>(width.Max));
}

TEST_F(SimulatedBoardMessages, SourceAbove65535IsSentModulo65536) {
    uint16_t answer = 0xFFFF, source = 0xFFFF;
    ASSERT_EQ(STM_SET_INPUT_SOURCE(h(), 65536, &answer), STC_STS_NORMAL);
    EXPECT_EQ(Sent(msg::STM_SET_INPUT_SOURCE).at(0).Param1, 0u);
    EXPECT_EQ(answer, 0);
    ASSERT_EQ(STM_GET_INPUT_SOURCE(h(), &source), STC_STS_NORMAL);
    EXPECT_EQ(source, 0);
}

TEST_F(SimulatedBoardMessages, TimeoutWithAndWithoutTheAnswerAddress) {
    EXPECT_EQ(STM_SET_TIMEOUT(h(), 7, nullptr), STC_STS_NORMAL);
    EXPECT_EQ(Sent(msg::STM_SET_TIMEOUT).size(), 1u);
    uint32_t timeout = 0, previous = 0;
    ASSERT_EQ(STM_GET_TIMEOUT(h(), &timeout), STC_STS_NORMAL);
    EXPECT_EQ(timeout, 7u);
    ASSERT_EQ(STM_SET_TIMEOUT(h(), 9, &previous), STC_STS_NORMAL);
    EXPECT_EQ(previous, 7u);
}

TEST_F(SimulatedBoardMessages, TriggerTransitionIsCopiedOnlyForTheExternalLine) {
    bool tested = false;
    for (const auto& board : boards) {
        uint32_t type = 0, transition = 0;
        if (STM_SET_TRIGGER(board->handle(), STC_FG_TRIGGER_NONE, 1, &type, &transition) !=
                STC_STS_NORMAL ||
            STM_SET_TRIGGER(board->handle(), STC_FG_TRIGGER_EXTERNAL_LINE, 0, &type, &transition) !=
                STC_STS_NORMAL)
            continue; // a board without these trigger types
        tested = true;
        EXPECT_EQ(type, 2u);
        EXPECT_EQ(transition, 0u);

        ASSERT_EQ(STM_SET_TRIGGER(board->handle(), STC_FG_TRIGGER_NONE, 1, &type, &transition),
                  STC_STS_NORMAL);
        EXPECT_EQ(type, 1u);
        EXPECT_EQ(transition, 0u); // the answered 1 is not copied for type 1
        type = 0, transition = 77;
        ASSERT_EQ(STM_GET_TRIGGER(board->handle(), &type, &transition), STC_STS_NORMAL);
        EXPECT_EQ(type, 1u);
        EXPECT_EQ(transition, 77u);

        ASSERT_EQ(
            STM_SET_TRIGGER(board->handle(), STC_FG_TRIGGER_EXTERNAL_LINE, 1, &type, &transition),
            STC_STS_NORMAL);
        EXPECT_EQ(Block(Sent(msg::STM_SET_TRIGGER).back()),
                  (std::vector<uint8_t>{2, 0, 0, 0, 1, 0, 0, 0}));
        transition = 77;
        ASSERT_EQ(STM_GET_TRIGGER(board->handle(), &type, &transition), STC_STS_NORMAL);
        EXPECT_EQ(type, 2u);
        EXPECT_EQ(transition, 1u);
        break;
    }
    if (!tested) GTEST_SKIP() << "no simulated board takes trigger types 1 and 2";
}

TEST_F(SimulatedBoardMessages, MultTriggerOfAnEventCopiesTypeAndModeOnly) {
    bool tested = false;
    for (const auto& board : boards) {
        uint32_t type = 0, transition = 55, mode = 0;
        if (STM_SET_MULT_TRIGGER(board->handle(), STC_FG_TRIGGER_EVENT, 1, STC_FG_TRIGMODE_FOR_EACH,
                                 &type, &transition, &mode) != STC_STS_NORMAL)
            continue;
        tested = true;
        EXPECT_EQ(Block(Sent(msg::STM_SET_MULT_TRIGGER).back()),
                  (std::vector<uint8_t>{3, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0}));
        EXPECT_EQ(type, 3u);
        EXPECT_EQ(transition, 55u);
        EXPECT_EQ(mode, 2u);
        type = 0, mode = 0;
        ASSERT_EQ(STM_GET_MULT_TRIGGER(board->handle(), &type, &transition, &mode), STC_STS_NORMAL);
        EXPECT_EQ(type, 3u);
        EXPECT_EQ(transition, 55u);
        EXPECT_EQ(mode, 2u);
        break;
    }
    if (!tested) GTEST_SKIP() << "no simulated board takes event triggers for each frame";
}

TEST_F(SimulatedBoardMessages, LutEntriesTravelDirectlyOnWriteAndInADescriptorOnRead) {
    uint32_t luts = 0;
    ASSERT_EQ(STM_QUERY_INPUT_CAPS(h(), STC_FG_IC_ILUT_COUNT, &luts, sizeof(luts)), STC_STS_NORMAL);
    if (luts == 0) GTEST_SKIP() << "the first board has no input lookup table";
    const std::array<uint32_t, 4> entries{9, 8, 7, 6};
    ASSERT_EQ(STM_WRITE_INPUT_LUT(h(), 0, 4, 4, entries.data()), STC_STS_NORMAL);
    const KvTraceRecord w = Sent(msg::STM_WRITE_INPUT_LUT).at(0);
    EXPECT_EQ(w.Param2, reinterpret_cast<uintptr_t>(entries.data()));
    ASSERT_EQ(w.BlockSize, sizeof(entries));
    EXPECT_EQ(memcmp(w.Block, entries.data(), sizeof(entries)), 0);

    std::array<uint32_t, 4> read{};
    ASSERT_EQ(STM_READ_INPUT_LUT(h(), 0, 4, 4, read.data(), sizeof(read)), STC_STS_NORMAL);
    const KvTraceRecord r = Sent(msg::STM_READ_INPUT_LUT).at(0);
    EXPECT_NE(r.Param2, reinterpret_cast<uintptr_t>(read.data()));
    EXPECT_EQ(Block(r), (std::vector<uint8_t>{0, 0, 0, 0, 4, 0, 0, 0, 4, 0, 0, 0}));
    EXPECT_EQ(read, entries);
}

TEST_F(SimulatedBoardMessages, BasedSourceBlock) {
    STM_SELECT_BASED_SOURCE(h(), 1, 0x10000);
    const KvTraceRecord r = Sent(msg::STM_SELECT_BASED_SOURCE).at(0);
    EXPECT_EQ(Block(r), (std::vector<uint8_t>{1, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(r.Param2, 0u);
}

TEST_F(SimulatedBoardMessages, ScriptedFailuresBecomeStatusesAndLeaveAnswersAlone) {
    uint32_t timeout = 1234;
    port->FailNext(msg::STM_GET_TIMEOUT, 0x84000107);
    EXPECT_EQ(STM_GET_TIMEOUT(h(), &timeout), STC_STS_TIMEOUT);
    EXPECT_EQ(timeout, 1234u);
    EXPECT_FALSE(Sent(msg::STM_GET_LAST_STATUS).empty());

    uint32_t pattern = 5;
    port->FailNext(msg::STM_SET_DIGITAL_OUTPUTS, 0x04000002);
    EXPECT_EQ(STM_SET_DIGITAL_OUTPUTS(h(), 1, &pattern), 0x04000002u);
    EXPECT_EQ(pattern, 5u);

    // A driver that cannot give its status.
    port->FailNext(msg::STM_GET_TIMEOUT, 0x84000107);
    port->FailNext(msg::STM_GET_LAST_STATUS, 0, 0);
    EXPECT_EQ(STM_GET_TIMEOUT(h(), &timeout), STC_STS_GETSTATUSFAIL);
}

TEST_F(SimulatedBoardMessages, DeviceListAgreesWithTheDeviceCapabilities) {
    uint32_t count = 0;
    CountImagingDevices(&count);
    std::vector<ImagingDeviceInfo> list(count);
    list[0].StructSize = 60;
    ASSERT_EQ(GetImagingDeviceList(list.data(), count * 60), STC_STS_NORMAL);
    for (const auto& board : boards) {
        uint32_t id = 0, kind = 0, linear = 0, device = 0;
        ASSERT_EQ(STM_QUERY_DEVICE_CAPS(board->handle(), STC_IMG_DC_DEVICE_ID, &id, 4),
                  STC_STS_NORMAL);
        ASSERT_EQ(STM_QUERY_DEVICE_CAPS(board->handle(), STC_IMG_DC_ST_DEVICE_TYPE, &kind, 4),
                  STC_STS_NORMAL);
        STM_QUERY_DEVICE_CAPS(board->handle(), STC_IMG_DC_LINEAR_MEM_SIZE, &linear, 4);
        STM_QUERY_DEVICE_CAPS(board->handle(), STC_IMG_DC_DEVICE_MEM_SIZE, &device, 4);
        bool listed = false;
        for (const ImagingDeviceInfo& entry : list) {
            if (board->name().compare(0, 19, entry.BoardName) != 0) continue;
            listed = true;
            EXPECT_EQ(entry.DeviceId, id) << board->name();
            EXPECT_EQ(entry.DeviceKind, kind) << board->name();
            EXPECT_EQ(entry.LinearMemSize, linear) << board->name();
            EXPECT_EQ(entry.DeviceMemSize, device) << board->name();
        }
        EXPECT_TRUE(listed) << board->name();
        EXPECT_NE(id, 0u) << board->name();
    }
}
