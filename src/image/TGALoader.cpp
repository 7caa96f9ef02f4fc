#include "image/TGALoader.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "image/PixelOrder.h"
#include "platform/Alert.h"
#include "platform/RegularFile.h"

namespace {

// The two accepted 12-byte prefixes: no identification field, no colour map,
// true colour (2) or run-length true colour (10), zero origin.
const unsigned char uTGAcompare[12] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
const unsigned char cTGAcompare[12] = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0};

// The decoder's working state: one image is decoded at a time on each thread
// (images are decoded ahead of need on worker threads too).
struct TGAHeader {
  unsigned char header[12];
};

struct TGA {
  unsigned char header[6];  // width, height, depth, descriptor
  uint32_t bytesPerPixel;
  uint64_t imageSize;  // width * height * bytesPerPixel
  uint32_t Height;
  uint32_t Width;
  uint32_t Bpp;
};

thread_local TGAHeader tgaheader;
thread_local TGA tga;

// Reads an image through a buffer of its own, so that a run-length packet
// costs a few instructions rather than a stream call per pixel. On success a
// stream is put back right after the image's last byte, as if it had been read
// byte by byte.
class ImageReader {
public:
  explicit ImageReader(std::ifstream* s) : stream(s) {}
  explicit ImageReader(FILE* f) : file(f) {}

  // Consumes n buffered bytes (n at most a packet) and returns them, or
  // nullptr when the data ends first.
  const unsigned char* Take(size_t n) {
    if (length - position < n && !Refill(n)) return nullptr;
    const unsigned char* bytes = buffer.get() + position;
    position += n;
    return bytes;
  }

  // Bytes available without another read from the source.
  size_t Buffered() const { return length - position; }

  // Copies exactly n bytes to destination, or returns false.
  bool Read(unsigned char* destination, size_t n) {
    const size_t have = std::min(n, Buffered());
    if (have > 0) std::memcpy(destination, buffer.get() + position, have);
    position += have;
    destination += have;
    n -= have;
    if (n == 0) return true;
    if (n >= kCapacity) return Source(destination, n) == n;  // straight to the destination
    const unsigned char* rest = Take(n);
    if (rest == nullptr) return false;
    std::memcpy(destination, rest, n);
    return true;
  }

  // How many bytes are left to read, or UINT64_MAX when the source cannot tell.
  uint64_t Remaining() {
    const uint64_t unknown = UINT64_MAX;
    uint64_t left = 0;
    if (stream != nullptr) {
      const std::streamoff here = stream->tellg();
      if (here < 0) return unknown;
      stream->seekg(0, std::ios::end);
      const std::streamoff end = stream->tellg();
      stream->seekg(here, std::ios::beg);
      if (end < here || !*stream) return unknown;
      left = uint64_t(end - here);
    } else {
      const long here = std::ftell(file);
      if (here < 0 || std::fseek(file, 0, SEEK_END) != 0) return unknown;
      const long end = std::ftell(file);
      if (std::fseek(file, here, SEEK_SET) != 0 || end < here) return unknown;
      left = uint64_t(end - here);
    }
    return left + Buffered();
  }

  // Gives a stream back the bytes read ahead of the image's end. After a
  // failed read the stream is left failed.
  void Finish(bool readFailed) {
    if (stream == nullptr || readFailed) return;
    if (Buffered() == 0 && stream->good()) return;
    stream->clear();
    stream->seekg(-std::streamoff(Buffered()), std::ios::cur);
    position = length;
  }

private:
  static constexpr size_t kCapacity = 64 * 1024;

  size_t Source(unsigned char* destination, size_t n) {
    if (stream != nullptr) {
      stream->read(reinterpret_cast<char*>(destination), std::streamsize(n));
      return size_t(stream->gcount());
    }
    return std::fread(destination, 1, n, file);
  }

  bool Refill(size_t need) {
    if (!buffer) buffer.reset(new unsigned char[kCapacity]);
    std::memmove(buffer.get(), buffer.get() + position, Buffered());
    length -= position;
    position = 0;
    while (length < need) {
      const size_t got = Source(buffer.get() + length, kCapacity - length);
      if (got == 0) return false;
      length += got;
    }
    return true;
  }

