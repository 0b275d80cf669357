#include "plots/spectral_frame.hpp"
#include "plots_support.hpp"

#include <QCheckBox>
#include <QLabel>
#include <QScrollBar>

#include <gtest/gtest.h>

namespace vantrel {
namespace {

using testing::error_of;

class SpectralFrame : public testing::temp_dir_test {
protected:
    void SetUp() override
    {
        testing::temp_dir_test::SetUp();
        ds = testing::load_data(testing::write_ixo_file(path("cast.dat"), 40, {5}));
        frame.set_prompts(&prompts);
    }

    // The frame's points against the corrected record's a and c.
    void expect_shows(std::int32_t record)
    {
        const ixo_data rec = ds->correct_one_line(record);
        const auto a = frame.channel_points(0);
        const auto c = frame.channel_points(1);
        ASSERT_EQ(a.size(), 4U);
        ASSERT_EQ(c.size(), 4U);
        for (std::size_t j = 0; j < 4; ++j) {
            EXPECT_EQ(a[j].x, ds->a_wavelengths[j]);
            EXPECT_EQ(a[j].y, rec.a[j]);
            EXPECT_EQ(c[j].x, ds->c_wavelengths[j]);
            EXPECT_EQ(c[j].y, rec.c[j]);
        }
        EXPECT_EQ(frame.shown_record(), record);
    }

    testing::scripted_prompts prompts;
    std::unique_ptr<IXO_Data> ds;
    TFr_Spectral frame;
};

TEST_F(SpectralFrame, ShowsRecordOneOfANewDataSetAndWalksWithTheScrollBar)
{
    EXPECT_EQ(frame.plot()->title_element()->text(), "Spectral View");
    EXPECT_EQ(frame.plot()->graph(0)->name(), "Absorption");
    EXPECT_EQ(frame.plot()->graph(1)->name(), "Attenuation");

    frame.SetDataSet(ds.get());
    expect_shows(0);
    EXPECT_EQ(frame.L_xofxxx->text(), "Line number 1 of 40");
    EXPECT_EQ(frame.SB_Number->minimum(), 1);
    EXPECT_EQ(frame.SB_Number->maximum(), 40);

    frame.SB_Number->setValue(40);
    expect_shows(39);
    EXPECT_EQ(frame.L_xofxxx->text(), "Line number 40 of 40");

    // A new data set returns to record 1.
    auto other = testing::load_data(path("cast.dat"));
    frame.SetDataSet(other.get());
    EXPECT_EQ(frame.SB_Number->value(), 1);
    EXPECT_EQ(frame.shown_record(), 0);
}

TEST_F(SpectralFrame, DrawsCorrectedValuesAndLeavesNaNOut)
{
    frame.SetDataSet(ds.get());
    ds->apply_scat = true;
    ds->scat_method = 1;
    ds->set_scat_ref(715.0);
    frame.Redraw();
    expect_shows(0);
    // Baseline scattering takes the 715 nm value off every a value.
    EXPECT_NE(frame.channel_points(0)[0].y, testing::gen_a(0, 0));

    frame.SB_Number->setValue(6); // record 5 holds NaN at the first wavelength
    const auto a = frame.channel_points(0);
    ASSERT_EQ(a.size(), 3U);
    EXPECT_EQ(a[0].record, 1);
    EXPECT_EQ(frame.channel_points(1).size(), 3U);
}

TEST_F(SpectralFrame, LiveModeFollowsTheNewestRecordAndHidesTheScrollBar)
{
    frame.SetDataSet(ds.get());
    frame.SB_Number->setValue(3);
    frame.SetLiveMode(true);
    EXPECT_TRUE(frame.CB_RealTime->isChecked());
    EXPECT_TRUE(frame.CB_RealTime->isHidden());
    EXPECT_TRUE(frame.SB_Number->isHidden());

    ds->records.push_back(ds->records.back());
    ds->records.back().time += 250.0;
    ds->aux_onboard.rows.push_back(ds->aux_onboard.rows.back());
    ds->aux_merged.rows.push_back(ds->aux_merged.rows.back());
    frame.Redraw();
    expect_shows(40);
    EXPECT_EQ(frame.L_xofxxx->text(), "Line number 41 of 41");

    frame.SetLiveMode(false);
    EXPECT_FALSE(frame.SB_Number->isHidden());
    frame.Redraw();
    expect_shows(2);
}

TEST_F(SpectralFrame, ShowsTheMergedTemperatureAndSalinity)
{
    frame.SetDataSet(ds.get());
    EXPECT_EQ(frame.L_Temp->text(), "");
    EXPECT_EQ(frame.L_Saln->text(), "");

    testing::merge_ctd(*ds, path("cast.ctd"), 40);
    frame.SB_Number->setValue(3);
    // Row 2 of the merge: 12.54 C and 31.28 psu, shown with one decimal.
    EXPECT_EQ(frame.L_Temp->text(), "Temp: 12.5 C");
    EXPECT_EQ(frame.L_Saln->text(), "Saln: 31.3 psu");
    EXPECT_FALSE(frame.L_Temp->isHidden());
}

TEST_F(SpectralFrame, ZoomToFitClearedKeepsTheAxes)
{
    frame.SetDataSet(ds.get());
    const QCPRange fitted = frame.plot()->yAxis->range();
    EXPECT_LE(fitted.lower, testing::gen_a(0, 0));
    EXPECT_GE(fitted.upper, testing::gen_c(0, 3));

    frame.CB_Zoom->setChecked(false);
    frame.plot()->xAxis->setRange(400.0, 500.0);
    frame.plot()->yAxis->setRange(0.0, 0.3);
    frame.SB_Number->setValue(20);
    EXPECT_EQ(frame.plot()->xAxis->range(), QCPRange(400.0, 500.0));
    EXPECT_EQ(frame.plot()->yAxis->range(), QCPRange(0.0, 0.3));

    frame.CB_Zoom->setChecked(true);
    frame.Redraw();
    EXPECT_LT(frame.plot()->xAxis->range().lower, 413.0);
    EXPECT_GT(frame.plot()->xAxis->range().upper, 715.3);
}

TEST_F(SpectralFrame, DrawsNothingWithoutRecordsAndPassesCorrectionErrorsOn)
{
    frame.SetDataSet(nullptr);
    frame.Redraw();
    EXPECT_TRUE(frame.channel_points(0).empty());

    IXO_Data empty;
    frame.SetDataSet(&empty);
    EXPECT_TRUE(frame.channel_points(0).empty());

    frame.SetDataSet(ds.get());
    ds->temp_source = 2; // the CTD file, never merged
    EXPECT_EQ(error_of([&] { frame.Redraw(); }), "CTD data not merged");
}

} // namespace
} // namespace vantrel

