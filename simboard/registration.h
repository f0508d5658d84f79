// The simulator's boards in the registry: installed by DllRegisterServer, removed by
// DllUnregisterServer, read at DRV_OPEN.
//
// HKLM\System\CurrentControlSet\Services\kvboard holds the value "STIMG" (what marks an
// imaging driver service) and one subkey per board. Simulation settings of a board subkey
// (all REG_DWORD; a missing or malformed value takes the model's default):
//
//   value          default                 meaning
//   Enable         1 (written)             0: the driver refuses to open the board
//   Model          the model's code        32, 42, 43, 44, 45, 46 or 112; required
//   FrameWidth     the model's (640)       default frame width in pixels, clamped to the
//                                          model's frame width limits and rounded down to
//                                          their granularity
//   FrameHeight    the model's (480)       default frame height in lines, likewise
//   FrameRate      30                      frames per second, at most 1000; 0: as fast as
//                                          possible (benchmarks)
//   InputSources   the model's             number of video inputs, 1 to 16
//   LinearMemSize  the model's (64 MB)     host frame memory in bytes
//   DeviceMemSize  the model's             on-board frame memory in bytes
//   TestPattern    0 (not written)         the picture (PatternId, picture.h): 0 or an
//                                          unknown number: the model's
//   TestCaption    1 (not written)         0: no caption (board, image number, time) drawn
//                                          into the pictures
//   ImageFolder    none (not written)      REG_SZ or REG_EXPAND_SZ: a folder of .bmp files
//                                          the board plays instead of its test pattern
//                                          (image_folder.h)
//   ImageRate      FrameRate (not written) files per second the played folder advances by
//
// Registration writes the defaults, replacing settings changed since.
#pragma once

#include <optional>
#include <string>

#include "board.h"

namespace kvboard {

inline constexpr wchar_t kServiceKey[] = L"System\\CurrentControlSet\\Services\\kvboard";
inline constexpr char kDriverName[] = "kvboard";
constexpr uint32_t kDefaultFrameRate = 30;
constexpr uint32_t kMaxFrameRate = 1000;
constexpr uint32_t kMaxInputSources = 16;

// The settings of an enabled board of this service with a known model, found by name
// ignoring case; nothing when the board is not one this driver serves.
std::optional<BoardSettings> ReadBoardSettings(const std::string& boardName);

} // namespace kvboard
