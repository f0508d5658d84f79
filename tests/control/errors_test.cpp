// Error reporting of a control object made in this program (its core is linked here, with
// the type library and string tables): the results and error information of ReportStatus
// and HandleSystemError, and that both stay silent while a load or save runs.
#include "control_support.h"
#include "corvid.h"

#include <gtest/gtest.h>

namespace test {
namespace {

class ErrorsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_HRESULT_SUCCEEDED(apartment_.Result());
        ComPtr<ICorvid3> object;
        ASSERT_EQ(core::CCorvid::Create(IID_PPV_ARGS(&object)), S_OK);
        control_ = static_cast<core::CCorvid*>(object.Get());
        object_ = object;
        SetErrorInfo(0, nullptr);
    }

    Apartment apartment_;
    ComPtr<ICorvid3> object_;
    core::CCorvid* control_ = nullptr;
};

std::wstring MessageText(UINT id) {
    wchar_t text[512] = {};
    LoadStringW(GetModuleHandleW(nullptr), id, text, 512);
    return text;
}

TEST_F(ErrorsTest, ApiStatusBecomesItsMessageResultWithHelp) {
    EXPECT_EQ(control_->ReportStatus(imaging::STC_STS_NULL, 1234),
              static_cast<HRESULT>(0x80044006));
    ErrorRecord error = TakeErrorInfo();
    ASSERT_TRUE(error.present);
    EXPECT_EQ(error.description, MessageText(16390));
    EXPECT_EQ(error.source, L"Corvid.Corvid.1");
    EXPECT_EQ(error.helpFile, L"corvid.hlp");
    EXPECT_EQ(error.helpContext, 1234u);

    // Warnings and informational statuses keep their severity bits in the message id.
    EXPECT_EQ(control_->ReportStatus(0x92000001, 1, L"other.hlp"),
              static_cast<HRESULT>(0x80042001));
    error = TakeErrorInfo();
    EXPECT_EQ(error.description, MessageText(8193));
    EXPECT_EQ(error.helpFile, L"other.hlp");

    // A status the table has no text for.
    EXPECT_EQ(control_->ReportStatus(0x94000FFF), static_cast<HRESULT>(0x80044FFF));
    EXPECT_EQ(TakeErrorInfo().description, L"Unknown Error");
}

TEST_F(ErrorsTest, ControlMessagesFromF000) {
    EXPECT_EQ(control_->ReportStatus(61440), static_cast<HRESULT>(0x8004F000));
    const ErrorRecord error = TakeErrorInfo();
    EXPECT_EQ(error.description, L"Invalid camera file");
    EXPECT_EQ(error.source, L"Corvid.Corvid.1");
}

TEST_F(ErrorsTest, SystemErrorCodesBelowF000) {
    EXPECT_EQ(control_->ReportStatus(ERROR_FILE_NOT_FOUND), DISP_E_EXCEPTION);
    ErrorRecord error = TakeErrorInfo();
    ASSERT_TRUE(error.present);
    wchar_t expected[260] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   ERROR_FILE_NOT_FOUND, 0, expected, 259, nullptr);
    EXPECT_EQ(error.description, expected);
    EXPECT_TRUE(error.helpFile.empty()); // no help context, so no help

    EXPECT_EQ(control_->HandleSystemError(0), DISP_E_EXCEPTION);
    EXPECT_EQ(TakeErrorInfo().description, L"Unknown error");
}

TEST_F(ErrorsTest, SystemErrorBoxWhenAsked) {
    BoxWatcher watcher(L"Saving the file");
    EXPECT_EQ(control_->HandleSystemError(0, L"Saving the file", true), DISP_E_EXCEPTION);
    watcher.Stop();
    EXPECT_EQ(watcher.Texts(), std::vector<std::wstring>{L"Unknown error"});
}

TEST_F(ErrorsTest, SilentWhileLoadingOrSaving) {
    for (bool loading : {true, false}) {
        control_->Persistence().loading = loading;
        control_->Persistence().saving = !loading;
        EXPECT_EQ(control_->ReportStatus(imaging::STC_STS_NULL), S_OK);
        EXPECT_EQ(control_->ReportStatus(61440), S_OK);
        EXPECT_EQ(control_->ReportStatus(ERROR_FILE_NOT_FOUND), S_OK);
        EXPECT_FALSE(TakeErrorInfo().present);
    }
    control_->Persistence() = {};
}

// Models without level support pass over the levels while a property set is saved.
TEST_F(ErrorsTest, UnsupportedLevelsPassWhilePersisting) {
    ASSERT_EQ(object_->OpenDevice(com::UniqueBstr(L"SIM7300").Get()), S_OK);
    GainEnum gain = GAIN_OF_4;
    EXPECT_EQ(object_->get_Gain(&gain), E_NOTIMPL);
    control_->Persistence().saving = true;
    EXPECT_EQ(object_->get_Gain(&gain), S_OK);
    EXPECT_EQ(gain, GAIN_OF_4); // untouched
    EXPECT_EQ(object_->put_Offset(5), S_OK);
    control_->Persistence() = {};
}

// A board without the digital camera reads the camera properties as 0 while a property set
// loads, and the load goes on.
TEST_F(ErrorsTest, CameraPropertiesReadAsZeroWhileLoading) {
    ASSERT_EQ(object_->OpenDevice(com::UniqueBstr(L"SIM7100").Get()), S_OK);
    LONG duration = -1;
    EXPECT_EQ(object_->get_ExposePulseDuration(&duration), static_cast<HRESULT>(0x80044118));
    EXPECT_TRUE(TakeErrorInfo().present);
    control_->Persistence().loading = true;
    duration = -1;
    CameraTypeEnum type = CAM_8BIT_DUAL;
    EXPECT_EQ(object_->get_ExposePulseDuration(&duration), S_OK);
    EXPECT_EQ(duration, 0);
    EXPECT_EQ(object_->get_DigitalCameraType(&type), S_OK);
    EXPECT_EQ(type, CAM_16BIT);
    EXPECT_FALSE(TakeErrorInfo().present);
    control_->Persistence() = {};
}

} // namespace
} // namespace test
