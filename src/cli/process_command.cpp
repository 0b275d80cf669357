#include "cli/process_command.hpp"

#include "common/error.hpp"
#include "common/text_numbers.hpp"
#include "dataset/ixo_data.hpp"

#include <map>

namespace vantrel::cli {

namespace {

// A number as the option's whole value; anything else is a usage error.
std::string check_number(const std::string& value)
{
    std::string_view rest = value;
    const auto number = text::scan_double(rest);
    if (!number || !rest.empty())
        return "not a number: " + value;
    return {};
}

std::string check_temperature(const std::string& value)
{
    if (value == "onboard")
        return {};
    const std::string problem = check_number(value);
    return problem.empty() ? problem : "expected a temperature or onboard, got " + value;
}

double number_of(const std::string& value)
{
    return text::leading_double(value);
}

} // namespace

void add_process_command(CLI::App& app, process_options& o)
{
    CLI::App* cmd = app.add_subcommand("process", "Correct a data file and write a processed data file");
    cmd->add_option("INPUT", o.input, "Data file to process (meter format or processed)")->required();
    cmd->add_option("-o,--output", o.output, "Processed data file to write")->required();
    cmd->add_option("--temperature", o.temperature,
                    "Constant water temperature in degrees C, or 'onboard' for the meter's own sensor")
        ->check(check_temperature)
        ->capture_default_str();
    cmd->add_option("--salinity", o.salinity, "Constant salinity in psu")
        ->check(check_number)
        ->capture_default_str();
    cmd->add_flag("--temperature-correction", o.temperature_correction, "Apply the temperature correction");
    cmd->add_flag("--salinity-correction", o.salinity_correction, "Apply the salinity correction");
    cmd->add_option("--scattering", o.scattering, "Apply a scattering correction")
        ->check(CLI::IsMember({"baseline", "proportional", "fixed"}));
    cmd->add_option("--reference-wavelength", o.reference_wavelength,
                    "Scattering reference wavelength in nm")
        ->capture_default_str();
}

void run_process(const process_options& o)
{
    IXO_Data ds;
    ds.load_file(o.input, false);

    if (o.temperature == "onboard") {
        ds.temp_source = 3;
        ds.const_temp = 21.0;
    } else {
        ds.temp_source = 1;
        ds.const_temp = number_of(o.temperature);
    }
    ds.saln_source = 1;
    ds.const_saln = number_of(o.salinity);
    ds.apply_temp = o.temperature_correction;
    ds.apply_saln = o.salinity_correction;
    ds.apply_water = false;

    static const std::map<std::string, std::int32_t> methods = {
        {"baseline", 1}, {"proportional", 2}, {"fixed", 3}};
    ds.apply_scat = o.scattering.has_value();
    ds.scat_method = o.scattering ? methods.at(*o.scattering) : 0;
    if (!ds.a_wavelengths.empty())
        ds.set_scat_ref(o.reference_wavelength);

    ds.save_processed(o.output, true);
}

} // namespace vantrel::cli
