// The TGA decoder: exact output bytes, run-length packets, where it leaves
// the stream, and every failure with its caption and text. Each case goes
// through both entry points (path and stream), which must agree.
#include <gtest/gtest.h>
#include <malloc.h>

#include <algorithm>
#include <fstream>
#include <vector>

#include "TGAWriter.h"
#include "TestFiles.h"
#include "image/TGALoader.h"

namespace {

Bytes Pixels(const Texture& t) {
  return Bytes(t.pixels,
               t.pixels + (t.pixels ? size_t(t.width) * t.height * t.bitsPerPixel / 8 : 0));
}

struct TGATest : ::testing::Test {
  // Decodes through the path and from a stream into texture; a decoded image
  // again from a stream of other bytes around it, as in a lump file, which
  // must be left right after the image. Returns the alert, empty on success.
  std::string Decode(const Bytes& bytes) {
    AlertRecorder alerts;
    Texture fromPath;
    const bool ok = LoadTGA(&fromPath, dir.Write("image.tga", bytes).c_str());
    std::ifstream stream(dir.Path("image.tga"), std::ios::binary);
    texture.FreePixels();
    EXPECT_EQ(LoadTGA2(&texture, &stream), ok);
    EXPECT_EQ(Pixels(texture), Pixels(fromPath));
    for (const Bytes& tail : {Bytes{}, Bytes{0xCC}}) {
      if (!ok) break;
      Bytes lump = {0xAA};
      lump.insert(lump.end(), bytes.begin(), bytes.end());
      lump.insert(lump.end(), tail.begin(), tail.end());
      std::ifstream in(dir.Write("lump.bin", lump), std::ios::binary);
      Texture inside;
      in.seekg(1);
      EXPECT_TRUE(LoadTGA2(&inside, &in));
      EXPECT_EQ(in.rdstate(), std::ios::goodbit);
      EXPECT_EQ(in.tellg(), std::streamoff(1 + bytes.size()));
    }
    if (ok) return "";
    EXPECT_EQ(alerts.alerts.size(), 2u);
    EXPECT_EQ(alerts.alerts[0], alerts.alerts.back()) << "the entry points disagree";
    return alerts.alerts[0].first + ": " + alerts.alerts[0].second;
  }
  TempDir dir;
  Texture texture;
};

TEST_F(TGATest, DecodesToRGBInFileRowOrder) {
  std::vector<std::pair<Bytes, Bytes>> cases = {
      {MakeTGA(2, 2, 1, 24, {0x10, 0x20, 0x30, 0x40, 0x50, 0x60}),
       {0x30, 0x20, 0x10, 0x60, 0x50, 0x40}},
      {MakeTGA(2, 1, 1, 32, {0x10, 0x20, 0x30, 0xFF}, 8), {0x30, 0x20, 0x10, 0xFF}},
      // The descriptor's origin bits are ignored: rows stay bottom row first.
      {MakeTGA(2, 1, 2, 24, {1, 2, 3, 4, 5, 6}, 0xFF), {3, 2, 1, 6, 5, 4}},
      // 0x83: one pixel four times; 0x02: three raw pixels.
      {MakeTGA(10, 7, 1, 24, {0x83, 1, 2, 3, 0x02, 4, 5, 6, 7, 8, 9, 10, 11, 12}),
       {3, 2, 1, 3, 2, 1, 3, 2, 1, 3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10}},
      // A run that exactly completes the image: what follows (in a lump) is never looked at.
      {MakeTGA(10, 3, 1, 24, {0x82, 1, 2, 3}), {3, 2, 1, 3, 2, 1, 3, 2, 1}}};
  // Bigger than any read buffer, from the writer: runs of 1 to 150 pixels in stretches of 97,
  // so raw packets and runs of every length straddle its edges and the copy loops' groups.
  for (uint32_t bits : {24, 32}) {
    Image image{300, 700, bits, {}};
    for (uint32_t p = 0; p < 300 * 700; ++p) {
      const uint32_t c = p - p % (1 + p / 97 % 150);
      image.pixels.insert(image.pixels.end(), {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16)});
      if (bits == 32) image.pixels.push_back(uint8_t(c * 7));
    }
    for (int type : {2, 10}) cases.push_back({EncodeTGA(image, type), image.pixels});
  }
  for (const auto& [file, pixels] : cases) {
    EXPECT_EQ(Decode(file), "");
    EXPECT_EQ(Pixels(texture), pixels) << "type " << int(file[2]);
  }
}

