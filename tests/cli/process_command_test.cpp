#include "dataset/ixo_data.hpp"
#include "test_support.hpp"

#include <sys/wait.h>

using namespace vantrel;
using namespace vantrel::testing;

namespace {

struct run_result {
    int exit_code;
    std::string err;
};

class process_command_test : public temp_dir_test {
protected:
    run_result run(const std::string& args)
    {
        const std::string err = path("stderr.txt");
        const std::string cmd = std::string(VANTREL_CLI) + " " + args + " >" + path("stdout.txt") + " 2>" + err;
        const int status = std::system(cmd.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_text(err)};
    }
};

struct settings_case {
    std::string args;
    std::int32_t temp_source;
    double const_temp, const_saln;
    bool apply_temp, apply_saln, apply_scat;
    std::int32_t scat_method;
    double reference;
};

} // namespace

// The command writes exactly the file the data set's own save writes with the same settings.
TEST_F(process_command_test, output_is_the_processed_file_of_the_chosen_settings)
{
    const settings_case cases[] = {
        {"", 1, 21, 17, false, false, false, 0, 715},
        {"--temperature 12.5 --temperature-correction", 1, 12.5, 17, true, false, false, 0, 715},
        {"--salinity 35 --salinity-correction", 1, 21, 35, false, true, false, 0, 715},
        {"--temperature onboard --temperature-correction --scattering baseline", 3, 21, 17, true, false, true, 1, 715},
        {"--scattering proportional --reference-wavelength 440", 1, 21, 17, false, false, true, 2, 440},
        {"--scattering fixed --temperature 4 --salinity 30 --temperature-correction --salinity-correction", 1, 4, 30,
         true, true, true, 3, 715},
    };
    for (const std::string& input : {fixture("ixo_small.dat"), fixture("eqa_small.dat")}) {
        for (const auto& c : cases) {
            const run_result r = run("process " + input + " -o " + path("cli.dat") + " " + c.args);
            ASSERT_EQ(r.exit_code, 0) << c.args << "\n" << r.err;

            IXO_Data ds;
            ds.load_file(input, false);
            ds.temp_source = c.temp_source;
            ds.const_temp = c.const_temp;
            ds.const_saln = c.const_saln;
            ds.apply_temp = c.apply_temp;
            ds.apply_saln = c.apply_saln;
            ds.apply_scat = c.apply_scat;
            ds.scat_method = c.scat_method;
            ds.set_scat_ref(c.reference);
            ds.save_processed(path("lib.dat"), true);
            EXPECT_EQ(read_text(path("cli.dat")), read_text(path("lib.dat"))) << input << " " << c.args;
        }
    }
}

TEST_F(process_command_test, usage_errors_exit_2_and_failures_exit_1)
{
    const std::string in = fixture("ixo_small.dat");
    const std::string out = " -o " + path("out.dat");
    for (const std::string& args : {std::string(""), "process " + in, "process" + out,
                                    "process " + in + out + " --scattering sideways",
                                    "process " + in + out + " --temperature warm",
                                    "process " + in + out + " --salinity 3x", std::string("frobnicate")}) {
        EXPECT_EQ(run(args).exit_code, 2) << args;
    }

    const run_result missing = run("process " + path("none.dat") + out);
    EXPECT_EQ(missing.exit_code, 1);
    EXPECT_EQ(missing.err, "Unable to open file.\n");

    const run_result unknown = run("process " + fixture("water_small.wcf") + out);
    EXPECT_EQ(unknown.exit_code, 1);
    EXPECT_EQ(unknown.err, "You can not load water files as data.  This will be changed in the next release.\n");

    EXPECT_EQ(run("--help").exit_code, 0);
    EXPECT_EQ(run("process --help").exit_code, 0);
}

