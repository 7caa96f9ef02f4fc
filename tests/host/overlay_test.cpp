// The overlay's timers over simulated time: corner banner, notice band,
// clock and intro, with the random draws scripted.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <deque>

#include "host/SSMain.h"
#include "maths/Random.h"
#include "platform/HeadlessGL.h"
#include "world/Notes.h"

namespace {

class OverlayTest : public ::testing::Test {
protected:
  void SetUp() override {
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    std::string error;
    // A small surface: the overlay's timers are the subject, not its pixels.
    ASSERT_TRUE(gl.Create(64, 40, &error)) << error;
    ASSERT_TRUE(driver.Setup(false, 1280, 800));
    previous = SetRandomSource([this] {
      if (draws.empty()) {
        ADD_FAILURE() << "an unscripted draw at " << driver.RunTime << " s";
        return 0;
      }
      const int draw = draws.front();
      draws.pop_front();
      return draw;
    });
  }
  void TearDown() override {
    SetRandomSource(std::move(previous));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
  }

  // Steps the overlay (not the world) until RunTime reaches t.
  void RunUntil(double t, double step = 1.0 / 35) {
    while (driver.RunTime + step <= t + 1e-9) {
      driver.Update(step);
      driver.DoOverlay();
    }
  }

  HeadlessGL gl;
  SSMAIN driver;
  std::deque<int> draws;
  RandomSource previous;
};

TEST_F(OverlayTest, BannerFirstShowsAtNinetySecondsAtTheTop) {
  RunUntil(89.9);
  EXPECT_FALSE(driver.BannerShown);
  draws = {1, 7};  // message 4 + 1 % 2; an odd draw puts it at the right edge
  RunUntil(90.1);
  EXPECT_TRUE(draws.empty());
  EXPECT_TRUE(driver.BannerShown);
  EXPECT_TRUE(driver.BannerTop);
  EXPECT_EQ(driver.MessageTexture, 5u);
  EXPECT_EQ(driver.BannerPos.x, 1280.0f - 256.0f);
  EXPECT_GT(driver.BannerPos.y, 800.0f - 40.0f);  // sliding in from above
  RunUntil(109.0);
  EXPECT_NEAR(driver.BannerPos.y, 760.0f, 1.0f);  // settled at the top edge
  RunUntil(110.1);
  EXPECT_FALSE(driver.BannerShown);  // 20 s shown
  RunUntil(139.9);
  EXPECT_FALSE(driver.BannerShown);  // 30 s hidden
  draws = {0, 2};
  RunUntil(140.1);
  EXPECT_TRUE(driver.BannerShown);
  EXPECT_FALSE(driver.BannerTop);  // then the bottom edge
  EXPECT_EQ(driver.MessageTexture, 4u);
  EXPECT_EQ(driver.BannerPos.x, 0.0f);
  RunUntil(159.0);
  EXPECT_NEAR(driver.BannerPos.y, 5.0f, 1.0f);
}

TEST_F(OverlayTest, BannerLandsOnItsEdgeInTheLongestSteps) {
  // Easing a whole pixel distance twice over per step would swing it for ever.
  draws = {0};  // the clock's first phase
  RunUntil(88.0, 2.0);
  draws = {1, 7};
  RunUntil(92.0, 2.0);
  ASSERT_TRUE(driver.BannerShown);
  RunUntil(100.0, 2.0);
  EXPECT_EQ(driver.BannerPos.y, 760.0f);
  EXPECT_TRUE(draws.empty());
}

TEST_F(OverlayTest, FirstBandAtSixtySecondsShowsMessageFive) {
  RunUntil(59.9);
  EXPECT_EQ(driver.BandAlpha, 0.0f);
  RunUntil(61.0);
  EXPECT_GT(driver.BandTimer, 18.0f);
  EXPECT_EQ(driver.MessageTexture, 5u);
  EXPECT_NEAR(driver.BandAlpha, 0.5f, 0.05f);  // half way through its 2 s fade-in
  RunUntil(70.0);
  EXPECT_EQ(driver.BandAlpha, 1.0f);
  draws = {0, 0};  // the banner at 90 s
  RunUntil(83.0);
  EXPECT_EQ(driver.BandAlpha, 0.0f);  // faded out after 20 s
  RunUntil(139.9);
  EXPECT_EQ(driver.BandAlpha, 0.0f);
  draws = {0, 0};  // the banner at 140 s
  RunUntil(141.0);
  EXPECT_GT(driver.BandAlpha, 0.0f);  // back 60 s after its phase ended
}

TEST_F(OverlayTest, ClockShowsAfterFifteenSecondsForItsDrawnTime) {
  driver.World->SHOWCLOCK = true;
  RunUntil(14.9);
  EXPECT_EQ(driver.ClockAlpha, 0.0f);
  draws = {100};  // shown for 100 mod 180 + 60 = 160 s, unless a band comes
  RunUntil(15.1);
  EXPECT_TRUE(draws.empty());
  EXPECT_GT(driver.ClockTimer, 159.0f);
  RunUntil(17.2);
  EXPECT_EQ(driver.ClockAlpha, 1.0f);
  RunUntil(60.1);  // the band holds the clock's timer at 0: it makes way
  EXPECT_LE(driver.ClockTimer, 0.0f);
  EXPECT_GT(driver.ClockTimer, -0.05f);
  RunUntil(63.0);
  EXPECT_EQ(driver.ClockAlpha, 0.0f);
}

TEST_F(OverlayTest, ClockStaysOffWithoutTheSetting) {
  RunUntil(70.0);
  EXPECT_EQ(driver.ClockAlpha, 0.0f);
  EXPECT_EQ(driver.ClockTimer, 0.0f);  // only the band touches it
}

TEST_F(OverlayTest, IntroFadesInTurnAndEnds) {
  RunUntil(5.0);
  EXPECT_NEAR(driver.IntroAlphaUpper, 0.0f, 0.03f);
  RunUntil(6.0);
  EXPECT_NEAR(driver.IntroAlphaUpper, 1.0f, 0.03f);
  EXPECT_EQ(driver.IntroAlphaLower, -1.0f);
  RunUntil(7.0);
  EXPECT_NEAR(driver.IntroAlphaLower, 0.0f, 0.03f);
  RunUntil(8.0);
  EXPECT_NEAR(driver.IntroAlphaLower, 1.0f, 0.03f);
  RunUntil(12.0);
  EXPECT_NEAR(driver.IntroAlphaUpper, 1.0f, 0.03f);
  EXPECT_FALSE(driver.IntroDone);
  RunUntil(13.05);
  EXPECT_LE(driver.IntroAlphaUpper, 0.0f);
  RunUntil(14.2);
  EXPECT_TRUE(driver.IntroDone);
}

TEST(ClockGlyphs, TwelveAndTwentyFourHours) {
  int g[8];
  ClockGlyphs(0, 0, 0, false, g);
  EXPECT_EQ(std::vector<int>(g, g + 8), (std::vector<int>{0, 0, 10, 0, 0, 10, 0, 0}));
  ClockGlyphs(0, 30, 15, true, g);
  EXPECT_EQ(std::vector<int>(g, g + 8), (std::vector<int>{1, 2, 10, 3, 0, 10, 1, 5}));
  ClockGlyphs(13, 5, 9, true, g);
  EXPECT_EQ(std::vector<int>(g, g + 8), (std::vector<int>{0, 1, 10, 0, 5, 10, 0, 9}));
  ClockGlyphs(12, 0, 0, true, g);
  EXPECT_EQ(std::vector<int>(g, g + 8), (std::vector<int>{1, 2, 10, 0, 0, 10, 0, 0}));
  ClockGlyphs(21, 7, 0, false, g);
  EXPECT_EQ(std::vector<int>(g, g + 8), (std::vector<int>{2, 1, 10, 0, 7, 10, 0, 0}));
}

}  // namespace
