#include "app/ctd_columns_dialog.hpp"
#include "app/dialogs.hpp"
#include "app/postprocess_panel.hpp"
#include "app/realtime_panel.hpp"
#include "app/up_down.hpp"
#include "common/text_numbers.hpp"
#include "gui_support.hpp"
#include "plots/plot_window.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

#include <cmath>
#include <filesystem>

using namespace vantrel;
using namespace vantrel::testing;

namespace {

QString caption_of(const QAction* item)
{
    return item->text().section(QLatin1Char('\t'), 0, 0);
}

std::time_t local_time_of(int year, int month, int day, int hour, int minute, int second)
{
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

class main_window_test : public window_test {
protected:
    TFr_RealTime& rt() { return *window->Fr_RealTime; }
    TFr_PostProcess& pp() { return *window->Fr_PostProcess; }

    // Chooses an item of a pull-down as the user does.
    static void choose(QComboBox* list, int index)
    {
        list->setCurrentIndex(index);
        Q_EMIT list->activated(index);
    }
};

} // namespace

// ---------------------------------------------------------------- first activation and layout

TEST_F(main_window_test, first_activation_from_fresh_settings)
{
    TF_Main& w = open_window();

    EXPECT_EQ(w.windowTitle(), "Vantrel");
    EXPECT_EQ(w.PageControl1->currentIndex(), 0);
    EXPECT_EQ(w.PageControl1->tabText(0), "Data Acquisition");
    EXPECT_EQ(w.PageControl1->tabText(1), "Post Processing");
    EXPECT_EQ(rt().E_Device->text(), "");
    EXPECT_EQ(rt().E_CommPort->text(), "1");
    EXPECT_FALSE(w.M_AutoTemp->isChecked());
    EXPECT_FALSE(w.Acquisition->DataLoaded);
    EXPECT_TRUE(w.Acquisition->DataSet->records.empty());

    EXPECT_EQ(rt().PD_ScatType->currentText(), "Baseline Correction");
    EXPECT_EQ(pp().PD_Temp->currentIndex(), 0);
    EXPECT_EQ(pp().PD_Saln->currentIndex(), 0);
    EXPECT_EQ(pp().PD_Temp->itemText(1), "CTD Not Loaded");
    EXPECT_EQ(pp().PD_ScatType->currentText(), "Proportional Correction");
    EXPECT_EQ(pp().PD_ScatType->count(), 3);
    EXPECT_EQ(pp().E_IXOFile->text(), "(no file loaded)");
    EXPECT_EQ(pp().E_CTDFile->text(), "(no file loaded)");
    EXPECT_EQ(rt().E_Temp->text(), "21");
    EXPECT_EQ(rt().E_Saln->text(), "34");
    EXPECT_EQ(pp().E_Temp->text(), "21");
    EXPECT_EQ(pp().E_Saln->text(), "17");
    EXPECT_EQ(pp().E_ScatWL->text(), "715");
    EXPECT_FALSE(pp().Panel_Water->isVisibleTo(&pp()));
    EXPECT_FALSE(pp().B_LoadWater->isEnabled());
    EXPECT_FALSE(pp().CB_Water->isVisibleTo(&pp()));
    EXPECT_FALSE(pp().L_WaterTemp->isVisibleTo(&pp()));
    EXPECT_EQ(rt().UD_Port->minimum(), 0);
    EXPECT_EQ(rt().UD_Port->maximum(), 100);

    // Buttons bound to actions follow them.
    EXPECT_EQ(rt().B_Start->text(), "Start (F1)");
    EXPECT_TRUE(rt().B_Start->isEnabled());
    EXPECT_EQ(rt().B_Stop->text(), "Stop (F2)");
    EXPECT_FALSE(rt().B_Stop->isEnabled());
    EXPECT_FALSE(pp().B_LoadCTD->isEnabled());
    EXPECT_FALSE(w.B_PlotDepth->isEnabled());
    EXPECT_TRUE(w.B_PlotTime->isEnabled());
    EXPECT_TRUE(w.Timer2->isActive());
    EXPECT_FALSE(w.Timer1->isActive());
    EXPECT_EQ(w.Timer1->interval(), 100);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(main_window_test, actions_carry_their_captions_shortcuts_and_first_enabled_state)
{
    TF_Main& w = open_window();
    struct row {
        QAction* action;
        const char* name;
        const char* caption;
        QKeySequence shortcut;
        bool enabled;
    };
    const row rows[] = {
        {w.A_Start, "A_Start", "Start", Qt::Key_F1, true},
        {w.A_Stop, "A_Stop", "Stop", Qt::Key_F2, false},
        {w.A_SaveBinary, "A_SaveBinary", "Save Binary", {}, false},
        {w.A_LoadCTD, "A_LoadCTD", "Load CTD Data", {}, false},
        {w.A_Time, "A_Time", "Plot Time", {}, true},
        {w.A_Spectra, "A_Spectra", "Plot Spectra", {}, true},
        {w.A_Depth, "A_Depth", "Plot Depth", {}, false},
        {w.A_ReferenceSpectra, "A_ReferenceSpectra", "Plot Reference Spectra", {}, false},
        {w.A_SaveFromDevice, "A_SaveFromDevice", "Save Raw Data From Device", {}, false},
        {w.A_SaveWCorrections, "A_SaveWCorrections", "Save w/Corrections", {}, true},
        {w.A_LoadBinary, "A_LoadBinary", "Open Binary File", {}, true},
        {w.A_STD, "A_STD", "Plot Standard Deviation", {}, true},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(r.action->objectName(), r.name);
        EXPECT_EQ(w.findChild<QAction*>(r.name), r.action);
        EXPECT_EQ(r.action->text(), r.caption);
        EXPECT_EQ(r.action->shortcut(), r.shortcut);
        EXPECT_EQ(r.action->isEnabled(), r.enabled);
    }
    EXPECT_EQ(w.FileOpen1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
    EXPECT_EQ(w.M_Exit->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_X));
}

TEST_F(main_window_test, menus_list_their_items_in_order_with_separators_and_hidden_items)
{
    TF_Main& w = open_window();
    struct item {
        QString caption; // "-" for a separator
        bool visible;
    };
    const auto entries = [](const QMenu* menu) {
        std::vector<item> got;
        for (const QAction* a : menu->actions())
            got.push_back({a->isSeparator() ? QStringLiteral("-") : caption_of(a), a->isVisible()});
        return got;
    };
    const auto expect_menu = [&](const QMenu* menu, const QString& title, const std::vector<item>& expected) {
        SCOPED_TRACE(title.toStdString());
        EXPECT_EQ(menu->title(), title);
        const auto got = entries(menu);
        ASSERT_EQ(got.size(), expected.size());
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].caption, expected[i].caption) << "item " << i;
            EXPECT_EQ(got[i].visible, expected[i].visible) << expected[i].caption.toStdString();
        }
    };
    ASSERT_EQ(w.menuBar()->actions().size(), 4);
    expect_menu(w.M_File, "&File",
                {{"&Open ac File For Post Processing", true},
                 {"Load CTD Data", true},
                 {"Open &Binary File For Post Processing", true},
                 {"-", true},
                 {"Start Acquisition", true},
                 {"Stop Acquisition and Save", true},
                 {"-", true},
                 {"Save Raw Binary From Device", true},
                 {"Save Raw Data From Device", true},
                 {"Save With Corrected Data From Device", false},
                 {"-", true},
                 {"Exit", true}});
    expect_menu(w.M_Options, "Options",
                {{"Show Water Corrections", true},
                 {"Automatically update temperature", false},
                 {"Pellion Mode", false}});
    expect_menu(w.M_Graphs, "Graphs",
                {{"Plot Time", true},
                 {"Plot Depth", true},
                 {"Plot Spectrum", true},
                 {"-", true},
                 {"Plot Reference Spectra (eqa only)", false},
                 {"Plot Standard Deviation", false}});
    expect_menu(w.M_About, "About", {{"About Vantrel", true}});

    // Entries bound to actions show the action's key and follow its state.
    const QAction* start_item = w.findChild<QAction*>("M_Start");
    ASSERT_NE(start_item, nullptr);
    EXPECT_TRUE(start_item->text().endsWith(QStringLiteral("\tF1")));
    const QAction* stop_item = w.findChild<QAction*>("M_Stop");
    ASSERT_NE(stop_item, nullptr);
    EXPECT_FALSE(stop_item->isEnabled());
    w.A_Stop->setEnabled(true);
    EXPECT_TRUE(stop_item->isEnabled());
}

