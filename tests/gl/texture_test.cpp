// Textures built from decoded images, read back from GL: the alpha each mode
// derives, the texture's state, and the built-in artwork of a resource file.
#include "image/Texture.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#include "GLTest.h"
#include "data/ResFile.h"

namespace {

// A built texture's level-0 image (uploaded first if it waits): its colours, then its alphas.
std::pair<Bytes, Bytes> Image0(Texture& texture) {
  UploadTexture(&texture);
  Bytes rgba(size_t(texture.width) * texture.height * 4);
  glBindTexture(GL_TEXTURE_2D, texture.textureId);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  std::pair<Bytes, Bytes> image;
  for (size_t i = 0; i < rgba.size(); ++i)
    (i % 4 < 3 ? image.first : image.second).push_back(rgba[i]);
  return image;
}

using TextureTest = GLTest;

// Each build, once uploaded, leaves its texture bound, clamped, linear and without mipmaps, and
// takes the pixels; the texture's name goes with it.
TEST_F(TextureTest, AlphaModesAndTextureState) {
  // Six pixels, two a row: the key colour, then one step off it in each channel, the key again,
  // another colour.
  const Bytes keyed = {50, 60, 70, 51, 60, 70, 50, 59, 70, 50, 60, 71, 50, 60, 70, 200, 10, 90},
              bright = {10, 200, 30, 0, 0, 0, 255, 1, 2, 3, 4, 250},
              // 2 x 2, 32 bits: the key colour again at the third pixel, behind another alpha.
      four = {50, 60, 70, 11, 10, 200, 30, 22, 50, 60, 70, 33, 0, 0, 0, 44},
              fourRGB = {50, 60, 70, 10, 200, 30, 50, 60, 70, 0, 0, 0}, opaque(6, 255),
              own = {11, 22, 33, 44};
  // Pixels, bits, mode; the colours and alphas built. A key: only exact copies of the first pixel
  // vanish; the brightest channel; other modes opaque, or the image's own alpha.
  for (const auto& [pixels, bits, mode, colours, alphas] :
       std::vector<std::tuple<Bytes, uint32_t, int, Bytes, Bytes>>{
           {keyed, 24, 1, keyed, {0, 255, 255, 255, 0, 255}},
           {bright, 24, 2, bright, {200, 0, 255, 250}},
           {keyed, 24, 0, keyed, opaque},
           {four, 32, 0, fourRGB, own},
           {four, 32, 1, fourRGB, {0, 255, 0, 255}},
           {four, 32, 2, fourRGB, {70, 200, 70, 0}}}) {
    auto texture = std::make_unique<Texture>();
    texture->width = 2;
    texture->height = uint32_t(pixels.size() * 8 / bits / 2);
    texture->bitsPerPixel = bits;
    texture->pixels = static_cast<unsigned char*>(std::malloc(pixels.size()));
    std::memcpy(texture->pixels, pixels.data(), pixels.size());
    ASSERT_TRUE(BuildTextureLater(texture.get(), mode));
    const GLuint name = texture->textureId;
    EXPECT_EQ(Image0(*texture), std::pair(colours, alphas)) << bits << " bits, mode " << mode;
    EXPECT_EQ(texture->pixels, nullptr);
    // The bound texture, its mag and min filters, wrap s and t (GL numbers them in that order),
    // and level 1's width.
    std::vector<GLint> state(6);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &state[0]);
    for (GLenum p = GL_TEXTURE_MAG_FILTER; p <= GL_TEXTURE_WRAP_T; ++p)
      glGetTexParameteriv(GL_TEXTURE_2D, p, &state[p - GL_TEXTURE_MAG_FILTER + 1]);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &state[5]);
    EXPECT_EQ(state,
              (std::vector<GLint>{GLint(name), GL_LINEAR, GL_LINEAR, GL_CLAMP, GL_CLAMP, 0}));
    texture.reset();
    EXPECT_FALSE(glIsTexture(name)) << "the texture's name outlives it";
  }
  Texture nothing;  // nothing decoded: nothing built
  EXPECT_FALSE(BuildTextureLater(&nothing, 0));
  EXPECT_EQ(nothing.textureId, 0u);
}

// One element per lump; only images are built, each with its lump's alpha mode, and the first bad
// image stops the loading.
TEST_F(TextureTest, ResourceFileStopsAtTheFirstBadImage) {
  const Image image{2, 1, 24, {5, 6, 7, 5, 6, 8}};
  ResourceLump bad{EncodeTGA(image, 2), 1, 0};
  bad.data[16] = 16;  // a depth the decoder refuses
  TempDir dir;
  AlertRecorder alerts;
  Texture* textures = nullptr;
  int32_t count = -1;
  const Bytes file = BuildResourceFile(
      {{{1, 2, 3}, 7, 0}, {EncodeTGA(image, 10), 1, 1}, bad, {EncodeTGA(image, 2), 1, 0}});
  EXPECT_FALSE(
      LoadTexturesFromDataFile(dir.Write("art.artifacts", file).c_str(), &textures, &count));
  ASSERT_EQ(count, 4);
  EXPECT_EQ(
      std::vector<GLuint>({textures[0].textureId, textures[2].textureId, textures[3].textureId}),
      std::vector<GLuint>(3, 0));
  EXPECT_EQ(Image0(textures[1]).second, Bytes({0, 255}));
  EXPECT_EQ(alerts.alerts.size(), 1u) << alerts.Only();
  delete[] textures;
}

}  // namespace
