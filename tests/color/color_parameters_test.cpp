// The color image parameters of the installed control on the simulated color boards (KV7300
// with every interface, KV7500 without the scaler) and on boards without the color family,
// checked in the messages and blocks the driver received and in what a client reads back.
#include "color_fixture.h"

namespace color_test {
namespace {

using imaging::msg::STM_CLR_IMAGE_PARAMETER;
using imaging::msg::STM_CLR_QUERY_INTERFACE;
using imaging::msg::STM_CLR_SCALING;
using imaging::msg::STM_CLR_STORAGE_MODE;
using test::BlockOf;
using test::RecordsOf;

struct ColorPropertyCase {
    const wchar_t* name;
    uint32_t parameter;
    LONG nominal; // the simulated board's setting after a reset
};

constexpr ColorPropertyCase kColorProperties[] = {
    {L"Brightness", 1, 0},
    {L"Contrast", 2, 100},
    {L"VSaturation", 3, 100},
    {L"USaturation", 4, 100},
    {L"Hue", 5, 0},
    {L"RedOffset", 12, 0},
    {L"GreenOffset", 13, 0},
    {L"BlueOffset", 14, 0},
    {L"RedReference", 9, 255},
    {L"GreenReference", 10, 255},
    {L"BlueReference", 11, 255},
};

std::string Narrow(const wchar_t* text) {
    return std::string(text, text + wcslen(text));
}

using ColorParameters = ColorTest;

TEST_F(ColorParameters, InterfaceQueryAnswersWhatTheBoardOffers) {
    Open(L"SIM7300");
    std::vector<KvTraceRecord> trace = Traced([&] {
        for (LONG code = 1; code <= 9; ++code) {
            VARIANT_BOOL supported = VARIANT_FALSE;
            ASSERT_EQ(control_->ColorQueryInterface(static_cast<STT_QUERY_COLOR_INTERFACE>(code),
                                                    &supported),
                      S_OK);
            EXPECT_EQ(supported, VARIANT_TRUE) << code;
        }
    });
    const auto queries = RecordsOf(trace, STM_CLR_QUERY_INTERFACE);
    ASSERT_EQ(queries.size(), 9u);
    for (uint32_t i = 0; i < 9; ++i)
        EXPECT_EQ(BlockOf<uint32_t>(queries[i]), i + 1);

    // A refused query is an answer, not an error; the status stays for StatusMessage.
    Open(L"SIM7500");
    test::CallResult scaler =
        test::Invoke(dispatch_.Get(), L"ColorQueryInterface",
                     {test::Long(STC_QUERY_COLOR_INTERFACE_HARDWARE_SCALING)});
    ASSERT_EQ(scaler.hr, S_OK);
    EXPECT_EQ(V_VT(&scaler.value), VT_BOOL);
    EXPECT_EQ(V_BOOL(&scaler.value), VARIANT_FALSE);
    EXPECT_EQ(StatusMessage().rfind(L"STC_STS_UNSUPKEY:", 0), 0u);
    VARIANT_BOOL supported = VARIANT_FALSE;
    ASSERT_EQ(control_->ColorQueryInterface(STC_QUERY_COLOR_INTERFACE_SYNC_MASTER_MODE, &supported),
              S_OK);
    EXPECT_EQ(supported, VARIANT_TRUE);
    EXPECT_EQ(control_->ColorQueryInterface(STC_QUERY_COLOR_INTERFACE_STORAGE_MODE, nullptr),
              E_POINTER);
}

// Boards of other families never receive a color message: their models lack the feature.
TEST_F(ColorParameters, BoardsWithoutTheColorFamilyAreNotAsked) {
    for (const wchar_t* board : {L"SIM7100", L"SIM7400", L"SIM7700", L"SIM7400LS"}) {
        Open(board);
        LONG contrast = 77, redOffset = 77, value = 5, h = 7, v = 7;
        VARIANT_BOOL supported = VARIANT_TRUE, storage = VARIANT_TRUE;
        std::vector<KvTraceRecord> trace = Traced([&] {
            EXPECT_EQ(control_->ColorQueryInterface(STC_QUERY_COLOR_INTERFACE_IMAGE_PARAMETER,
                                                    &supported),
                      S_OK);
            EXPECT_EQ(control_->ColorQueryStorageMode(STC_IMAGE_MONO, &storage), S_OK);
            EXPECT_EQ(control_->get_Contrast(&contrast), kModelLacksFeature);
            EXPECT_EQ(control_->get_RedOffset(&redOffset), kModelLacksFeature);
            EXPECT_EQ(control_->put_Brightness(10), kModelLacksFeature);
            EXPECT_EQ(control_->ColorImageParameters(STC_READ_CONTROL, STC_SET_HUE, &value),
                      kModelLacksFeature);
            EXPECT_EQ(control_->ColorQueryHardwareScaling(STC_QUERY_CONTROL_MAX, &h, &v),
                      kModelLacksFeature);
        });
        EXPECT_EQ(supported, VARIANT_FALSE);
        EXPECT_EQ(storage, VARIANT_FALSE);
        EXPECT_EQ(contrast, 77); // untouched
        EXPECT_EQ(redOffset, 0); // the one property that clears its value
        EXPECT_EQ(value, 5);
        EXPECT_EQ(h, 7);
        EXPECT_EQ(v, 7);
        for (const KvTraceRecord& record : trace)
            EXPECT_TRUE(record.Message < 0xE000 || record.Message > 0xE0FF)
                << std::hex << record.Message;
        EXPECT_EQ(StatusMessage().rfind(L"STC_STS_CONTROL:", 0), 0u);
    }
}

TEST_F(ColorParameters, BrightnessWriteSendsTheImageParameterForTheEffectiveSource) {
    Open(L"SIM7300");
    ASSERT_EQ(control_->put_VideoInputSource(Chan1), S_OK);
    test::Notifications notifications(dispatch_.Get());
    std::vector<KvTraceRecord> trace = Traced([&] {
        ASSERT_EQ(test::PutProperty(dispatch_.Get(), L"Brightness", test::Long(50)).hr, S_OK);
    });
    ASSERT_EQ(trace.size(), 2u);
    EXPECT_EQ(trace[0].Message, STM_CLR_QUERY_INTERFACE);
    EXPECT_EQ(BlockOf<uint32_t>(trace[0]), 3u);
    ASSERT_EQ(trace[1].Message, STM_CLR_IMAGE_PARAMETER);
    const auto sent = BlockOf<OperationTrace>(trace[1]);
    EXPECT_EQ(sent.block.Operation, 8u);
    EXPECT_EQ(sent.block.Source, 1u);
    EXPECT_EQ(sent.parameter, 1u);
    EXPECT_EQ(sent.value, 50u);
    EXPECT_TRUE(notifications.Changed().empty());

    // Based-source mode moves every request to the based source.
    ASSERT_EQ(control_->put_BasedSource(Chan2), S_OK);
    ASSERT_EQ(control_->put_BasedSourceModeEnable(VARIANT_TRUE), S_OK);
    LONG brightness = 0;
    trace = Traced([&] { ASSERT_EQ(control_->get_Brightness(&brightness), S_OK); });
    const auto reads = RecordsOf(trace, STM_CLR_IMAGE_PARAMETER);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(BlockOf<OperationTrace>(reads[0]).block.Operation, 7u);
    EXPECT_EQ(BlockOf<OperationTrace>(reads[0]).block.Source, 2u);
    EXPECT_EQ(brightness, 50); // the simulated board keeps one setting for all inputs
    ASSERT_EQ(control_->put_BasedSourceModeEnable(VARIANT_FALSE), S_OK);
    ASSERT_EQ(control_->put_Brightness(0), S_OK);
}

// Each property reads and writes its own parameter; a value written reads back.
TEST_F(ColorParameters, EveryPropertyAddressesItsParameter) {
    for (const wchar_t* board : {L"SIM7300", L"SIM7500"}) {
        Open(board);
        for (const ColorPropertyCase& property : kColorProperties) {
            SCOPED_TRACE(Narrow(property.name));
            const LONG changed = property.nominal + 4;
            LONG read = 0;
            std::vector<KvTraceRecord> trace = Traced([&] {
                ASSERT_EQ(test::PutProperty(dispatch_.Get(), property.name, test::Long(changed)).hr,
                          S_OK);
                test::CallResult get = test::GetProperty(dispatch_.Get(), property.name);
                ASSERT_EQ(get.hr, S_OK);
                read = test::LongOf(get);
                ASSERT_EQ(
                    test::PutProperty(dispatch_.Get(), property.name, test::Long(property.nominal))
                        .hr,
                    S_OK);
            });
            EXPECT_EQ(read, changed);
            const auto messages = RecordsOf(trace, STM_CLR_IMAGE_PARAMETER);
            ASSERT_EQ(messages.size(), 3u);
            const uint32_t operations[] = {8, 7, 8};
            for (size_t i = 0; i < 3; ++i) {
                const auto sent = BlockOf<OperationTrace>(messages[i]);
                EXPECT_EQ(sent.block.Operation, operations[i]);
                EXPECT_EQ(sent.parameter, property.parameter);
            }
            EXPECT_EQ(BlockOf<OperationTrace>(messages[0]).value, static_cast<uint32_t>(changed));
        }
    }
}

TEST_F(ColorParameters, DeviceRefusalsAreReported) {
    Open(L"SIM7300");
    LONG contrast = 77;
    ASSERT_EQ(control_->get_Contrast(&contrast), S_OK);
    // Out of the board's range: the driver's standard status comes back unchanged.
    test::CallResult put = test::PutProperty(dispatch_.Get(), L"Contrast", test::Long(1000));
    EXPECT_EQ(put.hr, DISP_E_EXCEPTION);
    const std::wstring description = test::Wide(put.exception.bstrDescription);
    EXPECT_EQ(description.rfind(L"STC_STS_RANGE:", 0), 0u) << Narrow(description.c_str());
    EXPECT_EQ(StatusMessage(), description);
    LONG after = 0;
    ASSERT_EQ(control_->get_Contrast(&after), S_OK);
    EXPECT_EQ(after, contrast);

    // A failed interface query with a device-dependent status reports the unknown status.
    Port().FailNext(STM_CLR_QUERY_INTERFACE, 0x04000001);
    LONG redOffset = 77, hue = 77;
    EXPECT_EQ(control_->get_RedOffset(&redOffset), kUnknownStatus);
    EXPECT_EQ(redOffset, 0);
    Port().FailNext(STM_CLR_QUERY_INTERFACE, 0x04000001);
    EXPECT_EQ(control_->get_Hue(&hue), kUnknownStatus);
    EXPECT_EQ(hue, 77);
    Port().FailNext(STM_CLR_QUERY_INTERFACE, 0x04000001);
    std::vector<KvTraceRecord> trace =
        Traced([&] { EXPECT_EQ(control_->put_Hue(10), kUnknownStatus); });
    EXPECT_TRUE(RecordsOf(trace, STM_CLR_IMAGE_PARAMETER).empty());
    EXPECT_EQ(control_->get_Brightness(nullptr), E_POINTER);
}

// The method reaches every parameter, the levels without a property included, with every
// operation the board answers; the value is in and out.
TEST_F(ColorParameters, ImageParametersMethodReadsLimitsAndLevels) {
    Open(L"SIM7300");
    const struct {
        STT_CONTROL_TYPE control;
        LONG expected;
    } hueQueries[] = {{STC_QUERY_CONTROL_MIN, -90},
                      {STC_QUERY_CONTROL_MAX, 90},
                      {STC_QUERY_CONTROL_GRANULARITY, 2},
                      {STC_QUERY_CONTROL_NOMINAL, 0}};
    for (const auto& query : hueQueries) {
        LONG value = 12345;
        ASSERT_EQ(control_->ColorImageParameters(query.control, STC_SET_HUE, &value), S_OK);
        EXPECT_EQ(value, query.expected);
    }

    // The way a script passes its variable: by reference, written back.
    VARIANT level;
    V_VT(&level) = VT_I4;
    V_I4(&level) = 150;
    std::vector<KvTraceRecord> trace = Traced([&] {
        test::CallResult write = test::Invoke(
            dispatch_.Get(), L"ColorImageParameters",
            {test::Long(STC_WRITE_CONTROL), test::Long(STC_SET_GREEN_LEVEL), test::RefTo(&level)});
        ASSERT_EQ(write.hr, S_OK);
    });
    const auto writes = RecordsOf(trace, STM_CLR_IMAGE_PARAMETER);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(BlockOf<OperationTrace>(writes[0]).parameter, 7u);
    EXPECT_EQ(BlockOf<OperationTrace>(writes[0]).value, 150u);
    EXPECT_TRUE(RecordsOf(trace, STM_CLR_QUERY_INTERFACE).empty());
    V_I4(&level) = 0;
    test::CallResult read = test::Invoke(
        dispatch_.Get(), L"ColorImageParameters",
        {test::Long(STC_READ_CONTROL), test::Long(STC_SET_GREEN_LEVEL), test::RefTo(&level)});
    ASSERT_EQ(read.hr, S_OK);
    EXPECT_EQ(V_I4(&level), 150);
    LONG restore = 100;
    ASSERT_EQ(control_->ColorImageParameters(STC_WRITE_CONTROL, STC_SET_GREEN_LEVEL, &restore),
              S_OK);

    // An unknown parameter is the board's to refuse; the caller's value stays.
    LONG unknown = 9;
    EXPECT_NE(control_->ColorImageParameters(STC_READ_CONTROL, STC_COLOR_UNSUPPORTED, &unknown),
              S_OK);
    EXPECT_EQ(unknown, 9);
    EXPECT_EQ(control_->ColorImageParameters(STC_READ_CONTROL, STC_SET_HUE, nullptr), E_POINTER);
}

TEST_F(ColorParameters, HardwareScalingLimitsComeFromTheQueryWord) {
    Open(L"SIM7300");
    ASSERT_EQ(control_->put_VideoInputSource(Chan2), S_OK);
    const struct {
        STT_CONTROL_TYPE control;
        LONG h, v;
    } limits[] = {{STC_QUERY_CONTROL_MIN, 10, 10},
                  {STC_QUERY_CONTROL_MAX, 100, 100},
                  {STC_QUERY_CONTROL_GRANULARITY, 1, 1},
                  {STC_QUERY_CONTROL_NOMINAL, 100, 100}};
    for (const auto& limit : limits) {
        LONG h = -1, v = -1;
        std::vector<KvTraceRecord> trace = Traced(
            [&] { ASSERT_EQ(control_->ColorQueryHardwareScaling(limit.control, &h, &v), S_OK); });
        ASSERT_EQ(trace.size(), 1u);
        EXPECT_EQ(trace[0].Message, STM_CLR_SCALING);
        EXPECT_EQ(trace[0].Param1, (static_cast<uint64_t>(limit.control) << 8) | 2);
        EXPECT_EQ(h, limit.h);
        EXPECT_EQ(v, limit.v);
    }

    // Only the limits and the nominal setting: anything else is refused before the driver.
    LONG h = -1, v = -1;
    std::vector<KvTraceRecord> trace = Traced([&] {
        EXPECT_EQ(control_->ColorQueryHardwareScaling(STC_QUERY_CAPABILITY, &h, &v), E_INVALIDARG);
        EXPECT_EQ(control_->ColorQueryHardwareScaling(STC_READ_CONTROL, &h, &v), E_INVALIDARG);
        EXPECT_EQ(control_->ColorQueryHardwareScaling(static_cast<STT_CONTROL_TYPE>(-1), &h, &v),
                  E_INVALIDARG);
        EXPECT_EQ(control_->ColorQueryHardwareScaling(STC_QUERY_CONTROL_MIN, nullptr, &v),
                  E_POINTER);
        EXPECT_EQ(control_->ColorQueryHardwareScaling(STC_QUERY_CONTROL_MIN, &h, nullptr),
                  E_POINTER);
    });
    EXPECT_TRUE(trace.empty());
    EXPECT_EQ(h, -1);

    // A script receives both values through its variables.
    VARIANT hv, vv;
    VariantInit(&hv);
    VariantInit(&vv);
    test::CallResult call =
        test::Invoke(dispatch_.Get(), L"ColorQueryHardwareScaling",
                     {test::Long(STC_QUERY_CONTROL_MIN), test::RefTo(&hv), test::RefTo(&vv)});
    ASSERT_EQ(call.hr, S_OK);
    VARIANT h4, v4;
    VariantInit(&h4);
    VariantInit(&v4);
    ASSERT_EQ(VariantChangeType(&h4, &hv, 0, VT_I4), S_OK);
    ASSERT_EQ(VariantChangeType(&v4, &vv, 0, VT_I4), S_OK);
    EXPECT_EQ(V_I4(&h4), 10);
    EXPECT_EQ(V_I4(&v4), 10);
    VariantClear(&hv);
    VariantClear(&vv);

    // The KV7500 has no scaler: the board's refusal is reported, the values stay.
    Open(L"SIM7500");
    h = v = -1;
    EXPECT_EQ(control_->ColorQueryHardwareScaling(STC_QUERY_CONTROL_MAX, &h, &v), kUnsupportedKey);
    EXPECT_EQ(h, -1);
}

TEST_F(ColorParameters, StorageModesShareABitWithTheCapabilityMask) {
    const struct {
        const wchar_t* board;
        STT_IMAGE_MODE mode;
        VARIANT_BOOL supported;
    } cases[] = {
        {L"SIM7300", STC_IMAGE_MONO, VARIANT_TRUE},      // mask 0x07
        {L"SIM7300", STC_IMAGE_RGB_24, VARIANT_TRUE},    // 6 & 7
        {L"SIM7300", STC_IMAGE_YUYV_422, VARIANT_FALSE}, // 8 & 7
        {L"SIM7500", STC_IMAGE_MONO, VARIANT_FALSE},     // mask 0x06
        {L"SIM7500", STC_IMAGE_YUV, VARIANT_TRUE},
        {L"SIM7500", STC_IMAGE_UNSUPPORTED, VARIANT_FALSE},
    };
    for (const auto& c : cases) {
        Open(c.board);
        ASSERT_EQ(control_->put_VideoInputSource(Chan1), S_OK);
        VARIANT_BOOL supported = c.supported ? VARIANT_FALSE : VARIANT_TRUE;
        std::vector<KvTraceRecord> trace =
            Traced([&] { ASSERT_EQ(control_->ColorQueryStorageMode(c.mode, &supported), S_OK); });
        EXPECT_EQ(supported, c.supported) << c.mode;
        ASSERT_EQ(trace.size(), 2u);
        EXPECT_EQ(trace[0].Message, STM_CLR_QUERY_INTERFACE);
        EXPECT_EQ(BlockOf<uint32_t>(trace[0]), 2u);
        EXPECT_EQ(trace[1].Message, STM_CLR_STORAGE_MODE);
        EXPECT_EQ(trace[1].Param1, 0x0401u);
    }

    // Without the storage-mode interface no mode is supported, without an error.
    Open(L"SIM7300");
    Port().FailNext(STM_CLR_QUERY_INTERFACE, 0x04000001);
    VARIANT_BOOL supported = VARIANT_TRUE;
    std::vector<KvTraceRecord> trace = Traced(
        [&] { ASSERT_EQ(control_->ColorQueryStorageMode(STC_IMAGE_RGB, &supported), S_OK); });
    EXPECT_EQ(supported, VARIANT_FALSE);
    EXPECT_TRUE(RecordsOf(trace, STM_CLR_STORAGE_MODE).empty());

    // A failing capability message is reported.
    Port().FailNext(STM_CLR_STORAGE_MODE, imaging::drv::STS_BUSY);
    EXPECT_EQ(control_->ColorQueryStorageMode(STC_IMAGE_RGB, &supported),
              static_cast<HRESULT>(0x80044007)); // STC_STS_BUSY
    EXPECT_EQ(supported, VARIANT_FALSE);
    EXPECT_EQ(control_->ColorQueryStorageMode(STC_IMAGE_RGB, nullptr), E_POINTER);
}

} // namespace
} // namespace color_test
