// The container's property store, as the control saves to and loads from it: named values with
// defaults. A COM layer implements it over IPropertyBag or a stream; the tests over a map.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "raster.h"

namespace gaugekit {

// Outcome of an operation that can fail; the COM layer maps each to its error code.
enum class Status {
    ok,
    overflow,        // a number beyond its 32-bit (or 16-bit) range
    divisionByZero,  // Value with Max equal to Min
    typeMismatch,    // a stored entry that cannot become the property's type
    storeFailed,     // the store itself could not read or write
    outOfMemory,
    invalidPicture,  // a saved picture whose bytes do not hold what their headers say
};

// A stored value: nothing (an absent picture), a number, a boolean, text, a font or a picture.
using PropertyValue =
    std::variant<std::monostate, std::int32_t, double, bool, std::string, FontRef, PictureRef>;

class PropertyStore {
  public:
    virtual ~PropertyStore() = default;
    // Writes the value under the key; the store may leave it out when it equals the default.
    virtual Status write(std::string_view key, const PropertyValue& value,
                         const PropertyValue& defaultValue) = 0;
    // Reads the value under the key as stored; an absent key gives the default.
    virtual Status read(std::string_view key, const PropertyValue& defaultValue,
                        PropertyValue& value) = 0;
};

}  // namespace gaugekit
