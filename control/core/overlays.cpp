// Overlay surfaces: driver-held drawing surfaces the size of a frame that the device lays
// over live video or burns into a frame. The control keeps up to 64 of them, one active;
// the host draws into one through a drawing context or loads a bitmap file into it.
#include "bitmap_file.h"
#include "corvid.h"

#include "surface_messages.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <utility>
#include <vector>

namespace core {
namespace {

constexpr DWORD kHelpAllocateSurface = 2117;
constexpr DWORD kHelpDestroySurface = 2119;
constexpr DWORD kHelpEraseSurface = 2121;
constexpr DWORD kHelpGetSurfaceDC = 2127;
constexpr DWORD kHelpReleaseSurfaceDC = 2139;
constexpr DWORD kHelpOverlaySurfaceOnFrame = 2108;
constexpr DWORD kHelpSurfaceCount = 2078;
constexpr DWORD kHelpActiveSurface = 2095;
constexpr DWORD kHelpTranslucent = 2086;
constexpr DWORD kHelpColorKey = 2025;
constexpr DWORD kHelpImageFile = 2062;
constexpr DWORD kHelpEnableOverlays = 2139;
constexpr DWORD kHelpDisableOverlays = 2164;

constexpr wchar_t kNoSurfacesAvailable[] = L"No surfaces available";

// The calling thread's last error, or `fallback` when the failing call left none.
DWORD LastErrorOr(DWORD fallback) {
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : fallback;
}

// Copies the bitmap into the surface's context from (0, 0): a larger bitmap is cut to the
// surface, a smaller one leaves the rest of the surface as it was. 0, or a system error.
DWORD CopyBitmap(HDC target, HBITMAP bitmap, int32_t width, int32_t height) {
    BITMAP info{};
    if (GetObjectW(bitmap, sizeof(info), &info) != sizeof(info)) return ERROR_INVALID_DATA;
    com::UniqueMemoryDc source(CreateCompatibleDC(target));
    if (!source) return LastErrorOr(ERROR_NOT_ENOUGH_MEMORY);
    com::SelectedObject selected(source.Get(), bitmap);
    const int copyWidth = std::min<int>(width, info.bmWidth);
    const int copyHeight = std::min<int>(height, std::abs(info.bmHeight));
    if (!BitBlt(target, 0, 0, copyWidth, copyHeight, source.Get(), 0, 0, SRCCOPY))
        return LastErrorOr(ERROR_INVALID_DATA);
    return ERROR_SUCCESS;
}

} // namespace

// Driver results do not matter here: the surface goes in any case.
OverlaySurface::~OverlaySurface() {
    if (handle == 0) return;
    if (dc) imaging::STM_RELEASE_SURFACE_DC(driver, handle, dc);
    imaging::STM_ENABLE_OVERLAYS(driver, false);
    imaging::STM_DESTROY_SURFACE(driver, handle);
}

// ---- The surface table ----

// The surface is the size of the active frame, or of the default frame without one. A full
// table is refused before the driver is asked for a surface that could not be kept.
STDMETHODIMP CCorvid::AllocateSurface(long* id) {
    if (auto done = Enter(kHelpAllocateSurface, {id}, &ICorvid::AllocateSurface, id)) return *done;
    if (surfaces_.Full()) return ReportDescription(kNoSurfacesAvailable);
    const FrameRecord* frame = frames_.Active();
    const int32_t width = frame ? frame->width : frameDefaults_.width;
    const int32_t height = frame ? frame->height : frameDefaults_.height;
    std::unique_ptr<OverlaySurface> surface(new (std::nothrow)
                                                OverlaySurface(device_.driver, width, height));
    if (!surface) return E_OUTOFMEMORY;

    // The first step that fails ends creation; the object destroys what was made.
    const HDRVR driver = device_.driver;
    if (Failed(
            imaging::STM_CREATE_SURFACE(driver, width, height, surface->flags, &surface->handle)) ||
        Failed(imaging::STM_SET_SURFACE_COLOR_KEY(driver, surface->handle, surface->colorKey)) ||
        Failed(imaging::STM_ERASE_SURFACE(driver, surface->handle)))
        return ReportLastStatus();

    // The new surface becomes the active Id; the driver is not told until it is selected.
    const std::optional<int32_t> index = surfaces_.Insert(std::move(surface));
    if (!index) return ReportDescription(kNoSurfacesAvailable);
    *id = *index;
    PropertyChanged(DispidActiveSurface);
    return S_OK;
}

STDMETHODIMP CCorvid::DestroySurface(long id) {
    if (auto done = Enter(kHelpDestroySurface, {}, &ICorvid::DestroySurface, id)) return *done;
    DestroyLocalSurface(id);
    return S_OK;
}

// Nothing for an Id without a surface. Destroying the active surface moves the active Id to
// the nearest remaining surface, lower Ids first.
void CCorvid::DestroyLocalSurface(int32_t id) {
    OverlaySurface* surface = surfaces_.Find(id);
    if (!surface) return;
    imaging::STM_ERASE_SURFACE(device_.driver, surface->handle);
    const bool wasActive = surfaces_.ActiveIndex() == id;
    surfaces_.Remove(id);
    if (surfaces_.Count() == 0)
        PutActiveSurface(SurfaceTable::kNone);
    else if (wasActive)
        PutActiveSurface(surfaces_.Neighbour(id));
}

void CCorvid::DestroyAllSurfaces() {
    for (int32_t id = 0; id < SurfaceTable::kSlots && surfaces_.Count() > 0; ++id)
        DestroyLocalSurface(id);
}

STDMETHODIMP CCorvid::get_SurfaceCount(long* count) {
    if (auto done = Enter(kHelpSurfaceCount, {count}, &ICorvid::get_SurfaceCount, count))
        return *done;
    *count = surfaces_.Count();
    return S_OK;
}

STDMETHODIMP CCorvid::get_ActiveSurface(long* id) {
    if (auto done = Enter(kHelpActiveSurface, {id}, &ICorvid::get_ActiveSurface, id)) return *done;
    *id = surfaces_.ActiveIndex();
    return S_OK;
}

STDMETHODIMP CCorvid::put_ActiveSurface(long id) {
    if (auto done = Enter(kHelpActiveSurface, {}, &ICorvid::put_ActiveSurface, id)) return *done;
    return PutActiveSurface(id);
}

HRESULT CCorvid::PutActiveSurface(int32_t id) {
    if (id == SurfaceTable::kNone) {
        surfaces_.SetActive(SurfaceTable::kNone);
    } else {
        if (!surfaces_.Valid(id)) return E_INVALIDARG;
        surfaces_.SetActive(id);
        if (const HRESULT hr = SelectActiveSurface(); FAILED(hr)) return hr;
    }
    PropertyChanged(DispidActiveSurface);
    return S_OK;
}

// Selection may fail without an error: the translucency that follows it in any case gives
// the result.
HRESULT CCorvid::SelectActiveSurface() {
    OverlaySurface* surface = surfaces_.Active();
    if (imaging::STM_SELECT_SURFACE(device_.driver, surface->handle) == imaging::STC_STS_NORMAL)
        surface->selected = 1;
    if (Failed(imaging::STM_SET_TRANSLUCENT(device_.driver, surface->translucent != 0)))
        return ReportLastStatus();
    return S_OK;
}

// ---- Drawing into a surface ----

STDMETHODIMP CCorvid::EraseSurface(long id) {
    if (auto done = Enter(kHelpEraseSurface, {}, &ICorvid::EraseSurface, id)) return *done;
    const std::optional<int32_t> index = surfaces_.Resolve(id);
    if (!index) return E_INVALIDARG;
    if (Failed(imaging::STM_ERASE_SURFACE(device_.driver, surfaces_.Find(*index)->handle)))
        return ReportLastStatus();
    return S_OK;
}

// The context stays the driver's: the surface holds it until ReleaseSurfaceDC. A 32-bit
// value carries it, as it does every GDI handle.
STDMETHODIMP CCorvid::GetSurfaceDC(long id, long* dc) {
    if (auto done = Enter(kHelpGetSurfaceDC, {dc}, &ICorvid::GetSurfaceDC, id, dc)) return *done;
    OverlaySurface* surface = surfaces_.Find(id);
    if (!surface) return E_INVALIDARG;
    HDC context = nullptr;
    if (Failed(imaging::STM_GET_SURFACE_DC(device_.driver, surface->handle, &context)))
        return ReportLastStatus();
    surface->dc = context;
    *dc = static_cast<long>(reinterpret_cast<intptr_t>(context));
    return S_OK;
}

STDMETHODIMP CCorvid::ReleaseSurfaceDC(long id) {
    if (auto done = Enter(kHelpReleaseSurfaceDC, {}, &ICorvid::ReleaseSurfaceDC, id)) return *done;
    OverlaySurface* surface = surfaces_.Find(id);
    if (!surface) return E_INVALIDARG;
    const HDC context = std::exchange(surface->dc, nullptr);
    if (Failed(imaging::STM_RELEASE_SURFACE_DC(device_.driver, surface->handle, context)))
        return ReportLastStatus();
    return S_OK;
}

STDMETHODIMP CCorvid::OverlaySurfaceOnFrame(long frameId, long surfaceId) {
    if (auto done = Enter(kHelpOverlaySurfaceOnFrame, {}, &ICorvid::OverlaySurfaceOnFrame, frameId,
                          surfaceId))
        return *done;
    const std::optional<int32_t> frame = frames_.Resolve(frameId);
    const std::optional<int32_t> surface = surfaces_.Resolve(surfaceId);
    if (!frame || !surface) return E_INVALIDARG;
    const OverlaySurface& overlay = *surfaces_.Find(*surface);
    if (Failed(imaging::STM_OVERLAY_SURFACE_ON_FRAME(device_.driver, overlay.handle,
                                                     frames_.Find(*frame)->driverFrameId,
                                                     overlay.translucent == 1)))
        return ReportLastStatus();
    return S_OK;
}

// ---- The active surface's properties ----

STDMETHODIMP CCorvid::get_Translucent(VARIANT_BOOL* value) {
    if (auto done = Enter(kHelpTranslucent, {value}, &ICorvid::get_Translucent, value))
        return *done;
    const OverlaySurface* surface = surfaces_.Active();
    if (!surface) return E_FAIL;
    *value = surface->translucent != 0 ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

// The device-wide switch is 1 or 0, and so is what the surface keeps.
STDMETHODIMP CCorvid::put_Translucent(VARIANT_BOOL value) {
    if (auto done = Enter(kHelpTranslucent, {}, &ICorvid::put_Translucent, value)) return *done;
    OverlaySurface* surface = surfaces_.Active();
    if (!surface) return E_FAIL;
    const bool translucent = value != 0;
    if (Failed(imaging::STM_SET_TRANSLUCENT(device_.driver, translucent)))
        return ReportLastStatus();
    surface->translucent = translucent ? 1 : 0;
    PropertyChanged(DispidTranslucent);
    return S_OK;
}

STDMETHODIMP CCorvid::get_ColorKey(OLE_COLOR* color) {
    if (auto done = Enter(kHelpColorKey, {color}, &ICorvid::get_ColorKey, color)) return *done;
    const OverlaySurface* surface = surfaces_.Active();
    if (!surface) return E_FAIL;
    *color = surface->colorKey;
    return S_OK;
}

// The driver layer hands the key over in the driver's byte order; the host's stays here.
STDMETHODIMP CCorvid::put_ColorKey(OLE_COLOR color) {
    if (auto done = Enter(kHelpColorKey, {}, &ICorvid::put_ColorKey, color)) return *done;
    OverlaySurface* surface = surfaces_.Active();
    if (!surface) return E_FAIL;
    if (Failed(imaging::STM_SET_SURFACE_COLOR_KEY(device_.driver, surface->handle, color)))
        return ReportLastStatus();
    surface->colorKey = color;
    PropertyChanged(DispidColorKey);
    return S_OK;
}

STDMETHODIMP CCorvid::get_ImageFile(BSTR* name) {
    if (auto done = Enter(kHelpImageFile, {name}, &ICorvid::get_ImageFile, name)) return *done;
    const OverlaySurface* surface = surfaces_.Active();
    if (!surface) return E_FAIL;
    *name = SysAllocString(surface->imageFile.c_str());
    return *name ? S_OK : E_OUTOFMEMORY;
}

// The name is kept even when the file cannot be loaded; an empty name keeps the surface's
// contents. A loaded file shows: the surface is selected and the overlays switched on.
STDMETHODIMP CCorvid::put_ImageFile(BSTR name) {
    if (auto done = Enter(kHelpImageFile, {}, &ICorvid::put_ImageFile, name)) return *done;
    OverlaySurface* surface = surfaces_.Active();
    if (!surface) return E_FAIL;
    if (!name) {
        device_.lastStatus = ERROR_INVALID_DATA;
        return ReportLastStatus();
    }
    surface->imageFile.assign(
        name, std::min<size_t>(SysStringLen(name), OverlaySurface::kImageFileChars));
    if (!surface->imageFile.empty()) {
        if (const HRESULT hr = LoadSurfaceImage(*surface); FAILED(hr)) return hr;
    }
    PropertyChanged(DispidImageFile);
    return S_OK;
}

namespace {

// The bitmap files read at most this much; an overlay is far smaller.
constexpr DWORD kLargestImageFileBytes = 64 * 1024 * 1024;

// The system's error for a file that cannot be read whole from a disk, or ERROR_SUCCESS with
// its bytes.
DWORD ReadImageFile(const wchar_t* name, std::vector<uint8_t>& bytes) {
    const com::UniqueFile file(CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) return LastErrorOr(ERROR_FILE_NOT_FOUND);
    if (GetFileType(file.Get()) != FILE_TYPE_DISK) return ERROR_BAD_FILE_TYPE;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size)) return LastErrorOr(ERROR_READ_FAULT);
    if (size.QuadPart > kLargestImageFileBytes) return ERROR_INVALID_DATA;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!bytes.empty() && !ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                                    &read, nullptr))
        return LastErrorOr(ERROR_READ_FAULT);
    return read == bytes.size() ? ERROR_SUCCESS : ERROR_HANDLE_EOF;
}

} // namespace

