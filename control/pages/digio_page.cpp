// The Digital I/O page: the direction of each of the board's eight digital lines and their
// states, as far as the open board has lines.
#include "digio_page.h"

#include "page_form.h"

#include <cwchar>
#include <memory>

namespace pages {
namespace {

constexpr wchar_t kFeatureSource[] = L"CDigIOPage::GetFeatureSupport";
constexpr wchar_t kReadSource[] = L"CDigIOPage::OnInitDialog";
constexpr wchar_t kApplySource[] = L"CDigIOPage::Apply";
constexpr DISPID kActiveDeviceId = 203;
constexpr DISPID kControlStateId = 209;
constexpr DISPID kLineScanModeId = 1105;
constexpr int kLines = 8;
constexpr long kAllOutputs = 0xFF;

// The lines of each board (the masks DigOutCaps and DigInCaps report). A board whose lines
// can be turned around keeps its configuration in the control; the others have it fixed.
struct Board {
    long deviceType;
    long outputs;
    long inputs;
    bool configurable; // DigIOConfig reads and writes the configuration
    long config;       // the fixed configuration (bit set: output)
};
constexpr Board kBoards[] = {
    {KV7100, 0xFF, 0x00, false, 0xFF}, {KV7400, 0xFF, 0x00, false, 0xFF},
    {KV7700, 0xFF, 0xFF, true, 0},     {KV7300, 0x0F, 0x0F, true, 0},
    {KV7500, 0x07, 0x18, false, 0x07}, {KV7400LS, 0xF0, 0x0F, false, 0xF0},
};
constexpr Board kNoLines{0, 0, 0, false, kAllOutputs};

const Board& BoardOf(long deviceType) {
    for (const Board& board : kBoards)
        if (board.deviceType == deviceType) return board;
    return kNoLines;
}

std::wstring Hex(long value) {
    wchar_t text[16];
    swprintf(text, std::size(text), L"0x%X", static_cast<unsigned>(value));
    return text;
}

class DigIOForm final : public PageForm {
public:
    DigIOForm() {
        for (int n = 0; n < kLines; ++n) {
            const long bit = 1L << n;
            OnClick(IDC_DIGIO_IN + n, [this, bit] { Configure(bit, false); });
            OnClick(IDC_DIGIO_OUT + n, [this, bit] { Configure(bit, true); });
            OnClick(IDC_DIGIO_STATE + n, [this, n, bit] {
                pattern_ = Checked(IDC_DIGIO_STATE + n) ? pattern_ | bit : pattern_ & ~bit;
                Changed();
            });
        }
        OnClick(IDC_DIGIO_REFRESH, [this] {
            ReadPattern();
            Show();
        });
    }

    void Initialize() override { Read(); }

    void PropertyChanged(DISPID id) override {
        if (id == kActiveDeviceId || id == kControlStateId || id == kLineScanModeId) Read();
    }

    HRESULT Apply() override {
        ICorvid3* control = Control();
        if (!control || !HasLines()) return S_OK;
        HRESULT hr = S_OK;
        // A fixed configuration cannot be written: the control refuses it on those boards.
        if ((board_->configurable && FAILED(hr = control->put_DigIOConfig(config_))) ||
            FAILED(hr = control->put_DigIOPattern(pattern_)))
            return Present(hr, kApplySource);
        return S_OK;
    }

private:
    bool HasLines() const { return (board_->outputs | board_->inputs) != 0; }

    // The board's lines and configuration, then their states; what was read before a
    // failure stays shown.
    void Read() {
        board_ = &BoardOf(DeviceType());
        config_ = board_->config;
        pattern_ = 0;
        if (board_->configurable) {
            long config = 0;
            const HRESULT hr = Control()->get_DigIOConfig(&config);
            if (FAILED(hr)) {
                Present(hr, kFeatureSource);
                Show();
                return;
            }
            config_ = config;
        }
        if (board_ != &kNoLines) ReadPattern();
        Show();
    }

    void ReadPattern() {
        ICorvid3* control = Control();
        long pattern = 0;
        const HRESULT hr = control ? control->get_DigIOPattern(&pattern) : S_OK;
        if (FAILED(hr)) {
            Present(hr, kReadSource);
            return;
        }
        pattern_ = pattern;
    }

    void Configure(long bit, bool output) {
        config_ = output ? config_ | bit : config_ & ~bit;
        Changed();
    }

    void Changed() {
        Show();
        SetDirty();
    }

    // An output line configured as output has a state to set; an input line's state is read.
    void Show() {
        const bool lines = HasLines();
        for (int n = 0; n < kLines; ++n) {
            const long bit = 1L << n;
            const bool output = (board_->outputs & bit) != 0;
            const bool input = (board_->inputs & bit) != 0;
            const bool out = output && (config_ & bit) != 0;
            Enable({IDC_DIGIO_OUT + n}, output);
            Check(IDC_DIGIO_OUT + n, out);
            Enable({IDC_DIGIO_IN + n}, input);
            Check(IDC_DIGIO_IN + n, input && (config_ & bit) == 0);
            Enable({IDC_DIGIO_STATE + n}, out);
            Check(IDC_DIGIO_STATE + n, lines && (pattern_ & bit) != 0);
            Enable({IDC_DIGIO_LINE + n}, output || input);
        }
        Enable({IDC_DIGIO_CONFIG_GROUP, IDC_DIGIO_CONFIG_LABEL, IDC_DIGIO_CONFIG,
                IDC_DIGIO_STATE_GROUP, IDC_DIGIO_PATTERN_LABEL, IDC_DIGIO_PATTERN},
               lines);
        Enable({IDC_DIGIO_REFRESH}, board_->inputs != 0);
        SetText(IDC_DIGIO_CONFIG, Hex(config_));
        SetText(IDC_DIGIO_PATTERN, Hex(pattern_));
    }

    const Board* board_ = &kNoLines;
    long config_ = kAllOutputs;
    long pattern_ = 0;
};

} // namespace

std::unique_ptr<PageForm> MakeDigIOForm() {
    return std::make_unique<DigIOForm>();
}

} // namespace pages
