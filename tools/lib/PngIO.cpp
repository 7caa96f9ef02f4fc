#include "PngIO.h"

#include <png.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "LumpWriter.h"
#include "platform/RegularFile.h"

namespace {

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// Frees libpng's working state however the function is left.
struct PngImage {
  png_image image;
  PngImage() {
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
  }
  ~PngImage() { png_image_free(&image); }
  PngImage(const PngImage&) = delete;
  PngImage& operator=(const PngImage&) = delete;
};

bool Fail(std::string* error, const std::string& path, const std::string& what) {
  if (error != nullptr) *error = path + ": " + what;
  return false;
}

// Tells a file that is no PNG at all from one that is damaged.
bool HasPngSignature(FILE* file) {
  png_byte signature[8];
  const bool ok = std::fread(signature, 1, sizeof signature, file) == sizeof signature &&
                  png_sig_cmp(signature, 0, sizeof signature) == 0;
  std::rewind(file);
  return ok;
}

}  // namespace

bool ReadPNG(const std::string& path, Image* image, std::string* error, uint32_t maxSide) {
  std::string why;
  FilePtr file(OpenRegularCFile(path.c_str(), &why));
  if (!file) return Fail(error, path, why);
  if (!HasPngSignature(file.get())) return Fail(error, path, "not a PNG file");

  PngImage png;
  if (!png_image_begin_read_from_stdio(&png.image, file.get()))
    return Fail(error, path, std::string("bad PNG: ") + png.image.message);
  // 8-bit sRGB output: colours are not premultiplied by alpha.
  const bool alpha = (png.image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
  png.image.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;

  if (maxSide > 0 && (png.image.width > maxSide || png.image.height > maxSide))
    return Fail(error, path,
                "image " + std::to_string(png.image.width) + "x" +
                    std::to_string(png.image.height) + ", at most " + std::to_string(maxSide) +
                    " texels a side");

  Image result;
  result.width = png.image.width;
  result.height = png.image.height;
  result.bitsPerPixel = alpha ? 32 : 24;
  const size_t size = size_t(result.width) * result.height * (alpha ? 4 : 3);
  try {
    result.pixels.resize(size);
  } catch (const std::bad_alloc&) {
    return Fail(error, path,
                "too large to load (" + std::to_string(result.width) + "x" +
                    std::to_string(result.height) + ")");
  }
  if (!png_image_finish_read(&png.image, nullptr, result.pixels.data(), 0, nullptr))
    return Fail(error, path, std::string("bad PNG: ") + png.image.message);
  *image = std::move(result);
  return true;
}

bool WritePNG(const std::string& path, const Image& image, std::string* error) {
  const unsigned channels = image.bitsPerPixel / 8;
  if ((image.bitsPerPixel != 24 && image.bitsPerPixel != 32) || image.width == 0 ||
      image.height == 0 || image.pixels.size() != size_t(image.width) * image.height * channels)
    return Fail(error, path, "invalid image: needs 24 or 32 bits and width x height pixels");

  PngImage png;
  png.image.width = image.width;
  png.image.height = image.height;
  png.image.format = channels == 4 ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  // Encode to memory first, then write the file in one atomic step.
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&png.image, nullptr, &size, 0, image.pixels.data(), 0, nullptr))
    return Fail(error, path, std::string("cannot encode PNG: ") + png.image.message);
  std::vector<unsigned char> bytes(size);
  if (!png_image_write_to_memory(&png.image, bytes.data(), &size, 0, image.pixels.data(), 0,
                                 nullptr))
    return Fail(error, path, std::string("cannot encode PNG: ") + png.image.message);
  bytes.resize(size);
  return WriteFileAtomically(path, bytes, error);
}
