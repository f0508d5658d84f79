// The text of a camera file (*.cam): its header, one assignment line per persisted property,
// and the frame section with the active frame's geometry. The file is read and written in
// text mode through the C library's buffered files.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace core::camera_text {

// Written with the major and minor version; read back as a scan format.
inline constexpr char kHeaderFormat[] = "Vantrel Quillon Frame Grabber Camera File, Format "
                                        "Version %d.%d\n# WARNING: DO NOT EDIT THIS CAMERA "
                                        "FILE!\n\n";
inline constexpr int kMajorVersion = 1;
inline constexpr int kMinorVersion = 0;

// The longest line one read takes; a longer line is read in pieces.
inline constexpr int kLineLimit = 259;

std::string Header();
// Assignment lines by the kind of the value; names are left-aligned in 24 characters.
std::string NumberLine(const std::string& name, int32_t value);
std::string BooleanLine(const std::string& name, bool value);
std::string TextLine(const std::string& name, const std::string& text);
std::string UnhandledLine(const std::string& name, int variantType);

// The geometry of the active frame that follows the properties.
struct FrameSection {
    int32_t top = 0, left = 0, height = 0, width = 0, frameType = 0, storageMode = 0;
};
std::string FrameSectionText(const FrameSection& frame);

// True when the file starts with a header of major version 1 (any minor version).
bool ReadHeader(std::FILE* file);
// Reads lines from the current position until one assigns name (exact comparison) and
// answers its value token; nullopt at the end of the file.
std::optional<std::string> FindValue(std::FILE* file, const std::string& name);
// The decimal number of a value token.
std::optional<int32_t> NumberOf(const std::string& token);
// Reads the frame section at the current position; nullopt when none follows or when it is
// incomplete. `damaged`, when given, tells an incomplete section from none.
std::optional<FrameSection> ReadFrameSection(std::FILE* file, bool* damaged = nullptr);

} // namespace core::camera_text
