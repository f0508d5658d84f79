// The Digital Camera page: the KV7700's exposure pulse and camera type read and applied, and
// the camera reset's error box on a board without a digital camera.
#include "page_support.h"

#include "digcam_page.h"

namespace test {
namespace {

using DigCamPageTest = PageTest;

TEST_F(DigCamPageTest, ShowsAndAppliesTheCamera) {
    ASSERT_TRUE(OpenBoard(control_.Get(), L"SIM7700"));
    ASSERT_EQ(corvid_->put_EnableExposePulse(VARIANT_TRUE), S_OK);
    ASSERT_EQ(corvid_->put_ExposePulseDuration(500), S_OK);
    ASSERT_EQ(corvid_->put_ExposePulsePolarity(ActiveLow), S_OK);
    ASSERT_EQ(corvid_->put_DigitalCameraType(CAM_10BIT), S_OK);
    {
        ActivePage page(CLSID_DigCamPage, control_.Get());
        ASSERT_TRUE(page.Active());
        EXPECT_EQ(page.Title(), L"Digital Camera");
        EXPECT_TRUE(page.Checked(IDC_DIGCAM_ENABLE));
        EXPECT_TRUE(page.Checked(IDC_DIGCAM_ACTIVE_LOW));
        EXPECT_FALSE(page.Checked(IDC_DIGCAM_ACTIVE_HIGH));
        EXPECT_EQ(page.Text(IDC_DIGCAM_DURATION), L"500");
        for (int type = CAM_16BIT; type <= CAM_8BIT_DUAL; ++type)
            EXPECT_EQ(page.Checked(IDC_DIGCAM_TYPE + type), type == CAM_10BIT) << type;
        page.Screenshot(L"page_digcam");

        page.Click(IDC_DIGCAM_ENABLE);
        page.Click(IDC_DIGCAM_ACTIVE_HIGH);
        page.Type(IDC_DIGCAM_DURATION, L"750");
        page.Click(IDC_DIGCAM_TYPE + CAM_8BIT_DUAL);
        EXPECT_TRUE(page.Checked(IDC_DIGCAM_TYPE + CAM_8BIT_DUAL));
        EXPECT_FALSE(page.Checked(IDC_DIGCAM_TYPE + CAM_10BIT));
        EXPECT_TRUE(page.Dirty());
        EXPECT_EQ(page.Apply(), S_OK);
    }
    VARIANT_BOOL pulse = VARIANT_TRUE;
    PulsePolarityEnum polarity{};
    long duration = 0;
    CameraTypeEnum type{};
    EXPECT_EQ(corvid_->get_EnableExposePulse(&pulse), S_OK);
    EXPECT_EQ(corvid_->get_ExposePulsePolarity(&polarity), S_OK);
    EXPECT_EQ(corvid_->get_ExposePulseDuration(&duration), S_OK);
    EXPECT_EQ(corvid_->get_DigitalCameraType(&type), S_OK);
    EXPECT_EQ(pulse, VARIANT_FALSE);
    EXPECT_EQ(polarity, ActiveHigh);
    EXPECT_EQ(duration, 750);
    EXPECT_EQ(type, CAM_8BIT_DUAL);
}

TEST_F(DigCamPageTest, ResetOnABoardWithoutACameraShowsTheControlsError) {
    ASSERT_TRUE(OpenBoard(control_.Get(), L"SIM7400"));
    const std::wstring description =
        Wide(Invoke(control_.Get(), L"ResetCamera").exception.bstrDescription);
    ASSERT_FALSE(description.empty());

    ActivePage page(CLSID_DigCamPage, control_.Get());
    for (int id : {IDC_DIGCAM_ENABLE, IDC_DIGCAM_ACTIVE_HIGH, IDC_DIGCAM_DURATION, IDC_DIGCAM_TYPE})
        EXPECT_FALSE(page.Enabled(id)) << id;
    ASSERT_TRUE(page.Enabled(IDC_DIGCAM_RESET));
    BoxWatcher box(L"CDigCamPage::OnResetClick");
    page.Click(IDC_DIGCAM_RESET);
    box.Stop();
    EXPECT_EQ(box.Texts(),
              std::vector<std::wstring>{description + L"\nWould you like to see additional help?"});
    // Nothing of the camera is written on a board without one.
    BoxWatcher apply(L"CDigCamPage::Apply");
    EXPECT_EQ(page.Apply(), S_OK);
    apply.Stop();
    EXPECT_TRUE(apply.Texts().empty());
}

} // namespace
} // namespace test
