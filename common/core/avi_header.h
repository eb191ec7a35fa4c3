// Whether an AVI file's layout before its movie data is sound, before the platform's AVI handler
// reads it. The handler trusts the chunk sizes and the stream count it finds, and some handlers
// (Wine's among them) crash on a damaged header instead of refusing it.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

namespace common {

// Fills `into` with the file's bytes from `offset`; false when it cannot.
using ReadAt = std::function<bool(std::uint64_t offset, std::span<unsigned char> into)>;

// Whether the file starts as a sound AVI file: a header list ("LIST" "hdrl") whose chunks all
// lie inside it, "avih" first and long enough, as many stream lists as it declares streams, each
// with a stream header ending within 2^32 units and a format of some bytes; then chunks up to and
// including the movie data ("LIST" "movi"), none running past the end of the file.
bool isSoundAviLayout(std::uint64_t fileSize, const ReadAt& readAt);

}  // namespace common
