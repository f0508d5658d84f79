// Lists the installed imaging boards as the driver access layer sees them, then opens each
// one, prints a few of its capabilities, acquires one frame and saves it as <board>.bmp in
// the current folder. For a board of the simulated driver it prints the test pattern and
// caption settings too (see simboard/test_patterns.h), and the folder of recorded images it
// plays (simboard/image_folder.h).
//
//   boardlist                        lists the boards
//   boardlist --patterns             lists the test patterns of the simulated boards
//   boardlist --pattern N BOARD      sets simulated board BOARD's test pattern (number or name)
//   boardlist --caption 0|1 BOARD    switches the caption of simulated board BOARD off or on
//   boardlist --play FOLDER BOARD    makes simulated board BOARD play the .bmp files of FOLDER
//   boardlist --play "" BOARD        back to its test pattern
//
// A setting takes effect when the board is next opened (when no handle is open on it).
#include "bitmap_file.h"
#include "devices.h"
#include "frame_messages.h"
#include "input_messages.h"
#include "records.h"
#include "test_patterns.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace imaging;

namespace {

const char* ModelName(uint32_t id) {
    switch (id) {
    case KV7100: return "KV7100";
    case KV7400: return "KV7400";
    case KV7700: return "KV7700";
    case KV7300: return "KV7300";
    case KV7500: return "KV7500";
    case KV7400LS: return "KV7400LS";
    case KV760X: return "KV760X";
    case KV7900: return "KV7900";
    default: return "unknown";
    }
}

const char* KindName(uint32_t kind) {
    switch (kind) {
    case STC_IMG_DEV_MONO_FRAME_GRABBER: return "monochrome";
    case STC_IMG_DEV_COLOR_FRAME_GRABBER: return "color";
    default: return "unknown";
    }
}

// ---- Simulated boards' test pictures --------------------------------------------------------

constexpr char kSimServiceKey[] = "System\\CurrentControlSet\\Services\\kvboard\\";

// A REG_DWORD of a simulated board's subkey; false when the board is not one of the
// simulator's, `present` false when the value is missing.
bool ReadSimValue(const char* board, const char* name, DWORD& value, bool& present) {
    HKEY key = nullptr;
    const std::string path = std::string(kSimServiceKey) + board;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = 0, size = sizeof value;
    present = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
                  ERROR_SUCCESS &&
              type == REG_DWORD && size == sizeof value;
    RegCloseKey(key);
    return true;
}

// Writes a value of a simulated board's subkey, or with no data removes it (a missing value
// counts as removed); false when the board is not one of the simulator's or the write fails.
bool WriteSimValue(const char* board, const char* name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    const std::string path = std::string(kSimServiceKey) + board;
    LSTATUS status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_SET_VALUE, &key);
    if (status == ERROR_SUCCESS) {
        status = size == 0
                     ? RegDeleteValueA(key, name)
                     : RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
        if (size == 0 && status == ERROR_FILE_NOT_FOUND) status = ERROR_SUCCESS;
        RegCloseKey(key);
    }
    if (status != ERROR_SUCCESS)
        printf("%s is not a board of the simulated driver (kvboard), or its key cannot be "
               "written\n",
               board);
    return status == ERROR_SUCCESS;
}

std::string ReadSimText(const char* board, const char* name) {
    char text[MAX_PATH * 4] = {};
    DWORD size = sizeof text - 1;
    const std::string path = std::string(kSimServiceKey) + board;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, path.c_str(), name, RRF_RT_REG_SZ, nullptr, text, &size) !=
        ERROR_SUCCESS)
        return {};
    return text;
}

// Points a board at a folder of recorded images (its full path), or with "" back to its
// test pattern.
int SetImageFolder(const char* folderText, const char* board) {
    std::string folder;
    if (*folderText != '\0') {
        char full[MAX_PATH * 4];
        const DWORD n = GetFullPathNameA(folderText, sizeof full, full, nullptr);
        const DWORD attributes =
            n == 0 || n >= sizeof full ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(full);
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            printf("%s is not a folder\n", folderText);
            return 2;
        }
        folder = full;
    }
    if (!WriteSimValue(board, "ImageFolder", REG_SZ, folder.c_str(),
                       folder.empty() ? 0 : static_cast<DWORD>(folder.size() + 1)))
        return 1;
    if (folder.empty())
        printf("%s: shows its test pattern\n", board);
    else
        printf("%s: plays the .bmp files of %s\n", board, folder.c_str());
    return 0;
}

const char* PatternName(DWORD id) {
    return id < kvboard::kPatternCount ? kvboard::kPatternNames[id].name : "unknown: the model's";
}

void PrintTestPicture(const char* board, uint32_t model) {
    DWORD pattern = 0, caption = 1;
    bool present = false;
    if (!ReadSimValue(board, "TestPattern", pattern, present)) return;
    if (model == KV7400LS) {
        printf("    %-22s %s\n", "test pattern", "line ramp (line scan: no test patterns)");
    } else {
        if (!present) pattern = 0;
        printf("    %-22s %lu %s%s\n", "test pattern", static_cast<unsigned long>(pattern),
               PatternName(pattern), present ? "" : " (default)");
        ReadSimValue(board, "TestCaption", caption, present);
        if (!present) caption = 1;
        printf("    %-22s %s%s\n", "caption", caption ? "on" : "off", present ? "" : " (default)");
    }
    const std::string folder = ReadSimText(board, "ImageFolder");
    if (!folder.empty()) printf("    %-22s %s\n", "plays", folder.c_str());
}

