// The view on a fake host: its timing rules over a clock the test moves,
// screens, resizes, the preview, rebuilt worlds and missing data.
#include <sys/stat.h>

#include <filesystem>

#include "FakeHost.h"
#include "world/Notes.h"

namespace {

class ViewTest : public HostTest {
protected:
  void SetUp() override {
    HostTest::SetUp();
    bundle.Write("Test.dosh", Currency("Test Crown", 2));
    WriteArtwork(bundle, {}, 6);
    host.values = {
        {"version", "1.1"}, {"NumNotes", "50"}, {"NoteSize", "100"}, {"CurrencyPath2", user.dir}};
  }
};

TEST_F(ViewTest, TicksBecomeStepsOfTheMeasuredTime) {
  auto view = MakeView(false);
  EXPECT_EQ(view->ssMain, nullptr);  // no GL work before the first tick
  // Tick times whose differences are exact in binary; then frames drawn, run time, last step.
  for (auto [now, frames, run, step] :
       {std::tuple{0.0, 0, 0.0, 0.0},  // the first tick sets up, and its setup sets the clock
        {1.0 / 60, 0, 0.0, 0.0},       // exactly 1/60 s is too soon: the time accumulates
        {0.03125, 1, 0.03125, 0.03125},
        {2.03125, 2, 2.03125, 2.0},  // exactly 2 s is still a step
        {4.0625, 2, 2.03125, 2.0},   // more is a stall: only the clock is reset
        {4.09375, 3, 2.0625, 0.03125}}) {
    host.now = now;
    view->animateOneFrame();
    EXPECT_EQ(std::tuple(host.flushes, view->ssMain->RunTime, view->ssMain->StepTime),
              std::tuple(frames, run, step))
        << now;
  }
  EXPECT_EQ(view->ssMain->World->TOT_NUM_NOTES, 50);
  EXPECT_EQ(errors, "");
}

// A view of no height is drawn square; the preview draws no overlay, and leaves the perspective
// projection in place.
TEST_F(ViewTest, AResizedPreviewDrawsNoOverlay) {
  auto view = MakeView(true);
  Tick(*view, 0);
  for (auto [w, h, aspect] : {std::tuple{200, 100, 2.0}, {320, 0, 1.0}}) {
    view->setFrameSize(ViewSize{double(w), double(h)});
    EXPECT_FALSE(view->glReady);
    Tick(*view, 0.03125);
    GLint v[4];
    GLdouble p[16];
    glGetIntegerv(GL_VIEWPORT, v);
    glGetDoublev(GL_PROJECTION_MATRIX, p);
    EXPECT_EQ(std::tuple(v[2], v[3], view->ssMain->World->ViewWidth, view->ssMain->ScreenHeight),
              std::tuple(w, h, float(w), h));
    EXPECT_NEAR(p[5] / p[0], aspect, 1e-6);
  }
  Tick(*view, 0.5, 200);  // the overlay's timers stand still
  const SSMAIN& d = *view->ssMain;
  EXPECT_EQ(std::tuple(d.BannerTimer, d.BandTimer, d.ClockTimer, d.IntroAlphaUpper),
            std::tuple(90.0f, 0.0f, -15.0f, -5.0f));
}

TEST_F(ViewTest, MainMonitorOnlyDarkensTheOtherScreens) {
  host.SetBool("MainMonitorOnly", true);
  auto main = MakeView(false);
  host.screen = 1;
  auto other = MakeView(false);
  Tick(*other, 0);  // it stops at its first tick, and sets up nothing
  EXPECT_EQ(std::tuple(other->ThisScreenIsOn, other->isAnimating(), other->ssMain),
            std::tuple(false, false, nullptr));
  Tick(*main, 0.03125, 2);
  EXPECT_EQ(std::tuple(main->isAnimating(), host.flushes), std::tuple(true, 1));
}

// Rebuilt as the settings window's Save does, with two currencies mixed and artwork that holds
// half the images.
TEST_F(ViewTest, RebuildsLeakNothingAndMissingDataIsSaid) {
  bundle.Write("Second.dosh", Currency("Second Mark", 3));
  WriteArtwork(bundle, {}, 3);
  host.SetBool("MixCurrency", true);
  // Not a currency file: reading it would wait for a writer for ever.
  ASSERT_EQ(mkfifo(user.Path("X.dosh").c_str(), 0600), 0);
  auto view = MakeView(false);
  auto count = [&view] {  // with every image uploaded, as frames do one after another
    while (view->ssMain->UploadPendingTexture()) {
    }
    const GLObjectCount c = CountGLObjects();
    return std::tuple(c.textures, c.lists, c.texelBytes);
  };
  Tick(*view, 0);
  const auto first = count();
  EXPECT_EQ(std::get<0>(first), 3 + 5);  // the artwork and both currencies' notes
  EXPECT_EQ(std::get<1>(first), 15);
  for (int i = 0; i < 200; ++i) ASSERT_TRUE(view->RebuildWorld()) << i;
  Tick(*view, 0.03125);
  EXPECT_EQ(count(), first);
  EXPECT_EQ(std::tuple(host.flushes, view->ssMain->World->NumCurrencies), std::tuple(1, 2));
  std::filesystem::remove(bundle.Path("Test.dosh"));
  std::filesystem::remove(bundle.Path("Second.dosh"));
  // Without a currency frames go on, timed from 0 since the failed setup set no clock.
  auto black = MakeView(false);
  Tick(*black, 0.5, 10);
  EXPECT_EQ(errors, bundle.Path("brimble.artifacts") +
                        ": holds 3 images, the overlay needs 6\nNo Currency Data Found!\n");
  EXPECT_EQ(black->ssMain->RunTime, 5.03125);
}

}  // namespace
