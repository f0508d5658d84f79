// The Spatial page: the active video area of the input signal, and the frames of the control
// with the rectangle, scales, frame type and storage mode of the next one. Allocating,
// destroying and choosing a frame act at once; the area and the scales wait for Apply.
#include "spatial_page.h"

#include "page_form.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <memory>
#include <vector>

namespace pages {
namespace {

constexpr wchar_t kAreaSource[] = L"UpdateActiveVideoControls";
constexpr wchar_t kFramesSource[] = L"UpdateFrameControls";
constexpr wchar_t kAllocateSource[] = L"CSpatialPage::OnAllocate";
constexpr wchar_t kDestroySource[] = L"CSpatialPage::OnDestroy";
constexpr wchar_t kActiveFrameSource[] = L"CSpatialPage::OnActiveFrameChange";
constexpr wchar_t kApplySource[] = L"CSpatialPage::Apply";
constexpr DISPID kActiveDeviceId = 203;
constexpr DISPID kControlStateId = 209;
constexpr DISPID kActiveFrameId = 305;
constexpr DISPID kLineScanModeId = 1105;
// The frame notifications carry the frame's index in their high half.
constexpr DISPID kFrameAllocated = 300;
constexpr DISPID kFrameDestroyed = 301;
constexpr long kFrameSlots = 1024;
constexpr long kNone = -1; // no entry carries it: selects nothing
constexpr long kDefault = -1; // an AllocateFrame argument that takes the control's default

// ---- The active video area ----

enum Area { kTotalPixels, kFirstPixel, kPixelCount, kTotalLines, kFirstLine, kLineCount,
            kClampStart, kClampEnd, kBackPorch, kAreaFields };

struct AreaField {
    int label, edit;
    stSTT_FG_INPUT_CAP_KEY limits; // a board that gives them lets the value be set
    HRESULT (STDMETHODCALLTYPE ICorvid::*get)(long*);
    HRESULT (STDMETHODCALLTYPE ICorvid::*put)(long);
};
constexpr AreaField kArea[kAreaFields] = {
    {IDC_SPATIAL_TOTAL_PIXELS_LABEL, IDC_SPATIAL_TOTAL_PIXELS, STC_FG_IC_TOTAL_PIX_PER_LINE_LIMITS,
     &ICorvid::get_TotalPixelsPerLine, &ICorvid::put_TotalPixelsPerLine},
    {IDC_SPATIAL_FIRST_PIXEL_LABEL, IDC_SPATIAL_FIRST_PIXEL, STC_FG_IC_ACTIVE_PIXEL_LIMITS,
     &ICorvid::get_FirstActivePixel, &ICorvid::put_FirstActivePixel},
    {IDC_SPATIAL_PIXEL_COUNT_LABEL, IDC_SPATIAL_PIXEL_COUNT, STC_FG_IC_ACTIVE_WIDTH_LIMITS,
     &ICorvid::get_ActivePixelCount, &ICorvid::put_ActivePixelCount},
    {IDC_SPATIAL_TOTAL_LINES_LABEL, IDC_SPATIAL_TOTAL_LINES, STC_FG_IC_TOTAL_LINES_PER_FLD_LIMITS,
     &ICorvid::get_TotalLinesPerField, &ICorvid::put_TotalLinesPerField},
    {IDC_SPATIAL_FIRST_LINE_LABEL, IDC_SPATIAL_FIRST_LINE, STC_FG_IC_ACTIVE_LINE_LIMITS,
     &ICorvid::get_FirstActiveLine, &ICorvid::put_FirstActiveLine},
    {IDC_SPATIAL_LINE_COUNT_LABEL, IDC_SPATIAL_LINE_COUNT, STC_FG_IC_ACTIVE_HEIGHT_LIMITS,
     &ICorvid::get_ActiveLineCount, &ICorvid::put_ActiveLineCount},
    {IDC_SPATIAL_CLAMP_START_LABEL, IDC_SPATIAL_CLAMP_START, STC_FG_IC_CLAMP_START_LIMITS,
     &ICorvid::get_ClampStart, &ICorvid::put_ClampStart},
    {IDC_SPATIAL_CLAMP_END_LABEL, IDC_SPATIAL_CLAMP_END, STC_FG_IC_CLAMP_END_LIMITS,
     &ICorvid::get_ClampEnd, &ICorvid::put_ClampEnd},
    {IDC_SPATIAL_BACK_PORCH_LABEL, IDC_SPATIAL_BACK_PORCH, STC_FG_IC_BACK_PORCH_START_LIMITS,
     &ICorvid::get_BackPorchStart, &ICorvid::put_BackPorchStart},
};
// After the line timing, the window inside it.
constexpr Area kWindowOrder[] = {kFirstPixel, kFirstLine, kPixelCount, kLineCount,
                                 kClampStart, kClampEnd, kBackPorch};
// The KV7400LS takes the window only once its timing holds: the area goes a second time.
constexpr Area kSecondPass[] = {kFirstPixel, kTotalPixels, kTotalLines, kFirstPixel,
                                kFirstLine,  kPixelCount,  kLineCount,  kBackPorch};

struct AreaState {
    bool supported = false;
    unsigned settable = 0; // bit per Area
    std::array<long, kAreaFields> values{};
};

// ---- The frames ----

struct Entry {
    const wchar_t* text;
    long data;
};
// The frame type limits have the type's own value as their bit.
constexpr Entry kFrameTypes[] = {
    {L"InterlacedStartOnEven", InterlacedStartOnEven}, {L"InterlacedStartOnOdd", InterlacedStartOnOdd},
    {L"InterlacedStartOnNext", InterlacedStartOnNext}, {L"EvenField", EvenField},
    {L"OddField", OddField}, {L"NextField", NextField}, {L"NonInterlaced", NonInterlaced}};
// The default image always; the others as the board's color interface stores them.
constexpr Entry kStorageModes[] = {{L"DefaultImage", DefaultImage}, {L"MonoImage", MonoImage},
                                   {L"YUVImage", YUVImage}, {L"RGBImage", RGBImage},
                                   {L"RGB16Image", RGB16Image}};

struct RectField {
    int label, edit;
    stSTT_FG_INPUT_CAP_KEY limits;
};
constexpr RectField kRect[] = {
    {IDC_SPATIAL_LEFT_LABEL, IDC_SPATIAL_LEFT, STC_FG_IC_FRAME_LEFT_LIMITS},
    {IDC_SPATIAL_TOP_LABEL, IDC_SPATIAL_TOP, STC_FG_IC_FRAME_TOP_LIMITS},
    {IDC_SPATIAL_WIDTH_LABEL, IDC_SPATIAL_WIDTH, STC_FG_IC_FRAME_WIDTH_LIMITS},
    {IDC_SPATIAL_HEIGHT_LABEL, IDC_SPATIAL_HEIGHT, STC_FG_IC_FRAME_HEIGHT_LIMITS},
};

struct FrameState {
    bool open = false;
    unsigned settable = 0;  // bit per kRect entry: the board selects frames with its limits
    long types = 0;         // FrameTypeEnum bits
    unsigned storage = 1;   // bit per StorageModeEnum value; the default always
    long count = 0;
    long active = kNone;
    std::array<long, std::size(kRect)> rect{}; // left, top, width, height
    long hscale = 100, vscale = 100;
    long type = DefaultFrame;
    long mode = DefaultImage;
};

// What the page knows of a frame index of the control.
enum class Presence : unsigned char { Unknown, Allocated, Free };

bool Settable(const stSTT_LNG_RNG& range) {
    return range.Max > range.Min;
}

class SpatialForm final : public PageForm {
public:
    SpatialForm() {
        for (const AreaField& field : kArea)
            On(field.edit, EN_CHANGE, [this] { Changed(areaChanged_); });
        for (int id : {IDC_SPATIAL_HSCALE, IDC_SPATIAL_VSCALE})
            On(id, EN_CHANGE, [this] { Changed(scaleChanged_); });
        OnClick(IDC_SPATIAL_ALLOCATE, [this] { Allocate(); });
        OnClick(IDC_SPATIAL_DESTROY, [this] { Destroy(); });
        On(IDC_SPATIAL_FRAME_ID, CBN_SELCHANGE, [this] { ChooseFrame(); });
    }

