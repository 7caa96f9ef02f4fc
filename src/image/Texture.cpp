#include "image/Texture.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdlib>

#include "image/TGALoader.h"

Texture::~Texture() {
  FreePixels();
  // Only a texture that was built has a name, and then its context is current.
  if (textureId != 0) {
    GLuint name = textureId;
    glDeleteTextures(1, &name);
    textureId = 0;
  }
}

void Texture::FreePixels() {
  std::free(pixels);
  pixels = nullptr;
  prepared = false;
}

namespace {

// The alpha that alphaMode derives for a pixel, given its own (255 when it
// has none) and the colour key, the first pixel's colour.
unsigned char DerivedAlpha(int alphaMode, const unsigned char* rgb, unsigned char own,
                           const unsigned char* key) {
  if (alphaMode == 1) return rgb[0] == key[0] && rgb[1] == key[1] && rgb[2] == key[2] ? 0 : 255;
  if (alphaMode == 2) return std::max(std::max(rgb[0], rgb[1]), rgb[2]);
  return own;
}

// Turns the decoded pixels into four bytes each, in place: a buffer of
// three-byte pixels grows and is filled from its end, so that no pixel is
// overwritten before it has been read.
bool ConvertPixels(Texture* texture, int alphaMode) {
  const size_t count = size_t(texture->width) * texture->height;
  const size_t step = texture->bitsPerPixel == 32 ? 4 : 3;
  if (step == 3) {
    auto* grown = static_cast<unsigned char*>(std::realloc(texture->pixels, count * 4));
    if (grown == nullptr) return false;
    texture->pixels = grown;
  }
  unsigned char* p = texture->pixels;
  const unsigned char key[3] = {p[0], p[1], p[2]};
  for (size_t i = count; i-- > 0;) {
    const unsigned char* in = p + i * step;
    unsigned char* out = p + i * 4;
    const unsigned char rgb[3] = {in[0], in[1], in[2]};
    const unsigned char own = step == 4 ? in[3] : 255;
    out[0] = rgb[0];
    out[1] = rgb[1];
    out[2] = rgb[2];
    out[3] = DerivedAlpha(alphaMode, rgb, own, key);
  }
  texture->bitsPerPixel = 32;
  return true;
}

// Makes the texture object, still without an image: display lists may bind
// it from now on. It is left bound.
void NameTexture(Texture* texture) {
  GLuint name = 0;
  glGenTextures(1, &name);
  texture->textureId = name;
  glBindTexture(GL_TEXTURE_2D, name);
}

}  // namespace

bool PrepareTexture(Texture* texture, int alphaMode) {
  // Nothing decoded, nothing to build (the first pixel is read as the key).
  if (texture->pixels == nullptr) return false;
  if (texture->prepared) return true;
  // A 32-bit image that keeps its own alpha is already what is uploaded.
  const bool keeps = texture->bitsPerPixel == 32 && alphaMode != 1 && alphaMode != 2;
  if (!keeps && !ConvertPixels(texture, alphaMode)) return false;
  texture->format = GL_RGBA;
  texture->prepared = true;
  return true;
}

bool BuildTexture(Texture* texture, int alphaMode) {
  if (!BuildTextureLater(texture, alphaMode)) return false;
  UploadTexture(texture);
  return true;
}

bool BuildTextureLater(Texture* texture, int alphaMode) {
  if (!PrepareTexture(texture, alphaMode)) return false;
  NameTexture(texture);
  texture->uploadPending = true;
  return true;
}

void UploadTexture(Texture* texture) {
  if (!texture->uploadPending) return;
  glBindTexture(GL_TEXTURE_2D, texture->textureId);
  glTexImage2D(GL_TEXTURE_2D, 0, 4, GLsizei(texture->width), GLsizei(texture->height), 0, GL_RGBA,
               GL_UNSIGNED_BYTE, texture->pixels);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  texture->FreePixels();
  texture->uploadPending = false;
}
