#include "common/error.hpp"
#include "common/text_numbers.hpp"
#include "dataset/ixo_data.hpp"
#include "test_support.hpp"

#include <cmath>
#include <csignal>
#include <filesystem>
#include <functional>

#include <sys/resource.h>
#include <unistd.h>

using namespace vantrel;
using namespace vantrel::testing;

namespace {

class writer_test : public temp_dir_test {};

void expect_same_records(const IXO_Data& got, const IXO_Data& want)
{
    EXPECT_EQ(got.a_wavelengths, want.a_wavelengths);
    EXPECT_EQ(got.c_wavelengths, want.c_wavelengths);
    ASSERT_EQ(got.records.size(), want.records.size());
    for (std::size_t r = 0; r < want.records.size(); ++r) {
        EXPECT_EQ(got.records[r].time, want.records[r].time) << r;
        ASSERT_EQ(got.records[r].a.size(), want.records[r].a.size()) << r;
        for (std::size_t i = 0; i < want.records[r].a.size(); ++i) {
            const double wa = want.records[r].a[i];
            const double wc = want.records[r].c[i];
            // Ten significant digits are what the files carry.
            if (std::isnan(wa))
                EXPECT_TRUE(std::isnan(got.records[r].a[i]));
            else
                EXPECT_NEAR(got.records[r].a[i], wa, std::fabs(wa) * 1e-9) << r << " " << i;
            EXPECT_NEAR(got.records[r].c[i], wc, std::fabs(wc) * 1e-9) << r << " " << i;
        }
    }
}

std::string text_of(double v)
{
    return text::general(v, 6);
}

// A data set as acquisition prepares it: its header is the device file's lines.
void fill_like_acquisition(IXO_Data& ds, std::int32_t model)
{
    ds.model = model;
    ds.factory_cal_temp = 21.5;
    if (model == model_ixo) {
        ds.header_lines = {"IXO212 hyperspectral",
                           "0x530000D4",
                           "3",
                           "tcal\t21.5\tC",
                           "0.1\t0.2",
                           "19200",
                           "0.25",
                           "3",
                           "2",
                           "10.0\t20.0"};
        ds.c_wavelengths = {412.1, 440.2, 715.3};
        ds.a_wavelengths = {413.0, 441.5, 714.8};
        for (std::size_t i = 0; i < 3; ++i)
            ds.header_lines.push_back("C" + text_of(ds.c_wavelengths[i]) + "\tA" +
                                      text_of(ds.a_wavelengths[i]) +
                                      "\tpass\t0.1\t0.2\t0.01\t0.02\t0.03\t0.04");
    } else {
        ds.header_lines = {"EQA117", "117",  "3", "tcal\t20.25\tC", "0.1\t0.2",
                           "9600",   "0.25", "2", "10.0\t20.0"};
        // Meter order: the a channels descending, then the c channels ascending.
        const double wl[9] = {412, 440, 488, 510, 532, 555, 650, 676, 715};
        for (int k = 8; k >= 0; --k) {
            ds.header_lines.push_back("a" + text_of(wl[k]) + "\tpass\t0.1\t0.01\t0.02");
            ds.column_is_a.push_back(true);
        }
        for (int k = 0; k < 9; ++k) {
            ds.header_lines.push_back("c" + text_of(wl[k]) + "\tpass\t0.1\t0.01\t0.02");
            ds.column_is_a.push_back(false);
        }
        for (int k = 0; k < 9; ++k) {
            ds.a_wavelengths.push_back(wl[k]);
            ds.c_wavelengths.push_back(wl[k]);
            ds.a_column_order.push_back(8 - k);
            ds.c_column_order.push_back(k);
        }
    }
    ds.header_lines.push_back("trailing line one");
    ds.header_lines.push_back("trailing line two");
    ds.wavelength_count = static_cast<std::int32_t>(ds.a_wavelengths.size());
    ds.prepare_coefficients();
    ds.set_scat_ref(715.0);
}

void add_records(IXO_Data& ds, std::size_t count)
{
    const std::size_t n = ds.a_wavelengths.size();
    for (std::size_t r = ds.records.size(), end = r + count; r < end; ++r) {
        ixo_data rec;
        rec.time = 1000.0 + 250.0 * double(r);
        for (std::size_t i = 0; i < n; ++i) {
            rec.a.push_back(0.1 * double(i + 1) + 0.001 * double(r) + 1.0 / 3.0);
            rec.c.push_back(1.0 + 0.1 * double(i) + 0.001 * double(r));
        }
        ds.records.push_back(rec);
    }
}

} // namespace

