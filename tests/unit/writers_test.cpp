// The tools' writers checked against the saver's own readers: TGA images the
// decoder gives back pixel for pixel, lump files the readers open with every
// field intact, atomic file replacement, and PNG input and output.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "LumpWriter.h"
#include "PngIO.h"
#include "TGAWriter.h"
#include "TestFiles.h"
#include "data/MoneyFile.h"
#include "data/ResFile.h"
#include "image/TGALoader.h"
#include "image/Texture.h"

namespace {

// width x height pixels of varied content: long runs, pairs, noise, and
// pixels that differ only in alpha, so both packet kinds and the 128-pixel
// limit all occur.
Image MakeImage(uint32_t width, uint32_t height, uint32_t bits) {
  Image image;
  image.width = width;
  image.height = height;
  image.bitsPerPixel = bits;
  const uint32_t bpp = bits / 8;
  image.pixels.resize(size_t(width) * height * bpp);
  uint32_t seed = 12345;
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      seed = seed * 1103515245u + 12345u;
      unsigned char* p = &image.pixels[(size_t(y) * width + x) * bpp];
      // noise, a run, pairs, noise: a raw packet ends each row and starts the next
      const uint32_t v = x < 3 || x >= 200 ? seed >> 8 : x < 150 ? y * 7 : x / 2;
      p[0] = uint8_t(v);
      p[1] = uint8_t(v >> 8);
      p[2] = uint8_t(v >> 16);
      if (bpp == 4) p[3] = uint8_t(x < 150 ? 255 : x % 3 == 0 ? 0 : 128);
    }
  }
  return image;
}

Image MakeRGB(uint32_t width, uint32_t height, const std::vector<uint32_t>& rgb) {
  Image image;
  image.width = width;
  image.height = height;
  for (uint32_t c : rgb) {
    image.pixels.push_back(uint8_t(c >> 16));
    image.pixels.push_back(uint8_t(c >> 8));
    image.pixels.push_back(uint8_t(c));
  }
  return image;
}

Bytes Header(uint8_t type, uint16_t width, uint16_t height, uint8_t depth, uint8_t descriptor) {
  return MakeTGA(type, width, height, depth, {}, descriptor);
}

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

struct Packet {
  bool run;
  uint32_t count;
  uint32_t firstPixel;  // index in the image
};

// Splits type-10 pixel data into packets.
std::vector<Packet> Packets(const Bytes& tga, uint32_t bpp) {
  std::vector<Packet> packets;
  uint32_t pixel = 0;
  for (size_t at = 18; at < tga.size();) {
    const uint8_t header = tga[at++];
    Packet packet{header >= 128, header >= 128 ? header - 127u : header + 1u, pixel};
    at += packet.run ? bpp : size_t(packet.count) * bpp;
    pixel += packet.count;
    packets.push_back(packet);
  }
  return packets;
}

struct TGACase {
  int type;
  uint32_t bits;
};

void PrintTo(const TGACase& c, std::ostream* out) { *out << "type " << c.type << ", " << c.bits << " bits"; }

class TGARoundTrip : public ::testing::TestWithParam<TGACase> {};

TEST_P(TGARoundTrip, BothDecoderEntryPointsGiveBackTheExactPixels) {
  const TGACase c = GetParam();
  const Image image = MakeImage(300, 6, c.bits);
  const Bytes tga = EncodeTGA(image, c.type);
  ASSERT_GE(tga.size(), 18u);
  EXPECT_EQ(Bytes(tga.begin(), tga.begin() + 18),
            Header(uint8_t(c.type), 300, 6, uint8_t(c.bits), c.bits == 32 ? 8 : 0));

  TempDir dir;
  const std::string path = dir.Write("image.tga", tga);
  AlertRecorder alerts;
  {
    std::ifstream stream(path, std::ios::binary);
    Texture texture;
    ASSERT_TRUE(LoadTGA2(&texture, &stream)) << alerts.Only();
    EXPECT_EQ(texture.width, 300u);
    EXPECT_EQ(texture.height, 6u);
    EXPECT_EQ(texture.bitsPerPixel, c.bits);
    EXPECT_EQ(0, std::memcmp(texture.pixels, image.pixels.data(), image.pixels.size()));
    // The decoder consumed exactly what was written: nothing missing, nothing extra.
    EXPECT_EQ(std::streamoff(stream.tellg()), std::streamoff(tga.size()));
  }
  Texture texture;
  ASSERT_TRUE(LoadTGA(&texture, path.c_str())) << alerts.Only();
  EXPECT_EQ(0, std::memcmp(texture.pixels, image.pixels.data(), image.pixels.size()));

  if (c.type == 10) {
    // Every packet stays within its row, whatever the row's content.
    for (const Packet& p : Packets(tga, c.bits / 8))
      EXPECT_EQ(p.firstPixel / 300, (p.firstPixel + p.count - 1) / 300) << "packet at pixel " << p.firstPixel;
  }
}

