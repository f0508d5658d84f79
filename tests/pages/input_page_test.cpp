// The Input page: what it offers on each board, the order of its writes, the lookup tables
// set up with Identity and Inverse, the level sliders and its error box.
#include "page_support.h"

#include "input_page.h"

namespace test {
namespace {

namespace msg = imaging::msg;
namespace drv = imaging::drv;
using imaging::BasedSourceBlock;
using imaging::InputControlWriteBlock;
using imaging::ParamWriteBlock;

class InputPageTest : public PageTest {
protected:
    static long SliderAt(const ActivePage& page, int id) {
        return static_cast<long>(SendDlgItemMessageW(page.Dialog(), id, TBM_GETPOS, 0, 0));
    }
    // Entries 0 and last of an input lookup table.
    std::pair<LONG, LONG> TableEnds(short lut) {
        com::UniqueVariant buffer;
        V_VT(buffer.Get()) = VT_ARRAY | VT_I4;
        V_ARRAY(buffer.Get()) = SafeArrayCreateVector(VT_I4, 0, 256);
        EXPECT_EQ(corvid_->ReadInputLUT(lut, 0, *buffer.Get()), S_OK);
        com::SafeArrayData<LONG> data(V_ARRAY(buffer.Get()));
        return {data.Data()[0], data.Data()[255]};
    }
};

TEST_F(InputPageTest, WithoutADeviceEverythingIsDisabledAndEmpty) {
    ActivePage page(CLSID_InputPage, control_.Get());
    ASSERT_TRUE(page.Active());
    EXPECT_EQ(page.Title(), L"Input");
    for (int id : {IDC_INPUT_SOURCE, IDC_INPUT_BASED, IDC_INPUT_TYPE, IDC_INPUT_FILTER,
                   IDC_INPUT_LUT, IDC_INPUT_GAIN}) {
        EXPECT_TRUE(page.Entries(id).empty()) << id;
        EXPECT_FALSE(page.Enabled(id)) << id;
    }
    EXPECT_EQ(page.Entries(IDC_INPUT_CLOCK_SOURCE), std::vector<std::wstring>{L""});
    for (int id : {IDC_INPUT_REFERENCE_SLIDER, IDC_INPUT_IDENTITY, IDC_INPUT_CLOCK_SOURCE,
                   IDC_INPUT_CLOCK_TRANSITION, IDC_INPUT_FREQUENCY})
        EXPECT_FALSE(page.Enabled(id)) << id;
}

struct BoardView {
    const wchar_t* board;
    std::vector<std::wstring> types;
    size_t basedEntries; // "Disabled" and one per source
    bool filter, levels, gain;
    std::vector<std::wstring> clockSources;
    const wchar_t* clockSource; // selected
};

TEST_F(InputPageTest, OffersWhatEachBoardHas) {
    const BoardView views[] = {
        {L"SIM7100",
         {L"Composite", L"Variable Scan"},
         5,
         true,
         true,
         false,
         {L"Internal", L"External"},
         L"Internal"},
        {L"SIM7400",
         {L"Composite", L"Variable Scan"},
         5,
         true,
         true,
         true,
         {L"Internal", L"External"},
         L"Internal"},
        {L"SIM7700", {L"Variable Scan"}, 3, false, false, false, {L"External"}, L"External"},
        {L"SIM7300", {L"Composite", L"Variable Scan", L"YC"}, 4, true, false, false, {L""}, L""},
        {L"SIM7500",
         {L"Composite", L"Variable Scan", L"RGB"},
         3,
         false,
         false,
         false,
         {L"Internal"},
         L"Internal"},
        {L"SIM7400LS", {}, 2, false, true, true, {L"Internal", L"External"}, L"Internal"},
        {L"SIM760X", {L"Composite", L"YC"}, 3, false, false, false, {L""}, L""},
    };
    for (const BoardView& view : views) {
        SCOPED_TRACE(testing::Message()
                     << std::string(view.board, view.board + wcslen(view.board)));
        ASSERT_TRUE(OpenBoard(control_.Get(), view.board));
        ActivePage page(CLSID_InputPage, control_.Get());
        ASSERT_TRUE(page.Active());
        EXPECT_EQ(page.Entries(IDC_INPUT_TYPE), view.types);
        const auto based = page.Entries(IDC_INPUT_BASED);
        ASSERT_EQ(based.size(), view.basedEntries);
        EXPECT_EQ(based[0], L"Disabled");
        EXPECT_EQ(page.Selection(IDC_INPUT_BASED), L"Disabled");
        EXPECT_EQ(page.Entries(IDC_INPUT_SOURCE).back(),
                  L"Channel " + std::to_wstring(based.size() - 2));
        EXPECT_EQ(page.Selection(IDC_INPUT_SOURCE), L"Channel 0");
        EXPECT_EQ(page.Enabled(IDC_INPUT_FILTER), view.filter);
        EXPECT_EQ(page.Enabled(IDC_INPUT_REFERENCE_SLIDER), view.levels);
        EXPECT_EQ(page.Enabled(IDC_INPUT_GAIN), view.gain);
        EXPECT_EQ(page.Entries(IDC_INPUT_CLOCK_SOURCE), view.clockSources);
        EXPECT_EQ(page.Selection(IDC_INPUT_CLOCK_SOURCE), view.clockSource);
        EXPECT_EQ(page.Enabled(IDC_INPUT_CLOCK_SOURCE), *view.clockSource != L'\0');
        if (wcscmp(view.board, L"SIM7400") == 0) page.Screenshot(L"page_input");
    }
}

TEST_F(InputPageTest, GainSelectsItsEntry) {
    ASSERT_TRUE(OpenBoard(control_.Get(), L"SIM7400"));
    for (const auto& [gain, entry] :
         {std::pair{50, L"0.5"}, {100, L"1"}, {200, L"2"}, {400, L"4"}}) {
        ASSERT_EQ(corvid_->put_Gain(static_cast<GainEnum>(gain)), S_OK);
        ActivePage page(CLSID_InputPage, control_.Get());
        EXPECT_EQ(page.Selection(IDC_INPUT_GAIN), entry) << gain;
    }
    // The KV7100 has no gain of its own: it shows 1, fixed.
    ASSERT_TRUE(OpenBoard(control_.Get(), L"SIM7100"));
    ActivePage page(CLSID_InputPage, control_.Get());
    EXPECT_EQ(page.Selection(IDC_INPUT_GAIN), L"1");
    EXPECT_FALSE(page.Enabled(IDC_INPUT_GAIN));
}

TEST_F(InputPageTest, ApplyWritesWhatChangedInTheBoardsOrder) {
    ASSERT_TRUE(OpenBoard(control_.Get(), L"SIM7400"));
    ActivePage page(CLSID_InputPage, control_.Get());
    ASSERT_TRUE(page.Active());
    EXPECT_EQ(page.Text(IDC_INPUT_REFERENCE), L"  0.71"); // 714 microvolts
    EXPECT_EQ(page.Text(IDC_INPUT_FREQUENCY), L"12272727");

    page.Choose(IDC_INPUT_BASED, L"Channel 2");
    page.Choose(IDC_INPUT_SOURCE, L"Channel 1");
    page.Choose(IDC_INPUT_FILTER, L"AC Coupled, 60Hz");
    page.Choose(IDC_INPUT_TYPE, L"Variable Scan");
    page.Choose(IDC_INPUT_LUT, L"2");
    page.Choose(IDC_INPUT_GAIN, L"2");
    page.Slide(IDC_INPUT_REFERENCE_SLIDER, 805);
    EXPECT_EQ(page.Text(IDC_INPUT_REFERENCE), L"  0.81"); // shown rounded, written exactly
    page.Slide(IDC_INPUT_OFFSET_SLIDER, -100);
    EXPECT_EQ(page.Text(IDC_INPUT_OFFSET), L" -0.10");
    page.Type(IDC_INPUT_FREQUENCY, L"20000000");
    page.Choose(IDC_INPUT_CLOCK_SOURCE, L"External");
    EXPECT_FALSE(page.Enabled(IDC_INPUT_FREQUENCY));
    EXPECT_TRUE(page.Enabled(IDC_INPUT_CLOCK_TRANSITION));
    page.Choose(IDC_INPUT_CLOCK_TRANSITION, L"On Low To High");
    EXPECT_TRUE(page.Dirty());

    DriverPort port(L"kvboard.drv");
    ASSERT_TRUE(port.ok());
    port.StartTrace();
    EXPECT_EQ(page.Apply(), S_OK);
    port.StopTrace();
    EXPECT_FALSE(page.Dirty());

    // (message, control or selector, value) of every write, in order.
    using Write = std::tuple<uint32_t, uint32_t, int32_t>;
    std::vector<Write> writes;
    for (const KvTraceRecord& r : port.Trace()) {
        if (r.Message == msg::STM_SELECT_BASED_SOURCE) {
            const auto b = BlockOf<BasedSourceBlock>(r);
            writes.emplace_back(r.Message, b.Select, b.Source);
        } else if (r.Message == msg::STM_SET_INPUT_SOURCE) {
            writes.emplace_back(r.Message, 0, static_cast<int32_t>(r.Param1));
        } else if (r.Message == msg::STM_SET_INPUT_CONTROL) {
            const auto b = BlockOf<InputControlWriteBlock>(r);
            writes.emplace_back(r.Message, b.Control, static_cast<int32_t>(b.Value));
        } else if (r.Message == msg::STM_7400_SET_ANALOG_PARAM) {
            const auto b = BlockOf<ParamWriteBlock>(r);
            writes.emplace_back(r.Message, b.Selector, static_cast<int32_t>(b.Value));
        }
    }
    const std::vector<Write> expected = {
        {msg::STM_SELECT_BASED_SOURCE, 1, 2},
        {msg::STM_SET_INPUT_SOURCE, 0, 1},
        {msg::STM_SET_INPUT_CONTROL, STC_FG_CTL_INPUT_FILTER, AC_60Hz_Filter},
        {msg::STM_SET_INPUT_CONTROL, STC_FG_CTL_VIDEO_TYPE, 2},
        {msg::STM_SET_INPUT_CONTROL, STC_FG_CTL_ILUT, 2},
        {msg::STM_7400_SET_ANALOG_PARAM, 1, GAIN_OF_2},
        {msg::STM_7400_SET_ANALOG_PARAM, 3, 805},
        {msg::STM_7400_SET_ANALOG_PARAM, 2, -100},
        {msg::STM_SET_INPUT_CONTROL, STC_FG_CTL_CLOCK_SOURCE, ExternalClock},
        {msg::STM_SET_INPUT_CONTROL, STC_FG_CTL_CLOCK_FREQ, 20000000},
        {msg::STM_SET_INPUT_CONTROL, STC_FG_CTL_CLOCK_FLAGS, OnLowToHigh},
    };
    EXPECT_EQ(writes, expected);
    // The page reads the board again.
    EXPECT_EQ(page.Selection(IDC_INPUT_BASED), L"Channel 2");
    EXPECT_EQ(page.Selection(IDC_INPUT_CLOCK_TRANSITION), L"On Low To High");
    EXPECT_EQ(SliderAt(page, IDC_INPUT_REFERENCE_SLIDER), 805);

    // Back to based mode off: one release, nothing else.
    page.Choose(IDC_INPUT_BASED, L"Disabled");
    port.StartTrace();
    EXPECT_EQ(page.Apply(), S_OK);
    port.StopTrace();
    const auto releases = RecordsOf(port.Trace(), msg::STM_SELECT_BASED_SOURCE);
    ASSERT_EQ(releases.size(), 1u);
    EXPECT_EQ(BlockOf<BasedSourceBlock>(releases[0]).Select, 0u);
    EXPECT_TRUE(RecordsOf(port.Trace(), msg::STM_SET_INPUT_CONTROL).empty());
}

TEST_F(InputPageTest, IdentityAndInverseSetUpTheChosenTable) {
    ASSERT_TRUE(OpenBoard(control_.Get(), L"SIM7100"));
    ActivePage page(CLSID_InputPage, control_.Get());
    ASSERT_TRUE(page.Active());
    page.Choose(IDC_INPUT_LUT, L"1");
    page.Click(IDC_INPUT_INVERSE);
    page.Choose(IDC_INPUT_LUT, L"3");
    page.Click(IDC_INPUT_IDENTITY);
    EXPECT_EQ(page.Apply(), S_OK);
    EXPECT_EQ(TableEnds(1), std::pair(LONG{255}, LONG{0}));
    EXPECT_EQ(TableEnds(3), std::pair(LONG{0}, LONG{255}));
    EXPECT_EQ(LongOf(GetProperty(control_.Get(), L"InputLUT")), 3);
}

TEST_F(InputPageTest, TheKv7500ChoosesASetOfThreeTables) {
    ASSERT_TRUE(OpenBoard(control_.Get(), L"SIM7500"));
    ASSERT_EQ(corvid_->put_InputLUT(1), S_OK);
    ActivePage page(CLSID_InputPage, control_.Get());
    EXPECT_EQ(page.Entries(IDC_INPUT_LUT).size(), 6u);
    EXPECT_EQ(page.Selection(IDC_INPUT_LUT), L"3");
    page.Choose(IDC_INPUT_LUT, L"2");
    EXPECT_EQ(page.Apply(), S_OK);
    EXPECT_EQ(LongOf(GetProperty(control_.Get(), L"InputLUT")), 0);
}

TEST_F(InputPageTest, AFailedWriteShowsTheErrorBoxAndStops) {
    ASSERT_TRUE(OpenBoard(control_.Get(), L"SIM7100"));
    DriverPort port(L"kvboard.drv");
    ASSERT_TRUE(port.ok());
    const std::wstring text = ErrorBoxText(control_.Get(), port, msg::STM_SET_INPUT_CONTROL,
                                           drv::STS_RANGE, L"InputFilter", Long(AC_50Hz_Filter));
    ASSERT_FALSE(text.empty());

    ActivePage page(CLSID_InputPage, control_.Get());
    page.Choose(IDC_INPUT_FILTER, L"DC Coupled, None");
    page.Choose(IDC_INPUT_LUT, L"2");
    port.FailNext(msg::STM_SET_INPUT_CONTROL, drv::STS_RANGE);
    BoxWatcher box(L"CInputPage::Apply");
    page.Apply();
    EXPECT_EQ(box.Texts(), std::vector<std::wstring>{text});
    EXPECT_EQ(LongOf(GetProperty(control_.Get(), L"InputLUT")), 0); // not reached
}

TEST_F(InputPageTest, AFailedReadShowsTheErrorBoxAndLeavesThePageDisabled) {
    ASSERT_TRUE(OpenBoard(control_.Get(), L"SIM7100"));
    DriverPort port(L"kvboard.drv");
    ASSERT_TRUE(port.ok());
    // A failed read says what a failed write with the same status says.
    const std::wstring text = ErrorBoxText(control_.Get(), port, msg::STM_SET_INPUT_CONTROL,
                                           drv::STS_BUSY, L"InputFilter", Long(AC_50Hz_Filter));
    port.FailNext(msg::STM_GET_INPUT_CONTROL, drv::STS_BUSY);
    BoxWatcher box(L"CInputPage::GetFeatureSupport");
    ActivePage page(CLSID_InputPage, control_.Get());
    box.Stop();
    EXPECT_EQ(box.Texts(), std::vector<std::wstring>{text});
    for (int id : {IDC_INPUT_SOURCE, IDC_INPUT_FILTER, IDC_INPUT_REFERENCE_SLIDER})
        EXPECT_FALSE(page.Enabled(id)) << id;
}

// Every board in the platform's property frame, then every list chosen again and applied:
// nothing the board offers fails.
TEST_F(InputPageTest, EveryBoardInThePropertyFrame) {
    for (const SimBoard& board : kSimBoards) {
        SCOPED_TRACE(testing::Message() << board.model);
        ASSERT_TRUE(OpenBoard(control_.Get(), board.name));
        EXPECT_EQ(ShowAndReapply(CLSID_InputPage, control_.Get(), L"CInputPage",
                                 {IDC_INPUT_BASED, IDC_INPUT_SOURCE, IDC_INPUT_FILTER,
                                  IDC_INPUT_TYPE, IDC_INPUT_LUT, IDC_INPUT_GAIN,
                                  IDC_INPUT_CLOCK_SOURCE, IDC_INPUT_CLOCK_TRANSITION}),
                  std::vector<std::wstring>{});
    }
}

} // namespace
} // namespace test
