#include "plots/plot_prompts.hpp"
#include "plots/time_frame.hpp"
#include "plots_support.hpp"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

namespace vantrel {
namespace {

using testing::error_of;

struct pick {
    std::int32_t start;
    std::int32_t end;
    bool flag;
    bool operator==(const pick&) const = default;
};

// Collects what a frame hands to the selected data.
template <class Frame> struct pick_recorder {
    std::vector<pick> singles;
    std::vector<pick> ranges;

    explicit pick_recorder(Frame& frame)
    {
        QObject::connect(&frame, &series_frame::single_picked, [this](std::int32_t r, bool flag) {
            singles.push_back({r, r, flag});
        });
        QObject::connect(&frame, &series_frame::range_picked,
                         [this](std::int32_t s, std::int32_t e, bool flag) {
                             ranges.push_back({s, e, flag});
                         });
    }
};

// The frame's points of a channel against the corrected series and a key per record.
template <class KeyOf>
void expect_series(const std::vector<plotted_point>& points, const std::deque<double>& series, KeyOf key_of,
                   bool key_is_x, const std::vector<std::int32_t>& left_out = {})
{
    std::size_t k = 0;
    for (std::int32_t i = 0; i < static_cast<std::int32_t>(series.size()); ++i) {
        if (std::find(left_out.begin(), left_out.end(), i) != left_out.end())
            continue;
        ASSERT_LT(k, points.size());
        const plotted_point& p = points[k++];
        EXPECT_EQ(p.record, i);
        const double key = key_of(static_cast<std::size_t>(i));
        const double value = series[static_cast<std::size_t>(i)];
        EXPECT_EQ(key_is_x ? p.x : p.y, key) << i;
        EXPECT_EQ(key_is_x ? p.y : p.x, value) << i;
    }
    EXPECT_EQ(k, points.size());
}

class TimeFrame : public testing::temp_dir_test {
protected:
    void SetUp() override
    {
        testing::temp_dir_test::SetUp();
        ds = testing::load_data(testing::write_ixo_file(path("cast.dat"), 40, {5}));
        frame.set_prompts(&prompts);
    }

    std::function<double(std::size_t)> time_of()
    {
        return [this](std::size_t i) { return ds->records[i].time; };
    }

