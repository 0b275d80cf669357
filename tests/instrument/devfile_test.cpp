#include "instrument/devfile.hpp"

#include "common/error.hpp"
#include "common/text_numbers.hpp"
#include "test_support.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using vantrel::devfile;
using vantrel::testing::example;
using vantrel::testing::read_lines;
using vantrel::testing::temp_dir_test;
using vantrel::testing::write_text;

const std::string unexpected = "Unexpected error in devfile.";
const std::string bins_misidentified = "Number of temperature bins misidentified in devfile.";
const std::string not_a_devfile = "This file does not seem to be an EQA or IXO devfile.";

std::string join_tabs(const std::vector<double>& values)
{
    std::string s;
    for (const double v : values)
        s += (s.empty() ? "" : "\t") + vantrel::text::general(v, 17);
    return s;
}

// Compensation values that tell wavelength, channel and bin apart.
std::vector<double> ixo_row(std::size_t w, bool a, std::size_t bins)
{
    std::vector<double> row;
    for (std::size_t b = 0; b < bins; ++b)
        row.push_back((a ? 2.0 : 1.0) + 0.1 * static_cast<double>(w) + 0.01 * static_cast<double>(b));
    return row;
}

// A small Ixo device file: three wavelengths (not in wavelength order) and
// four bins, every line a field that a test may replace.
struct ixo_file {
    std::vector<std::string> head = {
        "IXO\t; meter model",
        "0x5300007A\t; serial number",
        "2\t; structure version",
        "tcal:\t21.7\tC, factory calibration temperature",
        "0.5\t1.25\t; depth calibration offset and slope",
        "19200\t; baud rate",
        "0.25\t; path length (m)",
        "3\t; output wavelengths",
        "4\t; number of temperature bins",
        "0.0\t10.0\t20.0\t30.0\t; temperature bins",
    };
    std::vector<double> c_wl = {532.1, 412.3, 650.2};
    std::vector<double> a_wl = {532.4, 412.5, 650.6};
    std::vector<std::string> channels;
    std::vector<std::string> tail = {"0\t; end of wavelength list", "0\t; reserved"};

    ixo_file()
    {
        for (std::size_t w = 0; w < c_wl.size(); ++w)
            channels.push_back(channel(w, 4));
    }

    // The layout as the meter's files have it: two tabs before each group of
    // values and a comment after them.
    std::string channel(std::size_t w, std::size_t bins) const
    {
        return "C" + vantrel::text::general(c_wl[w]) + "\tA" + vantrel::text::general(a_wl[w]) + "\t16\t0." +
               std::to_string(w + 1) + "\t0." + std::to_string(w + 5) + "\t\t" + join_tabs(ixo_row(w, false, bins)) +
               "\t\t" + join_tabs(ixo_row(w, true, bins)) + "\t; offsets and compensation";
    }

    std::vector<std::string> lines() const
    {
        std::vector<std::string> all = head;
        all.insert(all.end(), channels.begin(), channels.end());
        all.insert(all.end(), tail.begin(), tail.end());
        return all;
    }

    std::string text(const std::string& eol = "\n") const
    {
        std::string s;
        for (const auto& line : lines())
            s += line + eol;
        return s;
    }
};

// A small Eqa device file with the meter's own channel order: c and a lines
// interleaved, the wavelengths starting at 650. Offsets and compensation
// values are derived from the line's wavelength so that any reordering can
// be checked against the wavelength alone.
struct eqa_file {
    static constexpr double file_order[9] = {650, 676, 715, 412, 440, 488, 510, 532, 555};
    std::vector<std::string> head = {
        "EQA\t; meter model",
        "117\t; serial number",
        "1\t; structure version",
        "tcal:\t20.8\tC, factory calibration temperature",
        "0.0\t1.0\t; depth calibration offset and slope",
        "9600\t; baud rate",
        "0.25\t; path length (m)",
        "3\t; number of temperature bins",
        "5.0\t15.0\t25.0\t; temperature bins",
    };
    std::vector<std::string> channels;
    std::vector<std::string> tail = {"0\t; end of channel list", "0\t; reserved"};

    static double offset(bool a, double wl) { return (a ? 0.5 : 0.2) + wl / 10000.0; }
    static double value(bool a, double wl, std::size_t b)
    {
        return (a ? -1.0 : 1.0) * (wl / 1000.0 + 0.01 * static_cast<double>(b));
    }

