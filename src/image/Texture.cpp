#include "image/Texture.h"

#include <GL/gl.h>

#include <cstdlib>
#include <memory>
#include <new>

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
}

namespace {

// Fills rgba (four bytes per pixel) from the decoded pixels, with the alpha
// that alphaMode derives. The colour key is the first pixel's colour.
void ConvertPixels(const Texture& texture, int alphaMode, unsigned char* rgba) {
  const unsigned char* in = texture.pixels;
  const unsigned char keyR = in[0], keyG = in[1], keyB = in[2];
  const size_t step = texture.bitsPerPixel == 32 ? 4 : 3;
  const size_t count = size_t(texture.width) * texture.height;
  for (size_t i = 0; i < count; ++i, in += step, rgba += 4) {
    const unsigned char r = in[0], g = in[1], b = in[2];
    rgba[0] = r;
    rgba[1] = g;
    rgba[2] = b;
    if (alphaMode == 1) {
      rgba[3] = (r == keyR && g == keyG && b == keyB) ? 0 : 255;
    } else if (alphaMode == 2) {
      const unsigned char brightest = r > g ? r : g;
      rgba[3] = brightest > b ? brightest : b;
    } else {
      rgba[3] = step == 4 ? in[3] : 255;
    }
  }
}

}  // namespace

bool BuildTexture(Texture* texture, int alphaMode) {
  // Nothing decoded, nothing to build (the first pixel is read as the key).
  if (texture->pixels == nullptr) return false;

  GLuint name = 0;
  glGenTextures(1, &name);
  texture->textureId = name;
  glBindTexture(GL_TEXTURE_2D, name);

  const size_t count = size_t(texture->width) * texture->height;
  std::unique_ptr<unsigned char[]> rgba(new (std::nothrow) unsigned char[count * 4]);
  if (!rgba) return false;  // the name stays, released with the texture
  ConvertPixels(*texture, alphaMode, rgba.get());

  glTexImage2D(GL_TEXTURE_2D, 0, 4, GLsizei(texture->width), GLsizei(texture->height), 0, GL_RGBA,
               GL_UNSIGNED_BYTE, rgba.get());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);

  texture->FreePixels();
  return true;
}
