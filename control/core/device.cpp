// The device lifecycle of the control: the device list built at creation with its driver
// version check, opening and closing one device, and the device-level properties.
#include "corvid.h"
#include "wait_cursor.h"

#include "color_messages.h"
#include "devices.h"
#include "frame_messages.h"
#include "input_messages.h"

#include <cstdio>
#include <map>
#include <new>
#include <optional>
#include <string>
#include <vector>

namespace core {
namespace {

// Help context ids of the device members.
constexpr DWORD kHelpOpenDevice = 2131;
constexpr DWORD kHelpCloseDevice = 2113;
constexpr DWORD kHelpGetDeviceName = 2123;
constexpr DWORD kHelpDeviceCount = 2070;
constexpr DWORD kHelpActiveDevice = 2027;
constexpr DWORD kHelpTimeout = 2083;
constexpr DWORD kHelpDeviceType = 2030;
constexpr DWORD kHelpStatusMessage = 2009;

// The control's own message that warns about an outdated board driver.
constexpr UINT kMessageDriverOutOfDate = 61441;
constexpr char kDeviceErrorCaption[] = "Device error";

// Interface code of STM_CLR_QUERY_INTERFACE for the storage-mode interface.
constexpr uint32_t kStorageModeInterface = 2;

constexpr uint32_t kStatusTextChars = 256;

// Drivers older than 3.0 (the most significant version double word) get the warning.
constexpr DWORD kMinimumDriverVersion = 0x00030000;

// The board families whose drivers must be 3.0 or later.
bool NeedsVersionCheck(uint32_t code) {
    switch (code) {
    case KV7100:
    case KV7400:
    case KV7700:
    case KV7300:
    case KV7500:
    case KV7400LS:
    case KV760X: return true;
    default: return false;
    }
}

// Codes 112 to 119 and 32880 to 32887 are all members of the KV760X family.
uint32_t NormalizedModelCode(uint32_t code) {
    if ((code >= 112 && code <= 119) || (code >= 32880 && code <= 32887)) return KV760X;
    return code;
}

// The most significant double word of the file version; nothing without version information.
std::optional<DWORD> FileVersionMs(const std::string& path) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0) return std::nullopt;
    std::vector<BYTE> data(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, data.data())) return std::nullopt;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length) || !fixed ||
        length < sizeof(VS_FIXEDFILEINFO))
        return std::nullopt;
    return fixed->dwFileVersionMS;
}

void WarnOutdatedDriver(const char* driverName) {
    char format[512] = {};
    if (LoadStringA(com::ModuleHandle(), kMessageDriverOutOfDate, format, sizeof(format)) <= 0)
        return;
    char text[1024] = {};
    snprintf(text, sizeof(text), format, driverName);
    MessageBoxA(nullptr, text, kDeviceErrorCaption, MB_TASKMODAL | MB_ICONEXCLAMATION | MB_OK);
}

std::wstring FromCodePage(const char* text) {
    const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 1) return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), length);
    wide.resize(static_cast<size_t>(length - 1));
    return wide;
}

// An empty name counts as no name.
std::optional<std::string> ToCodePage(BSTR text) {
    if (SysStringLen(text) == 0) return std::nullopt;
    const int length = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return std::string();
    std::string narrow(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, narrow.data(), length, nullptr, nullptr);
    narrow.resize(static_cast<size_t>(length - 1));
    return narrow;
}

HRESULT TextToBstr(const char* text, BSTR* out) {
    *out = SysAllocString(FromCodePage(text).c_str());
    return *out ? S_OK : E_OUTOFMEMORY;
}

} // namespace

// ---- Creation ----

HRESULT CCorvid::Initialize() {
    return BuildDeviceList();
}

HRESULT CCorvid::BuildDeviceList() {
    device_.names.reset();
    device_.records.reset();
    device_.count = 0;

    uint32_t count = 0;
    imaging::CountImagingDevices(&count);
    if (count > 0) {
        device_.records.reset(new (std::nothrow) imaging::ImagingDeviceInfo[count]{});
        if (!device_.records) return E_OUTOFMEMORY;
        device_.records[0].StructSize = sizeof(imaging::ImagingDeviceInfo);
        imaging::GetImagingDeviceList(device_.records.get(),
                                      count * sizeof(imaging::ImagingDeviceInfo));
    }

    char systemDir[MAX_PATH] = {};
    GetSystemDirectoryA(systemDir, MAX_PATH);
    // Boards of one driver share its file: its version is read once (each read maps the file).
    std::map<std::string, std::optional<DWORD>> versions;
    for (uint32_t i = 0; i < count; ++i) {
        imaging::ImagingDeviceInfo& entry = device_.records[i];
        const uint32_t asRead = entry.DeviceId;
        entry.DeviceId = NormalizedModelCode(asRead);
        if ((asRead & 0x8000) || entry.DeviceId == 0 || !NeedsVersionCheck(entry.DeviceId))
            continue;
        char path[MAX_PATH * 2] = {};
        snprintf(path, sizeof(path), "%s\\%s.drv", systemDir, entry.DriverName);
        auto known = versions.find(path);
        if (known == versions.end()) known = versions.emplace(path, FileVersionMs(path)).first;
        const std::optional<DWORD> version = known->second;
        if (version && *version < kMinimumDriverVersion) WarnOutdatedDriver(entry.DriverName);
    }

    if (count > 0) {
        device_.names.reset(new (std::nothrow) std::wstring[count]);
        if (!device_.names) return E_OUTOFMEMORY;
        for (uint32_t i = 0; i < count; ++i)
            device_.names[i] = FromCodePage(device_.records[i].BoardName);
    }
    device_.count = static_cast<int32_t>(count);
    return S_OK;
}

