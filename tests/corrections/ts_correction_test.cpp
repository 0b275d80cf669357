#include "common/error.hpp"
#include "dataset/ixo_data.hpp"
#include "test_support.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <limits>
#include <sstream>
#include <string>

namespace {

using vantrel::IXO_Data;

using vantrel::testing::error_of;

constexpr std::size_t channels = 8;
constexpr std::size_t record_count = 5;
constexpr double factory_temp = 21.3;

// A hyperspectral run of five records whose a and c channels sit at
// slightly different wavelengths, with every source of T and S filled and
// each record's auxiliary rows distinct, plus a loaded (unapplied) blank.
void build(IXO_Data& ds)
{
    ds.model = vantrel::model_ixo;
    ds.a_wavelengths = {412.1, 440.3, 488.6, 532.4, 555.0, 630.4, 676.8, 715.5};
    ds.c_wavelengths = {412.6, 440.9, 489.0, 532.0, 555.7, 630.0, 677.3, 716.1};
    ds.factory_cal_temp = factory_temp;
    ds.const_temp = 14.2;
    ds.const_saln = 33.5;
    for (std::size_t r = 0; r < record_count; ++r) {
        const double k = static_cast<double>(r);
        vantrel::ixo_data rec;
        rec.time = 1000.0 * k + 250.0;
        for (std::size_t i = 0; i < channels; ++i) {
            const double j = static_cast<double>(i);
            rec.a.push_back(0.05 + 0.31 * j / 7.0 + 0.013 * k * static_cast<double>(i % 3) - 0.004 * k);
            rec.c.push_back(0.45 + 0.2 * j / 7.0 + 0.07 * k + 0.011 * static_cast<double>((i + r) % 4));
        }
        ds.records.push_back(rec);
        ds.aux_onboard.rows.push_back({rec.time, 0.0, 0.0, 12.0 + 0.7 * k});
        ds.aux_merged.rows.push_back({rec.time, 3.0 + k, 31.0 + 0.4 * k, 9.5 + 1.3 * k});
    }
    for (std::size_t i = 0; i < channels; ++i) {
        const double j = static_cast<double>(i);
        ds.water_mean.a.push_back(0.01 + 0.002 * j);
        ds.water_mean.c.push_back(0.015 + 0.003 * j);
    }
    ds.water_cal_temp = 23.1;
    ds.water_loaded = true;
    ds.prepare_coefficients();
    ds.set_scat_ref(715.0);
}

class corrections : public ::testing::Test {
protected:
    void SetUp() override { build(ds); }

    // Coefficients that tell every field apart: a value picked from the wrong
    // list or the wrong column (the *_x ones) shows up as a huge error.
    void use_marked_coefs()
    {
        for (std::size_t i = 0; i < channels; ++i) {
            const double j = static_cast<double>(i + 1);
            ds.a_coefs[i] = {ds.a_wavelengths[i], 1e-4 * j, 9.0, 1e-3 * j, 7.0};
            ds.c_coefs[i] = {ds.c_wavelengths[i], 5.0, 2e-4 * j, 3.0, 3e-3 * j};
        }
    }
    double psi_t_a(std::size_t i) const { return ds.a_coefs[i].psi_t_a; }
    double psi_t_c(std::size_t i) const { return ds.c_coefs[i].psi_t_c; }
    double psi_s_a(std::size_t i) const { return ds.a_coefs[i].psi_s_a; }
    double psi_s_c(std::size_t i) const { return ds.c_coefs[i].psi_s_c; }
    const vantrel::ixo_data& raw(std::size_t r) const { return ds.records[r]; }

