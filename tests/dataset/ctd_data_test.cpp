#include "common/error.hpp"
#include "dataset/ixo_data.hpp"
#include "test_support.hpp"

using namespace vantrel;
using namespace vantrel::testing;

namespace {
class ctd_test : public temp_dir_test {};

void add_records_at(IXO_Data& ds, const std::vector<double>& times)
{
    for (const double t : times) {
        ds.records.push_back({t, {0.1}, {0.2}});
        ds.aux_onboard.rows.push_back({0, 1, 0, 20});
        ds.aux_merged.rows.push_back({0, 1, 0, 20});
    }
}
} // namespace

TEST_F(ctd_test, header_lines_are_skipped_until_the_first_line_without_letters)
{
    write_text(path("cast.ctd"), "Cast 12 on station B\ntime pres temp cond sal\n"
                                 "1000 5.2 12.5 3.1 33.4\n"
                                 "2000\t6.0  13.0\t3.2 33.5\n"
                                 "3000 n/a 14.0\n" // a later line with letters is data
                                 "\n");
    CTD_Data ctd;
    ctd.read_file(path("cast.ctd"), 1, 3, 5, 2);
    EXPECT_EQ(ctd.file_name, path("cast.ctd"));
    ASSERT_EQ(ctd.rows.size(), 4u);
    EXPECT_EQ(ctd.rows[0].time, 1000);
    EXPECT_EQ(ctd.rows[0].pres, 5.2);
    EXPECT_EQ(ctd.rows[0].temp, 12.5);
    EXPECT_EQ(ctd.rows[0].saln, 33.4);
    EXPECT_EQ(ctd.rows[1].pres, 6.0);
    // A non-number reads as 0; a field the line lacks keeps the previous row's value.
    EXPECT_EQ(ctd.rows[2].pres, 0.0);
    EXPECT_EQ(ctd.rows[2].temp, 14.0);
    EXPECT_EQ(ctd.rows[2].saln, 33.5);
    // The empty line gives a row of its own, all values kept.
    EXPECT_EQ(ctd.rows[3].time, 3000);

    // Two settings naming one column both take its value.
    ctd.read_file(path("cast.ctd"), 1, 3, 3, 2);
    EXPECT_EQ(ctd.rows[0].saln, 12.5);

    ctd.file_name = "kept";
    EXPECT_THROW(ctd.read_file(path("none.ctd"), 1, 3, 5, 2), vantrel::error);
    EXPECT_EQ(ctd.rows.size(), 4u);
    EXPECT_EQ(ctd.file_name, "kept");
}

TEST(ctd_merge, each_record_takes_the_nearest_row_and_the_earlier_on_a_tie)
{
    const struct {
        std::vector<double> records, rows;
        std::vector<std::size_t> matched;
    } cases[] = {
        {{1, 2, 12, 25}, {0, 10, 20, 30}, {0, 0, 1, 2}},
        {{1, 60}, {0, 10, 100}, {0, 2}},
        {{-5, 500}, {0, 10, 100}, {0, 2}},
        {{10, 10, 11.5}, {10, 10, 12}, {0, 0, 2}},
    };
    for (const auto& c : cases) {
        IXO_Data ds;
        add_records_at(ds, c.records);
        for (std::size_t i = 0; i < c.rows.size(); ++i)
            ds.ctd_file_data.rows.push_back({c.rows[i], double(i) + 0.5, 30 + double(i), 10 + double(i)});
        ds.merge_ctd();
        EXPECT_TRUE(ds.ctd_merged);
        ASSERT_EQ(ds.aux_merged.rows.size(), c.records.size());
        for (std::size_t r = 0; r < c.records.size(); ++r) {
            const auto& row = ds.aux_merged.rows[r];
            EXPECT_EQ(row.pres, double(c.matched[r]) + 0.5) << "record " << r;
            EXPECT_EQ(row.saln, 30 + double(c.matched[r]));
            EXPECT_EQ(row.temp, 10 + double(c.matched[r]));
            EXPECT_EQ(row.time, c.records[r]);
        }
        // The meter's own rows stay as they were.
        EXPECT_EQ(ds.aux_onboard.rows[0].temp, 20);
    }
}

TEST(ctd_merge, an_empty_ctd_table_is_refused)
{
    IXO_Data ds;
    add_records_at(ds, {1, 2});
    try {
        ds.merge_ctd();
        FAIL();
    } catch (const vantrel::error& e) {
        EXPECT_STREQ(e.what(), "CTD file holds no data.");
    }
    EXPECT_FALSE(ds.ctd_merged);
    EXPECT_EQ(ds.aux_merged.rows[0].temp, 20);
}