TEST_F(main_window_test, start_up_makes_the_other_windows_hidden)
{
    TF_Main& w = open_window();
    struct row {
        QWidget* window;
        const char* name;
        const char* caption;
    };
    const row rows[] = {
        {w.F_LoadCTD, "F_LoadCTD", "Choose CTD columns"},
        {w.F_ContSaving, "F_ContSaving", "Continue Saving?"},
        {w.F_FacCalQuery, "F_FacCalQuery", "Who made that devfile, anyway?"},
        {w.AboutBox1, "AboutBox1", "About"},
        {w.F_TimeShift, "F_TimeShift", "F_TimeShift"},
        {w.Form1, "Form1", "F_Scattering"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(r.window->objectName(), r.name);
        EXPECT_EQ(r.window->windowTitle(), r.caption);
        EXPECT_FALSE(r.window->isVisible());
    }
    EXPECT_EQ(w.objectName(), "F_Main");
}

TEST_F(main_window_test, stored_settings_are_shown_and_the_user_choosing_a_page_saves_it)
{
    store_setting("devfile", "/meters/ixo_7.dev");
    store_setting("commport_name", "/dev/ttyUSB3");
    for (const auto& [name, value] : std::vector<std::pair<QString, int>>{{"ctd_time", 1},
                                                                          {"ctd_pres", 2},
                                                                          {"ctd_temp", 3},
                                                                          {"ctd_saln", 5},
                                                                          {"commport", 7},
                                                                          {"tab_index", 1},
                                                                          {"autotemp", 1}})
        store_setting(name, value);

    TF_Main& w = open_window();
    EXPECT_EQ(w.PageControl1->currentIndex(), 1);
    EXPECT_EQ(rt().E_Device->text(), "/meters/ixo_7.dev");
    EXPECT_EQ(rt().E_CommPort->text(), "7");
    EXPECT_EQ(rt().PD_PortName->currentText(), "/dev/ttyUSB3");
    // The automatic temperature always starts off; nothing was saved yet.
    EXPECT_FALSE(w.M_AutoTemp->isChecked());
    EXPECT_EQ(stored_setting("autotemp").toInt(), 1);

    // A second activation (after a dialog, say) changes nothing.
    rt().E_Device->setText("/elsewhere.dev");
    w.FormActivate();
    EXPECT_EQ(rt().E_Device->text(), "/elsewhere.dev");
    EXPECT_EQ(w.PageControl1->currentIndex(), 1);

    w.PageControl1->setCurrentIndex(0); // the user clicks the tab
    EXPECT_EQ(stored_setting("tab_index").toInt(), 0);
    EXPECT_EQ(stored_setting("autotemp").toInt(), 0);
    EXPECT_EQ(stored_setting("commport").toInt(), 7);
}

TEST_F(main_window_test, ctrl_o_shows_the_post_processing_page_first_and_does_not_store_it)
{
    store_setting("tab_index", 0);
    TF_Main& w = open_window();
    int page_at_dialog = -1;
    prompts.on_file_dialog = [&] { page_at_dialog = w.PageControl1->currentIndex(); };
    prompts.answer_file(std::nullopt);

    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    QTest::keyClick(&w, Qt::Key_O, Qt::ControlModifier);

    ASSERT_EQ(prompts.file_dialogs.size(), 1U);
    EXPECT_EQ(prompts.file_dialogs[0].title, "Open ac file");
    EXPECT_EQ(page_at_dialog, 1);
    EXPECT_EQ(w.PageControl1->currentIndex(), 1);
    EXPECT_EQ(stored_setting("tab_index").toInt(), 0);
    EXPECT_FALSE(w.Acquisition->DataLoaded);
}

TEST_F(main_window_test, f1_starts_only_from_the_acquisition_page)
{
    TF_Main& w = open_window();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));

    w.PageControl1->setCurrentIndex(1);
    const IXO_Data* before = w.Acquisition->DataSet.get();
    QTest::keyClick(&w, Qt::Key_F1);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_TRUE(w.A_Start->isEnabled());
    EXPECT_FALSE(w.Timer1->isActive());
    EXPECT_EQ(w.Acquisition->DataSet.get(), before) << "a start replaces the data set";

    // On the acquisition page the key starts: with no device file the start
    // ends at once with the device file's message, captioned by the program.
    w.PageControl1->setCurrentIndex(0);
    QTest::keyClick(&w, Qt::Key_F1);
    ASSERT_EQ(prompts.messages.size(), 1U);
    EXPECT_EQ(prompts.messages[0].caption, "Vantrel");
    EXPECT_FALSE(prompts.messages[0].ok_cancel);
    EXPECT_TRUE(w.A_Start->isEnabled());
    EXPECT_FALSE(w.Timer1->isActive());
}

