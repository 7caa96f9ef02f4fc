// The view on a fake host: its timing rules over a clock the test moves,
// screens, resizes, stop and start, the preview, and two views at once.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <sys/stat.h>

#include <cmath>
#include <filesystem>

#include "FakeHost.h"
#include "LumpWriter.h"
#include "SceneFixture.h"
#include "TGAWriter.h"
#include "TestFiles.h"
#include "host/Corvan3DSSView.h"
#include "platform/Alert.h"
#include "world/Notes.h"

namespace {

// The saver's own artwork, six small light images.
void WriteArtwork(const TempDir& dir, int images) {
  std::vector<ResourceLump> lumps;
  for (int i = 0; i < images; ++i) {
    Image image;
    image.width = 32;
    image.height = 16;
    image.pixels.assign(32 * 16 * 3, uint8_t(200 + i * 8));
    ResourceLump lump;
    lump.data = EncodeTGA(image, 2);
    lump.alphaMode = 2;
    lumps.push_back(lump);
  }
  dir.Write("brimble.artifacts", BuildResourceFile(lumps));
}

class ViewTest : public ::testing::Test {
protected:
  void SetUp() override {
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    std::string error;
    ASSERT_TRUE(gl.Create(320, 240, &error)) << error;
    WriteTestCurrency(bundle, "Test.dosh", "Test Crown", 2);
    WriteArtwork(bundle, 6);
    host = std::make_unique<FakeHost>(&gl, bundle.dir, user.dir);
    host->store.SetString("version", "1.1");
    host->store.SetInteger("NumNotes", 50);
    host->store.SetInteger("NoteSize", 100);
    host->store.SetString("CurrencyPath2", user.dir);
    previous = SetErrorHandler([this](const char* m) { errors += std::string(m) + "\n"; });
  }
  void TearDown() override {
    SetErrorHandler(std::move(previous));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
  }

  std::unique_ptr<Corvan3DSSView> MakeView(bool preview = false) {
    auto view = std::make_unique<Corvan3DSSView>(ViewSize{320, 240}, preview, host.get());
    view->setFrameSize(ViewSize{320, 240});
    return view;
  }

  // One tick of the host's timer, `after` seconds after the previous one.
  void Tick(Corvan3DSSView& view, double after) {
    host->now += after;
    view.animateOneFrame();
  }

  HeadlessGL gl;
  TempDir bundle, user;
  std::unique_ptr<FakeHost> host;
  std::string errors;
  ErrorHandler previous;
};

TEST_F(ViewTest, FirstTickSetsUpAndTheSecondDraws) {
  auto view = MakeView();
  EXPECT_EQ(view->animationTimeInterval(), 0.02857142857142857);
  EXPECT_EQ(view->ssMain, nullptr);  // no GL work before the first tick
  view->startAnimation();
  Tick(*view, 0.0);
  ASSERT_NE(view->ssMain, nullptr);
  EXPECT_TRUE(view->initialized);
  EXPECT_EQ(host->flushes, 0);  // mainSetup has just set the clock
  ASSERT_NE(view->ssMain->World, nullptr);
  EXPECT_EQ(view->ssMain->World->TOT_NUM_NOTES, 50);
  EXPECT_EQ(view->ssMain->NumTextures, 6);
  Tick(*view, 1.0 / 35);
  EXPECT_EQ(host->flushes, 1);
  EXPECT_NEAR(view->ssMain->RunTime, 1.0 / 35, 1e-9);
  EXPECT_EQ(errors, "");
}

TEST_F(ViewTest, ShortTicksAccumulateIntoOneStep) {
  auto view = MakeView();
  view->startAnimation();
  Tick(*view, 0.0);
  Tick(*view, 0.010);
  EXPECT_EQ(host->flushes, 0);
  EXPECT_EQ(view->ssMain->RunTime, 0.0);
  Tick(*view, 0.010);  // 20 ms since the last step: above 1/60 s
  EXPECT_EQ(host->flushes, 1);
  EXPECT_NEAR(view->ssMain->StepTime, 0.020, 1e-9);
}

TEST_F(ViewTest, ALongStallOnlyResetsTheClock) {
  auto view = MakeView();
  view->startAnimation();
  Tick(*view, 0.0);
  Tick(*view, 0.03);
  const double runTime = view->ssMain->RunTime;
  Tick(*view, 3.0);
  EXPECT_EQ(view->ssMain->RunTime, runTime);
  EXPECT_EQ(host->flushes, 1);
  Tick(*view, 0.03);
  EXPECT_NEAR(view->ssMain->StepTime, 0.03, 1e-9);
  EXPECT_EQ(host->flushes, 2);
}

TEST_F(ViewTest, MainMonitorOnlyDarkensTheOtherScreens) {
  host->store.SetBool("MainMonitorOnly", true);
  auto main = MakeView();
  host->screen = 1;
  auto other = MakeView();
  other->startAnimation();
  EXPECT_FALSE(other->ThisScreenIsOn);
  Tick(*other, 0.0);
  EXPECT_FALSE(other->isAnimating());  // stopped itself at its first tick
  EXPECT_EQ(other->ssMain, nullptr);    // and never set anything up
  host->screen = 0;
  main->startAnimation();
  Tick(*main, 0.0);
  Tick(*main, 0.03);
  EXPECT_TRUE(main->isAnimating());
  EXPECT_NE(main->ssMain, nullptr);
  EXPECT_EQ(host->flushes, 1);

  host->store.SetBool("MainMonitorOnly", false);
  host->screen = 1;
  auto both = MakeView();
  both->startAnimation();
  Tick(*both, 0.0);
  EXPECT_NE(both->ssMain, nullptr);
}

TEST_F(ViewTest, AResizeRebuildsTheViewBeforeTheNextDraw) {
  auto view = MakeView();
  view->startAnimation();
  Tick(*view, 0.0);
  EXPECT_EQ(view->ssMain->ScreenWidth, 320);
  view->setFrameSize(ViewSize{200, 100});
  EXPECT_FALSE(view->glReady);
  Tick(*view, 0.03);
  EXPECT_TRUE(view->glReady);
  EXPECT_EQ(view->ssMain->ScreenWidth, 200);
  EXPECT_EQ(view->ssMain->World->ViewHeight, 100.0f);
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], 200);
  EXPECT_EQ(viewport[3], 100);
}

