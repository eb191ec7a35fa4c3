// A check of saved picture bytes before they reach the system's picture loader, which trusts
// the sizes their headers give: a damaged header can make it read or allocate far beyond the
// bytes and crash the host.
#pragma once

#include <cstddef>
#include <cstdint>

namespace gaugekit {

// Whether the bytes are a picture file image (a bitmap, an icon or cursor, a placeable metafile
// or an enhanced metafile) whose headers fit its byte count, or no bytes at all (an empty
// picture). Anything else is refused.
bool pictureBytesConsistent(const std::uint8_t* data, std::size_t size);

// The most pixels a kept bitmap may have; a header that claims more is damaged.
inline constexpr std::uint64_t kMaxPicturePixels = std::uint64_t{1} << 26;

}  // namespace gaugekit
