#include "instrument/devfile.hpp"
#include "plots/data_frame.hpp"
#include "plots/make_water_dialog.hpp"
#include "plots/selected_picks.hpp"
#include "plots_support.hpp"

#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include <gtest/gtest.h>

#include <filesystem>

namespace vantrel {
namespace {

using testing::error_of;
using testing::read_lines;

class DataFrame : public testing::temp_dir_test {
protected:
    void SetUp() override
    {
        testing::temp_dir_test::SetUp();
        ds = testing::load_data(testing::write_ixo_file(path("cast.dat"), 40));
        frame = window.frame();
        frame->set_prompts(&prompts);
        frame->SetDataSet(ds.get());
    }

    QString cell(int row, int column) const
    {
        const QTableWidgetItem* item = frame->SG_List->item(row, column);
        return item != nullptr ? item->text() : QString();
    }

    void highlight(int top, int bottom)
    {
        frame->SG_List->clearSelection();
        frame->SG_List->setRangeSelected(QTableWidgetSelectionRange(top, 0, bottom, 2), true);
    }

    static std::vector<double> values_of(const QCPGraph* graph)
    {
        std::vector<double> out;
        for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
            out.push_back(it->value);
        return out;
    }

    testing::scripted_prompts prompts;
    std::unique_ptr<IXO_Data> ds;
    TF_FData window;
    TFr_Data* frame = nullptr;
};

TEST_F(DataFrame, WindowAndEmptyState)
{
    EXPECT_EQ(window.windowTitle(), "Selected Data");
    EXPECT_TRUE(window.isHidden());
    EXPECT_EQ(frame->L_Note->text(), "Note:  When you save data, both a and c channels are saved.");
    // No picks: one empty row and the three saves disabled.
    EXPECT_EQ(frame->SG_List->rowCount(), 1);
    EXPECT_EQ(frame->SG_List->columnCount(), 3);
    EXPECT_EQ(cell(0, 0), "");
    EXPECT_EQ(frame->SG_List->horizontalHeaderItem(0)->text(), "Spectra Shown:");
    EXPECT_EQ(frame->SG_List->horizontalHeaderItem(1)->text(), "Time:");
    EXPECT_EQ(frame->SG_List->horizontalHeaderItem(2)->text(), "Depth:");
    EXPECT_FALSE(frame->B_SaveRange->isEnabled());
    EXPECT_FALSE(frame->B_SaveWater->isEnabled());
    EXPECT_FALSE(frame->B_SaveDev->isEnabled());
    EXPECT_EQ(frame->iPlot1->graphCount(), 0);
}

TEST_F(DataFrame, ListsAndPlotsSinglesThenRanges)
{
    frame->add_range(20, 25, true);
    EXPECT_FALSE(window.isHidden()); // the first pick shows the window
    frame->add_single(12, false);

    ASSERT_EQ(frame->SG_List->rowCount(), 2);
    EXPECT_EQ(cell(0, 0), "Line 12");
    EXPECT_EQ(cell(0, 1), "4000");
    EXPECT_EQ(cell(0, 2), "n/a");
    EXPECT_EQ(cell(1, 0), "Lines 20 - 25");
    EXPECT_EQ(cell(1, 1), "6000.000000 - 7250.000000");
    EXPECT_EQ(cell(1, 2), "n/a");
    EXPECT_TRUE(frame->B_SaveRange->isEnabled());
    EXPECT_TRUE(frame->B_SaveDev->isEnabled());

    // Channels 2r and 2r + 1 per row; the c channel shares the colour, off the legend.
    ASSERT_EQ(frame->iPlot1->graphCount(), 4);
    EXPECT_EQ(frame->iPlot1->graph(0)->name(), "Line 12");
    EXPECT_EQ(frame->iPlot1->graph(2)->name(), "Lines 20 - 25");
    EXPECT_EQ(frame->iPlot1->legend->itemCount(), 2);
    EXPECT_EQ(frame->iPlot1->graph(3)->pen().color(), frame->iPlot1->graph(2)->pen().color());
    EXPECT_NE(frame->iPlot1->graph(0)->pen().color(), frame->iPlot1->graph(2)->pen().color());

    const ixo_data single = ds->correct_one_line(12);
    EXPECT_EQ(values_of(frame->iPlot1->graph(0)), single.a);
    EXPECT_EQ(values_of(frame->iPlot1->graph(1)), single.c);
    // The range's spectrum is the mean of records 20 to 24.
    const std::vector<double> mean_a = values_of(frame->iPlot1->graph(2));
    ASSERT_EQ(mean_a.size(), 4U);
    for (std::size_t j = 0; j < 4; ++j) {
        double sum = 0.0;
        for (std::int32_t r = 20; r < 25; ++r)
            sum += ds->correct_one_line(r).a[j];
        EXPECT_NEAR(mean_a[j], sum / 5.0, 1e-12);
    }
}

TEST_F(DataFrame, ARangeOfOneRecordShowsThatRecord)
{
    frame->add_range(7, 7, true);
    EXPECT_EQ(cell(0, 0), "Lines 7 - 7");
    EXPECT_EQ(values_of(frame->iPlot1->graph(0)), ds->correct_one_line(7).a);
    EXPECT_EQ(values_of(frame->iPlot1->graph(1)), ds->correct_one_line(7).c);
    highlight(0, 0);
    EXPECT_EQ(frame->selected_records(), (std::vector<std::int32_t>{7}));
}

TEST_F(DataFrame, DepthCellsShowTheMergedPressures)
{
    testing::merge_ctd(*ds, path("cast.ctd"), 40);
    frame->add_single(3, true);
    frame->add_range(4, 8, false);
    EXPECT_EQ(cell(0, 2), "5");
    EXPECT_EQ(cell(1, 2), "6.00 - 10.00");
}

TEST_F(DataFrame, RemovesTheHighlightedRowsAndAll)
{
    frame->add_single(1, true);
    frame->add_single(2, true);
    frame->add_range(10, 12, false);
    highlight(0, 1);
    frame->B_RemoveSelected->click();
    ASSERT_EQ(frame->SG_List->rowCount(), 1);
    EXPECT_EQ(cell(0, 0), "Lines 10 - 12");

    frame->add_single(5, true);
    frame->B_RemoveAll->click();
    EXPECT_TRUE(frame->picks().empty());
    EXPECT_EQ(frame->SG_List->rowCount(), 1);
    EXPECT_EQ(cell(0, 0), "");
    EXPECT_FALSE(frame->B_SaveWater->isEnabled());
    frame->B_RemoveSelected->click(); // nothing to remove
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(DataFrame, SavesTheHighlightedRecordsAsADataFile)
{
    frame->add_single(12, true);
    frame->add_range(20, 25, true);
    frame->add_single(22, false);
    highlight(0, 2);
    ds->apply_scat = true;
    ds->scat_method = 1;
    prompts.file_answers.push_back(path("chunk.dat"));
    frame->B_SaveRange->click();
    ASSERT_EQ(prompts.save_questions.size(), 1U);
    EXPECT_EQ(prompts.save_questions[0].proposed, path("cast") + "_chunk.dat");

    auto back = testing::load_data(path("chunk.dat"));
    const std::vector<std::int32_t> expected{12, 20, 21, 22, 23, 24};
    ASSERT_EQ(back->records.size(), expected.size());
    EXPECT_EQ(back->a_wavelengths, ds->a_wavelengths);
    for (std::size_t k = 0; k < expected.size(); ++k) {
        const ixo_data corrected = ds->correct_one_line(expected[k]);
        EXPECT_EQ(back->records[k].time, corrected.time);
        for (std::size_t j = 0; j < 4; ++j) {
            EXPECT_NEAR(back->records[k].a[j], corrected.a[j], 1e-9);
            EXPECT_NEAR(back->records[k].c[j], corrected.c[j], 1e-9);
        }
    }

    // Cancelled: nothing is written.
    frame->B_SaveRange->click();
    EXPECT_EQ(prompts.save_questions.size(), 2U);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(DataFrame, SavesAWaterCalibrationThroughTheDialog)
{
    frame->add_range(4, 7, true);
    highlight(0, 0);
    ds->apply_temp = true;
    ds->apply_scat = true;

    // Cancelled in the dialog: no file asked for.
    frame->B_SaveWater->click();
    ASSERT_EQ(prompts.previews.size(), 1U);
    EXPECT_TRUE(prompts.save_questions.empty());
    // Only the water term may apply to a blank; the settings stay so.
    EXPECT_FALSE(ds->apply_temp);
    EXPECT_FALSE(ds->apply_scat);

    prompts.water_answers.push_back("20.5");
    prompts.file_answers.push_back(path("blank.wcf"));
    frame->B_SaveWater->click();
    ASSERT_EQ(prompts.save_questions.size(), 1U);
    EXPECT_EQ(prompts.save_questions[0].proposed, path("cast") + "_water.wcf");

    const ixo_data mean = mean_corrected(*ds, {4, 5, 6});
    const water_cal_preview& preview = prompts.previews.back();
    EXPECT_EQ(preview.a_values, mean.a);
    EXPECT_EQ(preview.c_values, mean.c);
    EXPECT_EQ(preview.a_wavelengths, testing::gen_a_wavelengths);

    const auto text = testing::read_text(path("blank.wcf"));
    EXPECT_NE(text.find("\r\nWater Calibration Temperature: 20.5\r\n"), std::string::npos);
    // Loads back as the blank of the data set, with the mean of the three records.
    ds->load_file(path("blank.wcf"), true);
    EXPECT_EQ(ds->water_cal_temp, 20.5);
    for (std::size_t j = 0; j < 4; ++j) {
        EXPECT_NEAR(ds->water_mean.a[j], mean.a[j], 1e-9);
        EXPECT_NEAR(ds->water_mean.c[j], mean.c[j], 1e-9);
    }
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(DataFrame, SavesADeviceFileAndShowsWhyItCannot)
{
    frame->add_single(0, true);
    highlight(0, 0);
    prompts.file_answers.push_back(path("new.dev"));
    frame->B_SaveDev->click();
    ASSERT_EQ(prompts.save_questions.size(), 1U);
    EXPECT_EQ(prompts.save_questions[0].proposed, path("cast.dev"));
    devfile written;
    written.load(path("new.dev"));
    EXPECT_DOUBLE_EQ(written.a_offsets[0], 0.48);

    // A nine-wavelength data file holds no channel lines: the error is shown, no file made.
    auto eqa = testing::load_data(testing::fixture("eqa_small.dat"));
    frame->SetDataSet(eqa.get());
    EXPECT_TRUE(frame->picks().empty());
    EXPECT_EQ(frame->SG_List->rowCount(), 1);
    EXPECT_EQ(cell(0, 0), "");
    EXPECT_FALSE(frame->B_SaveDev->isEnabled());
    EXPECT_EQ(frame->iPlot1->graphCount(), 0);
    frame->add_single(0, true);
    prompts.file_answers.push_back(path("eqa.dev"));
    frame->B_SaveDev->click();
    ASSERT_EQ(prompts.messages.size(), 1U);
    EXPECT_EQ(prompts.messages[0].text, "This data set holds no device file channel lines.");
    EXPECT_EQ(prompts.messages[0].caption, "Save As Dev File");
    EXPECT_FALSE(std::filesystem::exists(path("eqa.dev")));
    EXPECT_EQ(frame->picks().row_count(), 1U);
}

TEST_F(DataFrame, RedrawErrorsPropagate)
{
    frame->add_single(3, true);
    ds->temp_source = 2;
    EXPECT_EQ(error_of([&] { frame->Redraw(); }), "CTD data not merged");
    // The grid still shows what it showed.
    EXPECT_EQ(cell(0, 0), "Line 3");
}

TEST(MakeWaterDialog, AsksForATemperatureBeforeClosing)
{
    testing::scripted_prompts prompts;
    TF_MakeWater dialog(prompts);
    EXPECT_EQ(dialog.windowTitle(), "Make Water Cal");
    EXPECT_TRUE(dialog.PD_ScatType->isHidden());
    EXPECT_TRUE(dialog.E_ScatWL->isHidden());

    water_cal_preview preview{{400.0, 500.0}, {0.1, 0.2}, {401.0, 501.0}, {0.3, 0.4}};
    dialog.E_Temp->setText("old");
    dialog.prepare(preview);
    EXPECT_EQ(dialog.E_Temp->text(), "");
    EXPECT_EQ(dialog.iPlot1->graph(0)->data()->size(), 2);
    EXPECT_EQ(dialog.iPlot1->graph(1)->data()->at(1)->value, 0.4);

    dialog.show();
    dialog.B_MakeWater->click();
    ASSERT_EQ(prompts.messages.size(), 1U);
    EXPECT_EQ(prompts.messages[0].text, "You must provide a temperature to create a water calibration file.");
    EXPECT_EQ(prompts.messages[0].caption, "How warm was it?");
    EXPECT_TRUE(dialog.isVisible());

    dialog.E_Temp->setText("20");
    dialog.B_MakeWater->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
}

} // namespace
} // namespace vantrel