void PrintPatterns() {
    for (const kvboard::PatternName& p : kvboard::kPatternNames)
        printf("%3u  %-8s %s\n", static_cast<unsigned>(p.id), p.name, p.description);
}

// A pattern by number or name; -1 when there is no such pattern.
long ParsePattern(const char* text) {
    char* end = nullptr;
    const long number = strtol(text, &end, 10);
    if (end != text && *end == '\0')
        return number >= 0 && number < static_cast<long>(kvboard::kPatternCount) ? number : -1;
    for (const kvboard::PatternName& p : kvboard::kPatternNames)
        if (_stricmp(p.name, text) == 0) return p.id;
    return -1;
}

int SetTestPicture(const char* option, const char* valueText, const char* board) {
    DWORD value = 0;
    const char* name = nullptr;
    if (strcmp(option, "--pattern") == 0) {
        const long pattern = ParsePattern(valueText);
        if (pattern < 0) {
            printf("No test pattern %s. The patterns:\n", valueText);
            PrintPatterns();
            return 2;
        }
        value = static_cast<DWORD>(pattern);
        name = "TestPattern";
    } else {
        if (strcmp(valueText, "0") != 0 && strcmp(valueText, "1") != 0) {
            printf("--caption takes 0 or 1\n");
            return 2;
        }
        value = valueText[0] == '1' ? 1 : 0;
        name = "TestCaption";
    }
    if (!WriteSimValue(board, name, REG_DWORD, &value, sizeof value)) return 1;
    printf("%s: %s = %lu%s%s\n", board, name, static_cast<unsigned long>(value),
           name[4] == 'P' ? " " : "", name[4] == 'P' ? PatternName(value) : "");
    return 0;
}

void PrintStatus(const char* what, STT_APISTATUS status) {
    char text[256];
    if (GetApiStatusMessage(status, text, sizeof(text)) != STC_STS_NORMAL) text[0] = '\0';
    printf("    %-22s failed (0x%08lx): %s\n", what, static_cast<unsigned long>(status), text);
}

void PrintRange(HDRVR driver, const char* what, stSTT_FG_INPUT_CAP_KEY key) {
    stSTT_LNG_RNG range{};
    const STT_APISTATUS status = STM_QUERY_INPUT_CAPS(driver, key, &range, sizeof(range));
    if (status != STC_STS_NORMAL) return PrintStatus(what, status);
    printf("    %-22s %ld..%ld step %ld, nominal %ld\n", what, static_cast<long>(range.Min),
           static_cast<long>(range.Max), static_cast<long>(range.Granularity),
           static_cast<long>(range.Nominal));
}

// The frame's pixels in a bitmap format a viewer opens: 8-bit grey for monochrome (10-bit
// samples shifted down), 16, 24 or 32-bit color as stored.
bool EncodeFrame(const std::vector<uint8_t>& pixels, const FrameInfo& info, uint32_t kind,
                 std::vector<uint8_t>& file) {
    const size_t width = info.Width, height = info.Height, bpp = info.BytesPerPixel;
    std::vector<uint8_t> image = pixels;
    core::BitmapFormat format = core::BitmapFormat::Grey8;
    if (kind == STC_IMG_DEV_MONO_FRAME_GRABBER && bpp == 2) {
        image.resize(width * height);
        for (size_t i = 0; i < image.size(); ++i)
            image[i] = static_cast<uint8_t>((pixels[2 * i] | (pixels[2 * i + 1] << 8)) >> 2);
    } else if (bpp == 2) {
        format = core::BitmapFormat::Rgb16;
    } else if (bpp == 3) {
        format = core::BitmapFormat::Rgb24;
    } else if (bpp == 4) {
        format = core::BitmapFormat::Rgb32;
    } else if (bpp != 1) {
        return false;
    }
    file.clear();
    return core::StreamBitmapFile(format, info.Width, info.Height, image,
                                  width * core::BytesPerPixelOf(format), core::kMasks565,
                                  [&file](std::span<const uint8_t> bytes) {
                                      file.insert(file.end(), bytes.begin(), bytes.end());
                                      return true;
                                  });
}