TEST_F(writer_test, processed_header_describes_sources_and_corrections)
{
    IXO_Data ds;
    ds.load_file(fixture("ixo_small.dat"), false);
    ds.const_temp = 12.25;
    ds.const_saln = 33;
    ds.apply_temp = ds.apply_saln = true;
    ds.load_file(fixture("water_small.wcf"), true);
    ds.apply_water = true;
    ds.apply_scat = true;
    ds.scat_method = 1;
    ds.save_processed(path("out.dat"), true);

    const auto lines = read_lines(path("out.dat"));
    const std::vector<std::string> want = {
        "Output of ixo/eqa data",
        "File created by Vantrel version 2.0",
        "This file was created from the following files:",
        "IXO file: " + fixture("ixo_small.dat"),
        "CTD file: No CTD file used.",
        "Water file: " + fixture("water_small.wcf"),
        "",
        "",
        "Factory Calibration temperature: 21.5",
        "Field Water Calibration temperature: 20.5",
        "Using constant temperature 12.2 degrees.",
        "Using constant salinity 33.0 psu.",
        "Temperature correction applied.",
        "Salinity correction applied.",
        "Water file subtraction applied.",
        "Scattering correction by baseline subtraction applied at 714.8 nm",
        "",
        "3\t\t ; number of wavelengths",
        "",
        "",
        "Time(ms)\tc412.1\tc440.2\tc715.3\ta413\ta441.5\ta714.8\t",
    };
    ASSERT_EQ(lines.size(), want.size() + 4);
    for (std::size_t i = 0; i < want.size(); ++i)
        EXPECT_EQ(lines[i], want[i]) << "line " << i + 1;

    // Each data line: the corrected record to ten digits, every field followed by a tab.
    const ixo_data first = ds.correct_one_line(0);
    std::string expected = "1000\t";
    for (const double v : first.c)
        expected += text::general(v, 10) + "\t";
    for (const double v : first.a)
        expected += text::general(v, 10) + "\t";
    EXPECT_EQ(lines[21], expected);
}

TEST_F(writer_test, processed_header_lines_follow_the_settings)
{
    IXO_Data ds;
    ds.load_file(fixture("ixo_small.dat"), false);
    ds.const_temp = 20;
    ds.const_saln = 0;
    ds.set_scat_ref(715);
    const struct {
        std::int32_t temp_source, saln_source, method;
        bool scat;
        std::string line11, line12, line16;
    } cases[] = {
        {1, 1, 2, true, "Using constant temperature 20.0 degrees.", "Using constant salinity 0.0 psu.",
         "Scattering correction by proportional subtraction applied at 714.8 nm"},
        {3, 1, 3, true, "Using onboard sensors for temperature.", "Using constant salinity 0.0 psu.",
         "Scattering correction by proportional subtraction applied at 714.8 nm"},
        {1, 1, 1, false, "Using constant temperature 20.0 degrees.", "Using constant salinity 0.0 psu.", ""},
    };
    for (const auto& c : cases) {
        ds.temp_source = c.temp_source;
        ds.saln_source = c.saln_source;
        ds.scat_method = c.method;
        ds.apply_scat = c.scat;
        ds.save_processed(path("out.dat"), true);
        const auto lines = read_lines(path("out.dat"));
        EXPECT_EQ(lines[10], c.line11);
        EXPECT_EQ(lines[11], c.line12);
        EXPECT_EQ(lines[12], "");
        EXPECT_EQ(lines[15], c.line16);
    }

    ds.temp_source = 7;
    EXPECT_EQ(error_of([&] { ds.save_processed(path("bad.dat"), true); }),
              "Temperature source not recognized.");
    ds.temp_source = 1;
    ds.saln_source = 3;
    EXPECT_EQ(error_of([&] { ds.save_processed(path("bad.dat"), true); }), "Salinity source not recognized.");
}

