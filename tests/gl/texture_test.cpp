// Textures built from decoded images, read back from GL: the alpha each mode
// derives, 32-bit images, the texture's state, and the built-in artwork
// loaded from a resource file.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "GLTest.h"
#include "LumpWriter.h"
#include "TGAWriter.h"
#include "TestFiles.h"
#include "data/ResFile.h"
#include "image/Texture.h"

namespace {

using RGBA = std::vector<unsigned char>;

class TextureTest : public GLTest {
protected:
  // A texture holding width x height pixels as the decoder leaves them.
  static void Fill(Texture* texture, uint32_t width, uint32_t height, uint32_t bits,
                   const Bytes& pixels) {
    texture->width = width;
    texture->height = height;
    texture->bitsPerPixel = bits;
    texture->pixels = static_cast<unsigned char*>(std::malloc(pixels.size()));
    std::memcpy(texture->pixels, pixels.data(), pixels.size());
  }

  // The level-0 image of the bound texture.
  static RGBA ReadBack(uint32_t width, uint32_t height) {
    RGBA rgba(size_t(width) * height * 4);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    return rgba;
  }

  // Builds an RGB or RGBA image with the given mode and returns what GL holds.
  static RGBA Build(uint32_t width, uint32_t height, uint32_t bits, const Bytes& pixels, int mode) {
    Texture texture;
    Fill(&texture, width, height, bits, pixels);
    if (!BuildTexture(&texture, mode)) {
      ADD_FAILURE() << "BuildTexture failed";
      return {};
    }
    return ReadBack(width, height);
  }

  static std::vector<int> Alphas(const RGBA& rgba) {
    std::vector<int> alphas;
    for (size_t i = 3; i < rgba.size(); i += 4) alphas.push_back(rgba[i]);
    return alphas;
  }

  static Bytes Colours(const RGBA& rgba) {
    Bytes rgb;
    for (size_t i = 0; i < rgba.size(); i += 4) rgb.insert(rgb.end(), &rgba[i], &rgba[i] + 3);
    return rgb;
  }
};

// 3 x 2: the key colour, then pixels one step off it in each channel, then
// the key again, and one unrelated colour.
const Bytes kKeyed = {50, 60, 70,  51, 60, 70, 50, 59, 70,
                      50, 60, 71,  50, 60, 70, 200, 10, 90};

TEST_F(TextureTest, ColourKeyHidesOnlyExactCopiesOfTheFirstPixel) {
  const RGBA one = Build(1, 1, 24, {9, 8, 7}, 1);
  EXPECT_EQ(one, (RGBA{9, 8, 7, 0}));

  const RGBA keyed = Build(3, 2, 24, kKeyed, 1);
  EXPECT_EQ(Alphas(keyed), (std::vector<int>{0, 255, 255, 255, 0, 255}));
  EXPECT_EQ(Colours(keyed), kKeyed);
}

TEST_F(TextureTest, BrightnessModeTakesTheBrightestChannel) {
  const Bytes pixels = {10, 200, 30, 0, 0, 0, 255, 1, 2, 3, 4, 250, 50, 90, 10};
  const RGBA rgba = Build(5, 1, 24, pixels, 2);
  EXPECT_EQ(Alphas(rgba), (std::vector<int>{200, 0, 255, 250, 90}));
  EXPECT_EQ(Colours(rgba), pixels);
}

TEST_F(TextureTest, OtherModesAreOpaque) {
  for (int mode : {0, 3, -1}) {
    const RGBA rgba = Build(3, 2, 24, kKeyed, mode);
    EXPECT_EQ(Alphas(rgba), std::vector<int>(6, 255)) << mode;
    EXPECT_EQ(Colours(rgba), kKeyed) << mode;
  }
}

TEST_F(TextureTest, ThirtyTwoBitImagesReadFourBytesAPixel) {
  // The key colour again at the third pixel, behind a different alpha.
  const Bytes pixels = {50, 60, 70, 11,  10, 200, 30, 22,  50, 60, 70, 33,  0, 0, 0, 44};
  const Bytes colours = {50, 60, 70, 10, 200, 30, 50, 60, 70, 0, 0, 0};

  const RGBA own = Build(2, 2, 32, pixels, 0);
  EXPECT_EQ(Alphas(own), (std::vector<int>{11, 22, 33, 44}));
  EXPECT_EQ(Colours(own), colours);

  const RGBA keyed = Build(2, 2, 32, pixels, 1);
  EXPECT_EQ(Alphas(keyed), (std::vector<int>{0, 255, 0, 255}));
  EXPECT_EQ(Colours(keyed), colours);

  const RGBA bright = Build(2, 2, 32, pixels, 2);
  EXPECT_EQ(Alphas(bright), (std::vector<int>{70, 200, 70, 0}));
  EXPECT_EQ(Colours(bright), colours);
}

TEST_F(TextureTest, BuiltTextureIsBoundClampedAndLinearAndOwnsItsName) {
  GLuint name = 0;
  {
    Texture texture;
    Fill(&texture, 5, 3, 24, Bytes(5 * 3 * 3, 128));
    ASSERT_TRUE(BuildTexture(&texture, 0));
    EXPECT_EQ(texture.pixels, nullptr);
    ASSERT_NE(texture.textureId, 0u);
    name = texture.textureId;

    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(GLuint(bound), name);
    GLint value = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &value);
    EXPECT_EQ(value, GL_CLAMP);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &value);
    EXPECT_EQ(value, GL_CLAMP);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &value);
    EXPECT_EQ(value, GL_LINEAR);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &value);
    EXPECT_EQ(value, GL_LINEAR);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &value);
    EXPECT_EQ(value, 5);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &value);
    EXPECT_EQ(value, 3);
    // No mipmaps: level 1 was never given an image.
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &value);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(glIsTexture(name), GLboolean(GL_TRUE));
  }
  EXPECT_EQ(glIsTexture(name), GLboolean(GL_FALSE));
}

