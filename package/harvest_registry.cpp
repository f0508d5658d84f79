// harvest_registry GROUP FILE_ID DIRECTORY_ID LIBRARY
//
// Prints, as a WiX fragment, the registry entries that a library's own DllRegisterServer
// writes, so that the installer package registers exactly what regsvr32 registers, from the
// same tables. The library registers itself with HKEY_CLASSES_ROOT and HKEY_LOCAL_MACHINE
// mapped to scratch keys (RegOverridePredefKey, made for installers that capture a
// component's self-registration); what it wrote there becomes the component group GROUP.
// The library's path in a value becomes [#FILE_ID], its folder [DIRECTORY_ID]; the platform
// key of a type library becomes $(var.TypeLibPlatform), so that both platforms' packages use
// the same fragment.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cwctype>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kScratch[] = L"Software\\CorvidRegistryHarvest";

struct Value {
    std::wstring root; // HKCR or HKLM
    std::wstring key;
    std::wstring name; // empty: the default value; "*": an empty key
    DWORD type = REG_NONE;
    std::wstring data;
};

class Key {
public:
    Key() = default;
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    ~Key() {
        if (key_) RegCloseKey(key_);
    }
    HKEY* Out() { return &key_; }
    HKEY Get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

void Walk(HKEY parent, const std::wstring& root, const std::wstring& path, std::vector<Value>& out) {
    DWORD subkeys = 0, values = 0;
    RegQueryInfoKeyW(parent, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                     nullptr, nullptr, nullptr, nullptr);
    if (!path.empty() && subkeys == 0 && values == 0) out.push_back({root, path, L"*", REG_SZ, L""});
    for (DWORD i = 0; i < values; ++i) {
        wchar_t name[16384];
        DWORD nameLength = static_cast<DWORD>(std::size(name)), type = 0, size = 0;
        if (RegEnumValueW(parent, i, name, &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            continue;
        std::vector<BYTE> data(size + sizeof(wchar_t));
        nameLength = static_cast<DWORD>(std::size(name));
        if (RegEnumValueW(parent, i, name, &nameLength, nullptr, &type, data.data(), &size) !=
            ERROR_SUCCESS)
            continue;
        Value value{root, path, name, type, L""};
        if (type == REG_DWORD)
            value.data = std::to_wstring(*reinterpret_cast<const DWORD*>(data.data()));
        else
            value.data = reinterpret_cast<const wchar_t*>(data.data());
        out.push_back(value);
    }
    for (DWORD i = 0; i < subkeys; ++i) {
        wchar_t name[256];
        DWORD nameLength = static_cast<DWORD>(std::size(name));
        if (RegEnumKeyExW(parent, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            continue;
        Key child;
        if (RegOpenKeyExW(parent, name, 0, KEY_READ, child.Out()) != ERROR_SUCCESS) continue;
        Walk(child.Get(), root, path.empty() ? name : path + L"\\" + name, out);
    }
}

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

// The value as a formatted string of the package: brackets escaped, the library's path and
// folder replaced by the package's references to them.
std::wstring Formatted(const std::wstring& data, const std::wstring& file, const std::wstring& folder,
                       const std::wstring& fileId, const std::wstring& directoryId) {
    std::wstring out;
    const std::wstring lower = Lower(data);
    for (size_t at = 0; at < data.size();) {
        // The long-path form of the library's path or folder names the same file: the package
        // writes the plain form.
        static constexpr wchar_t kLongPath[] = L"\\\\?\\";
        if (lower.compare(at, 4, kLongPath) == 0 &&
            (lower.compare(at + 4, folder.size(), folder) == 0)) {
            at += 4;
            continue;
        }
        if (lower.compare(at, file.size(), file) == 0) {
            out += L"[#" + fileId + L"]";
            at += file.size();
        } else if (lower.compare(at, folder.size(), folder) == 0) {
            // A directory property ends in a separator: the folder with or without its own.
            out += L"[" + directoryId + L"]";
            at += folder.size();
            if (at < data.size() && data[at] == L'\\') ++at;
        } else {
            const wchar_t c = data[at++];
            if (c == L'[') out += L"[\\[]";
            else if (c == L']') out += L"[\\]]";
            else out += c;
        }
    }
    return out;
}

std::wstring Xml(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text) {
        switch (c) {
        case L'&': out += L"&amp;"; break;
        case L'<': out += L"&lt;"; break;
        case L'>': out += L"&gt;"; break;
        case L'"': out += L"&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

// A type library's path is registered under a key named for its platform ("win64" or
// "win32"): the package of each platform says which.
std::wstring PlatformNeutral(const std::wstring& root, const std::wstring& key) {
    if (root != L"HKCR" || Lower(key).rfind(L"typelib\\", 0) != 0) return key;
    const size_t last = key.find_last_of(L'\\');
    const std::wstring leaf = Lower(key.substr(last + 1));
    if (leaf != L"win64" && leaf != L"win32") return key;
    return key.substr(0, last + 1) + L"$(var.TypeLibPlatform)";
}

// One RegistryValue per value; the first named or default value is the component's key path.
void PrintValues(const std::vector<Value>& values, const std::wstring& file,
                 const std::wstring& folder, const std::wstring& fileId,
                 const std::wstring& directoryId, const std::wstring& idPrefix = L"") {
    // The package names a value by its root, key and name unless it is given an id: values
    // written twice, once for each view of the registry, need one.
    bool keyPath = true;
    int index = 0;
    for (const Value& value : values) {
        std::wstring type = L"string";
        if (value.type == REG_DWORD) type = L"integer";
        else if (value.type == REG_EXPAND_SZ) type = L"expandable";
        const std::wstring data = value.type == REG_DWORD
                                      ? value.data
                                      : Formatted(value.data, file, folder, fileId, directoryId);
        const std::wstring id =
            idPrefix.empty() ? L"" : L" Id=\"" + idPrefix + std::to_wstring(++index) + L"\"";
        wprintf(L"        <RegistryValue%ls Root=\"%ls\" Key=\"%ls\"%ls%ls%ls Type=\"%ls\" Value=\"%ls\"%ls/>\n",
                id.c_str(), value.root.c_str(), Xml(PlatformNeutral(value.root, value.key)).c_str(),
                value.name.empty() ? L"" : L" Name=\"", Xml(value.name).c_str(),
                value.name.empty() ? L"" : L"\"", type.c_str(), Xml(data).c_str(),
                keyPath && value.name != L"*" ? L" KeyPath=\"yes\"" : L"");
        if (value.name != L"*") keyPath = false;
    }
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 5) {
        fwprintf(stderr, L"usage: harvest_registry GROUP FILE_ID DIRECTORY_ID LIBRARY\n");
        return 2;
    }
    const std::wstring group = argv[1], fileId = argv[2], directoryId = argv[3];
    std::wstring libraryPath = argv[4];
    for (wchar_t& c : libraryPath)
        if (c == L'/') c = L'\\';
    HMODULE library = LoadLibraryExW(libraryPath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!library) {
        fwprintf(stderr, L"harvest_registry: cannot load %ls (%lu)\n", argv[4], GetLastError());
        return 1;
    }
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(library, path, MAX_PATH);
    const std::wstring file = Lower(path);
    const std::wstring folder = file.substr(0, file.find_last_of(L'\\'));
    auto registerServer = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(library, "DllRegisterServer")));
    if (!registerServer) {
        fwprintf(stderr, L"harvest_registry: %ls has no DllRegisterServer\n", argv[4]);
        return 1;
    }

    RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
    Key classes, machine;
    const std::wstring classesPath = std::wstring(kScratch) + L"\\HKCR";
    const std::wstring machinePath = std::wstring(kScratch) + L"\\HKLM";
    if (RegCreateKeyExW(HKEY_CURRENT_USER, classesPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, classes.Out(), nullptr) != ERROR_SUCCESS ||
        RegCreateKeyExW(HKEY_CURRENT_USER, machinePath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, machine.Out(), nullptr) != ERROR_SUCCESS) {
        fwprintf(stderr, L"harvest_registry: cannot create the scratch keys\n");
        return 1;
    }
    HRESULT hr = E_FAIL;
    if (RegOverridePredefKey(HKEY_CLASSES_ROOT, classes.Get()) == ERROR_SUCCESS &&
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine.Get()) == ERROR_SUCCESS)
        hr = registerServer();
    RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    if (FAILED(hr)) {
        fwprintf(stderr, L"harvest_registry: DllRegisterServer failed: 0x%08lX\n", hr);
        RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
        return 1;
    }

    std::vector<Value> values;
    Walk(classes.Get(), L"HKCR", L"", values);
    Walk(machine.Get(), L"HKLM", L"", values);
    RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
    if (values.empty()) {
        fwprintf(stderr, L"harvest_registry: %ls registered nothing\n", argv[4]);
        return 1;
    }

    _setmode(_fileno(stdout), _O_U8TEXT);
    wprintf(L"<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
            L"<!-- Generated by harvest_registry from the registration of %ls. -->\n"
            L"<Wix xmlns=\"http://schemas.microsoft.com/wix/2006/wi\">\n"
            L"  <Fragment>\n"
            L"    <ComponentGroup Id=\"%ls\" Directory=\"%ls\">\n"
            L"      <Component Id=\"%ls\" Guid=\"*\" Win64=\"$(var.Win64)\">\n",
            Xml(path).c_str(), group.c_str(), directoryId.c_str(), group.c_str());
    PrintValues(values, file, folder, fileId, directoryId);
    // On a 64-bit system the platform's type library registration also describes the
    // interfaces to 32-bit programs (the 32-bit view of the classes), where a scratch key
    // cannot catch it: the 64-bit package writes the same interface entries there.
    std::vector<Value> interfaces;
    for (const Value& value : values)
        if (value.root == L"HKCR" && Lower(value.key).rfind(L"interface\\", 0) == 0)
            interfaces.push_back(value);
    if (!interfaces.empty()) {
        wprintf(L"      </Component>\n<?if $(var.Win64) = yes ?>\n"
                L"      <Component Id=\"%ls32\" Guid=\"*\" Win64=\"no\">\n",
                group.c_str());
        PrintValues(interfaces, file, folder, fileId, directoryId, group + L"32_");
        wprintf(L"      </Component>\n<?endif?>\n    </ComponentGroup>\n  </Fragment>\n</Wix>\n");
    } else {
        wprintf(L"      </Component>\n    </ComponentGroup>\n  </Fragment>\n</Wix>\n");
    }
    FreeLibrary(library);
    return 0;
}