    eqa_file()
    {
        for (const double wl : file_order) {
            channels.push_back(channel('c', wl));
            channels.push_back(channel('a', wl));
        }
    }

    static std::string channel(char letter, double wl)
    {
        const bool a = letter == 'a' || letter == 'A';
        std::vector<double> values;
        for (std::size_t b = 0; b < 3; ++b)
            values.push_back(value(a, wl, b));
        return std::string(1, letter) + vantrel::text::general(wl) + "\t3\t" +
               vantrel::text::general(offset(a, wl), 17) + "\t\t" + join_tabs(values) + "\t; comment";
    }

    std::vector<std::string> lines() const
    {
        std::vector<std::string> all = head;
        all.insert(all.end(), channels.begin(), channels.end());
        all.insert(all.end(), tail.begin(), tail.end());
        return all;
    }

    std::string text() const
    {
        std::string s;
        for (const auto& line : lines())
            s += line + "\n";
        return s;
    }
};

class devfile_test : public temp_dir_test {
protected:
    devfile load_text(const std::string& text)
    {
        const std::string file = path("meter.dev");
        write_text(file, text);
        devfile dev;
        dev.load(file);
        return dev;
    }

    // The message of the failed load, or a note that it did not fail.
    static std::string load_failure(const std::string& file)
    {
        try {
            devfile dev;
            dev.load(file);
        } catch (const vantrel::error& e) {
            return e.what();
        }
        return "(loaded)";
    }

    std::string failure(const std::string& text)
    {
        const std::string file = path("meter.dev");
        write_text(file, text);
        return load_failure(file);
    }
};

TEST_F(devfile_test, ixo_file_fills_every_field_in_file_order)
{
    const ixo_file f;
    const std::string file = path("meter.dev");
    write_text(file, f.text());
    devfile dev;
    dev.load(file);

    EXPECT_EQ(dev.model, devfile::meter_model::ixo);
    EXPECT_EQ(dev.meter_name, "IXO");
    EXPECT_EQ(dev.serial_number, 122);
    EXPECT_EQ(dev.header_integer, 2);
    EXPECT_FLOAT_EQ(dev.fac_cal_temp, 21.7F);
    EXPECT_FALSE(dev.fac_cal_temp_missing);
    EXPECT_FLOAT_EQ(dev.header_pair[0], 0.5F);
    EXPECT_FLOAT_EQ(dev.header_pair[1], 1.25F);
    EXPECT_EQ(dev.baud_rate, 19200);
    EXPECT_DOUBLE_EQ(dev.path_length, 0.25);
    EXPECT_EQ(dev.num_tempbins, 4U);
    EXPECT_EQ(dev.temp_bins, (std::vector<double>{0.0, 10.0, 20.0, 30.0}));
    EXPECT_EQ(dev.c_wavelengths, f.c_wl);
    EXPECT_EQ(dev.a_wavelengths, f.a_wl);
    EXPECT_EQ(dev.c_offsets, (std::vector<double>{0.1, 0.2, 0.3}));
    EXPECT_EQ(dev.a_offsets, (std::vector<double>{0.5, 0.6, 0.7}));
    std::vector<double> c_table;
    std::vector<double> a_table;
    for (std::size_t w = 0; w < 3; ++w) {
        const auto c_row = ixo_row(w, false, 4);
        const auto a_row = ixo_row(w, true, 4);
        c_table.insert(c_table.end(), c_row.begin(), c_row.end());
        a_table.insert(a_table.end(), a_row.begin(), a_row.end());
    }
    EXPECT_EQ(dev.temp_adjustments_c, c_table);
    EXPECT_EQ(dev.temp_adjustments_a, a_table);
    EXPECT_TRUE(dev.channel_is_a.empty());
    EXPECT_TRUE(dev.a_order.empty());
    EXPECT_EQ(dev.header_lines, f.lines());
    EXPECT_EQ(dev.devfile_path, file);
}

TEST_F(devfile_test, crlf_file_loads_like_lf_file)
{
    const ixo_file f;
    const devfile lf = load_text(f.text());
    const devfile crlf = load_text(f.text("\r\n"));
    EXPECT_EQ(crlf.header_lines, lf.header_lines);
    EXPECT_EQ(crlf.temp_bins, lf.temp_bins);
    EXPECT_EQ(crlf.temp_adjustments_a, lf.temp_adjustments_a);
    EXPECT_EQ(crlf.a_wavelengths, lf.a_wavelengths);
}

