// The digital camera dialogs (camera type with its wait note, exposure pulse), the sync
// master generator and the About window.
#include "error_box.h"
#include "main_window.h"
#include "raii.h"
#include "resource.h"
#include "setup_dialog.h"
#include "setup_dialogs.h"
#include "splash.h"

#include <shellapi.h>

#include <cstring>
#include <optional>
#include <vector>

namespace vidora {
namespace {

// The options in the order OK tests them, with their camera types.
constexpr struct {
    int id;
    CameraTypeEnum type;
} kCameraTypes[6] = {
    {IDC_CT_OPTIONS + 0, CAM_8BIT_SINGLE}, {IDC_CT_OPTIONS + 1, CAM_8BIT_DUAL},
    {IDC_CT_OPTIONS + 2, CAM_10BIT},       {IDC_CT_OPTIONS + 3, CAM_12BIT},
    {IDC_CT_OPTIONS + 4, CAM_14BIT},       {IDC_CT_OPTIONS + 5, CAM_16BIT},
};

class CameraTypeDialog final : public SetupDialog {
public:
    explicit CameraTypeDialog(MainWindow& main) : SetupDialog(main, IDD_CAMERA_TYPE) {
        OnClick(IDOK, [this] { return Ok(); });
    }

private:
    HRESULT Load() override {
        CameraTypeEnum current;
        const HRESULT hr = Control()->get_DigitalCameraType(&current);
        if (FAILED(hr)) return hr;
        for (const auto& option : kCameraTypes) Check(option.id, option.type == current);
        return S_OK;
    }
    HRESULT Ok() {
        HRESULT hr;
        if (Checked(IDC_RESET_CAMERA) && FAILED(hr = Control()->ResetCamera())) return hr;
        for (const auto& option : kCameraTypes) {
            if (!Checked(option.id)) continue;
            // The device loads its lookup tables for the deep types before the write returns:
            // the operator is told first.
            const bool slow = option.type == CAM_12BIT || option.type == CAM_14BIT || option.type == CAM_16BIT;
            if (slow && State().RemindCameraWait) {
                ReminderNote(Main(), IDD_CAMERA_WAIT, IDC_REMIND_CAMERA_WAIT, IDC_CAMERA_WAIT_OK,
                             State().RemindCameraWait)
                    .Run();
                RunPendingMessages();
            }
            if (FAILED(hr = Control()->put_DigitalCameraType(option.type))) return hr;
            break;
        }
        Close();
        return S_OK;
    }
};

class CameraExposureDialog final : public SetupDialog {
public:
    explicit CameraExposureDialog(MainWindow& main) : SetupDialog(main, IDD_CAMERA_EXPOSURE) {
        OnClick(IDC_EXPOSURE, [this] { return ShowExposure(Checked(IDC_EXPOSURE)); });
        OnClick(IDOK, [this] { return Ok(); });
    }

private:
    HRESULT Load() override {
        VARIANT_BOOL enabled;
        const HRESULT hr = Control()->get_EnableExposePulse(&enabled);
        if (FAILED(hr)) return hr;
        Check(IDC_EXPOSURE, enabled != VARIANT_FALSE);
        return ShowExposure(enabled != VARIANT_FALSE);
    }
    HRESULT ShowExposure(bool on) {
        Enable({IDC_DURATION_LABEL, IDC_DURATION, IDC_US, IDC_ACTIVE_HIGH, IDC_ACTIVE_LOW}, on);
        if (!on) {
            Check(IDC_ACTIVE_HIGH, false);
            Check(IDC_ACTIVE_LOW, false);
            SetText(IDC_DURATION, L"");
            return S_OK;
        }
        long duration = 0;
        PulsePolarityEnum polarity;
        HRESULT hr;
        if (FAILED(hr = Control()->get_ExposePulseDuration(&duration)) ||
            FAILED(hr = Control()->get_ExposePulsePolarity(&polarity)))
            return hr;
        SetNumber(IDC_DURATION, duration);
        Check(IDC_ACTIVE_HIGH, polarity == ActiveHigh);
        Check(IDC_ACTIVE_LOW, polarity == ActiveLow);
        return S_OK;
    }
    HRESULT Ok() {
        HRESULT hr;
        if (Checked(IDC_EXPOSURE)) {
            long duration = 0;
            if (FAILED(hr = Control()->put_EnableExposePulse(VARIANT_TRUE)) ||
                FAILED(hr = Integer(IDC_DURATION, duration)) ||
                FAILED(hr = Control()->put_ExposePulseDuration(duration)) ||
                FAILED(hr = Control()->put_ExposePulsePolarity(Checked(IDC_ACTIVE_HIGH) ? ActiveHigh : ActiveLow)))
                return hr;
        } else if (FAILED(hr = Control()->put_EnableExposePulse(VARIANT_FALSE))) {
            return hr;
        }
        Close();
        return S_OK;
    }
};

const LongProperty* SyncMasterRows() {
    static const LongProperty rows[5] = {
        CORVID_PROPERTY(HorizontalFrequency), CORVID_PROPERTY(VerticalFrequency),
        CORVID_PROPERTY(HorizontalPulseWidth), CORVID_PROPERTY(VerticalPulseWidth),
        CORVID_PROPERTY(Phase),
    };
    return rows;
}

class SyncMasterDialog final : public SetupDialog {
public:
    explicit SyncMasterDialog(MainWindow& main) : SetupDialog(main, IDD_SYNC_MASTER) {
        OnClick(IDC_ENABLE_SYNC_MASTER, [this] { return ShowEnabled(); });
        OnClick(IDOK, [this] { return Ok(); });
    }

private:
    // The color interface runs the generator by itself: its parameters are not offered.
    HRESULT ColorMode(bool& colorMode) {
        VARIANT_BOOL mode = VARIANT_FALSE;
        const HRESULT hr = Control()->ColorQueryInterface(STC_QUERY_COLOR_INTERFACE_SYNC_MASTER_MODE, &mode);
        colorMode = mode != VARIANT_FALSE;
        return hr;
    }
    HRESULT Load() override {
        bool colorMode = false;
        HRESULT hr = ColorMode(colorMode);
        if (FAILED(hr)) return hr;
        for (int row = 0; row < 5; ++row) {
            long value = 0;
            if (!colorMode && FAILED(hr = SyncMasterRows()[row].get(Control(), &value))) return hr;
            SetText(IDC_SM_ROWS + 3 * row + 1, colorMode ? L"N/A" : std::to_wstring(value));
        }
        VARIANT_BOOL enabled;
        if (FAILED(hr = Control()->get_SyncMasterEnabled(&enabled))) return hr;
        Check(IDC_ENABLE_SYNC_MASTER, enabled != VARIANT_FALSE);
        return ShowEnabled();
    }
    HRESULT ShowEnabled() {
        for (int id = IDC_SM_ROWS; id < IDC_SM_ROWS + 15; ++id) Enable({id}, Checked(IDC_ENABLE_SYNC_MASTER));
        return S_OK;
    }
    HRESULT Ok() {
        HRESULT hr;
        if (Checked(IDC_ENABLE_SYNC_MASTER)) {
            bool colorMode = false;
            if (FAILED(hr = ColorMode(colorMode))) return hr;
            if (!colorMode) {
                if (FAILED(hr = Control()->put_SyncMasterEnabled(VARIANT_FALSE))) return hr;
                for (int row = 0; row < 5; ++row) {
                    long value = 0;
                    if (FAILED(hr = Integer(IDC_SM_ROWS + 3 * row + 1, value)) ||
                        FAILED(hr = SyncMasterRows()[row].put(Control(), value)))
                        return hr;
                }
            }
            if (FAILED(hr = Control()->put_SyncMasterEnabled(VARIANT_TRUE))) return hr;
        } else if (FAILED(hr = Control()->put_SyncMasterEnabled(VARIANT_FALSE))) {
            return hr;
        }
        Close();
        return S_OK;
    }
};

// A text of the program's version record; empty when there is none.
std::wstring VersionString(const wchar_t* name) {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    DWORD ignored = 0;
    const DWORD size = length && length < MAX_PATH ? GetFileVersionInfoSizeW(path, &ignored) : 0;
    std::vector<unsigned char> data(size);
    if (!size || !GetFileVersionInfoW(path, 0, size, data.data())) return {};
    struct Translation {
        WORD language, codePage;
    }* translation = nullptr;
    UINT translationSize = 0;
    if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation",
                        reinterpret_cast<void**>(&translation), &translationSize) ||
        translationSize < sizeof(Translation))
        return {};
    wchar_t key[96];
    swprintf(key, 96, L"\\StringFileInfo\\%04x%04x\\%ls", translation->language,
             translation->codePage, name);
    wchar_t* value = nullptr;
    UINT valueSize = 0;
    if (!VerQueryValueW(data.data(), key, reinterpret_cast<void**>(&value), &valueSize) || !value)
        return {};
    return value;
}

