#include "plots/data_frame.hpp"
#include "plots/graph_list.hpp"
#include "plots/plot_window.hpp"
#include "plots/spectral_frame.hpp"
#include "plots/time_frame.hpp"
#include "plots_support.hpp"

#include <QWidget>

#include <gtest/gtest.h>

namespace vantrel {
namespace {

using testing::error_of;

class GraphList : public testing::temp_dir_test {
protected:
    void SetUp() override
    {
        testing::temp_dir_test::SetUp();
        ds = testing::load_data(testing::write_ixo_file(path("cast.dat"), 40));
        upper.resize(600, 350);
        lower.resize(600, 300);
    }

    testing::scripted_prompts prompts;
    std::unique_ptr<IXO_Data> ds;
    QWidget upper;
    QWidget lower;
    graph_list graphs{&prompts};
};

TEST_F(GraphList, BuildsTheBuiltInGraphsAndTheHiddenSelectedDataWindow)
{
    graphs.create_builtin_graphs(&upper, &lower);
    const auto frames = graphs.graphs();
    ASSERT_EQ(frames.size(), 3U);
    EXPECT_EQ(frames[0]->objectName(), "BuiltinGraph1");
    EXPECT_NE(qobject_cast<TFr_Spectral*>(frames[0]), nullptr);
    EXPECT_EQ(frames[0]->parentWidget(), &upper);
    EXPECT_EQ(frames[1]->objectName(), "BuiltinGraph2");
    EXPECT_NE(qobject_cast<TFr_Time*>(frames[1]), nullptr);
    EXPECT_EQ(frames[1]->parentWidget(), &lower);
    EXPECT_EQ(frames[2], graphs.selected_data());
    ASSERT_NE(graphs.selected_data_window(), nullptr);
    EXPECT_EQ(graphs.selected_data_window()->windowTitle(), "Selected Data");
    EXPECT_TRUE(graphs.selected_data_window()->isHidden());
    // Live mode is off: the time plot's cursor tools are there.
    EXPECT_TRUE(static_cast<TFr_Time*>(frames[1])->toolbar()->data_cursor_action()->isVisible());

    // Once only.
    graphs.create_builtin_graphs(&upper, &lower);
    EXPECT_EQ(graphs.graphs().size(), 3U);
}

TEST_F(GraphList, NamesGraphWindowsByKindAndCounter)
{
    graphs.set_data_set(ds.get());
    TF_Plot* t0 = graphs.open_window(graph_kind::time);
    TF_Plot* t1 = graphs.open_window(graph_kind::time);
    ASSERT_NE(t0, nullptr);
    ASSERT_NE(t1, nullptr);
    EXPECT_EQ(t0->frame()->objectName(), "TimeGraph0");
    EXPECT_EQ(t0->objectName(), "TimeWindow0");
    EXPECT_EQ(t1->frame()->objectName(), "TimeGraph1");
    EXPECT_EQ(t1->objectName(), "TimeWindow1");
    EXPECT_EQ(t0->windowTitle(), "Plot Window");
    EXPECT_EQ(t0->size(), QSize(628, 439));
    EXPECT_FALSE(t0->isHidden());
    EXPECT_EQ(t0->frame()->parentWidget(), t0);

    // Without a CTD merge the depth kind opens nothing and counts nothing.
    EXPECT_EQ(graphs.open_window(graph_kind::depth), nullptr);
    EXPECT_EQ(graphs.counter(graph_kind::depth), 0);

    TF_Plot* s0 = graphs.open_window(graph_kind::spectral);
    EXPECT_EQ(s0->objectName(), "SpectralWindow0");
    EXPECT_EQ(s0->frame()->objectName(), "SpectralGraph0");

    testing::merge_ctd(*ds, path("cast.ctd"), 40);
    TF_Plot* d0 = graphs.open_window(graph_kind::depth);
    ASSERT_NE(d0, nullptr);
    EXPECT_EQ(d0->objectName(), "DepthWindow0");
    EXPECT_EQ(d0->frame()->objectName(), "DepthGraph0");
    EXPECT_NE(qobject_cast<TFr_Depth*>(d0->frame()), nullptr);

    EXPECT_EQ(graphs.windows(), (std::vector<TF_Plot*>{t0, t1, s0, d0}));
    const auto frames = graphs.graphs();
    ASSERT_EQ(frames.size(), 4U);
    EXPECT_EQ(frames[3], d0->frame());
    EXPECT_EQ(graphs.counter(graph_kind::time), 2);
    // A new window follows the current data set at once.
    EXPECT_EQ(static_cast<TFr_Time*>(t0->frame())->channel_points(0).size(), 40U);
}

TEST_F(GraphList, EveryFrameFollowsANewDataSetAndClosedWindowsAreStillRedrawn)
{
    graphs.create_builtin_graphs(&upper, &lower);
    TF_Plot* window = graphs.open_window(graph_kind::time);
    window->close();
    EXPECT_TRUE(window->isHidden());

    // A frame created before the load shows the new records after the refresh.
    auto second = testing::load_data(testing::write_ixo_file(path("second.dat"), 12));
    graphs.set_data_set(second.get());
    second->apply_scat = true;
    second->scat_method = 1;
    graphs.redraw_all();
    const auto points = static_cast<TFr_Time*>(window->frame())->channel_points(0);
    ASSERT_EQ(points.size(), 12U);
    EXPECT_EQ(points[11].y, second->corrected_series(true, 0)[11]);
    auto* spectral = static_cast<TFr_Spectral*>(graphs.graphs()[0]);
    EXPECT_EQ(spectral->channel_points(0)[0].y, second->correct_one_line(0).a[0]);

    graphs.set_live_mode(true);
    EXPECT_FALSE(static_cast<TFr_Time*>(window->frame())->toolbar()->select_action()->isVisible());
    graphs.data_arrived();
    graphs.set_live_mode(false);

    // Errors of a redraw reach the caller.
    second->temp_source = 2;
    EXPECT_EQ(error_of([&] { graphs.redraw_all(); }), "CTD data not merged");
}

TEST_F(GraphList, PicksOfTimeAndDepthPlotsReachTheSelectedData)
{
    graphs.create_builtin_graphs(&upper, &lower);
    testing::merge_ctd(*ds, path("cast.ctd"), 40);
    graphs.set_data_set(ds.get());
    auto* time = static_cast<TFr_Time*>(graphs.graphs()[1]);
    time->click_point(1, 2);
    EXPECT_FALSE(graphs.selected_data_window()->isHidden());

    time->toolbar()->data_cursor_action()->setChecked(true);
    time->set_cursor_position(0, 3500.0);
    time->set_cursor_position(1, 8500.0);
    time->B_GrabClick();

    auto* depth = static_cast<TFr_Depth*>(graphs.open_window(graph_kind::depth)->frame());
    depth->click_point(0, 7);

    const pick_list& picks = graphs.selected_data()->picks();
    ASSERT_EQ(picks.singles().size(), 2U);
    EXPECT_EQ(picks.singles()[0].record, 2);
    EXPECT_FALSE(picks.singles()[0].flag);
    EXPECT_EQ(picks.singles()[1].record, 7);
    EXPECT_TRUE(picks.singles()[1].flag);
    ASSERT_EQ(picks.ranges().size(), 1U);
    EXPECT_EQ(picks.ranges()[0].start, 10);
    EXPECT_EQ(picks.ranges()[0].end, 30);

    // A pick whose redraw fails is reported, not thrown into the event loop.
    ds->temp_source = 2;
    ds->ctd_merged = false;
    time->click_point(0, 1);
    ASSERT_EQ(prompts.messages.size(), 1U);
    EXPECT_EQ(prompts.messages[0].text, "CTD data not merged");
}

} // namespace
} // namespace vantrel