TEST_F(devfile_test, serial_number_line_by_model)
{
    const struct {
        bool ixo;
        std::string line;
        std::uint32_t serial;
    } cases[] = {
        {true, "0x5300007A\t; serial", 122},
        {true, "0X530000d4", 212},
        {true, "5300007A", 122},
        {true, "  0x530000D4 trailing words", 212},
        {true, "0x7A", 0x7AU - 0x53000000U},
        {false, "117\t; serial", 117},
        {false, "0117", 117},
        {false, "0x75", 0},
    };
    for (const auto& c : cases) {
        std::string text;
        if (c.ixo) {
            ixo_file f;
            f.head[1] = c.line;
            text = f.text();
        } else {
            eqa_file f;
            f.head[1] = c.line;
            text = f.text();
        }
        EXPECT_EQ(static_cast<std::uint32_t>(load_text(text).serial_number), c.serial) << c.line;
    }
}

TEST_F(devfile_test, calibration_temperature_is_the_number_after_a_word)
{
    const struct {
        std::string line;
        float temp;
        bool missing;
    } cases[] = {
        {"tcal:\t21.7\tC, factory calibration temperature", 21.7F, false},
        {"Tcal: -1.5 degrees C and more", -1.5F, false},
        {"tcal:\t19", 19.0F, false},
        {"no number here", 0.0F, true},
        {"21.7\tC", 0.0F, true}, // the number is taken for the label word
        {"tcal:", 0.0F, true},
        {"", 0.0F, true},
    };
    for (const auto& c : cases) {
        ixo_file f;
        f.head[3] = c.line;
        const devfile dev = load_text(f.text());
        EXPECT_FLOAT_EQ(dev.fac_cal_temp, c.temp) << c.line;
        EXPECT_EQ(dev.fac_cal_temp_missing, c.missing) << c.line;
    }
}

TEST_F(devfile_test, header_numbers_take_the_leading_number_of_their_line)
{
    ixo_file f;
    f.head[2] = "0x10 as %i";
    f.head[4] = "  -2.5   3e1 ; pair separated by blanks";
    f.head[5] = "9600 baud";
    f.head[6] = "0.1e1m";
    const devfile dev = load_text(f.text());
    EXPECT_EQ(dev.header_integer, 16);
    EXPECT_FLOAT_EQ(dev.header_pair[0], -2.5F);
    EXPECT_FLOAT_EQ(dev.header_pair[1], 30.0F);
    EXPECT_EQ(dev.baud_rate, 9600);
    EXPECT_DOUBLE_EQ(dev.path_length, 1.0);
}

TEST_F(devfile_test, model_is_decided_by_the_first_three_characters)
{
    const struct {
        std::string line;
        bool ixo_body;
        std::string outcome;
    } cases[] = {
        {"IXO\t; meter", true, "ixo"},
        {"IXO-HS meter", true, "ixo"},
        {"EQA meter", false, "eqa"},
        {"ixo\t; meter", true, not_a_devfile},
        {"eqa", false, not_a_devfile},
        {" IXO", true, not_a_devfile},
        {"IX", true, not_a_devfile},
        {"", true, not_a_devfile},
    };
    for (const auto& c : cases) {
        std::string text;
        if (c.ixo_body) {
            ixo_file f;
            f.head[0] = c.line;
            text = f.text();
        } else {
            eqa_file f;
            f.head[0] = c.line;
            text = f.text();
        }
        std::string outcome;
        try {
            const devfile dev = load_text(text);
            outcome = dev.model == devfile::meter_model::ixo ? "ixo" : "eqa";
            EXPECT_EQ(dev.meter_name, c.line.substr(0, c.line.find_first_of(" \t"))) << c.line;
        } catch (const vantrel::error& e) {
            outcome = e.what();
        }
        EXPECT_EQ(outcome, c.outcome) << c.line;
    }
}

TEST_F(devfile_test, unreadable_or_empty_files)
{
    EXPECT_EQ(load_failure(path("absent.dev")), "Unable to open devfile.");
    EXPECT_EQ(load_failure(path("")), "Unable to open devfile."); // the directory itself
    EXPECT_EQ(failure(""), not_a_devfile);
}

