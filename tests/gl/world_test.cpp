// Notes drawn on a real context, each list they call caught with the matrix
// and colour it is called under.
#include <dlfcn.h>

#include <cmath>

#include "GLTest.h"
#include "world/GLStuff.h"
#include "world/Notes.h"

namespace {
// A list called: its name, the model-view matrix to 3 decimals, and the colour's red.
using Call = std::tuple<GLuint, std::vector<float>, float>;
std::vector<Call> gCalls;
}  // namespace

extern "C" void glCallList(GLuint list) {
  std::vector<float> m(16);
  float colour[4];
  glGetFloatv(GL_MODELVIEW_MATRIX, m.data());
  glGetFloatv(GL_CURRENT_COLOR, colour);
  for (float& v : m) v = std::round(v * 1000) / 1000;
  gCalls.emplace_back(list, m, colour[0]);
  static const auto real = reinterpret_cast<void (*)(GLuint)>(dlsym(RTLD_NEXT, "glCallList"));
  real(list);
}

namespace {

class WorldTest : public GLTest {
protected:
  void TearDown() override {
    world.reset();  // releases its lists while the context is current
    GLTest::TearDown();
  }
  std::unique_ptr<MONEYSS> world = std::make_unique<MONEYSS>();
};

// Notes are culled against glOrtho(-10, 10, -10, 10, -10, 10); the one denomination's lists are
// 11, 12 and 13.
TEST_F(WorldTest, NotesTurnCullAndRestoreTheMatrix) {
  world->Currencies = new CURRENCYINFO[world->NumCurrencies = 1];
  ONECURRENCY* set = world->Currencies[0].NoteSet = new ONECURRENCY;
  set->NoteLists = new uint32_t[3 * (set->NumNotes = 1)]{11, 12, 13};
  glMatrixMode(GL_PROJECTION);
  glOrtho(-10, 10, -10, 10, -10, 10);
  ExtractFrustum();
  glMatrixMode(GL_MODELVIEW);
  // Its denomination's image waits to be uploaded until a note is drawn with it.
  set->Textures = new Texture[set->NumTextures = 1];
  set->Textures[0].pixels = static_cast<unsigned char*>(std::calloc(4, 1));
  set->Textures[0].width = set->Textures[0].height = 1;
  set->Textures[0].bitsPerPixel = 32;
  ASSERT_TRUE(BuildTextureLater(&set->Textures[0], 0));
  world->NoteScale = 2.0f;
  // The right plane is x = 10: the sphere of radius NoteScale about the pivot decides.
  for (auto [x, currency, list, drawn] : {std::tuple{1.0f, 0, 2, true},
                                          {11.5f, 0, 1, true},
                                          {12.5f, 0, 1, false},
                                          {1.0f, 1, 0, false},     // no such currency
                                          {1.0f, 0, 3, false}}) {  // no such list
    ONENOTE note{
        MakePoint(x, 2, -3), {}, MakePoint(90, -90, 180), {}, currency, list, 0, 0, 0.625f};
    gCalls.clear();
    note.Draw(world.get());
    // The axes x, y and z turned by the tumble about x (90), then the swing about z (180), then
    // the heading about y (-90), and moved to the note; turned in any other order they land
    // elsewhere.
    const std::vector<float> turned = {0, 0, -1, 0, -1, 0, 0, 0, 0, 1, 0, 0, x, 2, -3, 1};
    EXPECT_EQ(gCalls,
              drawn ? std::vector<Call>(1, Call(11 + list, turned, 0.625f)) : std::vector<Call>())
        << x << " " << currency << " " << list;
    GLint depth = 0;
    std::vector<float> m(16), identity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    glGetFloatv(GL_MODELVIEW_MATRIX, m.data());
    EXPECT_EQ(std::pair(depth, m), std::pair(1, identity)) << "the model-view matrix is restored";
    EXPECT_EQ(set->Textures[0].uploadPending, false) << "drawn before its image went to OpenGL";
  }
  // The world draws its released notes, in index order.
  world->Notes = new ONENOTE[world->TOT_NUM_NOTES = 3]();
  for (int i = 0; i < 3; ++i) world->Notes[i].NoteList = 2 - i;
  world->ActiveNotes = 1.5f;
  gCalls.clear();
  world->Draw();
  std::vector<GLuint> lists;
  for (const Call& call : gCalls) lists.push_back(std::get<0>(call));
  EXPECT_EQ(lists, (std::vector<GLuint>{13, 12})) << "notes 0 and 1 alone, in order";
}

}  // namespace
