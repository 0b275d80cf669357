#include "app/ctd_column_choice.hpp"
#include "common/error.hpp"
#include "test_support.hpp"

using namespace vantrel;
using namespace vantrel::testing;

namespace {
class ctd_choice_test : public temp_dir_test {};
} // namespace

TEST_F(ctd_choice_test, preview_holds_the_first_hundred_lines)
{
    std::string text = "title\n";
    for (int i = 0; i < 150; ++i)
        text += std::to_string(i) + " 1 2\n";
    write_text(path("long.ctd"), text);
    ctd_column_choice choice;
    choice.load_preview(path("long.ctd"));
    ASSERT_EQ(choice.preview().size(), 100u);
    EXPECT_EQ(choice.preview().front(), "title");
    EXPECT_EQ(choice.preview().back(), "98 1 2");

    EXPECT_THROW(choice.load_preview(path("none.ctd")), vantrel::error);
}

TEST_F(ctd_choice_test, field_count_comes_from_the_second_to_last_line)
{
    const struct {
        std::string text;
        std::size_t fields;
    } cases[] = {
        {"head\n\t1\t2\t3\n9 9 9 9 9\n", 3},
        {"head\n1 2 3 \n9\n", 3},
        {"1 2 3 4\n", 4},
        {"", 0},
    };
    for (const auto& c : cases) {
        write_text(path("f.ctd"), c.text);
        ctd_column_choice choice;
        choice.load_preview(path("f.ctd"));
        EXPECT_EQ(choice.field_count(), c.fields) << c.text;
    }
}

TEST_F(ctd_choice_test, ok_names_the_last_invalid_column_or_stores_all_four)
{
    write_text(path("c.ctd"), "t p T C S\n1 2 3 4 5\n1 2 3 4 5\n");
    ctd_column_choice choice;
    choice.load_preview(path("c.ctd"));
    const struct {
        std::string time, pres, temp, saln, message;
    } cases[] = {
        {"1", "2", "0", "5", "The Temperature column has an invalid value."},
        {"1", "-2", "0", "5", "The Pressure column has an invalid value."},
        {"1", "2", "3", "six", "The Salinity column has an invalid value."},
        {"9", "x", "0", "", "The Time column has an invalid value."},
        {"6", "2", "3", "5", "The Time column has an invalid value."},
    };
    for (const auto& c : cases) {
        ctd_columns settings{7, 7, 7, 7};
        EXPECT_EQ(choice.accept(c.time, c.pres, c.temp, c.saln, settings), c.message);
        EXPECT_EQ(settings.time, 7);
    }
    ctd_columns settings;
    EXPECT_EQ(choice.accept("5", "4", "3 ", "1", settings), "");
    EXPECT_EQ(settings.time, 5);
    EXPECT_EQ(settings.pres, 4);
    EXPECT_EQ(settings.temp, 3);
    EXPECT_EQ(settings.saln, 1);
}
