#include "common/error.hpp"
#include "corrections/coefficient_table.hpp"
#include "dataset/ixo_data.hpp"
#include "test_support.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

namespace {

using vantrel::IXO_Data;
using vantrel::tsc_data;

using vantrel::testing::error_of;

// Row k of the built-in table is k tenths of a nm above 400.0.
std::size_t row_index(double wl)
{
    return static_cast<std::size_t>(std::lround((wl - 400.0) * 10.0));
}

// The double a reader gets from the one-decimal text of row k, e.g. "412.1".
double wl_from_text(std::size_t k)
{
    std::string text = std::to_string(4000 + k);
    text.insert(text.size() - 1, ".");
    return std::strtod(text.c_str(), nullptr);
}

void expect_same_row(const tsc_data& got, const tsc_data& want)
{
    EXPECT_EQ(got.wl, want.wl);
    EXPECT_EQ(got.psi_s_a, want.psi_s_a);
    EXPECT_EQ(got.psi_s_c, want.psi_s_c);
    EXPECT_EQ(got.psi_t_a, want.psi_t_a);
    EXPECT_EQ(got.psi_t_c, want.psi_t_c);
}

TEST(coefficient_table, a_new_data_set_holds_the_whole_table_on_its_text_grid)
{
    const IXO_Data ds;
    EXPECT_TRUE(vantrel::ts_cor_present());
    ASSERT_EQ(ds.coef_table.size(), 3551u);
    // A wavelength computed as 400 + k*0.1 drifts off the text value, and a
    // channel read as "412.1" would then miss its own row in the floor lookup.
    for (std::size_t k = 0; k < ds.coef_table.size(); ++k) {
        ASSERT_EQ(ds.coef_table[k].wl, wl_from_text(k)) << "row " << k;
        ASSERT_EQ(ds.coef_table[k].psi_t_a, ds.coef_table[k].psi_t_c) << "row " << k;
    }
    EXPECT_EQ(ds.coef_table[121].wl, 412.1);
}

TEST(coefficient_table, telling_rows_hold_published_and_continued_values)
{
    struct row {
        double wl, psi_s_a, psi_s_c, psi_t;
    };
    const row rows[] = {
        {400.0, -1.2e-05, 3.3e-05, 0.0001},
        {412.0, -2.1e-05, 4e-05, 3e-05},
        {600.0, -3.4e-05, 1e-06, 0.00098},
        {715.0, -0.000232, -0.000206, 0.00416},
        {738.0, 0.000118, 0.000156, 0.01364},
        {749.9, 0.000618, 0.000668, 0.01077},
        // Beyond 749.9 the rows are the linear continuation.
        {750.0, 0.000621, 0.000671, 0.010729636},
        {750.1, 0.000625368, 0.000671, 0.010685636},
        {755.0, 0.000772901, 0.000818, 0.008529636},
    };
    const IXO_Data ds;
    ASSERT_EQ(ds.coef_table.size(), 3551u);
    for (const row& r : rows) {
        SCOPED_TRACE(r.wl);
        const tsc_data& got = ds.coef_table[row_index(r.wl)];
        EXPECT_EQ(got.wl, r.wl);
        EXPECT_DOUBLE_EQ(got.psi_s_a, r.psi_s_a);
        EXPECT_DOUBLE_EQ(got.psi_s_c, r.psi_s_c);
        EXPECT_DOUBLE_EQ(got.psi_t_a, r.psi_t);
        EXPECT_DOUBLE_EQ(got.psi_t_c, r.psi_t);
    }
}

TEST(coefficient_table, channels_take_the_last_row_at_or_below_their_wavelength)
{
    struct lookup {
        double channel_wl, row_wl;
    };
    const lookup cases[] = {
        {412.0, 412.0}, {412.05, 412.0}, {412.1, 412.1}, {399.5, 400.0}, {760.0, 755.0}, {749.99, 749.9},
    };
    IXO_Data ds;
    ds.model = vantrel::model_ixo;
    // The c list runs in the opposite order so that each list is shown to use its own wavelengths.
    for (const lookup& l : cases)
        ds.a_wavelengths.push_back(l.channel_wl);
    for (auto it = std::rbegin(cases); it != std::rend(cases); ++it)
        ds.c_wavelengths.push_back(it->channel_wl);
    ds.prepare_coefficients();

    const std::size_t n = std::size(cases);
    ASSERT_EQ(ds.a_coefs.size(), n);
    ASSERT_EQ(ds.c_coefs.size(), n);
    for (std::size_t i = 0; i < n; ++i) {
        SCOPED_TRACE(cases[i].channel_wl);
        expect_same_row(ds.a_coefs[i], ds.coef_table[row_index(cases[i].row_wl)]);
        expect_same_row(ds.c_coefs[n - 1 - i], ds.coef_table[row_index(cases[i].row_wl)]);
    }
}

TEST(coefficient_table, preparing_again_replaces_earlier_rows)
{
    IXO_Data ds;
    ds.model = vantrel::model_ixo;
    ds.a_wavelengths = {500.0, 600.0};
    ds.c_wavelengths = {500.0, 600.0};
    ds.prepare_coefficients();
    ds.a_wavelengths = {715.0};
    ds.c_wavelengths = {738.0};
    ds.prepare_coefficients();
    ASSERT_EQ(ds.a_coefs.size(), 1u);
    ASSERT_EQ(ds.c_coefs.size(), 1u);
    EXPECT_EQ(ds.a_coefs[0].wl, 715.0);
    EXPECT_EQ(ds.c_coefs[0].wl, 738.0);
}

// A nine-wavelength meter with its filters at the same nominal wavelengths for a and c.
void set_filters(IXO_Data& ds, const std::vector<double>& wls)
{
    ds.model = vantrel::model_eqa;
    ds.a_wavelengths.assign(wls.begin(), wls.end());
    ds.c_wavelengths.assign(wls.begin(), wls.end());
}

TEST(nine_wavelength_coefficients, listed_filters_get_their_fixed_temperature_coefficient)
{
    struct filter {
        double wl, psi_t;
    };
    const filter filters[] = {
        {412.0, 0.0001}, {520.0, 0.0001}, {532.0, 0.0001}, {555.0, 0.0001}, {440.0, 0.0},
        {488.0, 0.0},    {560.0, 0.0},    {510.0, 0.0002}, {650.0, -0.0001}, {676.0, -0.0001},
        {715.0, 0.0029}, {750.0, 0.0107}, {850.0, -0.0065}, {900.0, -0.0088}, {950.0, -0.2272},
    };
    // Only nine channels are overridden, so the list is checked nine at a time.
    for (std::size_t start = 0; start < std::size(filters); start += 9) {
        IXO_Data ds;
        std::vector<double> wls;
        for (std::size_t i = start; i < std::min(start + 9, std::size(filters)); ++i)
            wls.push_back(filters[i].wl);
        set_filters(ds, wls);
        ds.prepare_coefficients();
        for (std::size_t i = 0; i < wls.size(); ++i) {
            SCOPED_TRACE(wls[i]);
            EXPECT_EQ(ds.a_coefs[i].psi_t_a, filters[start + i].psi_t);
            EXPECT_EQ(ds.c_coefs[i].psi_t_c, filters[start + i].psi_t);
        }
    }
}

TEST(nine_wavelength_coefficients, an_unlisted_filter_uses_the_band_model_at_its_whole_nm)
{
    IXO_Data ds;
    // 630.9 and 730.6 must be taken as 630 and 730: the model at the exact
    // wavelengths gives 0.000180 and 0.00896 instead.
    set_filters(ds, {630.9, 730.6});
    ds.prepare_coefficients();
    EXPECT_NEAR(ds.a_coefs[0].psi_t_a, 0.000222, 1e-6);
    EXPECT_NEAR(ds.c_coefs[0].psi_t_c, 0.000222, 1e-6);
    EXPECT_NEAR(ds.a_coefs[1].psi_t_a, 0.00868, 1e-5);
    EXPECT_NEAR(ds.c_coefs[1].psi_t_c, 0.00868, 1e-5);
    EXPECT_NEAR(vantrel::band_model_psi_t(630), 0.000222, 1e-6);
    EXPECT_NEAR(vantrel::band_model_psi_t(730), 0.00868, 1e-5);
}

TEST(nine_wavelength_coefficients, a_wavelength_past_any_filter_gets_the_band_model)
{
    // Found by fuzzing: a damaged file's "a6666666666666666650" once went
    // through a conversion to int that overflows (undefined behaviour).
    IXO_Data ds;
    set_filters(ds, {6666666666666666650.0, -3e12, 412.0});
    ds.prepare_coefficients();
    EXPECT_EQ(ds.a_coefs[0].psi_t_a, vantrel::band_model_psi_t(6666666666666666650.0));
    EXPECT_EQ(ds.a_coefs[0].psi_t_a, 0.0);
    EXPECT_EQ(ds.c_coefs[1].psi_t_c, 0.0);
    EXPECT_EQ(ds.a_coefs[2].psi_t_a, 0.0001);
}

TEST(nine_wavelength_coefficients, salinity_coefficients_stay_the_table_rows)
{
    IXO_Data ds;
    // 630.9 shares its band-model temperature coefficient with 630.0 but
    // keeps the salinity of its own row.
    set_filters(ds, {630.0, 630.9, 850.0});
    ds.prepare_coefficients();
    for (std::size_t i = 0; i < 2; ++i) {
        const tsc_data& row = ds.coef_table[row_index(ds.a_wavelengths[i])];
        EXPECT_EQ(ds.a_coefs[i].psi_s_a, row.psi_s_a) << ds.a_wavelengths[i];
        EXPECT_EQ(ds.c_coefs[i].psi_s_c, row.psi_s_c) << ds.a_wavelengths[i];
    }
    EXPECT_NE(ds.a_coefs[0].psi_s_a, ds.a_coefs[1].psi_s_a);
    EXPECT_EQ(ds.a_coefs[0].psi_t_a, ds.a_coefs[1].psi_t_a);
    // 850 nm lies beyond the table: salinity from its last row, temperature from the filter list.
    EXPECT_DOUBLE_EQ(ds.a_coefs[2].psi_s_a, 0.000772901);
    EXPECT_DOUBLE_EQ(ds.c_coefs[2].psi_s_c, 0.000818);
    EXPECT_EQ(ds.a_coefs[2].psi_t_a, -0.0065);
    EXPECT_EQ(ds.c_coefs[2].psi_t_c, -0.0065);
}

TEST(nine_wavelength_coefficients, only_the_first_nine_channels_are_overridden)
{
    IXO_Data ds;
    set_filters(ds, {412, 440, 488, 510, 532, 555, 650, 676, 750, 715});
    ds.prepare_coefficients();
    EXPECT_EQ(ds.a_coefs[8].psi_t_a, 0.0107);
    EXPECT_DOUBLE_EQ(ds.a_coefs[9].psi_t_a, 0.00416);
    EXPECT_DOUBLE_EQ(ds.c_coefs[9].psi_t_c, 0.00416);
}

TEST(nine_wavelength_coefficients, a_hyperspectral_data_set_keeps_the_table_rows)
{
    IXO_Data ds;
    set_filters(ds, {715.0, 412.0});
    ds.model = vantrel::model_ixo;
    ds.prepare_coefficients();
    EXPECT_DOUBLE_EQ(ds.a_coefs[0].psi_t_a, 0.00416);
    EXPECT_DOUBLE_EQ(ds.c_coefs[0].psi_t_c, 0.00416);
    EXPECT_DOUBLE_EQ(ds.a_coefs[1].psi_t_a, 3e-05);
}

TEST(nine_wavelength_coefficients, mismatched_rows_off_the_whole_nm_are_refused)
{
    struct pair {
        double a_wl, c_wl;
        bool refused;
    };
    const pair cases[] = {
        {412.5, 412.6, true},   // rows 412.5 and 412.6, a row not whole
        {412.55, 412.58, false}, // both fall to row 412.5
        {412.0, 412.3, false},   // rows differ but the a row is whole
        {760.0, 770.0, false},   // both beyond the table: row 755.0
    };
    for (const pair& p : cases) {
        SCOPED_TRACE(p.a_wl);
        IXO_Data ds;
        ds.model = vantrel::model_eqa;
        ds.a_wavelengths = {p.a_wl};
        ds.c_wavelengths = {p.c_wl};
        EXPECT_EQ(error_of([&] { ds.prepare_coefficients(); }), p.refused ? "grumble grumble" : "");
    }

    // The hyperspectral meter has no such check.
    IXO_Data ds;
    ds.model = vantrel::model_ixo;
    ds.a_wavelengths = {412.5};
    ds.c_wavelengths = {412.6};
    EXPECT_NO_THROW(ds.prepare_coefficients());
}

} // namespace
