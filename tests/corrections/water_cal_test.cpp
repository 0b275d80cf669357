#include "common/error.hpp"
#include "common/text_numbers.hpp"
#include "corrections/water_cal.hpp"
#include "test_support.hpp"

#include <cmath>

using namespace vantrel;
using namespace vantrel::testing;

namespace {
class water_cal_test : public temp_dir_test {};

// Splits at CR LF; the last piece is what follows the last line end.
std::vector<std::string> crlf_lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find("\r\n", start)) != std::string::npos; start = at + 2)
        lines.push_back(text.substr(start, at - start));
    lines.push_back(text.substr(start));
    return lines;
}
} // namespace

TEST_F(water_cal_test, file_layout_line_by_line)
{
    IXO_Data ds;
    ds.load_file(fixture("ixo_small.dat"), false);
    ds.const_saln = 0;
    std::vector<std::int32_t> picked = {1, 0};
    const ixo_data mean = make_water_cal(ds, picked, 20.5);
    EXPECT_EQ(picked, (std::vector<std::int32_t>{0, 1}));
    std::tm when{};
    when.tm_year = 2009 - 1900;
    when.tm_mon = 7;
    when.tm_mday = 6;
    when.tm_hour = 14;
    when.tm_min = 3;
    when.tm_sec = 9;
    when.tm_isdst = -1;
    ds.save_water_cal(path("w.wcf"), picked, 20.5, std::mktime(&when));

    const auto lines = crlf_lines(read_text(path("w.wcf")));
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[0], "File created by Vantrel version 2.0");
    EXPECT_EQ(lines[1], "Water Calibration File: 1.0");
    EXPECT_EQ(lines[2], "This file was created on Thu Aug 06 14:03:09 2009");
    EXPECT_EQ(lines[3], "Serial Number: 212");
    EXPECT_EQ(lines[4], "Water Calibration Temperature: 20.5");
    EXPECT_EQ(lines[5], "Number of wavelengths: 3");
    EXPECT_EQ(lines[6], "0\tc412.1\tc440.2\tc715.3\ta413\ta441.5\ta714.8\t");
    std::string data = "0\t";
    for (const double v : mean.c)
        data += text::general(v, 10) + "\t";
    for (const double v : mean.a)
        data += text::general(v, 10) + "\t";
    EXPECT_EQ(lines[7], data);
    EXPECT_EQ(lines[7], "0\t1.6\t1.7\t1.8\t0.56\t0.57\t0.58\t");
}

TEST_F(water_cal_test, making_a_calibration_switches_all_but_the_water_term_off)
{
    IXO_Data ds;
    ds.load_file(fixture("ixo_small.dat"), false);
    ds.const_saln = 35;
    ds.apply_temp = ds.apply_saln = ds.apply_scat = true;
    ds.scat_method = 1;
    ds.temp_source = 3;
    std::vector<std::int32_t> one = {3};
    const ixo_data mean = make_water_cal(ds, one, 4);
    EXPECT_FALSE(ds.apply_temp || ds.apply_saln || ds.apply_scat);
    EXPECT_EQ(ds.temp_source, 1);
    EXPECT_EQ(ds.const_temp, 4);
    // One record: its own values.
    EXPECT_EQ(mean.a, ds.records[3].a);
    EXPECT_EQ(mean.c, ds.records[3].c);

    // A blank already applied is subtracted from the new one.
    ds.load_file(fixture("water_small.wcf"), true);
    ds.water_cal_temp = ds.factory_cal_temp;
    ds.apply_water = true;
    const ixo_data less = make_water_cal(ds, one, 4);
    EXPECT_DOUBLE_EQ(less.c[0], 4.1 - 0.11);
    EXPECT_DOUBLE_EQ(less.a[2], 0.83 - 0.013);

    std::vector<std::int32_t> none;
    EXPECT_THROW(make_water_cal(ds, none, 4), vantrel::error);
}

TEST_F(water_cal_test, a_written_calibration_loads_back_as_the_same_blank)
{
    for (const std::string& source : {fixture("ixo_small.dat"), fixture("eqa_small.dat")}) {
        IXO_Data ds;
        ds.load_file(source, false);
        std::vector<std::int32_t> all = {0, 1, source.find("eqa") == std::string::npos ? 3 : 2};
        const ixo_data mean = make_water_cal(ds, all, 19.25);
        ds.save_water_cal(path("w.wcf"), all, 19.25);

        IXO_Data data;
        data.load_file(source, false);
        data.load_file(path("w.wcf"), true);
        EXPECT_TRUE(data.water_loaded);
        EXPECT_EQ(data.water_cal_temp, 19.25);
        ASSERT_EQ(data.water_mean.a.size(), mean.a.size());
        for (std::size_t i = 0; i < mean.a.size(); ++i) {
            EXPECT_NEAR(data.water_mean.a[i], mean.a[i], 1e-9 * std::fabs(mean.a[i])) << source << i;
            EXPECT_NEAR(data.water_mean.c[i], mean.c[i], 1e-9 * std::fabs(mean.c[i])) << source << i;
        }
    }
}

TEST_F(water_cal_test, unwritable_file_is_reported)
{
    IXO_Data ds;
    ds.load_file(fixture("ixo_small.dat"), false);
    EXPECT_THROW(ds.save_water_cal(path("no/dir/w.wcf"), {0}, 20), vantrel::error);
    try {
        ds.save_water_cal("/dev/full", {0}, 20);
        FAIL();
    } catch (const vantrel::error& e) {
        EXPECT_STREQ(e.what(), "Unable to write to /dev/full.");
    }
}
