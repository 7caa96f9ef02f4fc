// The currency list and currency loading, on real folders and a real GL
// context: which files are listed and in what order, how the selection falls
// back, the failure messages, what a currency may cost, and that each
// texture and display list made for a currency is released again.
#include "data/Currency.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "GLTest.h"
#include "world/Notes.h"

namespace {

using Strings = std::vector<std::string>;
// The textures and the display lists alive.
std::pair<int, int> Live() {
  const GLObjectCount count = CountGLObjects(4096);
  return {count.textures, count.lists};
}

class CurrencyTest : public GLTest {
protected:
  void SetUp() override {
    GLTest::SetUp();
    NewWorld(one, two);
  }
  void TearDown() override {
    SetErrorHandler(std::move(previous));
    world.reset();  // releases textures and lists while the context is current
    GLTest::TearDown();
  }
  void NewWorld(const TempDir& first, const TempDir& second, const char* firstName = "/",
                const char* secondName = "/") {
    world = std::make_unique<MONEYSS>();
    CopyString(world->CurrencyPath, PATH_BUFFER_SIZE, (first.dir + firstName).c_str());
    CopyString(world->CurrencyPath2, PATH_BUFFER_SIZE, (second.dir + secondName).c_str());
    errors.clear();
  }
  // "1|file" or "2|file" by the folder it was found in, for each entry in list order.
  Strings Listed() const {
    Strings listed;
    for (int i = 0; i < world->NumCurrencies; ++i)
      listed.push_back(
          (std::strcmp(world->Currencies[i].Folder, world->CurrencyPath) ? "2|" : "1|") +
          std::string(world->Currencies[i].FileName));
    return listed;
  }
  // Lists the currencies, selects fileName and loads.
  bool Load(const char* fileName, bool mix = false) {
    if (!world->BuildCurrencyList()) return false;
    CopyString(world->SelectedCurrencyName, PATH_BUFFER_SIZE, fileName);
    world->FindSelectedCurrency();
    world->MIXCURRENCY = mix;
    return world->LoadCurrencyData();
  }

