// Camera files: the control's property-bag persistence run against a bag that reads and
// writes the lines of a *.cam text file, followed by the active frame's geometry.
#include "corvid.h"

#include "camera_file_text.h"

#include "input_messages.h"

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdint>
#include <iterator>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace core {
namespace {

constexpr DWORD kHelpCameraFile = 2156;
constexpr DWORD kHelpLoadCameraFile = 2157;
constexpr DWORD kHelpSaveCameraFile = 2019;
constexpr imaging::STT_APISTATUS kInvalidCameraFile = 61440;
constexpr wchar_t kOpenCaption[] = L"fopen";

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

// The system code page text of a wide string, and back.
std::string Narrow(const wchar_t* text, int length = -1) {
    const int size = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return std::string();
    std::string narrow(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, length, narrow.data(), size, nullptr, nullptr);
    if (length < 0) narrow.pop_back(); // the terminator
    return narrow;
}

BSTR Wide(const std::string& text) {
    const int length =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    BSTR wide = SysAllocStringLen(nullptr, static_cast<UINT>(length > 0 ? length : 0));
    if (wide && length > 0)
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide, length);
    return wide;
}

// The properties that the file never holds: the device is the one open when it is loaded.
bool NotInFile(const wchar_t* name) {
    return wcscmp(name, L"CameraFile") == 0 || wcscmp(name, L"ActiveDevice") == 0;
}

// The bag over an open camera file; it lives only inside one load or save.
class CameraFileBag final : public com::Object<CameraFileBag, IPropertyBag> {
public:
    static com::InterfaceTable<CameraFileBag> Interfaces() {
        static const com::InterfaceEntry<CameraFileBag> table[] = {
            com::Entry<CameraFileBag, IPropertyBag>(),
        };
        return table;
    }
    explicit CameraFileBag(std::FILE* file) : file_(file) {}

    STDMETHODIMP Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
        if (!name || !value) return E_POINTER;
        if (NotInFile(name)) return S_OK;
        // The file is never rewound: each property is looked for after the previous one.
        const std::optional<std::string> token = camera_text::FindValue(file_, Narrow(name));
        if (!token) return E_INVALIDARG;
        switch (V_VT(value)) {
        case VT_I4:
        case VT_BOOL:
        case VT_UI4: {
            const std::optional<int32_t> number = camera_text::NumberOf(*token);
            if (!number) return E_FAIL;
            if (V_VT(value) == VT_BOOL)
                V_BOOL(value) = *number ? VARIANT_TRUE : VARIANT_FALSE;
            else
                V_I4(value) = *number; // VT_UI4 shares the field
            return S_OK;
        }
        case VT_BSTR: {
            BSTR text = Wide(*token);
            if (!text) return E_OUTOFMEMORY;
            VariantClear(value);
            V_VT(value) = VT_BSTR;
            V_BSTR(value) = text;
            return S_OK;
        }
        default: return E_FAIL;
        }
    }

    STDMETHODIMP Write(LPCOLESTR name, VARIANT* value) override {
        if (!name || !value) return E_POINTER;
        if (NotInFile(name)) return S_OK;
        const std::string key = Narrow(name);
        std::string line;
        switch (V_VT(value)) {
        case VT_I4:
        case VT_UI4: line = camera_text::NumberLine(key, V_I4(value)); break;
        case VT_BOOL: line = camera_text::BooleanLine(key, V_BOOL(value) != VARIANT_FALSE); break;
        case VT_BSTR:
            line = camera_text::TextLine(key, Narrow(V_BSTR(value) ? V_BSTR(value) : L""));
            break;
        default: line = camera_text::UnhandledLine(key, V_VT(value)); break;
        }
        std::fputs(line.c_str(), file_);
        return S_OK;
    }

private:
    std::FILE* file_;
};

// The device's answer to a frame section: each side within the limits the device gives for
// it, and the frame within the largest frame. A limit the device does not give is not checked.
imaging::STT_APISTATUS FrameSectionStatus(HDRVR driver, const camera_text::FrameSection& frame) {
    const struct {
        uint32_t key;
        int32_t value;
    } sides[] = {
        {imaging::STC_FG_IC_FRAME_TOP_LIMITS, frame.top},
        {imaging::STC_FG_IC_FRAME_LEFT_LIMITS, frame.left},
        {imaging::STC_FG_IC_FRAME_WIDTH_LIMITS, frame.width},
        {imaging::STC_FG_IC_FRAME_HEIGHT_LIMITS, frame.height},
    };
    int64_t largest[4] = {INT64_MAX, INT64_MAX, INT64_MAX, INT64_MAX};
    for (size_t i = 0; i < std::size(sides); ++i) {
        imaging::stSTT_LNG_RNG range{};
        if (imaging::STM_QUERY_INPUT_CAPS(driver, sides[i].key, &range, sizeof range) !=
            imaging::STC_STS_NORMAL)
            continue;
        if (sides[i].value < range.Min || sides[i].value > range.Max) return imaging::STC_STS_RANGE;
        largest[i] = range.Max;
    }
    if (int64_t{frame.left} + frame.width > largest[2] ||
        int64_t{frame.top} + frame.height > largest[3])
        return imaging::STC_STS_RANGE;
    return imaging::STC_STS_NORMAL;
}