TEST_F(TGATest, EachFailureHasItsAlert) {
  const std::string info = "ERROR: Invalid texture information",
                    data = "ERROR: Could not read image data", too = "ERROR: Too many pixels read";
  const std::string invalid = "Invalid Image: TGA file be type 2 or type 10 ";
  Bytes id = MakeTGA(2, 1, 1, 24, {1, 2, 3}), origin = id;
  id[0] = origin[11] = 1;  // the first and last bytes compared with the type's header
  const std::pair<Bytes, std::string> cases[] = {
      {MakeTGA(3, 1, 1, 24, {1, 2, 3}), invalid},
      {id, invalid},
      {origin, invalid},
      {MakeTGA(2, 0, 4, 24, {}), info},
      {MakeTGA(10, 4, 0, 24, {}), info},
      {MakeTGA(2, 1, 1, 25, {1, 2, 3, 4}), info},
      {MakeTGA(10, 1, 1, 33, {1, 2, 3, 4, 5}), info},
      {Bytes(11, 0), "ERROR: Could not read file header"},
      {Bytes{0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, "ERROR: Could not read info header"},
      {MakeTGA(2, 1, 1, 32, {1, 2, 3}), data},
      // Run-length: at a packet boundary, inside a raw packet, before a run's pixel.
      {MakeTGA(10, 3, 1, 24, {0x81, 1, 2, 3}), "ERROR: Could not read RLE header"},
      {MakeTGA(10, 3, 1, 24, {0x02, 1, 2, 3, 4, 5, 6, 7}), data},
      {MakeTGA(10, 3, 1, 24, {0x80, 1, 2, 3, 0x81, 1, 2}), "ERROR: Could not read from file"},
      // A run of four into three pixels, and a raw packet one too long.
      {MakeTGA(10, 3, 1, 24, {0x83, 1, 2, 3}), too},
      {MakeTGA(10, 3, 1, 24, {0x00, 1, 1, 1, 0x02, 1, 2, 3, 4, 5, 6, 7, 8, 9}), too}};
  for (const auto& [bytes, message] : cases) {
    EXPECT_EQ(Decode(bytes), message) << ::testing::PrintToString(bytes);
    EXPECT_EQ(texture.pixels, nullptr) << message;
  }
  // A failed read leaves the stream failed.
  AlertRecorder alerts;
  std::ifstream cut(dir.Write("cut.tga", MakeTGA(10, 3, 1, 24, {0x81, 1, 2, 3})), std::ios::binary),
      closed;
  EXPECT_FALSE(LoadTGA2(&texture, &cut));
  EXPECT_EQ(cut.rdstate() & std::ios::failbit, std::ios::failbit);
  alerts.alerts.clear();
  EXPECT_EQ(std::tuple(LoadTGA2(&texture, nullptr), LoadTGA2(&texture, &closed),
                       LoadTGA(&texture, nullptr)),
            std::tuple(false, false, false));
  EXPECT_EQ(alerts.alerts, decltype(alerts.alerts)(3, {"ERROR", "Could not open texture file"}));
}

// A header claiming a vast image over a few bytes of data must not make the
// decoder reserve memory for the whole claim, from the heap or by mmap.
TEST_F(TGATest, CraftedHugeHeaderAllocatesLittle) {
  const std::pair<Bytes, const char*> cases[] = {
      {MakeTGA(2, 16384, 16384, 32, Bytes(12, 7)), "ERROR: Could not read image data"},
      {MakeTGA(10, 65535, 65535, 32, {0x81, 1, 2, 3, 4, 0x81, 1, 2, 3, 4}),
       "ERROR: Could not read RLE header"}};
  for (const auto& [file, message] : cases)
    for (bool stream : {true, false}) {
      size_t inUse = 0;  // when the alert is raised, the pixel buffer is still held
      std::string alert;
      ScopedAlertHandler measure([&](const char* text, const char* caption) {
        inUse = mallinfo2().uordblks + mallinfo2().hblkhd;
        alert = std::string(caption) + ": " + text;
      });
      std::ifstream in(dir.Write("huge.tga", file), std::ios::binary);
      EXPECT_FALSE(stream ? LoadTGA2(&texture, &in)
                          : LoadTGA(&texture, dir.Path("huge.tga").c_str()));
      EXPECT_EQ(alert, message);
      EXPECT_LT(inUse, size_t(64) << 20) << message;
    }
}

}  // namespace
