// The TGA decoder: exact output bytes, run-length packets, where it leaves
// the stream, and every failure with its caption and text. Each case goes
// through both entry points (path and stream), which must agree.
#include <gtest/gtest.h>

#include <malloc.h>

#include <fstream>

#include "TestFiles.h"
#include "image/TGALoader.h"

namespace {

class TGATest : public ::testing::Test {
protected:
  // Decodes through both entry points; returns the stream variant's result
  // and keeps its pixels in texture and the alert in alert.
  bool Decode(const Bytes& bytes) {
    const std::string path = dir.Write("image.tga", bytes);
    Texture fromPath;
    AlertRecorder alerts;
    const bool pathOk = LoadTGA(&fromPath, path.c_str());
    std::ifstream stream(path, std::ios::binary);
    texture.FreePixels();
    const bool ok = LoadTGA2(&texture, &stream);
    EXPECT_EQ(ok, pathOk);
    EXPECT_EQ(alerts.alerts.size(), ok ? 0u : 2u);
    if (alerts.alerts.size() == 2) {
      EXPECT_EQ(alerts.alerts[0], alerts.alerts[1]);
    }
    if (ok && pathOk) {
      EXPECT_EQ(Pixels(fromPath), Pixels(texture));
    }
    alert = alerts.alerts.empty() ? "" : alerts.alerts.back().first + ": " + alerts.alerts.back().second;
    return ok;
  }
  static Bytes Pixels(const Texture& t) {
    return t.pixels ? Bytes(t.pixels, t.pixels + size_t(t.width) * t.height * t.bitsPerPixel / 8) : Bytes();
  }

