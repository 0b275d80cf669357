#include "common/text_numbers.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

namespace vantrel::text {

bool is_blank(char ch)
{
    return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n' || ch == '\v' || ch == '\f';
}

void split_fields(std::string_view line, std::vector<std::string_view>& fields)
{
    fields.clear();
    const char* p = line.data();
    const char* const end = p + line.size();
    while (p != end) {
        while (p != end && (*p == ' ' || *p == '\t' || *p == '\r'))
            ++p;
        const char* start = p;
        while (p != end && *p != ' ' && *p != '\t' && *p != '\r')
            ++p;
        if (p != start)
            fields.emplace_back(start, static_cast<std::size_t>(p - start));
    }
}

std::vector<std::string_view> split_fields(std::string_view line)
{
    std::vector<std::string_view> fields;
    split_fields(line, fields);
    return fields;
}

namespace {

void skip_blanks(std::string_view& text)
{
    std::size_t i = 0;
    while (i < text.size() && is_blank(text[i]))
        ++i;
    text.remove_prefix(i);
}

bool hex_prefix(std::string_view s)
{
    return s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
}

// The power of ten (or of two, for hexadecimal) just above the magnitude
// of a number's text: positive for large numbers, zero or less for tiny ones.
long long decimal_order(std::string_view number)
{
    const bool hex = hex_prefix(number);
    if (hex)
        number.remove_prefix(2);
    const char exp_mark = hex ? 'p' : 'e';
    std::size_t i = 0;
    long long order = 0;
    bool seen_digit = false;
    bool after_point = false;
    const long long digit_weight = hex ? 4 : 1;
    for (; i < number.size(); ++i) {
        const char ch = number[i];
        if (std::tolower(static_cast<unsigned char>(ch)) == exp_mark)
            break;
        if (ch == '.') {
            after_point = true;
            continue;
        }
        const bool zero = ch == '0';
        if (!seen_digit && zero) {
            if (after_point)
                order -= digit_weight;
            continue;
        }
        seen_digit = true;
        if (!after_point)
            order += digit_weight;
    }
    if (i < number.size()) {
        std::string_view exponent = number.substr(i + 1);
        bool negative = false;
        if (!exponent.empty() && (exponent.front() == '+' || exponent.front() == '-')) {
            negative = exponent.front() == '-';
            exponent.remove_prefix(1);
        }
        long long e = 0;
        for (const char ch : exponent) {
            if (ch < '0' || ch > '9')
                break;
            e = std::min<long long>(e * 10 + (ch - '0'), 1'000'000'000);
        }
        order += negative ? -e : e;
    }
    return order;
}

} // namespace

std::optional<double> scan_double(std::string_view& text)
{
    std::string_view s = text;
    skip_blanks(s);
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    // from_chars refuses a sign of its own after ours, as strtod does.
    if (!s.empty() && (s.front() == '+' || s.front() == '-'))
        return std::nullopt;
    double value = 0.0;
    const char* first = s.data();
    const char* last = s.data() + s.size();
    std::from_chars_result result{};
    if (hex_prefix(s)) {
        result = std::from_chars(first + 2, last, value, std::chars_format::hex);
        if (result.ec == std::errc::invalid_argument) {
            // "0x" without hex digits: strtod reads the 0 alone.
            value = 0.0;
            result = {first + 1, std::errc{}};
        }
    } else {
        result = std::from_chars(first, last, value, std::chars_format::general);
    }
    if (result.ec == std::errc::invalid_argument)
        return std::nullopt;
    if (result.ec == std::errc::result_out_of_range) {
        // strtod gives HUGE_VAL on overflow and a value near 0 on underflow.
        const std::string_view consumed(first, static_cast<std::size_t>(result.ptr - first));
        value = decimal_order(consumed) <= 0 ? 0.0 : std::numeric_limits<double>::infinity();
    }
    text.remove_prefix(static_cast<std::size_t>(result.ptr - text.data()));
    return negative ? -value : value;
}

namespace {

std::optional<long long> scan_in_base(std::string_view& text, int base, bool auto_base)
{
    std::string_view s = text;
    skip_blanks(s);
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    if (auto_base) {
        if (hex_prefix(s) && std::isxdigit(static_cast<unsigned char>(s[2]))) {
            base = 16;
            s.remove_prefix(2);
        } else if (!s.empty() && s.front() == '0') {
            base = 8;
        }
    }
    unsigned long long value = 0;
    const auto result = std::from_chars(s.data(), s.data() + s.size(), value, base);
    if (result.ec == std::errc::invalid_argument)
        return std::nullopt;
    if (result.ec == std::errc::result_out_of_range)
        value = std::numeric_limits<unsigned long long>::max();
    text.remove_prefix(static_cast<std::size_t>(result.ptr - text.data()));
    // Wrap like the C library's conversion into a long of this width.
    const auto bits = negative ? (~value + 1) : value;
    return static_cast<long long>(bits);
}

} // namespace

std::optional<long long> scan_decimal(std::string_view& text)
{
    return scan_in_base(text, 10, false);
}

std::optional<long long> scan_integer(std::string_view& text)
{
    return scan_in_base(text, 10, true);
}

double leading_double(std::string_view field)
{
    return scan_double(field).value_or(0.0);
}

namespace {

// Writes the significant digits `digits` (no leading zero) with decimal
// exponent `exp10` of the first digit in printf's %g layout: trailing zeros
// dropped, the exponent form below 1e-4 and from 10^precision on.
void append_g_layout(std::string& out, std::string_view digits, int exp10, int precision)
{
    while (digits.size() > 1 && digits.back() == '0')
        digits.remove_suffix(1);
    const auto n = static_cast<int>(digits.size());
    if (exp10 < -4 || exp10 >= precision) {
        out += digits.front();
        if (n > 1) {
            out += '.';
            out.append(digits.substr(1));
        }
        out += 'e';
        out += exp10 < 0 ? '-' : '+';
        const int e = exp10 < 0 ? -exp10 : exp10;
        if (e < 10)
            out += '0';
        out += std::to_string(e);
    } else if (exp10 < 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-exp10 - 1), '0');
        out.append(digits);
    } else if (n <= exp10 + 1) {
        out.append(digits);
        out.append(static_cast<std::size_t>(exp10 + 1 - n), '0');
    } else {
        out.append(digits.substr(0, static_cast<std::size_t>(exp10 + 1)));
        out += '.';
        out.append(digits.substr(static_cast<std::size_t>(exp10 + 1)));
    }
}

// %.<precision>g from the shortest representation, which is far faster
// than an exact conversion. Rounding the shortest digits gives the correctly
// rounded result except when they end exactly on the halfway digit 5; then
// (and for anything unusual) this returns false and the caller converts exactly.
bool append_general_fast(std::string& out, double v, int precision)
{
    // Up to 15 digits a double's exact value and its shortest form agree;
    // subnormal numbers carry too few bits for that.
    if (precision < 1 || precision > 15 || !std::isfinite(v) ||
        (v != 0.0 && std::fabs(v) < std::numeric_limits<double>::min()))
        return false;
    std::array<char, 64> buf{};
    const auto result = std::to_chars(buf.data(), buf.data() + buf.size(), v, std::chars_format::scientific);
    if (result.ec != std::errc{})
        return false;
    std::string_view text(buf.data(), static_cast<std::size_t>(result.ptr - buf.data()));
    const bool negative = text.front() == '-';
    if (negative)
        text.remove_prefix(1);
    const auto e_at = text.find('e');
    if (e_at == std::string_view::npos)
        return false;
    std::array<char, 24> digits{};
    std::size_t count = 0;
    for (const char ch : text.substr(0, e_at)) {
        if (ch != '.' && count < digits.size())
            digits[count++] = ch;
    }
    int exp10 = 0;
    std::from_chars(text.data() + e_at + 1 + (text[e_at + 1] == '+' ? 1 : 0), text.data() + text.size(), exp10);

    const auto p = static_cast<std::size_t>(precision);
    if (count > p) {
        const char next = digits[p];
        bool exact_half = next == '5';
        for (std::size_t i = p + 1; i < count && exact_half; ++i)
            exact_half = digits[i] == '0';
        if (exact_half)
            return false;
        count = p;
        if (next >= '5') {
            std::size_t i = p;
            while (i > 0 && digits[i - 1] == '9')
                digits[--i] = '0';
            if (i == 0) {
                digits[0] = '1';
                ++exp10;
            } else {
                ++digits[i - 1];
            }
        }
    }
    if (negative)
        out += '-';
    append_g_layout(out, std::string_view(digits.data(), count), exp10, precision);
    return true;
}

} // namespace

