// The units of the driver and their message handler tables.
//
// A unit is one source file for one feature group (device, input, frames, ...). It defines
// its handlers as a table of MessageHandler entries (family, code, handler, locking) and
// exposes the table through one function declared here; the dispatcher (driverproc.cpp)
// joins the tables of kUnits once, at the first message. To add a unit: write
// simboard/<unit>.cpp with its table, declare its function here and add it to kUnits (the
// CMake target picks up every .cpp of the folder).
#pragma once

#include <span>

#include "message.h"

namespace kvboard {

std::span<const MessageHandler> DeviceHandlers();   // device caps, status, time-out, outputs
std::span<const MessageHandler> InputHandlers();    // input caps, source, controls, LUTs, triggers
std::span<const MessageHandler> FrameHandlers();    // frames: allocate, map, info, rectangles
std::span<const MessageHandler> AcquireHandlers();  // acquisition: synchronous, asynchronous jobs
std::span<const MessageHandler> DrawHandlers();     // drawing a frame into a window
std::span<const MessageHandler> CameraHandlers();   // digital-camera family
std::span<const MessageHandler> Lib7400Handlers();  // KV7400 board library
std::span<const MessageHandler> LineScanHandlers(); // line-scan family
std::span<const MessageHandler> ColorHandlers();    // color family
std::span<const MessageHandler> PassthruHandlers(); // live video, its settings, sync event
std::span<const MessageHandler> SurfaceHandlers();  // overlay surfaces

using UnitTable = std::span<const MessageHandler> (*)();
inline constexpr UnitTable kUnits[] = {
    DeviceHandlers,  InputHandlers,    FrameHandlers,   AcquireHandlers,
    DrawHandlers,    PassthruHandlers, SurfaceHandlers, CameraHandlers,
    Lib7400Handlers, LineScanHandlers, ColorHandlers,
};

} // namespace kvboard