    void Initialize() override { Read(); }

    void PropertyChanged(DISPID id) override {
        const long frame = static_cast<long>(static_cast<unsigned long>(id) >> 16);
        switch (id & 0xFFFF) {
        case kFrameAllocated: Known(frame, Presence::Allocated); ReadFrames(); return;
        case kFrameDestroyed: Known(frame, Presence::Free); ReadFrames(); return;
        }
        if (id == kActiveDeviceId) presence_ = {}; // another board: its frames are all new
        if (id == kActiveDeviceId || id == kControlStateId || id == kLineScanModeId)
            Read();
        else if (id == kActiveFrameId)
            ReadFrames();
    }

    HRESULT Apply() override {
        ICorvid3* control = Control();
        if (!control || !frames_.open) return S_OK;
        const HRESULT hr = ApplyChanges(*control);
        if (FAILED(hr)) return Present(hr, kApplySource);
        Read(); // what the board made of it
        return S_OK;
    }

private:
    // ---- Reading ----

    void Read() {
        ReadArea();
        ReadFrames();
    }

    // A failed reading keeps what the page showed.
    void ReadArea() {
        AreaState area;
        const HRESULT hr = UpdateActiveVideoControls(area);
        if (FAILED(hr)) {
            Present(hr, kAreaSource);
            // The page keeps what it showed; before its first reading that is nothing.
            if (!area_.supported) ShowArea();
            return;
        }
        area_ = area;
        areaChanged_ = false;
        ShowArea();
    }

