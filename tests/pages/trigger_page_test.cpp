// The Trigger page: the triggers and modes each board offers, the order of Apply's writes, its
// error box, and a board that offers only one multiple-trigger mode.
#include "page_support.h"

#include "trigger_page.h"

namespace test {
namespace {

namespace msg = imaging::msg;
namespace drv = imaging::drv;

class TriggerPageTest : public PageTest {};

constexpr int kAllControls[] = {IDC_TRIGGER_TYPE, IDC_TRIGGER_TRANSITION, IDC_TRIGGER_MULT_TYPE,
                                IDC_TRIGGER_MULT_TRANSITION, IDC_TRIGGER_MODE};

TEST_F(TriggerPageTest, WithoutADeviceEverythingIsDisabled) {
    ActivePage page(CLSID_TriggerPage, control_.Get());
    ASSERT_TRUE(page.Active());
    EXPECT_EQ(page.Title(), L"Trigger");
    const std::vector<std::wstring> types{L"Software", L"External"};
    EXPECT_EQ(page.Entries(IDC_TRIGGER_TYPE), types);
    EXPECT_EQ(page.Entries(IDC_TRIGGER_MULT_TYPE), types);
    EXPECT_EQ(page.Entries(IDC_TRIGGER_TRANSITION),
              (std::vector<std::wstring>{L"On High To Low", L"On Low To High"}));
    for (int id : kAllControls) {
        EXPECT_FALSE(page.Enabled(id)) << id;
        EXPECT_EQ(page.Selection(id), L"") << id;
    }
}

struct BoardView {
    const wchar_t* board;
    bool single;
    std::vector<std::wstring> modes;
};

TEST_F(TriggerPageTest, OffersWhatEachBoardHas) {
    const BoardView views[] = {
        {L"SIM7100", true, {L"Once", L"Each Frame"}},
        {L"SIM7300", true, {L"Once"}},
        {L"SIM7400LS", true, {L"Once"}},
        {L"SIM760X", false, {}}, // software trigger only: nothing to choose
    };
    for (const BoardView& view : views) {
        SCOPED_TRACE(testing::Message()
                     << std::string(view.board, view.board + wcslen(view.board)));
        ASSERT_TRUE(OpenBoard(control_.Get(), view.board));
        ActivePage page(CLSID_TriggerPage, control_.Get());
        EXPECT_EQ(page.Enabled(IDC_TRIGGER_TYPE), view.single);
        EXPECT_EQ(page.Selection(IDC_TRIGGER_TYPE), view.single ? L"Software" : L"");
        EXPECT_EQ(page.Enabled(IDC_TRIGGER_MULT_TYPE), !view.modes.empty());
        EXPECT_EQ(page.Entries(IDC_TRIGGER_MODE), view.modes);
        // A software trigger has no transition and no mode to choose.
        for (int id : {IDC_TRIGGER_TRANSITION, IDC_TRIGGER_MULT_TRANSITION, IDC_TRIGGER_MODE})
            EXPECT_FALSE(page.Enabled(id)) << id;
    }
}

TEST_F(TriggerPageTest, ApplyWritesTheSingleThenTheMultipleTrigger) {
    ASSERT_TRUE(OpenBoard(control_.Get(), L"SIM7100"));
    ActivePage page(CLSID_TriggerPage, control_.Get());
    page.Choose(IDC_TRIGGER_TYPE, L"External");
    EXPECT_TRUE(page.Enabled(IDC_TRIGGER_TRANSITION));
    page.Choose(IDC_TRIGGER_TRANSITION, L"On Low To High");
    page.Choose(IDC_TRIGGER_MULT_TYPE, L"External");
    EXPECT_TRUE(page.Enabled(IDC_TRIGGER_MODE));
    page.Choose(IDC_TRIGGER_MODE, L"Each Frame");
    page.Choose(IDC_TRIGGER_MULT_TRANSITION, L"On Low To High");
    EXPECT_TRUE(page.Dirty());
    page.Screenshot(L"page_trigger");

    DriverPort port(L"kvboard.drv");
    ASSERT_TRUE(port.ok());
    port.StartTrace();
    EXPECT_EQ(page.Apply(), S_OK);
    port.StopTrace();
    EXPECT_FALSE(page.Dirty());
    // Each write sends the whole trigger: type, transition (and mode).
    std::vector<std::vector<uint32_t>> sent;
    for (const KvTraceRecord& r : port.Trace()) {
        if (r.Message == msg::STM_SET_TRIGGER) {
            const auto b = BlockOf<imaging::TriggerBlock>(r);
            sent.push_back({b.Type, b.Transition});
        } else if (r.Message == msg::STM_SET_MULT_TRIGGER) {
            const auto b = BlockOf<imaging::MultTriggerBlock>(r);
            sent.push_back({b.Type, b.Transition, b.Mode});
        }
    }
    const std::vector<std::vector<uint32_t>> expected{
        {2, 0}, {2, 1}, {2, 0, 1}, {2, 0, 2}, {2, 1, 2}};
    EXPECT_EQ(sent, expected);
    EXPECT_EQ(LongOf(GetProperty(control_.Get(), L"TriggerTransition")), OnLowToHigh);
    EXPECT_EQ(LongOf(GetProperty(control_.Get(), L"MultTriggerMode")), TriggerForEach);

    // Back to a software trigger: its transition is put away.
    page.Choose(IDC_TRIGGER_TYPE, L"Software");
    EXPECT_FALSE(page.Enabled(IDC_TRIGGER_TRANSITION));
    EXPECT_EQ(page.Selection(IDC_TRIGGER_TRANSITION), L"");
    port.StartTrace();
    EXPECT_EQ(page.Apply(), S_OK);
    port.StopTrace();
    EXPECT_EQ(RecordsOf(port.Trace(), msg::STM_SET_TRIGGER).size(), 2u);
    EXPECT_TRUE(RecordsOf(port.Trace(), msg::STM_SET_MULT_TRIGGER).empty()); // unchanged
    EXPECT_EQ(LongOf(GetProperty(control_.Get(), L"TriggerType")), SoftwareTrigger);
}

TEST_F(TriggerPageTest, AFailedWriteShowsTheErrorBoxAndStops) {
    ASSERT_TRUE(OpenBoard(control_.Get(), L"SIM7100"));
    DriverPort port(L"kvboard.drv");
    ASSERT_TRUE(port.ok());
    const std::wstring text = ErrorBoxText(control_.Get(), port, msg::STM_SET_TRIGGER,
                                           drv::STS_BUSY, L"TriggerType", Long(ExternalTrigger));
    ASSERT_FALSE(text.empty());

    ActivePage page(CLSID_TriggerPage, control_.Get());
    page.Choose(IDC_TRIGGER_TYPE, L"External");
    page.Choose(IDC_TRIGGER_MULT_TYPE, L"External");
    port.FailNext(msg::STM_SET_TRIGGER, drv::STS_BUSY);
    port.StartTrace();
    BoxWatcher box(L"CTriggerPage::Apply");
    page.Apply();
    port.StopTrace();
    EXPECT_EQ(box.Texts(), std::vector<std::wstring>{text});
    EXPECT_TRUE(RecordsOf(port.Trace(), msg::STM_SET_MULT_TRIGGER).empty());
}

// A board of the tests' own driver whose multiple trigger runs only for each frame.
TEST_F(TriggerPageTest, ABoardWithOnlyEachFrameOffersOnlyThatMode) {
    ScriptedBoard board("TSTTRIGGER");
    ASSERT_TRUE(board.ok());
    const uint32_t caps = 2;               // every capability: triggers, and "Each Frame"
    const uint32_t single[] = {2, 1};      // external, low to high
    const uint32_t multiple[] = {2, 0, 2}; // external, high to low, each frame
    board.Answer(msg::STM_QUERY_INPUT_CAPS, &caps, sizeof caps);
    board.Answer(msg::STM_GET_TRIGGER, single, sizeof single);
    board.Answer(msg::STM_GET_MULT_TRIGGER, multiple, sizeof multiple);

    {
        ActivePage page(CLSID_TriggerPage, board.Control());
        EXPECT_EQ(page.Entries(IDC_TRIGGER_MODE), std::vector<std::wstring>{L"Each Frame"});
        EXPECT_EQ(page.Selection(IDC_TRIGGER_MODE), L"Each Frame");
        EXPECT_EQ(page.Selection(IDC_TRIGGER_TRANSITION), L"On Low To High");
        EXPECT_EQ(page.Selection(IDC_TRIGGER_MULT_TRANSITION), L"On High To Low");
        for (int id : kAllControls)
            EXPECT_TRUE(page.Enabled(id)) << id;
    }
}

// Every board in the platform's property frame, then every list chosen again and applied:
// nothing the board offers fails.
TEST_F(TriggerPageTest, EveryBoardInThePropertyFrame) {
    for (const SimBoard& board : kSimBoards) {
        SCOPED_TRACE(testing::Message() << board.model);
        ASSERT_TRUE(OpenBoard(control_.Get(), board.name));
        EXPECT_EQ(ShowAndReapply(CLSID_TriggerPage, control_.Get(), L"CTriggerPage",
                                 {IDC_TRIGGER_TYPE, IDC_TRIGGER_TRANSITION, IDC_TRIGGER_MULT_TYPE,
                                  IDC_TRIGGER_MULT_TRANSITION, IDC_TRIGGER_MODE}),
                  std::vector<std::wstring>{});
    }
}

} // namespace
} // namespace test