TEST_F(devfile_test, bins_line_first_token_at_blanks_then_at_tabs)
{
    const struct {
        std::string line;
        std::vector<double> bins; // empty: the count does not match
    } cases[] = {
        {"0.0\t10.0\t20.0\t30.0", {0, 10, 20, 30}},
        {"  0.0 10.0\t20.0\t30.0", {0, 10, 20, 30}},
        {"0\t\t10\t\t\t20\t30", {0, 10, 20, 30}}, // a run of tabs separates once
        {"0\t10\t20\t30\t40\t; more bins than declared", {0, 10, 20, 30}},
        {"0.0 10.0 20.0 30.0", {}},
        {"0\t10\t20", {}},
        {"0\t10\t \t20\t30", {}}, // blanks between tabs are not a bin
        {"0\t10\t20\t; the comment is not a bin", {}},
        {"", {}},
    };
    for (const auto& c : cases) {
        ixo_file f;
        f.head[9] = c.line;
        if (c.bins.empty()) {
            EXPECT_EQ(failure(f.text()), bins_misidentified) << c.line;
        } else {
            const devfile dev = load_text(f.text());
            EXPECT_EQ(dev.temp_bins, c.bins) << c.line;
        }
    }
}

TEST_F(devfile_test, bins_count_that_the_bins_line_cannot_meet)
{
    for (const std::string count : {"5", "0", "-1", "none", ""}) {
        ixo_file f;
        f.head[8] = count;
        EXPECT_EQ(failure(f.text()), bins_misidentified) << count;
        eqa_file e;
        e.head[7] = count;
        EXPECT_EQ(failure(e.text()), bins_misidentified) << count;
    }
}

TEST_F(devfile_test, ixo_channel_lines_that_cannot_be_used)
{
    // Four bins: five fixed columns, four c and four a values.
    const std::string values = "\t1\t1\t1\t1\t2\t2\t2\t2";
    // One a value short, with and without a comment after the values.
    const std::string short_line = "C412.3\tA412.5\t16\t0.2\t0.6\t1\t1\t1\t1\t2\t2\t2";
    const std::string short_commented = short_line + "\t; offsets and compensation";
    const std::string cases[] = {
        "",
        " \t ",
        short_line,
        short_commented,
        "C412.3\tA412.5\t16\t0.2\t0.6",
        "C412.3\tA412.5\t16\t0.2\t0.6\t1\t1\tx\t1\t2\t2\t2\t2",
        "C412.3\tA412.5\t16\t\t0.6" + values + "\t; c offset left out",
        "X412.3\tA412.5\t16\t0.2\t0.6" + values,
        "C412.3\t412.5\t16\t0.2\t0.6" + values,
        "c412.3\ta412.5\t16\t0.2\t0.6" + values,
        "Cnan\tA412.5\t16\t0.2\t0.6" + values,
        "C\tA412.5\t16\t0.2\t0.6" + values,
        "C 412.3\tA412.5\t16\t0.2\t0.6" + values,  // the wavelength must follow its letter
        "C412.3A412.5\t16\t0.2\t0.6" + values,      // both wavelengths in one column
    };
    for (const auto& line : cases) {
        ixo_file f;
        f.channels[1] = line;
        EXPECT_EQ(failure(f.text()), unexpected) << line;
    }
    // Blanks before the letters and between the columns are allowed.
    ixo_file f;
    f.channels[1] = "  C412.3 A412.5\t16\t0.2\t0.6" + values;
    const devfile dev = load_text(f.text());
    EXPECT_DOUBLE_EQ(dev.c_wavelengths[1], 412.3);
    EXPECT_DOUBLE_EQ(dev.a_wavelengths[1], 412.5);
    EXPECT_DOUBLE_EQ(dev.a_offsets[1], 0.6);
}

TEST_F(devfile_test, ixo_wavelength_count_must_name_lines)
{
    for (const std::string count : {"0", "-3", "none"}) {
        ixo_file f;
        f.head[7] = count;
        EXPECT_EQ(failure(f.text()), unexpected) << count;
    }
    // A count larger than the channel lines reads the trailing lines as channels.
    ixo_file f;
    f.head[7] = "4";
    EXPECT_EQ(failure(f.text()), unexpected);
}

