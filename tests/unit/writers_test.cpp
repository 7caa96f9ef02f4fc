// The tools' writers: TGA images in the exact packets the format expects
// (what the decoder makes of packets is its own test, and corvan-dosh's test
// round-trips whole images); atomic file replacement; PNG input and output.
// (The lump file writer is checked with its readers.)
#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <tuple>
#include <utility>

#include "LumpWriter.h"
#include "PngIO.h"
#include "TGAWriter.h"
#include "TestFiles.h"
#include "image/TGALoader.h"

namespace {

// Noise, with alpha 0 under colours in every other 32-bit pixel.
Image MakeImage(uint32_t width, uint32_t height, uint32_t bits) {
  Image image{width, height, bits, {}};
  for (uint32_t i = 0; i < width * height * bits / 8; ++i)
    image.pixels.push_back(
        uint8_t(bits == 32 && i % 4 == 3 ? (i % 8 < 4 ? 0 : 255) : i * 2654435761u >> 24));
  return image;
}

Image RGB(uint32_t width, uint32_t height, const Bytes& pixels) {
  return Image{width, height, 24, pixels};
}

TEST(TGAWriter, PacketsAreExact) {
  EXPECT_EQ(EncodeTGA(RGB(2, 1, {0x30, 0x20, 0x10, 0x60, 0x50, 0x40}), 2),
            MakeTGA(2, 2, 1, 24, {0x10, 0x20, 0x30, 0x40, 0x50, 0x60}));
  // Rows A A A B C and C D D E F: the two Cs do not become one run across the row end.
  const Bytes A = {10, 11, 12}, B = {20, 21, 22}, C = {30, 31, 32}, D = {40, 41, 42},
              E = {50, 51, 52}, F = {60, 61, 62};
  Bytes rows;
  for (const Bytes* p : {&A, &A, &A, &B, &C, &C, &D, &D, &E, &F})
    rows.insert(rows.end(), p->begin(), p->end());
  EXPECT_EQ(EncodeTGA(RGB(5, 2, rows), 10),
            MakeTGA(10, 5, 2, 24, {0x82, 12, 11,   10, 0x01, 22, 21,   20, 32, 31, 30, 0x00, 32,
                                   31,   30, 0x81, 42, 41,   40, 0x01, 52, 51, 50, 62, 61,   60}));
  EXPECT_EQ(
      EncodeTGA(Image{3, 1, 32, {1, 2, 3, 255, 1, 2, 3, 0, 1, 2, 3, 0}}, 10),
      MakeTGA(10, 3, 1, 32, {0x00, 3, 2, 1, 255, 0x81, 3, 2, 1, 0}, 8));  // alpha alone differs
  // 300 equal pixels: runs of 128, 128, 44; 300 distinct ones: raw packets of as many.
  Bytes same, distinct;
  for (uint32_t i = 0; i < 300; ++i) {
    same.insert(same.end(), {1, 2, 3});
    distinct.insert(distinct.end(), {uint8_t(i), uint8_t(i >> 8), uint8_t(i & 1)});
  }
  EXPECT_EQ(EncodeTGA(RGB(300, 1, same), 10),
            MakeTGA(10, 300, 1, 24, {0xFF, 3, 2, 1, 0xFF, 3, 2, 1, 0xAB, 3, 2, 1}));
  const Bytes raw = EncodeTGA(RGB(300, 1, distinct), 10);
  EXPECT_TRUE(raw.size() == 18u + 3 + 900 && raw[18] == 127 && raw[18 + 1 + 384] == 127 &&
              raw[18 + 2 + 768] == 43);

  // What the format cannot hold gives nothing.
  Image wrongSize = MakeImage(4, 4, 24), sixteen = wrongSize;
  wrongSize.pixels.pop_back();
  sixteen.bitsPerPixel = 16;
  for (const auto& [image, type] : {std::pair{MakeImage(4, 4, 24), 3},
                                    {wrongSize, 2},
                                    {sixteen, 2},
                                    {Image{}, 10},
                                    {RGB(65536, 1, Bytes(65536 * 3, 0)), 10}})
    EXPECT_TRUE(EncodeTGA(image, type).empty()) << image.width << " " << type;

  // The smaller encoding, type 2 on a tie (rows "A A B" and "C D E": 18 bytes either way).
  const Image flat = RGB(64, 4, Bytes(64 * 4 * 3, 0x80)), noise = MakeImage(2, 300, 24),
              tie = RGB(3, 2, {1, 1, 1, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5, 5, 5});
  EXPECT_TRUE(EncodeSmallestTGA(flat) == EncodeTGA(flat, 10) &&
              EncodeSmallestTGA(noise) == EncodeTGA(noise, 2));
  EXPECT_TRUE(EncodeTGA(tie, 2).size() == EncodeTGA(tie, 10).size() &&
              EncodeSmallestTGA(tie)[2] == 2);
  EXPECT_EQ(FlipRows(RGB(1, 3, {1, 1, 1, 2, 2, 2, 3, 3, 3})).pixels,
            Bytes({3, 3, 3, 2, 2, 2, 1, 1, 1}));
}

TEST(AtomicWrite, ReplacesTheFileOrSaysWhyAndLeavesNothingBehind) {
  TempDir dir;
  const std::string path = dir.Write("out.dosh", Bytes(1000, 0xEE));
  std::string error;
  EXPECT_TRUE(WriteFileAtomically(path, {1, 2, 3}, &error) &&
              ReadFileBytes(path) == Bytes({1, 2, 3}))
      << error;
  const mode_t mask = umask(0);
  struct stat info {};
  EXPECT_TRUE(umask(mask) == 0 && stat(path.c_str(), &info) == 0 &&
              (info.st_mode & 0777) == (0666 & ~mask));  // not 0600

  const std::string missing = dir.Path("no/such/folder/out.dosh");
  EXPECT_TRUE(!WriteFileAtomically(missing, {1}, &error) &&
              error == missing + ": cannot create a temporary file: No such file or directory")
      << error;
  // A folder in the way: the rename fails and the temporary file goes.
  std::filesystem::create_directories(dir.Path("taken/inside"));
  EXPECT_TRUE(!WriteFileAtomically(dir.Path("taken"), {1}, &error) &&
              error.rfind(dir.Path("taken") + ": ", 0) == 0)
      << error;
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.dir), {}), 2);  // out.dosh, taken
}

