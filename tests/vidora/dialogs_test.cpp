// The Setup menu's dialogs and About, opened from the menu command on a board that offers
// them and driven through their windows from a second thread, as an operator drives them.
#include "resource.h"
#include "vidora_fixture.h"

#include <gtest/gtest.h>

namespace vidora {
namespace {

std::wstring ItemText(HWND dialog, int id) {
    wchar_t text[256] = L"";
    GetDlgItemTextW(dialog, id, text, 256);
    return text;
}
bool ItemEnabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)); }
bool ItemChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
// Reports a click to the dialog and returns once it is handled (any box it shows is answered by
// the fixture's watchers). Buttons that open a further dialog are pressed with test::Press.
void Click(HWND dialog, int id, WORD code = BN_CLICKED) {
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}
// Selects an option of a group and reports the click as the button would.
void Choose(HWND dialog, int first, int last, int id) {
    CheckRadioButton(dialog, first, last, id);
    Click(dialog, id);
}
void Tick(HWND dialog, int id, bool on) {
    CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED);
    Click(dialog, id);
}
// Waits until the dialog has handled the messages sent to it before.
void Settle(HWND dialog) { SendMessageW(dialog, WM_NULL, 0, 0); }

using Getter = HRESULT (STDMETHODCALLTYPE ICorvid3::*)(long*);

class VidoraDialogsTest : public VidoraTest {
protected:
    // Runs a menu command whose dialog the action answers; fails when it never appeared.
    void Dialog(int command, const std::wstring& caption, std::function<void(HWND)> action) {
        UiScript script;
        script.Then(caption, [action = std::move(action), caption](HWND dialog) {
            action(dialog);
            // A dialog left open (a refused write keeps it open) is cancelled, so nothing hangs.
            for (int i = 0; i < 300 && IsWindow(dialog); ++i) Sleep(10);
            if (IsWindow(dialog)) {
                ADD_FAILURE() << "still open: " << std::string(caption.begin(), caption.end());
                test::Press(dialog, IDCANCEL);
            }
        });
        script.Start();
        main_.RunCommand(command);
        EXPECT_TRUE(script.Finish()) << std::string(caption.begin(), caption.end());
    }
    // One picture of a dialog per caption, taken from the script's thread.
    static void Shot(HWND dialog, const std::wstring& caption) {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        Settle(dialog);
        RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        Sleep(150);
        std::wstring name = L"dialog-";
        for (wchar_t c : caption) name += iswalnum(c) ? towlower(c) : L'-';
        EXPECT_HRESULT_SUCCEEDED(test::SavePng(test::CaptureWindow(dialog),
                                               std::wstring(VIDORA_SCREENSHOTS) + L"/" + name + L".png"));
        CoUninitialize();
    }
    long Get(Getter get) { return Property(get); }
    // The number of driver messages the board received since the trace started.
    std::size_t DriverMessages() { return simulator_.Port().Trace().size(); }
};

// The text boxes that show a control property as it is, checked in one pass per dialog:
// shown as read, changed, then Cancel writes nothing.
struct ShownField {
    int id;
    Getter get;
};
struct ShownDialog {
    const wchar_t* board;
    int command;
    const wchar_t* caption;
    std::vector<ShownField> fields;
};