  std::ifstream* stream = nullptr;
  FILE* file = nullptr;
  std::unique_ptr<unsigned char[]> buffer;
  size_t position = 0;
  size_t length = 0;
};

bool Fail(Texture* texture, const char* text, const char* caption = "ERROR") {
  MessageBox(nullptr, text, caption, 0);
  texture->FreePixels();
  return false;
}

// Reads and checks the image specification after the prefix and allocates
// the pixel buffer. maxBytesFromData bounds what the rest of the data could
// produce, so that a crafted header cannot make us allocate gigabytes for a
// few bytes of data; the buffer is never smaller than the data can fill.
bool ReadSpecification(Texture* texture, ImageReader& in, uint64_t maxBytesFromData) {
  if (!in.Read(tga.header, sizeof tga.header)) return Fail(texture, "Could not read info header");
  texture->width = tga.header[0] + 256u * tga.header[1];
  texture->height = tga.header[2] + 256u * tga.header[3];
  texture->bitsPerPixel = tga.header[4];
  tga.Width = texture->width;
  tga.Height = texture->height;
  tga.Bpp = texture->bitsPerPixel;
  if (texture->width == 0 || texture->height == 0 || (tga.Bpp != 24 && tga.Bpp != 32))
    return Fail(texture, "Invalid texture information");
  tga.bytesPerPixel = tga.Bpp / 8;
  tga.imageSize = uint64_t(tga.Width) * tga.Height * tga.bytesPerPixel;

  const uint64_t bytes = std::min(tga.imageSize, std::max<uint64_t>(maxBytesFromData, 1));
  texture->pixels = static_cast<unsigned char*>(std::malloc(size_t(bytes)));
  if (texture->pixels == nullptr) return Fail(texture, "Could not allocate memory for image");
  return true;
}

bool DecodeUncompressed(Texture* texture, ImageReader& in, bool& readFailed) {
  // Pixel data the source cannot hold is a short read whatever we allocate,
  // so find that out before allocating.
  const uint64_t remaining = in.Remaining();
  const uint64_t available =
      remaining == UINT64_MAX ? UINT64_MAX : remaining - std::min<uint64_t>(remaining, 6);
  if (!ReadSpecification(texture, in, available)) return false;
  if (tga.imageSize > available || !in.Read(texture->pixels, size_t(tga.imageSize))) {
    readFailed = true;
    return Fail(texture, "Could not read image data");
  }
  CopyPixels(texture->pixels, texture->pixels, size_t(tga.Width) * tga.Height, tga.bytesPerPixel);
  texture->format = tga.Bpp == 24 ? GL_RGB : GL_RGBA;
  return true;
}

bool DecodeCompressed(Texture* texture, ImageReader& in, bool& readFailed) {
  // Each packet of at least 1 + bpp bytes yields at most 128 pixels.
  const uint64_t remaining = in.Remaining();
  uint64_t bound = UINT64_MAX;
  if (remaining != UINT64_MAX)
    bound = remaining / 4 * 128 * 4;  // >= remaining / (1 + bpp) * 128 * bpp
  if (!ReadSpecification(texture, in, bound)) return false;

  const uint32_t bpp = tga.bytesPerPixel;
  const uint64_t pixelCount = uint64_t(tga.Width) * tga.Height;
  const uint64_t capacity = std::min(tga.imageSize, std::max<uint64_t>(bound, 1)) / bpp;
  uint64_t produced = 0;
  unsigned char* out = texture->pixels;

  while (produced < pixelCount) {
    const unsigned char* header = in.Take(1);
    if (header == nullptr) {
      readFailed = true;
      return Fail(texture, "Could not read RLE header");
    }
    const uint32_t count = *header < 128 ? *header + 1u : *header - 127u;
    if (*header < 128) {
      // Raw packet: the common case of a whole packet in the buffer that
      // fits in the image is copied in one go.
      if (produced + count <= std::min(pixelCount, capacity) &&
          in.Buffered() >= size_t(count) * bpp) {
        CopyPixels(out, in.Take(size_t(count) * bpp), count, bpp);
        out += size_t(count) * bpp;
        produced += count;
        continue;
      }
      for (uint32_t i = 0; i < count; ++i) {
        const unsigned char* pixel = in.Take(bpp);
        if (pixel == nullptr) {
          readFailed = true;
          return Fail(texture, "Could not read image data");
        }
        if (produced >= pixelCount) return Fail(texture, "Too many pixels read");
        if (produced >= capacity) return Fail(texture, "Could not read image data");
        CopyPixels(out, pixel, 1, bpp);
        out += bpp;
        ++produced;
      }
    } else {
      const unsigned char* pixel = in.Take(bpp);
      if (pixel == nullptr) {
        readFailed = true;
        return Fail(texture, "Could not read from file");
      }
      if (produced + count > pixelCount) return Fail(texture, "Too many pixels read");
      if (produced + count > capacity) return Fail(texture, "Could not read image data");
      FillPixels(out, pixel, count, bpp);
      out += size_t(count) * bpp;
      produced += count;
    }
  }
  return true;
}

