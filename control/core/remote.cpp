// The remote device object: a Corvid control object on another host that serves the
// dispatch members while it is present (see CCorvid::Enter for the forwarding).
#include "corvid.h"
#include "wait_cursor.h"

#include <cwchar>
#include <string>

namespace core {

using com::ComPtr;

namespace {

constexpr wchar_t kLocalHost[] = L"Localhost";
constexpr wchar_t kCreateObjectCaption[] = L"CCorvid::CreateFGDeviceObject";
constexpr wchar_t kCreateRemoteCaption[] = L"CCorvid::CreateRemoteObject";

std::wstring Hex(HRESULT hr) {
    wchar_t digits[16] = {};
    swprintf(digits, 16, L"%lx", static_cast<unsigned long>(hr));
    return digits;
}

HRESULT Refuse(const std::wstring& text, const wchar_t* caption) {
    MessageBoxW(nullptr, text.c_str(), caption, MB_TASKMODAL | MB_OK);
    return E_FAIL;
}

} // namespace

HRESULT CCorvid::get_Hostname(BSTR* host) {
    if (!host) return E_POINTER;
    *host = SysAllocString(remote_.host.c_str());
    return *host ? S_OK : E_OUTOFMEMORY;
}

HRESULT CCorvid::put_Hostname(BSTR host) {
    if (SysStringLen(host) == 0 || remote_.host == host) return S_OK;
    WaitCursor wait;
    const HRESULT hr = CreateRemoteObject(host);
    if (FAILED(hr)) return hr;
    PropertyChanged(kDispidHostname);
    return S_OK;
}

HRESULT CCorvid::CreateRemoteObject(const wchar_t* host) {
    if (!host || wcscmp(host, kLocalHost) == 0) {
        AttachRemoteDevice(nullptr, kLocalHost);
        return S_OK;
    }
    COSERVERINFO server{};
    server.pwszName = const_cast<LPWSTR>(host);
    ComPtr<IClassFactory> factory;
    HRESULT hr = CoGetClassObject(CLSID_Corvid, CLSCTX_REMOTE_SERVER, &server, IID_IClassFactory,
                                  reinterpret_cast<void**>(factory.GetAddressOf()));
    if (FAILED(hr))
        return Refuse(L"Unable to create Corvid object on hostname \"" + std::wstring(host) +
                          L"\" (0x" + Hex(hr) + L")\n",
                      kCreateObjectCaption);
    ComPtr<IUnknown> unknown;
    hr = factory->CreateInstance(nullptr, IID_IUnknown,
                                 reinterpret_cast<void**>(unknown.GetAddressOf()));
    if (FAILED(hr))
        return Refuse(L"Unable to create IUnknown instance (0x" + Hex(hr) + L")\n",
                      kCreateRemoteCaption);
    // ICorvid3 carries every member the control forwards, those of ICorvid included.
    ComPtr<ICorvid3> remote;
    hr = unknown.As(&remote);
    if (FAILED(hr))
        return Refuse(L"Unable to get ICorvid interface (0x" + Hex(hr) + L")\n",
                      kCreateRemoteCaption);
    AttachRemoteDevice(std::move(remote), host);
    return S_OK;
}

void CCorvid::AttachRemoteDevice(ComPtr<ICorvid3> remote, std::wstring host) {
    remote_.object = std::move(remote);
    remote_.host = std::move(host);
}

} // namespace core