TEST_F(VidoraDialogsTest, DialogsShowTheControlsValuesAndCancelWritesNothing) {
    const ShownDialog dialogs[] = {
        {L"SIM7100", IDM_SET_TIMEOUT, L"Set Timeout", {{IDC_TIMEOUT, &ICorvid3::get_Timeout}}},
        {L"SIM7100", IDM_ACTIVE_VIDEO_AREA, L"Setup Active Video Area",
         {{IDC_AVA_ROWS + 1, &ICorvid3::get_TotalPixelsPerLine},
          {IDC_AVA_ROWS + 5, &ICorvid3::get_BackPorchStart},
          {IDC_AVA_ROWS + 21, &ICorvid3::get_ActivePixelCount},
          {IDC_AVA_ROWS + 33, &ICorvid3::get_ActiveLineCount}}},
        {L"SIM7100", IDM_PROGRAMMABLE_AD, L"Setup Programmable A/D",
         {{IDC_REFERENCE, &ICorvid3::get_Reference}}},
        {L"SIM7400", IDM_FRAME_SIZE, L"Setup Frame Size",
         {{IDC_FS_ROWS + 9, &ICorvid3::get_FrameWidth}, {IDC_FS_ROWS + 13, &ICorvid3::get_FrameHeight}}},
        {L"SIM7400", IDM_SYNC_MASTER, L"Setup Sync Master",
         {{IDC_SM_ROWS + 1, &ICorvid3::get_HorizontalFrequency},
          {IDC_SM_ROWS + 13, &ICorvid3::get_Phase}}},
        {L"SIM7700", IDM_CAMERA_EXPOSURE, L"Setup Camera Exposure", {}},
        {L"SIM7700", IDM_SET_CAMERA_TYPE, L"Setup Camera Type", {}},
        {L"SIM7100", IDM_SELECT_INPUT_SOURCE, L"Select Input Source", {}},
        {L"SIM7100", IDM_INPUT_FILTER, L"Setup Input Filter", {}},
        {L"SIM7100", IDM_VIDEO_INPUT_TYPE, L"Setup Video Input Type", {}},
        {L"SIM7100", IDM_FRAME_TYPE, L"Setup Frame Type", {}},
        {L"SIM7100", IDM_SYNC_SENTINEL, L"Setup Sync Sentinel", {}},
        {L"SIM7100", IDM_PIXEL_CLOCK, L"Setup Pixel Clock", {}},
        {L"SIM7100", IDM_EXTERNAL_TRIGGER, L"Setup External Trigger", {}},
        {L"SIM7100", IDM_DIGITAL_IO, L"Setup Digital I/O", {}},
    };
    std::wstring open;
    for (const ShownDialog& d : dialogs) {
        if (open != d.board) OpenDevice(open = d.board);
        std::vector<long> before;
        for (const ShownField& f : d.fields) before.push_back(Get(f.get));
        Dialog(d.command, d.caption, [&](HWND dialog) {
            Settle(dialog);
            for (std::size_t i = 0; i < d.fields.size(); ++i) {
                EXPECT_EQ(ItemText(dialog, d.fields[i].id), std::to_wstring(before[i])) << d.caption;
                SetDlgItemTextW(dialog, d.fields[i].id, L"1");
            }
            Shot(dialog, d.caption);
            test::Press(dialog, d.command == IDM_EXTERNAL_TRIGGER ? IDC_TRIGGER_CANCEL : IDCANCEL);
        });
        for (std::size_t i = 0; i < d.fields.size(); ++i) EXPECT_EQ(Get(d.fields[i].get), before[i]);
    }
}

TEST_F(VidoraDialogsTest, ActiveVideoAreaTypingRulesAndOkWritesTheRows) {
    OpenDevice(L"SIM7100");
    const int edit = IDC_AVA_ROWS + 21, upDown = IDC_AVA_ROWS + 22;  // active pixel count
    const long count = Get(&ICorvid3::get_ActivePixelCount);
    Dialog(IDM_ACTIVE_VIDEO_AREA, L"Setup Active Video Area", [&](HWND dialog) {
        int min = 0, max = 0;
        SendDlgItemMessageW(dialog, upDown, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&min),
                            reinterpret_cast<LPARAM>(&max));
        ASSERT_LT(min, max);
        SetDlgItemTextW(dialog, edit, std::to_wstring(max + 1000).c_str());
        EXPECT_EQ(ItemText(dialog, edit), std::to_wstring(max));  // replaced at once
        const long position = static_cast<long>(SendDlgItemMessageW(dialog, upDown, UDM_GETPOS32, 0, 0));
        EXPECT_EQ(position, max);
        if (min > 0) {
            SetDlgItemTextW(dialog, edit, std::to_wstring(min - 1).c_str());
            EXPECT_EQ(ItemText(dialog, edit), std::to_wstring(min - 1));  // left as typed
            EXPECT_EQ(SendDlgItemMessageW(dialog, upDown, UDM_GETPOS32, 0, 0), position);
        }
        // Non-numeric text: the error box, and the dialog stays open for a correction.
        SetDlgItemTextW(dialog, edit, L"abc");
        Click(dialog, IDOK);
        EXPECT_TRUE(IsWindow(dialog));
        SetDlgItemTextW(dialog, edit, std::to_wstring(count - 8).c_str());
        test::Press(dialog, IDOK);
    });
    EXPECT_EQ(errors_.Texts().size(), 1u);
    expectedErrors_ = 1;
    EXPECT_EQ(Get(&ICorvid3::get_ActivePixelCount), count - 8);
}

