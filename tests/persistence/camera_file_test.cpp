// Camera files through the installed control: the text written for each property and for
// the active frame, loading it back on every simulated board, and files that are damaged or
// cannot be opened.
#include "persistence_fixture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

namespace persistence_test {
namespace {

constexpr HRESULT kInvalidCameraFile = static_cast<HRESULT>(0x8004F000);
const std::string kHeader = "Vantrel Quillon Frame Grabber Camera File, Format Version 1.0\r\n"
                            "# WARNING: DO NOT EDIT THIS CAMERA FILE!\r\n\r\n";

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

std::string FileText(const std::wstring& name) {
    const std::vector<uint8_t> bytes = frames_test::FileBytes(name);
    return std::string(bytes.begin(), bytes.end());
}

void WriteText(const std::wstring& name, const std::string& text) {
    std::ofstream file(Narrow(name), std::ios::binary | std::ios::trunc);
    file << text;
}

// The line of one property as the format gives it, with the name in 24 characters.
std::string ExpectedLine(const std::wstring& name, const VARIANT& value) {
    char line[300];
    const std::string key = Narrow(name);
    switch (V_VT(&value)) {
    case VT_I4:
    case VT_UI4:
        std::snprintf(line, sizeof line, "%-24s= %d\r\n", key.c_str(), int(V_I4(&value)));
        break;
    case VT_BOOL:
        std::snprintf(line, sizeof line, "%-24s= %d '%s\r\n", key.c_str(), V_BOOL(&value) ? -1 : 0,
                      V_BOOL(&value) ? "True" : "False");
        break;
    default:
        std::snprintf(line, sizeof line, "%-24s= ' unhandled type %d\r\n", key.c_str(),
                      V_VT(&value));
    }
    return line;
}

class CameraFiles : public Persistence {
protected:
    HRESULT Save(const std::wstring& name, IDispatch* control = nullptr) {
        test::Arg file(name.c_str());
        return test::Invoke(control ? control : dispatch_.Get(), L"SaveCameraFile", {file.Get()})
            .hr;
    }
    CallResult Load(const std::wstring& name) {
        test::Arg file(name.c_str());
        return test::Invoke(dispatch_.Get(), L"LoadCameraFile", {file.Get()});
    }
    std::wstring CameraFile() {
        return test::TextOf(test::GetProperty(dispatch_.Get(), L"CameraFile"));
    }
    // The property section the control's present values make.
    std::string PropertySection() {
        ComPtr<MemoryBag> bag = SavedBag(dispatch_.Get());
        std::string text;
        for (auto& [name, value] : bag->values)
            if (name != L"ActiveDevice") text += ExpectedLine(name, value);
        return text;
    }
    std::string FrameSection() {
        char text[400];
        std::snprintf(text, sizeof text,
                      "FrameTop\t\t      = %ld\r\nFrameLeft\t            = %ld\r\n"
                      "FrameHeight             = %ld\r\nFrameWidth              = %ld\r\n"
                      "FrameType               = %ld\r\nFrameStorageMode        = %ld\r\n",
                      Get(dispatch_.Get(), L"FrameTop"), Get(dispatch_.Get(), L"FrameLeft"),
                      Get(dispatch_.Get(), L"FrameHeight"), Get(dispatch_.Get(), L"FrameWidth"),
                      Get(dispatch_.Get(), L"FrameType"),
                      Get(dispatch_.Get(), L"FrameStorageMode"));
        return text;
    }
};

TEST_F(CameraFiles, TheFileIsTheHeaderOneLinePerPropertyAndTheActiveFrame) {
    Open(L"SIM7100");
    ASSERT_EQ(Put(dispatch_.Get(), L"Timeout", 10), S_OK);
    ASSERT_EQ(Put(dispatch_.Get(), L"BasedSourceModeEnable", -1), S_OK);
    const std::wstring name = frames_test::TempFile(L"corvid_layout.cam");
    ASSERT_EQ(Save(name), S_OK);
    const std::string text = FileText(name);
    EXPECT_EQ(text, kHeader + PropertySection());
    EXPECT_NE(text.find("\r\nTimeout                 = 10\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nBasedSourceModeEnable   = -1 'True\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nForeColor               = 0\r\n"), std::string::npos);
    EXPECT_EQ(text.find("ActiveDevice"), std::string::npos);
    EXPECT_EQ(text.find("FrameTop"), std::string::npos);
    EXPECT_EQ(CameraFile(), name);

    Allocate();
    ASSERT_EQ(Save(name), S_OK);
    EXPECT_EQ(FileText(name), kHeader + PropertySection() + FrameSection());
}

TEST_F(CameraFiles, ASavedSetupComesBackOnEveryBoard) {
    for (const test::SimBoard& board : frames_test::kSimBoards) {
        SCOPED_TRACE(Narrow(board.name));
        Open(board.name);
        ASSERT_EQ(Put(dispatch_.Get(), L"Timeout", 5), S_OK);
        ASSERT_EQ(Put(dispatch_.Get(), L"BackColor", 0x00336699), S_OK);
        ASSERT_EQ(Put(dispatch_.Get(), L"FrameHorizontalScale", 50), S_OK);
        LONG frame = -1;
        ASSERT_EQ(control_->AllocateFrame(8, 4, 64, 32, -1, -1, DefaultFrame, DefaultImage, &frame),
                  S_OK);
        const std::string frameSection = FrameSection();
        const std::wstring saved = frames_test::TempFile(L"corvid_setup.cam");
        ASSERT_EQ(Save(saved), S_OK);
        const std::string text = FileText(saved);
        ASSERT_NE(text.find(frameSection), std::string::npos);

        ASSERT_EQ(Put(dispatch_.Get(), L"Timeout", 7), S_OK);
        ASSERT_EQ(Put(dispatch_.Get(), L"BackColor", 0), S_OK);
        ASSERT_EQ(Put(dispatch_.Get(), L"FrameHorizontalScale", 100), S_OK);
        test::Notifications changes(dispatch_.Get());
        CallResult load = Load(saved);
        ASSERT_EQ(load.hr, S_OK);
        EXPECT_EQ(changes.Changed().back(), DispidControlStateChanged);
        // The device was opened again: no frames, and the defaults are the saved frame's.
        EXPECT_EQ(Get(dispatch_.Get(), L"FrameCount"), 0);
        EXPECT_EQ(FrameSection(), frameSection);
        EXPECT_EQ(Get(dispatch_.Get(), L"Timeout"), 5);
        EXPECT_EQ(Get(dispatch_.Get(), L"BackColor"), 0x00336699);
        EXPECT_EQ(test::TextOf(test::GetProperty(dispatch_.Get(), L"ActiveDevice")), board.name);

        const std::wstring again = frames_test::TempFile(L"corvid_again.cam");
        ASSERT_EQ(Save(again), S_OK);
        EXPECT_EQ(FileText(again), text.substr(0, text.find("FrameTop")));
    }
}

TEST_F(CameraFiles, TheHeaderMustNameMajorVersionOne) {
    Open(L"SIM7100");
    const std::wstring name = frames_test::TempFile(L"corvid_version.cam");
    ASSERT_EQ(Save(name), S_OK);
    std::string text = FileText(name);
    ASSERT_EQ(Put(dispatch_.Get(), L"Timeout", 3), S_OK);
    const size_t version = text.find("1.0");
    text.replace(version, 3, "2.0");
    WriteText(name, text);
    CallResult load = Load(name);
    EXPECT_EQ(load.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(load.exception.scode, kInvalidCameraFile);
    EXPECT_EQ(test::Wide(load.exception.bstrDescription), L"Invalid camera file");
    EXPECT_EQ(Get(dispatch_.Get(), L"Timeout"), 3);

    text.replace(version, 3, "1.7");
    WriteText(name, text);
    EXPECT_EQ(Load(name).hr, S_OK);
    EXPECT_NE(Get(dispatch_.Get(), L"Timeout"), 3);

    WriteText(name, "");
    EXPECT_EQ(Load(name).exception.scode, kInvalidCameraFile);
    WriteText(name, "Timeout = 5\r\n");
    EXPECT_EQ(Load(name).exception.scode, kInvalidCameraFile);
}

// A frame section the device refuses, or one that cannot be read, fails the load and
// changes nothing: frames are still allocated with the geometry they had.
TEST_F(CameraFiles, RefusedOrDamagedFrameSectionsAreNotApplied) {
    Open(L"SIM7100");
    LONG frame = -1;
    ASSERT_EQ(control_->AllocateFrame(8, 4, 64, 32, -1, -1, DefaultFrame, DefaultImage, &frame),
              S_OK);
    const std::wstring name = frames_test::TempFile(L"corvid_frame.cam");
    ASSERT_EQ(Save(name), S_OK);
    const std::string text = FileText(name);
    constexpr HRESULT kRange = static_cast<HRESULT>(0x80044004);
    const struct {
        const char* key;
        const char* value;
        HRESULT error;
    } cases[] = {
        {"FrameTop", "-1", kRange},
        {"FrameWidth", "2147483647", kRange},
        {"FrameTop", "abc", kInvalidCameraFile},
    };
    for (const auto& c : cases) {
        std::string changed = text;
        const size_t at = changed.find('=', changed.find(c.key)) + 2;
        changed.replace(at, changed.find('\r', at) - at, c.value);
        WriteText(name, changed);
        const CallResult load = Load(name);
        EXPECT_EQ(load.hr, DISP_E_EXCEPTION) << c.key << " " << c.value;
        EXPECT_EQ(load.exception.scode, c.error) << c.key << " " << c.value;
        LONG next = -1;
        EXPECT_EQ(control_->AllocateFrame(-1, -1, -1, -1, -1, -1, DefaultFrame, DefaultImage, &next),
                  S_OK)
            << c.key << " " << c.value;
        EXPECT_EQ(control_->DestroyFrame(next), S_OK);
    }
    // A device name is no camera file; its reads would block.
    for (const wchar_t* device : {L"COM1", L"\\\\.\\NUL"}) {
        const CallResult load = Load(device);
        EXPECT_EQ(load.hr, DISP_E_EXCEPTION);
        EXPECT_NE(load.exception.scode, kInvalidCameraFile) << "refused unread";
    }
}

TEST_F(CameraFiles, AMissingLineLeavesItAndEveryLaterPropertyAndTheFrame) {
    Open(L"SIM7100");
    ASSERT_EQ(Put(dispatch_.Get(), L"Timeout", 4), S_OK);
    Allocate();
    const std::wstring name = frames_test::TempFile(L"corvid_missing.cam");
    ASSERT_EQ(Save(name), S_OK);
    const LONG savedWidth = Get(dispatch_.Get(), L"FrameWidth");
    std::string text = FileText(name);
    const size_t offset = text.find("Offset ");
    ASSERT_NE(offset, std::string::npos);
    text.erase(offset, text.find('\n', offset) + 1 - offset);
    std::string changed = text;
    changed.replace(changed.find("FrameWidth              = "), std::string::npos,
                    "FrameWidth              = 16\r\nFrameType               = 0\r\n"
                    "FrameStorageMode        = 0\r\n");
    WriteText(name, changed);

    ASSERT_EQ(Put(dispatch_.Get(), L"Timeout", 9), S_OK);
    ASSERT_EQ(Put(dispatch_.Get(), L"BackColor", 0x000123), S_OK);
    ASSERT_EQ(Put(dispatch_.Get(), L"ForeColor", 0x0000FF), S_OK);
    ASSERT_EQ(Load(name).hr, S_OK);
    EXPECT_EQ(Get(dispatch_.Get(), L"Timeout"), 4); // before Offset
    // After it, the control keeps its own values.
    EXPECT_EQ(Get(dispatch_.Get(), L"BackColor"), 0x000123);
    EXPECT_EQ(Get(dispatch_.Get(), L"ForeColor"), 0x0000FF);
    EXPECT_EQ(Get(dispatch_.Get(), L"FrameWidth"), savedWidth);
}

TEST_F(CameraFiles, BooleanLinesReadTheirNumberAndTruncatedFilesKeepTheRest) {
    Open(L"SIM7100");
    const std::wstring name = frames_test::TempFile(L"corvid_bool.cam");
    ASSERT_EQ(Save(name), S_OK);
    std::string text = FileText(name);
    const std::string falseLine = "BasedSourceModeEnable   = 0 'False";
    const size_t line = text.find(falseLine);
    ASSERT_NE(line, std::string::npos);
    text.replace(line, falseLine.size(), "BasedSourceModeEnable   = -1 'False");
    WriteText(name, text);
    ASSERT_EQ(Load(name).hr, S_OK);
    EXPECT_EQ(Get(dispatch_.Get(), L"BasedSourceModeEnable"), -1);

    text.replace(line, std::string::npos, "BasedSourceModeEnable   = 0 'True\r\nBasedSo");
    WriteText(name, text);
    ASSERT_EQ(Put(dispatch_.Get(), L"ForeColor", 0x00FF00), S_OK);
    ASSERT_EQ(Load(name).hr, S_OK);
    EXPECT_EQ(Get(dispatch_.Get(), L"BasedSourceModeEnable"), 0);
    EXPECT_EQ(Get(dispatch_.Get(), L"ForeColor"), 0x00FF00);

    WriteText(name, kHeader);
    ASSERT_EQ(Load(name).hr, S_OK);
    EXPECT_EQ(Get(dispatch_.Get(), L"ForeColor"), 0x00FF00);
}

TEST_F(CameraFiles, APathThatCannotBeOpenedIsASystemError) {
    Open(L"SIM7100");
    const std::wstring name = frames_test::TempFile(L"corvid_no_such_folder\\setup.cam");
    CallResult save =
        test::Invoke(dispatch_.Get(), L"SaveCameraFile", {test::Arg(name.c_str()).Get()});
    EXPECT_EQ(save.hr, DISP_E_EXCEPTION);
    const std::wstring description = test::Wide(save.exception.bstrDescription);
    EXPECT_FALSE(description.empty());
    EXPECT_EQ(CameraFile(), name);

    test::Notifications changes(dispatch_.Get());
    CallResult load = Load(name);
    EXPECT_EQ(load.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(test::Wide(load.exception.bstrDescription), description);
    EXPECT_EQ(changes.Changed(), std::vector<DISPID>{DispidControlStateChanged});
    EXPECT_EQ(CameraFile(), name);
}

TEST_F(CameraFiles, AnEmptyNameOnlyNotifies) {
    Open(L"SIM7100");
    const std::wstring name = frames_test::TempFile(L"corvid_empty_name.cam");
    ASSERT_EQ(Save(name), S_OK);
    test::Notifications changes(dispatch_.Get());
    simulator_.Port().StartTrace();
    EXPECT_EQ(Load(L"").hr, S_OK);
    EXPECT_EQ(changes.Changed(), std::vector<DISPID>{DispidControlStateChanged});
    EXPECT_EQ(Save(L""), S_OK);
    EXPECT_EQ(changes.Changed(),
              (std::vector<DISPID>{DispidControlStateChanged, DispidActiveDevice}));
    EXPECT_TRUE(simulator_.Port().Trace().empty());
    simulator_.Port().StopTrace();
    EXPECT_EQ(CameraFile(), L"");

    ASSERT_EQ(Save(name), S_OK);
    EXPECT_EQ(CameraFile(), name);
    ASSERT_EQ(test::PutProperty(dispatch_.Get(), L"ActiveDevice", test::Arg(L"").Get()).hr, S_OK);
    EXPECT_EQ(CameraFile(), L"");
}

TEST_F(CameraFiles, WithoutADeviceTheFileHoldsTheHeaderAndLoadingClearsTheName) {
    BSTR file = nullptr;
    ASSERT_EQ(control_->get_CameraFile(&file), S_OK);
    EXPECT_EQ(test::Wide(file), L"");
    SysFreeString(file);
    EXPECT_EQ(control_->get_CameraFile(nullptr), E_POINTER);
    const std::wstring name = frames_test::TempFile(L"corvid_closed.cam");
    ASSERT_EQ(Save(name), S_OK);
    EXPECT_EQ(FileText(name).substr(0, kHeader.size()), kHeader);
    EXPECT_EQ(Load(name).hr, S_OK);
    EXPECT_EQ(CameraFile(), L""); // loading put the empty device back, which clears the name
}

} // namespace
} // namespace persistence_test
