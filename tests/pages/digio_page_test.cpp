// The Digital I/O page: the lines each board has and their directions, the states shown from
// DigIOPattern, and Apply's writes.
#include "page_support.h"

#include "digio_page.h"

namespace test {
namespace {

namespace msg = imaging::msg;

class DigIOPageTest : public PageTest {
protected:
    // The lines whose control with the id base + n passes `test`, as a mask.
    static long Lines(const ActivePage& page, int base, bool (ActivePage::*test)(int) const) {
        long mask = 0;
        for (int n = 0; n < 8; ++n)
            if ((page.*test)(base + n)) mask |= 1L << n;
        return mask;
    }
};

struct BoardView {
    const wchar_t* board;
    long outs, ins;          // enabled "Out" and "In" buttons
    long outSet, inSet;      // set ones
    long states;             // enabled state boxes
    bool refresh;
    const wchar_t* config;
};

TEST_F(DigIOPageTest, ShowsTheLinesOfEachBoard) {
    const BoardView views[] = {
        {L"SIM7100", 0xFF, 0x00, 0xFF, 0x00, 0xFF, false, L"0xFF"},
        {L"SIM7700", 0xFF, 0xFF, 0x0F, 0xF0, 0x0F, true, L"0xF"}, // DigIOConfig
        {L"SIM7300", 0x0F, 0x0F, 0x03, 0x0C, 0x03, true, L"0x3"}, // DigIOConfig
        {L"SIM7500", 0x07, 0x18, 0x07, 0x18, 0x07, true, L"0x7"},
        {L"SIM7400LS", 0xF0, 0x0F, 0xF0, 0x0F, 0xF0, true, L"0xF0"},
        {L"SIM760X", 0, 0, 0, 0, 0, false, L"0xFF"}, // no lines
    };
    for (const BoardView& view : views) {
        SCOPED_TRACE(testing::Message()
                     << std::string(view.board, view.board + wcslen(view.board)));
        ASSERT_TRUE(OpenBoard(control_.Get(), view.board));
        ActivePage page(CLSID_DigIOPage, control_.Get());
        ASSERT_TRUE(page.Active());
        EXPECT_EQ(Lines(page, IDC_DIGIO_OUT, &ActivePage::Enabled), view.outs);
        EXPECT_EQ(Lines(page, IDC_DIGIO_IN, &ActivePage::Enabled), view.ins);
        EXPECT_EQ(Lines(page, IDC_DIGIO_OUT, &ActivePage::Checked), view.outSet);
        EXPECT_EQ(Lines(page, IDC_DIGIO_IN, &ActivePage::Checked), view.inSet);
        EXPECT_EQ(Lines(page, IDC_DIGIO_STATE, &ActivePage::Enabled), view.states);
        EXPECT_EQ(page.Enabled(IDC_DIGIO_REFRESH), view.refresh);
        EXPECT_EQ(page.Text(IDC_DIGIO_CONFIG), view.config);
        if (view.board == std::wstring(L"SIM7700")) page.Screenshot(L"page_digio");
    }
}

TEST_F(DigIOPageTest, ThePatternSetsTheStateBoxes) {
    ASSERT_TRUE(OpenBoard(control_.Get(), L"SIM7100"));
    ASSERT_EQ(PutProperty(control_.Get(), L"DigIOPattern", Long(0x05)).hr, S_OK);
    ActivePage page(CLSID_DigIOPage, control_.Get());
    EXPECT_EQ(Lines(page, IDC_DIGIO_STATE, &ActivePage::Checked), 0x05);
    EXPECT_EQ(page.Text(IDC_DIGIO_PATTERN), L"0x5");
}

TEST_F(DigIOPageTest, ApplyWritesTheConfigurationThenThePattern) {
    ASSERT_TRUE(OpenBoard(control_.Get(), L"SIM7700"));
    {
        ActivePage page(CLSID_DigIOPage, control_.Get());
        page.Click(IDC_DIGIO_OUT + 5); // line 5 becomes an output and gets a state
        EXPECT_TRUE(page.Enabled(IDC_DIGIO_STATE + 5));
        page.Click(IDC_DIGIO_STATE + 5);
        page.Click(IDC_DIGIO_STATE + 0);
        page.Click(IDC_DIGIO_IN + 1);
        EXPECT_EQ(page.Text(IDC_DIGIO_CONFIG), L"0x2D");
        EXPECT_EQ(page.Text(IDC_DIGIO_PATTERN), L"0x21");
        EXPECT_TRUE(page.Dirty());

        std::vector<std::pair<uint32_t, uint64_t>> writes;
        for (const KvTraceRecord& r : ApplyTraced(page))
            if (r.Message == msg::STM_CAM_SET_DIGIO_CONFIG ||
                r.Message == msg::STM_CAM_SET_DIGIO_PATTERN)
                writes.emplace_back(r.Message, r.Param2);
        const std::vector<std::pair<uint32_t, uint64_t>> expected{
            {msg::STM_CAM_SET_DIGIO_CONFIG, 0x2D}, {msg::STM_CAM_SET_DIGIO_PATTERN, 0x21}};
        EXPECT_EQ(writes, expected);
        EXPECT_FALSE(page.Dirty());
    }
    // A board with fixed lines takes the pattern only: its configuration is not written.
    ASSERT_TRUE(OpenBoard(control_.Get(), L"SIM7500"));
    ActivePage page(CLSID_DigIOPage, control_.Get());
    page.Click(IDC_DIGIO_STATE + 1);
    BoxWatcher box(L"CDigIOPage::Apply");
    EXPECT_EQ(page.Apply(), S_OK);
    box.Stop();
    EXPECT_TRUE(box.Texts().empty());
    EXPECT_EQ(LongOf(GetProperty(control_.Get(), L"DigIOPattern")) & 0x07, 0x02);
}

} // namespace
} // namespace test