TEST_F(VidoraDialogsTest, FrameSizeAndTypeChangeOnlyTheProgramsCopies) {
    OpenDevice(L"SIM7100");  // type 32: only the scales are editable
    const long width = Get(&ICorvid3::get_FrameWidth);
    Dialog(IDM_FRAME_SIZE, L"Setup Frame Size", [&](HWND dialog) {
        for (int row = 0; row < 6; ++row) EXPECT_EQ(ItemEnabled(dialog, IDC_FS_ROWS + 4 * row + 1), row >= 4);
        SetDlgItemTextW(dialog, IDC_FS_ROWS + 17, L"50");
        test::Press(dialog, IDOK);
    });
    EXPECT_EQ(main_.State().AcqHScale, 50);
    EXPECT_EQ(main_.State().AcqWidth, width);
    EXPECT_EQ(Get(&ICorvid3::get_FrameWidth), width);

    long limits = 0;
    ASSERT_EQ(main_.Control()->QueryInputCaps(STC_FG_IC_FRAME_TYPE_LIMITS, &limits, 4), S_OK);
    FrameTypeEnum current;
    ASSERT_EQ(main_.Control()->get_FrameType(&current), S_OK);
    long chosen = 0;
    Dialog(IDM_FRAME_TYPE, L"Setup Frame Type", [&](HWND dialog) {
        for (int i = 0; i < 7; ++i) {
            const long bit = 1L << i;
            EXPECT_EQ(ItemEnabled(dialog, IDC_FT_OPTIONS + i), (limits & bit) != 0) << bit;
            EXPECT_EQ(ItemChecked(dialog, IDC_FT_OPTIONS + i), current == bit) << bit;
            if ((limits & bit) && bit != current) chosen = bit;
        }
        if (chosen) Choose(dialog, IDC_FT_OPTIONS, IDC_FT_OPTIONS + 6, IDC_FT_OPTIONS + __builtin_ctzl(chosen));
        test::Press(dialog, IDOK);
    });
    ASSERT_NE(chosen, 0);
    EXPECT_EQ(main_.State().AcqFrameType, chosen);
    FrameTypeEnum after;
    ASSERT_EQ(main_.Control()->get_FrameType(&after), S_OK);
    EXPECT_EQ(after, current);
}

TEST_F(VidoraDialogsTest, InputDialogsWriteTheChoiceInTheControlsUnits) {
    OpenDevice(L"SIM7400");
    // Gain ".5" is 50; the sentinel's 5.5 percent is 550 hundredths; a timeout of 0 passes.
    Dialog(IDM_PROGRAMMABLE_AD, L"Setup Programmable A/D", [](HWND dialog) {
        SetDlgItemTextW(dialog, IDC_GAIN, L".5");
        test::Press(dialog, IDOK);
    });
    GainEnum gain;
    ASSERT_EQ(main_.Control()->get_Gain(&gain), S_OK);
    EXPECT_EQ(gain, 50);
    Dialog(IDM_PROGRAMMABLE_AD, L"Setup Programmable A/D", [](HWND dialog) {
        EXPECT_EQ(ItemText(dialog, IDC_GAIN), L"0.5");
        test::Press(dialog, IDCANCEL);
    });
    Dialog(IDM_SYNC_SENTINEL, L"Setup Sync Sentinel", [](HWND dialog) {
        if (!ItemEnabled(dialog, IDC_SYNC_SENTINEL)) return test::Press(dialog, IDCANCEL);
        CheckDlgButton(dialog, IDC_SYNC_SENTINEL, BST_CHECKED);
        SetDlgItemTextW(dialog, IDC_SS_ROWS + 1, L"5.5");
        test::Press(dialog, IDOK);
    });
    EXPECT_EQ(Get(&ICorvid3::get_HSyncSearchPos), 550);
    Dialog(IDM_SET_TIMEOUT, L"Set Timeout", [](HWND dialog) {
        SetDlgItemTextW(dialog, IDC_TIMEOUT, L"0");
        test::Press(dialog, IDOK);
    });
    EXPECT_EQ(Get(&ICorvid3::get_Timeout), 0);

    // A sync source the list does not name leaves the source as it is.
    SyncSourceEnum source;
    ASSERT_EQ(main_.Control()->get_SyncSource(&source), S_OK);
    Dialog(IDM_VIDEO_INPUT_TYPE, L"Setup Video Input Type", [](HWND dialog) {
        Choose(dialog, IDC_COMPOSITE, IDC_RGB, IDC_COMPOSITE);
        SetDlgItemTextW(dialog, IDC_SYNC_SOURCE, L"Channel 9");
        test::Press(dialog, IDOK);
    });
    SyncSourceEnum after;
    ASSERT_EQ(main_.Control()->get_SyncSource(&after), S_OK);
    EXPECT_EQ(after, source);

    // The external trigger sets the flag the stop of live video relies on.
    Dialog(IDM_EXTERNAL_TRIGGER, L"Setup External Trigger", [](HWND dialog) {
        Tick(dialog, IDC_EXTERNAL_TRIGGER, true);
        Settle(dialog);
        EXPECT_TRUE(ItemEnabled(dialog, IDC_TRIGGER_LOW_TO_HIGH));
        Choose(dialog, IDC_TRIGGER_LOW_TO_HIGH, IDC_TRIGGER_HIGH_TO_LOW, IDC_TRIGGER_LOW_TO_HIGH);
        test::Press(dialog, IDC_TRIGGER_OK);
    });
    EXPECT_TRUE(main_.State().ExternalTriggerOn);
    EXPECT_EQ(Get(reinterpret_cast<Getter>(&ICorvid3::get_TriggerType)), ExternalTrigger);
}

