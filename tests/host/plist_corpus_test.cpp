// Property lists written by other software, read as catalogues: arrays of
// strings are taken, everything else (dictionaries, mixed arrays, broken
// XML, no plist at all) is refused without harm. The corpus lies beside the
// checkout; its SOURCES.md gives each file's verdict.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "platform/PropertyList.h"

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
  const std::regex row(R"(^\| (\S+\.plist) \|.*\| (accept|reject) \|$)");
  int files = 0;
  std::istringstream lines(sources);
  for (std::string line, why; std::getline(lines, line);) {
    std::smatch m;
    if (!std::regex_match(line, m, row)) continue;
    ++files;
    std::vector<PropertyListItem> items;
    const std::string text = Slurp(folder + "/" + m[1].str());
    ASSERT_FALSE(text.empty()) << m[1];
    bool taken = ParsePropertyListArray(text, &items, &why);
    for (const PropertyListItem& item : items) taken = taken && item.isString;
    EXPECT_EQ(taken, m[2] == "accept") << m[1] << ": " << why;
  }
  EXPECT_GT(files, 0) << "no verdicts found in " << folder << "/SOURCES.md";
}

}  // namespace
