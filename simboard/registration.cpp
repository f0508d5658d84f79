#include "registration.h"

#include <algorithm>
#include <cwchar>
#include <vector>

#include <olectl.h>

namespace kvboard {

namespace {

// A registry key handle with one owner.
class Key {
public:
    Key() = default;
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    ~Key() {
        if (h_) RegCloseKey(h_);
    }
    HKEY* out() { return &h_; }
    HKEY get() const { return h_; }

private:
    HKEY h_ = nullptr;
};

std::optional<uint32_t> ReadDword(HKEY key, const wchar_t* name) {
    DWORD value = 0, size = sizeof value, type = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        size != sizeof value)
        return std::nullopt;
    return value;
}

// A REG_SZ or REG_EXPAND_SZ value (expanded); nothing when it is missing, empty or of
// another type.
std::optional<std::wstring> ReadPath(HKEY key, const wchar_t* name) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ) || size < sizeof(wchar_t) || size > 65536)
        return std::nullopt;
    std::wstring text(size / sizeof(wchar_t), L'\0');
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    text.resize(wcsnlen(text.c_str(), text.size())); // the buffer was zeroed: ends at the data
    if (type == REG_EXPAND_SZ) {
        const DWORD needed = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
        std::wstring expanded(needed, L'\0');
        if (needed == 0 || ExpandEnvironmentStringsW(text.c_str(), expanded.data(), needed) == 0)
            return std::nullopt;
        expanded.resize(wcsnlen(expanded.c_str(), expanded.size()));
        text = expanded;
    }
    if (text.empty()) return std::nullopt;
    return text;
}

LSTATUS WriteDword(HKEY key, const wchar_t* name, uint32_t value) {
    const DWORD v = value;
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
}

// The numeric simulation settings, with their defaults.
struct Setting {
    const wchar_t* name;
    uint32_t BoardSettings::*field;
    uint32_t ModelSpec::*modelDefault; // null: `fixedDefault`
    uint32_t fixedDefault;
};
constexpr Setting kSettings[] = {
    {L"FrameWidth", &BoardSettings::frameWidth, &ModelSpec::frameWidth, 0},
    {L"FrameHeight", &BoardSettings::frameHeight, &ModelSpec::frameHeight, 0},
    {L"FrameRate", &BoardSettings::frameRate, nullptr, kDefaultFrameRate},
    {L"InputSources", &BoardSettings::inputSources, &ModelSpec::inputSources, 0},
    {L"LinearMemSize", &BoardSettings::linearMemSize, &ModelSpec::linearMemSize, 0},
    {L"DeviceMemSize", &BoardSettings::deviceMemSize, &ModelSpec::deviceMemSize, 0},
};

uint32_t DefaultOf(const Setting& s, const ModelSpec& model) {
    return s.modelDefault ? model.*s.modelDefault : s.fixedDefault;
}

// Fits a frame dimension into the model's size control: within its limits, on its steps.
uint32_t FitDimension(const ModelSpec& model, uint32_t key, uint32_t value) {
    const ControlSpec* c = model.FindControl(key);
    if (c == nullptr) return std::clamp<uint32_t>(value, 1, 65535);
    const int64_t v = std::clamp<int64_t>(value, c->min, c->max);
    return static_cast<uint32_t>(v - (v - c->min) % c->step);
}

std::wstring Widen(const std::string& text) {
    const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (n <= 0) return {};
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), n);
    wide.resize(static_cast<size_t>(n - 1));
    return wide;
}

std::string Narrow(const std::wstring& text) {
    const int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string narrow(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, narrow.data(), n, nullptr, nullptr);
    narrow.resize(static_cast<size_t>(n - 1));
    return narrow;
}

// The registered spelling of a board subkey of the service, matched ignoring case.
// "Enum" is the service's device list, never a board.
std::optional<std::wstring> FindBoardKey(HKEY service, const std::wstring& wanted) {
    wchar_t name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(std::size(name));
        const LSTATUS status =
            RegEnumKeyExW(service, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) return std::nullopt;
        if (status != ERROR_SUCCESS) continue;
        if (wcscmp(name, L"Enum") == 0) continue;
        if (CompareStringOrdinal(name, -1, wanted.c_str(), -1, TRUE) == CSTR_EQUAL) return name;
    }
}

