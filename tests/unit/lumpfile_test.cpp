// The two lump file readers on files from the project's writer, then broken
// field by field: every check of Open and its order, the directory's bounds,
// SeekLump and LoadData, Close at any time; what a currency may cost; names
// shown safely.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <new>

#include "LumpWriter.h"
#include "TestFiles.h"
#include "data/CurrencyLimits.h"
#include "data/MoneyFile.h"
#include "data/Paths.h"
#include "data/ResFile.h"

// The readers allocate with new (std::nothrow): the largest request shows
// whether a claimed size was allocated before it was checked.
size_t largestNothrowArray = 0;
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  largestNothrowArray = std::max(largestNothrowArray, size);
  try {
    return ::operator new[](size);
  } catch (...) {
    return nullptr;
  }
}

namespace {

// Header, five and three bytes of data, then the directory at 72: 144 bytes.
const std::vector<CurrencyLump> kLumps = {
    {{1, 2, 3, 4, 5}, 1, 2, 156, 66}, {{}, 1, -1, 150, 80}, {{9, 8, 7}, 7, 1, 1, 2}};

Bytes Currency(const std::function<void(Bytes&)>& change = [](Bytes&) {}) {
  Bytes bytes = BuildCurrencyFile("Test Dollar", 1, kLumps);
  change(bytes);
  return bytes;
}

struct LumpFileTest : ::testing::Test {
  bool Open(const Bytes& bytes) {
    file.Close();
    return file.Open(dir.Write("c.dosh", bytes).c_str());
  }
  TempDir dir;
  MONEYFILE file;
};

TEST_F(LumpFileTest, CurrencyFileOpensWithEveryField) {
  ASSERT_TRUE(Open(Currency())) << file.failure;
  EXPECT_TRUE(std::string(file.header.name) == "Test Dollar" && file.header.version == 1 &&
              file.fileSize == 144 && file.header.numLumps == 3 && file.header.dirOffset == 72 &&
              file.failure.empty());
  for (int i = 0; i < 3; ++i) {
    const MONEYLUMP& l = file.lumps[i];
    const CurrencyLump& want = kLumps[size_t(i)];
    EXPECT_TRUE(l.size == want.data.size() && l.offset == (i ? 69u : 64u) && l.type == want.type &&
                l.alphaMode == want.alphaMode && l.width == want.width && l.height == want.height)
        << i;
    unsigned char* data = nullptr;
    ASSERT_TRUE(file.LoadData(i, reinterpret_cast<void**>(&data)))
        << i;  // an empty lump gives an empty array, not null
    EXPECT_EQ(Bytes(data, data + l.size), want.data);
    delete[] data;
  }
  // Bytes 44, 46 and 47 carry nothing; a name without its NUL is cut to 39.
  ASSERT_TRUE(Open(Currency([](Bytes& b) {
    b[44] = b[46] = b[47] = 0xAB;
    std::memset(b.data(), 'A', 40);
  })));
  EXPECT_EQ(std::string(file.header.name), std::string(39, 'A'));
  // The smallest currency has no notes; an empty directory is never read, wherever it is.
  for (uint32_t at : {64u, 0xFFFFFF00u}) {
    ASSERT_TRUE(Open(Currency([at](Bytes& b) {
      b = BuildCurrencyFile(std::string(39, 'N'), 0, {});
      PutLE32(b, 60, at);
    })));
    EXPECT_TRUE(std::string(file.header.name) == std::string(39, 'N') && file.header.version == 0 &&
                !file.SeekLump(0));
  }
}

TEST_F(LumpFileTest, OpenRefusesWhatItMustInOrder) {
  const std::pair<std::function<void(Bytes&)>, std::string> cases[] = {
      {[](Bytes& b) { b.push_back(0); }, "size check mismatch: file is 145 bytes, header says 144"},
      {[](Bytes& b) { b.pop_back(); }, "size check mismatch: file is 143 bytes, header says 144"},
      {[](Bytes& b) { PutLE32(b, 56, 144); },
       "size check mismatch: file is 144 bytes, header says 4294967151"},
      {[](Bytes& b) { b[45] = 2; }, "unsupported version 2, expected 0 or 1"},
      {[](Bytes& b) { b[50] = 1; }, "word at offset 48 is 65536, expected 0"},
      {[](Bytes& b) { b[43] = 0; },
       "not a currency file: magic at offset 40 is \"COR\\x00\", expected \"CORV\""},
      // Magic first, then the length, then the version, then the reserved word.
      {[](Bytes& b) {
         b[50] = 1;
         b[45] = 5;
         b[40] = 'K';
         b.push_back(0);
       },
       "not a currency file: magic at offset 40 is \"KORV\", expected \"CORV\""},
      {[](Bytes& b) {
         b[50] = 1;
         b[45] = 5;
         b.push_back(0);
       },
       "size check mismatch: file is 145 bytes, header says 144"},
      {[](Bytes& b) {
         b[50] = 1;
         b[45] = 5;
       },
       "unsupported version 5, expected 0 or 1"},
      {[](Bytes& b) { b.resize(63); },
       "too short for a header: file is 63 bytes, a header needs 64"},
      {[](Bytes& b) { b.clear(); }, "too short for a header: file is 0 bytes, a header needs 64"},
      {[](Bytes& b) { PutLE32(b, 52, 0xFFFFFFFFu); },
       "directory runs past the end: 4294967295 entries of 24 bytes "
       "at offset 72 end at byte 103079215152, file is 144 bytes"},
      {[](Bytes& b) { PutLE32(b, 52, 4); },
       "directory runs past the end: 4 entries of 24 bytes at offset 72 end at "
       "byte 168, file is 144 bytes"},
      {[](Bytes& b) { PutLE32(b, 60, 0xFFFFFFF0u); },
       "directory runs past the end: 3 entries of 24 bytes at offset "
       "4294967280 end at byte 4294967352, file is 144 bytes"}};
  for (const auto& [change, failure] : cases) {  // and nothing allocated for a claim
    largestNothrowArray = 0;
    EXPECT_FALSE(Open(Currency(change)));
    EXPECT_TRUE(file.failure == failure && !file.lumps && largestNothrowArray < 1000)
        << file.failure << " instead of " << failure;
  }
  // Only a regular file is opened: a FIFO would make the open wait for ever.
  ASSERT_EQ(mkfifo(dir.Path("fifo.dosh").c_str(), 0600), 0);
  for (const auto& [path, failure] :
       {std::pair{dir.Path("missing.dosh"), "No such file or directory"},
        {dir.dir, "Is a directory"},
        {dir.Path("fifo.dosh"), "Is a FIFO"}}) {
    file.Close();
    EXPECT_FALSE(file.Open(path.c_str()));
    EXPECT_TRUE(!file.stream.is_open() && file.failure == std::string("cannot open: ") + failure)
        << file.failure;
  }
}

TEST_F(LumpFileTest, SeekAndLoadStayInsideTheFile) {
  // Lump 0 claims an absurd size, lump 1 runs exactly to the end of the
  // file, lump 2 one byte past it: lumps are only checked when read.
  ASSERT_TRUE(Open(Currency([](Bytes& b) {
    PutLE32(b, 72, 0xFFFFFFF0u);
    PutLE32(b, 96, 75);
    PutLE32(b, 120, 76);
  })));
  unsigned char* data = nullptr;
  ASSERT_TRUE(file.LoadData(1, reinterpret_cast<void**>(&data)));
  EXPECT_TRUE(data[0] == 9 && data[74] == 0);
  delete[] data;
  for (int index : {0, 2, 3, -1}) {  // refused before allocating
    void* untouched = &largestNothrowArray;
    largestNothrowArray = 0;
    EXPECT_FALSE(file.LoadData(index, &untouched)) << index;
    EXPECT_TRUE(untouched == &largestNothrowArray && largestNothrowArray < 1000) << index;
  }
  ASSERT_TRUE(Open(Currency()));
  const std::streamoff before = file.stream.tellg();
  for (int bad : {-1, 3, 1000})
    EXPECT_TRUE(!file.SeekLump(bad) && file.stream.tellg() == before) << bad;
  file.stream.seekg(0, std::ios::end);
  file.stream.get();  // a failed read does not spoil the next seek
  EXPECT_TRUE(file.SeekLump(2) && file.stream.tellg() == 69 && file.stream.get() == 9);
  // Close is harmless at any time; a closed reader refuses everything, then opens again.
  file.Close();
  file.Close();
  MONEYFILE unopened;
  void* none = nullptr;
  EXPECT_FALSE(file.SeekLump(0) || file.LoadData(0, &none) || file.lumps || file.stream.is_open() ||
               unopened.SeekLump(0) || unopened.LoadData(0, &none));
  EXPECT_TRUE(Open(Currency()));
}

TEST_F(LumpFileTest, ResourceFile) {
  Bytes bytes = BuildResourceFile({{kLumps[0].data, 1, 2}, {{}, 1, -1}, {kLumps[2].data, 7, 1}}),
        appended = BuildResourceFile({}), huge = appended;
  for (size_t i = 4; i < 12; ++i) bytes[i] = 0xEE;  // bytes the format leaves alone
  for (size_t i = 16; i < 28; ++i) bytes[32 + i] = uint8_t(i);
  appended.push_back(1);
  PutLE32(huge, 12, 0xFFFFFFFFu);
  RESFILE res;
  ASSERT_TRUE(res.Open(dir.Write("r.artifacts", bytes).c_str())) << res.failure;
  EXPECT_TRUE(res.header.numLumps == 3 && res.lumps[0].size == 5 && res.lumps[0].offset == 24 &&
              res.lumps[0].alphaMode == 2 && res.lumps[1].alphaMode == -1 &&
              res.lumps[2].type == 7 && res.lumps[0].unused16[11] == 27);
  EXPECT_TRUE(!res.SeekLump(3) && res.SeekLump(2) && res.stream.get() == 9);
  const std::pair<Bytes, std::string> cases[] = {
      {BuildResourceFile({}), ""},
      {Currency(), "not a resource file: magic at offset 0 is \"Test\", expected \"BRMF\""},
      {appended, "size check mismatch: file is 25 bytes, header says 24"},
      {Bytes(23, 0), "too short for a header: file is 23 bytes, a header needs 24"},
      {huge,
       "directory runs past the end: 4294967295 entries of 28 bytes at offset 24 end at byte "
       "120259084284, "
       "file is 24 bytes"}};
  for (const auto& [other, failure] : cases) {
    res.Close();
    EXPECT_TRUE(res.Open(dir.Write("r.artifacts", other).c_str()) == failure.empty() &&
                res.failure == failure)
        << res.failure;
  }
  EXPECT_FALSE(res.SeekLump(0) || file.Open(dir.Write("r.dosh", bytes).c_str()));
}

// An image lump that is only its header, as a decoder would start on it.
CurrencyLump Header(uint8_t type, uint16_t width, uint16_t height, uint8_t depth = 24) {
  return {MakeTGA(type, width, height, depth, {}), 1, 0, 156, 66};
}
Bytes Images(size_t count, uint16_t width, uint16_t height, uint8_t depth = 24) {
  return BuildCurrencyFile("C", 1,
                           std::vector<CurrencyLump>(count, Header(2, width, height, depth)));
}

TEST_F(LumpFileTest, CostIsCheckedAgainstTheLimitsFromTheHeadersAlone) {
  std::vector<CurrencyLump> tall = {Header(2, 8, 8), Header(2, 8, 8), Header(10, 1, 4097)},
                            uncounted = {Header(3, 9999, 9999), Header(2, 9999, 0), Header(2, 8, 8),
                                         Header(2, 9999, 9999)};
  uncounted.back().type = 7;  // not an image
  // Sixty-four entries sharing one run-length lump that claims 64 MiB.
  Bytes shared = BuildCurrencyFile(
      "C", 1,
      std::vector<CurrencyLump>(64, {MakeTGA(10, 4096, 4096, 32, {0xFF, 1, 2, 3, 4}), 1, 0, 1, 1}));
  for (uint32_t i = 0; i < 64; ++i) PutLE32(shared, shared.size() - 24 * (64 - i) + 4, 64);
  const struct {
    Bytes file;
    uint32_t maxTexture;
    const char* why;
    uint64_t pixelBytes;
  } cases[] = {
      {Images(64, 1, 1), 0, "", 64 * 3},
      {Images(65, 1, 1), 0, "65 notes, at most 64", 0},
      {Images(1, 4096, 4096), 16384, "", 4096u * 4096 * 3},
      {Images(1, 4097, 1), 16384, "note 0: image 4097x1, at most 4096 texels a side", 0},
      {BuildCurrencyFile("C", 1, tall), 0, "note 2: image 1x4097, at most 4096 texels a side", 0},
      {Images(1, 1025, 1), 1024, "note 0: image 1025x1, at most 1024 texels a side",
       0},  // what the GL takes
      {Images(4, 4096, 4096, 32), 0, "", 256u << 20},
      {shared, 0, "4294967296 bytes of decoded pixels, at most 268435456", 0},
      {BuildCurrencyFile("C", 1, uncounted), 0, "", 8 * 8 * 3}};  // lumps the decoder refuses
  for (const auto& c : cases) {
    CurrencyCost cost;
    std::string why;
    ASSERT_TRUE(Open(c.file)) << c.why << ": " << file.failure;
    EXPECT_TRUE(CheckCurrencyLimits(&file, c.maxTexture, &cost, &why) == (*c.why == 0) &&
                why == c.why && (c.pixelBytes == 0 || cost.pixelBytes == c.pixelBytes))
        << why << ", " << cost.pixelBytes;
  }
}

TEST(Printable, EscapesWhatATerminalWouldObey) {
  // UTF-8 stays; C0, C1 (raw or encoded), DEL, right-to-left overrides, malformed UTF-8 and
  // backslashes are escaped.
  EXPECT_EQ(Printable("Z\xC5\x82oty \xE2\x82\xAC \x1B]0;owned\x07 a\tb\nc\x7F \x9B"
                      "31m \xC2\x9B"
                      "31m \xE2\x80\xAE"
                      "evil "
                      "\xC0\xAF \xED\xA0\x80 \xF4\x90\x80\x80 back\\slash \xE2\x82"),
            "Z\xC5\x82oty \xE2\x82\xAC \\x1B]0;owned\\x07 a\\x09b\\x0Ac\\x7F \\x9B31m "
            "\\xC2\\x9B31m \\xE2\\x80\\xAEevil "
            "\\xC0\\xAF \\xED\\xA0\\x80 \\xF4\\x90\\x80\\x80 back\\\\slash \\xE2\\x82");
}

}  // namespace