// A value under a local-machine key as text: strings without their terminator, 32-bit values
// in decimal. Empty when the key or value is missing.
std::optional<std::wstring> KeyValue(const wchar_t* keyName, const wchar_t* valueName) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyName, 0, KEY_READ, &opened) != ERROR_SUCCESS) return std::nullopt;
    const com::UniqueResource<com::RegistryKeyTraits> key(opened);
    wchar_t buffer[1024] = L"";
    DWORD type = 0, size = sizeof buffer - sizeof(wchar_t);
    if (RegQueryValueExW(key.Get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    if (type == REG_DWORD) {
        DWORD number = 0;
        memcpy(&number, buffer, sizeof number);
        return std::to_wstring(number);
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
    std::wstring text(buffer, size / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return text;
}

class AboutDialog final : public SetupDialog {
public:
    explicit AboutDialog(MainWindow& main) : SetupDialog(main, IDD_ABOUT) {
        OnClick(IDOK, [this] {
            Close();
            return S_OK;
        });
        OnClick(IDC_SYSTEM_INFO, [this] { return StartSysInfo(); });
    }

private:
    HRESULT Load() override {
        const HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(Window(), GWLP_HINSTANCE));
        SendDlgItemMessageW(Window(), IDC_ABOUT_ICON, STM_SETICON,
                            reinterpret_cast<WPARAM>(LoadIconW(instance, MAKEINTRESOURCEW(IDI_VIDORA))), 0);
        SetText(IDC_ABOUT_TITLE, kAppTitle);
        SetText(IDC_ABOUT_VERSION, VersionText());
        SetText(IDC_ABOUT_COMPANY, VersionString(L"CompanyName") + L"\r\n" + VersionString(L"LegalCopyright"));
        SetText(IDC_ABOUT_DESCRIPTION, L"Description: \r\n" + VersionString(L"FileDescription"));
        SetText(IDC_ABOUT_DISCLAIMER, L"Warning: " + VersionString(L"Comments"));
        return S_OK;
    }
    HRESULT StartSysInfo() {
        std::optional<std::wstring> path = KeyValue(L"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", L"PATH");
        if (!path) {
            path = KeyValue(L"SOFTWARE\\Microsoft\\Shared Tools Location", L"MSINFO");
            if (path && GetFileAttributesW(path->c_str()) != INVALID_FILE_ATTRIBUTES)
                *path += L"\\MSINFO32.EXE";
            else
                path.reset();
        }
        if (!path ||
            reinterpret_cast<INT_PTR>(ShellExecuteW(Window(), nullptr, path->c_str(), nullptr, nullptr,
                                                    SW_SHOWNORMAL)) <= 32)
            MessageBoxW(Window(), L"System Information Is Unavailable At This Time", kAppTitle, MB_OK);
        return S_OK;
    }
};

} // namespace

void ShowCameraType(MainWindow& main) { CameraTypeDialog(main).Run(); }
void ShowCameraExposure(MainWindow& main) { CameraExposureDialog(main).Run(); }
void ShowSyncMaster(MainWindow& main) { SyncMasterDialog(main).Run(); }
void ShowAbout(MainWindow& main) { AboutDialog(main).Run(); }

} // namespace vidora