TEST_F(process_command_test, ctd_data_are_merged_and_used_per_record)
{
    write_text(path("cast.ctd"), "time pres temp cond sal\n900 1.5 10.5 0 30.25\n1400 2.5 11.5 0 31.25\n"
                                 "1800 3.5 12.5 0 32.25\n");
    const run_result r = run("process " + fixture("ixo_small.dat") + " -o " + path("out.dat") + " --ctd " +
                             path("cast.ctd") +
                             " --temperature ctd --salinity ctd --temperature-correction --salinity-correction");
    ASSERT_EQ(r.exit_code, 0) << r.err;

    IXO_Data ds;
    ds.load_file(fixture("ixo_small.dat"), false);
    ds.ctd_file_data.read_file(path("cast.ctd"), 1, 3, 5, 2);
    ds.merge_ctd();
    ds.temp_source = ds.saln_source = 2;
    ds.const_temp = 21;
    ds.const_saln = 17;
    ds.apply_temp = ds.apply_saln = true;
    ds.set_scat_ref(715);
    ds.save_processed(path("lib.dat"), true);
    EXPECT_EQ(read_text(path("out.dat")), read_text(path("lib.dat")));

    const auto lines = read_lines(path("out.dat"));
    EXPECT_EQ(lines[4], "CTD file: " + path("cast.ctd"));
    // Records at 1000, 1250, 1500 and 1750 ms take the rows at 900, 1400, 1400 and 1800.
    const char* const tails[] = {"10.5\t30.25\t1.5\t", "11.5\t31.25\t2.5\t", "11.5\t31.25\t2.5\t",
                                 "12.5\t32.25\t3.5\t"};
    for (std::size_t i = 0; i < 4; ++i) {
        const std::string& line = lines[21 + i];
        const std::string tail = tails[i];
        EXPECT_EQ(line.substr(line.size() - tail.size()), tail) << line;
    }

    const run_result bad_columns = run("process " + fixture("ixo_small.dat") + " -o " + path("x.dat") + " --ctd " +
                                       path("cast.ctd") + " --ctd-columns 1,2,3,9");
    EXPECT_EQ(bad_columns.exit_code, 1);
    EXPECT_EQ(bad_columns.err, "The Salinity column has an invalid value.\n");

    const run_result unmerged = run("process " + fixture("ixo_small.dat") + " -o " + path("x.dat") +
                                    " --salinity ctd");
    EXPECT_EQ(unmerged.exit_code, 1);
    EXPECT_EQ(unmerged.err, "CTD data not merged\n");
    EXPECT_FALSE(std::filesystem::exists(path("x.dat")));
    EXPECT_EQ(run("process " + fixture("ixo_small.dat") + " -o " + path("x.dat") + " --ctd-columns 1,2,3").exit_code,
              2);
}

TEST_F(process_command_test, water_cal_writes_a_blank_that_process_subtracts)
{
    const std::string in = fixture("eqa_small.dat");
    const run_result made =
        run("water-cal " + in + " --records 0-1,2 --temperature 18.5 -o " + path("blank.wcf"));
    ASSERT_EQ(made.exit_code, 0) << made.err;

    IXO_Data ds;
    ds.load_file(in, false);
    ds.load_file(path("blank.wcf"), true);
    EXPECT_EQ(ds.water_cal_temp, 18.5);
    for (std::size_t i = 0; i < 9; ++i)
        EXPECT_NEAR(ds.water_mean.a[i], ds.a_wavelengths[i] / 1000 + 1, 1e-12) << i;

    const run_result used = run("process " + in + " -o " + path("out.dat") + " --water " + path("blank.wcf"));
    ASSERT_EQ(used.exit_code, 0) << used.err;
    const auto lines = read_lines(path("out.dat"));
    EXPECT_EQ(lines[5], "Water file: " + path("blank.wcf"));
    EXPECT_EQ(lines[14], "Water file subtraction applied.");

    for (const std::string& records : {std::string("0-3"), std::string("2-1"), std::string("x")})
        EXPECT_EQ(run("water-cal " + in + " --records " + records + " --temperature 18 -o " + path("w.wcf")).exit_code,
                  2)
            << records;
    EXPECT_EQ(run("water-cal " + in + " --records 0 -o " + path("w.wcf")).exit_code, 2);
}
