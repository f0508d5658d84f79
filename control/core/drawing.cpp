// Showing and storing frames: drawing a frame into a window, the repaint of the control's own
// window, bitmap files, and the red, green and blue planes of color frames.
#include "corvid.h"

#include "bitmap_file.h"
#include "color_messages.h"
#include "error_info.h"
#include "frame_messages.h"
#include "host_array.h"
#include "painters.h"
#include "yuv.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <span>
#include <string>
#include <vector>

namespace core {
namespace {

constexpr DWORD kHelpDrawAcquiredFrame = 2120;
constexpr DWORD kHelpSaveAcquiredFrame = 2159;
constexpr DWORD kHelpExtractRGBPlanes = 2114;
constexpr DWORD kHelpExtractRGBPlanesEx = 2160;
constexpr DWORD kHelpDrawRGBPlane = 2006;

constexpr wchar_t kNoAllocatedFrames[] = L"No allocated frames";
constexpr wchar_t kUnknownError[] = L"Unknown error";

HWND WindowFromArgument(long handle) {
    return reinterpret_cast<HWND>(static_cast<intptr_t>(handle));
}

// A host plane array: two dimensions of plain numbers, or of VARIANTs that stand for bytes.
bool IsPlaneArray(SAFEARRAY* array) {
    return array && SafeArrayGetDim(array) == 2 &&
           (HoldsPlainNumbers(array) || HoldsVariants(array));
}

imaging::PlaneBuffer PlaneOf(SAFEARRAY* array, void* data) {
    return {data, ElementCount(array, 1), ElementCount(array, 2), SafeArrayGetElemsize(array)};
}

imaging::PlaneBuffer PlaneOf(SAFEARRAY* array, const DriverArray& memory) {
    return {memory.Data(), ElementCount(array, 1), ElementCount(array, 2), memory.ElementSize()};
}

uint64_t PlaneBytes(const imaging::PlaneBuffer& plane) {
    return uint64_t{plane.Width} * plane.Height * plane.ElementSize;
}

// A new file, named in the system code page as the file system takes it; empty on failure.
com::UniqueFile CreateNewFile(const std::wstring& name) {
    const int length =
        WideCharToMultiByte(CP_ACP, 0, name.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return {};
    std::string narrow(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, name.c_str(), -1, narrow.data(), length, nullptr, nullptr);
    return com::UniqueFile(CreateFileA(narrow.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Gathers small pieces (bitmap rows) into large writes.
class BufferedWriter {
public:
    explicit BufferedWriter(HANDLE file) : file_(file) {}
    bool Put(std::span<const uint8_t> bytes) {
        if (used_ + bytes.size() > sizeof buffer_ && !Flush()) return false;
        if (bytes.size() >= sizeof buffer_) return WriteAll(bytes);
        std::memcpy(buffer_ + used_, bytes.data(), bytes.size());
        used_ += bytes.size();
        return true;
    }
    bool Flush() {
        const bool written = WriteAll({buffer_, used_});
        used_ = 0;
        return written;
    }

private:
    bool WriteAll(std::span<const uint8_t> bytes) {
        DWORD written = 0;
        return bytes.empty() || (WriteFile(file_, bytes.data(), static_cast<DWORD>(bytes.size()),
                                           &written, nullptr) &&
                                 written == bytes.size());
    }

    HANDLE file_;
    size_t used_ = 0;
    uint8_t buffer_[64 * 1024];
};

} // namespace

// ---- Drawing a frame into a window ----

STDMETHODIMP CCorvid::DrawAcquiredFrame(long windowHandle, long frameIndex) {
    helpContext_ = kHelpDrawAcquiredFrame;
    device_.displayingFrame = true;
    if (remote_.object) return E_NOTIMPL;
    const std::optional<int32_t> index = frames_.Resolve(frameIndex);
    if (!index) return E_INVALIDARG;
    HWND target = WindowFromArgument(windowHandle);
    if (!IsWindow(target) && window_) target = window_.Get();
    if (!IsWindowVisible(target)) return S_OK;
    if (Failed(imaging::STM_DRAW_ACQUIRED_FRAME(device_.driver, frames_.Find(*index)->driverFrameId,
                                                target)))
        return target == window_.Get() ? E_FAIL : ReportLastStatus();
    lastDrawnFrame_ = frameIndex;
    return S_OK;
}

// ---- The control's own picture ----

void CCorvid::Repaint(HDC dc, const RECT& bounds) {
    if (!frames_.ActiveBaseAddress() && !device_.displayingLines) {
        Paint(dc, bounds);
        return;
    }
    if (remote_.object) {
        PaintWithHostPainter(dc, bounds);
        return;
    }
    Paint(dc, bounds);
    if (device_.displayingFrame) {
        // The driver draws into the window itself; it needs one that is shown.
        if (window_) DrawAcquiredFrame(HandleToLong(window_.Get()), lastDrawnFrame_);
        com::ClearErrorInfo();
    }
    if (device_.displayingLines) RedrawLines();
}

void CCorvid::PaintWithHostPainter(HDC dc, const RECT& bounds) {
    const FrameRecord* active = frames_.Active();
    if (!active) return;
    const PaintedFrame frame{active->baseAddress, active->left,   active->top,
                             active->width,       active->height, active->bytesPerPixel};
    switch (frames_.ActiveBytesPerPixel()) {
    case 1: PaintGreyFrame(dc, frame, false, painterLock_); break;
    case 2:
    case 4:
        PaintColorFrame(dc, frame, bounds.right, bounds.bottom, [this](const wchar_t* step) {
            MessageBoxW(nullptr, kUnknownError, step, MB_OK | MB_TASKMODAL);
            com::ReportError(E_FAIL, {.source = kProgId, .description = kUnknownError});
        });
        break;
    default: break;
    }
}

// ---- Bitmap files ----

STDMETHODIMP CCorvid::SaveAcquiredFrame(long frameIndex, BSTR filename) {
    helpContext_ = kHelpSaveAcquiredFrame;
    const std::optional<int32_t> index = frames_.Resolve(frameIndex);
    if (!index) return E_INVALIDARG;
    const FrameRecord& record = *frames_.Find(*index);
    imaging::FrameInfo info{};
    info.StructSize = sizeof(info);
    if (Failed(imaging::STM_GET_FRAME_INFO(device_.driver, record.driverFrameId, &info)))
        return ReportLastStatus();
    if (!info.BaseAddress) return E_FAIL;

    auto mode = static_cast<StorageMode>(record.storageMode);
    if (mode == StorageMode::Default) mode = StorageModeForBytesPerPixel(info.BytesPerPixel);
    const uint32_t width = SavedImageExtent(static_cast<uint32_t>(record.width),
                                            static_cast<uint32_t>(record.horizontalScale));
    const uint32_t height = SavedImageExtent(static_cast<uint32_t>(record.height),
                                             static_cast<uint32_t>(record.verticalScale));
    try {
        // The frame's pixels as the driver keeps them: rows of its own width.
        const size_t pixelCount = size_t{info.Width} * info.Height;
        std::span<const uint8_t> pixels(static_cast<const uint8_t*>(info.BaseAddress),
                                        pixelCount * info.BytesPerPixel);
        size_t stride = size_t{info.Width} * info.BytesPerPixel;
        std::vector<uint32_t> converted;
        if (mode == StorageMode::Yuv) {
            converted.resize(pixelCount);
            pixels = pixels.first(std::min(pixels.size(), YuvFrameBytes(pixelCount)));
            if (!ConvertYuvFrame(pixels, converted)) converted.assign(pixelCount, 0);
            pixels = {reinterpret_cast<const uint8_t*>(converted.data()), converted.size() * 4};
            stride = size_t{info.Width} * 4;
            mode = StorageMode::Rgb;
        }
        const std::optional<BitmapFormat> format = BitmapFormatOf(mode);
        if (!format) return S_OK; // no file for this storage mode
        const BitMasks& masks = device_.modelCode == KV7300 ? kMasks555 : kMasks565;
        const com::UniqueFile file =
            CreateNewFile(filename ? std::wstring(filename, SysStringLen(filename)) : L"");
        if (!file) return E_FAIL;
        BufferedWriter writer(file.Get());
        const bool written = StreamBitmapFile(
            *format, width, height, pixels, stride, masks,
            [&writer](std::span<const uint8_t> bytes) { return writer.Put(bytes); });
        return written && writer.Flush() ? S_OK : E_FAIL;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

// ---- Color planes ----

// The frame of a plane extraction: FrameID when it names a frame (which becomes active),
// else the active one.
std::optional<int32_t> CCorvid::PlaneSourceFrame(long frameId) {
    if (frames_.Valid(frameId) && frameId != frames_.ActiveIndex()) SelectActiveFrame(frameId);
    if (!frames_.Active()) return std::nullopt;
    return frames_.ActiveIndex();
}

STDMETHODIMP CCorvid::ExtractRGBPlanes(long frameId, VARIANT red, VARIANT green, VARIANT blue) {
    helpContext_ = kHelpExtractRGBPlanes;
    if (remote_.object) return E_NOTIMPL;
    if (!frames_.Active() && !frames_.Valid(frameId)) return ReportDescription(kNoAllocatedFrames);
    if (device_.modelCode != KV7300 && device_.modelCode != KV7500) return E_NOTIMPL;
    const std::optional<int32_t> index = PlaneSourceFrame(frameId);
    helpContext_ = kHelpExtractRGBPlanes;
    if (!index) return ReportDescription(kNoAllocatedFrames);

    const VARIANT* arguments[3] = {&red, &green, &blue};
    std::optional<DriverArray> memory[3];
    std::optional<imaging::PlaneBuffer> planes[3];
    bool any = false;
    for (int i = 0; i < 3; ++i) {
        SAFEARRAY* array = ArrayOf(*arguments[i]);
        if (!array || SafeArrayGetDim(array) != 2) continue; // not a plane: skipped
        memory[i].emplace(array, VT_UI1, true);
        if (!memory[i]->Ok()) return memory[i]->Result();
        planes[i] = PlaneOf(array, *memory[i]);
        if (any) {
            for (int j = 0; j < i; ++j)
                if (planes[j] && PlaneBytes(*planes[j]) != PlaneBytes(*planes[i]))
                    return E_INVALIDARG;
        }
        any = true;
    }
    if (!any) return E_INVALIDARG;
    imaging::STT_BUFFER_INFO records[3] = {};
    const uint32_t mask = imaging::PackPlaneRecords(planes[0] ? &*planes[0] : nullptr,
                                                    planes[1] ? &*planes[1] : nullptr,
                                                    planes[2] ? &*planes[2] : nullptr, records);
    if (Failed(imaging::STM_CLR_EXTRACT_PLANES(device_.driver, frames_.Find(*index)->driverFrameId,
                                               records, mask)))
        return ReportLastStatus();
    for (auto& plane : memory)
        if (plane)
            if (const HRESULT delivered = plane->Deliver(); FAILED(delivered)) return delivered;
    return S_OK;
}

STDMETHODIMP CCorvid::ExtractRGBPlanesEx(long frameId, VARIANT* red, VARIANT* green,
                                         VARIANT* blue) {
    helpContext_ = kHelpExtractRGBPlanesEx;
    if (!red || !green || !blue) return E_POINTER;
    if (remote_.object) return E_NOTIMPL;
    if (!frames_.Active() && !frames_.Valid(frameId)) return ReportDescription(kNoAllocatedFrames);
    if (device_.modelCode != KV7300 && device_.modelCode != KV7500) return E_NOTIMPL;
    const std::optional<int32_t> index = PlaneSourceFrame(frameId);
    helpContext_ = kHelpExtractRGBPlanesEx;
    if (!index) return ReportDescription(kNoAllocatedFrames);
    const FrameRecord& record = *frames_.Find(*index);
    if (record.width <= 0 || record.height <= 0) return E_INVALIDARG;

    VARIANT* outs[3] = {red, green, blue};
    com::UniqueSafeArray arrays[3];
    for (int i = 0; i < 3; ++i) {
        VariantClear(outs[i]);
        SAFEARRAYBOUND bounds[2] = {{static_cast<ULONG>(record.width), 0},
                                    {static_cast<ULONG>(record.height), 0}};
        arrays[i].Reset(SafeArrayCreate(VT_UI1, 2, bounds));
        if (!arrays[i].Get()) return E_OUTOFMEMORY;
    }
    imaging::STT_APISTATUS status = 0;
    {
        com::SafeArrayData<> r(arrays[0].Get()), g(arrays[1].Get()), b(arrays[2].Get());
        if (!r.Ok() || !g.Ok() || !b.Ok()) return E_FAIL;
        const imaging::PlaneBuffer planes[3] = {PlaneOf(arrays[0].Get(), r.Data()),
                                                PlaneOf(arrays[1].Get(), g.Data()),
                                                PlaneOf(arrays[2].Get(), b.Data())};
        imaging::STT_BUFFER_INFO records[3] = {};
        const uint32_t mask =
            imaging::PackPlaneRecords(&planes[0], &planes[1], &planes[2], records);
        status =
            imaging::STM_CLR_EXTRACT_PLANES(device_.driver, record.driverFrameId, records, mask);
    }
    for (int i = 0; i < 3; ++i) {
        V_VT(outs[i]) = VT_ARRAY | VT_UI1;
        V_ARRAY(outs[i]) = arrays[i].Detach();
    }
    if (Failed(status)) return ReportLastStatus();
    return S_OK;
}

STDMETHODIMP CCorvid::DrawRGBPlane(long windowHandle, VARIANT plane) {
    helpContext_ = kHelpDrawRGBPlane;
    if (remote_.object) return E_NOTIMPL;
    HWND target = WindowFromArgument(windowHandle);
    if (!IsWindow(target)) target = window_.Get();
    SAFEARRAY* array = ArrayOf(plane);
    VARTYPE type = VT_EMPTY;
    if (!IsPlaneArray(array) || FAILED(SafeArrayGetVartype(array, &type)) ||
        !(type & (VT_NULL | VT_I1) || type == VT_VARIANT))
        return E_INVALIDARG;
    if (device_.modelCode != KV7300 && device_.modelCode != KV7500) return E_NOTIMPL;
    const DriverArray data(array, VT_UI1, false);
    if (!data.Ok()) return data.Result();
    const imaging::PlaneBuffer buffer = PlaneOf(array, data);
    imaging::STT_BUFFER_INFO record{};
    record.StructSize = sizeof(record);
    record.BufferAddr = buffer.Data;
    record.Width = buffer.Width;
    record.Height = buffer.Height;
    record.PixelDepth = buffer.ElementSize;
    record.BufferSize = static_cast<uint32_t>(std::min<uint64_t>(PlaneBytes(buffer), 0xFFFFFFFFu));
    if (Failed(imaging::STM_CLR_DRAW_PLANE(device_.driver, &record, target)))
        return ReportLastStatus();
    return S_OK;
}

} // namespace core