HRESULT CCorvid::LoadSurfaceImage(OverlaySurface& surface) {
    // The platform's loader trusts the file's headers: it sees only a file checked whole.
    std::vector<uint8_t> bytes;
    if (const DWORD error = ReadImageFile(surface.imageFile.c_str(), bytes); error != ERROR_SUCCESS) {
        device_.lastStatus = error;
        return ReportLastStatus();
    }
    if (!IsSoundBitmapFile(bytes)) {
        device_.lastStatus = ERROR_INVALID_DATA;
        return ReportLastStatus();
    }
    com::UniqueBitmap bitmap(
        static_cast<HBITMAP>(LoadImageW(nullptr, surface.imageFile.c_str(), IMAGE_BITMAP, 0, 0,
                                        LR_LOADFROMFILE | LR_CREATEDIBSECTION)));
    if (!bitmap) {
        device_.lastStatus = LastErrorOr(ERROR_INVALID_DATA);
        return ReportLastStatus();
    }
    const HDRVR driver = device_.driver;
    HDC context = nullptr;
    if (Failed(imaging::STM_GET_SURFACE_DC(driver, surface.handle, &context)))
        return ReportLastStatus();
    const DWORD copyError = CopyBitmap(context, bitmap.Get(), surface.width, surface.height);
    const imaging::STT_APISTATUS released =
        imaging::STM_RELEASE_SURFACE_DC(driver, surface.handle, context);
    if (copyError != ERROR_SUCCESS) {
        device_.lastStatus = copyError;
        return ReportLastStatus();
    }
    if (Failed(released)) return ReportLastStatus();
    bitmap.Reset();
    if (const HRESULT hr = SelectActiveSurface(); FAILED(hr)) return hr;
    if (Failed(imaging::STM_ENABLE_OVERLAYS(driver, true))) return ReportLastStatus();
    return S_OK;
}

// ---- The device-wide switch ----

// Any allocated surface names the device for the switch.
HRESULT CCorvid::SwitchOverlays(long id, bool on) {
    if (!surfaces_.Valid(id)) return E_INVALIDARG;
    if (Failed(imaging::STM_ENABLE_OVERLAYS(device_.driver, on))) return ReportLastStatus();
    return S_OK;
}

STDMETHODIMP CCorvid::EnableOverlays(long id) {
    if (auto done = Enter(kHelpEnableOverlays, {}, &ICorvid2::EnableOverlays, id)) return *done;
    return SwitchOverlays(id, true);
}

STDMETHODIMP CCorvid::DisableOverlays(long id) {
    if (auto done = Enter(kHelpDisableOverlays, {}, &ICorvid2::DisableOverlays, id)) return *done;
    return SwitchOverlays(id, false);
}

} // namespace core
