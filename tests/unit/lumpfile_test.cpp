// The two lump file readers on files from the project's writer, then broken
// field by field: every refusal of Open with its message and in its order,
// the directory's and the lumps' bounds, Close at any time; what a currency
// may cost; names shown safely.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <tuple>

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

using Change = std::function<void(Bytes&)>;

// Header, five and three bytes of data, then the directory at 72: 144 bytes.
const std::vector<CurrencyLump> kLumps = {
    {{1, 2, 3, 4, 5}, 1, 2, 156, 66}, {{}, 1, -1, 150, 80}, {{9, 8, 7}, 7, 1, 1, 2}};

Bytes Currency(const Change& change = [](Bytes&) {}) {
  Bytes bytes = BuildCurrencyFile("Test Dollar", 1, kLumps);
  change(bytes);
  return bytes;
}

const Bytes kRefused = {'r', 'e', 'f', 'u', 's', 'e', 'd'};

// The lump's bytes, or "refused" (with the pointer untouched and nothing allocated).
Bytes Load(MONEYFILE& file, int index) {
  void* data = &largestNothrowArray;
  largestNothrowArray = 0;
  if (!file.LoadData(index, &data)) {
    EXPECT_EQ(data, &largestNothrowArray);
    EXPECT_LT(largestNothrowArray, 1000u) << index;
    return kRefused;
  }
  std::unique_ptr<unsigned char[]> owned(static_cast<unsigned char*>(data));
  return Bytes(owned.get(), owned.get() + file.lumps[index].size);
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
  const MONEYHEADER& h = file.header;
  EXPECT_EQ(std::tuple(std::string(h.name), h.version, h.numLumps, h.dirOffset, file.fileSize),
            std::tuple("Test Dollar", 1, 3, 72, 144));
  for (int i = 0; i < 3; ++i) {
    const MONEYLUMP& l = file.lumps[i];
    const CurrencyLump& w = kLumps[size_t(i)];
    EXPECT_EQ(std::tie(l.size, l.offset, l.type, l.alphaMode, l.width, l.height),
              std::tuple(w.data.size(), i ? 69 : 64, w.type, w.alphaMode, w.width, w.height));
    EXPECT_EQ(Load(file, i), w.data);  // an empty lump gives an empty array, not a refusal
  }
  // Bytes 44, 46 and 47 carry nothing; a name without its NUL is cut to 39.
  ASSERT_TRUE(Open(Currency([](Bytes& b) {
    b[44] = b[46] = b[47] = 0xAB;
    std::memset(b.data(), 'A', 40);
  })));
  EXPECT_EQ(file.header.name, std::string(39, 'A'));
  // The smallest currency has no notes; an empty directory is never read, wherever it is.
  ASSERT_TRUE(Open(Currency([](Bytes& b) {
    b = BuildCurrencyFile("N", 0, {});
    PutLE32(b, 60, 0xFFFFFF00u);
  }))) << file.failure;
  EXPECT_FALSE(file.SeekLump(0));
}

TEST_F(LumpFileTest, OpenRefusesWhatItMustInOrder) {
  // Magic first, then the length, then the version, then the reserved word.
  const std::pair<Change, std::string> cases[] = {
      {[](Bytes& b) { b[50] = 1, b[45] = 2, b[43] = 0, b.push_back(0); },
       "not a currency file: magic at offset 40 is \"COR\\x00\", expected \"CORV\""},
      {[](Bytes& b) { b[50] = 1, b[45] = 2, b.push_back(0); },
       "size check mismatch: file is 145 bytes, header says 144"},
      {[](Bytes& b) { b[50] = 1, b[45] = 2; }, "unsupported version 2, expected 0 or 1"},
      {[](Bytes& b) { b[50] = 1; }, "word at offset 48 is 65536, expected 0"},
      {[](Bytes& b) { PutLE32(b, 56, 144); },
       "size check mismatch: file is 144 bytes, header says 4294967151"},
      {[](Bytes& b) { b.resize(63); },
       "too short for a header: file is 63 bytes, a header needs 64"},
      {[](Bytes& b) { PutLE32(b, 52, 0xFFFFFFFFu); },
       "directory runs past the end: 4294967295 entries of 24 bytes at offset 72 end at byte "
       "103079215152, file is 144 "
       "bytes"},
  };
  for (const auto& [change, failure] : cases) {  // and nothing allocated for a claim
    largestNothrowArray = 0;
    EXPECT_FALSE(Open(Currency(change)));
    EXPECT_EQ(std::tie(file.failure, file.lumps), std::tuple(failure, nullptr));
    EXPECT_LT(largestNothrowArray, 1000u) << failure;
  }
  file.Close();  // (a FIFO is refused in the host tests, where it would hang a rebuild)
  EXPECT_FALSE(file.Open(this->dir.Path("gone").c_str()));
  EXPECT_EQ(file.failure, "cannot open: No such file or directory");
}