    void ReadFrames() {
        FrameState frames;
        const HRESULT hr = UpdateFrameControls(frames);
        if (FAILED(hr)) {
            Present(hr, kFramesSource);
            if (!frames_.open) ShowFrames();
            return;
        }
        frames_ = frames;
        scaleChanged_ = false;
        ShowFrames();
    }

    HRESULT UpdateActiveVideoControls(AreaState& a) const {
        if (DeviceType() == 0) return S_OK;
        HRESULT hr = Flag(STC_FG_IC_DOES_ACTIVE_VIDEO, a.supported);
        if (FAILED(hr) || !a.supported) return hr;
        ICorvid3* control = Control();
        for (size_t i = 0; i < std::size(kArea); ++i) {
            stSTT_LNG_RNG range{};
            const HRESULT limits = Caps(kArea[i].limits, &range, sizeof range);
            if (FAILED(hr = limits) || FAILED(hr = (control->*kArea[i].get)(&a.values[i])))
                return hr;
            if (limits == S_OK && Settable(range)) a.settable |= 1u << i;
        }
        return S_OK;
    }

    HRESULT UpdateFrameControls(FrameState& f) const {
        f.open = DeviceType() != 0;
        if (!f.open) return S_OK;
        ICorvid3* control = Control();
        bool select = false;
        HRESULT hr = Flag(STC_FG_IC_DOES_FRAME_SELECT, select);
        for (size_t i = 0; SUCCEEDED(hr) && select && i < std::size(kRect); ++i) {
            stSTT_LNG_RNG range{};
            hr = Caps(kRect[i].limits, &range, sizeof range);
            if (hr == S_OK && Settable(range)) f.settable |= 1u << i;
        }
        if (SUCCEEDED(hr)) hr = Caps(STC_FG_IC_FRAME_TYPE_LIMITS, &f.types, sizeof f.types);
        if (SUCCEEDED(hr)) hr = ReadStorageModes(f.storage);
        FrameTypeEnum type{};
        StorageModeEnum mode{};
        if (FAILED(hr) || FAILED(hr = control->get_FrameCount(&f.count)) ||
            FAILED(hr = control->get_ActiveFrame(&f.active)) ||
            FAILED(hr = control->get_FrameLeft(&f.rect[0])) ||
            FAILED(hr = control->get_FrameTop(&f.rect[1])) ||
            FAILED(hr = control->get_FrameWidth(&f.rect[2])) ||
            FAILED(hr = control->get_FrameHeight(&f.rect[3])) ||
            FAILED(hr = control->get_FrameHorizontalScale(&f.hscale)) ||
            FAILED(hr = control->get_FrameVerticalScale(&f.vscale)) ||
            FAILED(hr = control->get_FrameType(&type)) ||
            FAILED(hr = control->get_FrameStorageMode(&mode)))
            return hr;
        f.type = type;
        f.mode = mode;
        // Scales never set are 0: a frame gets the full size then.
        if (f.hscale < 1) f.hscale = 100;
        if (f.vscale < 1) f.vscale = 100;
        return S_OK;
    }

