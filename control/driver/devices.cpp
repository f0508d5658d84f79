#include "devices.h"

#include "input_messages.h"
#include "message_send.h"

#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace imaging {
namespace {

constexpr char kServicesPath[] = "System\\CurrentControlSet\\Services";
constexpr char kDriverMarker[] = "STIMG";
constexpr char kSkippedSubkey[] = "Enum";
constexpr char kEnableValue[] = "Enable";
constexpr wchar_t kCommonBoardDriver[] = L"kvboard.drv";

// Key names can be up to 255 characters: a long name of an unrelated service must not end
// the scan, and a long board name is still a board.
constexpr DWORD kKeyNameChars = 256;

class RegistryKey {
public:
    RegistryKey() = default;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey() {
        if (key_) RegCloseKey(key_);
    }
    bool Open(HKEY parent, const char* name, REGSAM access) {
        return RegOpenKeyExA(parent, name, 0, access, &key_) == ERROR_SUCCESS;
    }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

enum class EnumResult { Item, End, Failed };

EnumResult EnumSubkey(HKEY key, DWORD index, char (&name)[kKeyNameChars]) {
    DWORD length = kKeyNameChars;
    const LSTATUS result =
        RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_SUCCESS) return EnumResult::Item;
    return result == ERROR_NO_MORE_ITEMS ? EnumResult::End : EnumResult::Failed;
}

bool BoardEnabled(HKEY service, const char* board) {
    RegistryKey key;
    if (!key.Open(service, board, KEY_QUERY_VALUE)) return false;
    uint32_t enable = 0;
    DWORD size = sizeof(enable);
    if (RegQueryValueExA(key.get(), kEnableValue, nullptr, nullptr,
                         reinterpret_cast<BYTE*>(&enable), &size) != ERROR_SUCCESS)
        return false;
    return enable != 0;
}

uint32_t ScanBoards(HKEY service, const char* driverName, ImagingBoardCallback callback,
                    void* context) {
    uint32_t count = 0;
    char board[kKeyNameChars];
    for (DWORD index = 0;; ++index) {
        switch (EnumSubkey(service, index, board)) {
        case EnumResult::End: return count;
        case EnumResult::Failed: OutputDebugStringA("Error enumerating board names"); return 0;
        case EnumResult::Item: break;
        }
        if (strcmp(board, kSkippedSubkey) == 0) continue; // case-sensitive on purpose
        if (!BoardEnabled(service, board)) continue;
        ++count;
        if (callback) callback(board, driverName, context);
    }
}

// Copies a name into a fixed field, truncated so that the terminator fits.
template <size_t N> void CopyName(char (&field)[N], const char* name) {
    memset(field, 0, N);
    strncpy(field, name, N - 1);
}

struct FillCursor {
    uint8_t* next;
    uint32_t remaining; // entries the count made room for
    // Kept open until the list is complete, so that each board driver is loaded once for the
    // whole list instead of once per board.
    std::vector<HDRVR> opened;
};

uint32_t QueryDeviceValue(HDRVR driver, stSTT_DEV_CAP_KEY key) {
    uint32_t value = 0;
    return STM_QUERY_DEVICE_CAPS(driver, key, &value, sizeof(value)) == STC_STS_NORMAL ? value : 0;
}

void FillEntry(const char* boardName, const char* driverName, void* context) {
    auto* cursor = static_cast<FillCursor*>(context);
    if (cursor->remaining == 0) return; // boards added since the count
    --cursor->remaining;

    // The entry may be the 52-byte form: work on a full record and copy back only its size.
    ImagingDeviceInfo entry{};
    memcpy(&entry, cursor->next, sizeof(uint32_t));
    const uint32_t size = entry.StructSize;
    CopyName(entry.BoardName, boardName);
    CopyName(entry.DriverName, driverName);

    HDRVR driver = nullptr;
    if (OpenImagingDevice(boardName, &driver) == STC_STS_NORMAL) {
        entry.DeviceId = QueryDeviceValue(driver, STC_IMG_DC_DEVICE_ID);
        entry.DeviceKind = QueryDeviceValue(driver, STC_IMG_DC_ST_DEVICE_TYPE);
        if (size == kDeviceInfoLongSize) {
            entry.LinearMemSize = QueryDeviceValue(driver, STC_IMG_DC_LINEAR_MEM_SIZE);
            entry.DeviceMemSize = QueryDeviceValue(driver, STC_IMG_DC_DEVICE_MEM_SIZE);
        }
        try {
            cursor->opened.push_back(driver);
        } catch (const std::bad_alloc&) {
            CloseImagingDevice(driver);
        }
    }
    memcpy(cursor->next, &entry, size);
    cursor->next += size;
}

struct FindBoard {
    const char* wanted;
    std::string driverName;
    bool found = false;
};

void MatchBoard(const char* boardName, const char* driverName, void* context) {
    auto* find = static_cast<FindBoard*>(context);
    if (find->found || _stricmp(boardName, find->wanted) != 0) return;
    find->found = true;
    find->driverName = driverName;
}

std::wstring Widen(const std::string& text) {
    const int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (length <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), length);
    wide.resize(static_cast<size_t>(length - 1));
    return wide;
}

} // namespace