using Decoder = bool (*)(Texture*, ImageReader&, bool&);

bool DecodeFromStream(Texture* texture, std::ifstream* stream, Decoder decode) {
  ImageReader in(stream);
  bool readFailed = false;
  const bool ok = decode(texture, in, readFailed);
  in.Finish(readFailed);
  return ok;
}

bool DecodeFromFile(Texture* texture, FILE* file, Decoder decode) {
  bool readFailed = false;
  bool ok;
  {
    ImageReader in(file);
    ok = decode(texture, in, readFailed);
  }
  std::fclose(file);
  return ok;
}

}  // namespace

bool LoadUncompressedTGA2(Texture* texture, std::ifstream* stream) {
  return DecodeFromStream(texture, stream, DecodeUncompressed);
}

bool LoadCompressedTGA2(Texture* texture, std::ifstream* stream) {
  return DecodeFromStream(texture, stream, DecodeCompressed);
}

bool LoadUncompressedTGA(Texture* texture, const char* /*path*/, FILE* file) {
  return DecodeFromFile(texture, file, DecodeUncompressed);
}

bool LoadCompressedTGA(Texture* texture, const char* /*path*/, FILE* file) {
  return DecodeFromFile(texture, file, DecodeCompressed);
}

bool PeekTGAHeader(const unsigned char header[18], TGASize* size) {
  if (std::memcmp(header, uTGAcompare, sizeof uTGAcompare) != 0 &&
      std::memcmp(header, cTGAcompare, sizeof cTGAcompare) != 0)
    return false;
  size->width = header[12] + 256u * header[13];
  size->height = header[14] + 256u * header[15];
  size->bitsPerPixel = header[16];
  return size->width > 0 && size->height > 0 &&
         (size->bitsPerPixel == 24 || size->bitsPerPixel == 32);
}

bool LoadTGA2(Texture* texture, std::ifstream* stream) {
  if (stream == nullptr || !stream->is_open()) return Fail(texture, "Could not open texture file");
  // The prefix is read unbuffered: the decoders read from here on.
  stream->read(reinterpret_cast<char*>(tgaheader.header), sizeof tgaheader.header);
  if (!*stream) return Fail(texture, "Could not read file header");
  if (std::memcmp(tgaheader.header, uTGAcompare, sizeof uTGAcompare) == 0)
    return LoadUncompressedTGA2(texture, stream);
  if (std::memcmp(tgaheader.header, cTGAcompare, sizeof cTGAcompare) == 0)
    return LoadCompressedTGA2(texture, stream);
  return Fail(texture, "TGA file be type 2 or type 10 ", "Invalid Image");
}

bool LoadTGA(Texture* texture, const char* path) {
  FILE* file = path != nullptr ? OpenRegularCFile(path, nullptr) : nullptr;
  if (file == nullptr) return Fail(texture, "Could not open texture file");
  if (std::fread(tgaheader.header, 1, sizeof tgaheader.header, file) != sizeof tgaheader.header) {
    std::fclose(file);
    return Fail(texture, "Could not read file header");
  }
  if (std::memcmp(tgaheader.header, uTGAcompare, sizeof uTGAcompare) == 0)
    return LoadUncompressedTGA(texture, path, file);
  if (std::memcmp(tgaheader.header, cTGAcompare, sizeof cTGAcompare) == 0)
    return LoadCompressedTGA(texture, path, file);
  std::fclose(file);
  return Fail(texture, "TGA file be type 2 or type 10 ", "Invalid Image");
}
