// The Display page: the picture window, the frame and origins it shows, live video started and
// stopped from it (and ended with the page), color planes, overlay surfaces with their image,
// translucency and color key written on Apply, its error boxes, and every board in the
// platform's property frame.
#include "page_support.h"

#include "display_page.h"
#include "thread_count.h"

#include <colordlg.h>

#include <fstream>

namespace test {
namespace {

using namespace imaging::msg;

constexpr wchar_t kHelpQuestion[] = L"\nWould you like to see additional help?";

class DisplayPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_HRESULT_SUCCEEDED(apartment_.Result());
        ASSERT_TRUE(simulator_.ok());
        control_ = CreateControl();
        ASSERT_TRUE(control_);
    }
    void TearDown() override { simulator_.Port().ClearFailures(); }

    void OpenWithFrame(const wchar_t* board) {
        ASSERT_TRUE(OpenBoard(control_.Get(), board));
        ASSERT_EQ(Invoke(control_.Get(), L"AllocateFrame").hr, S_OK);
        VARIANT wait;
        V_VT(&wait) = VT_BOOL;
        V_BOOL(&wait) = VARIANT_FALSE;
        ASSERT_EQ(Invoke(control_.Get(), L"AcquireFrames", {Long(1), Long(0), wait}).hr, S_OK);
    }
    static HWND Picture(const ActivePage& page) { return GetDlgItem(page.Dialog(), IDC_DISPLAY_PICTURE); }
    static std::wstring TempFile(const wchar_t* name) {
        wchar_t folder[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, folder);
        return std::wstring(folder) + name;
    }
    // The messages of these codes that the board received since the trace started.
    std::vector<KvTraceRecord> Sent(std::initializer_list<uint32_t> messages) {
        std::vector<KvTraceRecord> found;
        for (const KvTraceRecord& record : simulator_.Port().Trace())
            if (std::find(messages.begin(), messages.end(), record.Message) != messages.end())
                found.push_back(record);
        return found;
    }
    // The description the control gives for a driver failure of this message.
    std::wstring Description(uint32_t message, const wchar_t* member) {
        simulator_.Port().FailNext(message, kFailure);
        const CallResult call = Invoke(control_.Get(), member);
        simulator_.Port().ClearFailures();
        return Wide(call.exception.bstrDescription);
    }

    static constexpr uint32_t kFailure = 0x94000006;
    Apartment apartment_;
    PinnedSimulator simulator_;
    ComPtr<IDispatch> control_;
};

TEST_F(DisplayPageTest, WithoutADeviceTheControlsAreDisabledAndEmpty) {
    ActivePage page(CLSID_DisplayPage, control_.Get());
    ASSERT_TRUE(page.Active());
    EXPECT_EQ(page.Title(), L"Display");
    HWND picture = Picture(page);
    ASSERT_TRUE(picture);
    wchar_t name[32] = {};
    GetClassNameW(picture, name, 32);
    EXPECT_STREQ(name, L"KV_DISPLAY");
    EXPECT_EQ(WindowText(picture), L"Display");
    const LONG_PTR style = GetWindowLongPtrW(picture, GWL_STYLE);
    EXPECT_EQ(style & (WS_HSCROLL | WS_VSCROLL), WS_HSCROLL | WS_VSCROLL);
    for (int id : {IDC_DISPLAY_START, IDC_DISPLAY_STOP, IDC_DISPLAY_RED, IDC_DISPLAY_XORIGIN,
                   IDC_DISPLAY_ALLOCATE, IDC_DISPLAY_SURFACE, IDC_DISPLAY_BROWSE})
        EXPECT_FALSE(page.Enabled(id)) << id;
    EXPECT_EQ(page.Text(IDC_DISPLAY_FRAME), L"");
    EXPECT_FALSE(page.Dirty());
}