void append_general(std::string& out, double v, int precision)
{
    if (std::isnan(v)) {
        out += "nan";
        return;
    }
    if (append_general_fast(out, v, precision))
        return;
    std::array<char, 64> buf{};
    const auto result =
        std::to_chars(buf.data(), buf.data() + buf.size(), v, std::chars_format::general, precision);
    out.append(buf.data(), result.ptr);
}

std::string general(double v, int precision)
{
    std::string out;
    append_general(out, v, precision);
    return out;
}

std::string fixed(double v, int decimals)
{
    if (std::isnan(v))
        return "nan";
    // Most texts are short; the largest double has 309 integral digits.
    std::array<char, 64> small{};
    auto result = std::to_chars(small.data(), small.data() + small.size(), v, std::chars_format::fixed, decimals);
    if (result.ec == std::errc{})
        return std::string(small.data(), result.ptr);
    std::string buf(static_cast<std::size_t>(320 + std::max(decimals, 0)), '\0');
    result = std::to_chars(buf.data(), buf.data() + buf.size(), v, std::chars_format::fixed, decimals);
    buf.resize(result.ec == std::errc{} ? static_cast<std::size_t>(result.ptr - buf.data()) : 0);
    return buf;
}

bool starts_with_nocase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        const auto a = static_cast<unsigned char>(text[i]);
        const auto b = static_cast<unsigned char>(prefix[i]);
        if (std::tolower(a) != std::tolower(b))
            return false;
    }
    return true;
}

} // namespace vantrel::text
