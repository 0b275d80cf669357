#include "common/text_numbers.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <cstddef>
#include <cstdint>
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

constexpr double exact_powers_of_ten[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                          1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

bool is_digit(char ch)
{
    return static_cast<unsigned char>(ch - '0') < 10;
}

// A plain decimal "ddd.ddd" of at most 19 digits, no exponent, whose digits
// make an integer of at most 2^53: that integer and the power of ten of its
// decimals are exact doubles, so their quotient is rounded once, exactly as
// strtod rounds. Anything else is left to from_chars.
bool plain_decimal(const char* const first, const char* const last, double& value, const char*& stop)
{
    const char* p = first;
    std::uint64_t m = 0;
    while (p != last && is_digit(*p))
        m = m * 10 + static_cast<std::uint64_t>(*p++ - '0');
    const auto whole = p - first;
    std::ptrdiff_t decimals = 0;
    if (p != last && *p == '.') {
        const char* const fraction = ++p;
        while (p != last && is_digit(*p))
            m = m * 10 + static_cast<std::uint64_t>(*p++ - '0');
        decimals = p - fraction;
    }
    if (whole + decimals == 0 || whole + decimals > 19 || m > (std::uint64_t{1} << 53))
        return false;
    if (p != last && (*p == 'e' || *p == 'E'))
        return false;
    value = static_cast<double>(m) / exact_powers_of_ten[decimals];
    stop = p;
    return true;
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
    } else if (const char* stop = nullptr; plain_decimal(first, last, value, stop)) {
        result = {stop, std::errc{}};
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
bool is_separator(char ch)
{
    return ch == ' ' || ch == '\t' || ch == '\r';
}
} // namespace

bool next_field_double(std::string_view& line, double& value)
{
    const char* p = line.data();
    const char* const end = p + line.size();
    while (p != end && is_separator(*p))
        ++p;
    if (p == end) {
        line = {};
        return false;
    }
    const char* stop = p;
    if (is_blank(*p)) {
        // A field that starts with another blank: read it on its own, as
        // leading_double would, since scan_double would skip past its end.
        while (stop != end && !is_separator(*stop))
            ++stop;
        value = leading_double(std::string_view(p, static_cast<std::size_t>(stop - p)));
    } else {
        // No number runs over a separator, so reading the rest of the line
        // stops where reading the field alone would.
        std::string_view rest(p, static_cast<std::size_t>(end - p));
        value = scan_double(rest).value_or(0.0);
        stop = rest.data();
        while (stop != end && !is_separator(*stop))
            ++stop;
    }
    line = std::string_view(stop, static_cast<std::size_t>(end - stop));
    return true;
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

namespace {

#if defined(__SIZEOF_INT128__)
__extension__ using uint128 = unsigned __int128;

constexpr std::uint64_t integer_powers_of_ten[] = {
    1ULL,
    10ULL,
    100ULL,
    1000ULL,
    10000ULL,
    100000ULL,
    1000000ULL,
    10000000ULL,
    100000000ULL,
    1000000000ULL,
    10000000000ULL,
    100000000000ULL,
    1000000000000ULL,
    10000000000000ULL,
    100000000000000ULL,
    1000000000000000ULL,
    10000000000000000ULL,
    100000000000000000ULL,
    1000000000000000000ULL,
    10000000000000000000ULL,
};

constexpr uint128 power_of_ten_128(int k)
{
    return k <= 19 ? uint128{integer_powers_of_ten[k]}
                   : uint128{integer_powers_of_ten[19]} * integer_powers_of_ten[k - 19];
}
constexpr int max_power_128 = 22; // 10^22 < 2^74, so 53-bit mantissa times it stays below 2^127

// %.<precision>g by exact integer arithmetic, for 1 <= precision <= 17 and
// normal numbers whose scaling to `precision` digits keeps within 128 bits
// (for %.10g: from about 1e-13 up to 2^74). v = m * 2^q exactly, so
// v * 10^k is an integer quotient and a remainder: the digits are rounded as
// printf rounds, half-way cases to even. False outside that range, leaving
// the work to the general conversion.
bool general_exact(std::string& out, double v, int precision)
{
    if (precision < 1 || precision > 17 || !std::isnormal(v))
        return false;
    std::uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    const std::uint64_t m = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
    const int q = static_cast<int>((bits >> 52) & 0x7ff) - 1075;
    // 2^(q+52) <= |v|: floor((q + 52) * log10(2)) is e or one less than it.
    int e = ((q + 52) * 78913) >> 18;
    const std::uint64_t low = integer_powers_of_ten[precision - 1];
    const std::uint64_t high = integer_powers_of_ten[precision];

    std::uint64_t r = 0;
    for (int attempt = 0;; ++attempt) {
        if (attempt == 2)
            return false;
        const int k = precision - 1 - e;
        uint128 whole = 0;
        bool round_up = false;
        if (k >= 0) {
            if (k > max_power_128)
                return false;
            const uint128 n = uint128{m} * power_of_ten_128(k);
            if (q >= 0) {
                if (q > 127 || (n >> (127 - q)) != 0)
                    return false;
                whole = n << q;
            } else {
                const int shift = -q;
                if (shift > 127)
                    return false;
                whole = n >> shift;
                const uint128 rest = n - (whole << shift);
                const uint128 half = uint128{1} << (shift - 1);
                round_up = rest > half || (rest == half && (whole & 1) != 0);
            }
        } else {
            if (-k > max_power_128 || q < 0 || q > 73)
                return false;
            const uint128 n = uint128{m} << q;
            const uint128 d = power_of_ten_128(-k);
            whole = n / d;
            const uint128 rest2 = (n - whole * d) * 2;
            round_up = rest2 > d || (rest2 == d && (whole & 1) != 0);
        }
        if (whole >= high) {
            ++e;
            continue;
        }
        if (whole < low) {
            --e;
            continue;
        }
        r = static_cast<std::uint64_t>(whole) + (round_up ? 1 : 0);
        if (r == high) {
            r = low;
            ++e;
        }
        break;
    }

    const bool negative = v < 0;
    if (e < precision && e >= 0) {
        // Fixed notation, the common case: the integer part, then the
        // decimals without the trailing zeros %g drops.
        int decimals = precision - 1 - e;
        std::uint64_t fraction = r % integer_powers_of_ten[decimals];
        const std::uint64_t whole_part = r / integer_powers_of_ten[decimals];
        while (decimals > 0 && fraction % 10 == 0) {
            fraction /= 10;
            --decimals;
        }
        std::array<char, 48> text{};
        char* p = text.data();
        if (negative)
            *p++ = '-';
        p = std::to_chars(p, text.data() + text.size(), whole_part).ptr;
        if (decimals > 0) {
            *p++ = '.';
            char* const first = p;
            p += decimals;
            for (char* d = p; d != first; fraction /= 10)
                *--d = static_cast<char>('0' + fraction % 10);
        }
        out.append(text.data(), static_cast<std::size_t>(p - text.data()));
        return true;
    }

    // The digits, without the trailing zeros %g drops.
    static constexpr char pairs[] = "00010203040506070809101112131415161718192021222324"
                                    "25262728293031323334353637383940414243444546474849"
                                    "50515253545556575859606162636465666768697071727374"
                                    "75767778798081828384858687888990919293949596979899";
    std::array<char, 20> digits{};
    int count = precision;
    for (int i = count; i > 0;) {
        if (i >= 2) {
            const auto pair = static_cast<std::size_t>(r % 100) * 2;
            r /= 100;
            i -= 2;
            digits[static_cast<std::size_t>(i)] = pairs[pair];
            digits[static_cast<std::size_t>(i) + 1] = pairs[pair + 1];
        } else {
            digits[0] = static_cast<char>('0' + r);
            i = 0;
        }
    }
    while (count > 1 && digits[static_cast<std::size_t>(count - 1)] == '0')
        --count;

    std::array<char, 48> text{};
    std::size_t n = 0;
    const auto put = [&](char ch) { text[n++] = ch; };
    if (negative)
        put('-');
    if (e < 0 && e >= -4) {
        put('0');
        put('.');
        for (int i = 0; i < -e - 1; ++i)
            put('0');
        for (int i = 0; i < count; ++i)
            put(digits[static_cast<std::size_t>(i)]);
    } else {
        put(digits[0]);
        if (count > 1) {
            put('.');
            for (int i = 1; i < count; ++i)
                put(digits[static_cast<std::size_t>(i)]);
        }
        put('e');
        put(e < 0 ? '-' : '+');
        const int magnitude = e < 0 ? -e : e;
        if (magnitude >= 100)
            put(static_cast<char>('0' + magnitude / 100));
        put(static_cast<char>('0' + magnitude / 10 % 10));
        put(static_cast<char>('0' + magnitude % 10));
    }
    out.append(text.data(), n);
    return true;
}
#else
bool general_exact(std::string&, double, int)
{
    return false;
}
#endif

} // namespace

void append_general(std::string& out, double v, int precision)
{
    if (std::isnan(v)) {
        out += "nan";
        return;
    }
    if (general_exact(out, v, precision))
        return;
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
