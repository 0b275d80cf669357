#pragma once

#include <CLI/CLI.hpp>

#include <optional>
#include <string>

namespace vantrel::cli {

// Options of `vantrel-cli acquire`.
struct acquire_options {
    std::string device;
    std::string port;
    std::string output;
    std::string raw;
    std::optional<double> duration;
    bool keep_waiting = false;
    std::optional<double> fac_cal_temp;
};

void add_acquire_command(CLI::App& app, acquire_options& options);
// The exit code: 0 after the duration or a signal, 1 after a failed start,
// a mismatch or a time-out.
int run_acquire(const acquire_options& options);

} // namespace vantrel::cli
