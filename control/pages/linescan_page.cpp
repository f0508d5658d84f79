// The Line Scan page: the line-scan mode of the KV7400LS and its timing, the drive clock
// divider and the counts of the line-drive and integration signals for both edges.
#include "linescan_page.h"

#include "page_form.h"

#include <memory>

namespace pages {
namespace {

constexpr wchar_t kReadSource[] = L"CLineScanPage::OnInitDialog";
constexpr wchar_t kApplySource[] = L"CLineScanPage::Apply";
constexpr DISPID kActiveDeviceId = 203;
constexpr DISPID kControlStateId = 209;
constexpr int kDividers = 12; // 1, 2, 4 ... 2048

// The counts in the order Apply writes them; "Positive" is the low-to-high edge.
struct Count {
    int edit;
    LongGetter get;
    LongSetter put;
};
const Count kCounts[] = {
    {IDC_LINESCAN_DRIVE_POSITIVE, &ICorvid3::get_LoToHiLineDriveCount,
     &ICorvid3::put_LoToHiLineDriveCount},
    {IDC_LINESCAN_DRIVE_NEGATIVE, &ICorvid3::get_HiToLoLineDriveCount,
     &ICorvid3::put_HiToLoLineDriveCount},
    {IDC_LINESCAN_INTEGRATION_POSITIVE, &ICorvid3::get_LoToHiIntegrationCount,
     &ICorvid3::put_LoToHiIntegrationCount},
    {IDC_LINESCAN_INTEGRATION_NEGATIVE, &ICorvid3::get_HiToLoIntegrationCount,
     &ICorvid3::put_HiToLoIntegrationCount},
};
constexpr size_t kCountCount = std::size(kCounts);

struct Settings {
    bool lineScan = false;
    long divider = 1;
    long counts[kCountCount] = {};
};

class LineScanForm final : public PageForm {
public:
    LineScanForm() {
        OnClick(IDC_LINESCAN_ENABLE, [this] {
            settings_.lineScan = Checked(IDC_LINESCAN_ENABLE);
            Show();
            SetDirty();
        });
        On(IDC_LINESCAN_DIVIDER, CBN_SELCHANGE, [this] {
            const int at = Selected(IDC_LINESCAN_DIVIDER);
            if (at >= 0) settings_.divider = 1L << at;
            SetDirty();
        });
        for (size_t i = 0; i < kCountCount; ++i)
            On(kCounts[i].edit, EN_CHANGE, [this, i] {
                settings_.counts[i] = static_cast<long>(Unsigned(kCounts[i].edit));
                SetDirty();
            });
    }

    void Initialize() override { Read(); }

    void PropertyChanged(DISPID id) override {
        if (id == kActiveDeviceId || id == kControlStateId) Read();
    }

    HRESULT Apply() override {
        ICorvid3* control = Control();
        if (!control || !lineScanBoard_) return S_OK;
        HRESULT hr = control->put_LineScanMode(settings_.lineScan ? VARIANT_TRUE : VARIANT_FALSE);
        for (size_t i = 0; settings_.lineScan && SUCCEEDED(hr) && i < kCountCount; ++i)
            hr = (control->*kCounts[i].put)(settings_.counts[i]);
        if (settings_.lineScan && SUCCEEDED(hr)) hr = control->put_LSDriveClkDiv(settings_.divider);
        return FAILED(hr) ? Present(hr, kApplySource) : S_OK;
    }

private:
    void Read() {
        Settings settings;
        lineScanBoard_ = DeviceType() == KV7400LS;
        const HRESULT hr = lineScanBoard_ ? ReadSettings(settings) : S_OK;
        if (FAILED(hr)) {
            lineScanBoard_ = false; // nothing of it is known
            Present(hr, kReadSource);
        }
        settings_ = SUCCEEDED(hr) ? settings : Settings{};
        Show();
    }

    HRESULT ReadSettings(Settings& settings) const {
        ICorvid3& control = *Control();
        VARIANT_BOOL mode = VARIANT_FALSE;
        HRESULT hr = control.get_LineScanMode(&mode);
        settings.lineScan = mode != VARIANT_FALSE;
        for (size_t i = 0; SUCCEEDED(hr) && i < kCountCount; ++i)
            hr = (control.*kCounts[i].get)(&settings.counts[i]);
        return SUCCEEDED(hr) ? control.get_LSDriveClkDiv(&settings.divider) : hr;
    }

    // The timing is shown and edited only in line-scan mode.
    void Show() {
        const bool timing = lineScanBoard_ && settings_.lineScan;
        Enable({IDC_LINESCAN_ENABLE}, lineScanBoard_);
        Check(IDC_LINESCAN_ENABLE, timing);
        ClearList(IDC_LINESCAN_DIVIDER);
        if (timing) {
            for (int i = 0; i < kDividers; ++i)
                AddEntry(IDC_LINESCAN_DIVIDER, std::to_wstring(1L << i), 1L << i);
            SelectData(IDC_LINESCAN_DIVIDER, settings_.divider); // none when not a power of two
        }
        for (size_t i = 0; i < kCountCount; ++i)
            SetText(kCounts[i].edit, timing ? std::to_wstring(settings_.counts[i]) : L"");
        Enable({IDC_LINESCAN_DIVIDER_LABEL, IDC_LINESCAN_DIVIDER, IDC_LINESCAN_DRIVE_GROUP,
                IDC_LINESCAN_DRIVE_POSITIVE_LABEL, IDC_LINESCAN_DRIVE_POSITIVE,
                IDC_LINESCAN_DRIVE_NEGATIVE_LABEL, IDC_LINESCAN_DRIVE_NEGATIVE,
                IDC_LINESCAN_INTEGRATION_GROUP, IDC_LINESCAN_INTEGRATION_POSITIVE_LABEL,
                IDC_LINESCAN_INTEGRATION_POSITIVE, IDC_LINESCAN_INTEGRATION_NEGATIVE_LABEL,
                IDC_LINESCAN_INTEGRATION_NEGATIVE},
               timing);
    }

    bool lineScanBoard_ = false;
    Settings settings_;
};

} // namespace

std::unique_ptr<PageForm> MakeLineScanForm() {
    return std::make_unique<LineScanForm>();
}

} // namespace pages