TEST(PngIO, RoundTripsConvertsAndSaysWhatIsWrong) {
  TempDir dir;
  std::string error;
  Image back;
  for (uint32_t bits : {24u, 32u}) {  // alpha 0 over colours: any premultiplication would show
    const Image image = MakeImage(37, 11, bits);
    ASSERT_TRUE(WritePNG(dir.Path("image.png"), image, &error) &&
                ReadPNG(dir.Path("image.png"), &back, &error))
        << error;
    EXPECT_TRUE(back.width == 37 && back.height == 11 && back.bitsPerPixel == bits &&
                back.pixels == image.pixels);
  }
  // Grey becomes RGB, grey and alpha RGBA.
  for (const auto& [format, samples, bits, want] :
       {std::tuple{PNG_FORMAT_GRAY, Bytes{10, 200}, 24u, Bytes{10, 10, 10, 200, 200, 200}},
        {PNG_FORMAT_GA, Bytes{10, 255, 200, 7}, 32u, Bytes{10, 10, 10, 255, 200, 200, 200, 7}}}) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = 2;
    png.height = 1;
    png.format = format;
    ASSERT_TRUE(
        png_image_write_to_file(&png, dir.Path("g.png").c_str(), 0, samples.data(), 0, nullptr) &&
        ReadPNG(dir.Path("g.png"), &back, &error))
        << error;
    EXPECT_TRUE(back.bitsPerPixel == bits && back.pixels == want) << format;
  }
  const Bytes whole = ReadFileBytes(dir.Path("image.png"));
  const std::string text = dir.Write("text.png", {'h', 'e', 'l', 'l', 'o', '\n', 0, 0, 0}),
                    half = dir.Write("cut.png",
                                     Bytes(whole.begin(), whole.begin() + long(whole.size() / 2)));
  for (const auto& [path, why] : {std::pair{text, std::string(": not a PNG file")},
                                  {dir.Path("missing.png"), ": No such file or directory"},
                                  {half, ": bad PNG: "}})
    EXPECT_TRUE(!ReadPNG(path, &back, &error) && error.rfind(path + why, 0) == 0) << error;
}

}  // namespace
