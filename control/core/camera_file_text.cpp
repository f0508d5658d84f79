// Camera file lines: formatting and scanning with the C library's formats.
#include "camera_file_text.h"

#include <cstring>

namespace core::camera_text {
namespace {

// One token of a line: at most a whole line's characters and its terminator.
using Token = char[kLineLimit + 1];

template <class... Args> std::string Format(const char* format, Args... args) {
    const int length = std::snprintf(nullptr, 0, format, args...);
    if (length <= 0) return std::string();
    std::string text(static_cast<size_t>(length) + 1, '\0');
    std::snprintf(text.data(), text.size(), format, args...);
    text.pop_back();
    return text;
}

} // namespace

std::string Header() {
    return Format(kHeaderFormat, kMajorVersion, kMinorVersion);
}

std::string NumberLine(const std::string& name, int32_t value) {
    return Format("%-24s= %d\n", name.c_str(), static_cast<int>(value));
}

std::string BooleanLine(const std::string& name, bool value) {
    return Format("%-24s= %d '%s\n", name.c_str(), value ? -1 : 0, value ? "True" : "False");
}

std::string TextLine(const std::string& name, const std::string& text) {
    if (text.empty()) return Format("%-24s=\n", name.c_str());
    return Format("%-24s= %s\n", name.c_str(), text.c_str());
}

std::string UnhandledLine(const std::string& name, int variantType) {
    return Format("%-24s= ' unhandled type %d\n", name.c_str(), variantType);
}

std::string FrameSectionText(const FrameSection& frame) {
    return Format("FrameTop\t\t      = %d\n", static_cast<int>(frame.top)) +
           Format("FrameLeft\t            = %d\n", static_cast<int>(frame.left)) +
           Format("FrameHeight             = %d\n", static_cast<int>(frame.height)) +
           Format("FrameWidth              = %d\n", static_cast<int>(frame.width)) +
           Format("FrameType               = %d\n", static_cast<int>(frame.frameType)) +
           Format("FrameStorageMode        = %d\n", static_cast<int>(frame.storageMode));
}

bool ReadHeader(std::FILE* file) {
    int major = 0, minor = 0;
    return std::fscanf(file, kHeaderFormat, &major, &minor) == 2 && major == kMajorVersion;
}

std::optional<std::string> FindValue(std::FILE* file, const std::string& name) {
    char line[kLineLimit + 1];
    while (std::fgets(line, sizeof line, file)) {
        Token key, value;
        if (std::sscanf(line, "%259s = %259s", key, value) == 2 && name == key) return value;
    }
    return std::nullopt;
}

std::optional<int32_t> NumberOf(const std::string& token) {
    int value = 0;
    if (std::sscanf(token.c_str(), "%d", &value) != 1) return std::nullopt;
    return value;
}

std::optional<FrameSection> ReadFrameSection(std::FILE* file, bool* damaged) {
    if (damaged) *damaged = false;
    Token first;
    if (std::fscanf(file, "%259s", first) != 1 || !std::strstr(first, "FrameTop"))
        return std::nullopt;
    if (damaged) *damaged = true; // until every field is read
    FrameSection frame;
    Token equals;
    if (std::fscanf(file, "%259s %d\n", equals, &frame.top) != 2) return std::nullopt;
    for (int32_t* field :
         {&frame.left, &frame.height, &frame.width, &frame.frameType, &frame.storageMode}) {
        Token key;
        if (std::fscanf(file, "%259s %259s %d\n", key, equals, field) != 3) return std::nullopt;
    }
    if (damaged) *damaged = false;
    return frame;
}

} // namespace core::camera_text
