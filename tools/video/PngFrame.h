#pragma once
// Reads a PNG picture as the RGB triplets the Theora encoder takes.

#include <cstdint>
#include <string>
#include <vector>

// Reads `path`, which must be `width` x `height` pixels, into rgb (rows from the top). Any PNG kind is
// accepted: grey is widened, 16-bit samples are narrowed, and a translucent picture is laid on black.
// False with `error` set when the file is missing, broken or of another size.
bool ReadPngFrame(const std::string& path, int width, int height, std::vector<uint8_t>& rgb, std::string& error);
