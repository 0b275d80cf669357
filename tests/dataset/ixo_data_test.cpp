#include "common/error.hpp"
#include "dataset/ixo_data.hpp"

#include <gtest/gtest.h>

using namespace vantrel;

TEST(ixo_data, a_new_data_set_is_empty_with_its_table_filled)
{
    const IXO_Data ds;
    EXPECT_TRUE(ds.records.empty());
    EXPECT_TRUE(ds.a_wavelengths.empty());
    EXPECT_TRUE(ds.c_wavelengths.empty());
    EXPECT_EQ(ds.water_cal_temp, -1.0);
    EXPECT_EQ(ds.temp_source, 1);
    EXPECT_EQ(ds.saln_source, 1);
    EXPECT_FALSE(ds.apply_temp || ds.apply_saln || ds.apply_water || ds.apply_scat);
    EXPECT_EQ(ds.scat_method, 0);
    EXPECT_EQ(ds.model, 0);
    EXPECT_EQ(ds.scat_ref_a_index, no_scat_ref);
    EXPECT_EQ(ds.coef_table.size(), builtin_table_rows);
}

TEST(ixo_data, set_scat_ref_picks_the_nearest_channel_of_each_list)
{
    const struct {
        std::deque<double> a, c;
        double wl;
        std::int32_t a_index, c_index;
    } cases[] = {
        // Both a channels lie 0.5 nm away: the lower index wins.
        {{700, 714.5, 715.5}, {701, 716, 730}, 715, 1, 1},
        {{412, 650, 750.1}, {412, 650, 750.3}, 900, 2, 2},
        {{412, 650, 750.1}, {412, 649, 651}, 650, 1, 1},
        {{400, 500, 600}, {590, 600, 610}, 0, 0, 0},
    };
    for (const auto& c : cases) {
        IXO_Data ds;
        ds.a_wavelengths = c.a;
        ds.c_wavelengths = c.c;
        const double chosen = ds.set_scat_ref(c.wl);
        EXPECT_EQ(ds.scat_ref_a_index, c.a_index) << c.wl;
        EXPECT_EQ(ds.scat_ref_c_index, c.c_index) << c.wl;
        EXPECT_EQ(chosen, c.a[std::size_t(c.a_index)]);
        EXPECT_EQ(ds.scat_ref_c_wl, c.c[std::size_t(c.c_index)]);
    }
}

TEST(ixo_data, set_scat_ref_without_wavelengths_fails_and_chooses_nothing)
{
    IXO_Data ds;
    ds.scat_ref_a_index = 3;
    try {
        ds.set_scat_ref(715);
        FAIL() << "no error";
    } catch (const vantrel::error& e) {
        EXPECT_STREQ(e.what(), "set_scat_ref called before wavelengths are defined.");
    }
    EXPECT_EQ(ds.scat_ref_a_index, no_scat_ref);
    EXPECT_EQ(ds.scat_ref_c_index, no_scat_ref);
}
