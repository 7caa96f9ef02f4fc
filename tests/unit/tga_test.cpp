// The TGA decoder: exact output bytes, run-length packets, where it leaves
// the stream, and every failure with its caption and text.
#include <gtest/gtest.h>

#include <malloc.h>

#include <fstream>

#include "TestFiles.h"
#include "image/TGALoader.h"

namespace {

constexpr uint32_t kGLRGB = 0x1907;
constexpr uint32_t kGLRGBA = 0x1908;

class TGATest : public ::testing::Test {
protected:
  // Decodes bytes through both entry points and checks they agree; returns
  // the stream variant's result.
  bool Decode(const Bytes& bytes) {
    const std::string path = dir.Write("image.tga", bytes);
    Texture fromPath;
    AlertRecorder pathAlerts;
    const bool pathOk = LoadTGA(&fromPath, path.c_str());

    std::ifstream stream(path, std::ios::binary);
    const bool ok = LoadTGA2(&texture, &stream);
    EXPECT_EQ(ok, pathOk);
    if (!ok || !pathOk) {
      EXPECT_EQ(pathAlerts.alerts.size(), 2u);
      if (pathAlerts.alerts.size() == 2) {
        EXPECT_EQ(pathAlerts.alerts[0], pathAlerts.alerts[1]);
      }
    } else {
      EXPECT_TRUE(pathAlerts.alerts.empty());
      EXPECT_EQ(Pixels(fromPath), Pixels(texture));
    }
    const auto& last = pathAlerts.alerts;
    alert = last.empty() ? "" : last.back().first + ": " + last.back().second;
    return ok;
  }

  static Bytes Pixels(const Texture& t) {
    if (t.pixels == nullptr) return {};
    return Bytes(t.pixels, t.pixels + size_t(t.width) * t.height * t.bitsPerPixel / 8);
  }

  void ExpectFailure(const Bytes& bytes, const std::string& expected) {
    EXPECT_FALSE(Decode(bytes));
    EXPECT_EQ(alert, expected);
    EXPECT_EQ(texture.pixels, nullptr);
  }

