#include "TGAWriter.h"

#include <cstring>

namespace {

const size_t kHeaderSize = 18;
const uint32_t kMaxPacket = 128;

bool Encodable(const Image& image, int type) {
  if (type != 2 && type != 10) return false;
  if (image.bitsPerPixel != 24 && image.bitsPerPixel != 32) return false;
  if (image.width == 0 || image.height == 0 || image.width > 0xFFFF || image.height > 0xFFFF)
    return false;
  return image.pixels.size() == size_t(image.width) * image.height * (image.bitsPerPixel / 8);
}

void AppendHeader(std::vector<unsigned char>& out, const Image& image, int type) {
  unsigned char header[kHeaderSize] = {};  // no ID field, no colour map, zero origin
  header[2] = static_cast<unsigned char>(type);
  header[12] = static_cast<unsigned char>(image.width & 0xFF);
  header[13] = static_cast<unsigned char>(image.width >> 8);
  header[14] = static_cast<unsigned char>(image.height & 0xFF);
  header[15] = static_cast<unsigned char>(image.height >> 8);
  header[16] = static_cast<unsigned char>(image.bitsPerPixel);
  header[17] = image.bitsPerPixel == 32 ? 8 : 0;  // alpha bits; bottom-left origin
  out.insert(out.end(), header, header + kHeaderSize);
}

// One pixel in the file's blue, green, red (, alpha) order.
void AppendPixel(std::vector<unsigned char>& out, const unsigned char* rgb,
                 uint32_t bytesPerPixel) {
  out.push_back(rgb[2]);
  out.push_back(rgb[1]);
  out.push_back(rgb[0]);
  if (bytesPerPixel == 4) out.push_back(rgb[3]);
}

// Run-length encodes one row. Packets stop at the row's end, which other
// software expects even though the format would allow otherwise.
void AppendRLERow(std::vector<unsigned char>& out, const unsigned char* row, uint32_t width,
                  uint32_t bytesPerPixel) {
  auto same = [&](uint32_t a, uint32_t b) {
    return std::memcmp(row + size_t(a) * bytesPerPixel, row + size_t(b) * bytesPerPixel,
                       bytesPerPixel) == 0;
  };
  uint32_t x = 0;
  while (x < width) {
    uint32_t run = 1;
    while (x + run < width && run < kMaxPacket && same(x, x + run)) ++run;
    if (run >= 2) {
      out.push_back(static_cast<unsigned char>(0x80 | (run - 1)));
      AppendPixel(out, row + size_t(x) * bytesPerPixel, bytesPerPixel);
      x += run;
      continue;
    }
    // A raw packet takes pixels up to the start of the next run.
    uint32_t count = 1;
    while (x + count < width && count < kMaxPacket &&
           !(x + count + 1 < width && same(x + count, x + count + 1)))
      ++count;
    out.push_back(static_cast<unsigned char>(count - 1));
    for (uint32_t i = 0; i < count; ++i)
      AppendPixel(out, row + size_t(x + i) * bytesPerPixel, bytesPerPixel);
    x += count;
  }
}

}  // namespace

// An image the format cannot hold (wrong depth, empty, wider or taller than
// 65535, pixel count not matching) gives an empty result.
std::vector<unsigned char> EncodeTGA(const Image& image, int type) {
  std::vector<unsigned char> out;
  if (!Encodable(image, type)) return out;
  const uint32_t bytesPerPixel = image.bitsPerPixel / 8;
  const size_t rowBytes = size_t(image.width) * bytesPerPixel;
  out.reserve(kHeaderSize + image.pixels.size());
  AppendHeader(out, image, type);
  for (uint32_t y = 0; y < image.height; ++y) {
    const unsigned char* row = image.pixels.data() + y * rowBytes;
    if (type == 10) {
      AppendRLERow(out, row, image.width, bytesPerPixel);
    } else {
      for (uint32_t x = 0; x < image.width; ++x)
        AppendPixel(out, row + size_t(x) * bytesPerPixel, bytesPerPixel);
    }
  }
  return out;
}

std::vector<unsigned char> EncodeSmallestTGA(const Image& image) {
  std::vector<unsigned char> raw = EncodeTGA(image, 2);
  std::vector<unsigned char> rle = EncodeTGA(image, 10);
  return rle.size() < raw.size() ? rle : raw;
}

Image FlipRows(const Image& image) {
  Image flipped = image;
  if (image.height == 0) return flipped;
  const size_t rowBytes = image.pixels.size() / image.height;
  for (uint32_t y = 0; y < image.height; ++y)
    std::memcpy(flipped.pixels.data() + y * rowBytes,
                image.pixels.data() + (image.height - 1 - y) * rowBytes, rowBytes);
  return flipped;
}
