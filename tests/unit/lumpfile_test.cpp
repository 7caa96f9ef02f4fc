// The two lump file readers: every check of Open and its order, the
// directory's bounds, SeekLump and LoadData contracts, and Close at any time;
// what a currency may cost, and names shown safely.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "TestFiles.h"
#include "data/CurrencyLimits.h"
#include "data/MoneyFile.h"
#include "data/Paths.h"
#include "data/ResFile.h"

namespace {

struct Lump {
  Bytes data;
  uint32_t type = 1;
  int32_t alphaMode = 0;
  uint32_t width = 0;
  uint32_t height = 0;
};

// A currency file laid out by hand (header, data, directory) so that tests
// can break any field of it afterwards.
Bytes CurrencyFile(const char* name, const std::vector<Lump>& lumps, uint8_t version = 1) {
  Bytes file(64, 0);
  std::memcpy(file.data(), name, std::min<size_t>(std::strlen(name), 40));
  std::memcpy(file.data() + 40, "CORV", 4);
  file[45] = version;
  std::vector<uint32_t> offsets;
  for (const Lump& lump : lumps) {
    offsets.push_back(uint32_t(file.size()));
    file.insert(file.end(), lump.data.begin(), lump.data.end());
  }
  const uint32_t dirOffset = uint32_t(file.size());
  for (size_t i = 0; i < lumps.size(); ++i) {
    const size_t at = file.size();
    PutLE32(file, at, uint32_t(lumps[i].data.size()));
    PutLE32(file, at + 4, offsets[i]);
    PutLE32(file, at + 8, lumps[i].type);
    PutLE32(file, at + 12, uint32_t(lumps[i].alphaMode));
    PutLE32(file, at + 16, lumps[i].width);
    PutLE32(file, at + 20, lumps[i].height);
  }
  PutLE32(file, 52, uint32_t(lumps.size()));
  PutLE32(file, 60, dirOffset);
  PutLE32(file, 56, ~uint32_t(file.size()));
  return file;
}

Bytes ResourceFile(const std::vector<Lump>& lumps) {
  Bytes file(24, 0);
  std::memcpy(file.data(), "BRMF", 4);
  std::vector<uint32_t> offsets;
  for (const Lump& lump : lumps) {
    offsets.push_back(uint32_t(file.size()));
    file.insert(file.end(), lump.data.begin(), lump.data.end());
  }
  const uint32_t dirOffset = uint32_t(file.size());
  for (size_t i = 0; i < lumps.size(); ++i) {
    const size_t at = file.size();
    PutLE32(file, at, uint32_t(lumps[i].data.size()));
    PutLE32(file, at + 4, offsets[i]);
    PutLE32(file, at + 8, lumps[i].type);
    PutLE32(file, at + 12, uint32_t(lumps[i].alphaMode));
    file.resize(at + 28, 0);
  }
  PutLE32(file, 12, uint32_t(lumps.size()));
  PutLE32(file, 20, dirOffset);
  PutLE32(file, 16, ~uint32_t(file.size()));
  return file;
}

void FixSizeCheck(Bytes& file, size_t at) { PutLE32(file, at, ~uint32_t(file.size())); }

std::vector<Lump> ThreeLumps() {
  return {{{1, 2, 3, 4, 5}, 1, 2, 156, 66}, {{}, 1, -1, 150, 80}, {{9, 8, 7}, 7, 1, 1, 2}};
}

class MoneyFileTest : public ::testing::Test {
protected:
  // Opens bytes written to a file; the reader's failure is kept for messages.
  bool Open(const Bytes& bytes) { return file.Open(dir.Write("c.dosh", bytes).c_str()); }
  TempDir dir;
  MONEYFILE file;
};

TEST_F(MoneyFileTest, OpensAndReadsHeaderAndDirectory) {
  ASSERT_TRUE(Open(CurrencyFile("Test Dollar", ThreeLumps()))) << file.failure;
  EXPECT_STREQ(file.header.name, "Test Dollar");
  EXPECT_EQ(file.header.version, 1);
  EXPECT_EQ(file.header.numLumps, 3u);
  EXPECT_EQ(file.fileSize, 64u + 8u + 3u * 24u);
  ASSERT_NE(file.lumps, nullptr);
  EXPECT_EQ(file.lumps[0].size, 5u);
  EXPECT_EQ(file.lumps[0].offset, 64u);
  EXPECT_EQ(file.lumps[0].alphaMode, 2);
  EXPECT_EQ(file.lumps[0].width, 156u);
  EXPECT_EQ(file.lumps[0].height, 66u);
  EXPECT_EQ(file.lumps[1].alphaMode, -1);
  EXPECT_EQ(file.lumps[2].type, 7u);
  EXPECT_EQ(file.lumps[2].offset, 69u);
  EXPECT_TRUE(file.failure.empty());
}

TEST_F(MoneyFileTest, SmallestFileIsACurrencyWithoutNotes) {
  const Bytes bytes = CurrencyFile("Empty", {});
  ASSERT_EQ(bytes.size(), 64u);
  EXPECT_TRUE(Open(bytes)) << file.failure;
  EXPECT_EQ(file.header.numLumps, 0u);
  EXPECT_EQ(file.header.dirOffset, 64u);
  EXPECT_FALSE(file.SeekLump(0));
}

TEST_F(MoneyFileTest, LengthMustMatchTheSizeCheckExactly) {
  Bytes appended = CurrencyFile("X", ThreeLumps());
  const size_t length = appended.size();
  appended.push_back(0);
  EXPECT_FALSE(Open(appended));
  EXPECT_EQ(file.failure, "size check mismatch: file is " + std::to_string(length + 1) +
                              " bytes, header says " + std::to_string(length));
  file.Close();

  Bytes cut = CurrencyFile("X", ThreeLumps());
  cut.pop_back();
  EXPECT_FALSE(Open(cut));
  file.Close();

  Bytes uncomplemented = CurrencyFile("X", ThreeLumps());
  PutLE32(uncomplemented, 56, uint32_t(uncomplemented.size()));
  EXPECT_FALSE(Open(uncomplemented));
  EXPECT_NE(file.failure.find("size check mismatch"), std::string::npos);
}

TEST_F(MoneyFileTest, VersionAndReservedWord) {
  for (uint8_t version : {0, 1}) {
    EXPECT_TRUE(Open(CurrencyFile("V", ThreeLumps(), version))) << int(version);
    file.Close();
  }
  EXPECT_FALSE(Open(CurrencyFile("V", ThreeLumps(), 2)));
  EXPECT_EQ(file.failure, "unsupported version 2, expected 0 or 1");
  file.Close();

  Bytes reserved = CurrencyFile("V", ThreeLumps());
  reserved[50] = 1;
  EXPECT_FALSE(Open(reserved));
  EXPECT_EQ(file.failure, "word at offset 48 is 65536, expected 0");
  file.Close();

  // Bytes 44, 46 and 47 carry nothing.
  Bytes loose = CurrencyFile("V", ThreeLumps());
  loose[44] = 0xAB;
  loose[46] = 0xCD;
  loose[47] = 0xEF;
  EXPECT_TRUE(Open(loose)) << file.failure;
}

TEST_F(MoneyFileTest, ChecksRunInOrder) {
  // Wrong magic and wrong length: the magic is reported.
  Bytes bytes = CurrencyFile("V", ThreeLumps(), 5);
  bytes[50] = 1;
  bytes[40] = 'K';
  bytes.push_back(0);
  EXPECT_FALSE(Open(bytes));
  EXPECT_EQ(file.failure, "not a currency file: magic at offset 40 is \"KORV\", expected \"CORV\"");
  file.Close();
  // Magic fixed: the length comes next.
  bytes[40] = 'C';
  EXPECT_FALSE(Open(bytes));
  EXPECT_NE(file.failure.find("size check mismatch"), std::string::npos) << file.failure;
  file.Close();
  // Length fixed: then the version, then the reserved word.
  FixSizeCheck(bytes, 56);
  EXPECT_FALSE(Open(bytes));
  EXPECT_NE(file.failure.find("version 5"), std::string::npos) << file.failure;
  file.Close();
  bytes[45] = 0;
  EXPECT_FALSE(Open(bytes));
  EXPECT_NE(file.failure.find("offset 48"), std::string::npos) << file.failure;
}

TEST_F(MoneyFileTest, RefusesShortAndMissingFiles) {
  EXPECT_FALSE(file.Open(dir.Path("missing.dosh").c_str()));
  EXPECT_EQ(file.failure, "cannot open: No such file or directory");
  file.Close();
  Bytes shortFile = CurrencyFile("S", {});
  shortFile.resize(63);
  EXPECT_FALSE(Open(shortFile));
  EXPECT_EQ(file.failure, "too short for a header: file is 63 bytes, a header needs 64");
  file.Close();
  EXPECT_FALSE(Open({}));
}

// Only a regular file is read: anything else named like one is refused at
// once (a FIFO would otherwise make the open wait for a writer for ever).
TEST_F(MoneyFileTest, RefusesAnythingButARegularFileAtOnce) {
  ASSERT_EQ(mkfifo(dir.Path("fifo.dosh").c_str(), 0600), 0);
  const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", dir.Path("socket.dosh").c_str());
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

  const std::pair<std::string, std::string> cases[] = {
      {dir.dir, "cannot open: Is a directory"},
      {dir.Path("fifo.dosh"), "cannot open: Is a FIFO"},
      {dir.Path("socket.dosh"), "cannot open: Is a socket"},
      {"/dev/null", "cannot open: Is a character device"},
  };
  for (const auto& [path, failure] : cases) {
    EXPECT_FALSE(file.Open(path.c_str())) << path;
    EXPECT_EQ(file.failure, failure);
    EXPECT_FALSE(file.stream.is_open()) << path;
    file.Close();
  }
  close(listener);
}

TEST_F(MoneyFileTest, MagicIsFourBytesNotAString) {
  Bytes bytes = CurrencyFile("M", {});
  bytes[43] = 0;  // "COR\0"
  EXPECT_FALSE(Open(bytes));
  EXPECT_EQ(file.failure, "not a currency file: magic at offset 40 is \"COR\\x00\", expected \"CORV\"");
}

TEST_F(MoneyFileTest, RefusesADirectoryThatCannotFitBeforeAllocating) {
  Bytes huge = CurrencyFile("H", {});
  PutLE32(huge, 52, 0xFFFFFFFFu);
  EXPECT_FALSE(Open(huge));
  EXPECT_EQ(file.lumps, nullptr);
  EXPECT_EQ(file.failure,
            "directory runs past the end: 4294967295 entries of 24 bytes at offset 64 end at byte "
            "103079215144, file is 64 bytes");
  file.Close();

  // One entry too many, and a directory offset past the end.
  Bytes oneMore = CurrencyFile("H", ThreeLumps());
  PutLE32(oneMore, 52, 4);
  EXPECT_FALSE(Open(oneMore));
  EXPECT_EQ(file.lumps, nullptr);
  file.Close();
  Bytes farOffset = CurrencyFile("H", ThreeLumps());
  PutLE32(farOffset, 60, 0xFFFFFFF0u);
  EXPECT_FALSE(Open(farOffset));
  file.Close();
  // A directory ending exactly at the end of the file is fine.
  EXPECT_TRUE(Open(CurrencyFile("H", ThreeLumps())));
}

TEST_F(MoneyFileTest, NameWithoutTerminatorIsCutTo39Characters) {
  Bytes bytes = CurrencyFile("", {});
  std::memset(bytes.data(), 'A', 40);
  ASSERT_TRUE(Open(bytes)) << file.failure;
  EXPECT_EQ(std::strlen(file.header.name), 39u);
  EXPECT_EQ(std::string(file.header.name), std::string(39, 'A'));
}

TEST_F(MoneyFileTest, SeekLumpChecksItsIndexAndLeavesTheStreamAlone) {
  ASSERT_TRUE(Open(CurrencyFile("S", ThreeLumps())));
  const std::streamoff before = file.stream.tellg();
  for (int bad : {-1, 3, 1000}) {
    EXPECT_FALSE(file.SeekLump(bad)) << bad;
    EXPECT_EQ(file.stream.tellg(), before) << bad;
  }
  ASSERT_TRUE(file.SeekLump(2));
  EXPECT_EQ(file.stream.tellg(), std::streamoff(69));
  char byte = 0;
  file.stream.read(&byte, 1);
  EXPECT_EQ(byte, 9);
  // A failed read does not spoil the next seek.
  file.stream.seekg(0, std::ios::end);
  file.stream.read(&byte, 1);
  ASSERT_TRUE(file.stream.fail());
  EXPECT_TRUE(file.SeekLump(0));
  EXPECT_EQ(file.stream.tellg(), std::streamoff(64));
}

TEST_F(MoneyFileTest, LoadDataReadsExactlyTheLump) {
  ASSERT_TRUE(Open(CurrencyFile("L", ThreeLumps())));
  void* data = nullptr;
  ASSERT_TRUE(file.LoadData(0, &data));
  const unsigned char* bytes = static_cast<unsigned char*>(data);
  EXPECT_EQ(Bytes(bytes, bytes + 5), (Bytes{1, 2, 3, 4, 5}));
  delete[] bytes;

  data = nullptr;
  ASSERT_TRUE(file.LoadData(1, &data));  // size 0: an empty array
  EXPECT_NE(data, nullptr);
  delete[] static_cast<unsigned char*>(data);

  void* untouched = reinterpret_cast<void*>(0x1);
  EXPECT_FALSE(file.LoadData(3, &untouched));
  EXPECT_FALSE(file.LoadData(-1, &untouched));
  EXPECT_EQ(untouched, reinterpret_cast<void*>(0x1));
}

TEST_F(MoneyFileTest, LoadDataRefusesALumpRunningPastTheEnd) {
  std::vector<Lump> lumps = ThreeLumps();
  Bytes bytes = CurrencyFile("L", lumps);
  const uint32_t dirOffset = 64 + 8;
  PutLE32(bytes, dirOffset + 0, 0xFFFFFFF0u);      // lump 0: absurd size
  PutLE32(bytes, dirOffset + 48, uint32_t(bytes.size()));  // lump 2: just too long
  ASSERT_TRUE(Open(bytes));  // lumps are only checked when read
  for (int i : {0, 2}) {
    void* untouched = nullptr;
    EXPECT_FALSE(file.LoadData(i, &untouched)) << i;
    EXPECT_EQ(untouched, nullptr) << i;
  }
}

TEST_F(MoneyFileTest, EmptyThingsPastTheEndAreNeverRead) {
  Bytes bytes = CurrencyFile("E", {{{}, 1, 0, 1, 1}});
  PutLE32(bytes, 64 + 4, 0xFFFFFF00u);  // an empty lump far past the end
  ASSERT_TRUE(Open(bytes)) << file.failure;
  void* data = nullptr;
  ASSERT_TRUE(file.LoadData(0, &data));
  delete[] static_cast<unsigned char*>(data);
  file.Close();

  Bytes noLumps = CurrencyFile("E", {});
  PutLE32(noLumps, 60, 0xFFFFFF00u);  // an empty directory far past the end
  EXPECT_TRUE(Open(noLumps)) << file.failure;
}

TEST_F(MoneyFileTest, CloseIsHarmlessAnyTime) {
  file.Close();  // never opened
  file.Close();
  EXPECT_FALSE(Open(CurrencyFile("C", ThreeLumps(), 9)));
  file.Close();  // after a failed open
  file.Close();
  EXPECT_EQ(file.lumps, nullptr);
  EXPECT_FALSE(file.stream.is_open());
  ASSERT_TRUE(Open(CurrencyFile("C", ThreeLumps())));
  file.Close();
  EXPECT_FALSE(file.SeekLump(0));
  void* data = nullptr;
  EXPECT_FALSE(file.LoadData(0, &data));
  // A closed reader can open another file.
  EXPECT_TRUE(Open(CurrencyFile("C", ThreeLumps())));
}

TEST(MoneyFileUnopened, RefusesEverything) {
  MONEYFILE file;
  EXPECT_EQ(file.fileSize, 0u);
  EXPECT_EQ(file.lumps, nullptr);
  EXPECT_FALSE(file.SeekLump(0));
  void* data = nullptr;
  EXPECT_FALSE(file.LoadData(0, &data));
}

class ResFileTest : public ::testing::Test {
protected:
  bool Open(const Bytes& bytes) { return file.Open(dir.Write("r.artifacts", bytes).c_str()); }
  TempDir dir;
  RESFILE file;
};

TEST_F(ResFileTest, OpensAndReadsDirectory) {
  Bytes bytes = ResourceFile(ThreeLumps());
  // The bytes the format leaves alone may hold anything.
  for (size_t i = 4; i < 12; ++i) bytes[i] = 0xEE;
  const size_t dir = 24 + 8;
  for (size_t i = 16; i < 28; ++i) bytes[dir + i] = uint8_t(i);
  ASSERT_TRUE(Open(bytes)) << file.failure;
  EXPECT_EQ(file.header.numLumps, 3u);
  EXPECT_EQ(file.lumps[0].size, 5u);
  EXPECT_EQ(file.lumps[0].offset, 24u);
  EXPECT_EQ(file.lumps[0].alphaMode, 2);
  EXPECT_EQ(file.lumps[1].alphaMode, -1);
  EXPECT_EQ(file.lumps[2].type, 7u);
  EXPECT_EQ(file.lumps[0].unused16[11], 27);
  void* data = nullptr;
  ASSERT_TRUE(file.LoadData(2, &data));
  EXPECT_EQ(static_cast<unsigned char*>(data)[0], 9);
  delete[] static_cast<unsigned char*>(data);
  EXPECT_FALSE(file.SeekLump(3));
  EXPECT_TRUE(file.SeekLump(2));
}

TEST_F(ResFileTest, RefusesOtherFiles) {
  EXPECT_FALSE(Open(CurrencyFile("Euro", ThreeLumps())));
  EXPECT_EQ(file.failure, "not a resource file: magic at offset 0 is \"Euro\", expected \"BRMF\"");
  file.Close();
  Bytes appended = ResourceFile(ThreeLumps());
  appended.push_back(1);
  EXPECT_FALSE(Open(appended));
  EXPECT_NE(file.failure.find("size check mismatch"), std::string::npos);
  file.Close();
  Bytes shortFile = ResourceFile({});
  shortFile.resize(23);
  EXPECT_FALSE(Open(shortFile));
  EXPECT_EQ(file.failure, "too short for a header: file is 23 bytes, a header needs 24");
  file.Close();
  Bytes huge = ResourceFile({});
  PutLE32(huge, 12, 0xFFFFFFFFu);
  EXPECT_FALSE(Open(huge));
  EXPECT_EQ(file.lumps, nullptr);
}

TEST_F(ResFileTest, EmptyDirectoryOpens) {
  EXPECT_TRUE(Open(ResourceFile({}))) << file.failure;
  EXPECT_EQ(file.header.numLumps, 0u);
  EXPECT_FALSE(file.SeekLump(0));
}

TEST_F(ResFileTest, CurrencyReaderRefusesAResourceFile) {
  MONEYFILE money;
  EXPECT_FALSE(money.Open(dir.Write("r.dosh", ResourceFile(ThreeLumps())).c_str()));
}

// --- what a currency may cost -------------------------------------------------

// An image lump that is only its header, as a decoder would start on it.
Lump ImageHeader(uint8_t type, uint16_t width, uint16_t height, uint8_t depth = 24) {
  return {MakeTGA(type, width, height, depth, {}), 1, 0, 156, 66};
}

std::vector<Lump> Images(size_t count, uint16_t width, uint16_t height, uint8_t depth = 24) {
  return std::vector<Lump>(count, ImageHeader(2, width, height, depth));
}

// Every directory entry pointed at the first lump: many claims, one copy.
Bytes Overlapping(Bytes file) {
  const uint32_t dirOffset = uint32_t(file[60] | file[61] << 8 | file[62] << 16 | file[63] << 24);
  const uint32_t count = uint32_t(file[52]);
  for (uint32_t i = 0; i < count; ++i) PutLE32(file, dirOffset + 24 * i + 4, 64);
  return file;
}

TEST_F(MoneyFileTest, CostIsCheckedAgainstTheLimitsFromTheHeadersAlone) {
  std::vector<Lump> tallThird = Images(3, 8, 8);
  tallThird[2] = ImageHeader(10, 1, 4097);
  std::vector<Lump> uncounted = {ImageHeader(3, 9999, 9999), ImageHeader(2, 9999, 0), ImageHeader(2, 8, 8)};
  uncounted.push_back(ImageHeader(2, 9999, 9999));
  uncounted.back().type = 7;  // not an image
  std::vector<Lump> bomb(64, Lump{});
  bomb[0] = ImageHeader(10, 4096, 4096, 32);
  bomb[0].data.insert(bomb[0].data.end(), {0xFF, 1, 2, 3, 4});
  for (Lump& lump : bomb) lump.type = 1;

  struct Case {
    const char* what;
    Bytes file;
    uint32_t maxTextureSize;
    const char* why;  // null: within the limits
    uint64_t pixelBytes;
  };
  const Case cases[] = {
      {"64 notes", CurrencyFile("C", Images(64, 1, 1)), 0, nullptr, 64 * 3},
      {"65 notes", CurrencyFile("C", Images(65, 1, 1)), 0, "65 notes, at most 64", 0},
      {"4096 a side", CurrencyFile("C", Images(1, 4096, 4096)), 16384, nullptr, 4096u * 4096 * 3},
      {"4097 wide", CurrencyFile("C", Images(1, 4097, 1)), 16384, "note 0: image 4097x1, at most 4096 texels a side", 0},
      {"4097 tall", CurrencyFile("C", tallThird), 0, "note 2: image 1x4097, at most 4096 texels a side", 0},
      {"past the GL", CurrencyFile("C", Images(1, 1025, 1)), 1024, "note 0: image 1025x1, at most 1024 texels a side", 0},
      {"256 MiB", CurrencyFile("C", Images(4, 4096, 4096, 32)), 0, nullptr, 256u << 20},
      {"overlapping run-length bomb", Overlapping(CurrencyFile("C", bomb)), 0,
       "4294967296 bytes of decoded pixels, at most 268435456", 4096ull * 4096 * 4 * 64},
      {"lumps the decoder refuses", CurrencyFile("C", uncounted), 0, nullptr, 8 * 8 * 3},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(Open(c.file)) << c.what << ": " << file.failure;
    CurrencyCost cost;
    std::string why;
    EXPECT_EQ(CheckCurrencyLimits(&file, c.maxTextureSize, &cost, &why), c.why == nullptr) << c.what;
    EXPECT_EQ(why, c.why ? c.why : "") << c.what;
    if (c.pixelBytes > 0) {
      EXPECT_EQ(cost.pixelBytes, c.pixelBytes) << c.what;
    }
    file.Close();
  }
}

// --- names shown safely ----------------------------------------------------------

TEST(Printable, EscapesWhatATerminalWouldObey) {
  const std::pair<const char*, const char*> cases[] = {
      {"US Dollar", "US Dollar"},
      {"Z\xC5\x82oty \xE2\x82\xAC", "Z\xC5\x82oty \xE2\x82\xAC"},             // UTF-8 stays
      {"\x1B]0;owned\x07\x1B[2J", "\\x1B]0;owned\\x07\\x1B[2J"},              // C0 escapes
      {"a\tb\nc\x7F", "a\\x09b\\x0Ac\\x7F"},
      {"\x9B" "31m \xC2\x9B" "31m", "\\x9B31m \\xC2\\x9B31m"},                 // C1, raw or encoded
      {"\xE2\x80\xAE" "evil", "\\xE2\\x80\\xAEevil"},                              // right-to-left override
      {"\xC0\xAF \xED\xA0\x80 \xF4\x90\x80\x80", "\\xC0\\xAF \\xED\\xA0\\x80 \\xF4\\x90\\x80\\x80"},
      {"back\\slash \xE2\x82", "back\\\\slash \\xE2\\x82"},
  };
  for (const auto& [name, shown] : cases) EXPECT_EQ(Printable(name), shown) << shown;
}

}  // namespace
