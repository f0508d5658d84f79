// The Display page: the active frame drawn in a picture window, live video into it, the
// color planes of the frame, and the overlay surfaces with their image, translucency and
// color key. Its buttons act at once; the origins and the surfaces' settings wait for Apply.
#include "display_page.h"

#include "bitmap_file.h"
#include "module.h"
#include "page_form.h"
#include "raii.h"

#include <commdlg.h>

#include <algorithm>
#include <array>
#include <cwchar>
#include <memory>
#include <vector>

namespace pages {
namespace {

constexpr wchar_t kPictureClass[] = L"KV_DISPLAY";
constexpr wchar_t kPictureTitle[] = L"Display";
constexpr size_t kSurfaceSlots = 64;
constexpr size_t kLongestPath = 260;
// A preview never reads more than this; an overlay image is far smaller.
constexpr DWORD kLargestPreviewBytes = 64 * 1024 * 1024;

constexpr DISPID kActiveDeviceChanged = 203;
constexpr DISPID kControlStateChanged = 209;
constexpr DISPID kActiveFrameChanged = 305;
constexpr DISPID kLineScanModeChanged = 1105;

// The planes of the buttons: the order of ExtractRGBPlanesEx's arguments.
enum class Plane { Red, Green, Blue };
struct PlaneButton {
    int id;
    Plane plane;
};
constexpr PlaneButton kPlaneButtons[] = {
    {IDC_DISPLAY_RED, Plane::Red},
    {IDC_DISPLAY_GREEN, Plane::Green},
    {IDC_DISPLAY_BLUE, Plane::Blue},
};

// What the page keeps of one surface: read from the control when the surface is first shown,
// changed by the user, written on Apply.
struct SurfaceSettings {
    bool read = false;
    bool changed = false;
    std::wstring image;
    bool translucent = false;
    COLORREF colorKey = 0;
};

// What the page knows of a surface id of the control.
enum class Presence : uint8_t { Unknown, Allocated, Free };

long HandleArgument(HWND window) {
    return static_cast<long>(reinterpret_cast<intptr_t>(window));
}

// A signed number as typed; what does not parse reads as 0.
long SignedNumber(const std::wstring& text) {
    return std::wcstol(text.c_str(), nullptr, 10);
}

// The bytes of a file that a disk holds whole, or the system's reason.
DWORD ReadWholeFile(const wchar_t* name, std::vector<uint8_t>& bytes) {
    const com::UniqueFile file(CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) return GetLastError();
    LARGE_INTEGER size{};
    if (GetFileType(file.Get()) != FILE_TYPE_DISK || !GetFileSizeEx(file.Get(), &size))
        return ERROR_BAD_FILE_TYPE;
    if (size.QuadPart > kLargestPreviewBytes) return ERROR_INVALID_DATA;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    if (!bytes.empty() &&
        !ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr))
        return GetLastError();
    return got == bytes.size() ? ERROR_SUCCESS : ERROR_HANDLE_EOF;
}

// A bitmap file as a bitmap for the preview. The platform's loader trusts the file's headers,
// so it only sees a file whose headers agree with its length.
HRESULT LoadPreview(const std::wstring& name, com::UniqueBitmap& bitmap) {
    std::vector<uint8_t> bytes;
    if (const DWORD error = ReadWholeFile(name.c_str(), bytes); error != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(error);
    if (!core::IsSoundBitmapFile(bytes)) return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    bitmap.Reset(static_cast<HBITMAP>(LoadImageW(nullptr, name.c_str(), IMAGE_BITMAP, 0, 0,
                                                 LR_LOADFROMFILE | LR_CREATEDIBSECTION)));
    if (bitmap) return S_OK;
    const DWORD error = GetLastError();
    return HRESULT_FROM_WIN32(error ? error : ERROR_INVALID_DATA);
}

LRESULT CALLBACK PictureProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

bool RegisterPictureClass() {
    WNDCLASSEXW known{};
    known.cbSize = sizeof known;
    if (GetClassInfoExW(com::ModuleHandle(), kPictureClass, &known)) return true;
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    // Its own drawing context: the scroll position set on it (the viewport origin) holds for
    // every drawing into the window, the driver's included.
    windowClass.style = CS_OWNDC | CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = PictureProc;
    windowClass.hInstance = com::ModuleHandle();
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<intptr_t>(COLOR_APPWORKSPACE + 1));
    windowClass.lpszClassName = kPictureClass;
    // Another page may have registered it meanwhile.
    return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

class DisplayForm final : public PageForm {
public:
    DisplayForm() {
        OnClick(IDC_DISPLAY_START, [this] { StartPassthru(); });
        OnClick(IDC_DISPLAY_STOP, [this] { StopPassthru(); });
        for (const PlaneButton& button : kPlaneButtons)
            OnClick(button.id, [this, plane = button.plane] { DrawPlane(plane); });
        On(IDC_DISPLAY_XORIGIN, EN_CHANGE, [this] { Changed(originChanged_); });
        On(IDC_DISPLAY_YORIGIN, EN_CHANGE, [this] { Changed(originChanged_); });
        OnClick(IDC_DISPLAY_ALLOCATE, [this] { AllocateSurface(); });
        OnClick(IDC_DISPLAY_DESTROY, [this] { DestroySurface(); });
        On(IDC_DISPLAY_SURFACE, CBN_SELCHANGE, [this] { ChooseSurface(); });
        OnClick(IDC_DISPLAY_TRANSLUCENT, [this] { ChangeTranslucent(); });
        OnClick(IDC_DISPLAY_COLOR_KEY, [this] { ChooseColorKey(); });
        OnClick(IDC_DISPLAY_BROWSE, [this] { Browse(); });
    }

    void Initialize() override {
        CreatePicture();
        Read();
    }

    void PropertyChanged(DISPID id) override {
        if (id == kActiveDeviceChanged) {
            // Another board: its surfaces are all new.
            presence_ = {};
            surfaces_ = {};
        }
        if (id == kActiveDeviceChanged || id == kControlStateChanged ||
            id == kLineScanModeChanged || id == kActiveFrameChanged)
            Read();
    }

    void Deactivating() override { EndLiveVideo(); }

    HRESULT Apply() override {
        const long x = SignedNumber(Text(IDC_DISPLAY_XORIGIN));
        const long y = SignedNumber(Text(IDC_DISPLAY_YORIGIN));
        const long chosen = static_cast<long>(SelectedData(IDC_DISPLAY_SURFACE, -1));
        bool surfacesChanged = false;
        for (const SurfaceSettings& s : surfaces_) surfacesChanged |= s.changed;
        HRESULT result = S_OK;
        for (const ComPtr<ICorvid3>& control : Controls()) {
            HRESULT hr = S_OK;
            if (originChanged_) {
                hr = control->put_XPassthruOrigin(x);
                if (SUCCEEDED(hr)) hr = control->put_YPassthruOrigin(y);
            }
            if (SUCCEEDED(hr) && surfacesChanged) hr = WriteSurfaces(control.Get(), chosen);
            if (FAILED(hr)) result = Present(hr, L"CDisplayPage::Apply");
        }
        if (SUCCEEDED(result)) {
            originChanged_ = false;
            for (SurfaceSettings& s : surfaces_) s.changed = false;
        }
        return result;
    }

private:
    // ---- Reading ----

    void Read() {
        Showing showing(*this);
        ICorvid3* control = Control();
        const long type = DeviceType();
        open_ = type != 0;
        ShowNothing();
        if (!open_) return;
        const HRESULT hr = ReadProperties(control, type);
        if (FAILED(hr)) Present(hr, L"CDisplayPage::GetProperties");
        EnableControls();
        UpdateScrollBars();
        if (picture_) InvalidateRect(picture_, nullptr, TRUE);
    }

    void ShowNothing() {
        for (int id : {IDC_DISPLAY_FRAME, IDC_DISPLAY_HSCALE, IDC_DISPLAY_VSCALE, IDC_DISPLAY_XORIGIN,
                       IDC_DISPLAY_YORIGIN, IDC_DISPLAY_SURFACE_COUNT, IDC_DISPLAY_IMAGE})
            SetText(id, L"");
        ClearList(IDC_DISPLAY_SURFACE);
        Check(IDC_DISPLAY_TRANSLUCENT, false);
        activeFrame_ = -1;
        frameSize_ = {};
        lineScanMode_ = false;
        planesOffered_ = false;
        surfaceCount_ = 0;
        preview_.Reset();
        shownPlane_.Reset();
        EnableControls();
    }

    HRESULT ReadProperties(ICorvid3* control, long type) {
        // Live video of a scaling board is at most its largest passthru size.
        long scales = 0;
        std::array<long, 4> width{}, height{};
        passthruLimit_ = {};
        if (SUCCEEDED(control->QueryPassthruCaps(STC_FG_PC_DOES_SCALING, &scales, sizeof scales)) &&
            scales == 1 &&
            SUCCEEDED(control->QueryPassthruCaps(STC_FG_PC_SCALE_WIDTH_LIMITS, width.data(),
                                                 sizeof width)) &&
            SUCCEEDED(control->QueryPassthruCaps(STC_FG_PC_SCALE_HEIGHT_LIMITS, height.data(),
                                                 sizeof height)))
            passthruLimit_ = {width[1], height[1]};
        SetErrorInfo(0, nullptr); // a board without the keys answers with an error

        HRESULT hr = control->get_ActiveFrame(&activeFrame_);
        if (FAILED(hr)) return hr;
        if (activeFrame_ >= 0) {
            long hscale = 0, vscale = 0;
            if (FAILED(hr = control->get_FrameWidth(&frameSize_.cx)) ||
                FAILED(hr = control->get_FrameHeight(&frameSize_.cy)) ||
                FAILED(hr = control->get_FrameHorizontalScale(&hscale)) ||
                FAILED(hr = control->get_FrameVerticalScale(&vscale)))
                return hr;
            SetNumber(IDC_DISPLAY_FRAME, activeFrame_);
            SetNumber(IDC_DISPLAY_HSCALE, hscale);
            SetNumber(IDC_DISPLAY_VSCALE, vscale);
        } else {
            SetText(IDC_DISPLAY_FRAME, L"none allocated");
        }

        long x = 0, y = 0;
        if (FAILED(hr = control->get_XPassthruOrigin(&x)) ||
            FAILED(hr = control->get_YPassthruOrigin(&y)))
            return hr;
        SetNumber(IDC_DISPLAY_XORIGIN, x);
        SetNumber(IDC_DISPLAY_YORIGIN, y);
        originChanged_ = false;

        if (FAILED(hr = ReadSurfaces(control))) return hr;

        if (type == KV7400LS) {
            VARIANT_BOOL mode = VARIANT_FALSE;
            if (FAILED(hr = control->get_LineScanMode(&mode))) return hr;
            lineScanMode_ = mode != VARIANT_FALSE;
        }
        // Planes are extracted and drawn by the color boards' interfaces.
        VARIANT_BOOL extracts = VARIANT_FALSE, draws = VARIANT_FALSE;
        planesOffered_ =
            SUCCEEDED(control->ColorQueryInterface(STC_QUERY_COLOR_INTERFACE_EXTRACT_FRAME, &extracts)) &&
            SUCCEEDED(control->ColorQueryInterface(STC_QUERY_COLOR_INTERFACE_DRAW_BUFFER, &draws)) &&
            extracts != VARIANT_FALSE && draws != VARIANT_FALSE;
        return S_OK;
    }

    // The count, the list and the active surface's settings.
    HRESULT ReadSurfaces(ICorvid3* control) {
        long active = -1;
        HRESULT hr = control->get_SurfaceCount(&surfaceCount_);
        if (SUCCEEDED(hr)) hr = control->get_ActiveSurface(&active);
        if (FAILED(hr)) return hr;
        SetNumber(IDC_DISPLAY_SURFACE_COUNT, surfaceCount_);
        ClearList(IDC_DISPLAY_SURFACE);
        if (surfaceCount_ > 0) ListSurfaces(active);
        SelectData(IDC_DISPLAY_SURFACE, active);
        return ShowSurface(control, active);
    }

    // The control tells how many surfaces there are and which is active, not their ids. It
    // takes the lowest free id for a new surface, so the ids the page has not seen come and
    // go are taken to be the lowest ones.
    void ListSurfaces(long active) {
        if (active >= 0 && active < static_cast<long>(kSurfaceSlots))
            presence_[static_cast<size_t>(active)] = Presence::Allocated;
        std::vector<long> ids;
        for (size_t id = 0; id < kSurfaceSlots; ++id)
            if (presence_[id] == Presence::Allocated) ids.push_back(static_cast<long>(id));
        for (size_t id = 0; id < kSurfaceSlots && static_cast<long>(ids.size()) < surfaceCount_; ++id)
            if (presence_[id] == Presence::Unknown) ids.push_back(static_cast<long>(id));
        std::sort(ids.begin(), ids.end());
        for (long id : ids) AddEntry(IDC_DISPLAY_SURFACE, std::to_wstring(id), id);
    }

    // Shows a surface's settings: the page's own when it has them, else the control's.
    HRESULT ShowSurface(ICorvid3* control, long id) {
        if (id < 0 || id >= static_cast<long>(kSurfaceSlots)) {
            Check(IDC_DISPLAY_TRANSLUCENT, false);
            SetText(IDC_DISPLAY_IMAGE, L"");
            preview_.Reset();
            RedrawPreview();
            return S_OK;
        }
        SurfaceSettings& s = surfaces_[static_cast<size_t>(id)];
        if (!s.read) {
            VARIANT_BOOL translucent = VARIANT_FALSE;
            OLE_COLOR key = 0;
            com::UniqueBstr image;
            HRESULT hr = control->get_Translucent(&translucent);
            if (SUCCEEDED(hr)) hr = control->get_ColorKey(&key);
            if (SUCCEEDED(hr)) hr = control->get_ImageFile(image.Out());
            if (FAILED(hr)) return hr;
            s = {true, false, image.Empty() ? std::wstring() : image.Text(),
                 translucent != VARIANT_FALSE, static_cast<COLORREF>(key)};
        }
        Check(IDC_DISPLAY_TRANSLUCENT, s.translucent);
        SetText(IDC_DISPLAY_IMAGE, s.image);
        // A file that has gone since it was loaded shows no preview; the surface keeps it.
        if (s.image.empty() || FAILED(LoadPreview(s.image, preview_))) preview_.Reset();
        RedrawPreview();
        return S_OK;
    }

    void EnableControls() {
        const bool frame = open_ && activeFrame_ >= 0;
        const bool surface = open_ && ChosenSurface() >= 0;
        Enable({IDC_DISPLAY_FRAME_GROUP, IDC_DISPLAY_PASSTHRU_GROUP, IDC_DISPLAY_XORIGIN_LABEL,
                IDC_DISPLAY_XORIGIN, IDC_DISPLAY_YORIGIN_LABEL, IDC_DISPLAY_YORIGIN,
                IDC_DISPLAY_STOP, IDC_DISPLAY_OVERLAY_GROUP, IDC_DISPLAY_SURFACE_COUNT_LABEL,
                IDC_DISPLAY_ALLOCATE},
               open_);
        Enable({IDC_DISPLAY_START}, frame && !live_);
        Enable({IDC_DISPLAY_PLANES_GROUP, IDC_DISPLAY_RED, IDC_DISPLAY_GREEN, IDC_DISPLAY_BLUE},
               frame && planesOffered_ && !live_);
        Enable({IDC_DISPLAY_DESTROY, IDC_DISPLAY_SURFACE_LABEL, IDC_DISPLAY_SURFACE,
                IDC_DISPLAY_TRANSLUCENT, IDC_DISPLAY_COLOR_KEY, IDC_DISPLAY_IMAGE_LABEL,
                IDC_DISPLAY_IMAGE, IDC_DISPLAY_BROWSE},
               surface);
    }

    long ChosenSurface() const { return static_cast<long>(SelectedData(IDC_DISPLAY_SURFACE, -1)); }

    void Changed(bool& flag) {
        flag = true;
        SetDirty();
    }

    // ---- The picture ----

    void CreatePicture() {
        if (picture_ || !RegisterPictureClass()) return;
        RECT area{DISPLAY_PICTURE_X, DISPLAY_PICTURE_Y, DISPLAY_PICTURE_X + DISPLAY_PICTURE_CX,
                  DISPLAY_PICTURE_Y + DISPLAY_PICTURE_CY};
        MapDialogRect(Window(), &area);
        picture_ = CreateWindowExW(WS_EX_CLIENTEDGE, kPictureClass, kPictureTitle,
                                   WS_CHILD | WS_VISIBLE | WS_HSCROLL | WS_VSCROLL, area.left,
                                   area.top, area.right - area.left, area.bottom - area.top,
                                   Window(), reinterpret_cast<HMENU>(IDC_DISPLAY_PICTURE),
                                   com::ModuleHandle(), this);
    }

    // The picture's extent: live video at most the board's passthru size, else the frame.
    SIZE ImageExtent() const {
        SIZE extent = frameSize_;
        if (live_ && passthruLimit_.cx > 0) {
            extent.cx = std::min(extent.cx, passthruLimit_.cx);
            extent.cy = std::min(extent.cy, passthruLimit_.cy);
        }
        return extent;
    }

    void UpdateScrollBars() {
        if (!picture_) return;
        RECT client{};
        GetClientRect(picture_, &client);
        const SIZE extent = ImageExtent();
        const std::pair<int, long> bars[] = {{SB_HORZ, extent.cx}, {SB_VERT, extent.cy}};
        const long pages[] = {client.right, client.bottom};
        for (int i = 0; i < 2; ++i) {
            SCROLLINFO info{sizeof info, SIF_RANGE | SIF_PAGE | SIF_DISABLENOSCROLL, 0,
                            bars[i].second > 0 ? static_cast<int>(bars[i].second) - 1 : 0,
                            static_cast<UINT>(pages[i]), 0, 0};
            SetScrollInfo(picture_, bars[i].first, &info, TRUE);
        }
        ApplyScrollPosition();
    }

    // Draws what follows from the scroll position: everything drawn into the window is moved.
    void ApplyScrollPosition() {
        const int x = GetScrollPos(picture_, SB_HORZ), y = GetScrollPos(picture_, SB_VERT);
        if (HDC dc = GetDC(picture_)) {
            SetViewportOrgEx(dc, -x, -y, nullptr);
            ReleaseDC(picture_, dc);
        }
    }

    void Scroll(int bar, WORD request) {
        SCROLLINFO info{sizeof info, SIF_ALL, 0, 0, 0, 0, 0};
        GetScrollInfo(picture_, bar, &info);
        int position = info.nPos;
        const int step = 16, page = static_cast<int>(info.nPage);
        switch (request) {
        case SB_LINEUP: position -= step; break;
        case SB_LINEDOWN: position += step; break;
        case SB_PAGEUP: position -= page; break;
        case SB_PAGEDOWN: position += page; break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: position = info.nTrackPos; break;
        case SB_TOP: position = info.nMin; break;
        case SB_BOTTOM: position = info.nMax; break;
        default: return;
        }
        info.fMask = SIF_POS;
        info.nPos = position;
        SetScrollInfo(picture_, bar, &info, TRUE);
        ApplyScrollPosition();
        InvalidateRect(picture_, nullptr, TRUE);
    }

    // Repaints the picture: the background, then what it shows (live video draws itself).
    void PaintPicture() {
        {
            com::PaintDc paint(picture_);
        }
        ICorvid3* control = Control();
        if (!control || !open_ || live_ || activeFrame_ < 0) return;
        // A failure here has no one to tell: the picture stays empty.
        if (shownPlane_.Type() != VT_EMPTY)
            control->DrawRGBPlane(HandleArgument(picture_), *shownPlane_.Get());
        else
            control->DrawAcquiredFrame(HandleArgument(picture_), -1);
        SetErrorInfo(0, nullptr);
    }

    static LRESULT CALLBACK PictureMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    friend LRESULT CALLBACK PictureProc(HWND, UINT, WPARAM, LPARAM);

    // ---- Live video ----

    void StartPassthru() {
        ICorvid3* control = Control();
        if (!control) return;
        shownPlane_.Reset();
        const HRESULT hr = control->StartPassthru(HandleArgument(picture_), -1, ASyncPassthru);
        if (FAILED(hr)) {
            Present(hr, L"CDisplayPage::StartPassthru");
            return;
        }
        live_ = true;
        EnableControls();
        UpdateScrollBars();
    }

    // The frame passthru that this page started, then in line-scan mode the line-scan one.
    void StopPassthru() {
        ICorvid3* control = Control();
        if (!control) return;
        HRESULT hr = control->StopPassthru();
        if (SUCCEEDED(hr)) live_ = false;
        if (SUCCEEDED(hr) && lineScanMode_) hr = control->StopLSPassthru();
        EnableControls();
        UpdateScrollBars();
        if (picture_) InvalidateRect(picture_, nullptr, TRUE);
        if (FAILED(hr)) Present(hr, L"CDisplayPage::StopPassthru");
    }

    // Live video that the page started does not outlive its page: no box, the page is going.
    void EndLiveVideo() {
        if (!live_) return;
        live_ = false;
        if (ICorvid3* control = Control()) control->StopPassthru();
        SetErrorInfo(0, nullptr);
    }

    // ---- Color planes ----

    void DrawPlane(Plane plane) {
        ICorvid3* control = Control();
        if (!control || !picture_) return;
        std::array<com::UniqueVariant, 3> planes;
        HRESULT hr = control->ExtractRGBPlanesEx(-1, planes[0].Get(), planes[1].Get(),
                                                 planes[2].Get());
        com::UniqueVariant& chosen = planes[static_cast<size_t>(plane)];
        if (SUCCEEDED(hr)) hr = control->DrawRGBPlane(HandleArgument(picture_), *chosen.Get());
        if (FAILED(hr)) {
            Present(hr, L"CDisplayPage::DrawRGBPlane");
            return;
        }
        // Kept for the repaints of the picture.
        shownPlane_ = std::move(chosen);
    }

    // ---- Overlay ----

    void AllocateSurface() {
        ChangeSurfaces(L"COverlayPage::OnAllocateSurface", Presence::Allocated,
                       [](ICorvid3* control, long& id) { return control->AllocateSurface(&id); });
    }

    void DestroySurface() {
        ChangeSurfaces(L"COverlayPage::OnDestroySurface", Presence::Free,
                       [this](ICorvid3* control, long& id) {
                           id = ChosenSurface();
                           return id < 0 ? S_OK : control->DestroySurface(id);
                       });
    }

    // Allocates or destroys a surface at once, then shows the surfaces again.
    template <class Call> void ChangeSurfaces(const wchar_t* source, Presence presence, Call call) {
        ICorvid3* control = Control();
        if (!control) return;
        long id = -1;
        const HRESULT hr = call(control, id);
        if (FAILED(hr)) {
            Present(hr, source);
            return;
        }
        Known(id, presence);
        RefreshSurfaces(control, source);
    }

    // A surface this page allocated or destroyed: its settings start afresh.
    void Known(long id, Presence presence) {
        if (id < 0 || id >= static_cast<long>(kSurfaceSlots)) return;
        presence_[static_cast<size_t>(id)] = presence;
        surfaces_[static_cast<size_t>(id)] = {};
    }

    void RefreshSurfaces(ICorvid3* control, const wchar_t* source) {
        HRESULT hr = S_OK;
        {
            Showing showing(*this);
            hr = ReadSurfaces(control);
        }
        EnableControls();
        if (FAILED(hr)) Present(hr, source);
    }

    void ChooseSurface() {
        ICorvid3* control = Control();
        const long id = ChosenSurface();
        if (!control || id < 0) return;
        HRESULT hr = control->put_ActiveSurface(id);
        if (SUCCEEDED(hr)) {
            Showing showing(*this);
            hr = ShowSurface(control, id);
        }
        EnableControls();
        if (FAILED(hr)) Present(hr, L"COverlayPage::OnActiveSurfaceChange");
    }

    SurfaceSettings* ChosenSettings() {
        const long id = ChosenSurface();
        if (id < 0 || id >= static_cast<long>(kSurfaceSlots)) return nullptr;
        return &surfaces_[static_cast<size_t>(id)];
    }

    void ChangeTranslucent() {
        SurfaceSettings* s = ChosenSettings();
        if (!s) return;
        s->translucent = Checked(IDC_DISPLAY_TRANSLUCENT);
        Changed(s->changed);
    }

    void ChooseColorKey() {
        SurfaceSettings* s = ChosenSettings();
        if (!s) return;
        CHOOSECOLORW dialog{};
        dialog.lStructSize = sizeof dialog;
        dialog.hwndOwner = Window();
        dialog.rgbResult = s->colorKey & 0x00FFFFFF;
        dialog.lpCustColors = customColors_.data();
        dialog.Flags = CC_RGBINIT | CC_FULLOPEN;
        if (!ChooseColorW(&dialog)) return;
        s->colorKey = dialog.rgbResult;
        Changed(s->changed);
    }

    void Browse() {
        SurfaceSettings* s = ChosenSettings();
        if (!s) return;
        wchar_t path[kLongestPath] = {};
        OPENFILENAMEW dialog{};
        dialog.lStructSize = sizeof dialog;
        dialog.hwndOwner = Window();
        dialog.lpstrTitle = L"Open a File";
        dialog.lpstrFilter = L"Bitmap files (*.bmp)\0*.bmp\0";
        dialog.lpstrFile = path;
        dialog.nMaxFile = static_cast<DWORD>(std::size(path));
        dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
        if (!GetOpenFileNameW(&dialog)) return;
        com::UniqueBitmap preview;
        if (const HRESULT hr = LoadPreview(path, preview); FAILED(hr)) {
            SetErrorInfo(0, nullptr); // the platform's failure, not the control's
            Present(hr, L"LoadImage");
            return;
        }
        preview_ = std::move(preview);
        RedrawPreview();
        SetText(IDC_DISPLAY_IMAGE, path);
        s->image = path;
        Changed(s->changed);
    }

    void RedrawPreview() const {
        if (HWND preview = Item(IDC_DISPLAY_PREVIEW)) InvalidateRect(preview, nullptr, TRUE);
    }

    // The preview keeps the image's proportions, centred in its area.
    void DrawPreview(const DRAWITEMSTRUCT& item) const {
        const RECT& area = item.rcItem;
        FillRect(item.hDC, &area, GetSysColorBrush(COLOR_BTNFACE));
        BITMAP info{};
        if (!preview_ || !GetObjectW(preview_.Get(), sizeof info, &info) || info.bmWidth <= 0 ||
            info.bmHeight <= 0)
            return;
        const int areaWidth = area.right - area.left, areaHeight = area.bottom - area.top;
        int width = areaWidth, height = MulDiv(areaWidth, info.bmHeight, info.bmWidth);
        if (height > areaHeight) {
            height = areaHeight;
            width = MulDiv(areaHeight, info.bmWidth, info.bmHeight);
        }
        com::UniqueMemoryDc memory(CreateCompatibleDC(item.hDC));
        if (!memory) return;
        com::SelectedObject selected(memory.Get(), preview_.Get());
        SetStretchBltMode(item.hDC, HALFTONE);
        StretchBlt(item.hDC, area.left + (areaWidth - width) / 2, area.top + (areaHeight - height) / 2,
                   width, height, memory.Get(), 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    }

    // For each surface whose settings changed: make it active, then its image, translucency
    // and color key; then the surface chosen in the list is made active again.
    HRESULT WriteSurfaces(ICorvid3* control, long chosen) {
        for (size_t id = 0; id < kSurfaceSlots; ++id) {
            const SurfaceSettings& s = surfaces_[id];
            if (!s.changed) continue;
            com::UniqueBstr image(s.image.c_str());
            HRESULT hr = control->put_ActiveSurface(static_cast<long>(id));
            if (SUCCEEDED(hr)) hr = control->put_ImageFile(image.Get());
            if (SUCCEEDED(hr)) hr = control->put_Translucent(s.translucent ? VARIANT_TRUE : VARIANT_FALSE);
            if (SUCCEEDED(hr)) hr = control->put_ColorKey(static_cast<OLE_COLOR>(s.colorKey));
            if (FAILED(hr)) return hr;
        }
        return control->put_ActiveSurface(chosen);
    }

    bool Message(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override {
        switch (message) {
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (wParam != IDC_DISPLAY_PREVIEW || !item) return false;
            DrawPreview(*item);
            result = TRUE;
            return true;
        }
        // The sheet hides the page when another tab is chosen: live video stops with it.
        case WM_SHOWWINDOW:
            if (!wParam && lParam == 0) EndLiveVideo();
            return false;
        // The page is destroyed without being deactivated when its sheet goes away first.
        case WM_DESTROY: EndLiveVideo(); return false;
        default: return false;
        }
    }

    HWND picture_ = nullptr; // a child of the dialog: destroyed with it
    bool open_ = false;
    bool live_ = false; // started by this page
    bool lineScanMode_ = false;
    bool planesOffered_ = false;
    bool originChanged_ = false;
    long activeFrame_ = -1;
    SIZE frameSize_{};
    SIZE passthruLimit_{};
    long surfaceCount_ = 0;
    std::array<SurfaceSettings, kSurfaceSlots> surfaces_{};
    std::array<Presence, kSurfaceSlots> presence_{};
    std::array<COLORREF, 16> customColors_{};
    com::UniqueBitmap preview_;
    com::UniqueVariant shownPlane_;
};

LRESULT CALLBACK PictureProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* form = reinterpret_cast<DisplayForm*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (form && form->picture_ == window) {
        switch (message) {
        case WM_PAINT: form->PaintPicture(); return 0;
        case WM_HSCROLL: form->Scroll(SB_HORZ, LOWORD(wParam)); return 0;
        case WM_VSCROLL: form->Scroll(SB_VERT, LOWORD(wParam)); return 0;
        case WM_NCDESTROY:
            form->picture_ = nullptr;
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            break;
        default: break;
        }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

void UnregisterDisplayWindowClass() {
    UnregisterClassW(kPictureClass, com::ModuleHandle());
}

std::unique_ptr<PageForm> MakeDisplayForm() {
    return std::make_unique<DisplayForm>();
}

} // namespace pages