  TempDir dir;
  Texture texture;
  std::string alert;  // "CAPTION: TEXT" of the last alert
};

TEST_F(TGATest, DecodesToRGBInFileRowOrder) {
  ASSERT_TRUE(Decode(MakeTGA(2, 2, 1, 24, {0x10, 0x20, 0x30, 0x40, 0x50, 0x60})));
  EXPECT_EQ(Pixels(texture), (Bytes{0x30, 0x20, 0x10, 0x60, 0x50, 0x40}));
  EXPECT_EQ(texture.format, 0x1907u);  // GL_RGB
  ASSERT_TRUE(Decode(MakeTGA(2, 1, 1, 32, {0x10, 0x20, 0x30, 0xFF}, 8)));
  EXPECT_EQ(Pixels(texture), (Bytes{0x30, 0x20, 0x10, 0xFF}));
  EXPECT_EQ(texture.format, 0x1908u);  // GL_RGBA
  // The descriptor's origin bits are ignored: rows stay bottom row first.
  for (uint8_t descriptor : {0x00, 0x20, 0x30, 0xFF}) {
    ASSERT_TRUE(Decode(MakeTGA(2, 1, 2, 24, {1, 2, 3, 4, 5, 6}, descriptor))) << int(descriptor);
    EXPECT_EQ(Pixels(texture), (Bytes{3, 2, 1, 6, 5, 4})) << int(descriptor);
  }

  // 0x83: one pixel four times; 0x02: three raw pixels.
  ASSERT_TRUE(Decode(MakeTGA(10, 7, 1, 24, {0x83, 1, 2, 3, 0x02, 4, 5, 6, 7, 8, 9, 10, 11, 12})));
  EXPECT_EQ(Pixels(texture), (Bytes{3, 2, 1, 3, 2, 1, 3, 2, 1, 3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10}));
  // 0xFF: 128 copies; 0x7F: 128 raw pixels; packets run across rows.
  Bytes data = {0xFF, 10, 20, 30, 40, 0x7F}, expected;
  for (int i = 0; i < 128; ++i) expected.insert(expected.end(), {30, 20, 10, 40});
  for (int i = 0; i < 128; ++i) {
    data.insert(data.end(), {uint8_t(i), 1, 2, 3});
    expected.insert(expected.end(), {2, 1, uint8_t(i), 3});
  }
  ASSERT_TRUE(Decode(MakeTGA(10, 16, 16, 32, data)));
  EXPECT_EQ(Pixels(texture), expected);
  // A run that exactly completes the image; what follows is never looked at.
  ASSERT_TRUE(Decode(MakeTGA(10, 3, 1, 24, {0x82, 1, 2, 3, 0xFF, 0xFF})));
}

TEST_F(TGATest, LargeImagesDecodeAcrossReadBuffers) {
  // Bigger than any internal buffer, with packets of every length straddling its edges.
  const uint16_t width = 300, height = 700;
  Bytes raw, rle, expected;
  for (uint32_t i = 0; i < uint32_t(width) * height; ++i) {
    raw.insert(raw.end(), {uint8_t(i), uint8_t(i >> 8), uint8_t(i * 7)});
    expected.insert(expected.end(), {uint8_t(i * 7), uint8_t(i >> 8), uint8_t(i)});
  }
  for (size_t p = 0, count; p < raw.size() / 3; p += count) {
    count = std::min<size_t>(1 + p % 128, raw.size() / 3 - p);
    rle.push_back(uint8_t(count - 1));
    rle.insert(rle.end(), raw.begin() + long(3 * p), raw.begin() + long(3 * (p + count)));
  }
  for (const Bytes& file : {MakeTGA(2, width, height, 24, raw), MakeTGA(10, width, height, 24, rle)}) {
    ASSERT_TRUE(Decode(file)) << alert;
    EXPECT_EQ(Pixels(texture), expected);
  }
}

TEST_F(TGATest, LeavesTheStreamRightAfterTheImage) {
  // An image inside other bytes, as in a lump file: the decoder reads ahead
  // but must leave the stream where the image ends; after a failure, failed.
  for (const Bytes& image : {MakeTGA(2, 2, 1, 24, {1, 2, 3, 4, 5, 6}),
                             MakeTGA(10, 3, 1, 24, {0x81, 1, 2, 3, 0x00, 4, 5, 6})}) {
    Bytes file = {0xAA, 0xBB};
    file.insert(file.end(), image.begin(), image.end());
    for (const Bytes& tail : {Bytes{0xCC, 0xDD}, Bytes{}}) {
      Bytes whole = file;
      whole.insert(whole.end(), tail.begin(), tail.end());
      std::ifstream stream(dir.Write("lump.bin", whole), std::ios::binary);
      stream.seekg(2);
      Texture t;
      ASSERT_TRUE(LoadTGA2(&t, &stream)) << image[2];
      EXPECT_TRUE(stream.good());
      EXPECT_EQ(stream.tellg(), std::streamoff(2 + image.size())) << int(image[2]);
    }
  }
  std::ifstream stream(dir.Write("t.tga", MakeTGA(10, 3, 1, 24, {0x81, 1, 2, 3})), std::ios::binary);
  AlertRecorder alerts;
  Texture t;
  EXPECT_FALSE(LoadTGA2(&t, &stream));
  EXPECT_TRUE(stream.fail() && stream.is_open());
}

TEST_F(TGATest, EachFailureHasItsAlert) {
  const std::string invalid = "Invalid Image: TGA file be type 2 or type 10 ";
  const std::string info = "ERROR: Invalid texture information";
  std::vector<std::pair<Bytes, std::string>> cases;
  for (uint8_t type : {0, 1, 3, 9, 11, 32}) cases.push_back({MakeTGA(type, 1, 1, 24, {1, 2, 3}), invalid});
  for (size_t at : {0, 1, 3, 4, 5, 6, 7, 8, 9, 10, 11}) {  // ID length, colour map, origin
    cases.push_back({MakeTGA(2, 1, 1, 24, {1, 2, 3}), invalid});
    cases.back().first[at] = 1;
  }
  for (uint8_t type : {2, 10}) {
    cases.push_back({MakeTGA(type, 0, 4, 24, {}), info});
    cases.push_back({MakeTGA(type, 4, 0, 24, {}), info});
    for (uint8_t depth : {0, 8, 15, 16, 23, 25, 31, 33, 255}) cases.push_back({MakeTGA(type, 1, 1, depth, {1, 2, 3, 4}), info});
  }
  Bytes prefixOnly = MakeTGA(2, 1, 1, 24, {});
  prefixOnly.resize(17);
  const std::vector<std::pair<Bytes, std::string>> more = {
      {{}, "ERROR: Could not read file header"},
      {Bytes(11, 0), "ERROR: Could not read file header"},
      {prefixOnly, "ERROR: Could not read info header"},
      {MakeTGA(2, 2, 1, 24, {1, 2, 3, 4, 5}), "ERROR: Could not read image data"},
      {MakeTGA(2, 1, 1, 32, {1, 2, 3}), "ERROR: Could not read image data"},
      // Run-length: at a packet boundary, inside a raw packet, before a run's pixel.
      {MakeTGA(10, 3, 1, 24, {0x81, 1, 2, 3}), "ERROR: Could not read RLE header"},
      {MakeTGA(10, 3, 1, 24, {}), "ERROR: Could not read RLE header"},
      {MakeTGA(10, 3, 1, 24, {0x02, 1, 2, 3, 4, 5, 6, 7}), "ERROR: Could not read image data"},
      {MakeTGA(10, 3, 1, 24, {0x80, 1, 2, 3, 0x81, 1, 2}), "ERROR: Could not read from file"},
      // A run of four into three pixels, and a raw packet one too long.
      {MakeTGA(10, 3, 1, 24, {0x83, 1, 2, 3}), "ERROR: Too many pixels read"},
      {MakeTGA(10, 3, 1, 24, {0x00, 1, 1, 1, 0x02, 1, 2, 3, 4, 5, 6, 7, 8, 9}), "ERROR: Too many pixels read"},
  };
  cases.insert(cases.end(), more.begin(), more.end());
  for (const auto& [bytes, message] : cases) {
    EXPECT_FALSE(Decode(bytes));
    EXPECT_EQ(alert, message) << ::testing::PrintToString(bytes);
    EXPECT_EQ(texture.pixels, nullptr);
  }
  // What the specification said stays in the record after a failure.
  EXPECT_FALSE(Decode(MakeTGA(2, 7, 9, 16, {})));
  EXPECT_TRUE(texture.width == 7 && texture.height == 9 && texture.bitsPerPixel == 16);

  AlertRecorder alerts;
  std::ifstream closed;
  EXPECT_FALSE(LoadTGA2(&texture, nullptr) || LoadTGA2(&texture, &closed) ||
               LoadTGA(&texture, dir.Path("missing.tga").c_str()) || LoadTGA(&texture, nullptr));
  EXPECT_EQ(alerts.alerts, decltype(alerts.alerts)(4, {"ERROR", "Could not open texture file"}));
}

// A header claiming a vast image over a few bytes of data must not make the
// decoder reserve memory for the whole claim, from the heap or by mmap.
TEST_F(TGATest, CraftedHugeHeaderAllocatesLittle) {
  const std::pair<Bytes, const char*> cases[] = {
      {MakeTGA(2, 16384, 16384, 32, Bytes(12, 7)), "ERROR: Could not read image data"},
      {MakeTGA(10, 16384, 16384, 32, {0x81, 1, 2, 3, 4, 0x81, 1, 2, 3, 4, 0xFF}), "ERROR: Could not read from file"},
      {MakeTGA(10, 65535, 65535, 32, {0x81, 1, 2, 3, 4, 0x81, 1, 2, 3, 4}), "ERROR: Could not read RLE header"},
      {MakeTGA(10, 16384, 16384, 32, {0x7F, 1, 2, 3, 4, 1, 2, 3, 4}), "ERROR: Could not read image data"},
  };
  for (const auto& [file, message] : cases) {
    const std::string path = dir.Write("huge.tga", file);
    for (bool stream : {true, false}) {
      // The pixel buffer is still held when the alert is raised.
      size_t inUse = 0;
      ScopedAlertHandler measure([&](const char* text, const char* caption) {
        const struct mallinfo2 m = mallinfo2();
        inUse = m.uordblks + m.hblkhd;
        alert = std::string(caption) + ": " + text;
      });
      std::ifstream in(path, std::ios::binary);
      Texture t;
      EXPECT_FALSE(stream ? LoadTGA2(&t, &in) : LoadTGA(&t, path.c_str()));
      EXPECT_EQ(alert, message);
      EXPECT_LT(inUse, size_t(64) << 20) << message << (stream ? " (stream)" : " (path)");
    }
  }
}

}  // namespace
