// One decoded image and the OpenGL texture made from it.
#pragma once

#include <cstdint>

struct Texture {
  unsigned char* pixels = nullptr;  // RGB or RGBA, rows in file order; C allocator
  uint32_t bitsPerPixel = 0;        // 24 or 32
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t textureId = 0;           // OpenGL texture name, 0 while there is none
  uint32_t format = 0;              // GL_RGB or GL_RGBA (informational)

  Texture() = default;
  ~Texture();  // frees pixels and deletes the texture name
  Texture(const Texture&) = delete;
  Texture& operator=(const Texture&) = delete;

  // Releases the pixel buffer, if any.
  void FreePixels();
};

// Makes the OpenGL texture of a decoded image, with the alpha its mode
// derives: 1 colour key (pixels equal to the first pixel vanish), 2 the
// brightest of red, green and blue, anything else opaque (a 32-bit image
// then keeps its own alpha). Frees pixels and sets textureId; leaves the
// texture bound. Needs a current context.
bool BuildTexture(Texture* texture, int alphaMode);

// Builds every image lump of a resource file into a new array of textures,
// one element per lump (non-image lumps stay empty). The array and its count
// are stored for the caller as soon as the file has opened, and the caller
// owns them (delete[]) whether or not the rest succeeds.
bool LoadTexturesFromDataFile(const char* path, Texture** textures, int32_t* count);