uint32_t ScanImagingDrivers(ImagingBoardCallback callback, void* context) {
    RegistryKey services;
    if (!services.Open(HKEY_LOCAL_MACHINE, kServicesPath,
                       KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS)) {
        OutputDebugStringA("Error opening System\\CurrentControlSet\\Services");
        return 0;
    }
    uint32_t total = 0;
    char name[kKeyNameChars];
    for (DWORD index = 0;; ++index) {
        switch (EnumSubkey(services.get(), index, name)) {
        case EnumResult::End: return total;
        case EnumResult::Failed: OutputDebugStringA("Error enumerating Services keys"); return 0;
        case EnumResult::Item: break;
        }
        RegistryKey service;
        if (!service.Open(services.get(), name, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS)) {
            OutputDebugStringA("Error opening driver key");
            continue;
        }
        if (RegQueryValueExA(service.get(), kDriverMarker, nullptr, nullptr, nullptr, nullptr) ==
            ERROR_SUCCESS)
            total += ScanBoards(service.get(), name, callback, context);
    }
}

STT_APISTATUS CountImagingDevices(uint32_t* count) {
    if (!count) return STC_STS_NULL;
    *count = ScanImagingDrivers(nullptr, nullptr);
    return STC_STS_NORMAL;
}

STT_APISTATUS GetImagingDeviceList(void* list, uint32_t listSize) {
    if (!list) return STC_STS_NULL;
    uint32_t count = 0;
    CountImagingDevices(&count);
    if (count == 0) return STC_STS_NORMAL;

    if (listSize < sizeof(uint32_t)) return STC_STS_BUFSIZ; // not even a StructSize
    uint32_t size = 0;
    memcpy(&size, list, sizeof(size));
    if (size != kDeviceInfoShortSize && size != kDeviceInfoLongSize) return STC_STS_STRUCTSIZ;
    if (static_cast<uint64_t>(listSize) < static_cast<uint64_t>(size) * count)
        return STC_STS_BUFSIZ;

    auto* entries = static_cast<uint8_t*>(list);
    for (uint32_t i = 0; i < count; ++i)
        memcpy(entries + i * size, &size, sizeof(size));

    FillCursor cursor{entries, count, {}};
    ScanImagingDrivers(FillEntry, &cursor);
    for (const HDRVR driver : cursor.opened)
        CloseImagingDevice(driver);
    return STC_STS_NORMAL;
}

STT_APISTATUS OpenImagingDevice(const char* boardName, HDRVR* driver) {
    if (!boardName || !driver) return STC_STS_NULL;
    FindBoard find{boardName, {}};
    ScanImagingDrivers(MatchBoard, &find);
    if (!find.found || find.driverName.empty()) return STC_STS_NOOPENDEVICE;

    // The common board driver takes "driver!board".
    const std::string qualified = find.driverName + "!" + find.wanted;
    HDRVR handle = OpenDriver(kCommonBoardDriver, nullptr, AddressParam(qualified.c_str()));
    if (!handle) {
        DeviceOpenBlock open{};
        open.StructSize = sizeof(open);
        strncpy(open.BoardName, boardName, sizeof(open.BoardName) - 1);
        const std::wstring driverFile = Widen(find.driverName);
        handle = OpenDriver(driverFile.c_str(), nullptr, AddressParam(&open));
    }
    if (!handle) return STC_STS_NOOPENDEVICE;
    *driver = handle;
    return STC_STS_NORMAL;
}

STT_APISTATUS CloseImagingDevice(HDRVR driver) {
    return CloseDriver(driver, 0, 0) != 0 ? STC_STS_NORMAL : STC_STS_NOCLOSEDEVICE;
}

} // namespace imaging
