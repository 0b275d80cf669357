#include "cli/process_command.hpp"

#include "app/ctd_column_choice.hpp"
#include "cli/trace_sink.hpp"
#include "common/error.hpp"
#include "common/text_numbers.hpp"
#include "dataset/ixo_data.hpp"

#include <map>

namespace vantrel::cli {

std::string check_number(const std::string& value)
{
    std::string_view rest = value;
    const auto number = text::scan_double(rest);
    if (!number || !rest.empty())
        return "not a number: " + value;
    return {};
}

namespace {

CLI::Validator source_check(std::vector<std::string> words)
{
    return CLI::Validator(
        [words](std::string& value) {
            for (const auto& w : words)
                if (value == w)
                    return std::string();
            return check_number(value).empty() ? std::string()
                                               : "expected a number or one of the sources, got " + value;
        },
        "NUMBER");
}

std::string check_columns(const std::string& value)
{
    const auto parts = CLI::detail::split(value, ',');
    if (parts.size() != 4)
        return "expected four column numbers TIME,PRES,TEMP,SALN, got " + value;
    for (const auto& p : parts) {
        std::string_view rest = p;
        const auto n = text::scan_decimal(rest);
        if (!n || !rest.empty() || *n < 1)
            return "column numbers count from 1, got " + value;
    }
    return {};
}

// Reads the CTD file with the chosen columns and merges it, as "Load CTD Data" does.
void merge_ctd_file(IXO_Data& ds, const std::string& path, const std::string& columns)
{
    const auto parts = CLI::detail::split(columns, ',');
    ctd_column_choice choice;
    choice.load_preview(path);
    ctd_columns chosen;
    const std::string problem = choice.accept(parts[0], parts[1], parts[2], parts[3], chosen);
    if (!problem.empty())
        throw error(problem);
    ds.ctd_file_data.read_file(path, chosen.time, chosen.temp, chosen.saln, chosen.pres);
    ds.merge_ctd();
}

} // namespace

void load_water(IXO_Data& ds, const std::string& path)
{
    ds.load_file(path, true);
    ds.apply_water = true;
}

void add_process_command(CLI::App& app, process_options& o)
{
    CLI::App* cmd = app.add_subcommand("process", "Correct a data file and write a processed data file");
    cmd->add_option("INPUT", o.input, "Data file to process (meter format or processed)")->required();
    cmd->add_option("-o,--output", o.output, "Processed data file to write")->required();
    cmd->add_option("--temperature", o.temperature,
                    "Constant water temperature in degrees C, 'ctd' for the merged CTD data or 'onboard' for "
                    "the meter's own sensor")
        ->check(source_check({"ctd", "onboard"}))
        ->capture_default_str();
    cmd->add_option("--salinity", o.salinity, "Constant salinity in psu, or 'ctd' for the merged CTD data")
        ->check(source_check({"ctd"}))
        ->capture_default_str();
    cmd->add_flag("--temperature-correction", o.temperature_correction, "Apply the temperature correction");
    cmd->add_flag("--salinity-correction", o.salinity_correction, "Apply the salinity correction");
    cmd->add_option("--scattering", o.scattering, "Apply a scattering correction")
        ->check(CLI::IsMember({"baseline", "proportional", "fixed"}));
    cmd->add_option("--reference-wavelength", o.reference_wavelength, "Scattering reference wavelength in nm")
        ->capture_default_str();
    cmd->add_option("--ctd", o.ctd, "CTD file to merge into the data by time");
    cmd->add_option("--ctd-columns", o.ctd_columns, "Columns of the CTD file: TIME,PRES,TEMP,SALN")
        ->check(CLI::Validator(check_columns, "TIME,PRES,TEMP,SALN"))
        ->capture_default_str();
    cmd->add_option("--water", o.water, "Water blank to subtract (.wcf or a meter-format data file)");
}

void run_process(const process_options& o)
{
    IXO_Data ds;
    ds.set_log(trace_log());
    ds.load_file(o.input, false);
    if (o.ctd)
        merge_ctd_file(ds, *o.ctd, o.ctd_columns);
    if (o.water)
        load_water(ds, *o.water);

    ds.const_temp = 21.0;
    ds.const_saln = 17.0;
    if (o.temperature == "onboard") {
        ds.temp_source = 3;
    } else if (o.temperature == "ctd") {
        ds.temp_source = 2;
    } else {
        ds.temp_source = 1;
        ds.const_temp = text::leading_double(o.temperature);
    }
    if (o.salinity == "ctd") {
        ds.saln_source = 2;
    } else {
        ds.saln_source = 1;
        ds.const_saln = text::leading_double(o.salinity);
    }
    // Checked before the file is created, so that no header-only file is left behind.
    if ((ds.temp_source == 2 || ds.saln_source == 2) && !ds.ctd_merged)
        throw error("CTD data not merged");
    ds.apply_temp = o.temperature_correction;
    ds.apply_saln = o.salinity_correction;

    static const std::map<std::string, std::int32_t> methods = {
        {"baseline", 1}, {"proportional", 2}, {"fixed", 3}};
    ds.apply_scat = o.scattering.has_value();
    ds.scat_method = o.scattering ? methods.at(*o.scattering) : 0;
    if (!ds.a_wavelengths.empty())
        ds.set_scat_ref(o.reference_wavelength);

    ds.save_processed(o.output, true);
}

} // namespace vantrel::cli
