#pragma once

#include "app/acquisition_control.hpp"
#include "app/settings.hpp"
#include "app/window_prompts.hpp"
#include "instrument/serial.hpp"

#include <QMainWindow>

#include <ctime>
#include <functional>
#include <memory>

class QAbstractButton;
class QFrame;
class QMenu;
class QPushButton;
class QSplitter;
class QStatusBar;
class QTabWidget;
class QTimer;

namespace vantrel {

class TAboutBox1;
class TF_ContSaving;
class TF_FacCalQuery;
class TF_LoadCTD;
class TF_TimeShift;
class TForm1;
class TFr_PostProcess;
class TFr_RealTime;
class graph_list;
class plot_prompts;
class qt_plot_prompts;

// What the main window takes from outside: where the settings live, how a
// serial port is made, the clock, and how "Exit" ends the process. Tests
// replace them; the program uses the defaults.
struct main_window_services {
    std::function<std::unique_ptr<settings_backend>()> make_settings;
    serial_factory make_port;
    std::function<std::time_t()> now;
    std::function<void(int)> end_process;
    // What the plot frames ask the user; the program's Qt dialogs when null.
    plot_prompts* plot_questions = nullptr;
};

// The main window: the page control with the acquisition and
// post-processing panels, the two built-in plots, the menus and actions,
// and every command they run. Acquisition itself is the controller's; the
// window is its user interface.
class TF_Main : public QMainWindow, public acquisition_ui {
    Q_OBJECT

public:
    explicit TF_Main(window_prompts& prompts, main_window_services services = {}, QWidget* parent = nullptr);
    ~TF_Main() override;

    // --- the main window's operations ---
    void FormActivate();
    void FileOpen1Execute();
    void B_OpenIXOClick();
    // Loads a data file for post-processing (the part of B_OpenIXOClick after the dialog).
    void load_data_file(const QString& path);
    void B_OpenCTDClick();
    void B_LoadWaterClick();
    void M_WaterCorrectionsClick();
    void B_SavePostClick();
    void PageControl1Change(int index);
    void A_GTimeClick();
    void A_GSpectralClick();
    void A_GDepthClick();
    void M_AutoTempClick();
    void M_PellionClick();
    void M_ExitClick();
    void AboutVantrel1Click();
    void ApplyPanelSettings();
    void PD_TempClick();
    void PD_SalnClick();

    // --- acquisition and raw captures ---
    void B_StartClick();
    void B_StopClick();
    void Timer1Timer();
    void Timer2Timer();
    void A_SaveFromDeviceExecute();
    void A_SaveWCorrectionsExecute();
    void B_DeviceClick();
    void UD_PortClick();
    void PD_PortNameChange();
    void A_SaveBinaryClick();
    void M_OpenBinaryClick();

    // Shows a page without storing it in the settings.
    void show_page(int index);
    // Runs a command; what it raises goes to the general error report.
    void run(const std::function<void()>& command);

    // The settings, the controller (which owns DataSet, Reader and
    // DataLoaded) and the graph list: made at the first activation.
    std::unique_ptr<reg> Settings;
    std::unique_ptr<acquisition_control> Acquisition;
    std::unique_ptr<graph_list> Graphs;

    // --- controls ---
    QTabWidget* PageControl1;
    TFr_RealTime* Fr_RealTime;
    TFr_PostProcess* Fr_PostProcess;
    QPushButton* B_PlotTime;
    QPushButton* B_PlotDepth;
    QPushButton* B_PlotSpectrum;
    QSplitter* Splitter1;
    QSplitter* Splitter2;
    QFrame* Panel_Graph1;
    QFrame* Panel_Graph2;
    QStatusBar* StatusBar1;
    QTimer* Timer1;
    QTimer* Timer2;
    shared_file_dialog OpenDialog1;
    shared_file_dialog SaveDialog1;

    QAction* A_Start;
    QAction* A_Stop;
    QAction* A_LoadBinary;
    QAction* A_SaveBinary;
    QAction* A_LoadCTD;
    QAction* A_Time;
    QAction* A_Spectra;
    QAction* A_Depth;
    QAction* A_ReferenceSpectra;
    QAction* A_STD;
    QAction* A_SaveFromDevice;
    QAction* A_SaveWCorrections;

    QMenu* M_File;
    QMenu* M_Options;
    QMenu* M_Graphs;
    QMenu* M_About;
    QAction* FileOpen1;
    QAction* M_OpenBinary;
    QAction* M_WaterCorrections;
    QAction* M_AutoTemp;
    QAction* M_Pellion;
    QAction* M_Exit;
    QAction* AboutVantrel1;

    // --- the windows made at start-up after this one ---
    TF_LoadCTD* F_LoadCTD;
    TF_ContSaving* F_ContSaving;
    TF_FacCalQuery* F_FacCalQuery;
    TAboutBox1* AboutBox1;
    TF_TimeShift* F_TimeShift;
    TForm1* Form1;

    // --- acquisition_ui ---
    acquisition_panel panel() override;
    bool ask(const std::string& text, const std::string& caption, bool ok_cancel) override;
    std::optional<std::string> choose_save_file(const std::string& preset_name) override;
    fac_cal_answer ask_factory_cal_temp(double& value) override;
    bool ask_continue_saving() override;
    void set_text(acquisition_text which, const std::string& text) override;
    void set_caption(const std::string& caption) override;
    void set_acquiring(bool acquiring) override;
    void set_reference_spectra_enabled(bool enabled) override;
    void set_poll_timer(bool running) override;
    void frames_set_data_set(IXO_Data* data) override;
    void frames_set_live_mode(bool live) override;
    void frames_data_arrived() override;
    void frames_redraw() override;
    void apply_post_processing_settings() override;
    std::unique_ptr<ACR_Helper> make_status_helper() override;

Q_SIGNALS:
    // The window was closed: the program ends.
    void closed();
    // "Exit" is about to end the process.
    void program_ending();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void build_actions();
    void build_menus();
    void build_layout();
    void connect_panels();
    QAction* make_action(const char* name, const QString& caption, const QKeySequence& shortcut,
                         bool enabled);
    QAction* menu_item(QMenu* menu, const char* name, const QString& caption, QAction* action);
    void bind_button(QAbstractButton* button, QAction* action);
    void report(const QString& text, const QString& caption);
    void report_general_error(const QString& text);
    IXO_Data& data_set();
    std::time_t now() const;

    window_prompts& prompts;
    main_window_services services;
    std::unique_ptr<qt_plot_prompts> own_plot_questions;
    bool activated = false;
    bool page_changed_by_program = false;
    bool reporting_tick_error = false;
};

} // namespace vantrel
