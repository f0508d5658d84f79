// The property map and the DISPID categories as tables.
#include "property_map.h"

namespace core {
namespace {

using enum PropertyPage;

// clang-format off
constexpr PropertyMapEntry kPropertyMap[] = {
    {L"ActiveDevice",          203,  General},
    {L"Timeout",               206,  General},
    {L"BasedSourceModeEnable", 407,  Input},
    {L"BasedSource",           408,  Input},
    {L"ActiveLineCount",       409,  Spatial},
    {L"BackPorchStart",        410,  Spatial},
    {L"Offset",                411,  Input},
    {L"ClampEnd",              412,  Spatial},
    {L"ActivePixelCount",      413,  Spatial},
    {L"ClampStart",            414,  Spatial},
    {L"ClockTransition",       415,  Input},
    {L"ClockFrequency",        416,  Input},
    {L"ClockSource",           417,  Input},
    {L"FirstActiveLine",       418,  Spatial},
    {L"FirstActivePixel",      419,  Spatial},
    {L"Gain",                  420,  Input},
    {L"HorizontalTransition",  443,  Sync},
    {L"HSyncInsertPos",        422,  Sync},
    {L"HSyncSearchPos",        423,  Sync},
    {L"InputFilter",           424,  Input},
    {L"InputLUT",              425,  Input},
    {L"MultTriggerTransition", 426,  Trigger},
    {L"MultTriggerMode",       427,  Trigger},
    {L"MultTriggerType",       428,  Trigger},
    {L"SyncSentinel",          429,  Sync},
    {L"SyncSource",            430,  Sync},
    {L"SyncThresh",            431,  Sync},
    {L"TotalLinesPerField",    432,  Spatial},
    {L"TotalPixelsPerLine",    433,  Spatial},
    {L"TriggerTransition",     434,  Trigger},
    {L"TriggerType",           435,  Trigger},
    {L"VideoInputSource",      437,  Input},
    {L"VideoSignalType",       438,  Input},
    {L"VSyncInsertPos",        439,  Sync},
    {L"VSyncSearchPos",        440,  Sync},
    {L"Reference",             441,  Input},
    {L"VerticalTransition",    444,  Sync},
    {L"XPassthruOrigin",       507,  Display},
    {L"YPassthruOrigin",       508,  Display},
    {L"DigIOConfig",           600,  DigIO},
    {L"DigIOPattern",          601,  DigIO},
    {L"Brightness",            804,  Color},
    {L"Contrast",              805,  Color},
    {L"Hue",                   808,  Color},
    {L"VSaturation",           806,  Color},
    {L"USaturation",           807,  Color},
    {L"RedOffset",             809,  Color},
    {L"GreenOffset",           810,  Color},
    {L"BlueOffset",            811,  Color},
    {L"RedReference",          812,  Color},
    {L"GreenReference",        813,  Color},
    {L"BlueReference",         814,  Color},
    {L"HorizontalFrequency",   901,  Sync},
    {L"HorizontalPulseWidth",  902,  Sync},
    {L"VerticalFrequency",     903,  Sync},
    {L"VerticalPulseWidth",    904,  Sync},
    {L"Phase",                 905,  Sync},
    {L"DigitalCameraType",     1001, DigCam},
    {L"EnableExposePulse",     1002, DigCam},
    {L"ExposePulseDuration",   1003, DigCam},
    {L"ExposePulsePolarity",   1004, DigCam},
    {L"HorizontalScale",       315,  Spatial}, // FrameHorizontalScale
    {L"VerticalScale",         316,  Spatial}, // FrameVerticalScale
    {L"BackColor",             -501, None},
    {L"ForeColor",             -513, None},
};
// clang-format on
static_assert(std::size(kPropertyMap) == 65);

struct Category {
    int32_t firstDispid; // a range of one hundred DISPIDs
    int32_t category;
    const wchar_t* name;
};

// In category order; note that the frame members (300s) are "Memory" and come after "Input".
constexpr Category kCategories[] = {
    {100, 1, L"Corvid"},           {200, 2, L"General"},     {400, 3, L"Input"},
    {300, 4, L"Memory"},           {500, 5, L"Passthru"},    {600, 6, L"DigitalIO"},
    {700, 7, L"Overlay"},          {800, 8, L"Color"},       {900, 9, L"Sync Master"},
    {1000, 10, L"Digital Camera"}, {1100, 11, L"Line Scan"},
};

} // namespace

std::span<const PropertyMapEntry> PropertyMap() {
    return kPropertyMap;
}

std::optional<int32_t> CategoryOfDispid(int32_t dispid) {
    for (const Category& category : kCategories)
        if (dispid >= category.firstDispid && dispid < category.firstDispid + 100)
            return category.category;
    return std::nullopt;
}

const wchar_t* CategoryName(int32_t category) {
    for (const Category& entry : kCategories)
        if (entry.category == category) return entry.name;
    return nullptr;
}

} // namespace core