INSTANTIATE_TEST_SUITE_P(TypesAndDepths, TGARoundTrip,
                         ::testing::Values(TGACase{2, 24}, TGACase{2, 32}, TGACase{10, 24}, TGACase{10, 32}),
                         [](const ::testing::TestParamInfo<TGACase>& info) {
                           return "Type" + std::to_string(info.param.type) + "_" + std::to_string(info.param.bits) + "bit";
                         });

TEST(TGAEncode, UncompressedStoresBlueGreenRed) {
  const Bytes tga = EncodeTGA(MakeRGB(2, 1, {0x302010, 0x605040}), 2);
  EXPECT_EQ(tga, Concat(Header(2, 2, 1, 24, 0), {0x10, 0x20, 0x30, 0x40, 0x50, 0x60}));
}

TEST(TGAEncode, RunLengthPacketsEndAtEachRow) {
  // Row 0: A A A B C; row 1: C D D E F. The C at the end of row 0 and the
  // one starting row 1 must not become one run.
  const uint32_t A = 0x0A0B0C, B = 0x1A1B1C, C = 0x2A2B2C, D = 0x3A3B3C, E = 0x4A4B4C, F = 0x5A5B5C;
  const Bytes tga = EncodeTGA(MakeRGB(5, 2, {A, A, A, B, C, C, D, D, E, F}), 10);
  const Bytes expected = Concat(Header(10, 5, 2, 24, 0), {
      0x82, 0x0C, 0x0B, 0x0A,                          // run of 3 A
      0x01, 0x1C, 0x1B, 0x1A, 0x2C, 0x2B, 0x2A,        // raw B C
      0x00, 0x2C, 0x2B, 0x2A,                          // raw C
      0x81, 0x3C, 0x3B, 0x3A,                          // run of 2 D
      0x01, 0x4C, 0x4B, 0x4A, 0x5C, 0x5B, 0x5A,        // raw E F
  });
  EXPECT_EQ(tga, expected);
}

TEST(TGAEncode, PixelsDifferingOnlyInAlphaAreNotARun) {
  Image image;
  image.width = 3;
  image.height = 1;
  image.bitsPerPixel = 32;
  image.pixels = {1, 2, 3, 255, 1, 2, 3, 0, 1, 2, 3, 0};
  EXPECT_EQ(EncodeTGA(image, 10),
            Concat(Header(10, 3, 1, 32, 8), {0x00, 3, 2, 1, 255, 0x81, 3, 2, 1, 0}));
}

TEST(TGAEncode, PacketsHoldAtMost128Pixels) {
  std::vector<uint32_t> same(300, 0x112233), distinct;
  for (uint32_t i = 0; i < 300; ++i) distinct.push_back(i * 0x010101 + (i & 1));
  const std::vector<Packet> runs = Packets(EncodeTGA(MakeRGB(300, 1, same), 10), 3);
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_TRUE(runs[0].run && runs[1].run && runs[2].run);
  EXPECT_EQ(runs[0].count, 128u);
  EXPECT_EQ(runs[1].count, 128u);
  EXPECT_EQ(runs[2].count, 44u);

  const std::vector<Packet> raws = Packets(EncodeTGA(MakeRGB(300, 1, distinct), 10), 3);
  ASSERT_EQ(raws.size(), 3u);
  EXPECT_FALSE(raws[0].run || raws[1].run || raws[2].run);
  EXPECT_EQ(raws[0].count, 128u);
  EXPECT_EQ(raws[1].count, 128u);
  EXPECT_EQ(raws[2].count, 44u);
}

TEST(TGAEncode, ImagesTheFormatCannotHoldGiveNothing) {
  Image image = MakeImage(4, 4, 24);
  EXPECT_TRUE(EncodeTGA(image, 3).empty());
  Image wrongSize = image;
  wrongSize.pixels.pop_back();
  EXPECT_TRUE(EncodeTGA(wrongSize, 2).empty());
  Image sixteenBits = image;
  sixteenBits.bitsPerPixel = 16;
  EXPECT_TRUE(EncodeTGA(sixteenBits, 2).empty());
  EXPECT_TRUE(EncodeTGA(Image{}, 10).empty());
  Image tooWide = MakeRGB(65536, 1, std::vector<uint32_t>(65536, 0));
  EXPECT_TRUE(EncodeTGA(tooWide, 10).empty());
}

