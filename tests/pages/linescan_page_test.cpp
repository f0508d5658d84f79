// The Line Scan page: the line-scan board's mode, divider and counts, Apply's writes, and the
// other boards, which have nothing to edit.
#include "page_support.h"

#include "linescan_page.h"

namespace test {
namespace {

class LineScanPageTest : public PageTest {
protected:
    void Put(const wchar_t* name, LONG value) {
        ASSERT_EQ(PutProperty(control_.Get(), name, Long(value)).hr, S_OK)
            << std::string(name, name + wcslen(name));
    }
};

constexpr int kEdits[] = {IDC_LINESCAN_DRIVE_POSITIVE, IDC_LINESCAN_DRIVE_NEGATIVE,
                          IDC_LINESCAN_INTEGRATION_POSITIVE, IDC_LINESCAN_INTEGRATION_NEGATIVE};
constexpr const wchar_t* kCounts[] = {L"LoToHiLineDriveCount", L"HiToLoLineDriveCount",
                                      L"LoToHiIntegrationCount", L"HiToLoIntegrationCount"};

TEST_F(LineScanPageTest, ShowsAndAppliesTheLineScanTiming) {
    ASSERT_TRUE(OpenBoard(control_.Get(), L"SIM7400LS"));
    ASSERT_EQ(corvid_->put_LineScanMode(VARIANT_TRUE), S_OK);
    Put(L"LSDriveClkDiv", 8);
    for (size_t i = 0; i < std::size(kCounts); ++i)
        Put(kCounts[i], static_cast<LONG>(100 + i));
    {
        ActivePage page(CLSID_LineScanPage, control_.Get());
        ASSERT_TRUE(page.Active());
        EXPECT_EQ(page.Title(), L"Line Scan");
        EXPECT_TRUE(page.Enabled(IDC_LINESCAN_ENABLE));
        EXPECT_TRUE(page.Checked(IDC_LINESCAN_ENABLE));
        const std::vector<std::wstring> dividers{L"1",   L"2",   L"4",   L"8",    L"16",   L"32",
                                                 L"64",  L"128", L"256", L"512", L"1024", L"2048"};
        EXPECT_EQ(page.Entries(IDC_LINESCAN_DIVIDER), dividers);
        EXPECT_EQ(page.Selection(IDC_LINESCAN_DIVIDER), L"8");
        for (size_t i = 0; i < std::size(kEdits); ++i)
            EXPECT_EQ(page.Text(kEdits[i]), std::to_wstring(100 + i));
        page.Screenshot(L"page_linescan");

        page.Choose(IDC_LINESCAN_DIVIDER, L"32");
        for (size_t i = 0; i < std::size(kEdits); ++i)
            page.Type(kEdits[i], std::to_wstring(200 + i));
        EXPECT_TRUE(page.Dirty());
        EXPECT_EQ(page.Apply(), S_OK);
        EXPECT_FALSE(page.Dirty());
    }
    EXPECT_EQ(LongOf(GetProperty(control_.Get(), L"LSDriveClkDiv")), 32);
    for (size_t i = 0; i < std::size(kCounts); ++i)
        EXPECT_EQ(LongOf(GetProperty(control_.Get(), kCounts[i])), static_cast<LONG>(200 + i));

    // A divider that is no power of two selects nothing.
    Put(L"LSDriveClkDiv", 3);
    {
        ActivePage page(CLSID_LineScanPage, control_.Get());
        EXPECT_EQ(page.Selection(IDC_LINESCAN_DIVIDER), L"");
        // Clearing the box switches line-scan mode off and writes nothing else.
        page.Click(IDC_LINESCAN_ENABLE);
        EXPECT_FALSE(page.Enabled(IDC_LINESCAN_DIVIDER));
        EXPECT_EQ(page.Apply(), S_OK);
    }
    VARIANT_BOOL mode = VARIANT_TRUE;
    EXPECT_EQ(corvid_->get_LineScanMode(&mode), S_OK);
    EXPECT_EQ(mode, VARIANT_FALSE);
    EXPECT_EQ(LongOf(GetProperty(control_.Get(), L"LSDriveClkDiv")), 3);
}

TEST_F(LineScanPageTest, OtherBoardsHaveNothingToEdit) {
    for (const SimBoard& board : kSimBoards) {
        if (board.model == KV7400LS) continue;
        SCOPED_TRACE(testing::Message() << board.model);
        ASSERT_TRUE(OpenBoard(control_.Get(), board.name));
        ActivePage page(CLSID_LineScanPage, control_.Get());
        ASSERT_TRUE(page.Active());
        for (int id : {IDC_LINESCAN_ENABLE, IDC_LINESCAN_DIVIDER, IDC_LINESCAN_DRIVE_POSITIVE,
                       IDC_LINESCAN_INTEGRATION_NEGATIVE})
            EXPECT_FALSE(page.Enabled(id)) << id;
        EXPECT_FALSE(page.Checked(IDC_LINESCAN_ENABLE));
        EXPECT_TRUE(page.Entries(IDC_LINESCAN_DIVIDER).empty());
    }
}

} // namespace
} // namespace test