TEST_F(main_window_test, clock_label_shows_the_local_time_with_its_newline)
{
    fixed_time = local_time_of(2009, 8, 5, 14, 3, 7);
    TF_Main& w = open_window();
    w.Timer2Timer();
    EXPECT_EQ(rt().L_Clock->text(), "Wed Aug 05 14:03:07 2009\n");
}

// ---------------------------------------------------------------- data files

TEST_F(main_window_test, loading_a_data_file_shows_it_and_sets_the_controls)
{
    const std::string file = example("ixo_cast.dat");
    TF_Main& w = open_window();
    pp().CB_Water->setChecked(true);
    pp().CB_Water->show();
    load_data(file);

    ASSERT_TRUE(prompts.messages.empty()) << prompts.message_texts().join("|").toStdString();
    ASSERT_EQ(prompts.file_dialogs.size(), 1U);
    EXPECT_EQ(prompts.file_dialogs[0].title, "Open ac file");
    EXPECT_TRUE(w.Acquisition->DataLoaded);
    EXPECT_FALSE(data().records.empty());
    EXPECT_EQ(pp().E_IXOFile->text().toStdString(), file);
    EXPECT_EQ(w.windowTitle().toStdString(), file);
    EXPECT_EQ(pp().E_CTDFile->text(), "");
    EXPECT_TRUE(w.A_LoadCTD->isEnabled());
    EXPECT_TRUE(pp().B_LoadCTD->isEnabled());
    EXPECT_TRUE(pp().B_LoadWater->isEnabled());
    EXPECT_FALSE(w.A_Depth->isEnabled());
    EXPECT_FALSE(w.A_SaveBinary->isEnabled());
    EXPECT_FALSE(w.A_SaveFromDevice->isEnabled());
    EXPECT_FALSE(w.A_ReferenceSpectra->isEnabled());
    EXPECT_FALSE(pp().CB_Water->isChecked());
    EXPECT_FALSE(pp().CB_Water->isVisibleTo(&pp()));
    EXPECT_EQ(data().temp_source, 1);
    EXPECT_FALSE(data().apply_temp || data().apply_saln || data().apply_scat || data().apply_water);
    // The panel's settings went into the data set: the reference
    // wavelength box now names the a wavelength nearest to 715.
    EXPECT_EQ(data().const_temp, 21.0);
    EXPECT_EQ(data().const_saln, 17.0);
    EXPECT_EQ(data().scat_method, 2);
    EXPECT_EQ(pp().E_ScatWL->text().toStdString(), text::general(data().scat_ref_a_wl));
    EXPECT_LT(std::fabs(data().scat_ref_a_wl - 715.0), 5.0);
}

TEST_F(main_window_test, a_data_file_that_fails_to_load_is_reported_with_its_caption)
{
    write_text(path("notes.dat"), "some notes\nnot a meter\n");
    struct row {
        std::string file;
        const char* message;
    };
    const row rows[] = {
        {path("missing.dat"), "Unable to open file."},
        {path("notes.dat"), "File does not appear to be an IXO or EQA file."},
    };
    TF_Main& w = open_window();
    load_data(example("ixo_cast.dat"));
    ASSERT_TRUE(w.Acquisition->DataLoaded);
    for (const row& r : rows) {
        SCOPED_TRACE(r.file);
        prompts.messages.clear();
        load_data(r.file);
        ASSERT_EQ(prompts.messages.size(), 1U);
        EXPECT_EQ(prompts.messages[0].text, r.message);
        EXPECT_EQ(prompts.messages[0].caption, "Error Opening File");
        EXPECT_FALSE(w.Acquisition->DataLoaded);
        EXPECT_TRUE(data().records.empty());
        EXPECT_EQ(pp().E_IXOFile->text().toStdString(), example("ixo_cast.dat"));
    }
    // Nothing half-loaded is left for the corrections to work on.
    pp().CB_Temp->setChecked(true);
    EXPECT_FALSE(data().apply_temp);
    EXPECT_EQ(prompts.messages.size(), 1U);
}

