// Real-world TGA files written by other software: the stream and the path
// entry points must agree on every one of them, byte for byte and message
// for message. (The expected results themselves are checked against the
// corpus manifest by tga_corpus.py through corvan-dosh.)
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "TestFiles.h"
#include "image/TGALoader.h"

namespace {

std::vector<std::string> CorpusFiles() {
  std::vector<std::string> files;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(CORVAN_CORPORA_DIR "/tga", error))
    if (entry.path().extension() == ".tga") files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

TEST(TGACorpus, StreamAndPathDecodersAgree) {
  const std::vector<std::string> files = CorpusFiles();
  if (files.empty()) GTEST_SKIP() << "no corpus at " CORVAN_CORPORA_DIR;
  int decoded = 0;
  for (const std::string& path : files) {
    SCOPED_TRACE(path);
    AlertRecorder alerts;
    Texture fromPath, fromStream;
    const bool pathOk = LoadTGA(&fromPath, path.c_str());
    std::ifstream stream(path, std::ios::binary);
    const bool streamOk = LoadTGA2(&fromStream, &stream);
    ASSERT_EQ(pathOk, streamOk);
    if (!pathOk) {
      ASSERT_EQ(alerts.alerts.size(), 2u);
      EXPECT_EQ(alerts.alerts[0], alerts.alerts[1]);
      continue;
    }
    EXPECT_TRUE(alerts.alerts.empty());
    ASSERT_EQ(fromPath.width, fromStream.width);
    ASSERT_EQ(fromPath.height, fromStream.height);
    ASSERT_EQ(fromPath.bitsPerPixel, fromStream.bitsPerPixel);
    const size_t size = size_t(fromPath.width) * fromPath.height * fromPath.bitsPerPixel / 8;
    EXPECT_EQ(Sha256Hex(fromPath.pixels, size), Sha256Hex(fromStream.pixels, size));
    ++decoded;
  }
  EXPECT_GE(decoded, 8);  // the corpus holds at least this many accepted files
}

}  // namespace
