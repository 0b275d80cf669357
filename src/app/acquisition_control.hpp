#pragma once

#include "app/settings.hpp"
#include "dataset/ixo_data.hpp"
#include "instrument/acr_helper.hpp"
#include "instrument/parent_reader.hpp"
#include "instrument/serial.hpp"

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace vantrel {

// What the acquisition reads from the acquisition panel, taken afresh at
// every use so the user's latest edits count.
struct acquisition_panel {
    bool page_shown = true;           // the page "Data Acquisition" is the one shown
    std::string device_path;          // E_Device
    std::int32_t port_number = 1;     // UD_Port
    std::string port_name;            // a port chosen by name; empty: use the number
    bool temp = false;                // CB_Temp
    bool saln = false;                // CB_Saln
    bool scat = false;                // CB_ScatCorr
    std::string temp_text = "21";     // E_Temp
    std::string saln_text = "34";     // E_Saln
    std::string scat_wl_text = "715"; // E_ScatWL
    std::int32_t scat_type = 1;       // PD_ScatType: 0 proportional, 1 baseline, 2 fixed proportion
    bool auto_temp = false;           // "Automatically update temperature"
};

// The texts the acquisition writes into the window.
enum class acquisition_text {
    L_FacCalTemp,
    L_Progress,
    L_SizeOfFile,
    E_IXOFile, // the post-processing panel's file box
    E_Temp,
    E_ScatWL,
};

enum class fac_cal_answer { accepted, cancelled, closed };

// Everything the acquisition asks of the user and shows to the user. The
// window implements it with Qt, `vantrel-cli acquire` for a terminal, the
// tests with scripted answers. A question may run further ticks while it is
// open (the window's nested event loop); the controller is ready for that.
class acquisition_ui {
public:
    virtual ~acquisition_ui() = default;

    virtual acquisition_panel panel() = 0;

    // A message box with OK (ok_cancel false) or OK and Cancel; true for OK.
    // An empty caption means the program's own title.
    virtual bool ask(const std::string& text, const std::string& caption, bool ok_cancel) = 0;
    // The save dialog (filter "All Files (*.*)|*.*", overwrite prompt) with
    // a preset file name; nothing when cancelled.
    virtual std::optional<std::string> choose_save_file(const std::string& preset_name) = 0;
    // F_FacCalQuery; on `accepted` the dialog's number is in `value`.
    virtual fac_cal_answer ask_factory_cal_temp(double& value) = 0;
    // F_ContSaving; true for "Save and continuing saving to file".
    virtual bool ask_continue_saving() = 0;

    virtual void set_text(acquisition_text which, const std::string& text) = 0;
    virtual void set_caption(const std::string& caption) = 0;
    // The enabled states of the acquisition table: true while acquiring.
    virtual void set_acquiring(bool acquiring) = 0;
    virtual void set_reference_spectra_enabled(bool enabled) = 0;
    // The 100 ms poll timer that calls tick().
    virtual void set_poll_timer(bool running) = 0;

    // The plot frames that follow the data set.
    virtual void frames_set_data_set(IXO_Data* data) = 0;
    virtual void frames_set_live_mode(bool live) = 0;
    virtual void frames_data_arrived() = 0;
    virtual void frames_redraw() = 0;

    // The post-processing branch of ApplyPanelSettings, run when the
    // acquisition page is not the one shown.
    virtual void apply_post_processing_settings() {}

    // Where the readers show the meter's live state.
    virtual std::unique_ptr<ACR_Helper> make_status_helper() { return std::make_unique<ACR_Helper>(); }
};

// Acquisition states of the poll loop.
enum acquisition_state : std::int32_t {
    WaitingForData = 0,
    Hold = 1,
    AskSaveFile = 2,
    Checking = 3,
    StopPending = 4,
    Acquiring = 99,
};

// The live recorder: start, the tick and its state machine, stop and the
// saves of acquired data. It owns the current data set and reader, which
// the window also uses for post-processing.
class acquisition_control {
public:
    using clock = std::function<std::time_t()>;

    acquisition_control(acquisition_ui& ui, reg& settings, serial_factory make_port, clock now = nullptr);
    acquisition_control(const acquisition_control&) = delete;
    acquisition_control& operator=(const acquisition_control&) = delete;

    void B_StartClick();
    void B_StopClick();
    void Timer1Timer();
    void A_SaveFromDeviceExecute();
    void A_SaveWCorrectionsExecute();
    // The acquisition branch of ApplyPanelSettings (the post-processing one
    // when that page is shown); nothing while the data set has no records.
    void ApplyPanelSettings();
    // UpDown1: one a wavelength down or up from the current reference.
    void UpDown1Click(bool up);
    // Enter in E_ScatWL.
    void E_ScatWLEnter();

    // Whether an acquisition runs (A_Start disabled).
    bool acquiring() const { return running; }

    std::unique_ptr<IXO_Data> DataSet;
    std::unique_ptr<parent_reader> Reader;
    std::int32_t AcqState = WaitingForData;
    std::string SaveFileName;
    std::time_t LastActivity = 0;
    std::size_t LastByteCount = 0;
    bool DataLoaded = false;
    // The factory calibration temperature the query last accepted.
    double queried_fac_cal_temp = 0.0;
    // Decoder traces of every reader this controller makes.
    std::shared_ptr<diagnostic_sink> trace;

private:
    bool start_reader(const acquisition_panel& p);
    void copy_new_records();
    void release_old_packet_counts();
    void take_preview_inputs(const acquisition_panel& p);
    void tick_waiting();
    void tick_ask_save_file();
    void tick_checking();
    void tick_acquiring();
    void show_file_size();
    std::string default_file_name() const;
    bool seconds_since_activity_exceed(std::time_t now, long limit) const;

    acquisition_ui& ui;
    reg& settings;
    serial_factory make_port;
    clock now;
    bool running = false;
    std::size_t packets_released = 0;
};

// "ixo_123_20090805140408.dat": model word, serial number, local date and
// time with minute and second counted from 1.
std::string default_acquisition_name(std::int32_t model, std::int32_t serial_number, std::time_t when);

// "File size: 12 KB" and its two other forms.
std::string file_size_text(std::uintmax_t bytes);

} // namespace vantrel
