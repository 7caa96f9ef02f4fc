// Property lists written by other software, read as catalogues: arrays of
// strings are taken, everything else (dictionaries, mixed arrays, broken
// XML, no plist at all) is refused without harm. The corpus lies beside the
// checkout; its SOURCES.md gives each file's verdict in a table
// | file | source | licence | format | expect |.
#include <gtest/gtest.h>

#include <sstream>

#include "FakeHost.h"
#include "PropertyList.h"

namespace {

TEST(PropertyListCorpus, OnlyArraysOfStrings) {
  const std::string folder = CORVAN_CORPORA_DIR "/plist",
                    sources = ReadText(folder + "/SOURCES.md");
  if (sources.empty()) {
    if (const char* ci = std::getenv("CI"); ci && std::string(ci) == "true")
      FAIL() << folder << "/SOURCES.md is missing (CI=true needs the corpus)";
    GTEST_SKIP() << "no property list corpus at " << folder;
  }
  std::istringstream lines(sources);
  int files = 0;
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> cells;  // | file | source | licence | format | expect |
    for (size_t at = 0; (at = line.find("| ", at)) != std::string::npos; at += 2)
      cells.push_back(line.substr(at + 2, line.find(" |", at + 2) - at - 2));
    if (cells.size() != 5 || cells[0].find(".plist") == std::string::npos) continue;
    const std::string text = ReadText(folder + "/" + cells[0]);
    ASSERT_NE(text, "") << cells[0];
    std::vector<PropertyListItem> items;
    std::string why;
    bool taken = ParsePropertyListArray(text, &items, &why);
    for (const PropertyListItem& item : items) taken = taken && item.isString;
    EXPECT_EQ(taken, cells[4] == "accept") << cells[0] << ": " << why;
    ++files;
  }
  EXPECT_GT(files, 0) << "no verdicts found in " << folder << "/SOURCES.md";
}

}  // namespace
