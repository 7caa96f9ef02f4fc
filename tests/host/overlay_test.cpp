// The overlay drawn by the frame driver with artwork of its own, each image
// one recognisable colour, read back from the framebuffer where and when its
// layer's timers say it shows. The surface is 1024 x 768, so the overlay's
// virtual space is the pixel grid, over a grey background; steps of 1/4 s
// keep every timer exact.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "FakeHost.h"
#include "data/ResFile.h"
#include "maths/Random.h"
#include "world/Notes.h"

namespace {

constexpr uint32_t kGrey = 0x404040, kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF,
                   kCyan = 0x00FFFF;
constexpr uint32_t kLit = 0xFFFFFFFF;  // anything but the background

// rgb scaled, drawn with this alpha over the grey background.
uint32_t Over(uint32_t rgb, double alpha, double scale = 1.0) {
  uint32_t out = 0;
  for (int shift : {16, 8, 0})
    out |= uint32_t(((rgb >> shift) & 0xFF) * scale * alpha + 0x40 * (1 - alpha) + 0.5) << shift;
  return out;
}
// Glyph g of the sheet (red 20 g + 30, full green) as the clock draws it: 70 % grey at 75 % alpha.
uint32_t Glyph(uint32_t g) { return Over((20 * g + 30) << 16 | 0xFF00, 0.75, 0.7); }

struct Spot {
  double t;
  int x, y;
  uint32_t rgb;
};  // at t seconds, pixel (x, y) shows rgb

// At s.t, pixel (s.x, s.y) shows s.rgb, within 2 a channel; kLit: more than 8 off the background.
void Check(const Spot& s) {
  unsigned char p[4];
  glReadPixels(s.x, s.y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
  int off = 0;
  for (int i = 0; i < 3; ++i)
    off = std::max(off,
                   std::abs(p[i] - int(((s.rgb == kLit ? kGrey : s.rgb) >> (16 - 8 * i)) & 0xFF)));
  EXPECT_EQ(s.rgb == kLit ? off > 8 : off <= 2, true)
      << "at " << s.t << " s, (" << s.x << ", " << s.y << ") is " << std::hex
      << (p[0] << 16 | p[1] << 8 | p[2]) << ", not " << s.rgb;
}

using OverlayTest = HostTest;

TEST_F(OverlayTest, EachLayerShowsWhereAndWhen) {
  // The glyph sheet: cells 8 texels wide, the glyphs in the top eighth, magenta below; then the
  // badge, the upper and the lower intro image, and the two messages.
  auto solid = [](uint32_t w, uint32_t h, uint32_t rgb) {
    return Tga(w, h, [rgb](uint32_t, uint32_t) { return rgb; });
  };
  WriteArtwork(bundle, {Tga(128, 64,
                            [](uint32_t x, uint32_t y) {
                              return y < 56 ? 0xFF00FF : (20 * (x / 8) + 30) << 16 | 0xFF00;
                            }),
                        solid(128, 16, kRed), solid(128, 32, kGreen), solid(128, 64, kBlue),
                        solid(256, 16, 0xFFFF00), solid(256, 16, kCyan)});
  SSMAIN driver;
  ASSERT_TRUE(driver.Setup(false, 1024, 768));
  ASSERT_TRUE(LoadTexturesFromDataFile(bundle.Path("brimble.artifacts").c_str(), &driver.Textures,
                                       &driver.NumTextures));
  driver.World->SHOWCLOCK = driver.World->CLOCK12HR = true;
  driver.World->CLOCKSIZE = 90;
  driver.World->Camera.Rotate = driver.World->Camera.ZOOMIN = false;  // a still camera: no draws
  driver.ClockSource = [](int* h, int* m, int* s) { *h = 0, *m = 34, *s = 56; };
  glClearColor(0.25f, 0.25f, 0.25f, 1.0f);
  // The clock at 15.25 s; the banner at 90.25 s (message 5, left); the clock at 110 s; the banner
  // at 140.75 s.
  const std::vector<int> draws = {100, 1, 2, 250, 0, 1};
  size_t next = 0;
  RandomSource random = SetRandomSource([&] { return draws.at(next++); });  // running out throws
  auto runUntil = [&driver](double t) {
    while (driver.RunTime < t) driver.Update(0.25), driver.Draw();
  };
  const uint32_t half = Over(kBlue, 0.5);
  std::vector<Spot> spots = {
      // The upper intro image fades in from 5 s, the lower one after it; from 12 s they fade out in
      // turn.
      {5.5, 512, 614, Over(kGreen, 0.5)},
      {7.5, 512, 192, half},
      {13.25, 512, 614, kGrey},
      // Whole, 512 x 128 centred on (512, 614.4), and 512 x 256 on (512, 192).
      {7.5, 260, 614, kGreen},
      {7.5, 254, 614, kGrey},
      {7.5, 512, 316, half},
      {7.5, 512, 322, kGrey},
      // The clock at 20 s, 00:34:56 on a 12-hour clock: glyphs of 90 x 90 centred on y 384 from x
      // 228.5, 67.5 apart.
      {20, 227, 384, kGrey},
      {20, 229, 384, kLit},
      {20, 273, 346, Glyph(1)},
      // The first notice band, from 60 s: message 5 over a darkened screen, half way in and then
      // whole.
      {61.25, 100, 384, 0x109090},
      {70, 100, 384, kCyan},
      {70, 100, 348, 0},
      // The first banner, at the top: the badge at the left edge, the message in the middle.
      {100, 2, 744, kRed},
      {100, 258, 744, kCyan},
      {100, 128, 730, kRed},
      // Hidden for 30 s after its 20 s: nothing at the bottom edge yet.
      {140.5, 128, 20, kGrey}};
  int k = 0;
  for (uint32_t glyph : {1, 2, 10, 3, 4, 10, 5, 6})
    spots.push_back({20, int(273.5 + 67.5 * k++), 384, Glyph(glyph)});
  std::stable_sort(spots.begin(), spots.end(),
                   [](const Spot& a, const Spot& b) { return a.t < b.t; });
  for (const Spot& s : spots) {
    runUntil(s.t);
    Check(s);
  }
  EXPECT_EQ(driver.ClockTimer, 250 % 180 + 60 - 30.5f);  // the second showing, drawn at 110 s
  runUntil(140.75);
  SetRandomSource(std::move(random));
  EXPECT_EQ(next, draws.size()) << "draws left";
  EXPECT_EQ(
      std::tuple(driver.BannerShown, driver.BannerTop, driver.MessageTexture, driver.BannerPos.x),
      std::tuple(true, false, 4u, 768.0f));
}

// Glyph 10 is the colon.
TEST(ClockGlyphs, TwelveAndTwentyFourHours) {
  int g[2][8];
  ClockGlyphs(0, 0, 0, false, g[0]);
  ClockGlyphs(13, 5, 9, true, g[1]);
  EXPECT_EQ(std::vector<int>(g[0], g[2]),
            (std::vector<int>{0, 0, 10, 0, 0, 10, 0, 0, 0, 1, 10, 0, 5, 10, 0, 9}));
}

}  // namespace
