// The command-line text: splitting one text into parameters, and building
// that text from an argument list.
//
// Pure functions, callable from any thread.
#ifndef UPDATER_TEXT_COMMAND_LINE_H_
#define UPDATER_TEXT_COMMAND_LINE_H_

#include <string>
#include <string_view>
#include <vector>

// Splits a command line into tokens. Runs of spaces separate tokens (tabs are
// ordinary characters). A token that starts with a double quote runs to the
// next double quote, and the character after it starts the next token. Any
// other token runs to the next space outside a quoted stretch. Double quotes
// never appear in a token; "" makes an empty token. No escape character.
std::vector<std::string> split_command_line(std::string_view line);

// Joins arguments with single blanks, quoting an argument that is empty or
// contains a blank, so that `split_command_line` gives back the same list for
// arguments without double quotes.
std::string join_command_line(const std::vector<std::string>& arguments);

// `name` as one command-line argument: in double quotes when it holds a
// blank, else unchanged.
std::string quote_if_blank(std::string_view name);

#endif  // UPDATER_TEXT_COMMAND_LINE_H_
