#pragma once

#include <CLI/CLI.hpp>

#include <optional>
#include <string>

namespace vantrel::cli {

// Options of `vantrel-cli process`.
struct process_options {
    std::string input;
    std::string output;
    std::string temperature = "21";
    std::string salinity = "17";
    bool temperature_correction = false;
    bool salinity_correction = false;
    std::optional<std::string> scattering;
    double reference_wavelength = 715.0;
};

void add_process_command(CLI::App& app, process_options& options);
void run_process(const process_options& options);

} // namespace vantrel::cli