  TempDir dir;
  Texture texture;
  std::string alert;  // "CAPTION: TEXT" of the last alert
};

TEST_F(TGATest, UncompressedSwapsBlueAndRed) {
  ASSERT_TRUE(Decode(MakeTGA(2, 2, 1, 24, {0x10, 0x20, 0x30, 0x40, 0x50, 0x60})));
  EXPECT_EQ(Pixels(texture), (Bytes{0x30, 0x20, 0x10, 0x60, 0x50, 0x40}));
  EXPECT_EQ(texture.width, 2u);
  EXPECT_EQ(texture.height, 1u);
  EXPECT_EQ(texture.bitsPerPixel, 24u);
  EXPECT_EQ(texture.format, kGLRGB);
  EXPECT_EQ(alert, "");

  Texture rgba;
  std::ifstream stream(dir.Write("a.tga", MakeTGA(2, 1, 1, 32, {0x10, 0x20, 0x30, 0xFF}, 8)),
                       std::ios::binary);
  ASSERT_TRUE(LoadTGA2(&rgba, &stream));
  EXPECT_EQ(Pixels(rgba), (Bytes{0x30, 0x20, 0x10, 0xFF}));
  EXPECT_EQ(rgba.format, kGLRGBA);
}

TEST_F(TGATest, RowsStayInFileOrderWhateverTheDescriptorSays) {
  const Bytes rows = {1, 2, 3, 4, 5, 6};  // 1 x 2: bottom row first
  for (uint8_t descriptor : {0x00, 0x20, 0x30, 0xFF}) {
    ASSERT_TRUE(Decode(MakeTGA(2, 1, 2, 24, rows, descriptor))) << int(descriptor);
    EXPECT_EQ(Pixels(texture), (Bytes{3, 2, 1, 6, 5, 4}));
    texture.FreePixels();
  }
}

TEST_F(TGATest, RunLengthPackets) {
  // 0x83: one pixel four times; 0x02: three raw pixels.
  ASSERT_TRUE(Decode(MakeTGA(10, 7, 1, 24, {0x83, 1, 2, 3, 0x02, 4, 5, 6, 7, 8, 9, 10, 11, 12})));
  EXPECT_EQ(Pixels(texture), (Bytes{3, 2, 1, 3, 2, 1, 3, 2, 1, 3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10}));
  texture.FreePixels();

  // 0xFF: 128 copies; 0x7F: 128 raw pixels; packets run across rows.
  Bytes data = {0xFF, 10, 20, 30, 40, 0x7F};
  Bytes expected;
  for (int i = 0; i < 128; ++i) expected.insert(expected.end(), {30, 20, 10, 40});
  for (int i = 0; i < 128; ++i) {
    data.insert(data.end(), {uint8_t(i), 1, 2, 3});
    expected.insert(expected.end(), {2, 1, uint8_t(i), 3});
  }
  ASSERT_TRUE(Decode(MakeTGA(10, 16, 16, 32, data)));
  EXPECT_EQ(Pixels(texture), expected);
  EXPECT_EQ(texture.bitsPerPixel, 32u);
}

TEST_F(TGATest, LeavesTheStreamRightAfterTheImage) {
  // An image followed by other bytes, as in a lump file: the decoder reads
  // ahead for speed but must leave the stream where the image ends.
  for (uint8_t type : {2, 10}) {
    Bytes file = {0xAA, 0xBB};  // bytes before the image
    const Bytes image = type == 2 ? MakeTGA(2, 2, 1, 24, {1, 2, 3, 4, 5, 6})
                                  : MakeTGA(10, 3, 1, 24, {0x81, 1, 2, 3, 0x00, 4, 5, 6});
    file.insert(file.end(), image.begin(), image.end());
    file.insert(file.end(), {0xCC, 0xDD});
    std::ifstream stream(dir.Write("lump.bin", file), std::ios::binary);
    stream.seekg(2);
    Texture t;
    ASSERT_TRUE(LoadTGA2(&t, &stream)) << int(type);
    EXPECT_TRUE(stream.good());
    EXPECT_EQ(stream.tellg(), std::streamoff(2 + image.size())) << int(type);
    EXPECT_EQ(stream.get(), 0xCC);
  }
  // An image that ends the file leaves a good stream at the end.
  const Bytes last = MakeTGA(10, 2, 1, 24, {0x81, 1, 2, 3});
  std::ifstream stream(dir.Write("last.tga", last), std::ios::binary);
  Texture t;
  ASSERT_TRUE(LoadTGA2(&t, &stream));
  EXPECT_TRUE(stream.good());
  EXPECT_EQ(stream.tellg(), std::streamoff(last.size()));
}

TEST_F(TGATest, LargeImagesDecodeAcrossReadBuffers) {
  // Bigger than any internal buffer, with packets straddling its edges.
  const uint16_t width = 300, height = 700;
  Bytes raw, rle, expected;
  for (uint32_t i = 0; i < uint32_t(width) * height; ++i) {
    const uint8_t b = uint8_t(i), g = uint8_t(i >> 8), r = uint8_t(i * 7);
    raw.insert(raw.end(), {b, g, r});
    expected.insert(expected.end(), {r, g, b});
  }
  for (size_t p = 0; p < raw.size() / 3;) {
    const size_t count = std::min<size_t>(1 + p % 128, raw.size() / 3 - p);
    rle.push_back(uint8_t(count - 1));
    rle.insert(rle.end(), raw.begin() + 3 * p, raw.begin() + 3 * (p + count));
    p += count;
  }
  ASSERT_TRUE(Decode(MakeTGA(2, width, height, 24, raw)));
  EXPECT_EQ(Pixels(texture), expected);
  texture.FreePixels();
  ASSERT_TRUE(Decode(MakeTGA(10, width, height, 24, rle)));
  EXPECT_EQ(Pixels(texture), expected);
}

TEST_F(TGATest, RefusesPrefixesOutsideTheAcceptedKind) {
  const std::string invalid = "Invalid Image: TGA file be type 2 or type 10 ";
  for (uint8_t type : {0, 1, 3, 9, 11, 32}) ExpectFailure(MakeTGA(type, 1, 1, 24, {1, 2, 3}), invalid);
  // Identification length, colour map type, colour map specification, origin.
  for (size_t at : {0, 1, 3, 4, 5, 6, 7, 8, 9, 10, 11}) {
    Bytes bytes = MakeTGA(2, 1, 1, 24, {1, 2, 3});
    bytes[at] = 1;
    ExpectFailure(bytes, invalid);
  }
}

TEST_F(TGATest, RefusesBadImageSpecifications) {
  const std::string invalid = "ERROR: Invalid texture information";
  for (uint8_t type : {2, 10}) {
    ExpectFailure(MakeTGA(type, 0, 4, 24, {}), invalid);
    ExpectFailure(MakeTGA(type, 4, 0, 24, {}), invalid);
    for (uint8_t depth : {0, 8, 15, 16, 23, 25, 31, 33, 255})
      ExpectFailure(MakeTGA(type, 1, 1, depth, {1, 2, 3, 4}), invalid);
  }
  // What the specification said stays in the record after a failure.
  ExpectFailure(MakeTGA(2, 7, 9, 16, {}), invalid);
  EXPECT_EQ(texture.width, 7u);
  EXPECT_EQ(texture.height, 9u);
  EXPECT_EQ(texture.bitsPerPixel, 16u);
}

TEST_F(TGATest, ReportsEachTruncation) {
  ExpectFailure({}, "ERROR: Could not read file header");
  ExpectFailure(Bytes(11, 0), "ERROR: Could not read file header");
  Bytes prefixOnly = MakeTGA(2, 1, 1, 24, {});
  prefixOnly.resize(17);
  ExpectFailure(prefixOnly, "ERROR: Could not read info header");
  ExpectFailure(MakeTGA(2, 2, 1, 24, {1, 2, 3, 4, 5}), "ERROR: Could not read image data");
  ExpectFailure(MakeTGA(2, 1, 1, 32, {1, 2, 3}), "ERROR: Could not read image data");
  // Run-length: at a packet boundary, inside a raw packet, before a run's pixel.
  ExpectFailure(MakeTGA(10, 3, 1, 24, {0x81, 1, 2, 3}), "ERROR: Could not read RLE header");
  ExpectFailure(MakeTGA(10, 3, 1, 24, {}), "ERROR: Could not read RLE header");
  ExpectFailure(MakeTGA(10, 3, 1, 24, {0x02, 1, 2, 3, 4, 5, 6, 7}), "ERROR: Could not read image data");
  ExpectFailure(MakeTGA(10, 3, 1, 24, {0x80, 1, 2, 3, 0x81, 1, 2}), "ERROR: Could not read from file");
}

TEST_F(TGATest, RefusesPacketsBeyondTheImage) {
  // A run of four into a three-pixel image, and a raw packet one too long.
  ExpectFailure(MakeTGA(10, 3, 1, 24, {0x83, 1, 2, 3}), "ERROR: Too many pixels read");
  ExpectFailure(MakeTGA(10, 3, 1, 24, {0x00, 1, 1, 1, 0x02, 1, 2, 3, 4, 5, 6, 7, 8, 9}),
                "ERROR: Too many pixels read");
  // Bytes after the packet that completes the image are never looked at.
  ASSERT_TRUE(Decode(MakeTGA(10, 3, 1, 24, {0x82, 1, 2, 3, 0xFF, 0xFF})));
}

TEST_F(TGATest, MissingOrClosedInput) {
  AlertRecorder alerts;
  Texture t;
  EXPECT_FALSE(LoadTGA2(&t, nullptr));
  std::ifstream closed;
  EXPECT_FALSE(LoadTGA2(&t, &closed));
  EXPECT_FALSE(LoadTGA(&t, dir.Path("missing.tga").c_str()));
  EXPECT_FALSE(LoadTGA(&t, nullptr));
  ASSERT_EQ(alerts.alerts.size(), 4u);
  for (const auto& a : alerts.alerts) {
    EXPECT_EQ(a.first, "ERROR");
    EXPECT_EQ(a.second, "Could not open texture file");
  }
}

TEST_F(TGATest, FailedStreamLeftForTheCallerToSee) {
  std::ifstream stream(dir.Write("t.tga", MakeTGA(10, 3, 1, 24, {0x81, 1, 2, 3})), std::ios::binary);
  AlertRecorder alerts;
  Texture t;
  EXPECT_FALSE(LoadTGA2(&t, &stream));
  EXPECT_TRUE(stream.fail());
  EXPECT_TRUE(stream.is_open());
}

// A header claiming a vast image over a few bytes of data must not make the
// decoder reserve memory for the whole claim.
TEST_F(TGATest, CraftedHugeHeaderAllocatesLittle) {
  struct Case {
    uint8_t type;
    Bytes data;
    const char* message;
  } cases[] = {
      {2, Bytes(12, 7), "ERROR: Could not read image data"},
      {10, {0x81, 1, 2, 3, 4, 0x81, 1, 2, 3, 4, 0xFF}, "ERROR: Could not read from file"},
      {10, {0x81, 1, 2, 3, 4, 0x81, 1, 2, 3, 4}, "ERROR: Could not read RLE header"},
      {10, {0x7F, 1, 2, 3, 4, 1, 2, 3, 4}, "ERROR: Could not read image data"},
  };
  for (const Case& c : cases) {
    const Bytes file = MakeTGA(c.type, 65535, 65535, 32, c.data);
    // The pixel buffer is still held when the alert is raised.
    size_t inUse = 0;
    ScopedAlertHandler measure([&](const char* text, const char* caption) {
      inUse = mallinfo2().uordblks;
      alert = std::string(caption) + ": " + text;
    });
    std::ifstream stream(dir.Write("huge.tga", file), std::ios::binary);
    Texture t;
    EXPECT_FALSE(LoadTGA2(&t, &stream));
    EXPECT_EQ(alert, c.message);
    EXPECT_LT(inUse, size_t(64) << 20) << "type " << int(c.type);
    t.FreePixels();
    EXPECT_FALSE(LoadTGA(&t, dir.Path("huge.tga").c_str()));
    EXPECT_EQ(alert, c.message);
    EXPECT_LT(inUse, size_t(64) << 20) << "type " << int(c.type);
  }
}

}  // namespace