TEST_F(writer_test, aux_columns_only_with_merged_ctd_data)
{
    IXO_Data ds;
    ds.load_file(fixture("ixo_small.dat"), false);
    ds.const_temp = 20;
    ds.const_saln = 0;
    ds.save_processed(path("plain.dat"), true);
    auto lines = read_lines(path("plain.dat"));
    EXPECT_EQ(lines[20].find("temp"), std::string::npos);
    EXPECT_EQ(lines[21], "1000\t1.1\t1.2\t1.3\t0.51\t0.52\t0.53\t");

    ds.ctd_merged = true;
    ds.ctd_file_data.file_name = "cast.ctd";
    ds.aux_merged.rows[0] = {1000, 5.25, 33.5, 12.75};
    ds.save_processed(path("aux.dat"), true);
    lines = read_lines(path("aux.dat"));
    EXPECT_EQ(lines[4], "CTD file: cast.ctd");
    EXPECT_EQ(lines[20].substr(lines[20].size() - 15), "temp\tsaln\tpres\t");
    EXPECT_EQ(lines[21], "1000\t1.1\t1.2\t1.3\t0.51\t0.52\t0.53\t12.75\t33.5\t5.25\t");
    // NaN values keep their place as "nan".
    EXPECT_EQ(lines[23].rfind("1500\t3.1\t3.2\t3.3\t0.71\t0.72\tnan\t", 0), 0u);
}

TEST_F(writer_test, nine_wavelength_processed_title_has_no_time_label)
{
    IXO_Data ds;
    ds.load_file(fixture("eqa_small.dat"), false);
    ds.const_temp = 20;
    ds.const_saln = 0;
    ds.save_processed(path("out.dat"), true);
    const auto lines = read_lines(path("out.dat"));
    EXPECT_EQ(lines[17], "9\t\t ; number of wavelengths");
    EXPECT_EQ(lines[19].substr(0, 14), "c412\tc440\tc488");
    EXPECT_EQ(lines[20].substr(0, 5), "2000\t");
}

TEST_F(writer_test, a_written_time_is_integral_and_values_have_ten_digits)
{
    IXO_Data ds;
    fill_like_acquisition(ds, model_ixo);
    ixo_data rec;
    rec.time = 3600000;
    rec.a = {1.0 / 3.0, 0.000012345678912, -2};
    rec.c = {123456.789012345, 0, std::nan("")};
    ds.records.push_back(rec);
    ds.save_uncorrected(path("out.dat"));
    const auto lines = read_lines(path("out.dat"));
    EXPECT_EQ(lines.back(), "3600000\t123456.789\t0\tnan\t0.3333333333\t1.234567891e-05\t-2\t");
}

TEST_F(writer_test, processed_files_load_back_as_processed_data)
{
    for (const std::string& source : {fixture("ixo_small.dat"), fixture("eqa_small.dat")}) {
        IXO_Data ds;
        ds.load_file(source, false);
        ds.const_temp = 15;
        ds.const_saln = 30;
        ds.apply_temp = ds.apply_saln = true;
        ds.ctd_merged = true;
        ds.ctd_file_data.file_name = "cast.ctd";
        for (std::size_t r = 0; r < ds.aux_merged.rows.size(); ++r)
            ds.aux_merged.rows[r] = {0, 1.5 + double(r), 31.25, 10.5 + double(r)};
        ds.save_processed(path("processed.dat"), true);

        IXO_Data back;
        back.load_file(path("processed.dat"), false);
        EXPECT_TRUE(back.processed_file) << source;
        EXPECT_EQ(back.model, model_processed);
        EXPECT_EQ(back.factory_cal_temp, ds.factory_cal_temp);
        EXPECT_EQ(back.data_file, path("processed.dat"));
        EXPECT_EQ(back.wavelength_count, ds.wavelength_count);
        ASSERT_EQ(back.records.size(), ds.records.size());
        IXO_Data corrected;
        corrected.a_wavelengths = ds.a_wavelengths;
        corrected.c_wavelengths = ds.c_wavelengths;
        for (std::size_t r = 0; r < ds.records.size(); ++r)
            corrected.records.push_back(ds.correct_one_line(static_cast<std::int32_t>(r)));
        expect_same_records(back, corrected);
        ASSERT_EQ(back.aux_merged.rows.size(), ds.records.size());
        EXPECT_EQ(back.aux_merged.rows[1].temp, 11.5);
        EXPECT_EQ(back.aux_merged.rows[1].saln, 31.25);
        EXPECT_EQ(back.aux_merged.rows[1].pres, 2.5);
        EXPECT_TRUE(back.ctd_merged);

        // Corrections leave a processed data set as it is.
        back.apply_temp = true;
        back.const_temp = 40;
        EXPECT_EQ(back.correct_one_line(0).a, back.records[0].a);
    }
}

