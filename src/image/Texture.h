// One decoded image and the OpenGL texture made from it.
#pragma once

#include <cstdint>

struct Texture {
  unsigned char* pixels = nullptr;  // RGB or RGBA, rows in file order; C allocator
  uint32_t bitsPerPixel = 0;        // 24 or 32
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t textureId = 0;      // OpenGL texture name, 0 while there is none
  uint32_t format = 0;         // GL_RGB or GL_RGBA (informational)
  bool prepared = false;       // pixels are the RGBA to upload, alpha derived
  bool uploadPending = false;  // textureId is named, its image not yet uploaded

  Texture() = default;
  ~Texture();  // frees pixels and deletes the texture name
  Texture(const Texture&) = delete;
  Texture& operator=(const Texture&) = delete;

  // Releases the pixel buffer, if any.
  void FreePixels();
};

// Turns decoded pixels into the RGBA image a texture is made of, with the
// alpha its mode derives: 1 colour key (pixels equal to the first pixel
// vanish), 2 the brightest of red, green and blue, anything else opaque (a
// 32-bit image then keeps its own alpha). Needs no OpenGL, so it may run on
// any thread. False when there are no pixels or no memory.
bool PrepareTexture(Texture* texture, int alphaMode);

// Makes the OpenGL texture of a decoded image, with the alpha its mode
// derives (as PrepareTexture). Frees pixels and sets textureId; leaves the
// texture bound. Needs a current context.
bool BuildTexture(Texture* texture, int alphaMode);

// As BuildTexture, but only the name is made now (display lists can bind
// it); the prepared image is uploaded when UploadTexture first asks, so that
// a first frame need not wait for images it does not show.
bool BuildTextureLater(Texture* texture, int alphaMode);

// Uploads the image of a texture made with BuildTextureLater, then frees its
// pixels; any other texture is left alone. Needs its context current.
void UploadTexture(Texture* texture);
