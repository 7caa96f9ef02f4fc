// Textures built from decoded images, read back from GL: the alpha each mode
// derives, the texture's state, and the built-in artwork of a resource file.
#include "image/Texture.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <tuple>
#include <vector>

#include "GLTest.h"
#include "LumpWriter.h"
#include "TGAWriter.h"
#include "TestFiles.h"
#include "data/ResFile.h"

namespace {

// The alphas of a built texture's level-0 image (uploaded first if it waits), after checking its
// colours against rgb.
std::vector<int> Alphas(Texture& texture, const Bytes& rgb = {}) {
  UploadTexture(&texture);
  Bytes rgba(size_t(texture.width) * texture.height * 4), colours;
  glBindTexture(GL_TEXTURE_2D, texture.textureId);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  std::vector<int> alphas;
  for (size_t i = 0; i < rgba.size(); i += 4)
    colours.insert(colours.end(), &rgba[i], &rgba[i + 3]), alphas.push_back(rgba[i + 3]);
  EXPECT_TRUE(rgb.empty() || colours == rgb) << "the colours changed";
  return alphas;
}

// The bound texture, its wrap s and t, min and mag filters, level 0 width and height, and level 1
// width.
std::vector<GLint> State() {
  std::vector<GLint> got(8);
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &got[0]);
  const GLenum parameters[] = {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T, GL_TEXTURE_MIN_FILTER,
                               GL_TEXTURE_MAG_FILTER};
  for (int i = 0; i < 4; ++i) glGetTexParameteriv(GL_TEXTURE_2D, parameters[i], &got[1 + i]);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &got[5]);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &got[6]);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &got[7]);
  return got;
}

// A texture of the given width holding pixels as the decoder leaves them.
void Fill(Texture* texture, uint32_t width, uint32_t bits, const Bytes& pixels) {
  texture->width = width;
  texture->height = uint32_t(pixels.size() * 8 / bits / width);
  texture->bitsPerPixel = bits;
  texture->pixels = static_cast<unsigned char*>(
      std::memcpy(std::malloc(pixels.size()), pixels.data(), pixels.size()));
}

using TextureTest = GLTest;

// Each build leaves its texture bound, clamped, linear and without mipmaps, and
// takes the pixels; the texture's name goes with it.
TEST_F(TextureTest, EachBuildKeepsTheColoursDerivesItsModesAlphaAndOwnsAClampedLinearTexture) {
  // Six pixels, two a row: the key colour, then one step off it in each channel, the key again,
  // another colour.
  const Bytes keyed = {50, 60, 70, 51, 60, 70, 50, 59, 70, 50, 60, 71, 50, 60, 70, 200, 10, 90};
  // 2 x 2, 32 bits: the key colour again at the third pixel, behind another alpha.
  const Bytes four = {50, 60, 70, 11, 10, 200, 30, 22, 50, 60, 70, 33, 0, 0, 0, 44};
  const Bytes fourRGB = {50, 60, 70, 10, 200, 30, 50, 60, 70, 0, 0, 0};
  const std::vector<int> opaque(6, 255), own = {11, 22, 33, 44};
  const std::tuple<Bytes, uint32_t, Bytes, int, std::vector<int>> cases[] = {
      // pixels, bits, colours, mode, alphas
      {keyed,
       24,
       keyed,
       1,
       {0, 255, 255, 255, 0, 255}},  // a key: only exact copies of the first pixel vanish
      {{10, 200, 30, 0, 0, 0, 255, 1, 2, 3, 4, 250},
       24,
       {10, 200, 30, 0, 0, 0, 255, 1, 2, 3, 4, 250},
       2,
       {200, 0, 255, 250}},
      {keyed, 24, keyed, 0, opaque},
      {keyed, 24, keyed, 3, opaque},
      {keyed, 24, keyed, -1, opaque},  // other modes: opaque,
      {four, 32, fourRGB, 0, own},
      {four, 32, fourRGB, 3, own},  // or the image's own alpha
      {four, 32, fourRGB, 1, {0, 255, 0, 255}},
      {four, 32, fourRGB, 2, {70, 200, 70, 0}}};
  for (const auto& [pixels, bits, colours, mode, alphas] : cases) {
    auto texture = std::make_unique<Texture>();
    Fill(texture.get(), 2, bits, pixels);
    ASSERT_TRUE(BuildTexture(texture.get(), mode));
    const GLuint name = texture->textureId;
    EXPECT_EQ(State(), (std::vector<GLint>{GLint(name), GL_CLAMP, GL_CLAMP, GL_LINEAR, GL_LINEAR, 2,
                                           GLint(texture->height), 0}));
    EXPECT_EQ(texture->pixels, nullptr);
    EXPECT_EQ(Alphas(*texture, colours), alphas) << bits << " bits, mode " << mode;
    texture.reset();
    EXPECT_FALSE(glIsTexture(name)) << "the texture's name outlives it";
  }
  Texture nothing;  // nothing decoded: nothing built
  EXPECT_TRUE(!BuildTexture(&nothing, 0) && nothing.textureId == 0);
}

// One element per lump; only images are built, each with its lump's alpha
// mode, and the first bad image stops the loading.
TEST_F(TextureTest, ResourceFileGivesOneTexturePerLumpUpToTheFirstBadImage) {
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
  EXPECT_TRUE(textures[0].textureId == 0 && textures[2].textureId == 0 &&
              textures[3].textureId == 0);
  EXPECT_EQ(Alphas(textures[1]), std::vector<int>({0, 255}));
  EXPECT_EQ(alerts.alerts.size(), 1u) << alerts.Only();
  delete[] textures;
}

}  // namespace