TEST_F(writer_test, meter_files_written_from_loaded_data_load_back_the_same)
{
    for (const std::string& source : {fixture("ixo_small.dat"), fixture("eqa_small.dat")}) {
        IXO_Data ds;
        ds.load_file(source, false);
        ds.save_uncorrected(path("again.dat"));
        IXO_Data back;
        back.load_file(path("again.dat"), false);
        EXPECT_EQ(back.model, ds.model) << source;
        EXPECT_EQ(back.serial_number, ds.serial_number);
        EXPECT_EQ(back.factory_cal_temp, ds.factory_cal_temp);
        expect_same_records(back, ds);
        EXPECT_EQ(back.a_column_order, ds.a_column_order);
        EXPECT_EQ(back.column_is_a, ds.column_is_a);
    }
}

TEST_F(writer_test, uncorrected_file_keeps_the_loaded_header)
{
    IXO_Data ds;
    ds.load_file(fixture("ixo_small.dat"), false);
    ds.save_uncorrected(path("again.dat"));
    const auto original = read_lines(fixture("ixo_small.dat"));
    const auto written = read_lines(path("again.dat"));
    EXPECT_EQ(written[0], "File created by Vantrel version 2.0");
    for (std::size_t i = 1; i < 15; ++i)
        EXPECT_EQ(written[i], original[i]) << "line " << i + 1;
    EXPECT_EQ(written[15], "1\t\t\t; acquisition bin size");
    EXPECT_EQ(written[16], "Time(ms)\tC412.1\tC440.2\tC715.3\tA413\tA441.5\tA714.8\t");
    EXPECT_EQ(written[17], "1000\t1.1\t1.2\t1.3\t0.51\t0.52\t0.53\t");
    EXPECT_EQ(written.size(), 21u);
}

TEST_F(writer_test, nine_wavelength_records_are_written_in_the_meter_column_order)
{
    IXO_Data ds;
    ds.load_file(fixture("eqa_small.dat"), false);
    ds.const_temp = 20;
    ds.const_saln = 0;
    ds.save_records(path("picked.dat"), {2});
    const auto lines = read_lines(path("picked.dat"));
    const auto original = read_lines(fixture("eqa_small.dat"));
    // The fixture's third data line, without its auxiliary columns.
    std::string want = original.back();
    want = want.substr(0, want.rfind('\t'));
    want = want.substr(0, want.rfind('\t'));
    want = want.substr(0, want.rfind('\t') + 1);
    EXPECT_EQ(lines.back(), want);
}

TEST_F(writer_test, files_written_during_acquisition_load_back_with_every_record)
{
    for (const std::int32_t model : {model_ixo, model_eqa}) {
        IXO_Data ds;
        fill_like_acquisition(ds, model);
        ASSERT_TRUE(ds.begin_continuous_save(path("live.dat")));
        // Three polls that see 5, 5 and 12 records in all.
        for (const std::size_t batch : {5u, 5u, 12u}) {
            add_records(ds, batch - ds.records.size());
            ds.continue_save();
        }
        ds.end_continuous_save();
        ds.save_uncorrected(path("saved.dat"));

        for (const std::string& file : {path("live.dat"), path("saved.dat")}) {
            IXO_Data back;
            back.load_file(file, false);
            EXPECT_EQ(back.model, model) << file;
            // The Ixo device file writes the serial number in hexadecimal (0x530000D4 is 212).
            EXPECT_EQ(back.serial_number, model == model_ixo ? 212 : 117);
            EXPECT_EQ(back.factory_cal_temp, 21.5 - (model == model_eqa ? 1.25 : 0));
            expect_same_records(back, ds);
        }
    }
}