TEST_F(devfile_test, file_ending_early_is_rejected_wherever_it_ends)
{
    const std::vector<std::string> ixo = ixo_file{}.lines();
    const std::vector<std::string> eqa = eqa_file{}.lines();
    for (const auto* lines : {&ixo, &eqa}) {
        for (std::size_t kept = 1; kept < lines->size(); ++kept) {
            std::string text;
            for (std::size_t i = 0; i < kept; ++i)
                text += (*lines)[i] + "\n";
            EXPECT_EQ(failure(text), unexpected) << (*lines)[0] << " cut after " << kept << " lines";
        }
    }
}

TEST_F(devfile_test, eqa_channels_are_sorted_with_their_offsets_and_rows)
{
    const eqa_file f;
    const devfile dev = load_text(f.text());

    EXPECT_EQ(dev.model, devfile::meter_model::eqa);
    EXPECT_EQ(dev.serial_number, 117);
    EXPECT_EQ(dev.baud_rate, 9600);
    EXPECT_EQ(dev.num_tempbins, 3U);
    const std::vector<double> sorted = {412, 440, 488, 510, 532, 555, 650, 676, 715};
    EXPECT_EQ(dev.a_wavelengths, sorted);
    EXPECT_EQ(dev.c_wavelengths, sorted);
    // a-line numbers in file order: 650 is line 0, ..., 412 is line 3.
    const std::vector<std::int32_t> order = {3, 4, 5, 6, 7, 8, 0, 1, 2};
    EXPECT_EQ(dev.a_order, order);
    EXPECT_EQ(dev.c_order, order);
    std::vector<bool> kinds;
    for (int i = 0; i < 9; ++i)
        kinds.insert(kinds.end(), {false, true});
    EXPECT_EQ(dev.channel_is_a, kinds);

    ASSERT_EQ(dev.a_offsets.size(), 9U);
    ASSERT_EQ(dev.temp_adjustments_a.size(), 27U);
    ASSERT_EQ(dev.temp_adjustments_c.size(), 27U);
    for (std::size_t k = 0; k < 9; ++k) {
        EXPECT_DOUBLE_EQ(dev.a_offsets[k], eqa_file::offset(true, sorted[k])) << k;
        EXPECT_DOUBLE_EQ(dev.c_offsets[k], eqa_file::offset(false, sorted[k])) << k;
        for (std::size_t b = 0; b < 3; ++b) {
            EXPECT_DOUBLE_EQ(dev.temp_adjustments_a[k * 3 + b], eqa_file::value(true, sorted[k], b));
            EXPECT_DOUBLE_EQ(dev.temp_adjustments_c[k * 3 + b], eqa_file::value(false, sorted[k], b));
        }
    }
    EXPECT_EQ(dev.header_lines, f.lines());
    EXPECT_EQ(dev.header_lines.size(), 29U);
}

TEST_F(devfile_test, eqa_accepts_upper_case_letters_and_kinds_in_any_order)
{
    eqa_file f;
    // All nine c lines first, in capitals, then the a lines.
    f.channels.clear();
    for (const double wl : eqa_file::file_order)
        f.channels.push_back(eqa_file::channel('C', wl));
    for (const double wl : eqa_file::file_order)
        f.channels.push_back(eqa_file::channel('A', wl));
    const devfile dev = load_text(f.text());
    EXPECT_EQ(std::count(dev.channel_is_a.begin(), dev.channel_is_a.end(), true), 9);
    EXPECT_FALSE(dev.channel_is_a.front());
    EXPECT_TRUE(dev.channel_is_a.back());
    EXPECT_DOUBLE_EQ(dev.c_offsets[0], eqa_file::offset(false, 412));
    EXPECT_DOUBLE_EQ(dev.a_offsets[8], eqa_file::offset(true, 715));
}

