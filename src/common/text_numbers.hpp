#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Reading and writing numbers the way the C library does it in the "C"
// locale (%lf, %i, %g), without its cost and without any dependence on the
// user's locale.
namespace vantrel::text {

bool is_blank(char ch);

// Splits a line into fields at runs of spaces and tabs.
void split_fields(std::string_view line, std::vector<std::string_view>& fields);
std::vector<std::string_view> split_fields(std::string_view line);

// Leading blanks, then a decimal or hexadecimal floating-point number
// (inf and nan included), as strtod reads it. On success the number is
// returned and `text` is advanced past it; otherwise `text` is unchanged.
std::optional<double> scan_double(std::string_view& text);

// Leading blanks, an optional sign and decimal digits (%d, %ld).
std::optional<long long> scan_decimal(std::string_view& text);

// As %i: decimal, hexadecimal with 0x, or octal with a leading 0.
std::optional<long long> scan_integer(std::string_view& text);

// The leading number of a field; 0 when the field does not start with one.
double leading_double(std::string_view field);

// The leading number of the next field of `line` (fields as split_fields
// cuts them), 0 when that field does not start with one; `line` is moved
// past the field. False, with `line` emptied, when no field remains.
bool next_field_double(std::string_view& line, double& value);

// Appends v as printf's %.<precision>g would write it; NaN is always "nan".
void append_general(std::string& out, double v, int precision);
std::string general(double v, int precision = 6);

// printf's %.<decimals>f.
std::string fixed(double v, int decimals);

// Case-insensitive test of a line's beginning.
bool starts_with_nocase(std::string_view text, std::string_view prefix);

} // namespace vantrel::text
