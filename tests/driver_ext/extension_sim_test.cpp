// Board extension messages as the simulated boards of each family receive them, and the
// status each family reports for a failed message.
#include "camera_messages.h"
#include "color_messages.h"
#include "kv7400_messages.h"
#include "linescan_messages.h"
#include "sim_board.h"

namespace imaging {
namespace {

using ByteList = std::vector<uint8_t>;

class Kv7400Board : public SimBoard {
    const char* Board() const override { return "kvboard!SIM7400"; }
};
class CameraBoard : public SimBoard {
    const char* Board() const override { return "kvboard!SIM7700"; }
};
class ColorBoard : public SimBoard {
    const char* Board() const override { return "kvboard!SIM7300"; }
};
class LineScanBoard : public SimBoard {
    const char* Board() const override { return "kvboard!SIM7400LS"; }
};

// ---- KV7400 library ----------------------------------------------------------------------

TEST_F(Kv7400Board, HorizontalFrequencyBlock) {
    uint32_t answer = 0;
    STM_7400_SET_SYNC_MASTER_PARAM(driver_, 0, SMP_HorizontalFrequency, 15734, &answer);
    EXPECT_EQ(Bytes(Sent(msg::STM_7400_SET_SYNC_MASTER_PARAM)),
              (ByteList{0, 0, 0, 0, 1, 0, 0, 0, 0x76, 0x3D, 0, 0}));
}

TEST_F(Kv7400Board, SourceTravelsModulo65536) {
    uint32_t value = 0;
    STM_7400_GET_ANALOG_PARAM(driver_, 0x10003, AP_Reference, &value);
    EXPECT_EQ(Bytes(Sent(msg::STM_7400_GET_ANALOG_PARAM)), (ByteList{3, 0, 0, 0, 3, 0, 0, 0}));
    STM_7400_ENABLE_SYNC_MASTER(driver_, -1, 0x10002);
    const KvTraceRecord enable = Sent(msg::STM_7400_ENABLE_SYNC_MASTER);
    EXPECT_EQ(static_cast<int64_t>(enable.Param1), -1);
    EXPECT_EQ(enable.Param2, 2u);
}

TEST_F(Kv7400Board, FailuresMapDeviceDependentStatuses) {
    uint32_t value = 7;
    FailNext(msg::STM_7400_GET_SYNC_MASTER_PARAM, drv::STS_DEVICE_DEPENDENT_4);
    EXPECT_EQ(STM_7400_GET_SYNC_MASTER_PARAM(driver_, 0, SMP_Phase, &value), 0x14000004u);
    FailNext(msg::STM_7400_GET_SYNC_MASTER_PARAM, drv::STS_RANGE);
    EXPECT_EQ(STM_7400_GET_SYNC_MASTER_PARAM(driver_, 0, SMP_Phase, &value), STC_STS_RANGE);
    FailNext(msg::STM_7400_ENABLE_SYNC_MASTER, 0x04000005);
    EXPECT_EQ(STM_7400_ENABLE_SYNC_MASTER(driver_, 0, 0), STC_STS_UNKNOWNSTATUS);
    EXPECT_EQ(value, 7u);
}

// ---- Digital-camera family ---------------------------------------------------------------

TEST_F(CameraBoard, FailureStatusesAreMappedForTheFamily) {
    uint32_t type = 4;
    FailNext(msg::STM_CAM_GET_TYPE, drv::STS_DEVICE_DEPENDENT_1);
    EXPECT_EQ(STM_CAM_GET_TYPE(driver_, 0, &type), 0x14000001u);
    FailNext(msg::STM_CAM_GET_TYPE, drv::STS_NULL);
    EXPECT_EQ(STM_CAM_GET_TYPE(driver_, 0, &type), STC_STS_NULL);
    FailNext(msg::STM_CAM_GET_TYPE, 0x04000009);
    EXPECT_EQ(STM_CAM_GET_TYPE(driver_, 0, &type), STC_STS_UNKNOWNSTATUS);
    FailNext(msg::STM_CAM_RESET, 0); // no last status is no success in this family
    EXPECT_EQ(STM_CAM_RESET(driver_), STC_STS_UNKNOWNSTATUS);
    EXPECT_EQ(type, 4u);
}

TEST_F(CameraBoard, ExposePulseMessages) {
    STM_CAM_ENABLE_EXPOSE_PULSE(driver_, true, 0x10001);
    const KvTraceRecord enable = Sent(msg::STM_CAM_ENABLE_EXPOSE_PULSE);
    EXPECT_EQ(static_cast<int64_t>(enable.Param1), -1) << "a boolean widened with sign";
    EXPECT_EQ(enable.Param2, 1u);
    uint32_t answer = 0;
    STM_CAM_SET_EXPOSE_PULSE(driver_, 2500, 2, 1, &answer);
    const KvTraceRecord set = Sent(msg::STM_CAM_SET_EXPOSE_PULSE);
    EXPECT_EQ(set.Param1, 2500u);
    EXPECT_EQ(Bytes(set), (ByteList{2, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0}));
}

TEST_F(CameraBoard, SyncMasterParameterBlocks) {
    uint32_t value = 0;
    STM_CAM_SET_SYNC_MASTER_PARAM(driver_, 1, SMP_VerticalFrequency, 60, &value);
    EXPECT_EQ(Bytes(Sent(msg::STM_CAM_SET_SYNC_MASTER_PARAM)),
              (ByteList{1, 0, 0, 0, 2, 0, 0, 0, 60, 0, 0, 0}));
    STM_CAM_GET_SYNC_MASTER_PARAM(driver_, 1, SMP_Phase, &value);
    EXPECT_EQ(Bytes(Sent(msg::STM_CAM_GET_SYNC_MASTER_PARAM)), (ByteList{1, 0, 0, 0, 5, 0, 0, 0}));
}

// ---- Color family ------------------------------------------------------------------------

TEST_F(ColorBoard, FailuresBecomeUnknownStatusUnlessNegative) {
    STT_SCALE_PARAM scale{11, 22};
    FailNext(msg::STM_CLR_SCALING, drv::STS_DEVICE_DEPENDENT_1);
    EXPECT_EQ(STM_CLR_SCALING(driver_, 0, STC_READ_CONTROL, &scale), STC_STS_UNKNOWNSTATUS);
    FailNext(msg::STM_CLR_SCALING, drv::STS_NULL);
    EXPECT_EQ(STM_CLR_SCALING(driver_, 0, STC_READ_CONTROL, &scale), STC_STS_NULL);
    EXPECT_EQ(scale.hscale, 11);
    EXPECT_EQ(scale.vscale, 22);
    FailNext(msg::STM_CLR_QUERY_INTERFACE, 0);
    EXPECT_EQ(STM_CLR_QUERY_INTERFACE(driver_, 9), STC_STS_UNKNOWNSTATUS);
}

TEST_F(ColorBoard, QueryWordCarriesSourceAndOperation) {
    uint32_t mode = 0;
    STM_CLR_STORAGE_MODE(driver_, 2, STC_READ_CONTROL, &mode);
    EXPECT_EQ(Sent(msg::STM_CLR_STORAGE_MODE).Param1, 0x0702u);
    uint32_t signal = 1;
    STM_CLR_SIGNAL_TYPE(driver_, 0x103, STC_WRITE_CONTROL, &signal);
    EXPECT_EQ(Sent(msg::STM_CLR_SIGNAL_TYPE).Param1, 0x0803u);
    STM_CLR_QUERY_INTERFACE(driver_, 4);
    EXPECT_EQ(BlockAs<uint32_t>(Sent(msg::STM_CLR_QUERY_INTERFACE)), 4u);
}

// The trace keeps the parameter code and the value an operation block refers to, as sent.
struct OperationTrace {
    ColorOperationBlock block;
    uint32_t parameter;
    uint32_t value;
};

TEST_F(ColorBoard, OperationBlocks) {
    uint32_t value = 40;
    STM_CLR_IMAGE_PARAMETER(driver_, STC_WRITE_CONTROL, 1, 2, &value);
    const OperationTrace image = BlockAs<OperationTrace>(Sent(msg::STM_CLR_IMAGE_PARAMETER));
    EXPECT_EQ(image.block.Operation, STC_WRITE_CONTROL);
    EXPECT_EQ(image.block.Source, 1u);
    EXPECT_NE(image.block.Parameter, nullptr);
    EXPECT_EQ(image.parameter, 2u);
    EXPECT_EQ(image.value, 40u);
    value = 0;
    STM_CLR_SYNC_MASTER(driver_, STC_READ_CONTROL, 3, &value);
    const OperationTrace sync = BlockAs<OperationTrace>(Sent(msg::STM_CLR_SYNC_MASTER));
    EXPECT_EQ(sync.block.Operation, STC_READ_CONTROL);
    EXPECT_EQ(sync.block.Source, 3u);
    EXPECT_EQ(sync.parameter, STC_SYNC_MASTER_ENABLE);
    EXPECT_EQ(sync.value, 0u);
}

TEST_F(ColorBoard, ExtractPlanesWritesTheMaskIntoTheFirstRecord) {
    uint8_t red[12] = {}, blue[12] = {};
    const PlaneBuffer redPlane{red, 4, 3, 1}, bluePlane{blue, 4, 3, 1};
    STT_BUFFER_INFO records[3];
    const uint32_t mask = PackPlaneRecords(&redPlane, nullptr, &bluePlane, records);
    records[0].Flags = 0;
    STM_CLR_EXTRACT_PLANES(driver_, 0x55, records, mask);
    const KvTraceRecord r = Sent(msg::STM_CLR_EXTRACT_PLANES);
    EXPECT_EQ(r.Param1, 0x55u);
    EXPECT_EQ(r.Param2, reinterpret_cast<uintptr_t>(records));
    EXPECT_EQ(records[0].Flags, 5u);
    EXPECT_EQ(records[0].BufferAddr, red);
    EXPECT_EQ(records[1].BufferAddr, blue);
}

TEST_F(ColorBoard, AddressesAreRequired) {
    EXPECT_EQ(STM_CLR_STORAGE_MODE(driver_, 0, 4, nullptr), STC_STS_NULL);
    EXPECT_EQ(STM_CLR_IMAGE_PARAMETER(driver_, 7, 0, 1, nullptr), STC_STS_NULL);
    EXPECT_EQ(STM_CLR_SCALING(driver_, 0, 7, nullptr), STC_STS_NULL);
    EXPECT_EQ(STM_CLR_DIGITAL_IO(driver_, 5, nullptr), STC_STS_NULL);
    EXPECT_EQ(STM_CLR_SIGNAL_TYPE(driver_, 0, 7, nullptr), STC_STS_NULL);
    EXPECT_EQ(STM_CLR_SYNC_MASTER(driver_, 7, 0, nullptr), STC_STS_NULL);
    EXPECT_EQ(STM_CLR_EXTRACT_PLANES(driver_, 1, nullptr, 7), STC_STS_NULL);
    EXPECT_EQ(STM_CLR_DRAW_PLANE(driver_, nullptr, nullptr), STC_STS_NULL);
    EXPECT_TRUE(Trace().empty());
}

// ---- Line-scan family --------------------------------------------------------------------

TEST_F(LineScanBoard, FailuresReportTheLastStatusUnchanged) {
    FailNext(msg::STM_LS_SET_MODE, drv::STS_DEVICE_DEPENDENT_1);
    EXPECT_EQ(STM_LS_SET_MODE(driver_, true), drv::STS_DEVICE_DEPENDENT_1);
    FailNext(msg::STM_LS_GET_DIGIO, drv::STS_MODECONFLICT);
    uint32_t pattern = 3;
    EXPECT_EQ(STM_LS_GET_DIGIO(driver_, &pattern), STC_STS_MODECONFLICT);
    EXPECT_EQ(pattern, 3u);
    FailNext(msg::STM_LS_STOP_PASSTHRU, 0);
    EXPECT_EQ(STM_LS_STOP_PASSTHRU(driver_), STC_STS_NORMAL);
}

TEST_F(LineScanBoard, Blocks) {
    uint8_t lines[64] = {};
    STM_LS_ACQUIRE_LINES(driver_, lines, sizeof(lines), STC_LS_ACQUIRE_SYNC);
    const KvTraceRecord acquire = Sent(msg::STM_LS_ACQUIRE_LINES);
    EXPECT_EQ(acquire.Param1, reinterpret_cast<uintptr_t>(lines));
    EXPECT_EQ(Bytes(acquire), (ByteList{64, 0, 0, 0, 2, 0, 0, 0}));

    STM_LS_DRAW_ACQUIRED_LINES(driver_, nullptr, 16, 4, 3, 5, lines);
    const LineDrawBlock draw = BlockAs<LineDrawBlock>(Sent(msg::STM_LS_DRAW_ACQUIRED_LINES));
    EXPECT_EQ(draw.ByteCount, 64u);
    EXPECT_EQ(draw.One, 1u);
    EXPECT_EQ(draw.Width, 16u);
    EXPECT_EQ(draw.Height, 4u);
    EXPECT_EQ(draw.OriginX, 3);
    EXPECT_EQ(draw.OriginY, 5);
    EXPECT_EQ(draw.Pixels, lines);

    STM_LS_SET_MODE(driver_, true);
    EXPECT_EQ(static_cast<int64_t>(Sent(msg::STM_LS_SET_MODE).Param1), -1);
    STM_LS_SET_INTEGRATION_COUNT(driver_, true, 12);
    const KvTraceRecord count = Sent(msg::STM_LS_SET_INTEGRATION_COUNT);
    EXPECT_EQ(count.Param1, 1u);
    EXPECT_EQ(count.Param2, 12u);
}

TEST_F(LineScanBoard, PassthruBlockInMemoryOrder) {
    static uint8_t first[32], second[32];
    void* const buffers[] = {first, second};
    int32_t states[2] = {};
    HANDLE event = nullptr;
    STM_LS_START_PASSTHRU(driver_, nullptr, buffers, 2, 32, &event, states, true);
    const LinePassthruBlock block = BlockAs<LinePassthruBlock>(Sent(msg::STM_LS_START_PASSTHRU));
    EXPECT_EQ(block.Window, nullptr);
    EXPECT_EQ(block.Buffers, buffers);
    EXPECT_EQ(block.BufferCount, 2u);
    EXPECT_EQ(block.BytesPerBuffer, 32u);
    EXPECT_EQ(block.BufferListSize, 8u);
    EXPECT_EQ(block.PassthruEvent, &event);
    EXPECT_EQ(block.BufferStates, states);
    EXPECT_EQ(block.StateListSize, 8u);
    EXPECT_EQ(block.StopOnOverflow, 1u);
    // The driver fills the flags until passthru stops; they live on this stack frame.
    EXPECT_EQ(STM_LS_STOP_PASSTHRU(driver_), 0u);
}

TEST_F(LineScanBoard, StatusBlockAnswersOnlyOnSuccess) {
    FailNext(msg::STM_LS_IS_ACQUIRE_DONE, drv::STS_BUSY);
    int32_t done = 5, lines = 5, granularity = 5;
    EXPECT_EQ(STM_LS_IS_ACQUIRE_DONE(driver_, &done, &lines, &granularity), STC_STS_BUSY);
    EXPECT_EQ(done + lines + granularity, 15);
    const LineStatusBlock block = BlockAs<LineStatusBlock>(Sent(msg::STM_LS_IS_ACQUIRE_DONE));
    EXPECT_NE(block.Done, &done) << "the driver writes into the layer's own variables";
    EXPECT_NE(block.Done, nullptr);
}

} // namespace
} // namespace imaging
