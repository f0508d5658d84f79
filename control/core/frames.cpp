// The frame table members: allocating and destroying frames with the programming of the
// device's frame selection, the active frame, the frame properties, and pixel transfers
// between frames and host arrays.
#include "corvid.h"

#include "color_messages.h"
#include "error_info.h"
#include "frame_messages.h"
#include "host_array.h"
#include "input_messages.h"
#include "passthru_messages.h"
#include "wait_cursor.h"

#include <algorithm>

namespace core {
namespace {

constexpr DWORD kHelpAllocateFrame = 2109;
constexpr DWORD kHelpDestroyFrame = 2118;
constexpr DWORD kHelpActiveFrame = 2028;
constexpr DWORD kHelpFrameCount = 2071;
constexpr DWORD kHelpFrameLeft = 2035;
constexpr DWORD kHelpFrameTop = 2036;
constexpr DWORD kHelpFrameWidth = 2037;
constexpr DWORD kHelpFrameHeight = 2034;
constexpr DWORD kHelpFrameBytesPerPixel = 2044;
constexpr DWORD kHelpFrameBaseAddress = 2043;
constexpr DWORD kHelpFrameType = 2048;
constexpr DWORD kHelpFrameStorageMode = 2077;
constexpr DWORD kHelpFrameHorizontalScale = 2057;
constexpr DWORD kHelpFrameVerticalScale = 2092;
constexpr DWORD kHelpCopyFrameRect = 2007;
constexpr DWORD kHelpReadFrame = 2137;
constexpr DWORD kHelpReadFrameEx = 2158;
constexpr DWORD kHelpWriteFrame = 2011;

constexpr wchar_t kNoFramesAvailable[] = L"No frames available";

// The notification of a change to one frame: its index in the high 16 bits.
DISPID FrameDispid(int32_t index, DISPID member) {
    return static_cast<DISPID>(static_cast<uint32_t>(index) << 16) + member;
}

// Bytes of a rectangle of frame pixels; none for an empty or negative rectangle.
std::optional<size_t> RectangleBytes(uint32_t bytesPerPixel, long width, long height) {
    if (width <= 0 || height <= 0) return std::nullopt;
    const uint64_t bytes =
        uint64_t{bytesPerPixel} * static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    if (bytes == 0 || bytes > 0xFFFFFFFFu) return std::nullopt;
    return static_cast<size_t>(bytes);
}

// Whether data already holds an unlocked byte array of exactly these bounds, as an earlier
// ReadFrameEx of the same rectangle left it: reading into it again spares the host a
// frame-sized allocation on every read.
bool HoldsByteRectangle(const VARIANT& data, const SAFEARRAYBOUND (&bounds)[2]) {
    if (V_VT(&data) != (VT_ARRAY | VT_UI1)) return false;
    SAFEARRAY* array = V_ARRAY(&data);
    if (!array || SafeArrayGetDim(array) != 2 || array->cLocks != 0 ||
        (array->fFeatures & (FADF_STATIC | FADF_EMBEDDED | FADF_FIXEDSIZE)))
        return false;
    for (UINT dim = 1; dim <= 2; ++dim) {
        LONG lower = 0, upper = 0;
        if (FAILED(SafeArrayGetLBound(array, dim, &lower)) ||
            FAILED(SafeArrayGetUBound(array, dim, &upper)) || lower != 0 ||
            static_cast<ULONG>(upper) + 1 != bounds[dim - 1].cElements)
            return false;
    }
    return true;
}

} // namespace

// ---- Lifecycle hooks of the device ----

// Frames go with the device; the acquisition jobs that fill them stop watching it first.
void CCorvid::DestroyAllFrames() {
    EndAcquisitionSession();
    for (int32_t index = 0; index < FrameTable::kSlots && frames_.Count() > 0; ++index) {
        if (frames_.Valid(index)) DestroyLocalFrame(index);
    }
}

void CCorvid::ResetFrameSelection() {
    frames_.SetActive(FrameTable::kNone);
    frames_.SetActiveCopies(nullptr, 0);
}

// ---- Color board interfaces ----

bool CCorvid::HasColorInterface(uint32_t interfaceCode) const {
    return IsColorBoard() && device_.driver &&
           imaging::STM_CLR_QUERY_INTERFACE(device_.driver, interfaceCode) ==
               imaging::STC_STS_NORMAL;
}

HRESULT CCorvid::ReportDescription(const wchar_t* description) {
    if (persist_.Active()) return S_OK;
    return com::ReportError(DISP_E_EXCEPTION, {.source = kProgId,
                                               .description = description,
                                               .helpFile = L"corvid.hlp",
                                               .helpContext = helpContext_});
}

// ---- Programming the device's frame selection ----

HRESULT CCorvid::SetRectangle(FrameRecord* record, long left, long top, long width, long height) {
    const HDRVR driver = device_.driver;
    const uint32_t source = EffectiveSource();
    uint32_t framing = 0;
    if (Failed(imaging::STM_QUERY_INPUT_CAPS(driver, imaging::STC_FG_IC_DOES_FRAME_SELECT, &framing,
                                             sizeof(framing))))
        return ReportLastStatus();
    if (framing == 0) {
        if (record) {
            record->left = frameDefaults_.left;
            record->top = frameDefaults_.top;
            record->width = frameDefaults_.width;
            record->height = frameDefaults_.height;
        }
        return S_OK;
    }
    if (left == -1) left = frameDefaults_.left;
    if (top == -1) top = frameDefaults_.top;
    if (width == -1) width = frameDefaults_.width;
    if (height == -1) height = frameDefaults_.height;

    imaging::stSTT_LNG_RNG widths{}, heights{};
    if (Failed(imaging::STM_QUERY_INPUT_CAPS(driver, imaging::STC_FG_IC_FRAME_WIDTH_LIMITS, &widths,
                                             sizeof(widths))) ||
        Failed(imaging::STM_QUERY_INPUT_CAPS(driver, imaging::STC_FG_IC_FRAME_HEIGHT_LIMITS,
                                             &heights, sizeof(heights))))
        return ReportLastStatus();
    if (int64_t{left} + width > widths.Max || int64_t{top} + height > heights.Max)
        return E_INVALIDARG;

    const struct {
        uint32_t control;
        long value;
        int32_t FrameRecord::*field;
        int32_t FrameDefaults::*fallback;
    } sides[] = {
        {imaging::STC_FG_CTL_FRAME_LEFT, left, &FrameRecord::left, &FrameDefaults::left},
        {imaging::STC_FG_CTL_FRAME_TOP, top, &FrameRecord::top, &FrameDefaults::top},
        {imaging::STC_FG_CTL_FRAME_WIDTH, width, &FrameRecord::width, &FrameDefaults::width},
        {imaging::STC_FG_CTL_FRAME_HEIGHT, height, &FrameRecord::height, &FrameDefaults::height},
    };
    for (const auto& side : sides) {
        uint32_t answer = 0;
        if (Failed(imaging::STM_SET_INPUT_CONTROL(driver, source, side.control,
                                                  static_cast<uint32_t>(side.value), &answer)))
            return ReportLastStatus();
    }
    if (record) {
        for (const auto& side : sides) {
            uint32_t value = 0;
            record->*side.field = imaging::STM_GET_INPUT_CONTROL(driver, source, side.control,
                                                                 &value) == imaging::STC_STS_NORMAL
                                      ? static_cast<int32_t>(value)
                                      : frameDefaults_.*side.fallback;
        }
    }
    return S_OK;
}

HRESULT CCorvid::SetScaling(FrameRecord* record, long horizontal, long vertical) {
    if (horizontal == -1) horizontal = 100;
    if (vertical == -1) vertical = 100;
    if (horizontal < 1 || horizontal > 100 || vertical < 1 || vertical > 100) return E_INVALIDARG;
    const HDRVR driver = device_.driver;
    const uint32_t source = EffectiveSource();

    if (!HasColorInterface(STC_QUERY_COLOR_INTERFACE_HARDWARE_SCALING)) {
        // Software decimation: every increment-th pixel and line.
        imaging::stSTT_LNG_RNG hinc{}, vinc{};
        if (imaging::STM_QUERY_INPUT_CAPS(driver, imaging::STC_FG_IC_FRAME_HINC_LIMITS, &hinc,
                                          sizeof(hinc)) != imaging::STC_STS_NORMAL ||
            imaging::STM_QUERY_INPUT_CAPS(driver, imaging::STC_FG_IC_FRAME_VINC_LIMITS, &vinc,
                                          sizeof(vinc)) != imaging::STC_STS_NORMAL)
            return S_OK;
        // A board that answers a maximum below 1 still decimates by at least 1.
        const int32_t hstep = std::max<int32_t>(1, std::min<int32_t>(100 / horizontal, hinc.Max));
        const int32_t vstep = std::max<int32_t>(1, std::min<int32_t>(100 / vertical, vinc.Max));
        const int32_t width = record ? record->width : frameDefaults_.width;
        const int32_t height = record ? record->height : frameDefaults_.height;
        const int32_t scaledWidth = width / hstep / 4 * 4;
        const int32_t scaledHeight = height / vstep / 4 * 4;
        const std::pair<uint32_t, int32_t> writes[] = {
            {imaging::STC_FG_CTL_HOR_FRAME_INC, hstep},
            {imaging::STC_FG_CTL_VER_FRAME_INC, vstep},
            {imaging::STC_FG_CTL_FRAME_WIDTH, scaledWidth},
            {imaging::STC_FG_CTL_FRAME_HEIGHT, scaledHeight},
        };
        for (const auto& [control, value] : writes) {
            uint32_t answer = 0;
            if (Failed(imaging::STM_SET_INPUT_CONTROL(driver, source, control,
                                                      static_cast<uint32_t>(value), &answer)))
                return ReportLastStatus();
        }
        if (record) {
            record->scaledWidth = scaledWidth;
            record->scaledHeight = scaledHeight;
            record->horizontalScale = 100 / hstep;
            record->verticalScale = 100 / vstep;
        }
        return S_OK;
    }

    // Color boards scale in hardware, within the board's range.
    imaging::STT_SCALE_PARAM maximum{}, minimum{};
    if (Failed(
            imaging::STM_CLR_SCALING(driver, source, imaging::STC_QUERY_CONTROL_MAX, &maximum)) ||
        Failed(imaging::STM_CLR_SCALING(driver, source, imaging::STC_QUERY_CONTROL_MIN, &minimum)))
        return ReportLastStatus();
    imaging::STT_SCALE_PARAM scale{
        static_cast<uint16_t>(
            std::clamp<long>(horizontal, minimum.hscale, std::max(minimum.hscale, maximum.hscale))),
        static_cast<uint16_t>(
            std::clamp<long>(vertical, minimum.vscale, std::max(minimum.vscale, maximum.vscale)))};
    const imaging::STT_SCALE_PARAM clamped = scale;
    if (Failed(imaging::STM_CLR_SCALING(driver, source, imaging::STC_WRITE_CONTROL, &scale)))
        return ReportLastStatus();

    uint32_t passthruScales = 0;
    if (Failed(imaging::STM_QUERY_PASSTHRU_CAPS(driver, imaging::STC_FG_PC_DOES_SCALING,
                                                &passthruScales, sizeof(passthruScales))))
        return ReportLastStatus();
    if (passthruScales == 1) {
        imaging::stSTT_LNG_RNG widths{}, heights{};
        if (Failed(imaging::STM_QUERY_PASSTHRU_CAPS(driver, imaging::STC_FG_PC_SCALE_WIDTH_LIMITS,
                                                    &widths, sizeof(widths))) ||
            Failed(imaging::STM_QUERY_PASSTHRU_CAPS(driver, imaging::STC_FG_PC_SCALE_HEIGHT_LIMITS,
                                                    &heights, sizeof(heights))))
            return ReportLastStatus();
        int32_t usedWidth = 0, usedHeight = 0;
        if (Failed(imaging::STM_SET_PASSTHRU_SCALING(
                driver, static_cast<int32_t>(int64_t{clamped.hscale} * widths.Nominal / 100),
                static_cast<int32_t>(int64_t{clamped.vscale} * heights.Nominal / 100), &usedWidth,
                &usedHeight)))
            return ReportLastStatus();
    }
    if (record) {
        record->horizontalScale = clamped.hscale;
        record->verticalScale = clamped.vscale;
    }
    return S_OK;
}

HRESULT CCorvid::SetFrameType(FrameRecord* record, long type) {
    if (type == 0) type = frameDefaults_.frameType;
    // Changing the frame type may change the active line count and the lines per field;
    // both are put back afterwards.
    const DWORD help = helpContext_;
    long activeLines = 0, totalLines = 0;
    const bool haveActive = SUCCEEDED(get_ActiveLineCount(&activeLines));
    const bool haveTotal = SUCCEEDED(get_TotalLinesPerField(&totalLines));
    helpContext_ = help;
    uint32_t answer = 0;
    if (Failed(imaging::STM_SET_INPUT_CONTROL(device_.driver, EffectiveSource(),
                                              imaging::STC_FG_CTL_FRAME_TYPE,
                                              static_cast<uint32_t>(type), &answer)))
        return ReportStatus(device_.lastStatus, kHelpFrameType);
    const imaging::STT_APISTATUS status = device_.lastStatus;
    if (haveActive) put_ActiveLineCount(activeLines);
    if (haveTotal) put_TotalLinesPerField(totalLines);
    helpContext_ = help;
    device_.lastStatus = status;
    if (record) record->frameType = static_cast<int32_t>(type);
    return S_OK;
}

HRESULT CCorvid::SetStorageMode(FrameRecord* record, long mode) {
    if (HasColorInterface(STC_QUERY_COLOR_INTERFACE_STORAGE_MODE)) {
        if (mode == 0) mode = frameDefaults_.storageMode;
        uint32_t value = static_cast<uint32_t>(mode);
        // DefaultImage selects nothing: the board keeps its native format.
        if (value != 0 && Failed(imaging::STM_CLR_STORAGE_MODE(device_.driver, EffectiveSource(),
                                                               imaging::STC_WRITE_CONTROL, &value)))
            return ReportStatus(device_.lastStatus, kHelpFrameStorageMode);
    } else if (mode != 0) {
        return E_INVALIDARG;
    }
    if (record) record->storageMode = static_cast<int32_t>(mode);
    return S_OK;
}

HRESULT CCorvid::ProgramFrameSelection(FrameRecord* record, long left, long top, long width,
                                       long height, long horizontalScale, long verticalScale,
                                       long type, long storageMode) {
    HRESULT hr = SetRectangle(record, left, top, width, height);
    if (SUCCEEDED(hr)) hr = SetScaling(record, horizontalScale, verticalScale);
    if (SUCCEEDED(hr)) hr = SetFrameType(record, type);
    if (SUCCEEDED(hr)) hr = SetStorageMode(record, storageMode);
    return hr;
}

void CCorvid::ReleaseFrame(const FrameRecord& record) {
    if (record.baseAddress)
        imaging::STM_UNMAP_FRAME(device_.driver, record.driverFrameId, record.baseAddress);
    if (record.driverFrameId) imaging::STM_DESTROY_FRAME(device_.driver, record.driverFrameId);
}

// ---- Allocating and destroying ----

STDMETHODIMP CCorvid::AllocateFrame(long left, long top, long width, long height,
                                    long horizontalScale, long verticalScale, FrameTypeEnum type,
                                    StorageModeEnum storageMode, long* frameIndex) {
    helpContext_ = kHelpAllocateFrame;
    device_.displayingFrame = false;
    if (!frameIndex) return E_POINTER;
    WaitCursor wait;

    if (remote_.object) {
        const HRESULT hr =
            remote_.object->AllocateFrame(left, top, width, height, horizontalScale, verticalScale,
                                          type, storageMode, frameIndex);
        if (FAILED(hr)) return hr;
    } else {
        auto record = std::make_unique<FrameRecord>();
        const auto fail = [&](HRESULT hr) {
            ReleaseFrame(*record);
            return hr;
        };
        const HRESULT hr = ProgramFrameSelection(record.get(), left, top, width, height,
                                                 horizontalScale, verticalScale, type, storageMode);
        if (FAILED(hr)) return fail(hr);
        if (Failed(imaging::STM_ALLOCATE_FRAME(device_.driver, imaging::STC_FG_DEV_MEM_VOLATILE,
                                               imaging::STC_FG_ANY_FRAME_ID,
                                               &record->driverFrameId)))
            return fail(ReportStatus(device_.lastStatus, kHelpAllocateFrame));
        imaging::FrameInfo info{};
        info.StructSize = sizeof(info);
        if (Failed(imaging::STM_MAP_FRAME(device_.driver, record->driverFrameId, &info)))
            return fail(ReportStatus(device_.lastStatus, kHelpAllocateFrame));
        record->baseAddress = info.BaseAddress;
        record->bytesPerPixel = info.BytesPerPixel;
        if (frames_.Full()) {
            helpContext_ = kHelpAllocateFrame;
            return fail(ReportDescription(kNoFramesAvailable));
        }
        *frameIndex = *frames_.Insert(std::move(record));
    }
    ViewChanged();
    PropertyChanged(FrameDispid(frames_.ActiveIndex(), DispidAllocateFrame));
    return S_OK;
}

STDMETHODIMP CCorvid::DestroyFrame(long frameIndex) {
    helpContext_ = kHelpDestroyFrame;
    device_.displayingFrame = false;
    if (remote_.object) {
        const HRESULT hr = remote_.object->DestroyFrame(frameIndex);
        if (FAILED(hr)) return hr;
    } else {
        if (!frames_.Valid(frameIndex)) return E_INVALIDARG;
        DestroyLocalFrame(frameIndex);
    }
    ViewChanged();
    PropertyChanged(FrameDispid(frameIndex, DispidDestroyFrame));
    return S_OK;
}

void CCorvid::DestroyLocalFrame(int32_t index) {
    const bool wasActive = frames_.ActiveIndex() == index;
    const std::unique_ptr<FrameRecord> record = frames_.Remove(index);
    if (!record) return;
    ReleaseFrame(*record);
    if (frames_.Count() == 0)
        SelectActiveFrame(FrameTable::kNone);
    else if (wasActive)
        SelectActiveFrame(frames_.Neighbour(index));
}

// ---- The active frame ----

STDMETHODIMP CCorvid::get_ActiveFrame(long* id) {
    if (auto done = Enter(kHelpActiveFrame, {id}, &ICorvid::get_ActiveFrame, id)) return *done;
    *id = frames_.ActiveIndex();
    return S_OK;
}

STDMETHODIMP CCorvid::put_ActiveFrame(long id) {
    if (auto done = Enter(kHelpActiveFrame, {}, &ICorvid::put_ActiveFrame, id)) return *done;
    if (id != FrameTable::kNone && !frames_.Valid(id)) return E_INVALIDARG;
    SelectActiveFrame(id);
    return S_OK;
}

// Makes index (a valid frame, or -1 for none) active and programs the device for it; the
// programming results are not the caller's concern.
void CCorvid::SelectActiveFrame(int32_t index) {
    helpContext_ = kHelpActiveFrame;
    frames_.SetActive(index);
    if (FrameRecord* record = frames_.Find(index)) {
        ProgramFrameSelection(nullptr, record->left, record->top, record->width, record->height,
                              record->horizontalScale, record->verticalScale, record->frameType,
                              record->storageMode);
        frames_.SetActiveCopies(record->baseAddress, record->bytesPerPixel);
    } else {
        const FrameDefaults& d = frameDefaults_;
        ProgramFrameSelection(nullptr, d.left, d.top, d.width, d.height, d.horizontalScale,
                              d.verticalScale, d.frameType, d.storageMode);
        frames_.SetActiveCopies(reinterpret_cast<void*>(d.baseAddress),
                                static_cast<uint32_t>(d.bytesPerPixel));
    }
    com::ClearErrorInfo();
    PropertyChanged(DispidActiveFrame);
}

// ---- Frame properties: the active frame's, else the defaults ----

template <class Value, class Member>
HRESULT CCorvid::GetFrameProperty(DWORD helpContext, Member member, Value* value,
                                  int32_t FrameRecord::*field, int32_t FrameDefaults::*fallback) {
    if (auto done = Enter(helpContext, {value}, member, value)) return *done;
    const FrameRecord* active = frames_.Active();
    *value = static_cast<Value>(active ? active->*field : frameDefaults_.*fallback);
    return S_OK;
}

STDMETHODIMP CCorvid::get_FrameCount(long* count) {
    if (auto done = Enter(kHelpFrameCount, {count}, &ICorvid::get_FrameCount, count)) return *done;
    *count = frames_.Count();
    return S_OK;
}

STDMETHODIMP CCorvid::get_FrameLeft(long* pixel) {
    return GetFrameProperty(kHelpFrameLeft, &ICorvid::get_FrameLeft, pixel, &FrameRecord::left,
                            &FrameDefaults::left);
}

STDMETHODIMP CCorvid::get_FrameTop(long* pixel) {
    return GetFrameProperty(kHelpFrameTop, &ICorvid::get_FrameTop, pixel, &FrameRecord::top,
                            &FrameDefaults::top);
}

STDMETHODIMP CCorvid::get_FrameWidth(long* pixels) {
    return GetFrameProperty(kHelpFrameWidth, &ICorvid::get_FrameWidth, pixels, &FrameRecord::width,
                            &FrameDefaults::width);
}

STDMETHODIMP CCorvid::get_FrameHeight(long* pixels) {
    return GetFrameProperty(kHelpFrameHeight, &ICorvid::get_FrameHeight, pixels,
                            &FrameRecord::height, &FrameDefaults::height);
}

STDMETHODIMP CCorvid::get_FrameBytesPerPixel(long* bytes) {
    if (auto done =
            Enter(kHelpFrameBytesPerPixel, {bytes}, &ICorvid::get_FrameBytesPerPixel, bytes))
        return *done;
    const FrameRecord* active = frames_.Active();
    *bytes = active ? static_cast<long>(active->bytesPerPixel) : frameDefaults_.bytesPerPixel;
    return S_OK;
}

// The property is 32 bits wide: on a 64-bit host it carries the low half of the address.
STDMETHODIMP CCorvid::get_FrameBaseAddress(long* address) {
    helpContext_ = kHelpFrameBaseAddress;
    if (!address) return E_POINTER;
    if (remote_.object) return S_OK; // an address in another process means nothing here
    const FrameRecord* active = frames_.Active();
    const uintptr_t base =
        active ? reinterpret_cast<uintptr_t>(active->baseAddress) : frameDefaults_.baseAddress;
    *address = static_cast<long>(static_cast<uint32_t>(base));
    return S_OK;
}

STDMETHODIMP CCorvid::get_FrameType(FrameTypeEnum* type) {
    return GetFrameProperty(kHelpFrameType, &ICorvid::get_FrameType, type, &FrameRecord::frameType,
                            &FrameDefaults::frameType);
}

STDMETHODIMP CCorvid::get_FrameStorageMode(StorageModeEnum* mode) {
    return GetFrameProperty(kHelpFrameStorageMode, &ICorvid::get_FrameStorageMode, mode,
                            &FrameRecord::storageMode, &FrameDefaults::storageMode);
}

STDMETHODIMP CCorvid::get_FrameHorizontalScale(long* percent) {
    return GetFrameProperty(kHelpFrameHorizontalScale, &ICorvid::get_FrameHorizontalScale, percent,
                            &FrameRecord::horizontalScale, &FrameDefaults::horizontalScale);
}

STDMETHODIMP CCorvid::get_FrameVerticalScale(long* percent) {
    return GetFrameProperty(kHelpFrameVerticalScale, &ICorvid::get_FrameVerticalScale, percent,
                            &FrameRecord::verticalScale, &FrameDefaults::verticalScale);
}

// The scale puts set the defaults of the next frames, never an allocated frame.
STDMETHODIMP CCorvid::put_FrameHorizontalScale(long percent) {
    if (auto done =
            Enter(kHelpFrameHorizontalScale, {}, &ICorvid::put_FrameHorizontalScale, percent))
        return *done;
    frameDefaults_.horizontalScale = percent;
    PropertyChanged(DispidFrameHorizontalScale);
    return S_OK;
}

STDMETHODIMP CCorvid::put_FrameVerticalScale(long percent) {
    if (auto done = Enter(kHelpFrameVerticalScale, {}, &ICorvid::put_FrameVerticalScale, percent))
        return *done;
    frameDefaults_.verticalScale = percent;
    PropertyChanged(DispidFrameVerticalScale);
    return S_OK;
}

// ---- Frame data ----

STDMETHODIMP CCorvid::CopyFrameRect(long srcFrame, long srcLeft, long srcTop, long srcWidth,
                                    long srcHeight, long destId, long destLeft, long destTop) {
    if (auto done = Enter(kHelpCopyFrameRect, {}, &ICorvid::CopyFrameRect, srcFrame, srcLeft,
                          srcTop, srcWidth, srcHeight, destId, destLeft, destTop))
        return *done;
    const std::optional<int32_t> source = frames_.Resolve(srcFrame);
    const std::optional<int32_t> destination = frames_.Resolve(destId);
    if (!source || !destination) return E_INVALIDARG;
    if (Failed(imaging::STM_COPY_FRAME_RECT(
            device_.driver, frames_.Find(*source)->driverFrameId, static_cast<uint32_t>(srcLeft),
            static_cast<uint32_t>(srcTop), static_cast<uint32_t>(srcWidth),
            static_cast<uint32_t>(srcHeight), frames_.Find(*destination)->driverFrameId,
            static_cast<uint32_t>(destLeft), static_cast<uint32_t>(destTop))))
        return ReportLastStatus();
    return S_OK;
}

// The array must take the whole rectangle. The driver moves raw bytes between the frame and
// the array's memory; an array of VARIANTs holds one byte of the rectangle per element.
HRESULT CCorvid::TransferFrameRect(bool write, long frame, long left, long top, long width,
                                   long height, const VARIANT& data) {
    const std::optional<int32_t> index = frames_.Resolve(frame);
    if (!index) return E_INVALIDARG;
    const FrameRecord& record = *frames_.Find(*index);
    SAFEARRAY* array = ArrayOf(data);
    if (!array) return E_INVALIDARG;
    DriverArray pixels(array, VT_UI1, !write);
    if (!pixels.Ok()) return pixels.Result();
    const std::optional<size_t> needed = RectangleBytes(record.bytesPerPixel, width, height);
    if (pixels.Bytes() == 0 || !needed || pixels.Bytes() < *needed) return E_INVALIDARG;
    const auto l = static_cast<uint32_t>(left), t = static_cast<uint32_t>(top);
    const auto w = static_cast<uint32_t>(width), h = static_cast<uint32_t>(height);
    const imaging::STT_APISTATUS status =
        write ? imaging::STM_WRITE_FRAME_RECT(device_.driver, record.driverFrameId, l, t, w, h,
                                              pixels.Data())
              : imaging::STM_READ_FRAME_RECT(device_.driver, record.driverFrameId, l, t, w, h,
                                             pixels.Data(), pixels.Bytes());
    if (Failed(status)) return ReportLastStatus();
    return pixels.Deliver(*needed);
}

STDMETHODIMP CCorvid::ReadFrame(long srcFrame, long left, long top, long width, long height,
                                VARIANT data) {
    if (auto done = Enter(kHelpReadFrame, {}, &ICorvid::ReadFrame, srcFrame, left, top, width,
                          height, data))
        return *done;
    return TransferFrameRect(false, srcFrame, left, top, width, height, data);
}

STDMETHODIMP CCorvid::WriteFrame(long destFrame, long left, long top, long width, long height,
                                 VARIANT data) {
    if (auto done = Enter(kHelpWriteFrame, {}, &ICorvid::WriteFrame, destFrame, left, top, width,
                          height, data))
        return *done;
    return TransferFrameRect(true, destFrame, left, top, width, height, data);
}

STDMETHODIMP CCorvid::ReadFrameEx(long srcFrame, long left, long top, long width, long height,
                                  VARIANT* data) {
    if (auto done = Enter(kHelpReadFrameEx, {data}, &ICorvid2::ReadFrameEx, srcFrame, left, top,
                          width, height, data))
        return *done;
    const std::optional<int32_t> index = frames_.Resolve(srcFrame);
    if (!index) return E_INVALIDARG;
    const FrameRecord& record = *frames_.Find(*index);
    const std::optional<size_t> bytes = RectangleBytes(record.bytesPerPixel, width, height);
    // One row of bytes along the first dimension, the rows along the second.
    SAFEARRAYBOUND bounds[2] = {};
    if (bytes) {
        bounds[0].cElements = record.bytesPerPixel * static_cast<ULONG>(width);
        bounds[1].cElements = static_cast<ULONG>(height);
    }
    if (bytes && HoldsByteRectangle(*data, bounds))
        return TransferFrameRect(false, *index, left, top, width, height, *data);
    VariantClear(data);
    com::UniqueSafeArray array(SafeArrayCreate(VT_UI1, 2, bounds));
    if (!array.Get()) return E_OUTOFMEMORY;
    V_VT(data) = VT_ARRAY | VT_UI1;
    V_ARRAY(data) = array.Detach();
    if (!bytes) return E_INVALIDARG;
    return TransferFrameRect(false, *index, left, top, width, height, *data);
}

} // namespace core