TEST_F(TextureTest, NothingDecodedBuildsNothing) {
  Texture texture;
  texture.width = 2;
  texture.height = 2;
  texture.bitsPerPixel = 24;
  EXPECT_FALSE(BuildTexture(&texture, 0));
  EXPECT_EQ(texture.textureId, 0u);
}

// --- the built-in artwork ----------------------------------------------------

class ResourceTexturesTest : public TextureTest {
protected:
  void TearDown() override {
    delete[] textures;  // with the context still current
    textures = nullptr;
    TextureTest::TearDown();
  }

  bool Load(const Bytes& file) {
    return LoadTexturesFromDataFile(dir.Write("art.artifacts", file).c_str(), &textures, &count);
  }

  static ResourceLump ImageLump(const Image& image, int alphaMode, int type = 2) {
    ResourceLump lump;
    lump.data = EncodeTGA(image, type);
    lump.alphaMode = alphaMode;
    return lump;
  }

  static ResourceLump OtherLump(uint32_t type) {
    ResourceLump lump;
    lump.type = type;
    lump.data = {1, 2, 3, 4, 5};
    return lump;
  }

  static Image MakeImage(uint32_t width, uint32_t height, uint32_t bits, const Bytes& pixels) {
    Image image;
    image.width = width;
    image.height = height;
    image.bitsPerPixel = bits;
    image.pixels = pixels;
    return image;
  }

  static RGBA ReadTexture(const Texture& texture) {
    glBindTexture(GL_TEXTURE_2D, texture.textureId);
    return ReadBack(texture.width, texture.height);
  }

  TempDir dir;
  Texture* textures = nullptr;
  int32_t count = -7;
};

TEST_F(ResourceTexturesTest, OneElementPerLumpWithOnlyImagesBuilt) {
  const Image keyed = MakeImage(3, 2, 24, kKeyed);
  const Image rgba = MakeImage(2, 1, 32, {10, 200, 30, 5, 1, 2, 3, 6});
  const Bytes file = BuildResourceFile({OtherLump(0), ImageLump(keyed, 1, 10), OtherLump(7),
                                        ImageLump(rgba, 0), ImageLump(rgba, 2)});
  ASSERT_TRUE(Load(file));
  ASSERT_EQ(count, 5);

  for (int i : {0, 2}) {
    EXPECT_EQ(textures[i].textureId, 0u) << i;
    EXPECT_EQ(textures[i].pixels, nullptr) << i;
  }
  for (int i : {1, 3, 4}) {
    EXPECT_NE(textures[i].textureId, 0u) << i;
    EXPECT_EQ(textures[i].pixels, nullptr) << i;
  }
  const RGBA one = ReadTexture(textures[1]);
  EXPECT_EQ(Colours(one), kKeyed);
  EXPECT_EQ(Alphas(one), (std::vector<int>{0, 255, 255, 255, 0, 255}));
  EXPECT_EQ(ReadTexture(textures[3]), (RGBA{10, 200, 30, 5, 1, 2, 3, 6}));
  EXPECT_EQ(ReadTexture(textures[4]), (RGBA{10, 200, 30, 200, 1, 2, 3, 3}));
}

TEST_F(ResourceTexturesTest, NoLumpsGiveAnEmptyArray) {
  ASSERT_TRUE(Load(BuildResourceFile({})));
  EXPECT_EQ(count, 0);
  EXPECT_NE(textures, nullptr);
}

TEST_F(ResourceTexturesTest, CorruptSecondImageStopsAfterTheFirst) {
  const Image image = MakeImage(1, 1, 24, {1, 2, 3});
  ResourceLump corrupt = ImageLump(image, 0);
  corrupt.data[16] = 16;  // a depth the decoder refuses
  AlertRecorder alerts;
  EXPECT_FALSE(Load(BuildResourceFile({ImageLump(image, 0), corrupt, ImageLump(image, 0)})));
  EXPECT_EQ(alerts.alerts.size(), 1u) << alerts.Only();

  ASSERT_EQ(count, 3);
  EXPECT_NE(textures[0].textureId, 0u);
  EXPECT_EQ(textures[0].pixels, nullptr);
  EXPECT_EQ(ReadTexture(textures[0]), (RGBA{1, 2, 3, 255}));
  for (int i : {1, 2}) {
    EXPECT_EQ(textures[i].textureId, 0u) << i;
    EXPECT_EQ(textures[i].pixels, nullptr) << i;
  }
}

TEST_F(ResourceTexturesTest, UnreadableFileStoresNothing) {
  EXPECT_FALSE(LoadTexturesFromDataFile(dir.Path("missing.artifacts").c_str(), &textures, &count));
  Bytes notResource = BuildResourceFile({});
  notResource[0] = 'X';
  EXPECT_FALSE(Load(notResource));
  EXPECT_EQ(count, -7);
  EXPECT_EQ(textures, nullptr);
}

}  // namespace
