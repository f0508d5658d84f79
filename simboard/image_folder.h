// Recorded images as a board's video. A board's "ImageFolder" value names a folder of bitmap
// files (bitmap_reader.h); the board then shows them, in file-name order and looping, instead
// of its test pattern. Image number n (from 1) shows file floor((n - 1) x ImageRate /
// FrameRate) mod the file count: with ImageRate equal to the board's FrameRate (its default)
// every image shows the next file, at half of it every file shows twice. A FrameRate or
// ImageRate of 0 also shows the next file every image.
//
// A line-scan camera sees the files as one strip: their rows one after the other, each file
// from its top row, looping (RenderLines). Files that cannot be read are left out of the
// strip; a strip of more than kPlayedRowsBudget grey bytes ends with the last file that fits.
//
// The folder is listed once, when the board first renders (files added later show after the
// board is opened again). Only files named *.bmp are played; folders are skipped. A file is
// read and decoded when its turn comes (the rows it gives are kept, see picture.cpp). A folder
// that is missing or has no file, and a file that cannot be read, show the board's test
// pattern instead; each is said once on the debugger output.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bitmap_reader.h"
#include "sync.h"

namespace kvboard {

class ImageFolder {
public:
    ImageFolder(std::string boardName, std::wstring folder, uint32_t imageRate, uint32_t frameRate);
    ~ImageFolder();
    ImageFolder(const ImageFolder&) = delete;
    ImageFolder& operator=(const ImageFolder&) = delete;

    // A file of the folder, by its place in the listing; `key` is unique in the process for
    // this folder's listing and place (the picture rows are kept by it).
    struct Slot {
        size_t index;
        uint64_t key;
    };
    // The file image number `imageNumber` shows; nothing when the folder has no file.
    std::optional<Slot> SlotOf(uint64_t imageNumber);
    // The slot's picture; null when its file cannot be read (said once).
    std::shared_ptr<const RgbPicture> Load(const Slot& slot);

    // Writes `bytes` bytes of consecutive grey lines of `width` pixels from the strip, starting
    // with its line `firstLine` (line 0: the first file's top row); each row cropped to the
    // width or padded with black. False, writing nothing, when no file can be played.
    bool RenderLines(uint64_t firstLine, uint32_t width, uint8_t* out, size_t bytes);

private:
    static std::wstring Trimmed(std::wstring folder); // without trailing separators
    void ListLocked();
    std::shared_ptr<const RgbPicture> LoadLocked(size_t index);
    void MakeStripLocked();
    void Say(const std::wstring& what) const;

    const std::string boardName_;
    const std::wstring folder_;
    const uint32_t imageRate_;
    const uint32_t frameRate_;
    const uint64_t serial_; // of this listing, the high half of its keys

    Mutex mutex_;
    bool listed_ = false;
    std::vector<std::wstring> files_; // names, without the folder
    std::vector<bool> unreadable_;    // by place: known bad (said once)

    struct StripFile {
        uint32_t width, height;
        std::vector<uint8_t> grey; // width x height, top row first
        uint64_t firstLine;        // of the strip
    };
    bool stripMade_ = false;
    std::vector<StripFile> strip_;
    uint64_t stripLines_ = 0;
};

} // namespace kvboard
