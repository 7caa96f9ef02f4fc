// Property lists written by other software, read as catalogues: arrays of
// strings are taken, everything else (dictionaries, mixed arrays, broken
// XML, no plist at all) is refused without harm. The corpus lies beside the
// checkout; its SOURCES.md gives each file's verdict in a table
// | file | source | licence | format | expect |.
#include <gtest/gtest.h>

#include <regex>
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
  const std::regex row(R"(\| ([^|\n]*\.plist[^|\n]*) \|[^|\n]*\|[^|\n]*\|[^|\n]*\| ([^|\n]*) \|)");
  int files = 0;
  for (std::sregex_iterator m(sources.begin(), sources.end(), row), end; m != end; ++m, ++files) {
    const std::string file = (*m)[1], text = ReadText(folder + "/" + file);
    ASSERT_NE(text, "") << file;
    std::vector<PropertyListItem> items;
    std::string why;
    bool taken = ParsePropertyListArray(text, &items, &why);
    for (const PropertyListItem& item : items) taken = taken && item.isString;
    EXPECT_EQ(taken, (*m)[2] == "accept") << file << ": " << why;
  }
  EXPECT_GT(files, 0) << "no verdicts found in " << folder << "/SOURCES.md";
}

}  // namespace
