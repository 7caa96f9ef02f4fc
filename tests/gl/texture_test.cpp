// Textures built from decoded images, read back from GL: the alpha each mode
// derives, the texture's state, and the built-in artwork of a resource file.
#include <cstdlib>
#include <cstring>
#include <tuple>
#include <vector>

#include "GLTest.h"
#include "LumpWriter.h"
#include "TGAWriter.h"
#include "TestFiles.h"
#include "data/ResFile.h"
#include "image/Texture.h"

namespace {

using RGBA = std::vector<unsigned char>;

// The level-0 image of a built texture.
RGBA ReadBack(const Texture& texture) {
  RGBA rgba(size_t(texture.width) * texture.height * 4);
  glBindTexture(GL_TEXTURE_2D, texture.textureId);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  return rgba;
}

// A texture holding pixels as the decoder leaves them.
void Fill(Texture* texture, uint32_t width, uint32_t bits, const Bytes& pixels) {
  texture->width = width;
  texture->height = uint32_t(pixels.size() * 8 / bits / width);
  texture->bitsPerPixel = bits;
  texture->pixels = static_cast<unsigned char*>(std::memcpy(std::malloc(pixels.size()), pixels.data(), pixels.size()));
}

// 3 x 2: the key colour, then one step off it in each channel, the key again, another colour.
const Bytes kKeyed = {50, 60, 70, 51, 60, 70, 50, 59, 70, 50, 60, 71, 50, 60, 70, 200, 10, 90};
// 2 x 2, 32 bits: the key colour again at the third pixel, behind another alpha.
const Bytes kFour = {50, 60, 70, 11, 10, 200, 30, 22, 50, 60, 70, 33, 0, 0, 0, 44};

using TextureTest = GLTest;

TEST_F(TextureTest, EachAlphaModeKeepsTheColoursAndDerivesItsAlpha) {
  const std::vector<int> opaque(6, 255), own = {11, 22, 33, 44};
  // width, bits, pixels, alpha mode, alphas
  const std::tuple<uint32_t, uint32_t, Bytes, int, std::vector<int>> cases[] = {
      {1, 24, {9, 8, 7}, 1, {0}},  // a key: only exact copies of the first pixel vanish
      {3, 24, kKeyed, 1, {0, 255, 255, 255, 0, 255}},
      {5, 24, {10, 200, 30, 0, 0, 0, 255, 1, 2, 3, 4, 250, 50, 90, 10}, 2, {200, 0, 255, 250, 90}},  // the brightest
      {3, 24, kKeyed, 0, opaque}, {3, 24, kKeyed, 3, opaque}, {3, 24, kKeyed, -1, opaque},  // any other mode: opaque
      {2, 32, kFour, 0, own}, {2, 32, kFour, 3, own},  // or the image's own alpha
      {2, 32, kFour, 1, {0, 255, 0, 255}}, {2, 32, kFour, 2, {70, 200, 70, 0}}};
  for (const auto& [width, bits, pixels, mode, alphas] : cases) {
    Texture texture;
    Fill(&texture, width, bits, pixels);
    ASSERT_TRUE(BuildTexture(&texture, mode));
    const RGBA rgba = ReadBack(texture);
    for (size_t i = 0, step = bits / 8; i < alphas.size(); ++i) {
      EXPECT_EQ(RGBA(&rgba[4 * i], &rgba[4 * i + 3]), RGBA(&pixels[step * i], &pixels[step * i + 3])) << bits << " bits, mode " << mode << ", pixel " << i;
      EXPECT_EQ(rgba[4 * i + 3], alphas[i]) << bits << " bits, mode " << mode << ", pixel " << i;
    }
  }
}

TEST_F(TextureTest, BuiltTextureIsBoundClampedLinearWithoutMipmapsAndOwnsItsName) {
  GLuint name = 0;
  {
    Texture texture;
    Fill(&texture, 5, 24, Bytes(5 * 3 * 3, 128));
    ASSERT_TRUE(BuildTexture(&texture, 0));
    EXPECT_EQ(texture.pixels, nullptr);
    name = texture.textureId;
    GLint value = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &value);
    EXPECT_EQ(GLuint(value), name);
    for (auto [parameter, expected] : {std::pair<GLenum, GLint>{GL_TEXTURE_WRAP_S, GL_CLAMP}, {GL_TEXTURE_WRAP_T, GL_CLAMP},
                                       {GL_TEXTURE_MIN_FILTER, GL_LINEAR}, {GL_TEXTURE_MAG_FILTER, GL_LINEAR}}) {
      glGetTexParameteriv(GL_TEXTURE_2D, parameter, &value);
      EXPECT_EQ(value, expected) << parameter;
    }
    for (auto [level, parameter, expected] : {std::tuple<int, GLenum, GLint>{0, GL_TEXTURE_WIDTH, 5}, {0, GL_TEXTURE_HEIGHT, 3}, {1, GL_TEXTURE_WIDTH, 0}}) {
      glGetTexLevelParameteriv(GL_TEXTURE_2D, level, parameter, &value);
      EXPECT_EQ(value, expected) << "level " << level;
    }
    EXPECT_TRUE(glIsTexture(name));
  }
  EXPECT_FALSE(glIsTexture(name));
  Texture nothing;  // nothing decoded: nothing built
  nothing.width = nothing.height = 2;
  EXPECT_FALSE(BuildTexture(&nothing, 0));
  EXPECT_EQ(nothing.textureId, 0u);
}