  TempDir one, two;
  Strings errors;
  ErrorHandler previous = SetErrorHandler([this](const char* m) { errors.emplace_back(m); });
  AlertRecorder alerts;
  std::unique_ptr<MONEYSS> world;
};

TEST_F(CurrencyTest, ListsBothFoldersAndSelects) {
  one.Write("a.dosh", Currency("Name a", 1));
  two.Write("c.dosh", Currency("Name c", 3));
  two.Write("a.dosh", Currency("Name a", 1));
  // Not currencies: the wrong case or ending, another magic (the headers' checks are the unit
  // tests'), no notes.
  Bytes magic = Currency("Valid", 1);
  for (const char* name : {"EURO.DOSH", "euro.dosh.bak", "xdosh"}) one.Write(name, magic);
  std::memcpy(magic.data() + 40, "CORW", 4);
  two.Write("magic.dosh", magic);
  two.Write("empty.dosh", BuildCurrencyFile("Empty", 1, {}));
  EXPECT_EQ(CountFiles(world->CurrencyPath, world->CurrencyPath2, ".dosh"), 3);
  ASSERT_TRUE(world->BuildCurrencyList());
  Strings listed = Listed();  // the first folder's first, then each in its directory's order
  std::sort(listed.begin() + 1, listed.end());
  EXPECT_EQ(listed, (Strings{"1|a.dosh", "2|a.dosh", "2|c.dosh"}));
  for (const CURRENCYINFO* e = world->Currencies; e < world->Currencies + 3; ++e)
    EXPECT_EQ(std::tuple(std::string(e->Name), e->NumNotes),
              std::tuple("Name " + std::string(1, e->FileName[0]), e->FileName[0] == 'a' ? 1 : 3));
  // By file name, the first folder's first; a name not listed selects the first entry.
  for (auto [name, found] :
       {std::pair{"a.dosh", "1|a.dosh"}, {"c.dosh", "2|c.dosh"}, {"C.dosh", ""}, {"Name c", ""}}) {
    CopyString(world->SelectedCurrencyName, PATH_BUFFER_SIZE, name);
    world->FindSelectedCurrency();
    const std::string listed = Listed().at(size_t(world->CurrentCurrency));
    EXPECT_EQ(std::tuple(listed, world->SelectedCurrencyName),
              std::tuple(*found ? found : Listed()[0], listed.substr(2)))
        << name;
  }
  EXPECT_EQ(errors, Strings{});
}

// A file named just ".dosh" is not counted, but taken when there is room; a missing folder is
// passed over, and with both missing no list is kept.
TEST_F(CurrencyTest, ListingPassesOverMissingFolders) {
  one.Write(".dosh", Currency("Alpha", 1));
  two.Write("b.dosh", Currency("Bee", 1));
  ASSERT_TRUE(world->BuildCurrencyList());
  EXPECT_EQ(Listed(), Strings{"1|.dosh"});
  NewWorld(one, two, "/gone/");
  ASSERT_TRUE(world->BuildCurrencyList());
  EXPECT_EQ(Listed(), Strings{"2|b.dosh"});
  NewWorld(one, two, "/gone/", "/gone/");
  EXPECT_FALSE(world->BuildCurrencyList());
  EXPECT_EQ(std::tuple(errors, world->Currencies),
            std::tuple(Strings{"No Currency Data Found!"}, nullptr));
}

TEST_F(CurrencyTest, LoadingBuildsAndCleanupReleases) {
  const CurrencyLump text{Lump(1).data, 7, 0, 120, 60};  // not an image: no texture
  one.Write("a.dosh", BuildCurrencyFile("Alpha", 1,
                                        {Lump(0, 156, 70), text, Lump(2, 1, 0), Lump(3, 99, 257)}));
  two.Write("b.dosh", Currency("Bee", 2));
  ASSERT_TRUE(Load("a.dosh"));
  EXPECT_EQ(world->Currencies[1].NoteSet, nullptr) << "only the selected currency is loaded";
  const CURRENCYINFO& a = world->Currencies[0];
  ASSERT_NE(a.NoteSet, nullptr);
  EXPECT_EQ(std::pair(a.NoteSet->NumNotes, a.NoteSet->NumTextures), std::pair(4, 4));
  // Per lump: its note's size, its texture's first texel's red and alpha, and whether each of its
  // three lists binds that texture.
  std::vector<std::vector<float>> got;
  for (int i = 0; i < 4; ++i) {
    Texture& texture = a.NoteSet->Textures[i];
    unsigned char texels[4 * 4 * 2] = {};
    UploadTexture(&texture);  // as the first note drawn with it would
    glBindTexture(GL_TEXTURE_2D, texture.textureId);
    if (texture.textureId) glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
    got.push_back({a.NoteSizes[i].x, a.NoteSizes[i].y, float(texels[0]), float(texels[3])});
    for (int k = 3 * i; k < 3 * i + 3; ++k) {
      GLint bound = -1;
      glBindTexture(GL_TEXTURE_2D, 0);
      glCallList(a.NoteSet->NoteLists[k]);
      glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
      got.back().push_back(GLuint(bound) == texture.textureId);
    }
  }
  EXPECT_EQ(got, (std::vector<std::vector<float>>{{1.56f, 0.7f, 20, 255, 1, 1, 1},
                                                  {1.2f, 0.6f, 0, 0, 1, 1, 1},
                                                  {0.01f, 0, 80, 255, 1, 1, 1},
                                                  {0.99f, 2.57f, 110, 255, 1, 1, 1}}));
  EXPECT_EQ(Live(), std::pair(3, 12)) << "a list name is used twice";
  world->CleanupCurrencyList();
  EXPECT_EQ(std::tuple(world->Currencies, world->NumCurrencies, Live()),
            std::tuple(nullptr, 0, std::pair(0, 0)));
  ASSERT_TRUE(Load("a.dosh", true));  // mixing loads them all
  EXPECT_EQ(Live(), std::pair(3 + 2, 12 + 6));
  EXPECT_EQ(std::pair(errors.size(), alerts.alerts.size()), std::pair(0ul, 0ul));
}

TEST_F(CurrencyTest, CorruptImageStopsTheLoad) {
  const GLuint foreign = glGenLists(1);  // a name a careless cleanup could delete
  glNewList(foreign, GL_COMPILE);
  glEndList();
  const CurrencyLump corrupt{MakeTGA(2, 4, 2, 16, Bytes(16, 0)), 1, 0, 150, 70};  // 16 bits
  one.Write("bad.dosh", BuildCurrencyFile("Bad", 1, {Lump(0), corrupt, Lump(2)}));
  EXPECT_FALSE(Load("bad.dosh"));
  // The decoder alone says what went wrong.
  EXPECT_EQ(std::pair(alerts.alerts.size(), errors.size()), std::pair(1ul, 0ul));
  EXPECT_EQ(Live(), std::pair(1, 1));  // the image before it, and of lists the foreign one
  world->CleanupCurrencyList();
  EXPECT_EQ(std::pair(Live().first, glIsList(foreign)), std::pair(0, GLboolean(GL_TRUE)));
}

TEST_F(CurrencyTest, LoadFailsOnAFileChangedSinceListing) {
  // After listing, three notes become none (deleted), two (a directory not to be read past its end)
  // or five; only the notes listed load, and a failure stops the mix.
  for (int lumps : {0, 2, 5}) {
    NewWorld(one, two);
    one.Write("a.dosh", Currency("Alpha", 3));
    two.Write("b.dosh", Currency("Bee", 1));
    ASSERT_TRUE(world->BuildCurrencyList());
    if (lumps == 0)
      unlink(one.Path("a.dosh").c_str());
    else
      one.Write("a.dosh", Currency("Alpha", lumps));
    world->MIXCURRENCY = true;
    const bool loaded = world->LoadCurrencyData();
    EXPECT_EQ(std::tuple(loaded, errors, Live().first),
              lumps == 5 ? std::tuple(true, Strings{}, 3 + 1)
                         : std::tuple(false, Strings{"Unable to load currency!"}, 0))
        << lumps;
  }
}

// A currency of 65 notes is past the limits: refused before any image is decoded, with its path
// made printable; mixing goes on without it, and its share of the notes goes to those that loaded.
TEST_F(CurrencyTest, MixingLeavesOutWhatIsPastTheLimits) {
  one.Write("a.dosh", Currency("Alpha", 2));
  one.Write("evil\x1B]0;owned\x07.dosh", Currency("Many", 65));
  two.Write("c.dosh", Currency("Cee", 64));
  ASSERT_TRUE(Load("a.dosh", true));
  EXPECT_EQ(errors, (Strings{"Unable to load currency!",
                             one.dir + "/evil\\x1B]0;owned\\x07.dosh: 65 notes, at most 64"}));
  for (int i = 0; i < world->NumCurrencies; ++i)
    EXPECT_EQ(world->Currencies[i].NoteSet == nullptr, world->Currencies[i].PastLimits)
        << world->Currencies[i].FileName;
  EXPECT_EQ(Live().first, 2 + 64);
  for (int n = 0; n < 200; ++n) {
    ONENOTE note;
    note.Reset(world.get());
    ASSERT_NE(world->Currencies[note.Currency].NoteSet, nullptr) << note.Currency;
  }
  NewWorld(one, two);
  one.Write("a.dosh", Currency("Many", 65));
  two.Write("c.dosh", Currency("Many", 65));
  EXPECT_FALSE(Load("a.dosh", true)) << "nothing left to show";
}

}  // namespace