TEST_F(ViewTest, StopAndStartKeepTheFrameDriver) {
  auto view = MakeView();
  view->startAnimation();
  Tick(*view, 0.0);
  Tick(*view, 0.03);
  SSMAIN* driver = view->ssMain;
  MONEYSS* world = driver->World;
  view->stopAnimation();
  EXPECT_FALSE(view->isAnimating());
  host->now += 60.0;
  view->startAnimation();
  Tick(*view, 0.0);  // the pause is absorbed
  Tick(*view, 0.03);
  EXPECT_EQ(view->ssMain, driver);
  EXPECT_EQ(driver->World, world);
  EXPECT_NEAR(driver->RunTime, 0.06, 1e-9);
}

TEST_F(ViewTest, PreviewDrawsNoOverlayAndItsTimersStandStill) {
  auto view = MakeView(true);
  view->startAnimation();
  Tick(*view, 0.0);
  for (int i = 0; i < 35 * 100; ++i) Tick(*view, 1.0 / 35);
  const SSMAIN& driver = *view->ssMain;
  EXPECT_TRUE(driver.Preview);
  EXPECT_GT(driver.RunTime, 99.0);
  EXPECT_EQ(driver.BannerTimer, 90.0f);
  EXPECT_EQ(driver.BandTimer, 0.0f);
  EXPECT_EQ(driver.ClockTimer, -15.0f);
  EXPECT_EQ(driver.IntroAlphaUpper, -5.0f);
  EXPECT_FALSE(driver.IntroDone);
}

TEST_F(ViewTest, TwoViewsKeepTheirOwnWorlds) {
  auto left = MakeView();
  auto right = std::make_unique<Corvan3DSSView>(ViewSize{160, 240}, false, host.get());
  right->setFrameSize(ViewSize{160, 240});
  left->startAnimation();
  right->startAnimation();
  Tick(*left, 0.0);
  right->animateOneFrame();
  for (int i = 0; i < 35 * 12; ++i) {
    Tick(*left, 1.0 / 35);
    right->animateOneFrame();
  }
  ASSERT_NE(left->ssMain->World, right->ssMain->World);
  EXPECT_EQ(left->ssMain->World->ActiveNotes, 50.0f);
  EXPECT_EQ(right->ssMain->World->ActiveNotes, 50.0f);
  EXPECT_EQ(right->ssMain->ScreenWidth, 160);
  // Each world's notes stay in its own cube, around its own camera.
  for (Corvan3DSSView* view : {left.get(), right.get()}) {
    const MONEYSS& world = *view->ssMain->World;
    for (int i = 0; i < 50; ++i) {
      EXPECT_LE(std::fabs(world.Notes[i].Pos.x - world.Camera.LookAt.x), 30.0f);
      EXPECT_LE(std::fabs(world.Notes[i].Pos.z - world.Camera.LookAt.z), 30.0f);
    }
  }
}

