#include "png_file.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <string>

namespace png {

namespace {

void Put32(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void Chunk(std::vector<uint8_t>& out, const char type[4], const std::vector<uint8_t>& data) {
  Put32(out, static_cast<uint32_t>(data.size()));
  size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  Put32(out, Crc32(out.data() + start, out.size() - start));
}

}  // namespace

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc) {
  static uint32_t table[256];
  static bool ready = false;
  if (!ready) {
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[n] = c;
    }
    ready = true;
  }
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

uint32_t Adler32(const uint8_t* data, size_t size) {
  uint32_t a = 1, b = 0;
  for (size_t i = 0; i < size; ++i) {
    a = (a + data[i]) % 65521;
    b = (b + a) % 65521;
  }
  return (b << 16) | a;
}

std::vector<uint8_t> Encode(uint32_t width, uint32_t height, const std::vector<uint8_t>& rgb) {
  // Raw scan lines, each led by filter type 0.
  std::vector<uint8_t> raw;
  raw.reserve(static_cast<size_t>(height) * (width * 3 + 1));
  for (uint32_t y = 0; y < height; ++y) {
    raw.push_back(0);
    const uint8_t* row = rgb.data() + static_cast<size_t>(y) * width * 3;
    raw.insert(raw.end(), row, row + static_cast<size_t>(width) * 3);
  }
  // zlib stream: header, stored blocks of at most 65535 bytes, Adler-32.
  std::vector<uint8_t> z = {0x78, 0x01};
  size_t pos = 0;
  do {
    size_t n = std::min<size_t>(65535, raw.size() - pos);
    bool last = pos + n == raw.size();
    z.push_back(last ? 1 : 0);
    z.push_back(static_cast<uint8_t>(n));
    z.push_back(static_cast<uint8_t>(n >> 8));
    z.push_back(static_cast<uint8_t>(~n));
    z.push_back(static_cast<uint8_t>(~n >> 8));
    const auto from = raw.begin() + static_cast<std::ptrdiff_t>(pos);
    z.insert(z.end(), from, from + static_cast<std::ptrdiff_t>(n));
    pos += n;
  } while (pos < raw.size());
  Put32(z, Adler32(raw.data(), raw.size()));

  std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  Put32(header, width);
  Put32(header, height);
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter method, no interlace
  Chunk(out, "IHDR", header);
  Chunk(out, "IDAT", z);
  Chunk(out, "IEND", {});
  return out;
}

bool WriteFile(const std::wstring& path, uint32_t width, uint32_t height, const std::vector<uint8_t>& rgb) {
  std::vector<uint8_t> bytes = Encode(width, height, rgb);
  FILE* file = _wfopen(path.c_str(), L"wb");
  if (!file) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

namespace {
uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 | p[3];
}
}  // namespace

bool ReadFile(const std::wstring& path, uint32_t& width, uint32_t& height, std::vector<uint8_t>& rgb) {
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (!file) return false;
  std::vector<uint8_t> bytes;
  uint8_t buffer[65536];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) bytes.insert(bytes.end(), buffer, buffer + n);
  std::fclose(file);
  // The chunks, each checked against its CRC; IHDR as Encode writes it.
  std::vector<uint8_t> z;
  bool header = false, end = false;
  for (size_t pos = 8; !end && pos + 12 <= bytes.size();) {
    uint32_t length = Get32(&bytes[pos]);
    if (pos + 12 + length > bytes.size()) return false;
    const uint8_t* type = &bytes[pos + 4];
    const uint8_t* data = type + 4;
    if (Crc32(type, length + 4) != Get32(data + length)) return false;
    std::string name(reinterpret_cast<const char*>(type), 4);
    if (name == "IHDR") {
      if (length != 13 || data[8] != 8 || data[9] != 2 || data[12] != 0) return false;
      width = Get32(data);
      height = Get32(data + 4);
      header = true;
    } else if (name == "IDAT") {
      z.insert(z.end(), data, data + length);
    }
    end = name == "IEND";
    pos += 12 + length;
  }
  if (!header || !end || z.size() < 6) return false;
  // Stored deflate blocks only, rows with filter type 0.
  std::vector<uint8_t> raw;
  size_t pos = 2;
  for (bool last = false; !last;) {
    if (pos + 5 > z.size() || (z[pos] & 6) != 0) return false;
    last = z[pos] & 1;
    size_t n = z[pos + 1] | z[pos + 2] << 8;
    pos += 5;
    if (pos + n > z.size()) return false;
    raw.insert(raw.end(), z.begin() + static_cast<std::ptrdiff_t>(pos), z.begin() + static_cast<std::ptrdiff_t>(pos + n));
    pos += n;
  }
  if (pos + 4 != z.size() || Get32(&z[pos]) != Adler32(raw.data(), raw.size())) return false;
  const size_t stride = static_cast<size_t>(width) * 3;
  if (raw.size() != height * (stride + 1)) return false;
  rgb.clear();
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* row = raw.data() + y * (stride + 1);
    if (row[0] != 0) return false;
    rgb.insert(rgb.end(), row + 1, row + 1 + stride);
  }
  return true;
}

}  // namespace png
