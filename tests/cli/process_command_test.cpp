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
