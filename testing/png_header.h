// The start of a PNG file whose header says it is `width` x `height` pixels: all an image reader
// needs to learn that a picture is too large to decode, without the gigabytes of its pixels. Its
// chunks are well formed; the one that would hold the pixels is empty.
//
//   server.route("GET", "/picture.png", ScriptedResponse::text(200, pngHeader(30000, 30000)));
#pragma once

#include <cstdint>
#include <string>

namespace tessra::testing {

std::string pngHeader(std::uint32_t width, std::uint32_t height);

}  // namespace tessra::testing