TEST_F(writer_test, continuous_save_appends_each_record_once)
{
    IXO_Data ds;
    fill_like_acquisition(ds, model_ixo);
    ASSERT_TRUE(ds.begin_continuous_save(path("live.dat")));
    const std::size_t header = read_lines(path("live.dat")).size();
    add_records(ds, 5);
    ds.continue_save();
    ds.continue_save(); // nothing new
    add_records(ds, 7);
    ds.continue_save();
    // Appended lines reach the file at once.
    auto lines = read_lines(path("live.dat"));
    ASSERT_EQ(lines.size(), header + 12);
    EXPECT_EQ(lines[header].substr(0, 5), "1000\t");
    EXPECT_EQ(lines.back().substr(0, 5), "3750\t");

    // A new continuous file starts again at the first record.
    ASSERT_TRUE(ds.begin_continuous_save(path("second.dat")));
    ds.continue_save();
    EXPECT_EQ(read_lines(path("second.dat")).size(), header + 12);
    EXPECT_FALSE(ds.begin_continuous_save(path("no/such/dir/x.dat")));
    ds.continue_save();
}

TEST_F(writer_test, averaged_form_writes_the_mean_without_time_or_line_end)
{
    IXO_Data ds;
    fill_like_acquisition(ds, model_ixo);
    add_records(ds, 2);
    ds.records[0].c = {1, 1, 1};
    ds.records[1].c = {3, 5, 1};
    std::ostringstream out;
    ds.write_records(out, {0, 1}, false, true, false, false);
    const std::string text = out.str();
    EXPECT_EQ(text.substr(0, 8), "0\t2\t3\t1\t");
    EXPECT_EQ(text.back(), '\t');
    EXPECT_EQ(std::count(text.begin(), text.end(), '\t'), 7);
}

namespace {

// The data set's writers, each writing every record of a data set to one path.
struct writer_case {
    const char* what;
    std::function<void(IXO_Data&, const std::string&)> save;
};

std::vector<writer_case> every_writer()
{
    return {
        {"save_processed", [](IXO_Data& ds, const std::string& p) { ds.save_processed(p, true); }},
        {"save_records",
         [](IXO_Data& ds, const std::string& p) {
             ds.save_records(p, {0, 1, 2});
         }},
        {"save_uncorrected", [](IXO_Data& ds, const std::string& p) { ds.save_uncorrected(p); }},
        {"save_water_cal",
         [](IXO_Data& ds, const std::string& p) {
             ds.save_water_cal(p, {0, 1}, 20.0);
         }},
        {"continuous save",
         [](IXO_Data& ds, const std::string& p) {
             if (!ds.begin_continuous_save(p))
                 throw error("Unable to open file for saving.  Is this file opened in another program?");
             ds.continue_save();
             ds.end_continuous_save();
         }},
    };
}

const char* const open_failed = "Unable to open file for saving.  Is this file opened in another program?";

// Limits the size of the files this process writes, as a disk that fills up
// would, for as long as it lives. A write past the limit then fails instead
// of raising SIGXFSZ.
class file_size_limit {
public:
    explicit file_size_limit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previous_handler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = saved_;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~file_size_limit()
    {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_handler_);
    }
    file_size_limit(const file_size_limit&) = delete;
    file_size_limit& operator=(const file_size_limit&) = delete;

private:
    rlimit saved_{};
    void (*previous_handler_)(int) = nullptr;
};

} // namespace

TEST_F(writer_test, write_failures_are_reported)
{
    IXO_Data ds;
    ds.load_file(fixture("ixo_small.dat"), false);
    ds.const_temp = 20;
    ds.const_saln = 0;
    EXPECT_EQ(error_of([&] { ds.save_processed(path("no/such/dir/out.dat"), true); }),
              "Unable to open file for saving.  Is this file opened in another program?");
    EXPECT_EQ(error_of([&] { ds.save_uncorrected("/dev/full"); }), "Unable to write to /dev/full.");
    EXPECT_EQ(error_of([&] { ds.save_records(path("r.dat"), {9}); }), "Record index out of range.");
}

