// Property lists written by other software, read as catalogues: arrays of
// strings are taken, everything else (dictionaries, mixed arrays, broken
// XML, no plist at all) is refused without harm. The corpus lies beside the
// checkout; its SOURCES.md gives each file's verdict.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "PropertyList.h"

namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(PropertyListCorpus, ArraysOfStringsAreTakenEverythingElseRefused) {
  const std::string folder = CORVAN_CORPORA_DIR "/plist";
  const std::string sources = Slurp(folder + "/SOURCES.md");
  if (sources.empty()) {
    if (const char* ci = std::getenv("CI"); ci && std::string(ci) == "true")
      FAIL() << folder << "/SOURCES.md is missing (CI=true needs the corpus)";
    GTEST_SKIP() << "no property list corpus at " << folder;
  }
  // | file | source | licence | format | expect |
  int files = 0;
  std::istringstream lines(sources);
  for (std::string line, why; std::getline(lines, line);) {
    std::vector<std::string> cells;
    std::istringstream row(line);
    for (std::string cell; std::getline(row, cell, '|');) cells.push_back(cell);
    if (cells.size() != 6 || cells[1].find(".plist") == std::string::npos) continue;
    const std::string file = cells[1].substr(1, cells[1].size() - 2),
                      expect = cells[5].substr(1, cells[5].size() - 2);
    ++files;
    std::vector<PropertyListItem> items;
    const std::string text = Slurp(folder + "/" + file);
    ASSERT_FALSE(text.empty()) << file;
    bool taken = ParsePropertyListArray(text, &items, &why);
    for (const PropertyListItem& item : items) taken = taken && item.isString;
    EXPECT_EQ(taken, expect == "accept") << file << ": " << why;
  }
  EXPECT_GT(files, 0) << "no verdicts found in " << folder << "/SOURCES.md";
}

}  // namespace
