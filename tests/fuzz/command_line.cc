// Properties of the command-line split and join.
#include "text/command_line.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_check.h"

namespace {

// The split rules as a character-by-character state machine: between
// tokens, inside a token opened by a double quote, inside any other token.
std::vector<std::string> reference_split(std::string_view line) {
  enum State { kBetween, kOpenedByQuote, kPlain } state = kBetween;
  bool in_quotes = false;  // inside a quoted stretch of a plain token
  std::vector<std::string> tokens;
  std::string token;
  for (char c : line) {
    switch (state) {
      case kBetween:
        if (c == ' ') break;
        token.clear();
        if (c == '"') {
          state = kOpenedByQuote;
        } else {
          token += c;
          in_quotes = false;
          state = kPlain;
        }
        break;
      case kOpenedByQuote:
        if (c == '"') {
          tokens.push_back(token);
          state = kBetween;  // the next character starts the next token
        } else {
          token += c;
        }
        break;
      case kPlain:
        if (c == '"') {
          in_quotes = !in_quotes;
        } else if (c == ' ' && !in_quotes) {
          tokens.push_back(token);
          state = kBetween;
        } else {
          token += c;
        }
        break;
    }
  }
  if (state != kBetween) tokens.push_back(token);
  return tokens;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);
  const std::string context = "line " + fuzz_show(line);

  // The split follows the rules, and no token ever holds a double quote.
  const std::vector<std::string> tokens = split_command_line(line);
  FUZZ_CHECK_EQ(tokens, reference_split(line), context);
  for (const std::string& token : tokens) {
    FUZZ_CHECK_EQ(token.find('"'), std::string::npos, context + " token " + fuzz_show(token));
  }

  // Joining the tokens gives a line that splits into the same tokens, and
  // that line is a fixed point: joining its split gives it back. (The
  // original line itself need not come back: runs of spaces and quotes
  // around blank-free text are not kept.)
  const std::string joined = join_command_line(tokens);
  FUZZ_CHECK_EQ(split_command_line(joined), tokens, context + " joined " + fuzz_show(joined));
  FUZZ_CHECK_EQ(join_command_line(split_command_line(joined)), joined, context);

  // Any list of arguments without double quotes survives a join and a split.
  FuzzedDataProvider provider(data, size);
  std::vector<std::string> arguments;
  while (provider.remaining_bytes() > 0 && arguments.size() < 64) {
    std::string argument = provider.ConsumeRandomLengthString(64);
    std::string without_quotes;
    for (char c : argument) {
      if (c != '"') without_quotes += c;
    }
    arguments.push_back(without_quotes);
  }
  const std::string arguments_line = join_command_line(arguments);
  FUZZ_CHECK_EQ(split_command_line(arguments_line), arguments,
                "arguments " + fuzz_show(arguments) + " joined " + fuzz_show(arguments_line));

  // One argument on its own: quoted exactly when it holds a blank, and it
  // splits back into itself unless it is empty (an empty name is no
  // argument at all).
  for (const std::string& argument : arguments) {
    const std::string quoted = quote_if_blank(argument);
    const bool blank = argument.find(' ') != std::string::npos;
    FUZZ_CHECK_EQ(quoted, blank ? "\"" + argument + "\"" : argument, fuzz_show(argument));
    const std::vector<std::string> expected =
        argument.empty() ? std::vector<std::string>{} : std::vector<std::string>{argument};
    FUZZ_CHECK_EQ(split_command_line(quoted), expected, fuzz_show(argument));
  }
  return 0;
}