TEST_F(devfile_test, eqa_channel_lines_that_cannot_be_used)
{
    const struct {
        std::size_t line;
        std::string text;
        std::string message;
    } cases[] = {
        {4, "", "Unexpected error in devfile"},
        {4, " \t", "Unexpected error in devfile"},
        {4, "x440\t3\t0.5\t\t1\t2\t3", unexpected},       // neither a nor c
        {4, " c440\t3\t0.5\t\t1\t2\t3", unexpected},      // the letter must come first
        {4, "c440\t3\t0.5\t\t1\t2", unexpected},          // one value short
        {4, "c\t3\t0.5\t\t1\t2\t3", unexpected},          // no wavelength
        {4, "c 440\t3\t0.5\t\t1\t2\t3", unexpected},      // wavelength apart from its letter
        {4, "c440\t3\t0.5\t\t1\tnone\t3", unexpected},    // a value that is not a number
        {4, "c440\t3\t0.5\t\t1\t2\t; comment", unexpected},
        {5, "c440\t3\t0.5\t\t1\t2\t3", unexpected},       // ten c lines, eight a lines
    };
    for (const auto& c : cases) {
        eqa_file f;
        f.channels[c.line] = c.text;
        EXPECT_EQ(failure(f.text()), c.message) << c.line << ": " << c.text;
    }
    // The Eqa conversion divides by the path length.
    for (const std::string path : {"0\t; path length (m)", "-0.25", "x"}) {
        eqa_file f;
        f.head[6] = path;
        EXPECT_EQ(failure(f.text()), unexpected) << path;
    }
}

TEST_F(devfile_test, channel_lines_longer_than_any_line_buffer)
{
    // 400 bins make every channel line several thousand characters long.
    ixo_file f;
    const std::size_t bins = 400;
    std::vector<double> temps;
    for (std::size_t b = 0; b < bins; ++b)
        temps.push_back(0.1 * static_cast<double>(b));
    f.head[8] = std::to_string(bins);
    f.head[9] = join_tabs(temps);
    for (std::size_t w = 0; w < f.c_wl.size(); ++w)
        f.channels[w] = f.channel(w, bins);
    ASSERT_GT(f.channels[0].size(), 8192U);
    const devfile dev = load_text(f.text());
    ASSERT_EQ(dev.temp_adjustments_a.size(), 3 * bins);
    EXPECT_EQ(dev.temp_bins.back(), 0.1 * 399);
    EXPECT_DOUBLE_EQ(dev.temp_adjustments_a.back(), ixo_row(2, true, bins).back());
    EXPECT_DOUBLE_EQ(dev.temp_adjustments_c[bins], ixo_row(1, false, bins).front());
    EXPECT_EQ(dev.header_lines.size(), 15U);
}

TEST_F(devfile_test, failed_load_keeps_the_previous_calibration)
{
    const std::string good = path("good.dev");
    const std::string bad = path("bad.dev");
    write_text(good, ixo_file{}.text());
    ixo_file broken;
    broken.channels[2] = "";
    write_text(bad, broken.text());

    devfile dev;
    dev.load(good);
    EXPECT_THROW(dev.load(bad), vantrel::error);
    EXPECT_EQ(dev.devfile_path, good);
    EXPECT_EQ(dev.header_lines.size(), 15U);
    EXPECT_EQ(dev.a_wavelengths.size(), 3U);
    // Loading again replaces rather than appends.
    dev.load(good);
    EXPECT_EQ(dev.temp_bins.size(), 4U);
    EXPECT_EQ(dev.temp_adjustments_c.size(), 12U);
}