TEST_F(main_window_test, correction_controls_change_nothing_while_no_data_is_loaded)
{
    TF_Main& w = open_window();
    w.PageControl1->setCurrentIndex(1);
    pp().CB_Temp->setChecked(true);
    pp().CB_ScatCorr->setChecked(true);
    pp().E_Temp->setText("5");
    choose(pp().PD_ScatType, 1);
    QTest::keyClick(pp().E_ScatWL, Qt::Key_Return);
    QTest::mouseClick(pp().UpDown1->up_button, Qt::LeftButton);

    EXPECT_FALSE(data().apply_temp);
    EXPECT_FALSE(data().apply_scat);
    EXPECT_TRUE(std::isnan(data().const_temp));
    EXPECT_EQ(data().scat_method, 0);
    EXPECT_EQ(pp().E_ScatWL->text(), "715");
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(main_window_test, corrections_redraw_every_frame_only_once_data_is_loaded)
{
    TF_Main& w = open_window();
    spy_frame& spy = add_spy();
    w.PageControl1->setCurrentIndex(1);
    pp().CB_Temp->setChecked(true);
    pp().E_Saln->setText("30");
    choose(pp().PD_ScatType, 2);
    EXPECT_EQ(spy.redraws, 0);

    load_data(example("ixo_cast.dat"));
    EXPECT_EQ(spy.shown, &data()) << "the frames follow the new data set";
    EXPECT_FALSE(spy.live);
    const int after_load = spy.redraws;
    EXPECT_GE(after_load, 1);
    pp().CB_Saln->setChecked(true);
    EXPECT_EQ(spy.redraws, after_load + 1);
    pp().E_Temp->setText("12");
    EXPECT_EQ(spy.redraws, after_load + 2);
}

TEST_F(main_window_test, correction_controls_reach_the_data_set)
{
    open_window();
    load_data(example("ixo_cast.dat"));
    ASSERT_TRUE(prompts.messages.empty());

    pp().CB_Temp->setChecked(true);
    pp().E_Temp->setText("16.5 C");
    pp().CB_Saln->setChecked(true);
    pp().E_Saln->setText("psu");
    pp().CB_ScatCorr->setChecked(true);
    EXPECT_TRUE(data().apply_temp);
    EXPECT_EQ(data().const_temp, 16.5);
    EXPECT_TRUE(data().apply_saln);
    EXPECT_EQ(data().const_saln, 0.0); // no leading number
    EXPECT_TRUE(data().apply_scat);

    const int methods[] = {2, 1, 3};
    for (int item = 0; item < 3; ++item) {
        choose(pp().PD_ScatType, item);
        EXPECT_EQ(data().scat_method, methods[item]) << "item " << item;
    }

    // Enter sets the reference to the a wavelength nearest to the number typed;
    // the arrows step one a wavelength at a time.
    const auto& a = data().a_wavelengths;
    pp().E_ScatWL->setText("600");
    QTest::keyClick(pp().E_ScatWL, Qt::Key_Return);
    const std::int32_t i = data().scat_ref_a_index;
    ASSERT_GT(i, 0);
    EXPECT_EQ(pp().E_ScatWL->text().toStdString(), text::general(a[static_cast<std::size_t>(i)]));
    QTest::mouseClick(pp().UpDown1->up_button, Qt::LeftButton);
    EXPECT_EQ(data().scat_ref_a_index, i + 1);
    EXPECT_EQ(pp().E_ScatWL->text().toStdString(), text::general(a[static_cast<std::size_t>(i + 1)]));
    QTest::mouseClick(pp().UpDown1->down_button, Qt::LeftButton);
    QTest::mouseClick(pp().UpDown1->down_button, Qt::LeftButton);
    EXPECT_EQ(data().scat_ref_a_index, i - 1);
    // The acquisition panel's box is not touched by the post-processing page.
    EXPECT_EQ(rt().E_ScatWL->text(), "715");
}

TEST_F(main_window_test, ctd_file_not_merged_falls_back_to_the_constant)
{
    open_window();
    load_data(example("ixo_cast.dat"));
    choose(pp().PD_Temp, 1); // "CTD Not Loaded"
    EXPECT_EQ(pp().PD_Temp->currentIndex(), 0);
    EXPECT_TRUE(pp().E_Temp->isVisibleTo(&pp()));
    EXPECT_EQ(data().temp_source, 1);
    choose(pp().PD_Saln, 1);
    EXPECT_EQ(pp().PD_Saln->currentIndex(), 0);
    EXPECT_TRUE(pp().E_Saln->isVisibleTo(&pp()));
    EXPECT_EQ(data().saln_source, 1);
}

// ---------------------------------------------------------------- CTD files

TEST_F(main_window_test, loading_ctd_checks_the_columns_merges_and_switches_the_sources)
{
    const std::string ctd = example("ixo_cast.ctd");
    TF_Main& w = open_window();
    load_data(example("ixo_cast.dat"));

    prompts.answer_file(QString::fromStdString(ctd));
    QString preview;
    prompts.answer_modal([&](QDialog& d) {
        auto& dialog = dynamic_cast<TF_LoadCTD&>(d);
        preview = dialog.RE_Preview->toPlainText();
        EXPECT_EQ(dialog.E_Time->text(), "1");
        EXPECT_EQ(dialog.E_Pres->text(), "2");
        EXPECT_EQ(dialog.E_Temp->text(), "3");
        EXPECT_EQ(dialog.E_Saln->text(), "5");
        // A column past the preview's fields is refused and the dialog stays.
        dialog.E_Temp->setText("6");
        dialog.E_Time->setText("none");
        QTest::mouseClick(dialog.B_OK, Qt::LeftButton);
        EXPECT_TRUE(dialog.isVisible());
        dialog.E_Time->setText("1");
        dialog.E_Temp->setText("3");
        QTest::mouseClick(dialog.B_OK, Qt::LeftButton);
        return dialog.result();
    });
    QTest::mouseClick(pp().B_LoadCTD, Qt::LeftButton);

    ASSERT_EQ(prompts.file_dialogs.size(), 2U);
    EXPECT_EQ(prompts.file_dialogs[1].title, "Open CTD file");
    EXPECT_TRUE(preview.startsWith("# Synthetic CTD cast"));
    ASSERT_EQ(prompts.messages.size(), 1U);
    EXPECT_EQ(prompts.messages[0].text, "The Time column has an invalid value.");
    EXPECT_EQ(stored_setting("ctd_temp").toInt(), 3);
    EXPECT_EQ(stored_setting("ctd_saln").toInt(), 5);

    EXPECT_TRUE(data().ctd_merged);
    EXPECT_EQ(pp().E_CTDFile->text().toStdString(), ctd);
    for (QComboBox* list : {pp().PD_Temp, pp().PD_Saln}) {
        ASSERT_EQ(list->count(), 2);
        EXPECT_EQ(list->itemText(0), "Constant");
        EXPECT_EQ(list->itemText(1), "CTD File");
        EXPECT_EQ(list->currentIndex(), 1);
    }
    EXPECT_FALSE(pp().E_Temp->isVisibleTo(&pp()));
    EXPECT_FALSE(pp().E_Saln->isVisibleTo(&pp()));
    EXPECT_TRUE(pp().CB_Temp->isChecked());
    EXPECT_TRUE(pp().CB_Saln->isChecked());
    EXPECT_TRUE(w.A_Depth->isEnabled());
    EXPECT_EQ(data().temp_source, 2);
    EXPECT_EQ(data().saln_source, 2);
    EXPECT_TRUE(data().apply_temp);

    // Another data file: the constant again, but the CTD wording stays.
    load_data(example("ixo_cast.dat"));
    EXPECT_EQ(pp().PD_Temp->currentIndex(), 0);
    EXPECT_EQ(pp().PD_Temp->itemText(1), "CTD File");
    EXPECT_TRUE(pp().E_Temp->isVisibleTo(&pp()));
    EXPECT_FALSE(w.A_Depth->isEnabled());
    EXPECT_FALSE(data().ctd_merged);
}

TEST_F(main_window_test, ctd_dialog_cancel_and_an_unreadable_file_load_nothing)
{
    TF_Main& w = open_window();
    load_data(example("ixo_cast.dat"));

    prompts.answer_file(QString::fromStdString(example("ixo_cast.ctd")));
    prompts.answer_modal([](QDialog& d) {
        auto& dialog = dynamic_cast<TF_LoadCTD&>(d);
        dialog.E_Temp->setText("4");
        QTest::mouseClick(dialog.B_Cancel, Qt::LeftButton);
        return d.result();
    });
    w.A_LoadCTD->trigger();
    EXPECT_FALSE(data().ctd_merged);
    EXPECT_EQ(pp().E_CTDFile->text(), "");
    EXPECT_EQ(w.Settings->ctd_temp, 3);
    EXPECT_NE(stored_setting("ctd_temp").toInt(), 4);

    prompts.answer_file(QString::fromStdString(path("gone.ctd")));
    w.A_LoadCTD->trigger();
    ASSERT_EQ(prompts.messages.size(), 1U);
    EXPECT_EQ(prompts.messages[0].text, "Unable to open file.");
    EXPECT_EQ(prompts.messages[0].caption, "Error opening file");
    EXPECT_EQ(prompts.modal_shown.size(), 1U);
    EXPECT_FALSE(data().ctd_merged);
}

TEST_F(main_window_test, a_ctd_file_gone_before_it_is_read_is_reported_and_nothing_is_merged)
{
    const std::string ctd = path("cast.ctd");
    write_text(ctd, read_text(example("ixo_cast.ctd")));
    TF_Main& w = open_window();
    load_data(example("ixo_cast.dat"));
    prompts.answer_file(QString::fromStdString(ctd));
    prompts.answer_modal([&](QDialog& d) {
        std::filesystem::remove(ctd); // after the preview, before the columns are read
        QTest::mouseClick(dynamic_cast<TF_LoadCTD&>(d).B_OK, Qt::LeftButton);
        return d.result();
    });
    w.A_LoadCTD->trigger();

    // The read's failure has no caption of its own; with no CTD row there is
    // nothing to merge, which is said too, and the sources stay as they were.
    ASSERT_EQ(prompts.messages.size(), 2U);
    EXPECT_EQ(prompts.messages[0].text, "Unable to open file.");
    EXPECT_EQ(prompts.messages[0].caption, "Vantrel");
    EXPECT_EQ(prompts.messages[1].text, "CTD file holds no data.");
    EXPECT_EQ(pp().E_CTDFile->text().toStdString(), ctd);
    EXPECT_FALSE(data().ctd_merged);
    EXPECT_EQ(pp().PD_Temp->itemText(1), "CTD Not Loaded");
    EXPECT_FALSE(w.A_Depth->isEnabled());
}

// ---------------------------------------------------------------- water blanks

TEST_F(main_window_test, loading_a_water_blank_shows_its_temperature_and_applies_it)
{
    TF_Main& w = open_window();
    w.M_WaterCorrections->trigger();
    EXPECT_TRUE(w.M_WaterCorrections->isChecked());
    EXPECT_TRUE(pp().Panel_Water->isVisibleTo(&pp()));
    load_data(fixture("ixo_small.dat"));

    prompts.answer_file(QString::fromStdString(fixture("water_small.wcf")));
    QTest::mouseClick(pp().B_LoadWater, Qt::LeftButton);

    ASSERT_TRUE(prompts.messages.empty()) << prompts.message_texts().join("|").toStdString();
    const auto& dialog = prompts.file_dialogs.back();
    EXPECT_EQ(dialog.title, "Open Water Blank");
    EXPECT_EQ(dialog.filter, "Water Calibration Files|*.wcf|All Files|*.*");
    EXPECT_EQ(w.OpenDialog1.filter, "All Files|*.*");
    EXPECT_EQ(pp().L_WaterTemp->text(), "Water Calibration Temperature: 20.5");
    EXPECT_TRUE(pp().L_WaterTemp->isVisibleTo(&pp()));
    EXPECT_EQ(pp().E_Water->text().toStdString(), fixture("water_small.wcf"));
    EXPECT_TRUE(pp().CB_Water->isVisibleTo(&pp()));
    EXPECT_TRUE(pp().CB_Water->isChecked());
    EXPECT_TRUE(data().water_loaded);
    EXPECT_TRUE(data().apply_water);

    pp().CB_Water->setChecked(false);
    EXPECT_FALSE(data().apply_water);
    w.M_WaterCorrections->trigger();
    EXPECT_FALSE(pp().Panel_Water->isVisibleTo(&pp()));
}

TEST_F(main_window_test, a_water_blank_that_does_not_fit_is_reported)
{
    TF_Main& w = open_window();
    load_data(example("ixo_cast.dat"));
    prompts.answer_file(QString::fromStdString(fixture("water_small.wcf")));
    QTest::mouseClick(pp().B_LoadWater, Qt::LeftButton);
    ASSERT_EQ(prompts.messages.size(), 1U);
    EXPECT_EQ(prompts.messages[0].text, "Water has differing number of wavelengths than data file!");
    EXPECT_EQ(prompts.messages[0].caption, "Error loading file");
    EXPECT_FALSE(pp().CB_Water->isVisibleTo(&pp()));
    EXPECT_EQ(pp().E_Water->text(), "");

    // A cancelled choice still leaves the all-files filter.
    w.OpenDialog1.filter = "something else";
    prompts.answer_file(std::nullopt);
    QTest::mouseClick(pp().B_LoadWater, Qt::LeftButton);
    EXPECT_EQ(w.OpenDialog1.filter, "All Files|*.*");
}

// ---------------------------------------------------------------- saving processed data

TEST_F(main_window_test, save_proposes_the_corrected_name_and_writes_what_the_command_line_writes)
{
    fixed_time = local_time_of(2010, 1, 2, 9, 0, 0);
    const std::string input = example("ixo_cast.dat");
    open_window();
    load_data(input);
    pp().CB_Temp->setChecked(true);
    pp().E_Temp->setText("16.5");
    pp().CB_Saln->setChecked(true);
    pp().E_Saln->setText("33.2");
    pp().CB_ScatCorr->setChecked(true);
    choose(pp().PD_ScatType, 0);

    const std::string saved = path("window.dat");
    prompts.answer_file(QString::fromStdString(saved));
    QTest::mouseClick(pp().B_Save, Qt::LeftButton);

    ASSERT_TRUE(prompts.messages.empty()) << prompts.message_texts().join("|").toStdString();
    const auto& dialog = prompts.file_dialogs.back();
    EXPECT_TRUE(dialog.saving);
    EXPECT_TRUE(dialog.overwrite_prompt);
    EXPECT_EQ(dialog.filter, "All Files (*.*)|*.*");
    EXPECT_EQ(dialog.file_name.toStdString(), example("ixo_cast") + "_corrected_20100102090101.dat");

    // The box now holds the a wavelength the reference went to; the command
    // line is given that number, as the window gives it to the data set.
    const std::string by_cli = path("cli.dat");
    const std::string command = std::string("\"") + VANTREL_CLI + "\" process \"" + input + "\" -o \"" +
                                by_cli +
                                "\" --temperature 16.5 --salinity 33.2 --temperature-correction "
                                "--salinity-correction --scattering proportional --reference-wavelength " +
                                pp().E_ScatWL->text().toStdString();
    ASSERT_EQ(std::system(command.c_str()), 0);
    const auto written = read_lines(saved);
    const auto expected = read_lines(by_cli);
    ASSERT_EQ(written.size(), expected.size());
    for (std::size_t i = 0; i < written.size(); ++i)
        ASSERT_EQ(written[i], expected[i]) << "line " << i + 1;
}

TEST_F(main_window_test, processed_name_counts_minute_and_second_from_one)
{
    fixed_time = local_time_of(2009, 8, 5, 23, 59, 59);
    open_window();
    load_data(fixture("ixo_small.dat"));
    prompts.answer_file(std::nullopt);
    QTest::mouseClick(pp().B_Save, Qt::LeftButton);
    EXPECT_EQ(prompts.file_dialogs.back().file_name.toStdString(),
              fixture("ixo_small") + "_corrected_20090805236060.dat");
}

// ---------------------------------------------------------------- device file, port and settings

TEST_F(main_window_test, choosing_the_device_file_and_the_port_saves_the_settings)
{
    TF_Main& w = open_window();
    const std::string dev = example("ixo_86.dev");
    prompts.answer_file(QString::fromStdString(dev));
    QTest::mouseClick(rt().B_Device, Qt::LeftButton);

    const auto& dialog = prompts.file_dialogs.back();
    EXPECT_EQ(dialog.title, "Choose Device File");
    EXPECT_EQ(dialog.filter, "Device Files (*.dev)|*.DEV|All Files|*.*");
    EXPECT_EQ(w.OpenDialog1.filter, "All Files (*.*)|*.*");
    EXPECT_EQ(rt().E_Device->text().toStdString(), dev);
    EXPECT_EQ(stored_setting("devfile").toString().toStdString(), dev);
    EXPECT_EQ(stored_setting("commport").toInt(), 1);

    // Typing saves nothing; a click on the arrows saves the port and the device path.
    rt().E_CommPort->setText("41");
    rt().E_Device->setText("/typed.dev");
    EXPECT_EQ(stored_setting("commport").toInt(), 1);
    QTest::mouseClick(rt().UD_Port->up_button, Qt::LeftButton);
    EXPECT_EQ(rt().E_CommPort->text(), "42");
    EXPECT_EQ(stored_setting("commport").toInt(), 42);
    EXPECT_EQ(stored_setting("devfile").toString(), "/typed.dev");

    rt().PD_PortName->setEditText("/dev/ttyACM0");
    Q_EMIT rt().PD_PortName->lineEdit()->editingFinished();
    EXPECT_EQ(stored_setting("commport_name").toString(), "/dev/ttyACM0");
}

TEST_F(main_window_test, settings_that_cannot_be_written_reach_the_general_error_report)
{
    // A settings file inside what is a file, not a directory: nobody can write it.
    write_text(path("plain"), "");
    ::setenv("VANTREL_SETTINGS", path("plain/settings.ini").c_str(), 1);
    open_window();
    QTest::mouseClick(rt().UD_Port->up_button, Qt::LeftButton);
    ASSERT_EQ(prompts.messages.size(), 1U);
    EXPECT_EQ(prompts.messages[0].text, "Unable to write to registry!");
    EXPECT_EQ(prompts.messages[0].caption, "Vantrel");
    // The program goes on with the value in memory.
    EXPECT_EQ(rt().E_CommPort->text(), "2");
    EXPECT_EQ(window->Settings->commport, 2);
}

// ---------------------------------------------------------------- raw captures

TEST_F(main_window_test, replay_needs_a_device_file_of_a_known_model)
{
    write_text(path("odd.dev"), "XYZ meter\n");
    TF_Main& w = open_window();
    rt().E_Device->setText(QString::fromStdString(path("odd.dev")));
    prompts.answer_file(QString::fromStdString(example("ixo_86_capture.bin")));
    w.M_OpenBinary->trigger();
    EXPECT_EQ(prompts.file_dialogs.back().title, "Open Raw Binary Data");
    EXPECT_EQ(prompts.file_dialogs.back().filter, "Binary Files|*.bin|All Files|*.*");
    EXPECT_EQ(w.OpenDialog1.filter, "All Files|*.*");
    ASSERT_EQ(prompts.messages.size(), 1U);
    EXPECT_EQ(prompts.messages[0].text, "Invalid device file");
    EXPECT_EQ(prompts.messages[0].caption, "Unable to parse device file");
    EXPECT_FALSE(w.Acquisition->DataLoaded);
}

TEST_F(main_window_test, replay_of_a_capture_fills_the_data_set_on_the_acquisition_page)
{
    store_setting("tab_index", 1);
    TF_Main& w = open_window();
    rt().E_Device->setText(QString::fromStdString(example("ixo_86.dev")));
    const QString caption = w.windowTitle();

    // A capture with no complete record for this device file.
    write_text(path("empty.bin"), "");
    prompts.answer_file(QString::fromStdString(path("empty.bin")));
    w.M_OpenBinary->trigger();
    ASSERT_EQ(prompts.messages.size(), 1U);
    EXPECT_EQ(prompts.messages[0].text,
              "Unable to read binary file.  Do you have the right devfile specified?");
    EXPECT_EQ(prompts.messages[0].caption, "Unable to collect data from file");
    EXPECT_EQ(w.PageControl1->currentIndex(), 0);
    EXPECT_FALSE(w.Acquisition->DataLoaded);

    w.PageControl1->setCurrentIndex(1);
    prompts.answer_file(QString::fromStdString(example("ixo_86_capture.bin")));
    w.M_OpenBinary->trigger();
    EXPECT_EQ(prompts.messages.size(), 1U);
    EXPECT_TRUE(w.Acquisition->DataLoaded);
    EXPECT_EQ(data().model, 1);
    EXPECT_EQ(data().records.size(), w.Acquisition->Reader->records.size());
    // The same records as the example's replay by the command line.
    IXO_Data expected;
    expected.load_file(example("ixo_86_capture.dat"), false);
    ASSERT_EQ(data().records.size(), expected.records.size());
    EXPECT_EQ(data().records.back().time, expected.records.back().time);
    EXPECT_FALSE(data().records.empty());
    EXPECT_EQ(w.PageControl1->currentIndex(), 0);
    EXPECT_EQ(stored_setting("tab_index").toInt(), 1) << "the page shown by the replay is not stored";
    EXPECT_EQ(w.windowTitle(), caption);
    EXPECT_EQ(pp().E_IXOFile->text(), "(no file loaded)");
    EXPECT_FALSE(w.A_ReferenceSpectra->isEnabled());
    EXPECT_FALSE(w.A_SaveBinary->isEnabled());
}

TEST_F(main_window_test, a_device_file_that_fails_in_replay_reaches_the_general_error_report)
{
    write_text(path("broken.dev"), "IXO broken\n");
    TF_Main& w = open_window();
    w.PageControl1->setCurrentIndex(1);
    rt().E_Device->setText(QString::fromStdString(path("broken.dev")));
    prompts.answer_file(QString::fromStdString(example("ixo_86_capture.bin")));
    w.M_OpenBinary->trigger();
    ASSERT_EQ(prompts.messages.size(), 1U);
    EXPECT_EQ(prompts.messages[0].caption, "Vantrel");
    EXPECT_FALSE(prompts.messages[0].text.isEmpty());
    EXPECT_EQ(w.PageControl1->currentIndex(), 1);
}

// ---------------------------------------------------------------- graphs

TEST_F(main_window_test, built_in_graphs_fill_the_panels_and_plot_commands_open_named_windows)
{
    TF_Main& w = open_window();
    auto* upper = w.Panel_Graph1->findChild<TFr_ParentFrame*>("BuiltinGraph1");
    auto* lower = w.Panel_Graph2->findChild<TFr_ParentFrame*>("BuiltinGraph2");
    ASSERT_NE(upper, nullptr);
    ASSERT_NE(lower, nullptr);
    EXPECT_STREQ(upper->metaObject()->className(), "vantrel::TFr_Spectral");
    EXPECT_STREQ(lower->metaObject()->className(), "vantrel::TFr_Time");
    ASSERT_EQ(w.Graphs->graphs().size(), 3U); // and the selected-data frame
    EXPECT_EQ(w.Graphs->graphs()[0], upper);
    EXPECT_EQ(w.Graphs->graphs()[1], lower);
    EXPECT_FALSE(w.Graphs->graphs()[2]->window()->isVisible()); // the hidden "Selected Data"

    QTest::mouseClick(w.B_PlotTime, Qt::LeftButton);
    w.A_Time->trigger();
    w.A_Spectra->trigger();
    // "Plot Depth" before a CTD merge opens nothing.
    w.A_GDepthClick();
    EXPECT_FALSE(w.B_PlotDepth->isEnabled());

    const auto windows = w.Graphs->windows();
    ASSERT_EQ(windows.size(), 3U);
    EXPECT_EQ(windows[0]->objectName(), "TimeWindow0");
    EXPECT_EQ(windows[1]->objectName(), "TimeWindow1");
    EXPECT_EQ(windows[2]->objectName(), "SpectralWindow0");
    EXPECT_EQ(windows[2]->windowTitle(), "Plot Window");
    EXPECT_EQ(w.Graphs->graphs().size(), 6U);
    for (TF_Plot* p : windows)
        p->close();

    // After a CTD merge the depth kind counts from 0 of its own.
    load_data(example("ixo_cast.dat"));
    prompts.answer_file(QString::fromStdString(example("ixo_cast.ctd")));
    prompts.answer_modal([](QDialog& d) {
        QTest::mouseClick(dynamic_cast<TF_LoadCTD&>(d).B_OK, Qt::LeftButton);
        return d.result();
    });
    w.A_LoadCTD->trigger();
    ASSERT_TRUE(w.B_PlotDepth->isEnabled());
    QTest::mouseClick(w.B_PlotDepth, Qt::LeftButton);
    ASSERT_EQ(w.Graphs->windows().size(), 4U);
    EXPECT_EQ(w.Graphs->windows()[3]->objectName(), "DepthWindow0");
    for (TF_Plot* p : w.Graphs->windows())
        p->close();
}

// ---------------------------------------------------------------- About, closing, Exit

TEST_F(main_window_test, about_shows_the_about_box_modally)
{
    TF_Main& w = open_window();
    QString version;
    prompts.answer_modal([&](QDialog& d) {
        version = d.findChild<QLabel*>("Version")->text();
        QTest::mouseClick(dynamic_cast<TAboutBox1&>(d).OKButton, Qt::LeftButton);
        return d.result();
    });
    w.AboutVantrel1->trigger();
    ASSERT_EQ(prompts.modal_shown.size(), 1U);
    EXPECT_EQ(prompts.modal_shown[0], "AboutBox1");
    EXPECT_EQ(version, "Version 2.0");
}

TEST_F(main_window_test, pellion_mode_keeps_the_window_open_and_exit_ends_at_once)
{
    TF_Main& w = open_window();
    bool closed = false;
    QObject::connect(&w, &TF_Main::closed, [&] { closed = true; });

    w.M_Pellion->trigger();
    EXPECT_FALSE(w.close());
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(closed);
    w.M_Pellion->trigger();
    EXPECT_TRUE(w.close());
    EXPECT_TRUE(closed);

    bool ending = false;
    QObject::connect(&w, &TF_Main::program_ending, [&] { ending = true; });
    w.M_Pellion->trigger();
    w.M_Exit->trigger();
    EXPECT_TRUE(ending);
    EXPECT_EQ(exit_code, 0);
    EXPECT_TRUE(prompts.messages.empty());
}