TEST_F(writer_test, every_writer_reports_a_full_disk_and_keeps_the_records)
{
    // Root writes into read-only directories all the same, so that case only
    // runs for an ordinary user; a full disk (/dev/full) fails for everyone.
    const bool root = geteuid() == 0;
    const std::string read_only = path("read-only");
    std::filesystem::create_directory(read_only);
    std::filesystem::permissions(read_only,
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);

    for (const writer_case& w : every_writer()) {
        SCOPED_TRACE(w.what);
        IXO_Data ds;
        ds.load_file(fixture("ixo_small.dat"), false);
        ds.const_temp = 20;
        ds.const_saln = 0;
        const std::size_t count = ds.records.size();
        ASSERT_GE(count, 3u);

        EXPECT_EQ(error_of([&] { w.save(ds, "/dev/full"); }), "Unable to write to /dev/full.");
        EXPECT_EQ(error_of([&] { w.save(ds, path("missing/out.dat")); }), open_failed);
        if (!root) {
            EXPECT_EQ(error_of([&] { w.save(ds, read_only + "/out.dat"); }), open_failed);
            EXPECT_FALSE(std::filesystem::exists(read_only + "/out.dat"));
        }

        // Nothing is lost: the same records save elsewhere.
        EXPECT_EQ(ds.records.size(), count);
        EXPECT_EQ(error_of([&] { w.save(ds, path("elsewhere.dat")); }), "");
        EXPECT_FALSE(read_text(path("elsewhere.dat")).empty());
    }
    std::filesystem::permissions(read_only, std::filesystem::perms::owner_all);
}

TEST_F(writer_test, continuous_save_reports_a_failed_append_and_keeps_recording)
{
    IXO_Data ds;
    fill_like_acquisition(ds, model_ixo);
    const std::string live = path("live.dat");
    ASSERT_TRUE(ds.begin_continuous_save(live));
    add_records(ds, 4);
    ds.continue_save();
    const auto written = std::filesystem::file_size(live);

    {
        // The disk fills up in the middle of the next poll's records.
        const file_size_limit limit(written + 100);
        add_records(ds, 6);
        EXPECT_EQ(error_of([&] { ds.continue_save(); }), "Unable to write to " + live + ".");
        // The controller goes on polling; the file stays failed and says so.
        add_records(ds, 2);
        EXPECT_EQ(error_of([&] { ds.continue_save(); }), "Unable to write to " + live + ".");
        EXPECT_EQ(ds.saved_record_count, 4u);
        ds.end_continuous_save(); // already reported: closing adds no second error
    }
    ASSERT_EQ(ds.records.size(), 12u);
    ds.save_uncorrected(path("rescued.dat"));
    IXO_Data back;
    back.load_file(path("rescued.dat"), false);
    EXPECT_EQ(back.records.size(), 12u);
}

TEST_F(writer_test, continuous_file_removed_under_the_program_is_reported)
{
    IXO_Data ds;
    fill_like_acquisition(ds, model_ixo);
    const std::string live = path("live.dat");
    ASSERT_TRUE(ds.begin_continuous_save(live));
    add_records(ds, 3);
    ds.continue_save();
    std::filesystem::remove(live);
    add_records(ds, 2);
    EXPECT_EQ(error_of([&] { ds.continue_save(); }), "Unable to write to " + live + ".");
    EXPECT_EQ(ds.records.size(), 5u);
    EXPECT_EQ(error_of([&] { ds.end_continuous_save(); }), "");
}

TEST_F(writer_test, continuous_header_that_cannot_be_written_fails_the_start)
{
    IXO_Data ds;
    fill_like_acquisition(ds, model_ixo);
    EXPECT_EQ(error_of([&] { ds.begin_continuous_save("/dev/full"); }), "Unable to write to /dev/full.");
    EXPECT_FALSE(ds.save_stream.is_open());
    add_records(ds, 2);
    EXPECT_EQ(error_of([&] { ds.continue_save(); }), ""); // no file: the records stay in memory only
    EXPECT_EQ(ds.records.size(), 2u);
}