    IXO_Data ds;
};

TEST_F(corrections, all_switches_off_give_the_record_back)
{
    ds.scat_method = 1; // a method without apply_scat does nothing
    for (std::size_t r = 0; r < record_count; ++r) {
        const auto out = ds.correct_one_line(static_cast<std::int32_t>(r));
        EXPECT_EQ(out.time, raw(r).time);
        EXPECT_EQ(out.a, raw(r).a);
        EXPECT_EQ(out.c, raw(r).c);
    }
}

TEST_F(corrections, temperature_comes_from_the_chosen_source)
{
    use_marked_coefs();
    ds.apply_temp = true;
    ds.ctd_merged = true;
    for (const std::int32_t source : {1, 2, 3}) {
        SCOPED_TRACE(source);
        ds.temp_source = source;
        for (std::size_t r = 0; r < record_count; ++r) {
            const double t = source == 1   ? ds.const_temp
                             : source == 2 ? ds.aux_merged.rows[r].temp
                                           : ds.aux_onboard.rows[r].temp;
            const auto out = ds.correct_one_line(static_cast<std::int32_t>(r));
            for (std::size_t i = 0; i < channels; ++i) {
                EXPECT_NEAR(out.a[i], raw(r).a[i] - psi_t_a(i) * (t - factory_temp), 1e-15);
                EXPECT_NEAR(out.c[i], raw(r).c[i] - psi_t_c(i) * (t - factory_temp), 1e-15);
            }
        }
    }
}

TEST_F(corrections, temperature_is_measured_from_the_factory_calibration)
{
    use_marked_coefs();
    ds.apply_temp = true;
    ds.const_temp = factory_temp;
    auto out = ds.correct_one_line(2);
    EXPECT_EQ(out.a, raw(2).a);
    EXPECT_EQ(out.c, raw(2).c);

    ds.const_temp = factory_temp + 1.0;
    out = ds.correct_one_line(2);
    for (std::size_t i = 0; i < channels; ++i) {
        EXPECT_NEAR(raw(2).a[i] - out.a[i], psi_t_a(i), 1e-15);
        EXPECT_NEAR(raw(2).c[i] - out.c[i], psi_t_c(i), 1e-15);
    }
}

TEST_F(corrections, salinity_comes_from_the_chosen_source)
{
    use_marked_coefs();
    ds.apply_saln = true;
    ds.ctd_merged = true;
    ds.const_saln = 35.0;
    for (const std::int32_t source : {1, 2}) {
        SCOPED_TRACE(source);
        ds.saln_source = source;
        for (std::size_t r = 0; r < record_count; ++r) {
            const double s = source == 1 ? 35.0 : ds.aux_merged.rows[r].saln;
            const auto out = ds.correct_one_line(static_cast<std::int32_t>(r));
            for (std::size_t i = 0; i < channels; ++i) {
                EXPECT_NEAR(raw(r).a[i] - out.a[i], s * psi_s_a(i), 1e-15);
                EXPECT_NEAR(raw(r).c[i] - out.c[i], s * psi_s_c(i), 1e-15);
            }
        }
    }
}

TEST_F(corrections, water_blank_is_brought_to_the_factory_temperature)
{
    use_marked_coefs();
    ds.apply_water = true;
    for (const double offset : {0.0, 2.0}) {
        SCOPED_TRACE(offset);
        ds.water_cal_temp = factory_temp + offset;
        const auto out = ds.correct_one_line(1);
        for (std::size_t i = 0; i < channels; ++i) {
            EXPECT_NEAR(raw(1).a[i] - out.a[i], ds.water_mean.a[i] - offset * psi_t_a(i), 1e-15);
            EXPECT_NEAR(raw(1).c[i] - out.c[i], ds.water_mean.c[i] - offset * psi_t_c(i), 1e-15);
        }
    }
}

TEST_F(corrections, temperature_salinity_and_water_amounts_add_up)
{
    use_marked_coefs();
    ds.apply_temp = ds.apply_saln = ds.apply_water = true;
    ds.temp_source = 3;
    ds.saln_source = 2;
    ds.ctd_merged = true;
    const double tw = ds.water_cal_temp - factory_temp;
    for (std::size_t r = 0; r < record_count; ++r) {
        const double t = ds.aux_onboard.rows[r].temp - factory_temp;
        const double s = ds.aux_merged.rows[r].saln;
        const auto out = ds.correct_one_line(static_cast<std::int32_t>(r));
        for (std::size_t i = 0; i < channels; ++i) {
            const double ra = psi_t_a(i) * t + psi_s_a(i) * s + ds.water_mean.a[i] - psi_t_a(i) * tw;
            const double rc = psi_t_c(i) * t + psi_s_c(i) * s + ds.water_mean.c[i] - psi_t_c(i) * tw;
            EXPECT_NEAR(out.a[i], raw(r).a[i] - ra, 1e-14);
            EXPECT_NEAR(out.c[i], raw(r).c[i] - rc, 1e-14);
        }
    }
}

TEST_F(corrections, processed_file_records_are_never_corrected)
{
    ds.processed_file = true;
    ds.apply_temp = ds.apply_saln = ds.apply_water = ds.apply_scat = true;
    ds.scat_method = 2;
    ds.temp_source = 3;
    for (std::size_t r = 0; r < record_count; ++r) {
        const auto out = ds.correct_one_line(static_cast<std::int32_t>(r));
        EXPECT_EQ(out.time, raw(r).time);
        EXPECT_EQ(out.a, raw(r).a);
        EXPECT_EQ(out.c, raw(r).c);
    }
    const auto series = ds.corrected_series(true, 4);
    ASSERT_EQ(series.size(), record_count);
    for (std::size_t r = 0; r < record_count; ++r)
        EXPECT_EQ(series[r], raw(r).a[4]);
}

// --- scattering: other corrections off, so aT and cT are the raw values ---

TEST_F(corrections, baseline_subtracts_the_reference_a_from_every_a)
{
    ds.apply_scat = true;
    ds.scat_method = 1;
    const auto ref = static_cast<std::size_t>(ds.scat_ref_a_index);
    ASSERT_EQ(ref, 7u);

    ds.records[0].a[ref] = 0.0;
    auto out = ds.correct_one_line(0);
    EXPECT_EQ(out.a, raw(0).a);
    EXPECT_EQ(out.c, raw(0).c);

    ds.records[0].a[ref] = -0.01;
    out = ds.correct_one_line(0);
    for (std::size_t i = 0; i < channels; ++i)
        EXPECT_DOUBLE_EQ(out.a[i], raw(0).a[i] + 0.01);
    EXPECT_EQ(out.c, raw(0).c);
}

TEST_F(corrections, baseline_reference_is_itself_corrected_first)
{
    use_marked_coefs();
    ds.apply_temp = true;
    ds.apply_scat = true;
    ds.scat_method = 1;
    const auto ref = static_cast<std::size_t>(ds.scat_ref_a_index);
    const double dt = ds.const_temp - factory_temp;
    const auto out = ds.correct_one_line(3);
    const double a_ref = raw(3).a[ref] - psi_t_a(ref) * dt;
    for (std::size_t i = 0; i < channels; ++i)
        EXPECT_NEAR(out.a[i], raw(3).a[i] - psi_t_a(i) * dt - a_ref, 1e-15);
}

TEST_F(corrections, proportional_scales_reference_a_by_the_ratio_of_b)
{
    ds.apply_scat = true;
    ds.scat_method = 2;
    // Distinct reference channels for a and c, with decoy values at the
    // other list's reference so that using c[A] or a[C] gives other answers.
    ds.scat_ref_a_index = 2;
    ds.scat_ref_c_index = 5;
    auto& rec = ds.records[0];
    rec.a[2] = 0.1;
    rec.c[5] = 0.6; // reference b = 0.6 - 0.1 = 0.5
    rec.c[2] = 0.9;
    rec.a[5] = 0.05;
    rec.a[0] = 0.3;
    rec.c[0] = 1.3;
    rec.a[1] = 0.2;
    rec.c[1] = 0.45;
    const auto out = ds.correct_one_line(0);
    EXPECT_NEAR(out.a[0], 0.3 - 0.1 * (1.0 / 0.5), 1e-15);
    EXPECT_NEAR(out.a[1], 0.2 - 0.1 * (0.25 / 0.5), 1e-15);
    EXPECT_NEAR(out.a[2], 0.1 - 0.1 * (0.8 / 0.5), 1e-15);
    EXPECT_NEAR(out.a[5], 0.05 - 0.1 * (0.55 / 0.5), 1e-15);
    EXPECT_EQ(out.c, raw(0).c);
}

TEST_F(corrections, proportional_leaves_nothing_at_a_shared_reference_channel)
{
    ds.apply_temp = ds.apply_saln = true;
    ds.apply_scat = true;
    ds.scat_method = 2;
    ASSERT_EQ(ds.scat_ref_a_index, ds.scat_ref_c_index);
    const auto ref = static_cast<std::size_t>(ds.scat_ref_a_index);
    for (std::size_t r = 0; r < record_count; ++r)
        EXPECT_EQ(ds.correct_one_line(static_cast<std::int32_t>(r)).a[ref], 0.0) << r;
}

TEST_F(corrections, proportional_with_zero_reference_b_marks_that_record_nan)
{
    ds.apply_scat = true;
    ds.scat_method = 2;
    const auto ref = static_cast<std::size_t>(ds.scat_ref_a_index);
    ds.records[1].c[ref] = ds.records[1].a[ref];

    const auto bad = ds.correct_one_line(1);
    for (std::size_t i = 0; i < channels; ++i) {
        EXPECT_TRUE(std::isnan(bad.a[i])) << i;
        EXPECT_EQ(bad.c[i], raw(1).c[i]) << i;
    }
    const auto good = ds.correct_one_line(0);
    for (std::size_t i = 0; i < channels; ++i)
        EXPECT_FALSE(std::isnan(good.a[i])) << i;

    const auto series = ds.corrected_series(true, 3);
    EXPECT_TRUE(std::isnan(series[1]));
    EXPECT_FALSE(std::isnan(series[0]));
}

TEST_F(corrections, fixed_scattering_takes_fourteen_percent_of_the_channel_b)
{
    ds.apply_scat = true;
    ds.scat_method = 3;
    for (std::size_t i = 0; i < channels; ++i) {
        ds.records[0].a[i] = 0.3;
        ds.records[0].c[i] = 1.3;
    }
    ds.records[0].a[4] = 0.5;
    ds.records[0].c[4] = 0.5;
    const auto out = ds.correct_one_line(0);
    for (std::size_t i = 0; i < channels; ++i)
        EXPECT_DOUBLE_EQ(out.a[i], i == 4 ? 0.5 : 0.44) << i;
    EXPECT_EQ(out.c, raw(0).c);
}

TEST_F(corrections, scattering_needs_both_the_switch_and_a_known_method)
{
    const struct {
        bool apply;
        std::int32_t method;
    } off_cases[] = {{true, 0}, {true, 4}, {false, 1}, {false, 2}, {false, 3}};
    for (const auto& c : off_cases) {
        SCOPED_TRACE(c.method);
        ds.apply_scat = c.apply;
        ds.scat_method = c.method;
        const auto out = ds.correct_one_line(2);
        EXPECT_EQ(out.a, raw(2).a);
        EXPECT_EQ(out.c, raw(2).c);
    }
}

// --- refusals ---

TEST_F(corrections, record_access_is_checked)
{
    EXPECT_EQ(error_of([&] { ds.correct_one_line(-1); }), "Record index out of range.");
    EXPECT_EQ(error_of([&] { ds.correct_one_line(static_cast<std::int32_t>(record_count)); }),
              "Record index out of range.");
    EXPECT_EQ(error_of([&] { ds.correct_one_line(static_cast<std::int32_t>(record_count) - 1); }), "");
    ds.records.clear();
    EXPECT_EQ(error_of([&] { ds.correct_one_line(0); }), "Calling correct_one_line before loading data!");
}

TEST_F(corrections, water_correction_needs_a_loaded_blank)
{
    ds.apply_water = true;
    ds.water_loaded = false;
    EXPECT_EQ(error_of([&] { ds.correct_one_line(0); }), "No water calibration loaded.");
    EXPECT_EQ(error_of([&] { ds.corrected_series(true, 0); }), "No water calibration loaded.");
    EXPECT_EQ(error_of([&] { ds.corrected_series(false, 0); }), "No water calibration loaded.");
}

TEST_F(corrections, merged_source_needs_merged_ctd_for_a_record_even_when_unused)
{
    ds.ctd_merged = false;
    ds.temp_source = 2;
    EXPECT_EQ(error_of([&] { ds.correct_one_line(0); }), "CTD data not merged");
    ds.temp_source = 1;
    ds.saln_source = 2;
    EXPECT_EQ(error_of([&] { ds.correct_one_line(0); }), "CTD data not merged");
}

TEST_F(corrections, series_reads_merged_rows_without_the_merged_check)
{
    use_marked_coefs();
    ds.ctd_merged = false;
    ds.temp_source = 2;
    ds.saln_source = 2;
    ds.apply_temp = ds.apply_saln = true;
    const auto a = ds.corrected_series(true, 6);
    const auto c = ds.corrected_series(false, 6);
    ASSERT_EQ(a.size(), record_count);
    ASSERT_EQ(c.size(), record_count);
    for (std::size_t r = 0; r < record_count; ++r) {
        const auto& aux = ds.aux_merged.rows[r];
        EXPECT_NEAR(a[r], raw(r).a[6] - psi_t_a(6) * (aux.temp - factory_temp) - psi_s_a(6) * aux.saln, 1e-15);
        EXPECT_NEAR(c[r], raw(r).c[6] - psi_t_c(6) * (aux.temp - factory_temp) - psi_s_c(6) * aux.saln, 1e-15);
    }
}

TEST_F(corrections, unknown_sources_are_refused_in_each_operation_own_words)
{
    ds.temp_source = 4;
    EXPECT_EQ(error_of([&] { ds.correct_one_line(0); }), "Temperature source not recognized");
    EXPECT_EQ(error_of([&] { ds.corrected_series(true, 0); }), "Temperature source unrecognized.");
    ds.temp_source = 1;
    ds.saln_source = 3;
    EXPECT_EQ(error_of([&] { ds.correct_one_line(0); }), "Salinity source not recognized");
    EXPECT_EQ(error_of([&] { ds.corrected_series(false, 0); }), "Salinity source unrecognized.");
}

// --- a series is the corrected records, channel by channel ---

TEST_F(corrections, series_matches_corrected_records_bit_for_bit)
{
    struct sources {
        std::int32_t temp, saln;
    };
    const sources source_cases[] = {{1, 1}, {2, 2}, {3, 1}};
    ds.ctd_merged = true;
    ds.water_cal_temp = factory_temp + 1.7;

    // 0 stands for reference channels set apart by hand: a at 488.6, c at 630.0.
    for (const sources& src : source_cases)
        for (const double ref_wl : {715.0, 555.0, 0.0})
            for (int flags = 0; flags < 16; ++flags)
                for (std::int32_t method = 0; method <= 3; ++method) {
                    ds.temp_source = src.temp;
                    ds.saln_source = src.saln;
                    if (ref_wl > 0.0) {
                        ds.set_scat_ref(ref_wl);
                    } else {
                        ds.scat_ref_a_index = 2;
                        ds.scat_ref_c_index = 5;
                    }
                    ds.apply_temp = (flags & 1) != 0;
                    ds.apply_saln = (flags & 2) != 0;
                    ds.apply_water = (flags & 4) != 0;
                    ds.apply_scat = (flags & 8) != 0;
                    ds.scat_method = method;
                    std::ostringstream label;
                    label << "T/S source " << src.temp << '/' << src.saln << ", ref " << ref_wl << ", temp "
                          << ds.apply_temp << " saln " << ds.apply_saln << " water " << ds.apply_water
                          << " scat " << ds.apply_scat << " method " << method;
                    SCOPED_TRACE(label.str());

                    std::deque<vantrel::ixo_data> lines;
                    for (std::size_t r = 0; r < record_count; ++r)
                        lines.push_back(ds.correct_one_line(static_cast<std::int32_t>(r)));
                    for (const bool is_a : {true, false})
                        for (std::size_t ch = 0; ch < channels; ++ch) {
                            const auto series = ds.corrected_series(is_a, static_cast<std::int32_t>(ch));
                            ASSERT_EQ(series.size(), record_count);
                            for (std::size_t r = 0; r < record_count; ++r) {
                                const double want = is_a ? lines[r].a[ch] : lines[r].c[ch];
                                if (std::isnan(want))
                                    EXPECT_TRUE(std::isnan(series[r])) << (is_a ? "a" : "c") << ch << " r" << r;
                                else
                                    EXPECT_EQ(series[r], want) << (is_a ? "a" : "c") << ch << " r" << r;
                            }
                        }
                }
}

} // namespace
