#include "text/command_line.h"

#include <gtest/gtest.h>

namespace {

using Tokens = std::vector<std::string>;

TEST(SplitCommandLine, Table) {
  struct Case {
    const char* name;
    const char* line;
    Tokens tokens;
  } cases[] = {
      {"plain", "p a b", {"p", "a", "b"}},
      {"quoted with blank", "p \"a b\" c", {"p", "a b", "c"}},
      {"text right after a closing quote", "p \"a b\"c", {"p", "a b", "c"}},
      {"quoted stretch inside a token", "p a\"b c\"d e", {"p", "ab cd", "e"}},
      {"empty pair keeps its place", "p \"\" b", {"p", "", "b"}},
      {"executable name cut at blank", "p cln My App.exe", {"p", "cln", "My", "App.exe"}},
      {"nothing after the program", "p", {"p"}},
      {"nothing at all", "", {}},
      {"only blanks", "   ", {}},
      {"runs of blanks, ends trimmed", "  p   a    b  ", {"p", "a", "b"}},
      {"tab is ordinary", "p a\tb c", {"p", "a\tb", "c"}},
      {"backslash is ordinary", "p a\\\"b c\"", {"p", "a\\b c"}},
      {"unclosed quote runs to the end", "p \"a b c", {"p", "a b c"}},
      {"unclosed inner quote runs to the end", "p a\"b c", {"p", "ab c"}},
      {"adjacent quoted tokens", "p \"a\"\"b\"", {"p", "a", "b"}},
      {"quoted program name", "\"/opt/my app/updater.exe\" x", {"/opt/my app/updater.exe", "x"}},
      {"trailing empty pair", "p a \"\"", {"p", "a", ""}},
  };
  for (const Case& c : cases) EXPECT_EQ(split_command_line(c.line), c.tokens) << c.name;
}

TEST(JoinCommandLine, RoundTripsArgumentLists) {
  const Tokens lists[] = {
      {"updater.exe", "My Product", "1.0", "http://h/v.txt", "http://h/a.zip", "app"},
      {"updater.exe", "", "1.0", "", "x"},
      {"updater.exe", "cln", "My App.sh"},
      {"updater.exe", "a\tb", "  lead", "trail  "},
      {"./dir with blank/updater.exe"},
  };
  for (const Tokens& list : lists) EXPECT_EQ(split_command_line(join_command_line(list)), list);
  EXPECT_EQ(join_command_line({"a", "", "b c"}), "a \"\" \"b c\"");
}

}  // namespace
