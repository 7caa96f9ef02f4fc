// The currency list and currency loading, on real folders and a real GL
// context: which files are listed and in what order, how the selection falls
// back, every failure message, and that each texture and display list made
// for a currency is released again.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <dirent.h>
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "GLTest.h"
#include "LumpWriter.h"
#include "TGAWriter.h"
#include "TestFiles.h"
#include "data/Currency.h"
#include "platform/Alert.h"
#include "world/Notes.h"

// --- a hook on opendir ------------------------------------------------------------
//
// Lets a test act just before a folder is opened, to change the folder's
// files between the count, the scan and the header reads as another program
// might, or to stand a real folder in for a path that no system call accepts.
// With no hook installed every call goes straight to the C library.

using OpendirHook = std::function<void(const char** path)>;
static OpendirHook* gOpendirHook = nullptr;

DIR* opendir(const char* path) {
  using RealOpendir = DIR* (*)(const char*);
  static const RealOpendir real = reinterpret_cast<RealOpendir>(dlsym(RTLD_NEXT, "opendir"));
  if (gOpendirHook != nullptr) (*gOpendirHook)(&path);
  return real(path);
}

namespace {

class ScopedOpendirHook {
public:
  explicit ScopedOpendirHook(OpendirHook hook) : hook(std::move(hook)) {
    gOpendirHook = &this->hook;
  }
  ~ScopedOpendirHook() { gOpendirHook = nullptr; }
  ScopedOpendirHook(const ScopedOpendirHook&) = delete;
  ScopedOpendirHook& operator=(const ScopedOpendirHook&) = delete;

private:
  OpendirHook hook;
};

// Runs action just before folder is opened for the n-th time (1 = the first).
OpendirHook OnOpening(const std::string& folder, int n, std::function<void()> action) {
  auto seen = std::make_shared<int>(0);
  return [=](const char** path) {
    if (folder == *path && ++*seen == n) action();
  };
}

// Collects what loading code reports through ERRORCLOSE.
class ErrorLog {
public:
  ErrorLog() : previous(SetErrorHandler([this](const char* m) { messages.emplace_back(m); })) {}
  ~ErrorLog() { SetErrorHandler(std::move(previous)); }
  ErrorLog(const ErrorLog&) = delete;
  ErrorLog& operator=(const ErrorLog&) = delete;

