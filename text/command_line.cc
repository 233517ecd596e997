#include "text/command_line.h"

std::vector<std::string> split_command_line(std::string_view line) {
  std::vector<std::string> tokens;
  size_t i = 0;
  const size_t n = line.size();
  for (;;) {
    while (i < n && line[i] == ' ') ++i;
    if (i == n) break;
    std::string token;
    if (line[i] == '"') {
      // Quoted from the start: the token ends at the closing quote, and
      // whatever follows it begins the next token.
      size_t close = line.find('"', i + 1);
      if (close == std::string_view::npos) close = n;
      token.assign(line.substr(i + 1, close - i - 1));
      i = close < n ? close + 1 : n;
    } else {
      bool quoted = false;
      for (; i < n && (quoted || line[i] != ' '); ++i) {
        if (line[i] == '"') {
          quoted = !quoted;
        } else {
          token += line[i];
        }
      }
    }
    tokens.push_back(std::move(token));
  }
  return tokens;
}

std::string join_command_line(const std::vector<std::string>& arguments) {
  std::string line;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (i > 0) line += ' ';
    bool quote = argument.empty() || argument.find(' ') != std::string::npos;
    if (quote) line += '"';
    line += argument;
    if (quote) line += '"';
  }
  return line;
}

std::string quote_if_blank(std::string_view name) {
  if (name.find(' ') == std::string_view::npos) return std::string(name);
  return '"' + std::string(name) + '"';
}
