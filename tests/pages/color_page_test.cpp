// The Color page: slider ranges and positions from the board's color image parameters, the
// group each board takes on Apply, and a board without the color extension.
#include "page_support.h"

#include "color_page.h"

namespace test {
namespace {

namespace msg = imaging::msg;

class ColorPageTest : public PageTest {
protected:
    static long Slider(const ActivePage& page, int id, UINT message) {
        return static_cast<long>(SendDlgItemMessageW(page.Dialog(), id, message, 0, 0));
    }
};

struct BoardCase {
    const wchar_t* board;
    const wchar_t* property; // set before the page opens
    long value;
    int slider; // that property's
    long min, max;
    int moved; // slider the user moves, to `to`; the page shows `shown`
    long to;
    const wchar_t* shown;
    const wchar_t* movedProperty;
    int other; // a slider of the group the board does not take
    std::vector<uint32_t> written; // parameter codes, in order
};

TEST_F(ColorPageTest, SlidersAndApplyByBoard) {
    const BoardCase cases[] = {
        {L"SIM7300", L"Hue", 30, IDC_COLOR_HUE, -90, 90, IDC_COLOR_HUE, 45, L"44", L"Hue",
         IDC_COLOR_RED_OFFSET, {5, 3, 4, 1, 2}}, // hue steps by 2
        {L"SIM7500", L"RedOffset", -20, IDC_COLOR_RED_OFFSET, -128, 127,
         IDC_COLOR_GREEN_REFERENCE, 300, L"300", L"GreenReference", IDC_COLOR_HUE,
         {12, 13, 14, 9, 10, 11}},
    };
    for (const BoardCase& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.board, c.board + wcslen(c.board)));
        ASSERT_TRUE(OpenBoard(control_.Get(), c.board));
        ASSERT_EQ(PutProperty(control_.Get(), c.property, Long(c.value)).hr, S_OK);
        ActivePage page(CLSID_ColorPage, control_.Get());
        ASSERT_TRUE(page.Active());
        EXPECT_EQ(page.Title(), L"Color");
        EXPECT_EQ(Slider(page, c.slider, TBM_GETRANGEMIN), c.min);
        EXPECT_EQ(Slider(page, c.slider, TBM_GETRANGEMAX), c.max);
        EXPECT_EQ(Slider(page, c.slider, TBM_GETPOS), c.value);
        EXPECT_EQ(page.Text(c.slider + IDC_COLOR_VALUE), std::to_wstring(c.value));
        EXPECT_TRUE(page.Enabled(c.moved));
        EXPECT_FALSE(page.Enabled(c.other));
        if (c.slider == IDC_COLOR_HUE) page.Screenshot(L"page_color");

        page.Slide(c.moved, c.to);
        EXPECT_EQ(page.Text(c.moved + IDC_COLOR_VALUE), c.shown);
        EXPECT_TRUE(page.Dirty());
        std::vector<uint32_t> written;
        for (const KvTraceRecord& r : RecordsOf(ApplyTraced(page), msg::STM_CLR_IMAGE_PARAMETER)) {
            const auto block = BlockOf<imaging::ColorOperationBlock>(r);
            uint32_t code = 0; // follows the block in the trace
            memcpy(&code, r.Block + sizeof block, sizeof code);
            if (block.Operation == STC_WRITE_CONTROL) written.push_back(code);
        }
        EXPECT_EQ(written, c.written);
        EXPECT_EQ(LongOf(GetProperty(control_.Get(), c.movedProperty)), _wtol(c.shown));
    }
}

// A board without the color extension has nothing to show, and no error to report.
TEST_F(ColorPageTest, ABoardWithoutColorShowsNothing) {
    ASSERT_TRUE(OpenBoard(control_.Get(), L"SIM7100"));
    BoxWatcher box(L"CColorPage::GetImageParameters");
    {
        ActivePage page(CLSID_ColorPage, control_.Get());
        for (int id : {IDC_COLOR_RED_OFFSET, IDC_COLOR_HUE, IDC_COLOR_CONTRAST})
            EXPECT_FALSE(page.Enabled(id)) << id;
        EXPECT_EQ(page.Text(IDC_COLOR_HUE + IDC_COLOR_VALUE), L"");
    }
    box.Stop();
    EXPECT_TRUE(box.Texts().empty());
}

} // namespace
} // namespace test
