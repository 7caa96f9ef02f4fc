// The TGA decoder: exact output bytes, run-length packets, where it leaves
// the stream, and every failure with its caption and text. Each case goes
// through both entry points (path and stream), which must agree.
#include <gtest/gtest.h>
#include <malloc.h>

#include <algorithm>
#include <fstream>
#include <vector>

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
    for (const Bytes& tail : {Bytes{}, Bytes{0xCC, 0xDD}}) {
      if (!ok) break;
      Bytes lump = {0xAA, 0xBB};
      lump.insert(lump.end(), bytes.begin(), bytes.end());
      lump.insert(lump.end(), tail.begin(), tail.end());
      std::ifstream in(dir.Write("lump.bin", lump), std::ios::binary);
      Texture inside;
      EXPECT_TRUE(in.seekg(2) && LoadTGA2(&inside, &in));
      EXPECT_EQ(in.rdstate(), std::ios::goodbit);
      EXPECT_EQ(in.tellg(), std::streamoff(2 + bytes.size()));
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
  // Bigger than any read buffer: raw packets and runs of every length from 1
  // to 128 in turn, straddling its edges and the copy loops' groups.
  const size_t n = 300 * 700;
  for (size_t bytes : {3, 4}) {
    Bytes raw, rgb, rle, runs;
    for (size_t i = 0; i < n * bytes; ++i) raw.push_back(uint8_t(i * 7 + i / 1000));
    for (size_t i = 0; i < raw.size(); ++i)
      rgb.push_back(raw[i % bytes < 3 ? i - i % bytes + 2 - i % bytes : i]);
    for (size_t p = 0, count, run = 0; p < n; p += count, run = !run) {
      count = std::min(1 + p % 128, n - p);
      rle.push_back(uint8_t(count - 1 + run * 128));
      rle.insert(rle.end(), &raw[bytes * p], &raw[bytes * (p + (run ? 1 : count))]);
      for (size_t i = p; i < p + count; ++i)
        runs.insert(runs.end(), &rgb[bytes * (run ? p : i)], &rgb[bytes * (run ? p : i)] + bytes);
    }
    cases.push_back({MakeTGA(2, 300, 700, uint8_t(bytes * 8), raw), rgb});
    cases.push_back({MakeTGA(10, 300, 700, uint8_t(bytes * 8), rle), runs});
  }
  for (const auto& [file, pixels] : cases) {
    EXPECT_EQ(Decode(file), "");
    EXPECT_EQ(Pixels(texture), pixels) << "type " << int(file[2]) << ", " << texture.width;
    if (file[2] == 2) {  // GL_RGBA or GL_RGB, set by the uncompressed decoder
      EXPECT_EQ(texture.format, file[16] == 32 ? 0x1908u : 0x1907u);
    }
  }
}

TEST_F(TGATest, EachFailureHasItsAlert) {
  const std::string invalid = "Invalid Image: TGA file be type 2 or type 10 ",
                    info = "ERROR: Invalid texture information",
                    data = "ERROR: Could not read image data";
  std::vector<std::pair<Bytes, std::string>> cases;
  for (uint8_t type : {1, 3, 9, 11}) cases.push_back({MakeTGA(type, 1, 1, 24, {1, 2, 3}), invalid});
  for (size_t at : {0, 1, 5, 8, 11}) {  // ID length, colour map, origin
    cases.push_back({MakeTGA(2, 1, 1, 24, {1, 2, 3}), invalid});
    cases.back().first[at] = 1;
  }
  for (uint8_t type : {2, 10}) {
    cases.push_back({MakeTGA(type, 0, 4, 24, {}), info});
    cases.push_back({MakeTGA(type, 4, 0, 24, {}), info});
    for (uint8_t depth : {0, 16, 23, 25, 33})
      cases.push_back({MakeTGA(type, 1, 1, depth, {1, 2, 3, 4}), info});
  }
  const Bytes header = MakeTGA(2, 1, 1, 24, {});
  cases.insert(
      cases.end(),
      {{Bytes(11, 0), "ERROR: Could not read file header"},
       {Bytes(header.begin(), header.begin() + 17), "ERROR: Could not read info header"},
       {MakeTGA(2, 2, 1, 24, {1, 2, 3, 4, 5}), data},
       {MakeTGA(2, 1, 1, 32, {1, 2, 3}), data},
       // Run-length: at a packet boundary, inside a raw packet, before a run's pixel.
       {MakeTGA(10, 3, 1, 24, {0x81, 1, 2, 3}), "ERROR: Could not read RLE header"},
       {MakeTGA(10, 3, 1, 24, {0x02, 1, 2, 3, 4, 5, 6, 7}), data},
       {MakeTGA(10, 3, 1, 24, {0x80, 1, 2, 3, 0x81, 1, 2}), "ERROR: Could not read from file"},
       // A run of four into three pixels, and a raw packet one too long.
       {MakeTGA(10, 3, 1, 24, {0x83, 1, 2, 3}), "ERROR: Too many pixels read"},
       {MakeTGA(10, 3, 1, 24, {0x00, 1, 1, 1, 0x02, 1, 2, 3, 4, 5, 6, 7, 8, 9}),
        "ERROR: Too many pixels read"}});
  for (const auto& [bytes, message] : cases) {
    EXPECT_EQ(Decode(bytes), message) << ::testing::PrintToString(bytes);
    EXPECT_EQ(texture.pixels, nullptr) << message;
  }
  // What the header said stays in the record after a failure.
  EXPECT_EQ(Decode(MakeTGA(2, 7, 9, 16, {})), info);
  EXPECT_EQ(std::tie(texture.width, texture.height, texture.bitsPerPixel),
            std::make_tuple(7, 9, 16));
  // A failed read leaves the stream failed.
  AlertRecorder alerts;
  std::ifstream cut(dir.Write("cut.tga", MakeTGA(10, 3, 1, 24, {0x81, 1, 2, 3})), std::ios::binary),
      closed;
  EXPECT_FALSE(LoadTGA2(&texture, &cut));
  EXPECT_EQ(cut.rdstate() & std::ios::failbit, std::ios::failbit);
  alerts.alerts.clear();
  for (bool loaded :
       {LoadTGA2(&texture, nullptr), LoadTGA2(&texture, &closed),
        LoadTGA(&texture, dir.Path("missing.tga").c_str()), LoadTGA(&texture, nullptr)})
    EXPECT_FALSE(loaded);
  EXPECT_EQ(alerts.alerts, decltype(alerts.alerts)(4, {"ERROR", "Could not open texture file"}));
}

// A header claiming a vast image over a few bytes of data must not make the
// decoder reserve memory for the whole claim, from the heap or by mmap.
TEST_F(TGATest, CraftedHugeHeaderAllocatesLittle) {
  const std::pair<Bytes, const char*> cases[] = {
      {MakeTGA(2, 16384, 16384, 32, Bytes(12, 7)), "ERROR: Could not read image data"},
      {MakeTGA(10, 16384, 16384, 32, {0x81, 1, 2, 3, 4, 0x81, 1, 2, 3, 4, 0xFF}),
       "ERROR: Could not read from file"},
      {MakeTGA(10, 65535, 65535, 32, {0x81, 1, 2, 3, 4, 0x81, 1, 2, 3, 4}),
       "ERROR: Could not read RLE header"},
      {MakeTGA(10, 16384, 16384, 32, {0x7F, 1, 2, 3, 4, 1, 2, 3, 4}),
       "ERROR: Could not read image data"}};
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
