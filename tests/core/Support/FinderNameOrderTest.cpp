#include <algorithm>

#include <gtest/gtest.h>

#include "core/Support/FinderNameOrder.hpp"

using halyard::FinderNameOrder;

TEST(FinderNameOrderTest, CaseInsensitiveNumericAndTotal) {
  std::vector<std::filesystem::path> paths = {
      "/a/Doc 10.rtf",        "/b/doc 9.rtf", "/a/b.txt", "/a/B.txt",      "/a/a.txt",
      "/a/\xC3\xA9t\xC3\xA9", "/a/ete",       "/a/\xFF",  "/a/Doc 010.rtf"};
  FinderNameOrder::sortByFileName(paths);
  std::vector<std::string> names;
  for (const auto& path : paths)
    names.push_back(path.filename().string());
  // Letter case is no difference ("B.txt" == "b.txt"): bytes decide, upper case first. Accents
  // are ("ete" before "été"). "10" and "010" have the same value, so bytes decide again.
  EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "B.txt", "b.txt", "doc 9.rtf", "Doc 010.rtf",
                                             "Doc 10.rtf", "ete", "\xC3\xA9t\xC3\xA9", "\xFF"}));
  const FinderNameOrder order;
  EXPECT_FALSE(order("x", "x"));
  EXPECT_TRUE(order("File 2", "file 10"));
  EXPECT_FALSE(order("file 10", "File 2"));
}