HRESULT FromWin32(LSTATUS status) {
    return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<DWORD>(status));
}

} // namespace

std::optional<BoardSettings> ReadBoardSettings(const std::string& boardName) {
    const std::wstring wanted = Widen(boardName);
    if (wanted.empty()) return std::nullopt;
    Key service;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kServiceKey, 0, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS,
                      service.out()) != ERROR_SUCCESS)
        return std::nullopt;
    if (RegQueryValueExW(service.get(), L"STIMG", nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
        return std::nullopt;
    const std::optional<std::wstring> keyName = FindBoardKey(service.get(), wanted);
    if (!keyName) return std::nullopt;
    Key board;
    if (RegOpenKeyExW(service.get(), keyName->c_str(), 0, KEY_QUERY_VALUE, board.out()) !=
        ERROR_SUCCESS)
        return std::nullopt;
    if (ReadDword(board.get(), L"Enable").value_or(0) == 0) return std::nullopt;
    const std::optional<uint32_t> code = ReadDword(board.get(), L"Model");
    const ModelSpec* model = code ? FindModel(*code) : nullptr;
    if (model == nullptr) return std::nullopt;

    BoardSettings settings;
    settings.name = Narrow(*keyName);
    settings.model = model;
    for (const Setting& s : kSettings)
        settings.*s.field = ReadDword(board.get(), s.name).value_or(DefaultOf(s, *model));
    settings.frameWidth =
        FitDimension(*model, imaging::STC_FG_CTL_FRAME_WIDTH, settings.frameWidth);
    settings.frameHeight =
        FitDimension(*model, imaging::STC_FG_CTL_FRAME_HEIGHT, settings.frameHeight);
    settings.frameRate = std::min(settings.frameRate, kMaxFrameRate);
    // The test picture: not written by registration, a missing value keeps the model's.
    settings.testPattern = ReadDword(board.get(), L"TestPattern").value_or(0);
    settings.testCaption = ReadDword(board.get(), L"TestCaption").value_or(1);
    settings.imageFolder = ReadPath(board.get(), L"ImageFolder").value_or(L"");
    settings.imageRate = ReadDword(board.get(), L"ImageRate").value_or(settings.frameRate);
    settings.inputSources = std::clamp<uint32_t>(settings.inputSources, 1, kMaxInputSources);
    return settings;
}

} // namespace kvboard

// Installs the service key and one board of every model with its default settings.
STDAPI DllRegisterServer() {
    using namespace kvboard;
    Key service;
    LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, kServiceKey, 0, nullptr, 0, KEY_WRITE,
                                     nullptr, service.out(), nullptr);
    if (status != ERROR_SUCCESS) return SELFREG_E_CLASS;
    status = WriteDword(service.get(), L"STIMG", 1);
    for (const ModelSpec& model : Models()) {
        if (status != ERROR_SUCCESS) break;
        Key board;
        status = RegCreateKeyExW(service.get(), Widen(model.boardName).c_str(), 0, nullptr, 0,
                                 KEY_WRITE, nullptr, board.out(), nullptr);
        if (status != ERROR_SUCCESS) break;
        status = WriteDword(board.get(), L"Enable", 1);
        if (status == ERROR_SUCCESS) status = WriteDword(board.get(), L"Model", model.code);
        for (const Setting& s : kSettings)
            if (status == ERROR_SUCCESS)
                status = WriteDword(board.get(), s.name, DefaultOf(s, model));
    }
    return FromWin32(status);
}

// Removes the service key with every board under it.
STDAPI DllUnregisterServer() {
    const LSTATUS status = RegDeleteTreeW(HKEY_LOCAL_MACHINE, kvboard::kServiceKey);
    return status == ERROR_FILE_NOT_FOUND ? S_OK : kvboard::FromWin32(status);
}