void SaveOneFrame(HDRVR driver, const char* board) {
    uint32_t kind = 0;
    STM_QUERY_DEVICE_CAPS(driver, STC_IMG_DC_ST_DEVICE_TYPE, &kind, sizeof(kind));
    FrameHandle frame = 0;
    STT_APISTATUS status =
        STM_ALLOCATE_FRAME(driver, STC_FG_DEV_MEM_VOLATILE, STC_FG_ANY_FRAME_ID, &frame);
    if (status != STC_STS_NORMAL) return PrintStatus("frame", status);

    FrameInfo info{};
    std::vector<uint8_t> pixels;
    status = STM_GET_FRAME_INFO(driver, frame, &info);
    if (status == STC_STS_NORMAL) status = STM_ACQUIRE_FRAME(driver, frame);
    if (status == STC_STS_NORMAL) {
        pixels.resize(size_t{info.Width} * info.Height * info.BytesPerPixel);
        status = STM_READ_FRAME_RECT(driver, frame, 0, 0, info.Width, info.Height, pixels.data(),
                                     static_cast<uint32_t>(pixels.size()));
    }
    STM_DESTROY_FRAME(driver, frame);
    if (status != STC_STS_NORMAL) return PrintStatus("acquired frame", status);

    std::vector<uint8_t> file;
    const std::string name = std::string(board) + ".bmp";
    FILE* out = nullptr;
    if (!EncodeFrame(pixels, info, kind, file) || (out = fopen(name.c_str(), "wb")) == nullptr) {
        printf("    %-22s could not write %s\n", "acquired frame", name.c_str());
        return;
    }
    const bool written = fwrite(file.data(), 1, file.size(), out) == file.size();
    fclose(out);
    printf("    %-22s %ux%u, %u bytes per pixel, %s %s\n", "acquired frame", info.Width,
           info.Height, info.BytesPerPixel, written ? "saved as" : "could not write", name.c_str());
}

void PrintCapabilities(const char* board) {
    HDRVR driver = nullptr;
    STT_APISTATUS status = OpenImagingDevice(board, &driver);
    if (status != STC_STS_NORMAL) return PrintStatus("open", status);

    uint32_t sources = 0;
    status = STM_QUERY_INPUT_CAPS(driver, STC_FG_IC_INPUT_SOURCE_COUNT, &sources, sizeof(sources));
    if (status == STC_STS_NORMAL)
        printf("    %-22s %lu\n", "input sources", static_cast<unsigned long>(sources));
    else
        PrintStatus("input sources", status);

    PrintRange(driver, "frame width", STC_FG_IC_FRAME_WIDTH_LIMITS);
    PrintRange(driver, "frame height", STC_FG_IC_FRAME_HEIGHT_LIMITS);

    uint32_t timeout = 0;
    status = STM_GET_TIMEOUT(driver, &timeout);
    if (status == STC_STS_NORMAL)
        printf("    %-22s %lu s\n", "time-out", static_cast<unsigned long>(timeout));
    else
        PrintStatus("time-out", status);

    uint16_t outputs = 0; // the count is a 16-bit answer
    status = STM_QUERY_CAMCTL_CAPS(driver, STC_FG_CC_DIG_OUT_COUNT, &outputs, sizeof(outputs));
    if (status == STC_STS_NORMAL)
        printf("    %-22s %u\n", "digital outputs", static_cast<unsigned>(outputs));
    else
        PrintStatus("digital outputs", status);

    SaveOneFrame(driver, board);

    status = CloseImagingDevice(driver);
    if (status != STC_STS_NORMAL) PrintStatus("close", status);
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && strcmp(argv[1], "--patterns") == 0) {
        PrintPatterns();
        return 0;
    }
    if (argc == 4 && (strcmp(argv[1], "--pattern") == 0 || strcmp(argv[1], "--caption") == 0))
        return SetTestPicture(argv[1], argv[2], argv[3]);
    if (argc == 4 && strcmp(argv[1], "--play") == 0) return SetImageFolder(argv[2], argv[3]);
    if (argc != 1) {
        printf("usage: boardlist [--patterns | --pattern N BOARD | --caption 0|1 BOARD |\n"
               "                  --play FOLDER BOARD]\n");
        return 2;
    }
    uint32_t count = 0;
    CountImagingDevices(&count);
    if (count == 0) {
        printf("No imaging boards are installed.\n");
        return 0;
    }

    std::vector<ImagingDeviceInfo> list(count);
    list[0].StructSize = kDeviceInfoLongSize;
    const STT_APISTATUS status =
        GetImagingDeviceList(list.data(), static_cast<uint32_t>(list.size() * sizeof(list[0])));
    if (status != STC_STS_NORMAL) {
        PrintStatus("device list", status);
        return 1;
    }

    printf("%lu imaging board(s):\n", static_cast<unsigned long>(count));
    for (const ImagingDeviceInfo& board : list) {
        printf("\n%s (driver %s)\n", board.BoardName, board.DriverName);
        printf("    %-22s %s (%lu)\n", "model", ModelName(board.DeviceId),
               static_cast<unsigned long>(board.DeviceId));
        printf("    %-22s %s (%lu)\n", "kind", KindName(board.DeviceKind),
               static_cast<unsigned long>(board.DeviceKind));
        printf("    %-22s %lu bytes\n", "device memory",
               static_cast<unsigned long>(board.DeviceMemSize));
        printf("    %-22s %lu bytes\n", "linear memory",
               static_cast<unsigned long>(board.LinearMemSize));
        PrintTestPicture(board.BoardName, board.DeviceId);
        PrintCapabilities(board.BoardName);
    }
    return 0;
}
