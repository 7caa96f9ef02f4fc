// The tools' writers: TGA images in the exact packets the format expects
// (the TGA tests decode what it writes, and corvan-dosh's test round-trips
// whole images through TGA and PNG); atomic file replacement; PNG input
// converted and refused. (The lump file writer is checked with its readers.)
#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>

#include <filesystem>
#include <tuple>

#include "LumpWriter.h"
#include "PngIO.h"
#include "TGAWriter.h"
#include "TestFiles.h"

namespace {

Image RGB(uint32_t width, uint32_t height, const Bytes& pixels) {
  return Image{width, height, 24, pixels};
}

TEST(TGAWriter, PacketsAreExact) {
  // Rows A A A B C and C D D E F: the two Cs do not become one run across the row end.
  const Bytes rows = {10, 11, 12, 10, 11, 12, 10, 11, 12, 20, 21, 22, 30, 31, 32,
                      30, 31, 32, 40, 41, 42, 40, 41, 42, 50, 51, 52, 60, 61, 62};
  const std::pair<Bytes, Bytes> cases[] = {
      {EncodeTGA(RGB(5, 2, rows), 10),
       MakeTGA(10, 5, 2, 24, {0x82, 12, 11,   10, 0x01, 22, 21,   20, 32, 31, 30, 0x00, 32,
                              31,   30, 0x81, 42, 41,   40, 0x01, 52, 51, 50, 62, 61,   60})},
      {EncodeTGA(Image{3, 1, 32, {1, 2, 3, 255, 1, 2, 3, 0, 1, 2, 3, 0}},
                 10),  // alpha alone differs
       MakeTGA(10, 3, 1, 32, {0x00, 3, 2, 1, 255, 0x81, 3, 2, 1, 0}, 8)},
      {EncodeTGA(RGB(300, 1, Bytes(900, 7)), 10),  // runs of 128, 128, 44
       MakeTGA(10, 300, 1, 24, {0xFF, 7, 7, 7, 0xFF, 7, 7, 7, 0xAB, 7, 7, 7})},
  };
  for (const auto& [got, want] : cases) EXPECT_EQ(got, want);

  // What the format cannot hold gives nothing.
  Image sixteen = RGB(4, 4, Bytes(48, 0));
  sixteen.bitsPerPixel = 16;
  for (const auto& [image, type] : {std::pair{RGB(4, 4, Bytes(48, 0)), 3},
                                    {sixteen, 2},
                                    {RGB(65536, 1, Bytes(65536 * 3, 0)), 10}})
    EXPECT_EQ(EncodeTGA(image, type).size(), 0u) << type;

  // The smaller encoding, type 2 on a tie (rows "A A B" and "C D E": 18 bytes either way).
  for (const auto& [image, type] :
       {std::pair{RGB(64, 4, Bytes(64 * 4 * 3, 0x80)), 10},
        {RGB(3, 2, {1, 1, 1, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5, 5, 5}), 2}})
    EXPECT_EQ(EncodeSmallestTGA(image), EncodeTGA(image, type)) << type;
}

TEST(AtomicWrite, ReplacesTheFileOrSaysWhyAndLeavesNothingBehind) {
  TempDir dir;
  const std::string path = dir.Write("out.dosh", Bytes(1000, 0xEE)), taken = dir.Path("taken");
  std::string error;
  EXPECT_TRUE(WriteFileAtomically(path, {1, 2, 3}, &error)) << error;
  EXPECT_EQ(ReadFileBytes(path), Bytes({1, 2, 3}));
  // A folder in the way: the rename fails and the temporary file goes.
  std::filesystem::create_directories(taken + "/inside");
  EXPECT_FALSE(WriteFileAtomically(taken, {1}, &error));
  EXPECT_EQ(error.substr(0, taken.size() + 2), taken + ": ");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.dir), {}), 2);  // out.dosh, taken
}

TEST(PngIO, ConvertsGreyAndRefusesWhatIsNoPNG) {
  TempDir dir;
  std::string error;
  Image back;
  // Grey and alpha becomes RGBA.
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  png.width = 2, png.height = 1, png.format = PNG_FORMAT_GA;
  const Bytes samples = {10, 255, 200, 7};
  png_image_write_to_file(&png, dir.Path("g.png").c_str(), 0, samples.data(), 0, nullptr);
  EXPECT_TRUE(ReadPNG(dir.Path("g.png"), &back, &error)) << error;
  EXPECT_EQ(std::tie(back.bitsPerPixel, back.pixels),
            std::tuple(32u, Bytes{10, 10, 10, 255, 200, 200, 200, 7}));
  EXPECT_FALSE(ReadPNG(dir.Write("text.png", Bytes(9, 'h')), &back, &error));
  EXPECT_EQ(error, dir.Path("text.png") + ": not a PNG file");
}

}  // namespace
