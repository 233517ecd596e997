// Text and number functions shared by every step of the run.
//
// Texts are UTF-8 bytes. Every delimiter and pattern the program uses is
// ASCII, and UTF-8 never puts an ASCII byte inside a multi-byte character,
// so byte-wise comparison and search give the same fields as a search by
// characters would. All functions are pure: no state, no failure, callable
// from any thread.
#ifndef UPDATER_TEXT_TEXT_H_
#define UPDATER_TEXT_TEXT_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Exact, case-sensitive equality; nothing is trimmed or folded.
bool text_equals(std::string_view a, std::string_view b);

// Equality that ignores the case of ASCII letters only, as HTTP header names
// are compared.
bool text_equals_ignoring_case(std::string_view a, std::string_view b);

// The field with the 1-based `index`, fields being separated by `delimiter`.
// Occurrences of a multi-byte delimiter never overlap; an empty delimiter
// matches nothing. An index below 1 or past the last field gives "".
std::string split_field(std::string_view text, int32_t index, std::string_view delimiter);

// Non-overlapping occurrences of `pattern`, scanning from the start.
// 0 when either text is empty.
int32_t count_occurrences(std::string_view text, std::string_view pattern);

// The integer at the start of `text`: leading blanks and tabs skipped, an
// optional sign, "$" for hexadecimal or "%" for binary digits, decimal
// otherwise. Stops at the first non-digit; wraps modulo 2^64. No digits: 0.
int64_t parse_integer(std::string_view text);

// Decimal digits, "-" for negatives, no grouping or padding.
std::string format_integer(int64_t value);

// "%.10f" with trailing zeros (and a bare point) removed; "+Infinity",
// "-Infinity", "NaN"; both zeros give "0".
std::string format_decimal(double value);

// Half away from zero, as floor(x + 0.5) above zero and ceil(x - 0.5)
// otherwise, in double precision: where adding the half itself rounds, so
// does the result (0.49999999999999994 gives 1, 2^52 + 1 gives 2^52 + 2).
double round_to_nearest(double x);

// `round_to_nearest` applied to x first taken to single precision (nearest,
// ties to even), so a value just below a half can land on it.
float round_to_nearest_single(double x);

// A floating value stored into a signed integer of `width_bits` (32 or 64):
// nearest, ties to even. NaN, infinities and values out of range give the
// width's minimum. The result always fits the width.
int64_t to_integer(double x, int width_bits);

// Bytes received from outside (a network body) as displayable text: cut at
// the first NUL byte, each invalid UTF-8 sequence replaced by U+FFFD.
std::string text_from_bytes(std::string_view bytes);

#endif  // UPDATER_TEXT_TEXT_H_