    HRESULT ReadStorageModes(unsigned& modes) const {
        ICorvid3* control = Control();
        VARIANT_BOOL offered = VARIANT_FALSE;
        HRESULT hr = control->ColorQueryInterface(STC_QUERY_COLOR_INTERFACE_STORAGE_MODE, &offered);
        if (FAILED(hr) || offered == VARIANT_FALSE) return hr;
        for (const Entry& mode : kStorageModes) {
            if (mode.data == DefaultImage) continue;
            VARIANT_BOOL stored = VARIANT_FALSE;
            // The image modes of the color interface number the storage modes alike.
            if (FAILED(hr = control->ColorQueryStorageMode(static_cast<STT_IMAGE_MODE>(mode.data),
                                                          &stored)))
                return hr;
            if (stored != VARIANT_FALSE) modes |= 1u << mode.data;
        }
        return S_OK;
    }

    // ---- Showing ----

    void ShowArea() const {
        Enable({IDC_SPATIAL_AREA_GROUP}, area_.supported);
        for (size_t i = 0; i < std::size(kArea); ++i) {
            SetText(kArea[i].edit, area_.supported ? std::to_wstring(area_.values[i]) : L"");
            Enable({kArea[i].label, kArea[i].edit}, (area_.settable >> i) & 1u);
        }
    }

    void ShowFrames() {
        Showing showing(*this);
        const FrameState& f = frames_;
        for (size_t i = 0; i < std::size(kRect); ++i) {
            SetText(kRect[i].edit, f.open ? std::to_wstring(f.rect[i]) : L"");
            Enable({kRect[i].label, kRect[i].edit}, (f.settable >> i) & 1u);
        }
        SetText(IDC_SPATIAL_HSCALE, f.open ? std::to_wstring(f.hscale) : L"");
        SetText(IDC_SPATIAL_VSCALE, f.open ? std::to_wstring(f.vscale) : L"");

        for (int id : {IDC_SPATIAL_FRAME_TYPE, IDC_SPATIAL_STORAGE, IDC_SPATIAL_FRAME_ID})
            ClearList(id);
        if (f.open) {
            for (const Entry& type : kFrameTypes)
                if (f.types & type.data) AddEntry(IDC_SPATIAL_FRAME_TYPE, type.text, type.data);
            for (const Entry& mode : kStorageModes)
                if (f.storage & (1u << mode.data)) AddEntry(IDC_SPATIAL_STORAGE, mode.text, mode.data);
            ListFrames();
        }
        SelectData(IDC_SPATIAL_FRAME_TYPE, f.open ? f.type : kNone);
        SelectData(IDC_SPATIAL_STORAGE, f.open ? f.mode : kNone);
        SelectData(IDC_SPATIAL_FRAME_ID, f.open ? f.active : kNone);
        SetText(IDC_SPATIAL_FRAME_COUNT, f.open ? std::to_wstring(f.count) : L"");

        Enable({IDC_SPATIAL_FRAMES_GROUP, IDC_SPATIAL_HSCALE_LABEL, IDC_SPATIAL_HSCALE,
                IDC_SPATIAL_HSCALE_UNIT, IDC_SPATIAL_VSCALE_LABEL, IDC_SPATIAL_VSCALE,
                IDC_SPATIAL_VSCALE_UNIT, IDC_SPATIAL_STORAGE_LABEL, IDC_SPATIAL_STORAGE,
                IDC_SPATIAL_FRAME_COUNT_LABEL, IDC_SPATIAL_FRAME_COUNT, IDC_SPATIAL_ALLOCATE},
               f.open);
        Enable({IDC_SPATIAL_FRAME_TYPE_LABEL, IDC_SPATIAL_FRAME_TYPE},
               EntryCount(IDC_SPATIAL_FRAME_TYPE) > 0);
        Enable({IDC_SPATIAL_FRAME_ID_LABEL, IDC_SPATIAL_FRAME_ID, IDC_SPATIAL_DESTROY},
               f.open && f.count > 0);
    }