namespace vantrel {
namespace {

class SaveImage : public testing::temp_dir_test {};

TEST_F(SaveImage, WritesPngOrPdfByTheChosenName)
{
    auto ds = testing::load_data(testing::write_ixo_file(path("cast.dat"), 10));
    testing::scripted_prompts prompts;
    TFr_Spectral frame;
    frame.set_prompts(&prompts);
    frame.resize(600, 400);
    frame.SetDataSet(ds.get());

    // The context menu's "Save Image..." asks the frame's prompts for the name.
    prompts.file_answers.push_back(path("spectrum.png"));
    prompts.file_answers.push_back(path("spectrum.pdf"));
    prompts.file_answers.push_back(path("no/such/dir/spectrum.png"));
    frame.plot()->save_image_as();
    frame.plot()->save_image_as();
    frame.plot()->save_image_as();
    ASSERT_EQ(prompts.save_questions.size(), 3U);
    EXPECT_EQ(prompts.save_questions[0].proposed, "Spectral_View.png");
    EXPECT_NE(prompts.save_questions[0].filter.find("*.pdf"), std::string::npos);

    EXPECT_EQ(testing::read_text(path("spectrum.png")).substr(1, 3), "PNG");
    EXPECT_EQ(testing::read_text(path("spectrum.pdf")).substr(0, 5), "%PDF-");
    ASSERT_EQ(prompts.messages.size(), 1U);
    EXPECT_EQ(prompts.messages[0].text,
              "Unable to save the image to " + path("no/such/dir/spectrum.png") + ".");

    // Cancelled: nothing asked beyond the name.
    frame.plot()->save_image_as();
    EXPECT_EQ(prompts.messages.size(), 1U);
}

} // namespace
} // namespace vantrel
