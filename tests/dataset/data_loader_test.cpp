#include "common/error.hpp"
#include "dataset/ixo_data.hpp"
#include "test_support.hpp"

#include <cmath>

using namespace vantrel;
using namespace vantrel::testing;

namespace {


class loader_test : public temp_dir_test {};

} // namespace

TEST_F(loader_test, hyperspectral_file_gives_wavelengths_records_and_onboard_rows)
{
    IXO_Data ds;
    ds.load_file(fixture("ixo_small.dat"), false);

    EXPECT_EQ(ds.model, model_ixo);
    EXPECT_FALSE(ds.processed_file);
    EXPECT_EQ(ds.serial_number, 212);
    EXPECT_DOUBLE_EQ(ds.factory_cal_temp, 21.5);
    EXPECT_EQ(ds.wavelength_count, 3);
    EXPECT_EQ(ds.c_wavelengths, (std::deque<double>{412.1, 440.2, 715.3}));
    EXPECT_EQ(ds.a_wavelengths, (std::deque<double>{413.0, 441.5, 714.8}));
    EXPECT_EQ(ds.data_file, fixture("ixo_small.dat"));

    // The empty line is skipped and the unterminated last line kept.
    ASSERT_EQ(ds.records.size(), 4u);
    EXPECT_EQ(ds.records[0].time, 1000);
    EXPECT_EQ(ds.records[0].c, (std::vector<double>{1.1, 1.2, 1.3}));
    EXPECT_EQ(ds.records[0].a, (std::vector<double>{0.51, 0.52, 0.53}));
    EXPECT_EQ(ds.records[3].a, (std::vector<double>{0.81, 0.82, 0.83}));

    // A short line keeps the wavelength count, with NaN for what it lacks,
    // and keeps the previous line's temperature and pressure.
    ASSERT_EQ(ds.records[2].a.size(), 3u);
    EXPECT_EQ(ds.records[2].a[1], 0.72);
    EXPECT_TRUE(std::isnan(ds.records[2].a[2]));

    ASSERT_EQ(ds.aux_onboard.rows.size(), 4u);
    ASSERT_EQ(ds.aux_merged.rows.size(), 4u);
    EXPECT_EQ(ds.aux_onboard.rows[0].temp, 15.5);
    EXPECT_EQ(ds.aux_onboard.rows[0].pres, 2.5);
    EXPECT_EQ(ds.aux_onboard.rows[2].temp, 15.6);
    EXPECT_EQ(ds.aux_onboard.rows[2].pres, 2.75);
    EXPECT_EQ(ds.aux_merged.rows[3].temp, 15.8);

    // Lines 2 to 11, the block, its ending line, the bin-size and title lines.
    ASSERT_EQ(ds.header_lines.size(), 16u);
    EXPECT_EQ(ds.header_lines[0], "IXO test meter");
    EXPECT_EQ(ds.header_lines[10], "C412.1\tA413.0\t; channel");
    EXPECT_EQ(ds.header_lines[13], "0\t; end of wavelength list");
    EXPECT_EQ(ds.header_lines[15].substr(0, 9), "Time(ms)\t");

    EXPECT_EQ(ds.a_coefs.size(), 3u);
    EXPECT_EQ(ds.c_coefs.size(), 3u);
    EXPECT_EQ(ds.a_coefs[0].wl, 413.0);
    EXPECT_EQ(ds.c_coefs[0].wl, 412.1);
    EXPECT_EQ(ds.scat_ref_a_index, 2);
    EXPECT_EQ(ds.scat_ref_c_index, 2);
    EXPECT_EQ(ds.scat_ref_a_wl, 714.8);
}

TEST_F(loader_test, crlf_lines_and_lower_case_model_word_read_the_same)
{
    std::string text = read_text(fixture("ixo_small.dat"));
    std::string crlf;
    for (const char ch : text) {
        if (ch == '\n')
            crlf += '\r';
        crlf += ch;
    }
    crlf.replace(crlf.find("IXO test"), 3, "ixo");
    write_text(path("crlf.dat"), crlf);

    IXO_Data plain;
    plain.load_file(fixture("ixo_small.dat"), false);
    IXO_Data other;
    other.load_file(path("crlf.dat"), false);
    EXPECT_EQ(other.model, model_ixo);
    EXPECT_EQ(other.a_wavelengths, plain.a_wavelengths);
    ASSERT_EQ(other.records.size(), plain.records.size());
    EXPECT_EQ(other.records[1].c, plain.records[1].c);
    EXPECT_EQ(other.header_lines[13], plain.header_lines[13]);
}