TEST(TGAEncode, SmallestPicksTheShorterEncodingAndUncompressedOnATie) {
  const Image flat = MakeRGB(64, 4, std::vector<uint32_t>(256, 0x808080));
  EXPECT_EQ(EncodeSmallestTGA(flat), EncodeTGA(flat, 10));
  Image allNoise = MakeImage(300, 2, 24);
  uint32_t seed = 7;
  for (unsigned char& b : allNoise.pixels) b = uint8_t((seed = seed * 1103515245u + 12345u) >> 16);
  EXPECT_EQ(EncodeSmallestTGA(allNoise), EncodeTGA(allNoise, 2));

  // Rows "A A B" (8 bytes of packets) and "C D E" (10 bytes): 18 either way.
  const Image tie = MakeRGB(3, 2, {1, 1, 2, 3, 4, 5});
  ASSERT_EQ(EncodeTGA(tie, 2).size(), EncodeTGA(tie, 10).size());
  EXPECT_EQ(EncodeSmallestTGA(tie)[2], 2);
}

TEST(TGAEncode, FlipRowsReversesRowOrder) {
  const Image image = MakeRGB(2, 3, {1, 2, 3, 4, 5, 6});
  EXPECT_EQ(FlipRows(image).pixels, MakeRGB(2, 3, {5, 6, 3, 4, 1, 2}).pixels);
  EXPECT_EQ(FlipRows(FlipRows(image)).pixels, image.pixels);
}

// ---- lump files -------------------------------------------------------------

std::vector<CurrencyLump> SomeNotes() {
  std::vector<CurrencyLump> lumps(3);
  lumps[0].data = EncodeTGA(MakeImage(200, 8, 32), 10);
  lumps[0].alphaMode = -1;
  lumps[0].width = 156;
  lumps[0].height = 66;
  lumps[1].data = {1, 2, 3, 4, 5};  // not an image
  lumps[1].type = 7;
  lumps[1].alphaMode = INT32_MIN;
  lumps[1].width = 0xFFFFFFFFu;
  lumps[1].height = 1;
  lumps[2].alphaMode = 3;  // empty
  lumps[2].width = 120;
  lumps[2].height = 60;
  return lumps;
}

TEST(CurrencyWriter, TheReaderGetsBackEveryField) {
  const std::vector<CurrencyLump> lumps = SomeNotes();
  const Bytes bytes = BuildCurrencyFile("Dollars & Cents", 0, lumps);
  TempDir dir;
  MONEYFILE file;
  ASSERT_TRUE(file.Open(dir.Write("c.dosh", bytes).c_str())) << file.failure;
  EXPECT_STREQ(file.header.name, "Dollars & Cents");
  EXPECT_EQ(file.header.version, 0);
  EXPECT_EQ(file.header.numLumps, 3u);
  EXPECT_EQ(file.header.sizeCheck, ~uint32_t(bytes.size()));
  // Header, data in order, then the directory.
  const size_t dataSize = lumps[0].data.size() + lumps[1].data.size();
  EXPECT_EQ(file.header.dirOffset, 64 + dataSize);
  EXPECT_EQ(bytes.size(), 64 + dataSize + 3 * 24);
  EXPECT_EQ(Bytes(bytes.begin() + 40, bytes.begin() + 52),
            Bytes({'C', 'O', 'R', 'V', 0, 0, 0, 0, 0, 0, 0, 0}));

  uint32_t offset = 64;
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE("lump " + std::to_string(i));
    const MONEYLUMP& lump = file.lumps[i];
    EXPECT_EQ(lump.offset, offset);
    EXPECT_EQ(lump.size, lumps[i].data.size());
    EXPECT_EQ(lump.type, lumps[i].type);
    EXPECT_EQ(lump.alphaMode, lumps[i].alphaMode);
    EXPECT_EQ(lump.width, lumps[i].width);
    EXPECT_EQ(lump.height, lumps[i].height);
    void* data = nullptr;
    ASSERT_TRUE(file.LoadData(i, &data));
    std::unique_ptr<unsigned char[]> owned(static_cast<unsigned char*>(data));
    EXPECT_EQ(Bytes(owned.get(), owned.get() + lump.size), lumps[i].data);
    offset += lump.size;
  }

  // The image lump decodes straight from the reader's stream.
  AlertRecorder alerts;
  Texture texture;
  ASSERT_TRUE(file.SeekLump(0));
  ASSERT_TRUE(LoadTGA2(&texture, &file.stream)) << alerts.Only();
  EXPECT_EQ(0, std::memcmp(texture.pixels, MakeImage(200, 8, 32).pixels.data(), 200 * 8 * 4));
}

