#include "image/Texture.h"

#include <GL/gl.h>

#include <cstdlib>

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
