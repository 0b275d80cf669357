#include "cli/acquire_command.hpp"

#include "app/acquisition_control.hpp"
#include "cli/trace_sink.hpp"
#include "common/error.hpp"
#include "common/text_numbers.hpp"
#include "instrument/qt_serial.hpp"

#include <QCoreApplication>

#include <chrono>
#include <csignal>
#include <iostream>
#include <thread>

namespace vantrel::cli {

namespace {

volatile std::sig_atomic_t stop_signal = 0;

extern "C" void on_stop_signal(int)
{
    stop_signal = 1;
}

// The meter's live state as the readers report it, for the status line.
class status_helper : public ACR_Helper {
public:
    explicit status_helper(std::shared_ptr<std::string> internal) : internal_temp(std::move(internal)) {}
    void show_internal_temp(const std::string& text) override { *internal_temp = text; }

private:
    std::shared_ptr<std::string> internal_temp;
};

// The user of a terminal: the answers come from the options, every message
// the window would show goes to standard error.
class terminal_ui : public acquisition_ui {
public:
    explicit terminal_ui(const acquire_options& options) : o(options)
    {
        // A port given as a whole number is COM n; anything else is a name or path.
        std::string_view rest = o.port;
        const auto number = text::scan_integer(rest);
        if (number && rest.empty() && *number >= 0 && *number <= 32767)
            port_number = static_cast<std::int32_t>(*number);
        else
            port_name = o.port;
    }

    acquisition_panel panel() override
    {
        acquisition_panel p;
        p.device_path = o.device;
        p.port_number = port_number;
        p.port_name = port_name;
        return p;
    }

    bool ask(const std::string& text, const std::string& caption, bool ok_cancel) override
    {
        print(caption.empty() ? text : caption + ": " + text);
        if (ok_cancel && o.keep_waiting)
            return true;
        // Every other question or message ends the run as a failure.
        failed = true;
        return false;
    }

    std::optional<std::string> choose_save_file(const std::string& /*preset*/) override { return o.output; }

    fac_cal_answer ask_factory_cal_temp(double& value) override
    {
        if (!o.fac_cal_temp) {
            print("Unable to parse Factory Temperature Calibration");
            failed = true;
            return fac_cal_answer::cancelled;
        }
        value = *o.fac_cal_temp;
        return fac_cal_answer::accepted;
    }

    bool ask_continue_saving() override { return false; }

    void set_text(acquisition_text which, const std::string& text) override
    {
        if (which == acquisition_text::L_SizeOfFile)
            size_text = text;
    }
    void set_caption(const std::string& /*caption*/) override {}
    void set_acquiring(bool /*acquiring*/) override {}
    void set_reference_spectra_enabled(bool /*enabled*/) override {}
    void set_poll_timer(bool running) override { polling = running; }
    void frames_set_data_set(IXO_Data* /*data*/) override {}
    void frames_set_live_mode(bool /*live*/) override {}
    void frames_data_arrived() override {}
    void frames_redraw() override {}
    std::unique_ptr<ACR_Helper> make_status_helper() override
    {
        return std::make_unique<status_helper>(internal_temp);
    }

    bool polling = false;
    bool failed = false;
    std::string size_text;
    std::shared_ptr<std::string> internal_temp = std::make_shared<std::string>();

private:
    static void print(const std::string& message)
    {
        std::cerr << message;
        if (message.empty() || message.back() != '\n')
            std::cerr << '\n';
        std::cerr.flush();
    }

    const acquire_options& o;
    std::int32_t port_number = 0;
    std::string port_name;
};

void print_status(const acquisition_control& ctl, const terminal_ui& ui)
{
    std::cout << "records: " << ctl.DataSet->records.size() << "  lost: " << ctl.Reader->lost_records
              << "  serial: " << ctl.Reader->serial_number;
    if (!ui.internal_temp->empty())
        std::cout << "  " << *ui.internal_temp;
    if (!ui.size_text.empty())
        std::cout << "  " << ui.size_text;
    std::cout << std::endl;
}

} // namespace

void add_acquire_command(CLI::App& app, acquire_options& o)
{
    CLI::App* cmd = app.add_subcommand("acquire", "Record a meter on a serial port into a data file");
    cmd->add_option("--device", o.device, "Device file of the meter")->required();
    cmd->add_option("--port", o.port, "Serial port: a number (COM n) or a name or path (/dev/ttyUSB0)")
        ->required();
    cmd->add_option("-o,--output", o.output, "Data file written as the records arrive")->required();
    cmd->add_option("--raw", o.raw, "Also write every byte received to this raw capture");
    cmd->add_option("--duration", o.duration, "Stop after this many seconds")->check(CLI::PositiveNumber);
    cmd->add_flag("--keep-waiting", o.keep_waiting,
                  "Keep waiting when the meter sends nothing or nothing readable");
    cmd->add_option("--fac-cal-temp", o.fac_cal_temp,
                    "Factory calibration temperature (C) for a device file that lacks one");
}

int run_acquire(const acquire_options& o)
{
    // The serial port backend wants an application object, though no event loop runs.
    int qt_argc = 1;
    char qt_name[] = "vantrel-cli";
    char* qt_argv[] = {qt_name, nullptr};
    QCoreApplication qt_app(qt_argc, qt_argv);

    terminal_ui ui(o);
    reg settings(std::make_unique<memory_settings>());
    acquisition_control ctl(ui, settings, qt_serial_factory());
    ctl.trace = trace_log();

    stop_signal = 0;
    std::signal(SIGINT, on_stop_signal);
    std::signal(SIGTERM, on_stop_signal);

    ctl.B_StartClick();
    if (!ui.polling) {
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
        return 1;
    }

    using steady = std::chrono::steady_clock;
    const auto begun = steady::now();
    auto next_tick = begun;
    auto next_status = begun + std::chrono::seconds(1);
    while (ui.polling) {
        next_tick += std::chrono::milliseconds(100);
        std::this_thread::sleep_until(next_tick);
        ctl.Timer1Timer();
        const auto t = steady::now();
        if (t >= next_status) {
            print_status(ctl, ui);
            next_status += std::chrono::seconds(1);
        }
        if (stop_signal != 0)
            break;
        if (o.duration && std::chrono::duration<double>(t - begun).count() >= *o.duration)
            break;
    }
    // A stop by time or signal closes the file with every record, as Stop does.
    if (ui.polling)
        ctl.B_StopClick();
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    print_status(ctl, ui);

    if (!o.raw.empty())
        ctl.Reader->save_raw(o.raw);
    return ui.failed ? 1 : 0;
}

} // namespace vantrel::cli