TEST(CurrencyWriter, NameOf39BytesVersionAndNoLumps) {
  const std::string name(39, 'N');
  const Bytes bytes = BuildCurrencyFile(name, 1, {});
  ASSERT_EQ(bytes.size(), 64u);
  EXPECT_EQ(bytes[39], 0);  // still terminated
  TempDir dir;
  MONEYFILE file;
  ASSERT_TRUE(file.Open(dir.Write("n.dosh", bytes).c_str())) << file.failure;
  EXPECT_EQ(std::string(file.header.name), name);
  EXPECT_EQ(file.header.version, 1);
  EXPECT_EQ(file.header.numLumps, 0u);
  EXPECT_EQ(file.header.dirOffset, 64u);
  EXPECT_EQ(file.header.sizeCheck, ~64u);
}

TEST(ResourceWriter, TheReaderGetsBackEveryField) {
  std::vector<ResourceLump> lumps(3);
  lumps[0].data = EncodeTGA(MakeImage(20, 3, 24), 2);
  lumps[0].alphaMode = -7;
  lumps[1].data = {9, 8, 7};
  lumps[1].type = 0;
  lumps[2].data = EncodeTGA(MakeImage(150, 2, 32), 10);
  lumps[2].alphaMode = 2;
  const Bytes bytes = BuildResourceFile(lumps);

  TempDir dir;
  RESFILE file;
  ASSERT_TRUE(file.Open(dir.Write("r.artifacts", bytes).c_str())) << file.failure;
  EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 12), Bytes({'B', 'R', 'M', 'F', 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(file.header.numLumps, 3u);
  EXPECT_EQ(file.header.sizeCheck, ~uint32_t(bytes.size()));
  const size_t dataSize = lumps[0].data.size() + lumps[1].data.size() + lumps[2].data.size();
  EXPECT_EQ(file.header.dirOffset, 24 + dataSize);
  EXPECT_EQ(bytes.size(), 24 + dataSize + 3 * 28);

  uint32_t offset = 24;
  const unsigned char zeros[12] = {};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE("lump " + std::to_string(i));
    const RESLUMP& lump = file.lumps[i];
    EXPECT_EQ(lump.offset, offset);
    EXPECT_EQ(lump.size, lumps[i].data.size());
    EXPECT_EQ(lump.type, lumps[i].type);
    EXPECT_EQ(lump.alphaMode, lumps[i].alphaMode);
    EXPECT_EQ(0, std::memcmp(lump.unused16, zeros, 12));
    void* data = nullptr;
    ASSERT_TRUE(file.LoadData(i, &data));
    std::unique_ptr<unsigned char[]> owned(static_cast<unsigned char*>(data));
    EXPECT_EQ(Bytes(owned.get(), owned.get() + lump.size), lumps[i].data);
    offset += lump.size;
  }

  // Lumps decode in place: the second image starts right where the first ends.
  AlertRecorder alerts;
  Texture texture;
  ASSERT_TRUE(file.SeekLump(2));
  ASSERT_TRUE(LoadTGA2(&texture, &file.stream)) << alerts.Only();
  EXPECT_EQ(0, std::memcmp(texture.pixels, MakeImage(150, 2, 32).pixels.data(), 150 * 2 * 4));
}

// ---- atomic writes ------------------------------------------------------------

std::vector<std::string> FolderEntries(const std::string& path) {
  std::vector<std::string> names;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(path.c_str()), closedir);
  if (!dir) return names;
  while (dirent* entry = readdir(dir.get()))
    if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) names.push_back(entry->d_name);
  return names;
}

TEST(AtomicWrite, ReplacesTheFileAndLeavesNothingElse) {
  TempDir dir;
  const std::string path = dir.Write("out.dosh", Bytes(1000, 0xEE));
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(path, {1, 2, 3}, &error)) << error;
  EXPECT_EQ(ReadFileBytes(path), Bytes({1, 2, 3}));
  EXPECT_EQ(FolderEntries(dir.dir), std::vector<std::string>{"out.dosh"});

  // The new file gets the usual permissions, not the temporary file's 0600.
  const mode_t mask = umask(0);
  umask(mask);
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask);
}

