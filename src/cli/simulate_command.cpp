#include "cli/simulate_command.hpp"

#include "cli/process_command.hpp"
#include "common/error.hpp"
#include "common/file_output.hpp"
#include "common/text_numbers.hpp"
#include "instrument/devfile.hpp"
#include "instrument/meter_simulator.hpp"

#include <chrono>
#include <fstream>
#include <iostream>
#include <thread>

#ifndef _WIN32
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace vantrel::cli {

namespace {

void write_capture(meter_simulator& sim, std::size_t count, const std::string& path)
{
    std::ofstream out = file_output::open(path, "Unable to open file for saving.");
    std::size_t corrupted = 0;
    const auto put = [&](const std::vector<std::uint8_t>& bytes) {
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    };
    for (std::size_t k = 0; k < count; ++k) {
        const simulated_record r = sim.next_record();
        corrupted += r.corrupted ? 1 : 0;
        put(r.bytes);
    }
    // Without what follows the last record, a reader would leave it unconverted.
    if (count > 0)
        put(sim.closing_bytes());
    file_output::finish(out, path);
    std::cout << "Wrote " << count << (sim.model() == devfile::meter_model::ixo ? " ixo" : " eqa") << " records ("
              << corrupted << " corrupted) to " << path << '\n';
}

#ifndef _WIN32

volatile std::sig_atomic_t stop_requested = 0;

extern "C" void request_stop(int /*signal*/)
{
    stop_requested = 1;
}

// SIGINT and SIGTERM end the stream; no SA_RESTART, so that a write blocked
// on a full pseudo-terminal returns.
class stop_signals {
public:
    stop_signals()
    {
        stop_requested = 0;
        struct sigaction action {};
        action.sa_handler = request_stop;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &old_int_);
        sigaction(SIGTERM, &action, &old_term_);
    }
    ~stop_signals()
    {
        sigaction(SIGINT, &old_int_, nullptr);
        sigaction(SIGTERM, &old_term_, nullptr);
    }
    stop_signals(const stop_signals&) = delete;
    stop_signals& operator=(const stop_signals&) = delete;

private:
    struct sigaction old_int_ {};
    struct sigaction old_term_ {};
};

std::string system_message(const std::string& what)
{
    return what + ": " + std::strerror(errno);
}

// A pseudo-terminal whose slave side stands in for the meter's serial port.
// The simulator keeps the slave open itself: the line stays raw and the pair
// stays up whether or not a reader has it open.
class pseudo_terminal {
public:
    pseudo_terminal()
    {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0)
            throw error(system_message("Could not open a pseudo-terminal"));
        if (grantpt(master_) != 0 || unlockpt(master_) != 0)
            throw error(system_message("Could not unlock the pseudo-terminal"));
        const char* name = ptsname(master_);
        if (name == nullptr)
            throw error(system_message("Could not name the pseudo-terminal"));
        slave_path_ = name;
        slave_ = ::open(slave_path_.c_str(), O_RDWR | O_NOCTTY);
        if (slave_ < 0)
            throw error(system_message("Could not open " + slave_path_));
        // Binary records: no echo, no line editing, no byte translated or
        // taken as flow control.
        termios line{};
        if (tcgetattr(slave_, &line) != 0)
            throw error(system_message("Could not read the settings of " + slave_path_));
        cfmakeraw(&line);
        if (tcsetattr(slave_, TCSANOW, &line) != 0)
            throw error(system_message("Could not set " + slave_path_ + " to raw mode"));
    }
    ~pseudo_terminal()
    {
        if (slave_ >= 0)
            ::close(slave_);
        if (master_ >= 0)
            ::close(master_);
    }
    pseudo_terminal(const pseudo_terminal&) = delete;
    pseudo_terminal& operator=(const pseudo_terminal&) = delete;

    const std::string& slave_path() const { return slave_path_; }

    // False when a stop was requested before everything was written.
    bool write_all(const std::vector<std::uint8_t>& bytes)
    {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
            if (n >= 0) {
                done += static_cast<std::size_t>(n);
            } else if (errno == EINTR) {
                if (stop_requested)
                    return false;
            } else {
                throw error(system_message("Could not write to " + slave_path_));
            }
        }
        return true;
    }

    // Bytes written but not yet read on the slave side.
    std::size_t unread() const
    {
        int n = 0;
        if (::ioctl(slave_, FIONREAD, &n) != 0)
            return 0;
        return n > 0 ? static_cast<std::size_t>(n) : 0;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slave_path_;
};

// Sleeps until the deadline in short steps, so that a stop is seen at once.
bool wait_until(std::chrono::steady_clock::time_point deadline)
{
    using namespace std::chrono_literals;
    while (!stop_requested) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            return true;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(deadline - now, 20ms));
    }
    return false;
}

