// The whole scene on a real GL context: a world set up from a currency on
// disk, stepped through simulated time and drawn.
#include <cmath>

#include "GLTest.h"
#include "SceneFixture.h"
#include "platform/Alert.h"
#include "world/GLStuff.h"
#include "world/Notes.h"

namespace {

class SceneTest : public GLTest {
protected:
  void SetUp() override {
    GLTest::SetUp();
    previous = SetErrorHandler([this](const char* m) { errors += std::string(m) + "\n"; });
  }
  void TearDown() override {
    SetErrorHandler(std::move(previous));
    GLTest::TearDown();
  }

  // One frame in the frame driver's order.
  void Frame(MONEYSS& world, double step) {
    world.FrameTime = step;
    world.TotalTime += step;
    Perspective(kWidth, kHeight);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_TEXTURE_2D);
    world.Camera.Move(&world);
    ExtractFrustum();
    world.Move();
    world.Draw();
    glDisable(GL_TEXTURE_2D);
  }

  TempDir dir;
  std::string errors;
  ErrorHandler previous;
};

TEST_F(SceneTest, SetupLoadsTheCurrencyAndSpawnsEveryNote) {
  WriteTestCurrency(dir, "Test.dosh", "Test Crown", 7);
  SETTINGS settings = TestSettings(dir.dir, "Test.dosh", 300);
  settings.MIXCURRENCY = true;  // one currency: nothing to mix
  MONEYSS world;
  ASSERT_TRUE(world.Setup(&settings)) << errors;
  EXPECT_FALSE(world.MIXCURRENCY);
  EXPECT_EQ(world.NumCurrencies, 1);
  EXPECT_STREQ(world.Currencies[0].Name, "Test Crown");
  ASSERT_NE(world.Currencies[0].NoteSet, nullptr);
  EXPECT_EQ(world.Currencies[0].NoteSet->NumNotes, 7);
  EXPECT_EQ(world.ActiveNotes, 0.0f);
  EXPECT_EQ(world.NoteScale, 1.5f);
  int flat = 0;
  for (int i = 0; i < 300; ++i) {
    EXPECT_EQ(world.Notes[i].Pos.y, 25.0f);
    EXPECT_GE(world.Notes[i].NoteList, 0);
    EXPECT_LT(world.Notes[i].NoteList, 21);
    flat += world.Notes[i].Tumbling;
  }
  EXPECT_GT(flat, 50);  // about a third of the notes are flat
  EXPECT_LT(flat, 150);
  EXPECT_EQ(errors, "");
}

TEST_F(SceneTest, TwentySecondsOfFramesShowNotes) {
  WriteTestCurrency(dir, "Test.dosh", "Test Crown", 3);
  const SETTINGS settings = TestSettings(dir.dir, "Test.dosh", 500);
  SceneState(kWidth, kHeight);
  MONEYSS world;
  ASSERT_TRUE(world.Setup(&settings)) << errors;
  for (int frame = 0; frame < 20 * 35; ++frame) Frame(world, 1.0 / 35);
  EXPECT_EQ(world.ActiveNotes, 500.0f);

  const std::vector<unsigned char> pixels = GLTest::Frame();
  size_t lit = 0;
  for (size_t i = 0; i < pixels.size(); i += 4) lit += (pixels[i] | pixels[i + 1] | pixels[i + 2]) > 16;
  EXPECT_GT(lit, pixels.size() / 4 / 50) << "fewer than 2% of the pixels show a note";
  EXPECT_LT(lit, pixels.size() / 4) << "the whole frame is covered";
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(SceneTest, WorldWithoutCurrenciesDrawsNothingAndKeepsRunning) {
  SETTINGS settings = TestSettings(dir.Path("empty"), "Test.dosh", 100);
  SceneState(kWidth, kHeight);
  MONEYSS world;
  EXPECT_FALSE(world.Setup(&settings));
  EXPECT_EQ(errors, "No Currency Data Found!\n");
  for (int frame = 0; frame < 35 * 30; ++frame) Frame(world, 1.0 / 35);
  const std::vector<unsigned char> pixels = GLTest::Frame();
  for (size_t i = 0; i < pixels.size(); i += 4) ASSERT_EQ(pixels[i] | pixels[i + 1] | pixels[i + 2], 0);
  EXPECT_FALSE(world.Camera.Following);
}

}  // namespace