    // The control tells how many frames there are and which is active, not their indices. It
    // takes the lowest free index for a new frame, so the indices the page has not seen come
    // and go are taken to be the lowest ones.
    void ListFrames() {
        Known(frames_.active, Presence::Allocated);
        std::vector<long> ids;
        for (long id = 0; id < kFrameSlots; ++id)
            if (presence_[static_cast<size_t>(id)] == Presence::Allocated) ids.push_back(id);
        for (long id = 0; id < kFrameSlots && static_cast<long>(ids.size()) < frames_.count; ++id)
            if (presence_[static_cast<size_t>(id)] == Presence::Unknown) ids.push_back(id);
        std::sort(ids.begin(), ids.end());
        for (long id : ids)
            AddEntry(IDC_SPATIAL_FRAME_ID, std::to_wstring(id), id);
    }

    void Known(long frame, Presence presence) {
        if (frame >= 0 && frame < kFrameSlots) presence_[static_cast<size_t>(frame)] = presence;
    }

    // ---- The frame buttons and list ----

    // A rectangle value as entered; the control's default where the board selects no frame.
    long RectArgument(size_t field) const {
        return (frames_.settable >> field) & 1u ? static_cast<long>(Unsigned(kRect[field].edit))
                                                 : kDefault;
    }
    long ScaleArgument(int id) const {
        return Text(id).empty() ? kDefault : static_cast<long>(Unsigned(id));
    }

    void Allocate() {
        ICorvid3* control = Control();
        if (!control) return;
        long index = kNone;
        HRESULT hr = control->AllocateFrame(
            RectArgument(0), RectArgument(1), RectArgument(2), RectArgument(3),
            ScaleArgument(IDC_SPATIAL_HSCALE), ScaleArgument(IDC_SPATIAL_VSCALE),
            static_cast<FrameTypeEnum>(SelectedData(IDC_SPATIAL_FRAME_TYPE, DefaultFrame)),
            static_cast<StorageModeEnum>(SelectedData(IDC_SPATIAL_STORAGE, DefaultImage)), &index);
        if (SUCCEEDED(hr)) {
            Known(index, Presence::Allocated);
            hr = AcquireInto(*control, index);
        }
        if (FAILED(hr)) Present(hr, kAllocateSource);
        // A failed acquisition leaves the new frame allocated.
        ReadFrames();
    }

    // One image into the new frame, on the software trigger so that it does not wait for an
    // external one. The trigger goes back on every path; after a failed acquisition the
    // active frame is programmed again, and the acquisition's error is the one reported.
    static HRESULT AcquireInto(ICorvid3& control, long index) {
        long active = kNone;
        TriggerTypeEnum trigger{};
        HRESULT hr = control.get_ActiveFrame(&active);
        if (SUCCEEDED(hr)) hr = control.get_TriggerType(&trigger);
        if (SUCCEEDED(hr)) hr = control.put_TriggerType(SoftwareTrigger);
        if (FAILED(hr)) return hr;
        VARIANT frame;
        VariantInit(&frame);
        V_VT(&frame) = VT_I4;
        V_I4(&frame) = index;
        const HRESULT acquired = control.AcquireFrames(1, frame, VARIANT_FALSE);
        ComPtr<IErrorInfo> error;
        if (FAILED(acquired)) GetErrorInfo(0, &error);
        hr = control.put_TriggerType(trigger);
        if (SUCCEEDED(acquired)) return hr;
        control.put_ActiveFrame(active);
        SetErrorInfo(0, error.Get());
        return acquired;
    }