// One element per lump; only images are built, each with its lump's alpha
// mode, and the first bad image stops the loading.
TEST_F(TextureTest, ResourceFileGivesOneTexturePerLumpUpToTheFirstBadImage) {
  auto image = [](uint32_t width, uint32_t bits, const Bytes& pixels, int alphaMode, int type) {
    Image picture{width, uint32_t(pixels.size() * 8 / bits / width), bits, pixels};
    return ResourceLump{EncodeTGA(picture, type), 1, alphaMode};
  };
  ResourceLump bad = image(1, 24, {1, 2, 3}, 0, 2);
  bad.data[16] = 16;  // a depth the decoder refuses
  const std::vector<ResourceLump> lumps = {ResourceLump{{1, 2, 3, 4, 5}, 7, 0}, image(3, 24, kKeyed, 1, 10),
                                           image(2, 32, {10, 200, 30, 5, 1, 2, 3, 6}, 2, 2), bad, image(1, 24, {1, 2, 3}, 0, 2)};
  const std::vector<RGBA> built = {{}, {50, 60, 70, 0, 51, 60, 70, 255, 50, 59, 70, 255, 50, 60, 71, 255, 50, 60, 70, 0, 200, 10, 90, 255},
                                   {10, 200, 30, 200, 1, 2, 3, 3}, {}, {}};
  TempDir dir;
  AlertRecorder alerts;
  Texture* textures = nullptr;
  int32_t count = -1;
  EXPECT_FALSE(LoadTexturesFromDataFile(dir.Path("missing").c_str(), &textures, &count));
  EXPECT_TRUE(textures == nullptr && count == -1) << "nothing is stored before the file opens";
  EXPECT_FALSE(LoadTexturesFromDataFile(dir.Write("art.artifacts", BuildResourceFile(lumps)).c_str(), &textures, &count));
  ASSERT_EQ(count, 5);
  for (int32_t i = 0; i < count; ++i) {
    EXPECT_EQ(textures[i].pixels, nullptr) << i;
    EXPECT_EQ(textures[i].textureId != 0 ? ReadBack(textures[i]) : RGBA{}, built[size_t(i)]) << i;
  }
  delete[] textures;
  EXPECT_EQ(alerts.alerts.size(), 1u) << alerts.Only();
}

}  // namespace
