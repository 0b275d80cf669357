#include "common/text_numbers.hpp"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <limits>
#include <string>
#include <vector>

namespace {

namespace text = vantrel::text;

std::vector<std::string> fields_of(std::string_view line)
{
    const auto views = text::split_fields(line);
    return {views.begin(), views.end()};
}

TEST(text_numbers, split_fields_cuts_at_runs_of_spaces_and_tabs)
{
    const struct {
        const char* line;
        std::vector<std::string> fields;
    } cases[] = {
        {"412.1\t0.25 0.31", {"412.1", "0.25", "0.31"}},
        {"  a \t\t b\t  ", {"a", "b"}},
        {"one", {"one"}},
        {"", {}},
        {" \t \t", {}},
        {"x\ty\r", {"x", "y"}}, // a CR left over from a CR LF line is no field
    };
    for (const auto& c : cases)
        EXPECT_EQ(fields_of(c.line), c.fields) << '"' << c.line << '"';
}

TEST(text_numbers, split_fields_into_a_vector_replaces_its_contents)
{
    std::vector<std::string_view> fields;
    text::split_fields("a b c d", fields);
    text::split_fields("e f", fields);
    ASSERT_EQ(fields.size(), 2u);
    EXPECT_EQ(fields[0], "e");
    EXPECT_EQ(fields[1], "f");
}

TEST(text_numbers, leading_double_reads_the_leading_number)
{
    const struct {
        const char* field;
        double value;
    } cases[] = {
        {"12.5abc", 12.5}, {"abc", 0.0}, {"-3e2", -300.0}, {"+4", 4.0}, {"0x1A", 26.0},
        {"", 0.0},         {"  7.25", 7.25}, {".5", 0.5},  {"1e", 1.0}, {"+-3", 0.0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(text::leading_double(c.field), c.value) << '"' << c.field << '"';
    EXPECT_TRUE(std::isnan(text::leading_double("nan")));
}

// strtod is the rule: the same value and the same stopping point.
TEST(text_numbers, scan_double_agrees_with_strtod)
{
    const char* const cases[] = {
        "0",       "-0",        "715",     "3.25e-4 rest", "1E+3",      "1e+",      "-.5e-3x",   "5.",
        "inf",     "-Infinity", "infx",    "NaN",          "nan(123)",  "0x",       "0xg",       "0x1p3",
        "-0x1.8p1", "0X1Fq",    "1e400",   "-1e400",       "1e-400",    "4.9e-324", "1e-320",    "e5",
        "-",       "+ 1",       "\t\n 42", "1,5",          "0.1e-1.2",  "12 13",
    };
    // Out of range without an exponent: hundreds of digits either side of the point.
    static const std::string tiny = "0." + std::string(400, '0') + "1";
    static const std::string huge = "9" + std::string(400, '0') + ".5";
    std::vector<const char*> all(std::begin(cases), std::end(cases));
    all.push_back(tiny.c_str());
    all.push_back(huge.c_str());
    for (const char* c : all) {
        SCOPED_TRACE(std::string("\"") + c + '"');
        char* end = nullptr;
        const double want = std::strtod(c, &end);
        std::string_view rest(c);
        const auto got = text::scan_double(rest);
        if (end == c) {
            EXPECT_FALSE(got.has_value());
            EXPECT_EQ(rest, c);
            continue;
        }
        ASSERT_TRUE(got.has_value());
        if (std::isnan(want))
            EXPECT_TRUE(std::isnan(*got));
        else
            EXPECT_EQ(*got, want);
        EXPECT_EQ(std::signbit(*got), std::signbit(want));
        EXPECT_EQ(rest, end);
    }
}

TEST(text_numbers, decimal_and_any_base_integers_differ_on_prefixes)
{
    const struct {
        const char* field;
        long long decimal;
        const char* decimal_rest;
        long long any_base;
        const char* any_base_rest;
    } cases[] = {
        {"42", 42, "", 42, ""},
        {"  -17 x", -17, " x", -17, " x"},
        {"+8", 8, "", 8, ""},
        {"0x1A", 0, "x1A", 26, ""},
        {"-0x10", 0, "x10", -16, ""},
        {"012", 12, "", 10, ""},
        {"019", 19, "", 1, "9"},
        {"12abc", 12, "abc", 12, "abc"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("\"") + c.field + '"');
        std::string_view d(c.field);
        std::string_view i(c.field);
        EXPECT_EQ(text::scan_decimal(d), c.decimal);
        EXPECT_EQ(d, c.decimal_rest);
        EXPECT_EQ(text::scan_integer(i), c.any_base);
        EXPECT_EQ(i, c.any_base_rest);
    }
    for (const char* bad : {"", "abc", "-", " +x", "+-5"}) {
        std::string_view d(bad);
        std::string_view i(bad);
        EXPECT_FALSE(text::scan_decimal(d).has_value()) << '"' << bad << '"';
        EXPECT_FALSE(text::scan_integer(i).has_value()) << '"' << bad << '"';
        EXPECT_EQ(d, bad);
        EXPECT_EQ(i, bad);
    }
}

std::string printf_text(const char* format, int precision, double v)
{
    char buf[512];
    std::snprintf(buf, sizeof buf, format, precision, v);
    return buf;
}

const double printed_values[] = {
    0.0,       -0.0,        1.0,         2.5,    0.5,      1.0 / 3.0, -715.25,   3600000.0, 0.000012345,
    1e-5,      0.0001,      123456789.0, 1e15,   1e16,     9.5,       0.05,      -2.675,    1e100,
    DBL_MAX,   DBL_MIN,     5e-324,      715.0,  0.014999, std::numeric_limits<double>::infinity(),
    -std::numeric_limits<double>::infinity(),
};

TEST(text_numbers, general_writes_what_printf_g_writes)
{
    EXPECT_EQ(text::general(3600000.0, 10), "3600000");
    EXPECT_EQ(text::general(0.000012345, 10), "1.2345e-05");
    EXPECT_EQ(text::general(std::numeric_limits<double>::quiet_NaN(), 10), "nan");
    EXPECT_EQ(text::general(-std::numeric_limits<double>::quiet_NaN(), 10), "nan");
    for (const double v : printed_values)
        for (const int precision : {0, 1, 6, 10, 17}) {
            EXPECT_EQ(text::general(v, precision), printf_text("%.*g", precision, v)) << v << " /" << precision;
        }
    EXPECT_EQ(text::general(1234567.0), printf_text("%.*g", 6, 1234567.0));
}

TEST(text_numbers, append_general_adds_to_the_end)
{
    std::string out = "t=";
    text::append_general(out, 3600000.0, 10);
    out += ' ';
    text::append_general(out, std::nan(""), 10);
    EXPECT_EQ(out, "t=3600000 nan");
}

TEST(text_numbers, fixed_writes_what_printf_f_writes)
{
    EXPECT_EQ(text::fixed(715, 1), "715.0");
    for (const double v : printed_values)
        for (const int decimals : {0, 1, 3, 6}) {
            EXPECT_EQ(text::fixed(v, decimals), printf_text("%.*f", decimals, v)) << v << " /" << decimals;
        }
}

TEST(text_numbers, starts_with_nocase_ignores_case_only)
{
    EXPECT_TRUE(text::starts_with_nocase("ProCessed file", "processed"));
    EXPECT_TRUE(text::starts_with_nocase("abc", ""));
    EXPECT_FALSE(text::starts_with_nocase("proc", "processed"));
    EXPECT_FALSE(text::starts_with_nocase("processes", "processed"));
}

} // namespace

// The shortcut through the shortest representation must round exactly as
// printf does, halfway digits and carries included.
TEST(text_numbers, general_matches_printf_on_many_values)
{
    std::mt19937_64 rng(20261211);
    const auto check = [](double v, int precision) {
        char want[64];
        std::snprintf(want, sizeof want, "%.*g", precision, v);
        const std::string got = text::general(v, precision);
        if (!std::isnan(v)) {
            ASSERT_EQ(got, want) << std::hexfloat << v << " precision " << precision;
        }
    };
    for (int i = 0; i < 200000; ++i) {
        const std::uint64_t bits = rng();
        double any;
        std::memcpy(&any, &bits, sizeof any);
        // Meter-like values with few digits, and values on a decimal grid
        // where halfway cases are common.
        const double meter = double(rng() % 10000000) / 1e6 - 2.0;
        const double grid = double(rng() % 20000000000ULL) / std::pow(10.0, double(rng() % 16));
        for (const double v : {any, meter, grid}) {
            check(v, 10);
            check(v, 6);
            check(v, 17);
        }
    }
    for (const double v : {0.0, -0.0, 9999999999.5, 99999.95, 0.00001, 1e10, 0.5, 2.5e-5, 1.0 / 3.0})
        for (const int precision : {1, 6, 10, 15})
            check(v, precision);
}