TEST_F(VidoraDialogsTest, SevenHundredDeviceTypeHasNoGain) {
    OpenDevice(L"SIM7100");  // the board has no gain: the dialog neither shows nor writes one
    Dialog(IDM_PROGRAMMABLE_AD, L"Setup Programmable A/D", [](HWND dialog) {
        EXPECT_FALSE(ItemEnabled(dialog, IDC_GAIN));
        SetDlgItemTextW(dialog, IDC_GAIN, L"4");
        test::Press(dialog, IDOK);
    });
    EXPECT_TRUE(errors_.Texts().empty());
}

TEST_F(VidoraDialogsTest, RemindersComeBackAfterADeviceOpen) {
    // The camera wait note shows for the deep types only, until the operator clears its box.
    OpenDevice(L"SIM7700");
    auto cameraType = [this](int option, bool expectNote, bool clearReminder) {
        UiScript script;
        script.Then(L"Setup Camera Type", [option](HWND dialog) {
            Choose(dialog, IDC_CT_OPTIONS, IDC_CT_OPTIONS + 5, IDC_CT_OPTIONS + option);
            test::Press(dialog, IDOK);
        });
        if (expectNote)
            script.Then(L"Information", [clearReminder](HWND note) {
                EXPECT_TRUE(ItemChecked(note, IDC_REMIND_CAMERA_WAIT));
                if (clearReminder) CheckDlgButton(note, IDC_REMIND_CAMERA_WAIT, BST_UNCHECKED);
                test::Press(note, IDC_CAMERA_WAIT_OK);
            });
        const std::size_t notes = information_.Texts().size();
        script.Start();
        main_.RunCommand(IDM_SET_CAMERA_TYPE);
        EXPECT_TRUE(script.Finish());
        EXPECT_EQ(information_.Texts().size() - notes, expectNote ? 1u : 0u) << option;
    };
    cameraType(0, false, false);  // 8 bit single
    EXPECT_EQ(Get(reinterpret_cast<Getter>(&ICorvid3::get_DigitalCameraType)), CAM_8BIT_SINGLE);
    cameraType(3, true, true);  // 12 bit, reminder cleared
    EXPECT_EQ(Get(reinterpret_cast<Getter>(&ICorvid3::get_DigitalCameraType)), CAM_12BIT);
    cameraType(4, false, false);  // 14 bit: no note any more
    OpenDevice(L"SIM7700");
    cameraType(5, true, false);  // back after the open

    // The external pixel clock warning likewise.
    long sources = 0;
    ASSERT_EQ(main_.Control()->QueryInputCaps(STC_FG_IC_CLOCK_SOURCE_LIMITS, &sources, 4), S_OK);
    ASSERT_TRUE(sources & 2);
    auto external = [this](bool expectWarning, bool clearReminder) {
        UiScript script;
        script.Then(L"Setup Pixel Clock", [](HWND dialog) {
            Choose(dialog, IDC_INTERNAL_CLOCK, IDC_EXTERNAL_CLOCK, IDC_EXTERNAL_CLOCK);
            test::Press(dialog, IDOK);
        });
        if (expectWarning)
            script.Then(L"Warning...", [clearReminder](HWND warning) {
                Shot(warning, L"Warning");
                if (clearReminder) CheckDlgButton(warning, IDC_REMIND_PIXEL_CLOCK, BST_UNCHECKED);
                test::Press(warning, IDC_PIXEL_CLOCK_WARNING_OK);
            });
        script.Start();
        main_.RunCommand(IDM_PIXEL_CLOCK);
        EXPECT_TRUE(script.Finish());
        EXPECT_FALSE(test::FindTopWindow(L"Warning..."));
    };
    external(true, true);
    EXPECT_EQ(Get(reinterpret_cast<Getter>(&ICorvid3::get_ClockSource)), ExternalClock);
    EXPECT_FALSE(main_.State().RemindPixelClock);
    external(false, false);
    OpenDevice(L"SIM7700");
    EXPECT_TRUE(main_.State().RemindPixelClock);
}

