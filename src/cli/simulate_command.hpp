#pragma once

#include <CLI/CLI.hpp>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace vantrel::cli {

// Options of `vantrel-cli simulate`.
struct simulate_options {
    std::string device;
    std::size_t records = 100;
    std::optional<double> rate;
    std::uint32_t seed = 1;
    std::optional<std::int64_t> serial;
    double corrupt = 0.0;
    std::string output;
    bool pty = false;
};

void add_simulate_command(CLI::App& app, simulate_options& options);
// Writes a capture (-o) or streams over a pseudo-terminal (--pty); device
// file failures are raised as vantrel::error.
void run_simulate(const simulate_options& options);

} // namespace vantrel::cli
