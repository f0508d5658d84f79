// The Spatial page: the area it shows, the order of Apply's writes with and without a running
// sync master, frames allocated and destroyed from the page, and its error boxes.
#include "page_support.h"

#include "spatial_page.h"

namespace test {
namespace {

namespace msg = imaging::msg;
namespace drv = imaging::drv;
using imaging::InputControlWriteBlock;

class SpatialPageTest : public PageTest {};

struct AreaEdit {
    int id;
    const wchar_t* property;
    uint32_t key; // the input control it writes
};
constexpr AreaEdit kAreaEdits[] = {
    {IDC_SPATIAL_TOTAL_PIXELS, L"TotalPixelsPerLine", STC_FG_CTL_TOTAL_PIX_PER_LINE},
    {IDC_SPATIAL_FIRST_PIXEL, L"FirstActivePixel", STC_FG_CTL_FIRST_ACTIVE_PIXEL},
    {IDC_SPATIAL_PIXEL_COUNT, L"ActivePixelCount", STC_FG_CTL_ACTIVE_PIXEL_COUNT},
    {IDC_SPATIAL_TOTAL_LINES, L"TotalLinesPerField", STC_FG_CTL_TOTAL_LINES_PER_FLD},
    {IDC_SPATIAL_FIRST_LINE, L"FirstActiveLine", STC_FG_CTL_FIRST_ACTIVE_LINE},
    {IDC_SPATIAL_LINE_COUNT, L"ActiveLineCount", STC_FG_CTL_ACTIVE_LINE_COUNT},
    {IDC_SPATIAL_CLAMP_START, L"ClampStart", STC_FG_CTL_CLAMP_START},
    {IDC_SPATIAL_CLAMP_END, L"ClampEnd", STC_FG_CTL_CLAMP_END},
    {IDC_SPATIAL_BACK_PORCH, L"BackPorchStart", STC_FG_CTL_BACK_PORCH_START},
};

// Apply on a board without a sync master, and on one whose sync master runs: the timing, then
// the window, and the sync master stopped around the timing.
TEST_F(SpatialPageTest, ShowsTheAreaAndAppliesItInTheBoardsOrder) {
    constexpr uint32_t kMaster = msg::STM_7400_ENABLE_SYNC_MASTER; // its enable value is lParam1
    struct Case {
        const wchar_t* board;
        bool master;
        std::vector<std::pair<uint32_t, uint32_t>> writes; // (message, control or enable)
    };
    const auto window = [](std::vector<std::pair<uint32_t, uint32_t>> writes) {
        for (uint32_t key : {STC_FG_CTL_FIRST_ACTIVE_PIXEL, STC_FG_CTL_FIRST_ACTIVE_LINE,
                             STC_FG_CTL_ACTIVE_PIXEL_COUNT, STC_FG_CTL_ACTIVE_LINE_COUNT,
                             STC_FG_CTL_CLAMP_START, STC_FG_CTL_CLAMP_END,
                             STC_FG_CTL_BACK_PORCH_START})
            writes.emplace_back(msg::STM_SET_INPUT_CONTROL, key);
        return writes;
    };
    constexpr uint32_t kSet = msg::STM_SET_INPUT_CONTROL;
    const Case cases[] = {
        {L"SIM7100", false,
         window({{kSet, STC_FG_CTL_TOTAL_PIX_PER_LINE}, {kSet, STC_FG_CTL_TOTAL_LINES_PER_FLD}})},
        {L"SIM7400", true,
         window({{kMaster, 0},
                 {kSet, STC_FG_CTL_TOTAL_PIX_PER_LINE},
                 {kSet, STC_FG_CTL_TOTAL_LINES_PER_FLD},
                 {kMaster, static_cast<uint32_t>(-1)}})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.board, c.board + wcslen(c.board)));
        ASSERT_TRUE(OpenBoard(control_.Get(), c.board));
        if (c.master) {
            ASSERT_EQ(PutProperty(control_.Get(), L"SyncMasterEnabled", Long(-1)).hr, S_OK);
        }
        ActivePage page(CLSID_SpatialPage, control_.Get());
        ASSERT_TRUE(page.Active());
        for (const AreaEdit& edit : kAreaEdits) {
            EXPECT_EQ(page.Text(edit.id),
                      std::to_wstring(LongOf(GetProperty(control_.Get(), edit.property))))
                << edit.id;
            EXPECT_TRUE(page.Enabled(edit.id)) << edit.id;
        }
        page.Type(IDC_SPATIAL_TOTAL_PIXELS, L"800");
        page.Type(IDC_SPATIAL_FIRST_PIXEL, L"130");
        page.Type(IDC_SPATIAL_HSCALE, L"50");
        EXPECT_TRUE(page.Dirty());

        std::vector<std::pair<uint32_t, uint32_t>> writes;
        for (const KvTraceRecord& r : ApplyTraced(page)) {
            if (r.Message == kSet)
                writes.emplace_back(r.Message, BlockOf<InputControlWriteBlock>(r).Control);
            else if (c.master && r.Message == kMaster)
                writes.emplace_back(r.Message, static_cast<uint32_t>(r.Param1));
        }
        EXPECT_EQ(writes, c.writes);
        EXPECT_EQ(LongOf(GetProperty(control_.Get(), L"TotalPixelsPerLine")), 800);
        EXPECT_EQ(LongOf(GetProperty(control_.Get(), L"FirstActivePixel")), 130);
        EXPECT_EQ(LongOf(GetProperty(control_.Get(), L"FrameHorizontalScale")), 50);
    }
}

// Allocate twice then destroy from the page: the count, the list and the control agree, and
// the board's external trigger stays chosen around the page's software-triggered image.
TEST_F(SpatialPageTest, AllocateAndDestroyChangeTheFrames) {
    ASSERT_TRUE(OpenBoard(control_.Get(), L"SIM7100"));
    ASSERT_EQ(PutProperty(control_.Get(), L"TriggerType", Long(ExternalTrigger)).hr, S_OK);
    ActivePage page(CLSID_SpatialPage, control_.Get());
    EXPECT_EQ(page.Text(IDC_SPATIAL_FRAME_COUNT), L"0");
    EXPECT_TRUE(page.Entries(IDC_SPATIAL_FRAME_ID).empty());
    EXPECT_FALSE(page.Enabled(IDC_SPATIAL_DESTROY));
    EXPECT_EQ(page.Entries(IDC_SPATIAL_FRAME_TYPE).size(), 7u);
    EXPECT_EQ(page.Entries(IDC_SPATIAL_STORAGE), std::vector<std::wstring>{L"DefaultImage"});

    DriverPort port(L"kvboard.drv");
    ASSERT_TRUE(port.ok());
    page.Type(IDC_SPATIAL_WIDTH, L"320");
    page.Choose(IDC_SPATIAL_FRAME_TYPE, L"OddField");
    port.StartTrace();
    page.Click(IDC_SPATIAL_ALLOCATE);
    port.StopTrace();
    EXPECT_EQ(RecordsOf(port.Trace(), msg::STM_ACQUIRE_FRAME).size(), 1u);
    page.Click(IDC_SPATIAL_ALLOCATE);
    EXPECT_EQ(page.Text(IDC_SPATIAL_FRAME_COUNT), L"2");
    EXPECT_EQ(page.Entries(IDC_SPATIAL_FRAME_ID), (std::vector<std::wstring>{L"0", L"1"}));
    EXPECT_EQ(page.Selection(IDC_SPATIAL_FRAME_ID), L"1");
    EXPECT_EQ(page.Text(IDC_SPATIAL_WIDTH), L"320");
    EXPECT_EQ(page.Selection(IDC_SPATIAL_FRAME_TYPE), L"OddField");
    EXPECT_EQ(LongOf(GetProperty(control_.Get(), L"FrameCount")), 2);
    EXPECT_EQ(LongOf(GetProperty(control_.Get(), L"TriggerType")), ExternalTrigger);
    page.Screenshot(L"page_spatial");

    page.Choose(IDC_SPATIAL_FRAME_ID, L"0");
    EXPECT_EQ(LongOf(GetProperty(control_.Get(), L"ActiveFrame")), 0);
    page.Click(IDC_SPATIAL_DESTROY);
    EXPECT_EQ(page.Text(IDC_SPATIAL_FRAME_COUNT), L"1");
    EXPECT_EQ(page.Entries(IDC_SPATIAL_FRAME_ID), std::vector<std::wstring>{L"1"});
    EXPECT_EQ(LongOf(GetProperty(control_.Get(), L"ActiveFrame")), 1);
    // A frame the host destroys leaves the list too.
    Invoke(control_.Get(), L"DestroyFrame", {Long(1)});
    EXPECT_EQ(page.Text(IDC_SPATIAL_FRAME_COUNT), L"0");
    EXPECT_TRUE(page.Entries(IDC_SPATIAL_FRAME_ID).empty());
}

// A failed write of Apply, and a failed acquisition after "Allocate Frame": each shows its box
// with the control's description; the new frame stays and the trigger is restored.
TEST_F(SpatialPageTest, FailuresShowTheErrorBoxUnderTheirSource) {
    ASSERT_TRUE(OpenBoard(control_.Get(), L"SIM7100"));
    ASSERT_EQ(PutProperty(control_.Get(), L"TriggerType", Long(ExternalTrigger)).hr, S_OK);
    DriverPort port(L"kvboard.drv");
    ASSERT_TRUE(port.ok());
    const std::wstring text = ErrorBoxText(control_.Get(), port, msg::STM_SET_INPUT_CONTROL,
                                           drv::STS_RANGE, L"ClampStart", Long(10));
    ASSERT_FALSE(text.empty());
    ActivePage page(CLSID_SpatialPage, control_.Get());
    page.Type(IDC_SPATIAL_CLAMP_END, L"40");
    {
        port.FailNext(msg::STM_SET_INPUT_CONTROL, drv::STS_RANGE);
        BoxWatcher box(L"CSpatialPage::Apply");
        page.Apply(); // the sheet goes on: the box told the user
        box.Stop();
        EXPECT_EQ(box.Texts(), std::vector<std::wstring>{text});
        EXPECT_NE(LongOf(GetProperty(control_.Get(), L"ClampEnd")), 40); // not reached
    }
    {
        const std::wstring acquireText =
            ErrorBoxText(control_.Get(), port, msg::STM_SET_INPUT_CONTROL, drv::STS_TIMEOUT,
                         L"ClampStart", Long(10));
        port.FailNext(msg::STM_ACQUIRE_FRAME, drv::STS_TIMEOUT);
        BoxWatcher box(L"CSpatialPage::OnAllocate");
        page.Click(IDC_SPATIAL_ALLOCATE);
        box.Stop();
        EXPECT_EQ(box.Texts(), std::vector<std::wstring>{acquireText});
        EXPECT_EQ(page.Text(IDC_SPATIAL_FRAME_COUNT), L"1");
        EXPECT_EQ(LongOf(GetProperty(control_.Get(), L"TriggerType")), ExternalTrigger);
    }
}

// Without a device the page is disabled; every board reads and allocates a frame with the
// values shown, without an error box.
TEST_F(SpatialPageTest, EveryBoardReadsAndAllocates) {
    {
        ActivePage page(CLSID_SpatialPage, control_.Get());
        EXPECT_EQ(page.Title(), L"Spatial");
        for (int id : {IDC_SPATIAL_TOTAL_PIXELS, IDC_SPATIAL_LEFT, IDC_SPATIAL_ALLOCATE})
            EXPECT_FALSE(page.Enabled(id)) << id;
    }
    for (const SimBoard& board : kSimBoards) {
        SCOPED_TRACE(testing::Message() << board.model);
        ASSERT_TRUE(OpenBoard(control_.Get(), board.name));
        BoxWatcher area(L"UpdateActiveVideoControls"), frames(L"UpdateFrameControls"),
            allocate(L"CSpatialPage::OnAllocate");
        {
            ActivePage page(CLSID_SpatialPage, control_.Get());
            page.Click(IDC_SPATIAL_ALLOCATE); // as the board's own settings stand
            EXPECT_EQ(page.Text(IDC_SPATIAL_FRAME_COUNT), L"1");
        }
        for (BoxWatcher* box : {&area, &frames, &allocate}) {
            box->Stop();
            EXPECT_EQ(box->Texts(), std::vector<std::wstring>{});
        }
    }
}

} // namespace
} // namespace test
