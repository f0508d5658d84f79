#include "image_folder.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cwchar>
#include <mutex>

#include "win_handle.h"

namespace kvboard {

namespace {

// Files larger than this are not read (a 16384 x 4096 32-bit picture is 256 MB).
constexpr uint64_t kMaxFileBytes = uint64_t{512} << 20;

std::atomic<uint64_t> listings{0};

void CloseFind(HANDLE h) {
    FindClose(h);
}
using OwnedFind = Owned<HANDLE, CloseFind>;

bool IsBitmapName(const wchar_t* name) {
    const size_t n = wcslen(name);
    return n > 4 && CompareStringOrdinal(name + n - 4, 4, L".bmp", 4, TRUE) == CSTR_EQUAL;
}

// The whole file, or nothing with the reason.
std::optional<std::vector<uint8_t>> ReadWholeFile(const std::wstring& path, std::string& why) {
    const HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        why = "cannot be opened (error " + std::to_string(GetLastError()) + ")";
        return std::nullopt;
    }
    const OwnedHandle file(h);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 ||
        static_cast<uint64_t>(size.QuadPart) > kMaxFileBytes) {
        why = "too large";
        return std::nullopt;
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (done < bytes.size()) {
        const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 24));
        DWORD got = 0;
        if (!ReadFile(file.get(), bytes.data() + done, want, &got, nullptr) || got == 0) {
            why = "cannot be read (error " + std::to_string(GetLastError()) + ")";
            return std::nullopt;
        }
        done += got;
    }
    return bytes;
}

std::wstring Widen(const std::string& text) {
    return std::wstring(text.begin(), text.end()); // board names are ASCII
}

} // namespace

ImageFolder::ImageFolder(std::string boardName, std::wstring folder, uint32_t imageRate,
                         uint32_t frameRate)
    : boardName_(std::move(boardName)), folder_(Trimmed(std::move(folder))), imageRate_(imageRate),
      frameRate_(frameRate), serial_(++listings) {}

ImageFolder::~ImageFolder() {
    ForgetPlayedRows(serial_);
}

std::wstring ImageFolder::Trimmed(std::wstring folder) {
    while (folder.size() > 1 && (folder.back() == L'\\' || folder.back() == L'/') &&
           folder[folder.size() - 2] != L':')
        folder.pop_back();
    return folder;
}

void ImageFolder::ListLocked() {
    if (listed_) return;
    listed_ = true;
    WIN32_FIND_DATAW found{};
    const HANDLE h = FindFirstFileExW((folder_ + L"\\*").c_str(), FindExInfoBasic, &found,
                                      FindExSearchNameMatch, nullptr, 0);
    if (h != INVALID_HANDLE_VALUE) {
        const OwnedFind find(h);
        do {
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
                IsBitmapName(found.cFileName))
                files_.emplace_back(found.cFileName);
        } while (FindNextFileW(find.get(), &found));
    }
    std::sort(files_.begin(), files_.end(), [](const std::wstring& a, const std::wstring& b) {
        return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_LESS_THAN;
    });
    unreadable_.assign(files_.size(), false);
    if (files_.empty())
        Say(L"the image folder \"" + folder_ + L"\" " +
            (h == INVALID_HANDLE_VALUE ? L"cannot be listed" : L"has no .bmp file") +
            L"; the board shows its test pattern");
}

std::optional<ImageFolder::Slot> ImageFolder::SlotOf(uint64_t imageNumber) {
    std::lock_guard lock(mutex_);
    ListLocked();
    if (files_.empty()) return std::nullopt;
    const uint64_t shown = imageNumber == 0 ? 0 : imageNumber - 1;
    // shown x imageRate / frameRate, without overflow.
    const uint64_t step =
        imageRate_ != 0 && frameRate_ != 0
            ? shown / frameRate_ * imageRate_ + shown % frameRate_ * imageRate_ / frameRate_
            : shown;
    const size_t index = static_cast<size_t>(step % files_.size());
    return Slot{index, (serial_ << 32) | (index + 1)};
}

std::shared_ptr<const RgbPicture> ImageFolder::Load(const Slot& slot) {
    std::lock_guard lock(mutex_);
    return LoadLocked(slot.index);
}

std::shared_ptr<const RgbPicture> ImageFolder::LoadLocked(size_t index) {
    if (index >= files_.size() || unreadable_[index]) return nullptr;
    std::string why;
    std::optional<RgbPicture> picture;
    if (auto bytes = ReadWholeFile(folder_ + L"\\" + files_[index], why))
        picture = DecodeBitmap(*bytes, why);
    if (!picture) {
        unreadable_[index] = true;
        Say(L"\"" + files_[index] + L"\" in \"" + folder_ + L"\" " +
            (why.starts_with("cannot") ? L"" : L"is not played: ") + Widen(why));
        return nullptr;
    }
    return std::make_shared<const RgbPicture>(std::move(*picture));
}

void ImageFolder::MakeStripLocked() {
    if (stripMade_) return;
    stripMade_ = true;
    ListLocked();
    size_t bytes = 0;
    for (size_t i = 0; i < files_.size(); ++i) {
        const std::shared_ptr<const RgbPicture> picture = LoadLocked(i);
        if (!picture) continue;
        if (bytes + picture->pixels.size() > kPlayedRowsBudget) {
            Say(L"the files of \"" + folder_ + L"\" from \"" + files_[i] +
                L"\" on do not fit the line-scan strip and are left out");
            break;
        }
        StripFile file{picture->width, picture->height, {}, stripLines_};
        file.grey.reserve(picture->pixels.size());
        for (const PatternColor& c : picture->pixels)
            file.grey.push_back(LumaOf(c));
        bytes += file.grey.size();
        stripLines_ += file.height;
        strip_.push_back(std::move(file));
    }
}

bool ImageFolder::RenderLines(uint64_t firstLine, uint32_t width, uint8_t* out, size_t bytes) {
    std::lock_guard lock(mutex_);
    MakeStripLocked();
    if (stripLines_ == 0 || width == 0) return false;
    for (size_t done = 0; done < bytes; done += width) {
        const uint64_t line = (firstLine + done / width) % stripLines_;
        // The file holding the line: the last one starting at or before it.
        const auto file = std::prev(
            std::upper_bound(strip_.begin(), strip_.end(), line,
                             [](uint64_t l, const StripFile& f) { return l < f.firstLine; }));
        const size_t count = std::min<size_t>(width, bytes - done);
        const size_t shown = std::min<size_t>(count, file->width);
        const uint8_t* row = file->grey.data() + (line - file->firstLine) * file->width;
        std::memcpy(out + done, row, shown);
        std::memset(out + done + shown, 0, count - shown);
    }
    return true;
}

void ImageFolder::Say(const std::wstring& what) const {
    const std::wstring line =
        L"kvboard: " + Widen(boardName_) + L": " + what + L"\n";
    OutputDebugStringW(line.c_str());
}

} // namespace kvboard