// Opens a camera file for reading as text. Only a file on a disk will do: a device name
// (COM1, a pipe) would block the reads.
UniqueFile OpenCameraFile(const wchar_t* name) {
    const HANDLE handle = CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        _doserrno = static_cast<int>(GetLastError());
        return nullptr;
    }
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        _doserrno = ERROR_BAD_FILE_TYPE;
        return nullptr;
    }
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_TEXT);
    if (descriptor == -1) {
        CloseHandle(handle);
        return nullptr;
    }
    UniqueFile file(_fdopen(descriptor, "rt"));
    if (!file) _close(descriptor); // closes the handle too
    return file;
}

// The operating system's code of the last failed C library file operation.
DWORD LastFileError() {
    return _doserrno != 0 ? static_cast<DWORD>(_doserrno) : ERROR_OPEN_FAILED;
}

} // namespace

STDMETHODIMP CCorvid::get_CameraFile(BSTR* filename) {
    helpContext_ = kHelpCameraFile;
    if (!filename) return E_POINTER;
    *filename = nullptr;
    if (!cameraFile_.Get()) {
        *filename = SysAllocString(L"");
        return *filename ? S_OK : E_OUTOFMEMORY;
    }
    return cameraFile_.CopyTo(filename);
}

STDMETHODIMP CCorvid::SaveCameraFile(BSTR filename) {
    helpContext_ = kHelpSaveCameraFile;
    cameraFile_ = com::UniqueBstr(filename, SysStringLen(filename));
    HRESULT result = S_OK;
    if (SysStringLen(filename) > 0) {
        _doserrno = 0;
        UniqueFile file(_wfopen(filename, L"wt"));
        if (!file) {
            result = HandleSystemError(LastFileError(), kOpenCaption);
        } else {
            std::fputs(camera_text::Header().c_str(), file.get());
            com::ComPtr<CameraFileBag> bag;
            if (SUCCEEDED(com::Make(bag, file.get()))) Save(bag.Get(), TRUE, TRUE);
            if (const FrameRecord* frame = frames_.Active())
                std::fputs(camera_text::FrameSectionText({frame->top, frame->left, frame->height,
                                                          frame->width, frame->frameType,
                                                          frame->storageMode})
                               .c_str(),
                           file.get());
            // A file that could not be written completely is not reported as saved.
            _doserrno = 0;
            const bool written = !std::ferror(file.get());
            if (std::fclose(file.release()) != 0 || !written)
                result = HandleSystemError(_doserrno ? _doserrno : ERROR_WRITE_FAULT, kOpenCaption);
        }
    }
    PropertyChanged(DispidActiveDevice);
    return result;
}

STDMETHODIMP CCorvid::LoadCameraFile(BSTR filename) {
    helpContext_ = kHelpLoadCameraFile;
    cameraFile_ = com::UniqueBstr(filename, SysStringLen(filename));
    if (SysStringLen(filename) > 0) {
        _doserrno = 0;
        UniqueFile file = OpenCameraFile(filename);
        if (!file) {
            const HRESULT result = HandleSystemError(LastFileError(), kOpenCaption);
            ControlStateChanged();
            return result;
        }
        if (!camera_text::ReadHeader(file.get())) return ReportStatus(kInvalidCameraFile);
        const bool hadDevice = device_.driver != nullptr;
        com::ComPtr<CameraFileBag> bag;
        if (SUCCEEDED(com::Make(bag, file.get()))) Load(bag.Get(), nullptr);
        // Loading reopens the device with the file's settings; a device that did not come back
        // is a failed load.
        if (hadDevice && !device_.driver) return ReportStatus(imaging::STC_STS_NOOPENDEVICE);
        bool damaged = false;
        const auto frame = camera_text::ReadFrameSection(file.get(), &damaged);
        if (damaged) return ReportStatus(kInvalidCameraFile);
        if (frame && device_.driver) {
            // Nothing of a section the device refuses is applied.
            const imaging::STT_APISTATUS status = FrameSectionStatus(device_.driver, *frame);
            if (status != imaging::STC_STS_NORMAL) return ReportStatus(status);
        }
        if (frame) {
            frameDefaults_.top = frame->top;
            frameDefaults_.left = frame->left;
            frameDefaults_.height = frame->height;
            frameDefaults_.width = frame->width;
            frameDefaults_.frameType = frame->frameType;
            frameDefaults_.storageMode = frame->storageMode;
        }
    }
    ControlStateChanged();
    return S_OK;
}

} // namespace core