TEST_F(DisplayPageTest, ShowsTheFrameAndOffersPlanesOnColorBoards) {
    struct Case {
        const wchar_t* board;
        bool frame;
        bool planes;
    };
    const Case cases[] = {
        {L"SIM7100", false, false}, {L"SIM7100", true, false}, {L"SIM7300", true, true},
        {L"SIM7500", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.board, c.board + wcslen(c.board)) << c.frame);
        ASSERT_TRUE(OpenBoard(control_.Get(), c.board));
        if (c.frame) {
            ASSERT_EQ(Invoke(control_.Get(), L"AllocateFrame").hr, S_OK);
        }
        ActivePage page(CLSID_DisplayPage, control_.Get());
        ASSERT_TRUE(page.Active());
        EXPECT_EQ(page.Text(IDC_DISPLAY_FRAME), c.frame ? L"0" : L"none allocated");
        EXPECT_EQ(page.Text(IDC_DISPLAY_HSCALE), c.frame ? L"100" : L"");
        EXPECT_EQ(page.Text(IDC_DISPLAY_XORIGIN),
                  std::to_wstring(LongOf(GetProperty(control_.Get(), L"XPassthruOrigin"))));
        EXPECT_EQ(page.Enabled(IDC_DISPLAY_START), c.frame);
        EXPECT_EQ(page.Enabled(IDC_DISPLAY_GREEN), c.planes);
        EXPECT_TRUE(page.Enabled(IDC_DISPLAY_ALLOCATE));
        EXPECT_EQ(page.Text(IDC_DISPLAY_SURFACE_COUNT), L"0");
        ASSERT_EQ(Invoke(control_.Get(), L"CloseDevice").hr, S_OK);
    }
}

TEST_F(DisplayPageTest, LiveVideoGoesIntoThePictureAndEndsWithThePage) {
    OpenWithFrame(L"SIM7100");
    const int threadsBefore = ThreadCount();
    {
        ActivePage page(CLSID_DisplayPage, control_.Get());
        ASSERT_TRUE(page.Active());
        simulator_.Port().StartTrace();
        page.Click(IDC_DISPLAY_START);
        const auto starts = Sent({STM_START_ASYNC_PASSTHRU});
        ASSERT_EQ(starts.size(), 1u);
        EXPECT_EQ(BlockOf<imaging::WindowBlock>(starts[0]).Window, Picture(page));
        EXPECT_FALSE(page.Enabled(IDC_DISPLAY_START));
        EXPECT_GT(ThreadCount(), threadsBefore);

        // Stop, and start again: the page is left while live video runs.
        page.Click(IDC_DISPLAY_STOP);
        EXPECT_EQ(Sent({STM_STOP_PASSTHRU}).size(), 1u);
        EXPECT_TRUE(page.Enabled(IDC_DISPLAY_START));
        // The sheet hides the page when another tab is chosen: live video stops.
        page.Click(IDC_DISPLAY_START);
        page.Page()->Show(SW_HIDE);
        EXPECT_EQ(Sent({STM_STOP_PASSTHRU}).size(), 2u);
        page.Page()->Show(SW_SHOW);
        page.Click(IDC_DISPLAY_START);
        Pump(std::chrono::milliseconds(200));
    }
    EXPECT_EQ(Sent({STM_STOP_PASSTHRU}).size(), 3u);
    EXPECT_TRUE(WaitFor([&] { return ThreadCount() == threadsBefore; })) << ThreadCount();
}

TEST_F(DisplayPageTest, AFailingStartIsShownUnderItsOperation) {
    OpenWithFrame(L"SIM7400");
    const std::wstring description = Description(STM_START_ASYNC_PASSTHRU, L"StartPassthru");
    ASSERT_FALSE(description.empty());
    ActivePage page(CLSID_DisplayPage, control_.Get());
    ASSERT_TRUE(page.Active());
    simulator_.Port().FailNext(STM_START_ASYNC_PASSTHRU, kFailure);
    UiScript script;
    script.Then(L"CDisplayPage::StartPassthru", [&](HWND box) {
        script.seen.push_back(MessageBoxText(box));
        Press(box, IDNO);
    }).Start();
    page.Click(IDC_DISPLAY_START);
    ASSERT_TRUE(script.Finish());
    ASSERT_EQ(script.seen.size(), 1u);
    EXPECT_EQ(script.seen[0], description + kHelpQuestion);
    EXPECT_TRUE(page.Enabled(IDC_DISPLAY_START));
}