    testing::scripted_prompts prompts;
    std::unique_ptr<IXO_Data> ds;
    TFr_Time frame;
};

TEST_F(TimeFrame, PlotsTheCorrectedSeriesAgainstTimeWithoutNaN)
{
    EXPECT_EQ(frame.plot()->title_element()->text(), "Time Plot");
    EXPECT_EQ(frame.plot()->graph(0)->name(), "Absorption");
    EXPECT_EQ(frame.plot()->graph(1)->name(), "Attenuation");
    EXPECT_EQ(frame.plot()->graph(0)->lineStyle(), QCPGraph::lsNone);
    EXPECT_TRUE(frame.plot()->graph(0)->adaptiveSampling());

    frame.SetDataSet(ds.get());
    EXPECT_EQ(frame.SB_awl->maximum(), 3);
    EXPECT_EQ(frame.SB_cwl->maximum(), 3);
    EXPECT_EQ(frame.L_awl->text(), "A wavelength: 413.0");
    EXPECT_EQ(frame.L_cwl->text(), "C wavelength: 412.1");
    // Record 5 holds NaN at the first wavelength: left out.
    expect_series(frame.channel_points(0), ds->corrected_series(true, 0), time_of(), true, {5});
    expect_series(frame.channel_points(1), ds->corrected_series(false, 0), time_of(), true, {5});
    // Fitted to the data after a new data set.
    EXPECT_LT(frame.plot()->xAxis->range().lower, 1000.0);
    EXPECT_GT(frame.plot()->xAxis->range().upper, 10750.0);

    frame.CB_Sync->setChecked(false);
    ds->apply_scat = true;
    ds->scat_method = 2;
    frame.SB_awl->setValue(2);
    frame.SB_cwl->setValue(1);
    EXPECT_EQ(frame.L_awl->text(), "A wavelength: 551.2");
    EXPECT_EQ(frame.L_cwl->text(), "C wavelength: 440.2");
    expect_series(frame.channel_points(0), ds->corrected_series(true, 2), time_of(), true);
    expect_series(frame.channel_points(1), ds->corrected_series(false, 1), time_of(), true);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(TimeFrame, SwitchAxesPutsTimeOnTheVerticalAxis)
{
    frame.SetDataSet(ds.get());
    frame.CB_Orientation->click();
    EXPECT_EQ(frame.plot()->yAxis->label(), "Time (ms)");
    EXPECT_EQ(frame.plot()->xAxis->label(), "a, c (1/m)");
    expect_series(frame.channel_points(0), ds->corrected_series(true, 0), time_of(), false, {5});
    expect_series(frame.channel_points(1), ds->corrected_series(false, 0), time_of(), false, {5});

    frame.CB_Orientation->click();
    expect_series(frame.channel_points(1), ds->corrected_series(false, 0), time_of(), true, {5});
}

TEST_F(TimeFrame, ScrollBarsFollowTheWavelengthListsAndKeepInStep)
{
    auto hyper = testing::replayed("ixo_86_capture.bin", "ixo_86.dev");
    frame.SetDataSet(hyper.get());
    EXPECT_EQ(frame.SB_awl->maximum(), 85);
    EXPECT_EQ(frame.SB_cwl->maximum(), 85);

    ASSERT_TRUE(frame.CB_Sync->isChecked());
    frame.SB_cwl->setValue(60);
    const double c_wl = hyper->c_wavelengths[60];
    EXPECT_EQ(frame.SB_awl->value(), TFr_ParentFrame::nearest_wavelength_index(c_wl, hyper->a_wavelengths));
    EXPECT_EQ(frame.SB_cwl->value(), 60);
    frame.SB_awl->setValue(10);
    EXPECT_EQ(frame.SB_cwl->value(),
              TFr_ParentFrame::nearest_wavelength_index(hyper->a_wavelengths[10], hyper->c_wavelengths));

    frame.CB_Sync->setChecked(false);
    frame.SB_awl->setValue(40);
    frame.SB_cwl->setValue(41);
    EXPECT_EQ(frame.SB_awl->value(), 40);
    expect_series(
        frame.channel_points(1), hyper->corrected_series(false, 41),
        [&](std::size_t i) { return hyper->records[i].time; }, true);

    // A new data set puts both bars back to 0.
    frame.SetDataSet(ds.get());
    EXPECT_EQ(frame.SB_awl->value(), 0);
    EXPECT_EQ(frame.SB_cwl->value(), 0);
    EXPECT_EQ(frame.SB_awl->maximum(), 3);
}

TEST_F(TimeFrame, ClickOnAPointPicksItsRecord)
{
    pick_recorder picks(frame);
    frame.SetDataSet(ds.get());
    // Third point of the attenuation channel: record 2, flag false.
    frame.click_point(1, 2);
    // Points after the NaN record still map to their own records.
    frame.click_point(0, 5);
    EXPECT_EQ(picks.singles, (std::vector<pick>{{2, 2, false}, {6, 6, true}}));

    // The same through the mouse, on the drawn point.
    frame.resize(700, 450);
    frame.show();
    frame.plot()->replot(QCustomPlot::rpImmediateRefresh);
    const double x = frame.plot()->xAxis->coordToPixel(ds->records[2].time);
    const double y = frame.plot()->yAxis->coordToPixel(ds->corrected_series(false, 0)[2]);
    QTest::mouseClick(frame.plot(), Qt::LeftButton, Qt::NoModifier, QPoint(qRound(x), qRound(y)));
    ASSERT_EQ(picks.singles.size(), 3U);
    EXPECT_EQ(picks.singles.back(), (pick{2, 2, false}));
}

TEST_F(TimeFrame, GrabSendsTheRecordsBetweenTheCursors)
{
    pick_recorder picks(frame);
    frame.SetDataSet(ds.get());
    EXPECT_TRUE(frame.B_Grab->isHidden());
    frame.toolbar()->data_cursor_action()->setChecked(true);
    EXPECT_FALSE(frame.B_Grab->isHidden());

    struct grab_case {
        double t0;
        double t1;
        pick expected;
    };
    const std::vector<grab_case> cases{
        {8500.7, 3499.6, {10, 30, true}}, // records 30 and 10 (times 8500 and 3500)
        {3460.0, 8560.0, {10, 30, true}},
        {900.0, 3500.0, {0, 10, true}},   // first cursor nearest record 0: a range like any other
        {1000.0, 1100.0, {0, 0, true}},   // both nearest record 0
        {5010.0, 4990.0, {16, 16, true}}, // both nearest record 16
        {-5000.0, 99999.0, {0, 39, true}},
    };
    for (const auto& c : cases) {
        frame.set_cursor_position(0, c.t0);
        frame.set_cursor_position(1, c.t1);
        frame.B_Grab->click();
        ASSERT_FALSE(picks.ranges.empty());
        EXPECT_EQ(picks.ranges.back(), c.expected) << c.t0 << " " << c.t1;
    }
    EXPECT_EQ(picks.ranges.size(), cases.size());

    // With the button released the next cursor move hides Grab.
    frame.toolbar()->data_cursor_action()->setChecked(false);
    frame.set_cursor_position(0, 2000.0);
    EXPECT_TRUE(frame.B_Grab->isHidden());
}

TEST_F(TimeFrame, LiveModeHidesTheCursorToolsAndScrollsOverTheLast20Seconds)
{
    frame.SetDataSet(ds.get());
    frame.toolbar()->data_cursor_action()->setChecked(true);
    frame.plot()->set_tracking(false);

    auto live = testing::load_data(path("cast.dat"));
    const std::deque<ixo_data> arriving = live->records;
    live->records.clear();
    frame.SetDataSet(live.get());
    frame.SetLiveMode(true);
    EXPECT_FALSE(frame.toolbar()->data_cursor_action()->isChecked());
    EXPECT_FALSE(frame.toolbar()->data_cursor_action()->isVisible());
    EXPECT_FALSE(frame.toolbar()->select_action()->isVisible());
    EXPECT_TRUE(frame.B_Grab->isHidden());
    EXPECT_TRUE(frame.plot()->tracking());
    EXPECT_EQ(frame.plot()->xAxis->range(), QCPRange(0.0, TFr_Time::live_time_span));

    // Records a second apart: within the first 20 s the axis stands still,
    // after that it keeps the newest record at its end.
    for (std::size_t i = 0; i < arriving.size(); ++i) {
        live->records.push_back(arriving[i]);
        live->records.back().time = 1000.0 * static_cast<double>(i);
        frame.DataArrived();
        frame.Redraw();
        const double newest = live->records.back().time;
        if (newest <= TFr_Time::live_time_span) {
            EXPECT_EQ(frame.plot()->xAxis->range(), QCPRange(0.0, TFr_Time::live_time_span)) << i;
        } else {
            EXPECT_DOUBLE_EQ(frame.plot()->xAxis->range().upper, newest) << i;
            EXPECT_DOUBLE_EQ(frame.plot()->xAxis->range().size(), TFr_Time::live_time_span) << i;
        }
    }
    EXPECT_EQ(frame.channel_points(0).size(), arriving.size() - 1); // one NaN

    frame.SetLiveMode(false);
    EXPECT_TRUE(frame.toolbar()->data_cursor_action()->isVisible());
    EXPECT_TRUE(frame.toolbar()->select_action()->isVisible());
}

TEST_F(TimeFrame, RedrawErrorsPropagateAndUserActionsShowThem)
{
    frame.Redraw(); // no data set: nothing
    frame.SetDataSet(ds.get());
    ds->temp_source = 4;
    EXPECT_EQ(error_of([&] { frame.Redraw(); }), "Temperature source unrecognized.");

    frame.SB_awl->setValue(1);
    ASSERT_EQ(prompts.messages.size(), 1U);
    EXPECT_EQ(prompts.messages[0].text, "Temperature source unrecognized.");
    EXPECT_EQ(prompts.messages[0].caption, "Time Plot");
}

class DepthFrame : public TimeFrame {};

TEST_F(DepthFrame, PlotsAProfileAtTheMergedPressures)
{
    // Down to 22 dbar and back up: the profile is not in pressure order.
    const auto profile = [](std::size_t i) {
        return 2.0 + static_cast<double>(std::min<std::size_t>(i, 40 - i));
    };
    testing::merge_ctd(*ds, path("cast.ctd"), 40, profile);
    TFr_Depth depth;
    depth.set_prompts(&prompts);
    pick_recorder picks(depth);
    EXPECT_EQ(depth.plot()->title_element()->text(), "Depth vs Time");
    EXPECT_EQ(depth.L_awl->text(), "a wavelength");
    EXPECT_TRUE(depth.plot()->yAxis->rangeReversed());
    EXPECT_EQ(depth.plot()->yAxis->label(), "Pressure");

    depth.SetDataSet(ds.get());
    EXPECT_EQ(depth.L_awl->text(), "A wavelength: 413.0");
    const auto pres_of = [&](std::size_t i) { return ds->aux_merged.rows[i].pres; };
    expect_series(depth.channel_points(0), ds->corrected_series(true, 0), pres_of, false, {5});
    expect_series(depth.channel_points(1), ds->corrected_series(false, 0), pres_of, false, {5});
    // Zoom to fit covers every pressure.
    EXPECT_LT(depth.plot()->yAxis->range().lower, 2.0);
    EXPECT_GT(depth.plot()->yAxis->range().upper, 22.0);

    // Greater pressures are drawn lower.
    depth.resize(500, 500);
    depth.show();
    depth.plot()->replot(QCustomPlot::rpImmediateRefresh);
    EXPECT_GT(depth.plot()->yAxis->coordToPixel(20.0), depth.plot()->yAxis->coordToPixel(3.0));

    // A click picks the record of the point, whatever order the points are drawn in.
    const double x = depth.plot()->xAxis->coordToPixel(ds->corrected_series(true, 0)[30]);
    const double y = depth.plot()->yAxis->coordToPixel(pres_of(30));
    QTest::mouseClick(depth.plot(), Qt::LeftButton, Qt::NoModifier, QPoint(qRound(x), qRound(y)));
    EXPECT_EQ(picks.singles, (std::vector<pick>{{30, 30, true}}));

    depth.CB_Sync->setChecked(false);
    depth.SB_cwl->setValue(3);
    EXPECT_EQ(depth.L_cwl->text(), "C wavelength: 715.3");
    expect_series(depth.channel_points(1), ds->corrected_series(false, 3), pres_of, false);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(DepthFrame, RecordsWithoutAMergedRowAreLeftOut)
{
    ds->aux_merged.rows.resize(10);
    TFr_Depth depth;
    depth.set_prompts(&prompts);
    depth.SetDataSet(ds.get());
    EXPECT_EQ(depth.channel_points(1).size(), 9U); // ten rows, one NaN record
    depth.SetDataSet(nullptr);
    EXPECT_TRUE(depth.channel_points(1).empty());
}

} // namespace
} // namespace vantrel
