// The currency list and currency loading, on real folders and a real GL
// context: which files are listed and in what order, how the selection falls
// back, the failure messages, what a currency may cost, and that each
// texture and display list made for a currency is released again.
#include "data/Currency.h"

#include <GL/gl.h>
#include <dirent.h>
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "GLTest.h"
#include "LumpWriter.h"
#include "TGAWriter.h"
#include "TestFiles.h"
#include "platform/Alert.h"
#include "world/Notes.h"

// A hook on opendir, to change a folder's files just before it is opened:
// between the count, the scan and the header reads, as another program might.
static std::function<void(const char* path)> gOpendirHook;
DIR* opendir(const char* path) {
  static const auto real = reinterpret_cast<DIR* (*)(const char*)>(dlsym(RTLD_NEXT, "opendir"));
  if (gOpendirHook) gOpendirHook(path);
  return real(path);
}

namespace {

using Strings = std::vector<std::string>;

// Denomination i: a 4 x 2 image of its own colour.
unsigned char Red(int i) { return static_cast<unsigned char>(20 + 30 * i); }
CurrencyLump Lump(int i, uint32_t width = 150, uint32_t height = 70) {
  Image image{4, 2, 24, {}};
  for (int k = 0; k < 8; ++k) image.pixels.insert(image.pixels.end(), {Red(i), 7, 9});
  return CurrencyLump{EncodeTGA(image, 2), 1, 0, width, height};
}
Bytes Currency(const std::string& name, int notes) {
  std::vector<CurrencyLump> lumps;
  for (int i = 0; i < notes; ++i) lumps.push_back(Lump(i));
  return BuildCurrencyFile(name, 1, lumps);
}
int LiveTextures() { return CountGLObjects(4096).textures; }
int LiveLists() { return CountGLObjects(4096).lists; }

class CurrencyTest : public GLTest {
protected:
  void SetUp() override {
    GLTest::SetUp();
    NewWorld(one, two);
  }
  void TearDown() override {
    gOpendirHook = nullptr;
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

// --- the list --------------------------------------------------------------------------

TEST_F(CurrencyTest, ListsBothFoldersInOrderSelectsByFileNameAndFindsByHeaderName) {
  // "Name x.dosh" with as many notes as x is far into the alphabet, in both folders.
  for (std::string at : {"1a", "1b", "1d", "2c", "2a"})
    (at[0] == '1' ? one : two)
        .Write(at[1] + std::string(".dosh"),
               Currency("Name " + at.substr(1) + ".dosh", at[1] - 'a' + 1));
  // Not currencies: the wrong case or ending, another magic, a wrong size, too short, no notes.
  Bytes magic = Currency("Valid", 1), longer = magic;
  for (const char* name : {"EURO.DOSH", "euro.dosh.bak", "xdosh"}) {
    one.Write(name, magic);
    two.Write(name, magic);
  }
  std::memcpy(magic.data() + 40, "CORW", 4);
  longer.push_back(0);
  two.Write("magic.dosh", magic);
  one.Write("longer.dosh", longer);
  one.Write("short.dosh", Bytes(10, 0));
  two.Write("empty.dosh", BuildCurrencyFile("Empty", 1, {}));
  Strings expected;
  for (const TempDir* dir : {&one, &two})
    for (const auto& entry : std::filesystem::directory_iterator(dir->dir))
      if (entry.path().extension() == ".dosh" && entry.path().stem().string().size() == 1)
        expected.push_back((dir == &one ? "1|" : "2|") + entry.path().filename().string());
  EXPECT_EQ(CountFiles(world->CurrencyPath, world->CurrencyPath2, ".dosh"), 5);
  ASSERT_TRUE(world->BuildCurrencyList());
  EXPECT_EQ(Listed(), expected);
  for (const CURRENCYINFO* e = world->Currencies; e < world->Currencies + world->NumCurrencies; ++e)
    EXPECT_TRUE(e->Name == "Name " + std::string(e->FileName) &&
                e->NumNotes == e->FileName[0] - 'a' + 1)
        << e->FileName;
  // By file name, the first folder's first; a name not listed becomes the first entry's.
  for (const std::string name : {"a.dosh", "c.dosh", "C.dosh", "Name c.dosh"}) {
    CopyString(world->SelectedCurrencyName, PATH_BUFFER_SIZE, name.c_str());
    world->FindSelectedCurrency();
    const auto at =
        std::find(expected.begin(), expected.end(), (name == "c.dosh" ? "2|" : "1|") + name);
    EXPECT_EQ(world->CurrentCurrency, at == expected.end() ? 0 : at - expected.begin()) << name;
    EXPECT_EQ(world->SelectedCurrencyName, (at == expected.end() ? expected[0] : *at).substr(2))
        << name;
  }
  // By the name in the header, in the second folder only.
  for (auto [name, exists] : {std::pair<const char*, bool>{"Name c.dosh", true},
                              {"Name a.dosh", true},
                              {"Name b.dosh", false},
                              {"c.dosh", false},
                              {"Name c", false},
                              {"Valid", false}})
    EXPECT_EQ(world->CurrencyFileExists(name), exists) << name;
  EXPECT_EQ(errors, Strings{});
}

TEST_F(CurrencyTest, ListingSkipsWhatDoesNotOpenAndSurvivesFilesChangingUnderIt) {
  const Bytes alpha = Currency("Alpha", 1);
  // Runs action just before `dir` is opened for the n-th time: the count opens each folder once,
  // then the scan.
  auto onOpening = [](const TempDir& dir, int n, std::function<void()> action) {
    gOpendirHook = [folder = dir.dir + "/", n, action,
                    seen = std::make_shared<int>(0)](const char* path) {
      if (folder == path && ++*seen == n) action();
    };
  };
  struct Case {
    const char* name;
    std::function<void(const TempDir& a, const TempDir& b)> arrange;
    Strings listed, errors;
  };
  const Case cases[] = {
      {"a file named just .dosh is not counted, but taken when there is room",
       [&](auto& a, auto& b) {
         a.Write(".dosh", alpha);
         b.Write("b.dosh", alpha);
       },
       {"1|.dosh"},
       {}},
      {"a missing first folder",
       [&](auto& a, auto& b) {
         NewWorld(a, b, "/gone/");
         b.Write("b.dosh", alpha);
       },
       {"2|b.dosh"},
       {}},
      {"both folders missing",
       [&](auto& a, auto& b) { NewWorld(a, b, "/gone/", "/gone/"); },
       {},
       {"No Currency Data Found!"}},
      {"a counted file gone before the scan",
       [&](auto& a, auto&) {
         onOpening(a, 2, [&a] { unlink(a.Path("b.dosh").c_str()); });
         a.Write("a.dosh", alpha);
         a.Write("b.dosh", alpha);
       },
       {"1|a.dosh"},
       {}},
      {"the only counted file spoilt before the scan",
       [&](auto& a, auto&) {
         onOpening(a, 2, [&a] { a.Write("a.dosh", Bytes(64, 0)); });
         a.Write("a.dosh", alpha);
       },
       {},
       {"No valid currencies found!"}},
      {"a listed file gone before its header is read",
       [&](auto& a, auto& b) {
         onOpening(b, 2, [&a] { unlink(a.Path("a.dosh").c_str()); });
         a.Write("a.dosh", alpha);
       },
       {"1|a.dosh"},
       {"Error Loading Currency!"}},
  };
  for (const Case& c : cases) {
    TempDir a, b;
    NewWorld(a, b);
    c.arrange(a, b);
    EXPECT_EQ(world->BuildCurrencyList(), c.errors.empty()) << c.name;
    gOpendirHook = nullptr;
    EXPECT_TRUE(Listed() == c.listed && errors == c.errors) << c.name;
    EXPECT_TRUE(c.errors != Strings{"No Currency Data Found!"} || world->Currencies == nullptr)
        << c.name << ": a list is kept";
  }
}

// --- loading ---------------------------------------------------------------------------

TEST_F(CurrencyTest, LoadingBuildsEachLumpsTextureAndThreeListsAndCleanupReleasesThem) {
  const CurrencyLump text{Lump(1).data, 7, 0, 120,
                          60};  // not an image: a denomination without a texture
  one.Write("a.dosh", BuildCurrencyFile("Alpha", 1,
                                        {Lump(0, 156, 70), text, Lump(2, 1, 0), Lump(3, 99, 257)}));
  two.Write("b.dosh", Currency("Bee", 2));
  ASSERT_TRUE(Load("a.dosh"));
  EXPECT_EQ(world->Currencies[1].NoteSet, nullptr) << "only the selected currency is loaded";
  const CURRENCYINFO& a = world->Currencies[0];
  ASSERT_TRUE(a.NoteSet != nullptr && a.NoteSet->NumNotes == 4 && a.NoteSet->NumTextures == 4);
  const float sizes[4][2] = {{1.56f, 0.7f}, {1.2f, 0.6f}, {0.01f, 0}, {0.99f, 2.57f}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_TRUE(a.NoteSizes[i].x == sizes[i][0] && a.NoteSizes[i].y == sizes[i][1]) << i;
    const GLuint texture = a.NoteSet->Textures[i].textureId;
    std::vector<unsigned char> texels(4 * 4 * 2, 0);
    UploadTexture(&a.NoteSet->Textures[i]);  // as the first note drawn with it would
    if (texture != 0) {
      glBindTexture(GL_TEXTURE_2D, texture);
      glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    }
    EXPECT_EQ(texels[0] + 256 * texels[3], i == 1 ? 0 : Red(i) + 256 * 255)
        << "texture " << i << " is not lump " << i << "'s image";
    for (int k = 3 * i; k < 3 * i + 3; ++k) {
      GLint bound = -1;
      glBindTexture(GL_TEXTURE_2D, 0);
      glCallList(a.NoteSet->NoteLists[k]);
      glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
      EXPECT_EQ(GLuint(bound), texture) << "list " << k;
    }
  }
  EXPECT_EQ(LiveLists(), 12) << "a list name is used twice";
  world->CleanupCurrencyList();
  EXPECT_EQ(LiveTextures() + LiveLists(), 0);
  ASSERT_TRUE(Load("a.dosh", true));  // mixing loads them all
  EXPECT_TRUE(LiveTextures() == 3 + 2 && LiveLists() == 12 + 6);
  world->CleanupCurrencyList();
  world->CleanupCurrencyList();  // a second time is harmless
  EXPECT_TRUE(world->Currencies == nullptr && world->NumCurrencies == 0 &&
              LiveTextures() + LiveLists() == 0);
  EXPECT_TRUE(errors.empty() && alerts.alerts.empty());
}

TEST_F(CurrencyTest, CorruptImageStopsTheLoadAndKeepsOnlyWhatWasBuilt) {
  const GLuint foreign = glGenLists(1);  // a name a careless cleanup could delete
  glNewList(foreign, GL_COMPILE);
  glEndList();
  const CurrencyLump corrupt{MakeTGA(2, 4, 2, 16, Bytes(16, 0)), 1, 0, 150,
                             70};  // 16-bit images are not supported
  one.Write("bad.dosh", BuildCurrencyFile("Bad", 1, {Lump(0), corrupt, Lump(2)}));
  EXPECT_FALSE(Load("bad.dosh"));
  EXPECT_TRUE(alerts.alerts.size() == 1 && errors.empty())
      << "the decoder alone says what went wrong";
  const ONECURRENCY* set = world->Currencies[0].NoteSet;
  ASSERT_NE(set, nullptr);
  EXPECT_TRUE(glIsTexture(set->Textures[0].textureId) && set->Textures[1].textureId == 0 &&
              set->Textures[2].textureId == 0);
  EXPECT_EQ(std::vector<uint32_t>(set->NoteLists, set->NoteLists + 9), std::vector<uint32_t>(9, 0));
  world->CleanupCurrencyList();
  EXPECT_TRUE(LiveTextures() == 0 && glIsList(foreign));
}

TEST_F(CurrencyTest, LoadFailsOnAFileGoneOrShrunkSinceListingAndMixingStopsThere) {
  // After listing, three notes become none (deleted), two (a directory not to be read past its end)
  // or five.
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
    EXPECT_EQ(world->LoadCurrencyData(), lumps == 5) << lumps;
    EXPECT_EQ(errors, lumps == 5 ? Strings{} : Strings{"Unable to load currency!"}) << lumps;
    EXPECT_EQ(LiveTextures(), lumps == 5 ? 3 + 1 : 0)
        << lumps << ": only the notes listed load, and a failure stops the mix";
  }
}

// A currency of 65 notes is past the limits: refused before any image is
// decoded, with its path made printable; mixing goes on without it.
TEST_F(CurrencyTest, MixingLeavesOutCurrenciesPastTheLimits) {
  const std::string evil = "evil\x1B]0;owned\x07.dosh";
  one.Write("a.dosh", Currency("Alpha", 2));
  one.Write(evil, Currency("Many", 65));
  two.Write("c.dosh", Currency("Cee", 1));
  ASSERT_TRUE(Load("a.dosh", true));
  EXPECT_EQ(errors, (Strings{"Unable to load currency!",
                             one.dir + "/evil\\x1B]0;owned\\x07.dosh: 65 notes, at most 64"}));
  for (int i = 0; i < world->NumCurrencies; ++i)
    EXPECT_EQ(world->Currencies[i].NoteSet == nullptr, world->Currencies[i].PastLimits)
        << world->Currencies[i].FileName;
  EXPECT_EQ(LiveTextures(), 2 + 1);
  for (int n = 0; n < 200;
       ++n) {  // the refused currency's share of the notes goes to those that loaded
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
