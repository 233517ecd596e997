#include "text/text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

TEST(TextEquals, ExactAndCaseSensitive) {
  struct Case {
    const char* name;
    std::string a, b;
    bool equal;
  } cases[] = {
      {"same", "cln", "cln", true},
      {"case differs", "cln", "CLN", false},
      {"trailing blank", "cln", "cln ", false},
      {"header name case", "Content-Length", "content-length", false},
      {"both empty", "", "", true},
      {"embedded NUL counts", std::string("a\0b", 3), "a", false},
  };
  for (const Case& c : cases) EXPECT_EQ(text_equals(c.a, c.b), c.equal) << c.name;
}

TEST(SplitField, Table) {
  struct Case {
    const char* name;
    const char* text;
    int index;
    const char* delimiter;
    const char* field;
  } cases[] = {
      {"first", "1.2.3", 1, ".", "1"},
      {"middle", "1.2.3", 2, ".", "2"},
      {"last", "1.2.3", 3, ".", "3"},
      {"past the end", "1.2.3", 4, ".", ""},
      {"index zero", "1.2.3", 0, ".", ""},
      {"negative index", "1.2.3", -1, ".", ""},
      {"empty between delimiters", "1..3", 2, ".", ""},
      {"leading delimiter", ".5", 1, ".", ""},
      {"trailing delimiter", "1.2.", 3, ".", ""},
      {"empty text", "", 1, ".", ""},
      {"two-char delimiter, name", "Content-Length: 1234", 1, ": ", "Content-Length"},
      {"two-char delimiter, value", "Content-Length: 1234", 2, ": ", "1234"},
      {"two-char delimiter, third", "a: b: c", 3, ": ", "c"},
      {"no overlap", "aaa", 2, "aa", "a"},
      {"no overlap, first empty", "aaa", 1, "aa", ""},
      {"url file name", "x/y/file.zip", 3, "/", "file.zip"},
      {"url ending in slash", "x/y/", 3, "/", ""},
      {"no delimiter in text", "abc", 1, ".", "abc"},
      {"no delimiter, second", "abc", 2, ".", ""},
      {"empty delimiter", "abc", 1, "", "abc"},
      {"empty delimiter, second", "abc", 2, "", ""},
      {"fields are not trimmed", " a . b ", 2, ".", " b "},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(split_field(c.text, c.index, c.delimiter), c.field) << c.name;
  }
}