// ---- Opening and closing ----

STDMETHODIMP CCorvid::OpenDevice(BSTR device) {
    helpContext_ = kHelpOpenDevice;
    WaitCursor wait;
    if (auto done = Enter(kHelpOpenDevice, {}, &ICorvid::OpenDevice, device)) return *done;

    const std::optional<std::string> name = ToCodePage(device);
    CloseDevice();
    helpContext_ = kHelpOpenDevice;

    HDRVR driver = nullptr;
    if (Failed(imaging::OpenImagingDevice(name ? name->c_str() : nullptr, &driver)))
        return ReportLastStatus();
    device_.driver = driver;

    device_.inputSource = 0;
    for (int32_t i = 0; i < device_.count; ++i) {
        if (_wcsicmp(device_.names[i].c_str(), device ? device : L"") == 0) {
            device_.activeIndex = i;
            break;
        }
    }
    device_.modelCode = ActiveModelCode();

    if (Failed(imaging::STM_GET_INPUT_SOURCE(driver, &device_.inputSource)))
        return ReportLastStatus();

    // The default frame geometry is what the driver gives a frame allocated without one.
    imaging::FrameHandle frame = 0;
    if (Failed(imaging::STM_ALLOCATE_FRAME(driver, imaging::STC_FG_DEV_MEM_VOLATILE,
                                           imaging::STC_FG_ANY_FRAME_ID, &frame)))
        return ReportLastStatus();
    imaging::FrameInfo info{};
    const imaging::STT_APISTATUS infoStatus = imaging::STM_GET_FRAME_INFO(driver, frame, &info);
    // The temporary frame goes again whether or not its information could be read.
    const imaging::STT_APISTATUS destroyStatus = imaging::STM_DESTROY_FRAME(driver, frame);
    if (Failed(infoStatus) || Failed(destroyStatus)) return ReportLastStatus();
    frameDefaults_.width = info.Width;
    frameDefaults_.height = info.Height;
    frameDefaults_.bytesPerPixel = info.BytesPerPixel;
    frameDefaults_.baseAddress = reinterpret_cast<uintptr_t>(info.BaseAddress);

    uint32_t frameType = 0;
    if (Failed(imaging::STM_GET_INPUT_CONTROL(driver, device_.inputSource,
                                              imaging::STC_FG_CTL_FRAME_TYPE, &frameType)))
        return ReportLastStatus();
    frameDefaults_.frameType = static_cast<int32_t>(frameType);

    // Boards without the storage-mode interface store the default image; the failed query
    // stays the last status.
    if (Failed(imaging::STM_CLR_QUERY_INTERFACE(driver, kStorageModeInterface))) {
        frameDefaults_.storageMode = DefaultImage;
    } else {
        uint32_t mode = 0;
        if (Failed(imaging::STM_CLR_STORAGE_MODE(driver, device_.inputSource,
                                                 imaging::STC_READ_CONTROL, &mode)))
            return ReportLastStatus();
        frameDefaults_.storageMode = static_cast<int32_t>(mode);
    }
    ViewChanged();
    return S_OK;
}

STDMETHODIMP CCorvid::CloseDevice() {
    helpContext_ = kHelpCloseDevice;
    WaitCursor wait;
    device_.displayingFrame = false;
    device_.displayingLines = false;
    if (auto done = Enter(kHelpCloseDevice, {}, &ICorvid::CloseDevice)) return *done;
    const HRESULT hr = CloseLocalDevice();
    if (FAILED(hr)) return hr;
    ViewChanged();
    return S_OK;
}