TEST_F(LumpFileTest, SeekAndLoadStayInsideTheFile) {
  // Lump 0 claims an absurd size, lump 1 runs exactly to the end of the
  // file, lump 2 one byte past it: lumps are only checked when read.
  ASSERT_TRUE(Open(Currency([](Bytes& b) {
    PutLE32(b, 72, 0xFFFFFFF0u);
    PutLE32(b, 96, 75);
    PutLE32(b, 120, 76);
  })));
  const Bytes whole = ReadFileBytes(file.path);
  EXPECT_EQ(Load(file, 1), Bytes(whole.begin() + 69, whole.end()));
  for (int index : {0, 2, 3, -1}) EXPECT_EQ(Load(file, index), kRefused) << index;
  ASSERT_TRUE(Open(Currency()));
  for (int bad : {-1, 3}) {
    EXPECT_FALSE(file.SeekLump(bad)) << bad;
    EXPECT_EQ(file.stream.tellg(), 144) << bad;
  }
  file.stream.seekg(0, std::ios::end);
  file.stream.get();  // a failed read does not spoil the next seek
  ASSERT_TRUE(file.SeekLump(2));
  EXPECT_EQ(file.stream.tellg(), 69);
  // Close is harmless at any time; a closed reader refuses everything, then opens again.
  file.Close();
  file.Close();
  EXPECT_EQ(std::tuple(file.SeekLump(0), Load(file, 0), file.lumps),
            std::tuple(false, kRefused, nullptr));
  EXPECT_TRUE(Open(Currency())) << file.failure;
}

TEST_F(LumpFileTest, ResourceFile) {
  Bytes huge = BuildResourceFile({});
  PutLE32(huge, 12, 0xFFFFFFFFu);
  RESFILE res;
  ASSERT_TRUE(res.Open(dir.Write("r", BuildResourceFile({{{1}, 1, 2}, {{}, 7, -1}})).c_str()));
  const RESLUMP* l = res.lumps;
  EXPECT_EQ(std::tie(res.header.numLumps, l[0].size, l[1].offset, l[0].alphaMode, l[1].type),
            std::make_tuple(2, 1, 25, 2, 7));
  const std::pair<Bytes, std::string> cases[] = {
      {BuildResourceFile({}), ""},
      {Currency(), "not a resource file: magic at offset 0 is \"Test\", expected \"BRMF\""},
      {huge,
       "directory runs past the end: 4294967295 entries of 28 bytes at offset 24 end at byte "
       "120259084284, file is 24 bytes"}};
  for (const auto& [other, failure] : cases) {
    res.Close();
    EXPECT_EQ(res.Open(dir.Write("r", other).c_str()), failure.empty()) << failure;
    EXPECT_EQ(res.failure, failure);
  }
}

// An image lump that is only its header, as a decoder would start on it.
CurrencyLump Header(uint8_t type, uint16_t width, uint16_t height, uint8_t depth = 24) {
  return {MakeTGA(type, width, height, depth, {}), 1};
}
Bytes Images(size_t count, uint16_t width, uint16_t height, uint8_t depth = 24) {
  return BuildCurrencyFile("C", 1,
                           std::vector<CurrencyLump>(count, Header(2, width, height, depth)));
}

TEST_F(LumpFileTest, CostIsCheckedAgainstTheLimitsFromTheHeadersAlone) {
  CurrencyLump noImage = Header(2, 9999, 9999);
  noImage.type = 7;  // with lumps the decoder refuses, which are not counted
  const Bytes tall = BuildCurrencyFile(
      "C", 1, {Header(3, 9999, 9999), Header(2, 9999, 0), noImage, Header(10, 1, 4097)});
  const struct {
    Bytes file;
    uint32_t maxTexture;
    std::string why;
    uint64_t pixelBytes;
  } cases[] = {
      {Images(64, 1, 1), 0, "", 64 * 3},
      {Images(1, 4097, 1), 16384, "note 0: image 4097x1, at most 4096 texels a side", 0},
      {tall, 0, "note 3: image 1x4097, at most 4096 texels a side", 0},
      {Images(1, 1025, 1), 1024, "note 0: image 1025x1, at most 1024 texels a side", 0},
      {Images(4, 4096, 4096, 32), 0, "", 256u << 20},
      {Images(64, 4096, 4096, 32), 0, "4294967296 bytes of decoded pixels, at most 268435456", 0},
  };
  for (const auto& c : cases) {
    CurrencyCost cost;
    std::string why;
    ASSERT_TRUE(Open(c.file)) << file.failure;
    EXPECT_EQ(CheckCurrencyLimits(&file, c.maxTexture, &cost, &why), c.why.empty()) << why;
    EXPECT_EQ(why, c.why);
    EXPECT_EQ(c.pixelBytes ? cost.pixelBytes : 0, c.pixelBytes) << c.why;
  }
}

TEST(Printable, EscapesWhatATerminalWouldObey) {
  // UTF-8 stays; C0, DEL, C1 (raw or encoded), right-to-left overrides, malformed UTF-8
  // (overlong, a surrogate, past U+10FFFF, cut short) and backslashes are escaped.
  EXPECT_EQ(Printable("Z\xC5\x82 \xE2\x82\xAC \x1B \x7F \x9B \xC2\x9B \xE2\x80\xAE \xC0\xAF "
                      "\xED\xA0\x80 \xF4\x90\x80\x80 \\ \xE2\x82"),
            "Z\xC5\x82 \xE2\x82\xAC \\x1B \\x7F \\x9B \\xC2\\x9B \\xE2\\x80\\xAE \\xC0\\xAF "
            "\\xED\\xA0\\x80 \\xF4\\x90\\x80\\x80 \\\\ \\xE2\\x82");
}

}  // namespace
