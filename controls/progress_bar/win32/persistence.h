// The control's property store over the container's two kinds of storage: a property bag (named
// variants, as form designers keep them) and a stream (the control's own record format). Fonts
// and pictures are kept as objects, through their own persistence.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <string>
#include <utility>
#include <vector>

#include "property_store.h"

namespace gaugekit {

// Values as a container's variants and back; objects that are neither a standard font nor a
// picture do not convert.
Status toVariant(const PropertyValue& value, VARIANT& out);
Status fromVariant(const VARIANT& in, PropertyValue& value);

class PropertyBagStore : public PropertyStore {
  public:
    // saveAll: write every entry, defaults included (the container asks for a full copy).
    PropertyBagStore(IPropertyBag* bag, IErrorLog* log, bool saveAll = false)
        : bag_(bag), log_(log), saveAll_(saveAll) {}
    Status write(std::string_view key, const PropertyValue& value,
                 const PropertyValue& defaultValue) override;
    Status read(std::string_view key, const PropertyValue& defaultValue,
                PropertyValue& value) override;

  private:
    IPropertyBag* bag_;
    IErrorLog* log_;
    bool saveAll_;
};

// Entries kept in memory in the order written, put to a stream and taken from one as a whole.
// Every entry is kept, so the stream reads back the same whatever the defaults are.
class StreamStore : public PropertyStore {
  public:
    Status write(std::string_view key, const PropertyValue& value,
                 const PropertyValue& defaultValue) override;
    Status read(std::string_view key, const PropertyValue& defaultValue,
                PropertyValue& value) override;

    Status saveTo(IStream* stream) const;
    // Replaces the entries with those of the stream. A damaged record fails the whole load; a
    // damaged picture only its entry, whose read then fails (and the entries after it are not
    // read from the stream).
    Status loadFrom(IStream* stream);

  private:
    std::vector<std::pair<std::string, PropertyValue>> entries_;
    std::string failedKey_;
    Status failed_ = Status::ok;
};

}  // namespace gaugekit