    void Destroy() {
        ICorvid3* control = Control();
        const long frame = static_cast<long>(SelectedData(IDC_SPATIAL_FRAME_ID, kNone));
        if (!control || frame < 0) return;
        const HRESULT hr = control->DestroyFrame(frame);
        if (FAILED(hr)) {
            Present(hr, kDestroySource);
            return;
        }
        Known(frame, Presence::Free);
        ReadFrames();
    }

    void ChooseFrame() {
        ICorvid3* control = Control();
        const long frame = static_cast<long>(SelectedData(IDC_SPATIAL_FRAME_ID, kNone));
        if (!control || frame < 0) return;
        const HRESULT hr = control->put_ActiveFrame(frame);
        if (FAILED(hr)) {
            Present(hr, kActiveFrameSource);
            ShowFrames(); // back to the frame that stays active
            return;
        }
        ReadFrames();
    }

    // ---- Applying ----

    HRESULT ApplyChanges(ICorvid3& control) {
        if (areaChanged_ && area_.supported) {
            if (const HRESULT hr = WriteArea(control); FAILED(hr)) return hr;
            areaChanged_ = false;
        }
        if (scaleChanged_) {
            HRESULT hr = control.put_FrameHorizontalScale(
                static_cast<long>(Unsigned(IDC_SPATIAL_HSCALE)));
            if (SUCCEEDED(hr))
                hr = control.put_FrameVerticalScale(static_cast<long>(Unsigned(IDC_SPATIAL_VSCALE)));
            if (FAILED(hr)) return hr;
            scaleChanged_ = false;
        }
        return S_OK;
    }

    // The line timing changes while the board generates no sync; the sync master comes back on
    // whether or not the timing was taken.
    HRESULT WriteArea(ICorvid3& control) const {
        VARIANT_BOOL master = VARIANT_FALSE;
        // A board without a sync master refuses the read: it has none to stop.
        const HRESULT read = control.get_SyncMasterEnabled(&master);
        if (FAILED(read)) SetErrorInfo(0, nullptr); // not an error of Apply's
        const bool masterOn = SUCCEEDED(read) && master != VARIANT_FALSE;
        HRESULT hr = masterOn ? control.put_SyncMasterEnabled(VARIANT_FALSE) : S_OK;
        if (SUCCEEDED(hr)) hr = WriteFields(control, {kTotalPixels, kTotalLines});
        if (masterOn) {
            ComPtr<IErrorInfo> error;
            if (FAILED(hr)) GetErrorInfo(0, &error);
            const HRESULT restored = control.put_SyncMasterEnabled(master);
            if (FAILED(hr)) SetErrorInfo(0, error.Get());
            else hr = restored;
        }
        if (SUCCEEDED(hr)) hr = WriteFields(control, kWindowOrder);
        if (SUCCEEDED(hr) && DeviceType() == KV7400LS)
            hr = WriteFields(control, kSecondPass);
        return hr;
    }

    // The values of the edits that the board lets be set, in the order given.
    template <class Fields> HRESULT WriteFields(ICorvid3& control, const Fields& fields) const {
        for (Area field : fields) {
            if (!((area_.settable >> field) & 1u)) continue;
            const HRESULT hr =
                (control.*kArea[field].put)(static_cast<long>(Unsigned(kArea[field].edit)));
            if (FAILED(hr)) return hr;
        }
        return S_OK;
    }
    HRESULT WriteFields(ICorvid3& control, std::initializer_list<Area> fields) const {
        return WriteFields<std::initializer_list<Area>>(control, fields);
    }

    AreaState area_;
    FrameState frames_;
    std::array<Presence, kFrameSlots> presence_{};
    bool areaChanged_ = false;
    bool scaleChanged_ = false;
};

} // namespace

std::unique_ptr<PageForm> MakeSpatialForm() {
    return std::make_unique<SpatialForm>();
}

} // namespace pages