TEST_F(DisplayPageTest, AFailingApplyIsShownAndKeepsTheChange) {
    ASSERT_TRUE(OpenBoard(control_.Get(), L"SIM7400"));
    ActivePage page(CLSID_DisplayPage, control_.Get());
    ASSERT_TRUE(page.Active());
    page.Type(IDC_DISPLAY_XORIGIN, L"5");
    simulator_.Port().FailNext(STM_SET_PASSTHRU_SOURCE_ORIGIN, kFailure);
    UiScript script;
    script.Then(L"CDisplayPage::Apply", [](HWND box) { Press(box, IDNO); }).Start();
    page.Apply();
    ASSERT_TRUE(script.Finish());
    // The origin is still marked: the next Apply writes it.
    page.Type(IDC_DISPLAY_YORIGIN, L"1");
    EXPECT_EQ(page.Apply(), S_OK);
    EXPECT_EQ(LongOf(GetProperty(control_.Get(), L"XPassthruOrigin")), 5);
}

TEST_F(DisplayPageTest, LineScanModeStopsTheLineScanPassthruToo) {
    ASSERT_TRUE(OpenBoard(control_.Get(), L"SIM7400LS"));
    ASSERT_EQ(PutProperty(control_.Get(), L"LineScanMode", Long(-1)).hr, S_OK);
    ActivePage page(CLSID_DisplayPage, control_.Get());
    ASSERT_TRUE(page.Active());
    simulator_.Port().StartTrace();
    page.Click(IDC_DISPLAY_STOP);
    EXPECT_EQ(Sent({STM_LS_STOP_PASSTHRU}).size(), 1u);
}

TEST_F(DisplayPageTest, PlanesAreDrawnIntoThePicture) {
    OpenWithFrame(L"SIM7300");
    ActivePage page(CLSID_DisplayPage, control_.Get());
    ASSERT_TRUE(page.Active());
    simulator_.Port().StartTrace();
    page.Click(IDC_DISPLAY_BLUE);
    const auto draws = Sent({STM_CLR_DRAW_PLANE});
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(reinterpret_cast<HWND>(draws[0].Param2), Picture(page));
    // The frame is wider than the picture: its scroll bar moves over it, and a repaint draws
    // the plane again.
    SendMessageW(Picture(page), WM_HSCROLL, SB_LINEDOWN, 0);
    EXPECT_EQ(GetScrollPos(Picture(page), SB_HORZ), 16);
    UpdateWindow(Picture(page));
    EXPECT_EQ(Sent({STM_CLR_DRAW_PLANE}).size(), 2u);
}

