#pragma once
// A minimal PNG writer for screenshots: 8-bit RGB, no filtering, the image data in
// stored (uncompressed) deflate blocks. Larger than a compressed file, but it needs
// no library and every viewer reads it.
#include <cstdint>
#include <string>
#include <vector>

namespace png {

// `rgb` holds height rows of width * 3 bytes, top row first.
std::vector<uint8_t> Encode(uint32_t width, uint32_t height, const std::vector<uint8_t>& rgb);
bool WriteFile(const std::wstring& path, uint32_t width, uint32_t height, const std::vector<uint8_t>& rgb);
// Reads back a file as WriteFile writes it (stored blocks, unfiltered rows); false for
// anything else or a damaged file.
bool ReadFile(const std::wstring& path, uint32_t& width, uint32_t& height, std::vector<uint8_t>& rgb);

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0);
uint32_t Adler32(const uint8_t* data, size_t size);

}  // namespace png