TEST_F(loader_test, nine_wavelength_file_is_sorted_by_wavelength)
{
    IXO_Data ds;
    ds.load_file(fixture("eqa_small.dat"), false);

    EXPECT_EQ(ds.model, model_eqa);
    EXPECT_EQ(ds.serial_number, 117);
    EXPECT_DOUBLE_EQ(ds.factory_cal_temp, 20.25);
    EXPECT_EQ(ds.wavelength_count, 9);
    EXPECT_EQ(ds.a_wavelengths, (std::deque<double>{412, 440, 488, 510, 532, 555, 650, 676, 715}));
    EXPECT_EQ(ds.c_wavelengths, (std::deque<double>{412, 440, 488, 510, 532, 555, 650, 676, 715}));
    // The fixture's a value at w nm is w/1000 + record number, its c value w/100 + record number.
    ASSERT_EQ(ds.records.size(), 3u);
    for (std::size_t r = 0; r < 3; ++r) {
        for (std::size_t i = 0; i < 9; ++i) {
            EXPECT_DOUBLE_EQ(ds.records[r].a[i], ds.a_wavelengths[i] / 1000 + double(r)) << r << " " << i;
            EXPECT_DOUBLE_EQ(ds.records[r].c[i], ds.c_wavelengths[i] / 100 + double(r)) << r << " " << i;
        }
    }
    EXPECT_EQ(ds.aux_onboard.rows[2].temp, 16.5);
    EXPECT_EQ(ds.aux_onboard.rows[2].pres, 3.5);
    // The a 650 line comes first in the file; sorted position 6 maps back to a column 0.
    EXPECT_EQ(ds.a_column_order[6], 0);
    EXPECT_EQ(ds.a_column_order[0], 1);
    ASSERT_EQ(ds.column_is_a.size(), 18u);
    EXPECT_TRUE(ds.column_is_a[0]);
    EXPECT_FALSE(ds.column_is_a[1]);
    // The nine-wavelength block is not kept in the header.
    EXPECT_EQ(ds.header_lines.size(), 9u);
    EXPECT_EQ(ds.scat_ref_a_wl, 715);
}

TEST_F(loader_test, loader_processed_variant_reads_until_an_empty_line)
{
    IXO_Data ds;
    ds.load_file(fixture("processed_variant.dat"), false);
    EXPECT_EQ(ds.model, model_processed);
    EXPECT_TRUE(ds.processed_file);
    EXPECT_EQ(ds.wavelength_count, 2);
    EXPECT_EQ(ds.c_wavelengths, (std::deque<double>{412.5, 440.5}));
    EXPECT_EQ(ds.a_wavelengths, (std::deque<double>{413.5, 441.5}));
    ASSERT_EQ(ds.records.size(), 2u);
    EXPECT_EQ(ds.records[1].c, (std::vector<double>{2.5, 2.6}));
    EXPECT_EQ(ds.records[1].a, (std::vector<double>{0.7, 0.8}));
    EXPECT_EQ(ds.aux_onboard.rows[1].temp, 13.5);
    EXPECT_EQ(ds.aux_onboard.rows[1].pres, 4.5);
}

TEST_F(loader_test, lines_longer_than_4095_characters_are_read_whole)
{
    // 400 channels make data lines of about 8000 characters.
    std::string text = "x\nIXO long\n1\n2\nT: 20 C\n0 0\n9600\n0.25\n400\n1\n10\n";
    for (int i = 0; i < 400; ++i)
        text += "C" + std::to_string(400 + i) + "\tA" + std::to_string(400 + i) + "\n";
    text += "0\n1\t\t\t; acquisition bin size\ntitle\n";
    for (int r = 0; r < 2; ++r) {
        text += std::to_string(r * 250);
        for (int i = 0; i < 800; ++i)
            text += "\t0.123456789";
        text += "\t" + std::to_string(10 + r) + "\t0\t7\n";
    }
    write_text(path("long.dat"), text);

    IXO_Data ds;
    ds.load_file(path("long.dat"), false);
    ASSERT_EQ(ds.records.size(), 2u);
    EXPECT_EQ(ds.records[1].a.size(), 400u);
    EXPECT_EQ(ds.records[1].a[399], 0.123456789);
    EXPECT_EQ(ds.aux_onboard.rows[1].temp, 11);
}