TEST(CountOccurrences, Table) {
  struct Case {
    const char* text;
    const char* pattern;
    int count;
  } cases[] = {
      {"1.2.3", ".", 2}, {"1.2", ".", 1},  {"1.2.3.4", ".", 3}, {"1.2.", ".", 2},
      {"aaaa", "aa", 2}, {"aaa", "aa", 1}, {"a...b", "..", 1},  {"ABC", "b", 0},
      {"abc", "", 0},    {"", ".", 0},     {"", "", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(count_occurrences(c.text, c.pattern), c.count) << c.text << " / " << c.pattern;
  }
}

TEST(SplitField, AgreesWithCountOnTheLastField) {
  // The archive name is taken as the field after the last delimiter.
  for (const char* text : {"http://h/a/b.zip", "aaa", "x/", "plain", "//"}) {
    std::string last = split_field(text, count_occurrences(text, "/") + 1, "/");
    std::string expected(text);
    expected =
        expected.substr(expected.rfind('/') == std::string::npos ? 0 : expected.rfind('/') + 1);
    EXPECT_EQ(last, expected) << text;
  }
}

TEST(ParseInteger, Table) {
  struct Case {
    const char* name;
    std::string text;
    int64_t value;
  } cases[] = {
      {"decimal", "123", 123},
      {"leading spaces", "  42", 42},
      {"tab, sign, trailing junk", "\t-17x", -17},
      {"plus", "+7", 7},
      {"leading zeros", "007", 7},
      {"hex upper", "$FF", 255},
      {"hex lower", "$ff", 255},
      {"negative hex", "-$ff", -255},
      {"binary", "%101", 5},
      {"binary stops at 2", "%102", 2},
      {"stops at letter", "12abc", 12},
      {"no fraction", "1.5", 1},
      {"stops at carriage return", "3\r", 3},
      {"empty", "", 0},
      {"blank after sign", "- 5", 0},
      {"no 0x prefix", "0x10", 0},
      {"prefix without digits", "$", 0},
      {"two signs", "+-3", 0},
      {"beyond 32 bits", "99999999999", 99999999999},
      {"beyond 32 bits, low word 1", "4294967297", 4294967297},
      {"wraps modulo 2^64", "18446744073709551617", 1},
      {"all ones hex", "$FFFFFFFFFFFFFFFF", -1},
      {"minimum", "-9223372036854775808", INT64_MIN},
      {"stops at NUL",
       std::string("5\0"
                   "7",
                   3),
       5},
      {"leading newline is not skipped", "\n5", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(parse_integer(c.text), c.value) << c.name;
  EXPECT_EQ(static_cast<int32_t>(static_cast<uint32_t>(parse_integer("99999999999"))), 1215752191);
}

TEST(FormatInteger, Table) {
  struct Case {
    int64_t value;
    const char* text;
  } cases[] = {
      {0, "0"},
      {7, "7"},
      {-5, "-5"},
      {2147483647, "2147483647"},
      {-2147483648LL, "-2147483648"},
      {2147483648LL, "2147483648"},
      {INT64_MIN, "-9223372036854775808"},
      {INT64_MAX, "9223372036854775807"},
  };
  for (const Case& c : cases) EXPECT_EQ(format_integer(c.value), c.text) << c.text;
}

// "%.10f" with the trailing zeros, then a bare point, removed.
std::string trimmed_printf(double value) {
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, "%.10f", value);
  std::string text(buffer);
  if (text.back() == '0') {
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.') text.pop_back();
  }
  return text;
}

TEST(FormatDecimal, Table) {
  struct Case {
    double value;
    const char* text;
  } cases[] = {
      {12.0, "12"},
      {100.0, "100"},
      {0.0, "0"},
      {-0.0, "0"},
      {-2.0, "-2"},
      {1.5, "1.5"},
      {0.1, "0.1"},
      {0.00001, "0.00001"},
      {1.0 / 3, "0.3333333333"},
      {2.0 / 3, "0.6666666667"},
      {1e-11, "0"},
      {-1e-11, "-0"},
      {1e20, "100000000000000000000"},
      {kInf, "+Infinity"},
      {-kInf, "-Infinity"},
      {kNaN, "NaN"},
      {-kNaN, "NaN"},
      {160.0, "160"},
      {1e-10, "0.0000000001"},
  };
  for (const Case& c : cases) EXPECT_EQ(format_decimal(c.value), c.text) << c.text;
  // Large values take more digits than any fixed buffer for small ones.
  EXPECT_EQ(format_decimal(1e300), trimmed_printf(1e300));
  EXPECT_EQ(format_decimal(-1.7976931348623157e308), trimmed_printf(-1.7976931348623157e308));
}

TEST(RoundToNearest, HalfAwayFromZero) {
  struct Case {
    double x, result;
  } cases[] = {
      {2.5, 3},
      {2.4999, 2},
      {0.5, 1},
      {-0.5, -1},
      {-2.5, -3},
      {-2.4, -2},
      {17.499999046325684, 17},
      {0.49999999999999994, 1},  // x + 0.5 rounds up to 1.0 in double
      {0.0, 0},
      {1e300, 1e300},
  };
  for (const Case& c : cases) EXPECT_EQ(round_to_nearest(c.x), c.result) << c.x;
  EXPECT_TRUE(std::isnan(round_to_nearest(kNaN)));
  EXPECT_EQ(round_to_nearest(kInf), kInf);
  EXPECT_EQ(round_to_nearest(-kInf), -kInf);
  EXPECT_EQ(format_decimal(round_to_nearest(-0.2)), "0");
}

TEST(RoundToNearestSingle, GoesThroughSinglePrecision) {
  struct Case {
    double x;
    float result;
  } cases[] = {
      // 18,350,079 bytes in MB: just below a half in double, a half in float.
      {18350079.0 / (1024 * 1024), 18.0f},
      {2.5, 3.0f},
      {-2.5, -3.0f},
      {2.4999, 2.0f},
      {0.49999999999999994, 1.0f},
      {16777217.0, 16777216.0f},                        // not a single; ties to even on the way in
      {3.4028235170913126e38, 3.4028234663852886e38f},  // above FLT_MAX, below the tie
  };
  for (const Case& c : cases) EXPECT_EQ(round_to_nearest_single(c.x), c.result) << c.x;
  EXPECT_EQ(round_to_nearest(18350079.0 / (1024 * 1024)), 17.0);
  EXPECT_TRUE(std::isinf(round_to_nearest_single(3.4028235677973366e38)));  // the tie
  EXPECT_TRUE(std::isinf(round_to_nearest_single(1e39)));
  EXPECT_TRUE(std::isinf(round_to_nearest_single(-1e300)));
  EXPECT_TRUE(std::isnan(round_to_nearest_single(kNaN)));
}

TEST(ToInteger, NearestEvenAndWidthMinimumOutOfRange) {
  struct Case {
    double x;
    int width;
    int64_t value;
  } cases[] = {
      {2.5, 32, 2},
      {3.5, 32, 4},
      {-2.5, 32, -2},
      {12.5, 32, 12},
      {99.6, 32, 100},
      {0.5, 32, 0},
      {1.5, 32, 2},
      {-0.0, 32, 0},
      {2147483647.4, 32, 2147483647},
      {2147483647.5, 32, INT32_MIN},
      {-2147483648.0, 32, INT32_MIN},
      {-2147483648.5, 32, INT32_MIN},  // ties to even: stays -2^31
      {-2147483649.0, 32, INT32_MIN},
      {4294967296.0, 32, INT32_MIN},
      {kNaN, 32, INT32_MIN},
      {kInf, 32, INT32_MIN},
      {-kInf, 32, INT32_MIN},
      {2147483648.0, 64, 2147483648LL},
      {9007199254740993.0, 64, 9007199254740992LL},
      {9223372036854775807.0, 64, INT64_MIN},  // that double is 2^63
      {-9223372036854775808.0, 64, INT64_MIN},
      {9223372036854774784.0, 64, 9223372036854774784LL},  // largest double below 2^63
      {1e300, 64, INT64_MIN},
      {kNaN, 64, INT64_MIN},
      {-kInf, 64, INT64_MIN},
  };
  for (const Case& c : cases)
    EXPECT_EQ(to_integer(c.x, c.width), c.value) << c.x << " @" << c.width;
}

TEST(TextFromBytes, CutsAtNulAndRepairsUtf8) {
  struct Case {
    const char* name;
    std::string bytes, text;
  } cases[] = {
      {"ascii", "1.2.3\n", "1.2.3\n"},
      {"cut at NUL", std::string("1.2\0junk", 8), "1.2"},
      {"valid multi-byte", "v\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80",
       "v\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},
      {"latin-1 byte", "caf\xE9!", "caf\xEF\xBF\xBD!"},
      {"lone continuation", "a\x80z", "a\xEF\xBF\xBDz"},
      {"truncated at end", "a\xE2\x82", "a\xEF\xBF\xBD"},
      {"truncated before ascii", "\xE2\x82z", "\xEF\xBF\xBDz"},
      {"overlong", "\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"surrogate", "\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"invalid lead", "\xFF", "\xEF\xBF\xBD"},
      {"empty", "", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(text_from_bytes(c.bytes), c.text) << c.name;
}

}  // namespace