TEST_F(DisplayPageTest, SurfacesAreManagedAtOnceAndTheirSettingsWrittenOnApply) {
    OpenWithFrame(L"SIM7300");
    const std::wstring image = TempFile(L"display_page.bmp");
    Arg imageName(image.c_str());
    ASSERT_EQ(Invoke(control_.Get(), L"SaveAcquiredFrame", {Long(0), imageName.Get()}).hr, S_OK);

    ActivePage page(CLSID_DisplayPage, control_.Get());
    ASSERT_TRUE(page.Active());
    EXPECT_FALSE(page.Enabled(IDC_DISPLAY_DESTROY));
    for (int i = 0; i < 3; ++i) page.Click(IDC_DISPLAY_ALLOCATE);
    EXPECT_EQ(page.Text(IDC_DISPLAY_SURFACE_COUNT), L"3");
    EXPECT_EQ(page.Entries(IDC_DISPLAY_SURFACE), (std::vector<std::wstring>{L"0", L"1", L"2"}));
    EXPECT_EQ(page.Selection(IDC_DISPLAY_SURFACE), L"2");
    // Destroying the active surface 1 makes 0 active; the list keeps the real ids.
    page.Choose(IDC_DISPLAY_SURFACE, L"1");
    EXPECT_EQ(LongOf(GetProperty(control_.Get(), L"ActiveSurface")), 1);
    page.Click(IDC_DISPLAY_DESTROY);
    EXPECT_EQ(page.Entries(IDC_DISPLAY_SURFACE), (std::vector<std::wstring>{L"0", L"2"}));
    EXPECT_EQ(page.Selection(IDC_DISPLAY_SURFACE), L"0");
    EXPECT_FALSE(page.Dirty());

    // Surface 0: an image, translucent, a color key; then 2 is chosen.
    {
        UiScript script;
        script.Then(L"Open a File", [&](HWND dialog) { ChooseFileInDialog(dialog, image); })
            .Then(L"Color", [](HWND dialog) {
                SetDlgItemTextW(dialog, COLOR_RED, L"10");
                SetDlgItemTextW(dialog, COLOR_GREEN, L"20");
                SetDlgItemTextW(dialog, COLOR_BLUE, L"30");
                Press(dialog, IDOK);
            })
            .Start();
        page.Click(IDC_DISPLAY_BROWSE);
        page.Click(IDC_DISPLAY_COLOR_KEY);
        ASSERT_TRUE(script.Finish());
    }
    page.Click(IDC_DISPLAY_TRANSLUCENT);
    page.Type(IDC_DISPLAY_XORIGIN, L"12");
    EXPECT_EQ(page.Text(IDC_DISPLAY_IMAGE), image);
    EXPECT_TRUE(page.Dirty());
    page.Screenshot(L"page_display");
    page.Choose(IDC_DISPLAY_SURFACE, L"2");
    EXPECT_EQ(page.Text(IDC_DISPLAY_IMAGE), L"");

    simulator_.Port().StartTrace();
    EXPECT_EQ(page.Apply(), S_OK);
    EXPECT_FALSE(page.Dirty());
    const auto sent = Sent({STM_SET_PASSTHRU_SOURCE_ORIGIN, STM_SELECT_SURFACE, STM_GET_SURFACE_DC,
                            STM_SET_SURFACE_COLOR_KEY});
    const std::vector<uint32_t> expected = {
        STM_SET_PASSTHRU_SOURCE_ORIGIN, STM_SET_PASSTHRU_SOURCE_ORIGIN, STM_SELECT_SURFACE,
        STM_GET_SURFACE_DC,             STM_SELECT_SURFACE,             STM_SET_SURFACE_COLOR_KEY,
        STM_SELECT_SURFACE};
    std::vector<uint32_t> order;
    for (const KvTraceRecord& record : sent) order.push_back(record.Message);
    EXPECT_EQ(order, expected);
    if (sent.size() == expected.size()) {
        EXPECT_NE(sent[2].Param1, sent[6].Param1);
    }

    EXPECT_EQ(LongOf(GetProperty(control_.Get(), L"XPassthruOrigin")), 12);
    EXPECT_EQ(LongOf(GetProperty(control_.Get(), L"ActiveSurface")), 2);
    ASSERT_EQ(PutProperty(control_.Get(), L"ActiveSurface", Long(0)).hr, S_OK);
    EXPECT_EQ(TextOf(GetProperty(control_.Get(), L"ImageFile")), image);
    EXPECT_EQ(LongOf(GetProperty(control_.Get(), L"Translucent")), -1);
    EXPECT_EQ(LongOf(GetProperty(control_.Get(), L"ColorKey")), RGB(10, 20, 30));

    // Nothing changed since: a second Apply writes nothing.
    simulator_.Port().StartTrace();
    EXPECT_EQ(page.Apply(), S_OK);
    EXPECT_TRUE(Sent({STM_SET_PASSTHRU_SOURCE_ORIGIN, STM_SELECT_SURFACE}).empty());
    DeleteFileW(image.c_str());
}