TEST_F(VidoraDialogsTest, DigitalIoLampsWriteAndNoReadsWithoutInputLines) {
    for (const wchar_t* board : {L"SIM7100", L"SIM7500"}) {
        OpenDevice(board);
        long in = 0, out = 0;
        ASSERT_EQ(main_.Control()->get_DigInCaps(&in), S_OK);
        ASSERT_EQ(main_.Control()->get_DigOutCaps(&out), S_OK);
        long config = 0;
        ASSERT_EQ(main_.Control()->get_DigIOConfig(&config), S_OK);
        const int line = __builtin_ctzl(out ? out : 1);
        std::vector<long> patterns;
        Dialog(IDM_DIGITAL_IO, L"Setup Digital I/O", [&](HWND dialog) {
            Choose(dialog, IDC_DIO_IN + line, IDC_DIO_OUT + line, IDC_DIO_OUT + line);
            for (int click = 0; click < 2; ++click) {
                Click(dialog, IDC_DIO_WRITE + line, STN_CLICKED);
                long pattern = -1;
                main_.Control()->get_DigIOPattern(&pattern);
                patterns.push_back(pattern & out);  // a read also carries the input lines
            }
            // Three read periods: the reads of the input lines reach the board meanwhile.
            simulator_.Port().StartTrace();
            Sleep(1600);
            simulator_.Port().StopTrace();
            test::Press(dialog, IDCANCEL);
        });
        if (out) {
            EXPECT_EQ(patterns, (std::vector<long>{1L << line, 0})) << board;
        }
        const std::size_t messagesWithDialogOpen = DriverMessages();
        // Without input lines nothing is read while the dialog is open.
        if (in == 0) {
            EXPECT_EQ(messagesWithDialogOpen, 0u) << board;
        }
    }
}

TEST_F(VidoraDialogsTest, ColorDialogRunsLiveVideoWhileOpen) {
    OpenDevice(L"SIM7500");
    bool liveWhileOpen = false;
    std::vector<bool> notAvailable;
    Dialog(IDM_COLOR_IMAGE_PARAMETERS, L"Setup Color Image Parameters", [&](HWND dialog) {
        Settle(dialog);
        liveWhileOpen = Enabled(IDM_STOP_PASSTHRU);
        for (int row = 0; row < 11; ++row) {
            const bool na = ItemText(dialog, IDC_CP_ROWS + 3 * row + 1) == L"N/A";
            notAvailable.push_back(na);
            EXPECT_EQ(ItemEnabled(dialog, IDC_CP_ROWS + 3 * row + 2), !na);
        }
        Shot(dialog, L"Setup Color Image Parameters");
        // Enter in the brightness box writes it at once.
        const HWND brightness = GetDlgItem(dialog, IDC_CP_ROWS + 19);
        if (IsWindowEnabled(brightness)) {
            SetWindowTextW(brightness, L"7");
            SendMessageW(brightness, WM_KEYDOWN, VK_RETURN, 0);
        }
        test::Press(dialog, IDCANCEL);
    });
    EXPECT_TRUE(liveWhileOpen);
    EXPECT_FALSE(Enabled(IDM_STOP_PASSTHRU));  // stopped, with a still frame
    EXPECT_TRUE(Enabled(IDM_START_PASSTHRU));
    ASSERT_EQ(notAvailable.size(), 11u);
    if (!notAvailable[6]) {
        EXPECT_EQ(Get(&ICorvid3::get_Brightness), 7);
    }
}

TEST_F(VidoraDialogsTest, AboutShowsTheVersionRecord) {
    Dialog(IDM_ABOUT_VIDORA, L"About Vidora", [](HWND dialog) {
        EXPECT_EQ(ItemText(dialog, IDC_ABOUT_TITLE), L"Vidora");
        EXPECT_EQ(ItemText(dialog, IDC_ABOUT_VERSION).rfind(L"Version ", 0), 0u);
        EXPECT_EQ(ItemText(dialog, IDC_ABOUT_COMPANY), L"Quillon\r\nCopyright (C) 2026 Quillon");
        EXPECT_EQ(ItemText(dialog, IDC_ABOUT_DESCRIPTION),
                  L"Description: \r\nVidora frame grabber acquisition program");
        EXPECT_EQ(ItemText(dialog, IDC_ABOUT_DISCLAIMER).rfind(L"Warning: Settings written", 0), 0u);
        Shot(dialog, L"About Vidora");
        test::Press(dialog, IDOK);
    });
}

} // namespace
} // namespace vidora