TEST(AtomicWrite, FailuresNameThePathAndCleanUp) {
  TempDir dir;
  std::string error;
  const std::string missing = dir.Path("no/such/folder/out.dosh");
  EXPECT_FALSE(WriteFileAtomically(missing, {1}, &error));
  EXPECT_NE(error.find(missing), std::string::npos) << error;
  EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;

  // A folder in the way: the rename fails and the temporary file goes.
  const std::string folder = dir.Path("taken");
  ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
  ASSERT_EQ(mkdir((folder + "/inside").c_str(), 0755), 0);
  error.clear();
  EXPECT_FALSE(WriteFileAtomically(folder, {1}, &error));
  EXPECT_EQ(error.compare(0, folder.size() + 2, folder + ": "), 0) << error;
  EXPECT_EQ(FolderEntries(dir.dir), std::vector<std::string>{"taken"});
}

// ---- PNG ------------------------------------------------------------------------

class PngRoundTrip : public ::testing::TestWithParam<uint32_t> {};

TEST_P(PngRoundTrip, WriteThenReadGivesTheSamePixels) {
  // Alpha 0 over non-black colours: any premultiplication would show.
  const Image image = MakeImage(37, 11, GetParam());
  TempDir dir;
  const std::string path = dir.Path("image.png");
  std::string error;
  ASSERT_TRUE(WritePNG(path, image, &error)) << error;
  Image back;
  ASSERT_TRUE(ReadPNG(path, &back, &error)) << error;
  EXPECT_EQ(back.width, 37u);
  EXPECT_EQ(back.height, 11u);
  EXPECT_EQ(back.bitsPerPixel, GetParam());
  EXPECT_EQ(back.pixels, image.pixels);
}

INSTANTIATE_TEST_SUITE_P(Depths, PngRoundTrip, ::testing::Values(24u, 32u));

// Writes a PNG of another layout straight through libpng.
void WritePngAs(const std::string& path, uint32_t format, uint32_t width, uint32_t height, const Bytes& samples) {
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  png.width = width;
  png.height = height;
  png.format = format;
  ASSERT_TRUE(png_image_write_to_file(&png, path.c_str(), 0, samples.data(), 0, nullptr)) << png.message;
}

TEST(PngRead, GreyBecomesRGBAndGreyAlphaBecomesRGBA) {
  TempDir dir;
  std::string error;
  Image image;
  WritePngAs(dir.Path("g.png"), PNG_FORMAT_GRAY, 2, 1, {10, 200});
  ASSERT_TRUE(ReadPNG(dir.Path("g.png"), &image, &error)) << error;
  EXPECT_EQ(image.bitsPerPixel, 24u);
  EXPECT_EQ(image.pixels, Bytes({10, 10, 10, 200, 200, 200}));

  WritePngAs(dir.Path("ga.png"), PNG_FORMAT_GA, 2, 1, {10, 255, 200, 7});
  ASSERT_TRUE(ReadPNG(dir.Path("ga.png"), &image, &error)) << error;
  EXPECT_EQ(image.bitsPerPixel, 32u);
  EXPECT_EQ(image.pixels, Bytes({10, 10, 10, 255, 200, 200, 200, 7}));
}

TEST(PngRead, BadFilesSayWhatIsWrongAndWhere) {
  TempDir dir;
  std::string error;
  Image image;
  const std::string text = dir.Write("ten.png", {'h', 'e', 'l', 'l', 'o', '\n', 0, 0, 0});
  EXPECT_FALSE(ReadPNG(text, &image, &error));
  EXPECT_EQ(error, text + ": not a PNG file");

  EXPECT_FALSE(ReadPNG(dir.Path("missing.png"), &image, &error));
  EXPECT_EQ(error, dir.Path("missing.png") + ": No such file or directory");

  ASSERT_TRUE(WritePNG(dir.Path("whole.png"), MakeImage(40, 40, 24), &error)) << error;
  Bytes cut = ReadFileBytes(dir.Path("whole.png"));
  cut.resize(cut.size() / 2);
  const std::string truncated = dir.Write("cut.png", cut);
  EXPECT_FALSE(ReadPNG(truncated, &image, &error));
  EXPECT_EQ(error.compare(0, truncated.size() + 2, truncated + ": "), 0) << error;
}

}  // namespace
