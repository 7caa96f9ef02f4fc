// The view on a fake host: its timing rules over a clock the test moves,
// screens, resizes, the preview, rebuilt worlds and missing data.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "FakeHost.h"
#include "world/Notes.h"

namespace {

class ViewTest : public HostTest {
protected:
  void SetUp() override {
    HostTest::SetUp();
    WriteCurrency(bundle, "Test.dosh", "Test Crown", 2);
    WriteArtwork(bundle, {}, 6);
    host.values = {
        {"version", "1.1"}, {"NumNotes", "50"}, {"NoteSize", "100"}, {"CurrencyPath2", user.dir}};
  }
};

TEST_F(ViewTest, TicksBecomeStepsOfTheMeasuredTime) {
  auto view = MakeView(false);
  EXPECT_EQ(view->animationTimeInterval(), 0.02857142857142857);
  EXPECT_EQ(view->ssMain, nullptr);  // no GL work before the first tick
  auto steps = [&] {
    return Line("%d %g %g", host.flushes, view->ssMain->RunTime, view->ssMain->StepTime);
  };
  // Tick times whose differences are exact in binary; then frames drawn, run time, last step.
  for (auto [now, drawn] :
       {std::pair{0.0, "0 0 0"},  // the first tick sets up, and its setup has just set the clock
        {1.0 / 60, "0 0 0"},      // exactly 1/60 s is too soon: the time accumulates
        {0.03125, "1 0.03125 0.03125"},
        {2.03125, "2 2.03125 2"},  // exactly 2 s is still a step
        {4.0625, "2 2.03125 2"},   // more is a stall: only the clock is reset
        {4.09375, "3 2.0625 0.03125"}}) {
    host.now = now;
    view->animateOneFrame();
    EXPECT_EQ(steps(), drawn) << now;
  }
  EXPECT_EQ(Line("%d ", int(view->ssMain->World->TOT_NUM_NOTES)) + errors, "50 ");
}

TEST_F(ViewTest, AResizeSetsThePreviewUpAgainAndItDrawsNoOverlay) {
  auto view = MakeView(true);  // the preview leaves the perspective projection in place
  Tick(*view, 0);
  // Viewport, driver, world, and the projection's aspect: a view of no height is drawn square.
  for (auto [size, shown] : {std::pair{ViewSize{200, 100}, "200x100 200x100 200x100 2.000"},
                             {ViewSize{320, 0}, "320x0 320x0 320x0 1.000"}}) {
    view->setFrameSize(size);
    EXPECT_FALSE(view->glReady);
    Tick(*view, 0.03125);
    GLint v[4];
    GLdouble p[16];
    glGetIntegerv(GL_VIEWPORT, v);
    glGetDoublev(GL_PROJECTION_MATRIX, p);
    const SSMAIN& d = *view->ssMain;
    EXPECT_EQ(Line("%dx%d %dx%d %gx%g %.3f", v[2], v[3], d.ScreenWidth, d.ScreenHeight,
                   d.World->ViewWidth, d.World->ViewHeight, p[5] / p[0]),
              shown);
  }
  Tick(*view, 0.5, 200);  // the overlay's timers stand still
  const SSMAIN& d = *view->ssMain;
  EXPECT_EQ(Line("%g %g %g %g %g %d", d.RunTime, d.BannerTimer, d.BandTimer, d.ClockTimer,
                 d.IntroAlphaUpper, d.IntroDone),
            "100.062 90 0 -15 -5 0");
}

TEST_F(ViewTest, MainMonitorOnlyDarkensTheOtherScreens) {
  host.SetBool("MainMonitorOnly", true);
  auto main = MakeView(false);
  host.screen = 1;
  auto other = MakeView(false);
  Tick(*other, 0);
  EXPECT_FALSE(other->ThisScreenIsOn || other->isAnimating() ||
               other->ssMain);  // it stopped at its first tick, set up nothing
  Tick(*main, 0.03125, 2);
  EXPECT_TRUE(main->isAnimating() && host.flushes == 1);
  host.SetBool("MainMonitorOnly",
               false);  // without it every screen animates, each with its own world
  auto both = MakeView(false);
  Tick(*both, 0);
  EXPECT_NE(both->ssMain->World, main->ssMain->World);
}

// Rebuilt as the settings window's Save does, with two currencies mixed and artwork that holds half
// the images.
TEST_F(ViewTest, RebuiltWorldsLeaveNoGLObjectsBehindAndWhatIsMissingIsSaid) {
  WriteCurrency(bundle, "Second.dosh", "Second Mark", 3);
  WriteArtwork(bundle, {}, 3);
  host.SetBool("MixCurrency", true);
  ASSERT_EQ(mkfifo(user.Path("X.dosh").c_str(), 0600),
            0);  // not a currency file: reading it would wait for a writer for ever
  auto view = MakeView(false);
  auto count = [&view] {  // with every image uploaded, as frames do one after another
    while (view->ssMain->UploadPendingTexture()) {
    }
    const GLObjectCount c = CountGLObjects();
    return Line("%d textures, %d lists, %llu bytes", c.textures, c.lists,
                (unsigned long long)c.texelBytes);
  };
  Tick(*view, 0);
  const std::string first = count();
  for (int i = 0; i < 200; ++i) ASSERT_TRUE(view->RebuildWorld()) << i;
  Tick(*view, 0.03125);
  EXPECT_EQ(first.substr(0, 21),
            "8 textures, 15 lists,");  // the artwork and both currencies' notes
  EXPECT_EQ(count() + Line(" %d %d", host.flushes, view->ssMain->World->NumCurrencies),
            first + " 1 2");
  std::filesystem::remove(bundle.Path("Test.dosh")),
      std::filesystem::remove(bundle.Path("Second.dosh"));
  auto black = MakeView(
      false);  // without a currency frames go on, timed from 0 since the failed setup set no clock
  Tick(*black, 0.5, 10);
  EXPECT_EQ(errors + Line("%g", black->ssMain->RunTime),
            bundle.Path("brimble.artifacts") +
                ": holds 3 images, the overlay needs 6\nNo Currency Data Found!\n5.03125");
}

}  // namespace
