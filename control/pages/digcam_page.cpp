// The Digital Camera page: the exposure pulse and the camera type of the KV7700's digital
// camera, and the camera reset.
#include "digcam_page.h"

#include "page_form.h"

#include <memory>

namespace pages {
namespace {

constexpr wchar_t kReadSource[] = L"CDigCamPage::OnInitDialog";
constexpr wchar_t kResetSource[] = L"CDigCamPage::OnResetClick";
constexpr wchar_t kApplySource[] = L"CDigCamPage::Apply";
constexpr DISPID kActiveDeviceId = 203;
constexpr DISPID kControlStateId = 209;
constexpr int kCameraTypes = CAM_8BIT_DUAL + 1;
constexpr int kPolarities = ActiveLow + 1;

struct Camera {
    bool pulse = false;
    long polarity = ActiveHigh;
    long duration = 0; // microseconds
    long type = CAM_16BIT;
};

class DigCamForm final : public PageForm {
public:
    DigCamForm() {
        OnClick(IDC_DIGCAM_ENABLE, [this] {
            camera_.pulse = Checked(IDC_DIGCAM_ENABLE);
            SetDirty();
        });
        for (int n = 0; n < kPolarities; ++n)
            OnClick(IDC_DIGCAM_ACTIVE_HIGH + n, [this, n] { Pick(camera_.polarity, n); });
        for (int n = 0; n < kCameraTypes; ++n)
            OnClick(IDC_DIGCAM_TYPE + n, [this, n] { Pick(camera_.type, n); });
        On(IDC_DIGCAM_DURATION, EN_CHANGE, [this] {
            camera_.duration = static_cast<long>(Unsigned(IDC_DIGCAM_DURATION));
            SetDirty();
        });
        OnClick(IDC_DIGCAM_RESET, [this] {
            // The control itself says whether the board has a camera to reset.
            if (ICorvid3* control = Control()) {
                const HRESULT hr = control->ResetCamera();
                if (FAILED(hr)) Present(hr, kResetSource);
                SetDirty();
            }
        });
    }

    void Initialize() override { Read(); }

    void PropertyChanged(DISPID id) override {
        if (id == kActiveDeviceId || id == kControlStateId) Read();
    }

    HRESULT Apply() override {
        ICorvid3* control = Control();
        if (!control || !cameraBoard_) return S_OK;
        HRESULT hr;
        if (FAILED(hr = control->put_EnableExposePulse(camera_.pulse ? VARIANT_TRUE
                                                                      : VARIANT_FALSE)) ||
            FAILED(hr = control->put_ExposePulsePolarity(
                       static_cast<PulsePolarityEnum>(camera_.polarity))) ||
            FAILED(hr = control->put_ExposePulseDuration(camera_.duration)) ||
            FAILED(hr = control->put_DigitalCameraType(static_cast<CameraTypeEnum>(camera_.type))))
            return Present(hr, kApplySource);
        return S_OK;
    }

private:
    void Pick(long& value, int n) {
        value = n;
        Show();
        SetDirty();
    }

    void Read() {
        const long deviceType = DeviceType();
        open_ = deviceType != 0;
        cameraBoard_ = deviceType == KV7700;
        Camera camera;
        const HRESULT hr = cameraBoard_ ? ReadCamera(camera) : S_OK;
        if (FAILED(hr)) {
            cameraBoard_ = false; // nothing of it is known
            Present(hr, kReadSource);
        }
        camera_ = SUCCEEDED(hr) ? camera : Camera{};
        Show();
    }

    HRESULT ReadCamera(Camera& camera) const {
        ICorvid3& control = *Control();
        VARIANT_BOOL pulse = VARIANT_FALSE;
        PulsePolarityEnum polarity{};
        CameraTypeEnum type{};
        HRESULT hr;
        if (FAILED(hr = control.get_EnableExposePulse(&pulse)) ||
            FAILED(hr = control.get_ExposePulsePolarity(&polarity)) ||
            FAILED(hr = control.get_ExposePulseDuration(&camera.duration)) ||
            FAILED(hr = control.get_DigitalCameraType(&type)))
            return hr;
        camera.pulse = pulse != VARIANT_FALSE;
        camera.polarity = polarity;
        camera.type = type;
        return S_OK;
    }

    void Show() {
        const bool on = cameraBoard_;
        Check(IDC_DIGCAM_ENABLE, on && camera_.pulse);
        for (int n = 0; n < kPolarities; ++n)
            Check(IDC_DIGCAM_ACTIVE_HIGH + n, on && camera_.polarity == n);
        for (int n = 0; n < kCameraTypes; ++n) {
            Check(IDC_DIGCAM_TYPE + n, on && camera_.type == n);
            Enable({IDC_DIGCAM_TYPE + n}, on);
        }
        SetText(IDC_DIGCAM_DURATION, on ? std::to_wstring(camera_.duration) : L"");
        Enable({IDC_DIGCAM_PULSE_GROUP, IDC_DIGCAM_ENABLE, IDC_DIGCAM_POLARITY_GROUP,
                IDC_DIGCAM_ACTIVE_HIGH, IDC_DIGCAM_ACTIVE_LOW, IDC_DIGCAM_DURATION_LABEL,
                IDC_DIGCAM_DURATION, IDC_DIGCAM_DURATION_UNIT, IDC_DIGCAM_TYPE_GROUP},
               on);
        Enable({IDC_DIGCAM_RESET}, open_);
    }

    bool open_ = false;         // a device is open
    bool cameraBoard_ = false; // and it has the digital camera
    Camera camera_;
};

} // namespace

std::unique_ptr<PageForm> MakeDigCamForm() {
    return std::make_unique<DigCamForm>();
}

} // namespace pages
