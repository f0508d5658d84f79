// The General page: the device to open, the time-out, and loading and saving camera files.
#include "general_page.h"

#include "page_form.h"
#include "raii.h"

#include <commdlg.h>

#include <memory>

namespace pages {
namespace {

constexpr size_t kLongestPath = 260;

class GeneralForm final : public PageForm {
public:
    GeneralForm() {
        On(IDC_GENERAL_DEVICE, CBN_SELCHANGE, [this] { Changed(deviceChanged_); });
        On(IDC_GENERAL_TIMEOUT, EN_CHANGE, [this] { Changed(timeoutChanged_); });
        OnClick(IDC_GENERAL_LOAD, [this] { Choose(false); });
        OnClick(IDC_GENERAL_SAVE, [this] { Choose(true); });
    }

    void Initialize() override { Read(); }

    void PropertyChanged(DISPID id) override {
        if (id == DISPID_ACTIVE_DEVICE) Read();
        if (id == DISPID_CONTROL_STATE) ReadTimeout();
    }

    HRESULT Apply() override {
        // Taken before the first write: writing the device makes the page read itself again.
        std::wstring device = Text(IDC_GENERAL_DEVICE);
        if (device.size() > kLongestPath) device.resize(kLongestPath);
        const long timeout = static_cast<long>(Unsigned(IDC_GENERAL_TIMEOUT));
        const std::wstring loadFile = loadFile_, saveFile = saveFile_;
        bool deviceFailed = false, timeoutFailed = false, loadFailed = false, saveFailed = false;
        HRESULT result = S_OK;
        for (const ComPtr<ICorvid3>& control : Controls()) {
            // Each object gets every change; the first failure ends that object's turn.
            HRESULT hr = S_OK;
            if (deviceChanged_) {
                com::UniqueBstr name(device.c_str());
                hr = control->put_ActiveDevice(name.Get());
                deviceFailed |= FAILED(hr);
            }
            if (SUCCEEDED(hr) && timeoutChanged_) {
                hr = control->put_Timeout(timeout);
                timeoutFailed |= FAILED(hr);
            }
            if (SUCCEEDED(hr) && !loadFile.empty()) {
                com::UniqueBstr name(loadFile.c_str());
                hr = control->LoadCameraFile(name.Get());
                loadFailed |= FAILED(hr);
            }
            if (SUCCEEDED(hr) && !saveFile.empty()) {
                com::UniqueBstr name(saveFile.c_str());
                hr = control->SaveCameraFile(name.Get());
                saveFailed |= FAILED(hr);
            }
            if (FAILED(hr)) result = Present(hr, nullptr);
        }
        if (!deviceFailed) deviceChanged_ = false;
        if (!timeoutFailed) timeoutChanged_ = false;
        if (!loadFailed) loadFile_.clear();
        if (!saveFailed) saveFile_.clear();
        return result;
    }

private:
    static constexpr DISPID DISPID_ACTIVE_DEVICE = 203;
    static constexpr DISPID DISPID_CONTROL_STATE = 209;

    void Changed(bool& flag) {
        flag = true;
        SetDirty();
    }

    void Read() {
        const bool open = DeviceType() != 0;
        Enable({IDC_GENERAL_FILE_GROUP, IDC_GENERAL_FILE_LABEL, IDC_GENERAL_FILE, IDC_GENERAL_LOAD,
                IDC_GENERAL_SAVE},
               open);
        const HRESULT hr = BuildDeviceList();
        if (FAILED(hr)) {
            Present(hr, L"BuildDeviceNameList");
            return;
        }
        ReadFileAndTimeout();
    }

    HRESULT BuildDeviceList() {
        ClearList(IDC_GENERAL_DEVICE);
        ICorvid3* control = Control();
        if (!control) return S_OK;
        short count = 0;
        com::UniqueBstr active;
        HRESULT hr = control->get_DeviceCount(&count);
        if (SUCCEEDED(hr)) hr = control->get_ActiveDevice(active.Out());
        if (FAILED(hr)) return hr;
        for (short id = 0; id < count; ++id) {
            com::UniqueBstr name;
            hr = control->GetDeviceName(id, name.Out());
            if (FAILED(hr)) return hr;
            AddEntry(IDC_GENERAL_DEVICE, name.Text(), id);
            // Exact, case-sensitive: the name the control reports for its open board.
            if (!active.Empty() && wcscmp(name.Text(), active.Text()) == 0)
                SelectIndex(IDC_GENERAL_DEVICE, EntryCount(IDC_GENERAL_DEVICE) - 1);
        }
        return S_OK;
    }

    void ReadFileAndTimeout() {
        ICorvid3* control = Control();
        com::UniqueBstr file;
        long timeout = 0;
        const bool read = control && SUCCEEDED(control->get_CameraFile(file.Out())) &&
                          SUCCEEDED(control->get_Timeout(&timeout));
        Enable({IDC_GENERAL_TIMEOUT_LABEL, IDC_GENERAL_TIMEOUT, IDC_GENERAL_TIMEOUT_UNIT}, read);
        if (!read) return;
        SetText(IDC_GENERAL_FILE, file.Text());
        SetNumber(IDC_GENERAL_TIMEOUT, timeout);
    }

    void ReadTimeout() {
        ICorvid3* control = Control();
        long timeout = 0;
        if (control && SUCCEEDED(control->get_Timeout(&timeout)))
            SetNumber(IDC_GENERAL_TIMEOUT, timeout);
    }

    // Load ... and Save ...: a name chosen in the file dialog is shown and marked; Cancel
    // changes nothing.
    void Choose(bool save) {
        wchar_t path[kLongestPath] = {};
        OPENFILENAMEW dialog{};
        dialog.lStructSize = sizeof dialog;
        dialog.hwndOwner = Window();
        dialog.lpstrFilter = L"Camera Files (*.cam)\0*.cam\0";
        dialog.lpstrFile = path;
        dialog.nMaxFile = static_cast<DWORD>(std::size(path));
        if (save) {
            dialog.lpstrTitle = L"Save Camera File";
            dialog.lpstrDefExt = L"cam";
            dialog.Flags = OFN_PATHMUSTEXIST | OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;
            if (!GetSaveFileNameW(&dialog)) return;
            saveFile_ = path;
        } else {
            dialog.lpstrTitle = L"Load Camera File";
            dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
            if (!GetOpenFileNameW(&dialog)) return;
            loadFile_ = path;
        }
        SetText(IDC_GENERAL_FILE, path);
        SetDirty();
    }

    bool deviceChanged_ = false;
    bool timeoutChanged_ = false;
    std::wstring loadFile_, saveFile_;
};

} // namespace

std::unique_ptr<PageForm> MakeGeneralForm() {
    return std::make_unique<GeneralForm>();
}

} // namespace pages