  std::vector<std::string> messages;

private:
  ErrorHandler previous;
};

using Strings = std::vector<std::string>;

// A 4 x 2 image of one colour, as a TGA file.
Bytes SolidImage(unsigned char r, unsigned char g, unsigned char b) {
  Image image;
  image.width = 4;
  image.height = 2;
  image.bitsPerPixel = 24;
  for (int i = 0; i < 8; ++i) image.pixels.insert(image.pixels.end(), {r, g, b});
  return EncodeTGA(image, 2);
}

// The colour of denomination i's image.
unsigned char Red(int i) { return static_cast<unsigned char>(20 + 30 * i); }

CurrencyLump ImageLump(int i, uint32_t width = 150, uint32_t height = 70) {
  CurrencyLump lump;
  lump.data = SolidImage(Red(i), 7, 9);
  lump.width = width;
  lump.height = height;
  return lump;
}

// A currency of notes denominations, each a solid image of its own colour.
Bytes CurrencyFile(const std::string& name, int notes) {
  std::vector<CurrencyLump> lumps;
  for (int i = 0; i < notes; ++i) lumps.push_back(ImageLump(i));
  return BuildCurrencyFile(name, 1, lumps);
}

// The entry names of a folder in the order readdir gives them.
Strings DirectoryOrder(const TempDir& dir) {
  Strings names;
  DIR* handle = opendir(dir.dir.c_str());
  if (handle == nullptr) return names;
  while (const dirent* entry = readdir(handle)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(handle);
  return names;
}

void SetPath(char* buffer, const std::string& path) {
  std::snprintf(buffer, PATH_BUFFER_SIZE, "%s", path.c_str());
}

// A folder string of length characters: "/" then "x"s, then "/".
std::string LongFolder(size_t length) { return "/" + std::string(length - 2, 'x') + "/"; }

class CurrencyFixture : public GLTest {
protected:
  void SetUp() override {
    GLTest::SetUp();
    folder1 = first.dir + "/";
    folder2 = second.dir + "/";
    world = std::make_unique<MONEYSS>();
    SetPath(world->CurrencyPath, folder1);
    SetPath(world->CurrencyPath2, folder2);
  }

  void TearDown() override {
    world.reset();  // releases textures and lists while the context is current
    GLTest::TearDown();
  }

  // "folder|file" of every listed entry, in list order.
  Strings Listed() const {
    Strings listed;
    for (int i = 0; i < world->NumCurrencies; ++i)
      listed.push_back(std::string(world->Currencies[i].Folder) + "|" +
                       world->Currencies[i].FileName);
    return listed;
  }

  int Count() { return CountFiles(world->CurrencyPath, world->CurrencyPath2, ".dosh"); }

  CURRENCYINFO* Entry(const std::string& fileName) {
    for (int i = 0; i < world->NumCurrencies; ++i)
      if (fileName == world->Currencies[i].FileName) return &world->Currencies[i];
    ADD_FAILURE() << fileName << " is not listed";
    return nullptr;
  }

  // Builds the list, selects fileName and loads.
  bool Load(const char* fileName, bool mix = false) {
    if (!world->BuildCurrencyList()) return false;
    SetPath(world->SelectedCurrencyName, fileName);
    world->FindSelectedCurrency();
    world->MIXCURRENCY = mix;
    return world->LoadCurrencyData();
  }

  TempDir first;
  TempDir second;
  std::string folder1;
  std::string folder2;
  ErrorLog errors;
  AlertRecorder alerts;
  std::unique_ptr<MONEYSS> world;
};

// --- the list -----------------------------------------------------------------------

using CurrencyList = CurrencyFixture;

TEST_F(CurrencyList, ListsTheFirstFolderThenTheSecondInDirectoryOrder) {
  const Strings names = {"a.dosh", "b.dosh", "d.dosh", "e.dosh", "f.dosh"};
  for (size_t i = 0; i < names.size(); ++i)
    first.Write(names[i], CurrencyFile("Name " + names[i], int(i) + 1));
  second.Write("c.dosh", CurrencyFile("Gamma", 3));

  Strings expected;
  for (const std::string& name : DirectoryOrder(first)) expected.push_back(folder1 + "|" + name);
  expected.push_back(folder2 + "|c.dosh");

  EXPECT_EQ(Count(), 6);
  ASSERT_TRUE(world->BuildCurrencyList());
  EXPECT_EQ(Listed(), expected);
  for (size_t i = 0; i < names.size(); ++i) {
    const CURRENCYINFO* entry = Entry(names[i]);
    ASSERT_NE(entry, nullptr);
    EXPECT_STREQ(entry->Name, ("Name " + names[i]).c_str());
    EXPECT_EQ(entry->NumNotes, int(i) + 1);
    EXPECT_EQ(entry->NoteSizes, nullptr);
    EXPECT_EQ(entry->NoteSet, nullptr);
  }
  EXPECT_STREQ(world->Currencies[5].Name, "Gamma");
  EXPECT_EQ(world->Currencies[5].NumNotes, 3);
  EXPECT_TRUE(errors.messages.empty());
}

TEST_F(CurrencyList, TakesOnlyFilesEndingInDoshThatOpenAsCurrencies) {
  const Bytes valid = CurrencyFile("Valid", 1);
  first.Write("x.dosh", valid);
  first.Write("EURO.DOSH", valid);
  first.Write("euro.dosh.bak", valid);
  first.Write("xdosh", valid);
  Bytes magic = valid;
  std::memcpy(magic.data() + 40, "CORW", 4);
  first.Write("magic.dosh", magic);
  Bytes longer = valid;
  longer.push_back(0);  // the size check no longer matches
  first.Write("longer.dosh", longer);
  first.Write("short.dosh", Bytes(10, 0));

  EXPECT_EQ(Count(), 1);
  ASSERT_TRUE(world->BuildCurrencyList());
  EXPECT_EQ(Listed(), Strings{folder1 + "|x.dosh"});
}

TEST_F(CurrencyList, FileNamedJustDoshIsNotCountedButIsTakenWhenThereIsRoom) {
  first.Write(".dosh", CurrencyFile("Dot", 2));
  second.Write("b.dosh", CurrencyFile("Bee", 1));

  // b.dosh makes room for one; the scan reaches ".dosh" in the first folder first.
  EXPECT_EQ(Count(), 1);
  ASSERT_TRUE(world->BuildCurrencyList());
  EXPECT_EQ(Listed(), Strings{folder1 + "|.dosh"});
  EXPECT_STREQ(world->Currencies[0].Name, "Dot");
  EXPECT_EQ(world->Currencies[0].NumNotes, 2);
}

TEST_F(CurrencyList, FileNamedJustDoshAloneIsNoCurrencyData) {
  first.Write(".dosh", CurrencyFile("Dot", 2));
  EXPECT_FALSE(world->BuildCurrencyList());
  EXPECT_EQ(errors.messages, Strings{"No Currency Data Found!"});
}

TEST_F(CurrencyList, CurrencyWithoutNotesIsLeftOut) {
  first.Write("empty.dosh", BuildCurrencyFile("Empty", 1, {}));
  EXPECT_EQ(Count(), 0);
  EXPECT_FALSE(world->BuildCurrencyList());
  EXPECT_EQ(errors.messages, Strings{"No Currency Data Found!"});
  world->CleanupCurrencyList();

  // Counted or not, the scan must not take it in place of a usable one.
  second.Write("a.dosh", CurrencyFile("Alpha", 1));
  EXPECT_EQ(Count(), 1);
  ASSERT_TRUE(world->BuildCurrencyList());
  EXPECT_EQ(Listed(), Strings{folder2 + "|a.dosh"});
}

TEST_F(CurrencyList, BothFoldersMissingIsNoCurrencyData) {
  SetPath(world->CurrencyPath, first.Path("missing") + "/");
  SetPath(world->CurrencyPath2, "");
  EXPECT_FALSE(world->BuildCurrencyList());
  EXPECT_EQ(errors.messages, Strings{"No Currency Data Found!"});
  EXPECT_EQ(world->Currencies, nullptr);
  EXPECT_EQ(world->NumCurrencies, 0);
}

TEST_F(CurrencyList, MissingFirstFolderContributesNothing) {
  SetPath(world->CurrencyPath, first.Path("missing") + "/");
  second.Write("a.dosh", CurrencyFile("Alpha", 1));
  ASSERT_TRUE(world->BuildCurrencyList());
  EXPECT_EQ(Listed(), Strings{folder2 + "|a.dosh"});
}

TEST_F(CurrencyList, ScanFindingFewerFilesShortensTheList) {
  first.Write("a.dosh", CurrencyFile("Alpha", 1));
  first.Write("b.dosh", CurrencyFile("Bee", 1));
  // The count opens the first folder once; remove b.dosh before the scan does.
  ScopedOpendirHook hook(OnOpening(folder1, 2, [&] { unlink(first.Path("b.dosh").c_str()); }));

  ASSERT_TRUE(world->BuildCurrencyList());
  EXPECT_EQ(Listed(), Strings{folder1 + "|a.dosh"});
  EXPECT_TRUE(errors.messages.empty());
}

TEST_F(CurrencyList, ScanFindingNoneOfTheCountedFilesFails) {
  first.Write("a.dosh", CurrencyFile("Alpha", 1));
  ScopedOpendirHook hook(OnOpening(folder1, 2, [&] { first.Write("a.dosh", Bytes(64, 0)); }));

  EXPECT_FALSE(world->BuildCurrencyList());
  EXPECT_EQ(errors.messages, Strings{"No valid currencies found!"});
  EXPECT_EQ(world->NumCurrencies, 0);
}

TEST_F(CurrencyList, ListedFileThatNoLongerOpensFailsTheHeaderRead) {
  first.Write("a.dosh", CurrencyFile("Alpha", 1));
  // The scan opens the second folder after it has listed the first.
  ScopedOpendirHook hook(OnOpening(folder2, 2, [&] { unlink(first.Path("a.dosh").c_str()); }));

  EXPECT_FALSE(world->BuildCurrencyList());
  EXPECT_EQ(errors.messages, Strings{"Error Loading Currency!"});
}

TEST_F(CurrencyList, ListedFileReplacedByOneWithoutNotesFailsTheHeaderRead) {
  first.Write("a.dosh", CurrencyFile("Alpha", 1));
  ScopedOpendirHook hook(OnOpening(folder2, 2, [&] {
    first.Write("a.dosh", BuildCurrencyFile("Alpha", 1, {}));
  }));

  EXPECT_FALSE(world->BuildCurrencyList());
  EXPECT_EQ(errors.messages, Strings{"Error Loading Currency!"});
}

TEST_F(CurrencyList, FolderAndNameTooLongForAPathAreSkipped) {
  // No system call takes a path this long, so the hook opens the real folder
  // in its place; each file name joined to it overflows the path buffer.
  const std::string longFolder = LongFolder(PATH_BUFFER_SIZE - 4);
  first.Write("a.dosh", CurrencyFile("Alpha", 1));
  ScopedOpendirHook hook([&](const char** path) {
    if (longFolder == *path) *path = first.dir.c_str();
  });
  SetPath(world->CurrencyPath, longFolder);
  SetPath(world->CurrencyPath2, longFolder);

  EXPECT_EQ(Count(), 0);
  EXPECT_FALSE(world->CurrencyFileExists("Alpha"));
  EXPECT_FALSE(world->BuildCurrencyList());
  EXPECT_EQ(errors.messages, Strings{"No Currency Data Found!"});
}

TEST_F(CurrencyList, SelectsByFileNameAndFallsBackToTheFirstEntry) {
  first.Write("a.dosh", CurrencyFile("Alpha", 1));
  first.Write("b.dosh", CurrencyFile("Bee", 1));
  second.Write("USA.dosh", CurrencyFile("Dollar", 1));
  ASSERT_TRUE(world->BuildCurrencyList());
  ASSERT_EQ(world->NumCurrencies, 3);

  SetPath(world->SelectedCurrencyName, "USA.dosh");
  world->FindSelectedCurrency();
  EXPECT_EQ(world->CurrentCurrency, 2);
  EXPECT_STREQ(world->SelectedCurrencyName, "USA.dosh");

  const std::string firstListed = world->Currencies[0].FileName;
  for (const char* unknown : {"usa.dosh", "Dollar", "Euro.dosh"}) {
    world->CurrentCurrency = 2;
    SetPath(world->SelectedCurrencyName, unknown);
    world->FindSelectedCurrency();
    EXPECT_EQ(world->CurrentCurrency, 0) << unknown;
    EXPECT_EQ(world->SelectedCurrencyName, firstListed) << unknown;
  }
}

TEST_F(CurrencyList, SameFileNameInBothFoldersSelectsTheFirstFolders) {
  first.Write("x.dosh", CurrencyFile("Ex", 1));
  first.Write("USA.dosh", CurrencyFile("First Dollar", 1));
  second.Write("USA.dosh", CurrencyFile("Second Dollar", 1));
  ASSERT_TRUE(world->BuildCurrencyList());
  ASSERT_EQ(world->NumCurrencies, 3);

  SetPath(world->SelectedCurrencyName, "USA.dosh");
  world->FindSelectedCurrency();
  const CURRENCYINFO& selected = world->Currencies[world->CurrentCurrency];
  EXPECT_EQ(selected.Folder, folder1);
  EXPECT_STREQ(selected.Name, "First Dollar");
  EXPECT_EQ(world->Currencies[2].Folder, folder2);
}

TEST_F(CurrencyList, CurrencyFileExistsLooksAtHeaderNamesInTheSecondFolderOnly) {
  first.Write("first.dosh", CurrencyFile("Only First", 1));
  second.Write("whatever.dosh", CurrencyFile("Euro", 1));
  second.Write(".dosh", CurrencyFile("Dot", 1));
  second.Write("Pound.dosh.bak", CurrencyFile("Pound", 1));
  second.Write("empty.dosh", BuildCurrencyFile("Empty", 1, {}));
  Bytes magic = CurrencyFile("Fake", 1);
  std::memcpy(magic.data() + 40, "VROC", 4);
  second.Write("fake.dosh", magic);

  EXPECT_TRUE(world->CurrencyFileExists("Euro"));
  EXPECT_TRUE(world->CurrencyFileExists("Dot"));
  EXPECT_FALSE(world->CurrencyFileExists("Only First"));
  EXPECT_FALSE(world->CurrencyFileExists("euro"));
  EXPECT_FALSE(world->CurrencyFileExists("Eur"));
  EXPECT_FALSE(world->CurrencyFileExists("whatever.dosh"));
  EXPECT_FALSE(world->CurrencyFileExists("Pound"));
  EXPECT_FALSE(world->CurrencyFileExists("Empty"));
  EXPECT_FALSE(world->CurrencyFileExists("Fake"));

  SetPath(world->CurrencyPath2, second.Path("missing") + "/");
  EXPECT_FALSE(world->CurrencyFileExists("Euro"));
  EXPECT_TRUE(errors.messages.empty());
}

// --- loading ------------------------------------------------------------------------

using CurrencyLoad = CurrencyFixture;

// The texture a display list binds when it is called.
GLuint TextureBoundBy(GLuint list) {
  glBindTexture(GL_TEXTURE_2D, 0);
  glCallList(list);
  GLint bound = -1;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  return GLuint(bound);
}

// The colour of the first texel of a texture.
std::vector<unsigned char> FirstTexel(GLuint texture) {
  glBindTexture(GL_TEXTURE_2D, texture);
  GLint width = 0, height = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
  std::vector<unsigned char> rgba(size_t(width) * size_t(height) * 4);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  glBindTexture(GL_TEXTURE_2D, 0);
  rgba.resize(4);
  return rgba;
}

std::vector<unsigned char> Colour(int i) { return {Red(i), 7, 9, 255}; }

TEST_F(CurrencyLoad, LoadsOnlyTheSelectedCurrencyUnlessMixing) {
  for (const char* name : {"a.dosh", "b.dosh", "c.dosh"}) first.Write(name, CurrencyFile(name, 2));

  ASSERT_TRUE(Load("b.dosh"));
  for (int i = 0; i < world->NumCurrencies; ++i) {
    const CURRENCYINFO& entry = world->Currencies[i];
    const bool selected = std::strcmp(entry.FileName, "b.dosh") == 0;
    EXPECT_EQ(i == world->CurrentCurrency, selected);
    EXPECT_EQ(entry.NoteSet != nullptr, selected) << entry.FileName;
    EXPECT_EQ(entry.NoteSizes != nullptr, selected) << entry.FileName;
  }

  world->CleanupCurrencyList();
  ASSERT_TRUE(Load("b.dosh", true));
  for (int i = 0; i < world->NumCurrencies; ++i) {
    ASSERT_NE(world->Currencies[i].NoteSet, nullptr) << i;
    EXPECT_EQ(world->Currencies[i].NoteSet->NumNotes, 2);
  }
  EXPECT_TRUE(errors.messages.empty());
  EXPECT_TRUE(alerts.alerts.empty());
}

TEST_F(CurrencyLoad, SevenLumpsGiveSevenTexturesAndTwentyOneLists) {
  std::vector<CurrencyLump> lumps;
  const uint32_t widths[7] = {150, 156, 100, 1, 0, 250, 99};
  for (int i = 0; i < 7; ++i) lumps.push_back(ImageLump(i, widths[i], 70 + uint32_t(i)));
  first.Write("seven.dosh", BuildCurrencyFile("Seven", 1, lumps));
  world->NoteScale = 1.2f;

  ASSERT_TRUE(Load("seven.dosh"));
  const CURRENCYINFO& entry = world->Currencies[0];
  const ONECURRENCY* set = entry.NoteSet;
  ASSERT_NE(set, nullptr);
  ASSERT_EQ(set->NumNotes, 7);
  ASSERT_EQ(set->NumTextures, 7);

  EXPECT_EQ(entry.NoteSizes[0].x, 1.5f);
  EXPECT_EQ(entry.NoteSizes[0].y, 0.7f);
  EXPECT_EQ(entry.NoteSizes[1].x, 1.56f);
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(entry.NoteSizes[i].x, float(widths[i] / 100.0)) << i;
    EXPECT_EQ(entry.NoteSizes[i].y, float((70 + i) / 100.0)) << i;
  }

  std::vector<GLuint> names;
  for (int i = 0; i < 7; ++i) {
    const GLuint texture = set->Textures[i].textureId;
    ASSERT_NE(texture, 0u) << i;
    EXPECT_TRUE(glIsTexture(texture)) << i;
    EXPECT_EQ(FirstTexel(texture), Colour(i)) << "texture " << i << " is not lump " << i;
    for (int k = 0; k < 3; ++k) {
      const GLuint list = set->NoteLists[3 * i + k];
      EXPECT_TRUE(glIsList(list)) << 3 * i + k;
      EXPECT_EQ(TextureBoundBy(list), texture) << "list " << 3 * i + k;
      names.push_back(list);
    }
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(std::unique(names.begin(), names.end()), names.end()) << "a list name is used twice";
  EXPECT_TRUE(alerts.alerts.empty());
}

TEST_F(CurrencyLoad, NonImageLumpGivesADenominationWithoutTexture) {
  CurrencyLump text = ImageLump(1, 120, 60);
  text.type = 7;
  first.Write("mixed.dosh", BuildCurrencyFile("Mixed", 1, {ImageLump(0), text, ImageLump(2)}));

  ASSERT_TRUE(Load("mixed.dosh"));
  const ONECURRENCY* set = world->Currencies[0].NoteSet;
  ASSERT_NE(set, nullptr);
  EXPECT_EQ(set->Textures[1].textureId, 0u);
  EXPECT_EQ(FirstTexel(set->Textures[2].textureId), Colour(2));
  for (int k = 3; k < 6; ++k) {
    EXPECT_TRUE(glIsList(set->NoteLists[k])) << k;
    EXPECT_EQ(TextureBoundBy(set->NoteLists[k]), 0u) << k;
  }
  EXPECT_EQ(world->Currencies[0].NoteSizes[1].x, 1.2f);
  EXPECT_EQ(world->Currencies[0].NoteSizes[1].y, 0.6f);
}

TEST_F(CurrencyLoad, CleanupReleasesEveryTextureAndList) {
  first.Write("a.dosh", CurrencyFile("Alpha", 2));
  second.Write("b.dosh", CurrencyFile("Bee", 3));
  ASSERT_TRUE(Load("a.dosh", true));

  std::vector<GLuint> textures, lists;
  for (int c = 0; c < world->NumCurrencies; ++c) {
    const ONECURRENCY* set = world->Currencies[c].NoteSet;
    ASSERT_NE(set, nullptr);
    for (int i = 0; i < set->NumTextures; ++i) textures.push_back(set->Textures[i].textureId);
    for (int i = 0; i < set->NumNotes * 3; ++i) lists.push_back(set->NoteLists[i]);
  }
  ASSERT_EQ(textures.size(), 5u);
  ASSERT_EQ(lists.size(), 15u);

  world->CleanupCurrencyList();
  EXPECT_EQ(world->Currencies, nullptr);
  EXPECT_EQ(world->NumCurrencies, 0);
  for (GLuint texture : textures) EXPECT_FALSE(glIsTexture(texture)) << texture;
  for (GLuint list : lists) EXPECT_FALSE(glIsList(list)) << list;
  world->CleanupCurrencyList();  // a second time is harmless
}

TEST_F(CurrencyLoad, CorruptImageStopsTheLoadAndKeepsWhatWasBuilt) {
  // Made before the currency, so its name lies among those a careless
  // cleanup could delete.
  const GLuint foreign = glGenLists(1);
  glNewList(foreign, GL_COMPILE);
  glEndList();

  CurrencyLump corrupt = ImageLump(1);
  corrupt.data = MakeTGA(2, 4, 2, 16, Bytes(16, 0));  // 16-bit images are not supported
  first.Write("bad.dosh", BuildCurrencyFile("Bad", 1, {ImageLump(0), corrupt, ImageLump(2)}));

  EXPECT_FALSE(Load("bad.dosh"));
  EXPECT_EQ(alerts.alerts.size(), 1u);
  EXPECT_TRUE(errors.messages.empty()) << "the decoder has already said what went wrong";

  const ONECURRENCY* set = world->Currencies[0].NoteSet;
  ASSERT_NE(set, nullptr);
  const GLuint built = set->Textures[0].textureId;
  EXPECT_TRUE(glIsTexture(built));
  EXPECT_EQ(set->Textures[1].textureId, 0u);
  EXPECT_EQ(set->Textures[2].textureId, 0u);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(set->NoteLists[i], 0u) << i;

  world->CleanupCurrencyList();
  EXPECT_FALSE(glIsTexture(built));
  EXPECT_TRUE(glIsList(foreign));
  glDeleteLists(foreign, 1);
}

TEST_F(CurrencyLoad, MixingStopsAtTheFirstCurrencyThatFails) {
  first.Write("a.dosh", CurrencyFile("Alpha", 1));
  second.Write("b.dosh", CurrencyFile("Bee", 1));
  second.Write("c.dosh", CurrencyFile("Cee", 1));
  ASSERT_TRUE(world->BuildCurrencyList());
  ASSERT_EQ(world->NumCurrencies, 3);
  const std::string failing = world->Currencies[1].FileName;
  unlink(second.Path(failing).c_str());

  world->MIXCURRENCY = true;
  EXPECT_FALSE(world->LoadCurrencyData());
  EXPECT_EQ(errors.messages, Strings{"Unable to load currency!"});
  EXPECT_NE(world->Currencies[0].NoteSet, nullptr);
  EXPECT_EQ(world->Currencies[1].NoteSet, nullptr);
  EXPECT_EQ(world->Currencies[2].NoteSet, nullptr);
}

TEST_F(CurrencyLoad, FileGoneOrShrunkSinceListingFailsTheLoad) {
  // Deleted, and replaced by one with fewer lumps than listed, whose
  // directory must not be read past its end.
  for (int lumps : {-1, 2}) {
    first.Write("a.dosh", CurrencyFile("Alpha", 3));
    ASSERT_TRUE(world->BuildCurrencyList());
    if (lumps < 0)
      unlink(first.Path("a.dosh").c_str());
    else
      first.Write("a.dosh", CurrencyFile("Alpha", lumps));

    EXPECT_FALSE(world->LoadCurrencyData()) << lumps;
    EXPECT_EQ(errors.messages, Strings{"Unable to load currency!"}) << lumps;
    EXPECT_EQ(world->Currencies[0].NoteSet, nullptr) << lumps;
    world->CleanupCurrencyList();
    errors.messages.clear();
  }
}

TEST_F(CurrencyLoad, FileGrownSinceListingLoadsTheListedNotes) {
  first.Write("a.dosh", CurrencyFile("Alpha", 3));
  ASSERT_TRUE(world->BuildCurrencyList());
  first.Write("a.dosh", CurrencyFile("Alpha", 4));

  ASSERT_TRUE(world->LoadCurrencyData());
  const ONECURRENCY* set = world->Currencies[0].NoteSet;
  ASSERT_NE(set, nullptr);
  EXPECT_EQ(set->NumNotes, 3);
  EXPECT_EQ(set->NumTextures, 3);
}

TEST_F(CurrencyLoad, PathTooLongToFormFailsTheLoad) {
  auto entry = std::make_unique<CURRENCYINFO>();
  SetPath(entry->Folder, LongFolder(PATH_BUFFER_SIZE - 4));
  SetPath(entry->FileName, "a.dosh");
  entry->NumNotes = 1;
  EXPECT_FALSE(entry->LoadData(1.0f));
  EXPECT_EQ(errors.messages, Strings{"Unable to load currency!"});
  EXPECT_EQ(entry->NoteSet, nullptr);
}

TEST_F(CurrencyLoad, WorldWithoutAListLoadsNothing) {
  EXPECT_FALSE(world->LoadCurrencyData());
  EXPECT_TRUE(errors.messages.empty());
}

// --- what a currency may cost --------------------------------------------------------

// notes directory entries sharing one run-length lump that claims a 4096 x
// 4096 32-bit image from a few bytes: 64 MiB claimed per note.
Bytes OverlappingBomb(int notes) {
  CurrencyLump lump = ImageLump(0);
  lump.data = MakeTGA(10, 4096, 4096, 32, {0xFF, 1, 2, 3, 4});
  Bytes file = BuildCurrencyFile("Bomb", 1, std::vector<CurrencyLump>(size_t(notes), lump));
  const uint32_t dirOffset = uint32_t(file[60] | file[61] << 8 | file[62] << 16 | file[63] << 24);
  for (int i = 0; i < notes; ++i) PutLE32(file, dirOffset + 24 * uint32_t(i) + 4, 64);
  return file;
}

TEST_F(CurrencyLoad, FilePastTheLimitsIsRefusedBeforeAnythingIsDecoded) {
  first.Write("bomb.dosh", OverlappingBomb(64));
  EXPECT_FALSE(Load("bomb.dosh"));
  EXPECT_EQ(errors.messages, (Strings{"Unable to load currency!",
                                      folder1 + "bomb.dosh: 4294967296 bytes of decoded pixels, at most 268435456"}));
  EXPECT_TRUE(alerts.alerts.empty()) << "the decoder was never started";
  EXPECT_TRUE(world->Currencies[0].PastLimits);
  EXPECT_EQ(world->Currencies[0].NoteSet, nullptr);
}

TEST_F(CurrencyLoad, MixingLeavesOutCurrenciesPastTheLimits) {
  const std::string evil = "evil\x1B]0;owned\x07.dosh";
  first.Write("a.dosh", CurrencyFile("Alpha", 2));
  first.Write(evil, CurrencyFile("Many", 65));
  second.Write("c.dosh", CurrencyFile("Cee", 1));

  ASSERT_TRUE(Load("a.dosh", true));
  EXPECT_EQ(errors.messages, (Strings{"Unable to load currency!",
                                      folder1 + "evil\\x1B]0;owned\\x07.dosh: 65 notes, at most 64"}));
  for (int i = 0; i < world->NumCurrencies; ++i)
    EXPECT_EQ(world->Currencies[i].NoteSet == nullptr, evil == world->Currencies[i].FileName) << i;
  // The refused currency's share of the notes goes to those that loaded.
  for (int n = 0; n < 200; ++n) {
    ONENOTE note;
    note.Reset(world.get());
    ASSERT_NE(world->Currencies[note.Currency].NoteSet, nullptr) << note.Currency;
  }

  world->CleanupCurrencyList();
  first.Write("a.dosh", OverlappingBomb(5));
  second.Write("c.dosh", OverlappingBomb(5));
  EXPECT_FALSE(Load("a.dosh", true)) << "nothing left to show";
}

}  // namespace