TEST_F(loader_test, failures_carry_their_messages)
{
    const std::string ixo = read_text(fixture("ixo_small.dat"));
    write_text(path("unknown.dat"), "x\nSomething else\n");
    write_text(path("nowl.dat"), "x\nIXO\n1\n2\nT: 20 C\n0 0\n9600\n0.25\n0\n1\n10\n0\n1\ntitle\n100\t1\n");
    std::string eqa = read_text(fixture("eqa_small.dat"));
    eqa.erase(eqa.find("a715\t; channel\n"), std::string("a715\t; channel\n").size());
    write_text(path("eqa8.dat"), eqa);
    write_text(path("cutprocessed.dat"), "x\nVantrel\n" + std::string(15, '\n') + "2\n\n");
    // Found by fuzzing: a damaged count line once sized every record of a
    // 600-byte file at 9600 values a channel (and a larger count exhausted memory).
    write_text(path("bigcount.dat"), "Output of ixo/eqa data\nFile created by Vantrel version 2.0\n" +
                                         std::string(15, '\n') + "9600\t\t ; number of wavelengths\n\n" +
                                         "\nTime(ms)\tc412.1\ta413\t\n1000\t1.1\t0.5\t\n");
    write_text(path("bigcount_variant.dat"), "x\nVantrel\n" + std::string(15, '\n') + "2000000\n\n\n" +
                                                 "Time(ms) x\tc412.5\ta413.5\nunits\n100\t1.5\t0.5\n");

    const struct {
        std::string file;
        std::string message;
    } cases[] = {
        {path("missing.dat"), "Unable to open file."},
        {path("unknown.dat"), "File does not appear to be an IXO or EQA file."},
        {fixture("water_small.wcf"),
         "You can not load water files as data.  This will be changed in the next release.\n"},
        {path("cutprocessed.dat"), "can't figure out where I am"},
        {path("bigcount.dat"), "The title line does not name every wavelength of the file."},
        {path("bigcount_variant.dat"), "The title line does not name every wavelength of the file."},
        {path("nowl.dat"), "set_scat_ref called before wavelengths are defined."},
        {path("eqa8.dat"), "An EQA file must list nine a and nine c wavelengths."},
    };
    for (const auto& c : cases) {
        IXO_Data ds;
        EXPECT_EQ(error_of([&] { ds.load_file(c.file, false); }), c.message) << c.file;
    }
}

TEST_F(loader_test, water_mode_averages_a_meter_file_and_changes_only_the_water_members)
{
    IXO_Data ds;
    ds.load_file(fixture("ixo_small.dat"), false);
    const auto header = ds.header_lines;
    const auto records = ds.records;

    // The blank: two records of the data file's layout.
    std::string text = read_text(fixture("ixo_small.dat"));
    text = text.substr(0, text.find("1000\t")) + "900\t1\t2\t3\t0.1\t0.2\t0.3\t10\t0\t1\n" +
           "950\t3\t4\t5\t0.3\t0.4\t0.5\t10\t0\t1\n";
    text.replace(text.find("212"), 3, "999");
    write_text(path("blank.dat"), text);
    ds.load_file(path("blank.dat"), true);

    EXPECT_TRUE(ds.water_loaded);
    EXPECT_EQ(ds.water_file, path("blank.dat"));
    EXPECT_EQ(ds.water_records.size(), 2u);
    EXPECT_EQ(ds.water_mean.time, 900);
    EXPECT_EQ(ds.water_mean.c, (std::vector<double>{2, 3, 4}));
    EXPECT_DOUBLE_EQ(ds.water_mean.a[0], 0.2);
    EXPECT_DOUBLE_EQ(ds.water_mean.a[2], 0.4);
    EXPECT_EQ(ds.water_cal_temp, -1.0);
    EXPECT_EQ(ds.serial_number, 212);
    EXPECT_EQ(ds.model, model_ixo);
    EXPECT_EQ(ds.header_lines, header);
    EXPECT_EQ(ds.records.size(), records.size());
    EXPECT_EQ(ds.data_file, fixture("ixo_small.dat"));
    EXPECT_EQ(ds.scat_ref_a_index, 2);
    EXPECT_EQ(ds.a_wavelengths.size(), 3u);

    // A blank without data lines, or of another channel count, fails and
    // leaves the previous blank in place.
    write_text(path("empty.dat"), text.substr(0, text.find("900\t")));
    EXPECT_EQ(error_of([&] { ds.load_file(path("empty.dat"), true); }), "Water file holds no records.");
    IXO_Data nine;
    nine.load_file(fixture("eqa_small.dat"), false);
    EXPECT_EQ(error_of([&] { nine.load_file(path("blank.dat"), true); }),
              "Water has differing number of wavelengths than data file!");
    EXPECT_TRUE(ds.water_loaded);
    EXPECT_EQ(ds.water_mean.c, (std::vector<double>{2, 3, 4}));
}

