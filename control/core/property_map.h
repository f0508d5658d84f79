// The persisted properties of the control in the order every save and load walks them, and
// the property categories that design environments group the members by.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace core {

// The property page that edits a persisted property.
enum class PropertyPage : uint8_t {
    None,
    General,
    Input,
    Spatial,
    Sync,
    Trigger,
    Display,
    DigIO,
    Color,
    DigCam,
};

struct PropertyMapEntry {
    const wchar_t* name; // the persisted name
    int32_t dispid;
    PropertyPage page;
};

// The 65 persisted properties, ActiveDevice first so that the device is open before the
// others are written.
std::span<const PropertyMapEntry> PropertyMap();

// The category of a DISPID (CategoriesEnum); none below 100 or from 1200 on.
std::optional<int32_t> CategoryOfDispid(int32_t dispid);
// The display name of a category; null for a value that names none.
const wchar_t* CategoryName(int32_t category);

} // namespace core
