// The Sync page: the sources and the sync master each board shows, a phase in hundredths, the
// writes of only the changed groups in the board's order, and its error box.
#include "page_support.h"

#include "sync_page.h"

namespace test {
namespace {

namespace msg = imaging::msg;
namespace drv = imaging::drv;
using imaging::InputControlWriteBlock;
using imaging::ParamWriteBlock;

class SyncPageTest : public PageTest {};

TEST_F(SyncPageTest, ShowsTheSourceAndTheSyncMasterOfEachBoard) {
    struct Case {
        const wchar_t* board;
        const wchar_t* property; // put before the page opens (null: none)
        LONG value;
        const wchar_t* source; // selected in "Source:"
        bool master, masterEnabled, masterChecked;
    };
    const Case cases[] = {
        {L"SIM7100", L"SyncSource", Channel2, L"Channel2", false, false, false},
        // The external line is chosen although the current source is listed too.
        {L"SIM7100", L"SyncSource", ExternalLine, L"ExternalLine", false, false, false},
        {L"SIM7400", L"SyncMasterEnabled", -1, L"CurrentSource", true, true, true},
        // The KV7500's jumper makes it the sync master: shown on, not to be changed.
        {L"SIM7500", nullptr, 0, L"CurrentSource", true, false, true},
        {L"SIM7700", nullptr, 0, L"", true, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.board, c.board + wcslen(c.board)));
        ASSERT_TRUE(OpenBoard(control_.Get(), c.board));
        if (c.property) {
            ASSERT_EQ(PutProperty(control_.Get(), c.property, Long(c.value)).hr, S_OK);
        }
        BoxWatcher box(L"CSyncPage::GetProperties()");
        ActivePage page(CLSID_SyncPage, control_.Get());
        ASSERT_TRUE(page.Active());
        EXPECT_EQ(page.Selection(IDC_SYNC_SOURCE), c.source);
        EXPECT_EQ(page.Enabled(IDC_SYNC_MASTER_GROUP), c.master);
        EXPECT_EQ(page.Enabled(IDC_SYNC_MASTER_ENABLED), c.masterEnabled);
        EXPECT_EQ(page.Checked(IDC_SYNC_MASTER_ENABLED), c.masterChecked);
        if (wcscmp(c.board, L"SIM7100") == 0) {
            EXPECT_EQ(page.Entries(IDC_SYNC_SOURCE),
                      (std::vector<std::wstring>{L"Channel0", L"Channel1", L"Channel2", L"Channel3",
                                                 L"CurrentSource", L"ExternalLine"}));
            EXPECT_EQ(page.Selection(IDC_SYNC_THRESHOLD), L"100");
            EXPECT_FALSE(page.Enabled(IDC_SYNC_HTRANSITION)); // composite video
        }
        if (wcscmp(c.board, L"SIM7400") == 0) page.Screenshot(L"page_sync");
        box.Stop();
        EXPECT_TRUE(box.Texts().empty());
    }
}

// A board of the tests' own driver answering every sync master parameter with 1250: the phase
// shows hundredths of a percent, right-aligned in six characters.
TEST_F(SyncPageTest, APhaseShowsInHundredths) {
    ScriptedBoard board("TSTSYNC");
    ASSERT_TRUE(board.ok());
    const uint32_t none = 0, parameter = 1250;
    board.Answer(msg::STM_QUERY_INPUT_CAPS, &none, sizeof none);
    board.Answer(msg::STM_7400_GET_SYNC_MASTER_PARAM, &parameter, sizeof parameter);
    ActivePage page(CLSID_SyncPage, board.Control());
    EXPECT_EQ(page.Text(IDC_SYNC_PHASE), L" 12.50");
    EXPECT_EQ(page.Text(IDC_SYNC_HFREQUENCY), L"1250");
}

// Each change writes its own group and nothing else, in the board's order.
TEST_F(SyncPageTest, ApplyWritesOnlyTheChangedGroups) {
    using Write = std::tuple<uint32_t, uint32_t, int32_t>; // message, control or selector, value
    constexpr uint32_t kSet = msg::STM_SET_INPUT_CONTROL;
    constexpr uint32_t kEnable = msg::STM_7400_ENABLE_SYNC_MASTER;
    constexpr uint32_t kParam = msg::STM_7400_SET_SYNC_MASTER_PARAM;
    struct Case {
        const wchar_t* name;
        std::function<void(const ActivePage&)> change;
        std::vector<Write> writes;
    };
    const Case cases[] = {
        {L"threshold",
         [](const ActivePage& page) { page.Choose(IDC_SYNC_THRESHOLD, L"125"); },
         {{kSet, STC_FG_CTL_CSYNC_THRESH, 125}, {kSet, STC_FG_CTL_CSYNC_SOURCE, CurrentSource}}},
        {L"sentinel",
         [](const ActivePage& page) {
             page.Click(IDC_SYNC_SENTINEL_ENABLED);
             page.Type(IDC_SYNC_HINSERT, L"7.5");
         },
         {{kSet, STC_FG_CTL_SYNC_SENTINEL, 1},
          {kSet, STC_FG_CTL_HSYNC_INSERT_POS, 750},
          {kSet, STC_FG_CTL_HSYNC_SEARCH_POS, 680},
          {kSet, STC_FG_CTL_VSYNC_INSERT_POS, 260},
          {kSet, STC_FG_CTL_VSYNC_SEARCH_POS, 250}}},
        {L"sync master",
         [](const ActivePage& page) {
             page.Click(IDC_SYNC_MASTER_ENABLED);
             page.Type(IDC_SYNC_PHASE, L"1.00");
         },
         {{kEnable, 0, 0},
          {kParam, 1, 15734},
          {kParam, 3, 4700},
          {kParam, 2, 60},
          {kParam, 4, 3},
          {kParam, 5, 100},
          {kEnable, 0, -1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.name, c.name + wcslen(c.name)));
        ASSERT_TRUE(OpenBoard(control_.Get(), L"SIM7400"));
        ActivePage page(CLSID_SyncPage, control_.Get());
        c.change(page);
        EXPECT_TRUE(page.Dirty());
        std::vector<Write> writes;
        for (const KvTraceRecord& r : ApplyTraced(page)) {
            if (r.Message == kSet) {
                const auto b = BlockOf<InputControlWriteBlock>(r);
                writes.emplace_back(r.Message, b.Control, static_cast<int32_t>(b.Value));
            } else if (r.Message == kEnable) {
                writes.emplace_back(r.Message, 0, static_cast<int32_t>(r.Param1));
            } else if (r.Message == kParam) {
                const auto b = BlockOf<ParamWriteBlock>(r);
                writes.emplace_back(r.Message, b.Selector, static_cast<int32_t>(b.Value));
            }
        }
        EXPECT_EQ(writes, c.writes);
    }
}

TEST_F(SyncPageTest, AFailedWriteShowsTheErrorBox) {
    ASSERT_TRUE(OpenBoard(control_.Get(), L"SIM7100"));
    DriverPort port(L"kvboard.drv");
    ASSERT_TRUE(port.ok());
    const std::wstring text = ErrorBoxText(control_.Get(), port, msg::STM_SET_INPUT_CONTROL,
                                           drv::STS_BUSY, L"SyncThresh", Long(75));
    ASSERT_FALSE(text.empty());
    ActivePage page(CLSID_SyncPage, control_.Get());
    page.Choose(IDC_SYNC_SOURCE, L"ExternalLine");
    page.Click(IDC_SYNC_SENTINEL_ENABLED);
    port.FailNext(msg::STM_SET_INPUT_CONTROL, drv::STS_BUSY);
    port.StartTrace();
    BoxWatcher box(L"CSyncPage::Apply()");
    page.Apply();
    box.Stop();
    port.StopTrace();
    EXPECT_EQ(box.Texts(), std::vector<std::wstring>{text});
    EXPECT_EQ(RecordsOf(port.Trace(), msg::STM_SET_INPUT_CONTROL).size(), 1u); // stopped there
}

// A sync master whose parameters the board does not give is only switched on Apply.
TEST_F(SyncPageTest, AMasterWithoutParametersIsOnlySwitched) {
    ASSERT_TRUE(OpenBoard(control_.Get(), L"SIM7300"));
    ASSERT_EQ(PutProperty(control_.Get(), L"SyncMasterEnabled", Long(0)).hr, S_OK);
    ActivePage page(CLSID_SyncPage, control_.Get());
    EXPECT_TRUE(page.Enabled(IDC_SYNC_MASTER_ENABLED));
    EXPECT_FALSE(page.Checked(IDC_SYNC_MASTER_ENABLED));
    EXPECT_EQ(page.Text(IDC_SYNC_PHASE), L"");
    page.Click(IDC_SYNC_MASTER_ENABLED);
    EXPECT_FALSE(page.Enabled(IDC_SYNC_PHASE));
    EXPECT_EQ(page.Apply(), S_OK);
    EXPECT_EQ(LongOf(GetProperty(control_.Get(), L"SyncMasterEnabled")), -1);
}

// The page reads again when the host changes the video signal type.
TEST_F(SyncPageTest, FollowsTheVideoSignalType) {
    ASSERT_TRUE(OpenBoard(control_.Get(), L"SIM7100"));
    ActivePage page(CLSID_SyncPage, control_.Get());
    EXPECT_TRUE(page.Enabled(IDC_SYNC_SOURCE));
    ASSERT_EQ(PutProperty(control_.Get(), L"VideoSignalType", Long(VarScanVideo)).hr, S_OK);
    EXPECT_FALSE(page.Enabled(IDC_SYNC_SOURCE));
    EXPECT_TRUE(page.Enabled(IDC_SYNC_HTRANSITION));
    EXPECT_EQ(page.Selection(IDC_SYNC_HTRANSITION), L"On High To Low");
}

// Without a device the page is disabled; every board reads without an error box.
TEST_F(SyncPageTest, EveryBoardReads) {
    {
        ActivePage page(CLSID_SyncPage, control_.Get());
        EXPECT_EQ(page.Title(), L"Sync");
        for (int id : {IDC_SYNC_SOURCE, IDC_SYNC_HTRANSITION, IDC_SYNC_SENTINEL_ENABLED,
                       IDC_SYNC_MASTER_ENABLED})
            EXPECT_FALSE(page.Enabled(id)) << id;
    }
    for (const SimBoard& board : kSimBoards) {
        SCOPED_TRACE(testing::Message() << board.model);
        ASSERT_TRUE(OpenBoard(control_.Get(), board.name));
        BoxWatcher box(L"CSyncPage::GetProperties()");
        { ActivePage page(CLSID_SyncPage, control_.Get()); }
        box.Stop();
        EXPECT_TRUE(box.Texts().empty());
    }
}

} // namespace
} // namespace test