// Destroys every frame and surface, then closes the driver. A driver that refuses to close
// keeps its handle, and its status comes back as the result without error information.
HRESULT CCorvid::CloseLocalDevice() {
    if (!device_.driver) return S_OK;
    EndLineScan();
    DestroyAllFrames();
    DestroyAllSurfaces();
    const imaging::STT_APISTATUS status = imaging::CloseImagingDevice(device_.driver);
    if (status != imaging::STC_STS_NORMAL) return static_cast<HRESULT>(status);
    device_.driver = nullptr;
    device_.activeIndex = -1;
    device_.modelCode = 0;
    ResetFrameSelection();
    return S_OK;
}

// The feature groups hook in here: the frame table in frames.cpp, the surface table in
// overlays.cpp, passthru in passthru.cpp.

// ---- Device properties ----

STDMETHODIMP CCorvid::get_DeviceCount(short* count) {
    helpContext_ = kHelpDeviceCount;
    if (!count) return E_POINTER;
    *count = static_cast<short>(device_.count);
    return S_OK;
}

STDMETHODIMP CCorvid::GetDeviceName(short id, BSTR* name) {
    helpContext_ = kHelpGetDeviceName;
    if (!name) return E_POINTER;
    *name = nullptr;
    if (id < 0 || id >= device_.count) return E_INVALIDARG;
    *name = SysAllocString(device_.names[id].c_str());
    return *name ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CCorvid::get_ActiveDevice(BSTR* name) {
    if (auto done = Enter(kHelpActiveDevice, {name}, &ICorvid::get_ActiveDevice, name))
        return *done;
    *name = nullptr;
    if (!device_.names || device_.activeIndex < 0 || device_.activeIndex >= device_.count)
        return S_OK;
    *name = SysAllocString(device_.names[device_.activeIndex].c_str());
    return *name ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CCorvid::put_ActiveDevice(BSTR name) {
    if (auto done = Enter(kHelpActiveDevice, {}, &ICorvid::put_ActiveDevice, name)) return *done;
    HRESULT hr = S_OK;
    if (SysStringLen(name) > 0) {
        hr = OpenDevice(name);
    } else {
        hr = CloseDevice();
        cameraFile_.Reset();
    }
    PropertyChanged(DispidActiveDevice);
    return hr;
}

DeviceTypeEnum CCorvid::ActiveModelCode() const {
    if (!device_.records || device_.activeIndex < 0 || device_.activeIndex >= device_.count)
        return KVNONE;
    return static_cast<DeviceTypeEnum>(device_.records[device_.activeIndex].DeviceId);
}

STDMETHODIMP CCorvid::get_DeviceType(DeviceTypeEnum* type) {
    if (auto done = Enter(kHelpDeviceType, {type}, &ICorvid::get_DeviceType, type)) return *done;
    *type = ActiveModelCode();
    return S_OK;
}

STDMETHODIMP CCorvid::get_Timeout(long* seconds) {
    if (auto done = Enter(kHelpTimeout, {seconds}, &ICorvid::get_Timeout, seconds)) return *done;
    uint32_t value = 0;
    const bool failed = Failed(imaging::STM_GET_TIMEOUT(device_.driver, &value));
    *seconds = failed ? 0 : static_cast<long>(value);
    return failed ? ReportLastStatus() : S_OK;
}

STDMETHODIMP CCorvid::put_Timeout(long seconds) {
    if (auto done = Enter(kHelpTimeout, {}, &ICorvid::put_Timeout, seconds)) return *done;
    if (seconds < 0) return E_INVALIDARG;
    uint32_t previous = 0;
    if (Failed(imaging::STM_SET_TIMEOUT(device_.driver, static_cast<uint32_t>(seconds), &previous)))
        return ReportLastStatus();
    PropertyChanged(DispidTimeout);
    return S_OK;
}

STDMETHODIMP CCorvid::get_StatusMessage(BSTR* message) {
    if (auto done = Enter(kHelpStatusMessage, {message}, &ICorvid::get_StatusMessage, message))
        return *done;
    char text[kStatusTextChars] = {};
    imaging::GetApiStatusMessage(device_.lastStatus, text, kStatusTextChars);
    return TextToBstr(text, message);
}

STDMETHODIMP CCorvid::GetStatusMessage(long statusCode, BSTR* message) {
    if (auto done =
            Enter(kHelpStatusMessage, {message}, &ICorvid3::GetStatusMessage, statusCode, message))
        return *done;
    char text[kStatusTextChars] = {};
    imaging::GetApiStatusMessage(static_cast<imaging::STT_APISTATUS>(statusCode), text,
                                 kStatusTextChars);
    return TextToBstr(text, message);
}

// Property pages re-read the control when they hear of this DISPID.
STDMETHODIMP CCorvid::ControlStateChanged() {
    if (remote_.object) return remote_.object->ControlStateChanged();
    PropertyChanged(DispidControlStateChanged);
    return S_OK;
}

} // namespace core