TEST_F(devfile_test, temp_adjustment_interpolates_between_the_bins_around_t)
{
    // Bins 0, 10, 20, 30; wavelength 1 rows: c 1.10 .. 1.13, a 2.10 .. 2.13.
    const devfile dev = load_text(ixo_file{}.text());
    const struct {
        bool a;
        double t;
        double expected;
    } cases[] = {
        {false, 10.0, 1.11},   // on a bin
        {true, 0.0, 2.10},     // on the first bin
        {true, 30.0, 2.13},    // on the last bin
        {false, 15.0, 1.115},  // halfway: the mean
        {true, 22.5, 2.1225},  // a quarter of the way
        {false, 45.0, 1.13},   // above the table: the last bin
        {true, -5.0, 2.10},    // below the table: the first bin
        {false, -1e9, 1.10},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(dev.temp_adjustment(c.a, 1, c.t), c.expected, 1e-12) << c.a << " at " << c.t;
    EXPECT_TRUE(std::isnan(dev.temp_adjustment(true, 1, std::nan(""))));
}

TEST_F(devfile_test, temp_adjustment_rejects_rows_that_do_not_exist)
{
    const devfile dev = load_text(ixo_file{}.text());
    EXPECT_NO_THROW(dev.temp_adjustment(false, 2, 12.0));
    EXPECT_THROW(dev.temp_adjustment(false, 3, 12.0), std::out_of_range);
    EXPECT_THROW(dev.temp_adjustment(true, static_cast<std::size_t>(-1), 12.0), std::out_of_range);
    const devfile empty;
    EXPECT_THROW(empty.temp_adjustment(true, 0, 12.0), std::out_of_range);
}

TEST_F(devfile_test, eqa_temp_adjustment_follows_the_sorted_lists)
{
    // Bins 5, 15, 25; index 0 is the 412 nm channel, listed fourth in the file.
    const devfile dev = load_text(eqa_file{}.text());
    EXPECT_DOUBLE_EQ(dev.temp_adjustment(true, 0, 15.0), eqa_file::value(true, 412, 1));
    EXPECT_NEAR(dev.temp_adjustment(false, 8, 20.0),
                (eqa_file::value(false, 715, 1) + eqa_file::value(false, 715, 2)) / 2, 1e-12);
}

TEST(devfile_examples, ixo_86)
{
    devfile dev;
    dev.load(example("ixo_86.dev"));
    EXPECT_EQ(dev.model, devfile::meter_model::ixo);
    EXPECT_EQ(dev.serial_number, 212);
    EXPECT_EQ(dev.baud_rate, 19200);
    EXPECT_DOUBLE_EQ(dev.path_length, 0.25);
    EXPECT_FALSE(dev.fac_cal_temp_missing);
    ASSERT_EQ(dev.a_wavelengths.size(), 86U);
    ASSERT_EQ(dev.c_wavelengths.size(), 86U);
    EXPECT_EQ(dev.num_tempbins, 36U);
    EXPECT_EQ(dev.temp_bins.front(), 0.0);
    EXPECT_EQ(dev.temp_bins.back(), 35.0);
    EXPECT_EQ(dev.temp_adjustments_a.size(), 86U * 36U);
    EXPECT_EQ(dev.temp_adjustments_c.size(), 86U * 36U);
    EXPECT_EQ(dev.header_lines.size(), 10U + 86U + 2U);
    EXPECT_GE(dev.c_wavelengths.front(), 400.0);
    EXPECT_LE(dev.a_wavelengths.back(), 750.0);
    for (std::size_t w = 0; w < 86; ++w) {
        EXPECT_GT(dev.a_wavelengths[w], dev.c_wavelengths[w]) << w;
        EXPECT_LT(dev.a_wavelengths[w] - dev.c_wavelengths[w], 1.0) << w;
        EXPECT_GT(dev.c_offsets[w], 0.05) << w;
        EXPECT_LT(dev.c_offsets[w], 1.0) << w;
        // Compensation is zero near the calibration temperature, small elsewhere.
        EXPECT_LT(std::abs(dev.temp_adjustment(true, w, dev.fac_cal_temp)), 1e-3) << w;
        EXPECT_LT(std::abs(dev.temp_adjustment(false, w, 35.0)), 0.1) << w;
    }
    EXPECT_EQ(dev.header_lines, read_lines(example("ixo_86.dev")));
}

TEST(devfile_examples, eqa_9)
{
    devfile dev;
    dev.load(example("eqa_9.dev"));
    EXPECT_EQ(dev.model, devfile::meter_model::eqa);
    EXPECT_EQ(dev.serial_number, 117);
    EXPECT_EQ(dev.baud_rate, 9600);
    EXPECT_DOUBLE_EQ(dev.path_length, 0.25);
    EXPECT_FALSE(dev.fac_cal_temp_missing);
    const std::vector<double> sorted = {412, 440, 488, 510, 532, 555, 650, 676, 715};
    EXPECT_EQ(dev.a_wavelengths, sorted);
    EXPECT_EQ(dev.c_wavelengths, sorted);
    // The file lists the channels out of wavelength order.
    std::vector<std::int32_t> identity = {0, 1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_NE(dev.a_order, identity);
    EXPECT_NE(dev.c_order, identity);
    EXPECT_EQ(dev.channel_is_a.size(), 18U);
    EXPECT_EQ(dev.header_lines.size(), 29U);
    EXPECT_EQ(dev.temp_adjustments_a.size(), 9U * dev.num_tempbins);
}

} // namespace
