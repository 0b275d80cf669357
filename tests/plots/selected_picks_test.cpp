#include "plots/parent_frame.hpp"
#include "plots/selected_picks.hpp"
#include "plots_support.hpp"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

using testing::temp_dir_test;

struct nearest_case {
    double value;
    std::vector<double> wavelengths;
    std::int32_t expected;
};

TEST(NearestWavelengthIndex, TakesTheFirstOfEquallyNearEntries)
{
    const std::vector<nearest_case> cases{
        {650.0, {640.0, 645.0, 655.0, 660.0}, 1}, // 645 and 655 equally near
        {655.0, {640.0, 645.0, 655.0, 660.0}, 2}, // exact
        {100.0, {640.0, 645.0, 655.0, 660.0}, 0}, // below the list
        {900.0, {640.0, 645.0, 655.0, 660.0}, 3}, // above the list
        {500.0, {715.0}, 0},
        {650.2, {660.0, 650.0, 650.4}, 2}, // not sorted: the nearest wins, wherever it is
        {650.0, {651.0, 649.0, 651.0}, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TFr_ParentFrame::nearest_wavelength_index(c.value, c.wavelengths), c.expected) << c.value;
        const std::deque<double> as_deque(c.wavelengths.begin(), c.wavelengths.end());
        EXPECT_EQ(TFr_ParentFrame::nearest_wavelength_index(c.value, as_deque), c.expected) << c.value;
    }
    EXPECT_THROW(TFr_ParentFrame::nearest_wavelength_index(650.0, std::vector<double>{}),
                 std::invalid_argument);
}

TEST(PickList, RowsAreSinglesFirstThenRanges)
{
    pick_list picks;
    picks.add_range(20, 25, true);
    picks.add_single(12, false);
    picks.add_single(22, true);
    ASSERT_EQ(picks.row_count(), 3U);

    // Row 0 and 1 are the singles 12 and 22, row 2 the range 20 to 24.
    EXPECT_EQ(picks.records_of_rows(0, 0), (std::vector<std::int32_t>{12}));
    EXPECT_EQ(picks.records_of_rows(2, 2), (std::vector<std::int32_t>{20, 21, 22, 23, 24}));
    // Record 22 is both a single pick and in the range: listed once.
    EXPECT_EQ(picks.records_of_rows(0, 2), (std::vector<std::int32_t>{12, 20, 21, 22, 23, 24}));
    // Rows past the picks (the grid's empty row) hold nothing.
    EXPECT_EQ(picks.records_of_rows(3, 5), (std::vector<std::int32_t>{}));
}

TEST(PickList, RangeEndsArePutInOrderAndARangeOfOneRecordCoversIt)
{
    pick_list picks;
    picks.add_range(30, 10, true);
    picks.add_range(7, 7, true);
    ASSERT_EQ(picks.ranges().size(), 2U);
    EXPECT_EQ(picks.ranges()[0].start, 10);
    EXPECT_EQ(picks.ranges()[0].end, 30);
    EXPECT_EQ(picks.records_of_rows(0, 0).size(), 20U);
    EXPECT_EQ(picks.records_of_rows(0, 0).back(), 29);
    EXPECT_EQ(picks.records_of_rows(1, 1), (std::vector<std::int32_t>{7}));
    EXPECT_EQ(covered_records({5, 5, false}), (std::vector<std::int32_t>{5}));
}

TEST(PickList, RemovingRowsKeepsTheOthersInOrder)
{
    pick_list picks;
    picks.add_single(1, true);
    picks.add_single(2, true);
    picks.add_range(10, 12, false);
    picks.add_range(20, 22, false);

    // Rows 1 and 2 span a single and a range.
    picks.remove_rows(1, 2);
    ASSERT_EQ(picks.singles().size(), 1U);
    ASSERT_EQ(picks.ranges().size(), 1U);
    EXPECT_EQ(picks.singles()[0].record, 1);
    EXPECT_EQ(picks.ranges()[0].start, 20);

    picks.remove_rows(0, 0);
    EXPECT_EQ(picks.row_count(), 1U);
    EXPECT_EQ(picks.records_of_rows(0, 0), (std::vector<std::int32_t>{20, 21}));
    picks.remove_rows(0, 9);
    EXPECT_TRUE(picks.empty());
}

class MeanCorrected : public temp_dir_test {};

TEST_F(MeanCorrected, IsTheMeanOfTheCorrectedRecordsWithTheFirstTime)
{
    auto ds = testing::load_data(testing::write_ixo_file(path("cast.dat"), 10));
    ds->apply_scat = true;
    ds->scat_method = 1;
    const std::vector<std::int32_t> indices{2, 3, 7};
    const ixo_data mean = mean_corrected(*ds, indices);
    ASSERT_EQ(mean.a.size(), 4U);
    for (std::size_t j = 0; j < 4; ++j) {
        double a = 0.0;
        double c = 0.0;
        for (const std::int32_t i : indices) {
            a += ds->correct_one_line(i).a[j];
            c += ds->correct_one_line(i).c[j];
        }
        EXPECT_NEAR(mean.a[j], a / 3.0, 1e-12);
        EXPECT_NEAR(mean.c[j], c / 3.0, 1e-12);
    }
    EXPECT_EQ(mean.time, testing::gen_time(2));
    EXPECT_EQ(testing::error_of([&] { mean_corrected(*ds, {}); }), "No records selected.");
}

} // namespace
} // namespace vantrel