void stream_to_pty(meter_simulator& sim, std::size_t count)
{
    using clock = std::chrono::steady_clock;
    stop_signals signals;
    pseudo_terminal pty;
    std::cout << pty.slave_path() << std::endl;

    const auto start = clock::now();
    const std::chrono::duration<double> interval(sim.record_interval());
    for (std::size_t k = 0; k < count; ++k) {
        if (!wait_until(start + std::chrono::duration_cast<clock::duration>(interval * static_cast<double>(k))))
            return;
        if (!pty.write_all(sim.next_record().bytes))
            return;
    }
    if (count == 0 || !pty.write_all(sim.closing_bytes()))
        return;
    // Closing the pair now would drop what the reader has not taken yet;
    // give it a while to do so. Written bytes take a moment to show as
    // unread, so the line must stay empty for a while before it counts as read.
    const auto give_up = clock::now() + std::chrono::seconds(10);
    auto empty_since = clock::now();
    while (clock::now() < give_up) {
        if (pty.unread() > 0)
            empty_since = clock::now();
        else if (clock::now() - empty_since >= std::chrono::milliseconds(250))
            return;
        if (!wait_until(clock::now() + std::chrono::milliseconds(20)))
            return;
    }
}

#endif

std::string check_whole(const std::string& value)
{
    std::string_view rest = value;
    const auto n = text::scan_decimal(rest);
    if (!n || !rest.empty() || *n < 0)
        return "expected a whole number, 0 or more, got " + value;
    return {};
}

std::string check_rate(const std::string& value)
{
    std::string_view rest = value;
    const auto rate = text::scan_double(rest);
    if (!rate || !rest.empty())
        return "not a number: " + value;
    if (!(*rate > 0.0 && *rate <= 1000.0))
        return "the rate must lie above 0 and at most 1000 per second, got " + value;
    return {};
}

} // namespace

void add_simulate_command(CLI::App& app, simulate_options& o)
{
    CLI::App* cmd = app.add_subcommand(
        "simulate", "Make the byte stream of the meter of a device file, as a capture or over a pseudo-terminal");
    cmd->add_option("--device", o.device, "Device file of the meter to simulate")->required();
    // Checked as text first: an unsigned option would take -3 as a huge count.
    cmd->add_option("--records", o.records, "Meter records to send (an eqa record carries ten spectra)")
        ->check(CLI::Validator(check_whole, "N"))
        ->capture_default_str();
    cmd->add_option("--rate", o.rate, "Spectra per second (default: ixo 4, eqa 6)")
        ->check(CLI::Validator(check_rate, "RATE"));
    cmd->add_option("--seed", o.seed, "Seed of the simulated spectra")
        ->check(CLI::Validator(check_whole, "S"))
        ->capture_default_str();
    cmd->add_option("--serial", o.serial, "Serial number to send (default: the device file's)")
        ->check(CLI::Validator(check_whole, "N"));
    cmd->add_option("--corrupt", o.corrupt, "Share of records (0 to 1) sent with a failing checksum")
        ->check(CLI::Range(0.0, 1.0))
        ->capture_default_str();
    CLI::App* out = cmd->add_option_group("output", "Exactly one of -o and --pty");
    out->add_option("-o,--output", o.output, "Capture file to write");
    out->add_flag("--pty", o.pty,
                  "Stream in real time over a pseudo-terminal whose path is the first line printed; ends after "
                  "the records are sent and read (or 10 s), or on SIGINT or SIGTERM");
    out->require_option(1);
}

void run_simulate(const simulate_options& o)
{
    if (o.pty == !o.output.empty())
        throw usage_error("give exactly one of -o CAPTURE and --pty");

    devfile device;
    device.load(o.device);
    if (o.serial && !meter_simulator::serial_fits(device.model, *o.serial))
        throw usage_error("--serial " + std::to_string(*o.serial) + " does not fit a record of this meter (" +
                          (device.model == devfile::meter_model::ixo ? "ixo: at most 16777215" : "eqa: at most 999999") +
                          ")");

    simulator_settings settings;
    settings.rate = o.rate;
    settings.seed = o.seed;
    settings.serial_number = o.serial;
    settings.corrupt_fraction = o.corrupt;
    meter_simulator sim(device, settings);

    if (!o.pty) {
        write_capture(sim, o.records, o.output);
        return;
    }
#ifdef _WIN32
    throw error("--pty needs a pseudo-terminal, which Windows does not have; write a capture with -o instead.");
#else
    stream_to_pty(sim, o.records);
#endif
}

} // namespace vantrel::cli