TEST_F(ViewTest, MissingDataLeavesABlackScreenAndSaysWhy) {
  std::filesystem::remove(bundle.Path("Test.dosh"));
  std::filesystem::remove(bundle.Path("brimble.artifacts"));
  auto view = MakeView();
  view->startAnimation();
  for (int i = 0; i < 35 * 20; ++i) Tick(*view, 1.0 / 35);
  EXPECT_EQ(errors, "No Currency Data Found!\n");
  std::vector<unsigned char> pixels(320 * 240 * 4);
  glReadPixels(0, 0, 320, 240, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  for (size_t i = 0; i < pixels.size(); i += 4) ASSERT_EQ(pixels[i] | pixels[i + 1] | pixels[i + 2], 0);
}

TEST_F(ViewTest, AFifoAndAFolderNamedLikeCurrenciesAreSkipped) {
  // Opening the FIFO for reading would wait for a writer for ever.
  ASSERT_EQ(mkfifo(user.Path("X.dosh").c_str(), 0600), 0);
  std::filesystem::create_directory(user.Path("Y.dosh"));
  auto view = MakeView();
  view->startAnimation();
  Tick(*view, 0.0);
  Tick(*view, 1.0 / 35);
  EXPECT_EQ(host->flushes, 1);
  ASSERT_NE(view->ssMain->World, nullptr);
  EXPECT_EQ(view->ssMain->World->NumCurrencies, 1);
  EXPECT_FALSE(view->ssMain->World->CurrencyFileExists("X"));
  EXPECT_EQ(errors, "");
}

TEST_F(ViewTest, RebuildingTheWorldAgainAndAgainLeavesNoGLObjectsBehind) {
  // As the settings window's Save does, with two currencies mixed.
  WriteTestCurrency(bundle, "Second.dosh", "Second Mark", 3);
  host->store.SetBool("MixCurrency", true);
  auto view = MakeView();
  view->startAnimation();
  Tick(*view, 0.0);
  Tick(*view, 1.0 / 35);
  ASSERT_TRUE(view->RebuildWorld());
  Tick(*view, 1.0 / 35);
  const GLObjectCount first = CountGLObjects();
  EXPECT_EQ(first.textures, 6 + 2 + 3);  // the artwork and both currencies' notes
  EXPECT_EQ(first.lists, 3 * (2 + 3));
  for (int i = 1; i < 200; ++i) {
    ASSERT_TRUE(view->RebuildWorld()) << i;
    Tick(*view, 1.0 / 35);
  }
  const GLObjectCount after = CountGLObjects();
  EXPECT_EQ(after.textures, first.textures);
  EXPECT_EQ(after.lists, first.lists);
  EXPECT_EQ(after.texelBytes, first.texelBytes);
  EXPECT_EQ(errors, "");
}

TEST_F(ViewTest, ShortArtworkDrawsTheLayersItCan) {
  WriteArtwork(bundle, 3);
  auto view = MakeView();
  view->startAnimation();
  for (int i = 0; i < 35 * 100; ++i) Tick(*view, 1.0 / 35);
  EXPECT_NE(errors.find("holds 3 images, the overlay needs 6"), std::string::npos) << errors;
  EXPECT_GT(view->ssMain->RunTime, 99.0);
}

TEST_F(ViewTest, ZeroHeightDividesNothing) {
  auto view = std::make_unique<Corvan3DSSView>(ViewSize{320, 0}, false, host.get());
  view->setFrameSize(ViewSize{320, 0});
  view->startAnimation();
  for (int i = 0; i < 35 * 5; ++i) Tick(*view, 1.0 / 35);
  GLdouble projection[16];
  glGetDoublev(GL_PROJECTION_MATRIX, projection);
  for (double value : projection) EXPECT_TRUE(std::isfinite(value));
}

}  // namespace
