#pragma once

#include <CLI/CLI.hpp>

#include <optional>
#include <stdexcept>
#include <string>

namespace vantrel {
class IXO_Data;
}

namespace vantrel::cli {

// A problem with what the user typed that shows only once the data are read.
struct usage_error : std::runtime_error {
    using std::runtime_error::runtime_error;
};

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
    std::optional<std::string> ctd;
    std::string ctd_columns = "1,2,3,5";
    std::optional<std::string> water;
};

// Options of `vantrel-cli water-cal`.
struct water_cal_options {
    std::string input;
    std::string records;
    std::string temperature;
    std::string output;
    std::optional<std::string> water;
};

void add_process_command(CLI::App& app, process_options& options);
void run_process(const process_options& options);

void add_water_cal_command(CLI::App& app, water_cal_options& options);
void run_water_cal(const water_cal_options& options);

// CLI11 check: a number as the option's whole value ("" when it is one).
std::string check_number(const std::string& value);

// Loads a blank in water mode; the water term is switched on.
void load_water(IXO_Data& ds, const std::string& path);

} // namespace vantrel::cli