TEST_F(loader_test, nine_wavelength_blank_follows_its_own_column_order)
{
    IXO_Data ds;
    ds.load_file(fixture("eqa_small.dat"), false);
    // The same channels listed in another order give the same blank.
    std::string text = read_text(fixture("eqa_small.dat"));
    const std::string first = "a650\t; channel\n";
    text.erase(text.find(first), first.size());
    text.insert(text.find("0\t; end of wavelength list"), first);
    // Move the a650 values of every data line to the last value column.
    std::string moved;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        auto fields = std::vector<std::string>{};
        std::istringstream f(line);
        std::string field;
        while (std::getline(f, field, '\t'))
            fields.push_back(field);
        if (fields.size() == 22 && std::isdigit(static_cast<unsigned char>(line[0]))) {
            const std::string v = fields[1];
            fields.erase(fields.begin() + 1);
            fields.insert(fields.begin() + 18, v);
            line.clear();
            for (std::size_t i = 0; i < fields.size(); ++i)
                line += (i ? "\t" : "") + fields[i];
        }
        moved += line + "\n";
    }
    write_text(path("reordered.dat"), moved);
    ds.load_file(path("reordered.dat"), true);
    for (std::size_t i = 0; i < 9; ++i)
        EXPECT_DOUBLE_EQ(ds.water_mean.a[i], ds.a_wavelengths[i] / 1000 + 1) << i;
}

TEST_F(loader_test, water_calibration_file_gives_the_blank_and_its_temperature)
{
    IXO_Data ds;
    ds.load_file(fixture("ixo_small.dat"), false);
    ds.load_file(fixture("water_small.wcf"), true);
    EXPECT_TRUE(ds.water_loaded);
    EXPECT_EQ(ds.water_cal_temp, 20.5);
    EXPECT_EQ(ds.water_mean.time, 0);
    EXPECT_EQ(ds.water_mean.c, (std::vector<double>{0.11, 0.12, 0.13}));
    EXPECT_EQ(ds.water_mean.a, (std::vector<double>{0.011, 0.012, 0.013}));
    EXPECT_EQ(ds.water_records.size(), 1u);

    const std::string wcf = read_text(fixture("water_small.wcf"));
    int variants = 0;
    auto variant = [&](const std::string& from, const std::string& to) {
        std::string t = wcf;
        t.replace(t.find(from), from.size(), to);
        const std::string file = path("variant" + std::to_string(++variants) + ".wcf");
        write_text(file, t);
        return file;
    };
    const struct {
        std::string file;
        std::string message;
    } cases[] = {
        {variant("Serial Number: 212", "Serial Number: 0"), "Water file not from the same device as data file"},
        {variant("wavelengths: 3", "wavelengths: 9"), "Water has differing number of wavelengths than data file!"},
        {variant("0.012\t0.013\t", "0.012\t"), "Water file holds too few values."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(error_of([&] { ds.load_file(c.file, true); }), c.message);
        // The earlier blank and its temperature stay together.
        EXPECT_EQ(ds.water_cal_temp, 20.5);
        EXPECT_EQ(ds.water_mean.a, (std::vector<double>{0.011, 0.012, 0.013}));
    }
}