TEST_F(DisplayPageTest, ADamagedImageIsRefusedUnderLoadImage) {
    ASSERT_TRUE(OpenBoard(control_.Get(), L"SIM7100"));
    ASSERT_EQ(Invoke(control_.Get(), L"AllocateSurface").hr, S_OK);
    const std::wstring damaged = TempFile(L"display_page_damaged.bmp");
    // Headers that promise far more pixels than the file holds.
    std::ofstream(damaged.c_str(), std::ios::binary)
        << std::string("BM\x40\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\x00\x10\0\0\x00\x10\0\0\x01\0\x18\0", 30)
        << std::string(32, '\0');
    ActivePage page(CLSID_DisplayPage, control_.Get());
    ASSERT_TRUE(page.Active());
    {
        UiScript script;
        script.Then(L"Open a File", [](HWND dialog) { Press(dialog, IDCANCEL); }).Start();
        page.Click(IDC_DISPLAY_BROWSE);
        ASSERT_TRUE(script.Finish());
    }
    EXPECT_FALSE(page.Dirty());
    UiScript script;
    script.Then(L"Open a File", [&](HWND dialog) { ChooseFileInDialog(dialog, damaged); })
        .Then(L"LoadImage", [&](HWND box) {
            script.seen.push_back(MessageBoxText(box));
            Press(box, IDNO);
        })
        .Start();
    page.Click(IDC_DISPLAY_BROWSE);
    ASSERT_TRUE(script.Finish());
    ASSERT_EQ(script.seen.size(), 1u);
    EXPECT_NE(script.seen[0].find(kHelpQuestion), std::wstring::npos);
    EXPECT_GT(script.seen[0].size(), wcslen(kHelpQuestion));
    EXPECT_EQ(page.Text(IDC_DISPLAY_IMAGE), L"");
    EXPECT_FALSE(page.Dirty());
    DeleteFileW(damaged.c_str());
}

// A top-level dialog of this process that holds the Display page's picture.
HWND FrameShowingThePage() {
    HWND found = nullptr;
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            if (process != GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
            const bool holds = EnumChildWindows(
                                   window,
                                   [](HWND child, LPARAM) -> BOOL {
                                       wchar_t name[32] = {};
                                       GetClassNameW(child, name, 32);
                                       return wcscmp(name, L"KV_DISPLAY") != 0;
                                   },
                                   0) == FALSE;
            if (!holds) return TRUE;
            *reinterpret_cast<HWND*>(param) = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// Every board in the platform's property frame, and Apply through the page: no error box.
TEST_F(DisplayPageTest, EveryBoardInThePropertyFrame) {
    for (const SimBoard& board : kSimBoards) {
        SCOPED_TRACE(testing::Message() << std::string(board.name, board.name + wcslen(board.name)));
        ASSERT_TRUE(OpenBoard(control_.Get(), board.name));
        Invoke(control_.Get(), L"AllocateFrame");
        BoxWatcher boxes(L"CDisplayPage::GetProperties");
        {
            ActivePage page(CLSID_DisplayPage, control_.Get());
            ASSERT_TRUE(page.Active());
            page.Click(IDC_DISPLAY_ALLOCATE);
            page.Type(IDC_DISPLAY_YORIGIN, L"0");
            EXPECT_EQ(page.Apply(), S_OK);
        }
        // The frame is closed by its own Cancel button once the page shows in it.
        std::thread closer([] {
            for (int i = 0; i < 500; ++i) {
                Sleep(20);
                if (HWND frame = FrameShowingThePage()) {
                    Press(frame, IDCANCEL);
                    return;
                }
            }
        });
        IUnknown* object = control_.Get();
        CLSID pages[] = {CLSID_DisplayPage};
        const HRESULT shown = OleCreatePropertyFrame(nullptr, 0, 0, L"Display test", 1, &object, 1,
                                                     pages, LOCALE_USER_DEFAULT, 0, nullptr);
        closer.join();
        EXPECT_EQ(shown, S_OK);
        boxes.Stop();
        EXPECT_TRUE(boxes.Texts().empty());
        ASSERT_EQ(Invoke(control_.Get(), L"CloseDevice").hr, S_OK);
    }
}

} // namespace
} // namespace test
