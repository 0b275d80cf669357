#include "app/qt_settings.hpp"
#include "test_support.hpp"

#include <cstdlib>

using namespace vantrel;
using namespace vantrel::testing;

namespace {

class qt_settings_test : public temp_dir_test {
protected:
    void use_file(const std::string& file) { setenv("VANTREL_SETTINGS", file.c_str(), 1); }
    void TearDown() override
    {
        unsetenv("VANTREL_SETTINGS");
        temp_dir_test::TearDown();
    }
};

} // namespace

TEST_F(qt_settings_test, values_survive_a_restart_in_the_named_file)
{
    use_file(path("vantrel.ini"));
    {
        reg first(make_qt_settings());
        first.load();
        EXPECT_EQ(first.commport, 1);
        EXPECT_EQ(first.ctd_saln, 5);
        first.devfile = "/cruise/ixo 212.dev";
        first.commport = 4;
        first.commport_name = "/dev/ttyUSB0";
        first.ctd_pres = 7;
        first.tab_index = 1;
        first.autotemp = 1;
        first.save();
    }
    ASSERT_TRUE(std::filesystem::exists(path("vantrel.ini")));
    reg second(make_qt_settings());
    second.load();
    EXPECT_EQ(second.devfile, "/cruise/ixo 212.dev");
    EXPECT_EQ(second.commport, 4);
    EXPECT_EQ(second.commport_name, "/dev/ttyUSB0");
    EXPECT_EQ(second.ctd_pres, 7);
    EXPECT_EQ(second.tab_index, 1);
    EXPECT_EQ(second.autotemp, 0);
}

TEST_F(qt_settings_test, a_file_that_cannot_be_written_fails_the_save_and_keeps_the_defaults)
{
    // A directory where the file should be: neither readable nor writable as settings.
    std::filesystem::create_directories(path("taken.ini"));
    use_file(path("taken.ini"));
    reg settings(make_qt_settings());
    settings.load();
    EXPECT_EQ(settings.ctd_time, 1);
    settings.ctd_time = 9;
    EXPECT_EQ(error_of([&] { settings.save(); }), "Unable to write to registry!");
}
