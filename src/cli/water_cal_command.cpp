#include "cli/process_command.hpp"

#include "cli/trace_sink.hpp"
#include "common/error.hpp"
#include "common/text_numbers.hpp"
#include "corrections/water_cal.hpp"
#include "dataset/ixo_data.hpp"

namespace vantrel::cli {

namespace {

struct index_range {
    long long first;
    long long last;
};

// "0-99,150": comma-separated indices and inclusive ranges, 0-based.
std::vector<index_range> parse_ranges(const std::string& list)
{
    std::vector<index_range> ranges;
    for (const auto& part : CLI::detail::split(list, ',')) {
        std::string_view rest = part;
        const auto first = text::scan_decimal(rest);
        std::optional<long long> last = first;
        if (!rest.empty() && rest.front() == '-') {
            rest.remove_prefix(1);
            last = text::scan_decimal(rest);
        }
        if (!first || !last || !rest.empty() || *first < 0 || *last < *first)
            throw usage_error("expected indices and ranges such as 0-99,150, got " + list);
        ranges.push_back({*first, *last});
    }
    if (ranges.empty())
        throw usage_error("no records given");
    return ranges;
}

std::string check_ranges(const std::string& list)
{
    try {
        parse_ranges(list);
    } catch (const usage_error& e) {
        return e.what();
    }
    return {};
}

} // namespace

void add_water_cal_command(CLI::App& app, water_cal_options& o)
{
    CLI::App* cmd =
        app.add_subcommand("water-cal", "Make a water calibration file from records of a data file");
    cmd->add_option("INPUT", o.input, "Data file holding the water records")->required();
    cmd->add_option("--records", o.records, "Records to average: indices and ranges, 0-based, e.g. 0-99,150")
        ->required()
        ->check(CLI::Validator(check_ranges, "LIST"));
    cmd->add_option("--temperature", o.temperature, "Temperature of the water, degrees C")
        ->required()
        ->check(CLI::Validator(check_number, "T"));
    cmd->add_option("-o,--output", o.output, "Water calibration file to write (.wcf)")->required();
    cmd->add_option("--water", o.water, "Earlier blank to subtract from these records");
}

void run_water_cal(const water_cal_options& o)
{
    IXO_Data ds;
    ds.set_log(trace_log());
    ds.load_file(o.input, false);
    if (o.water)
        load_water(ds, *o.water);

    std::vector<std::int32_t> indices;
    for (const index_range& r : parse_ranges(o.records)) {
        if (static_cast<std::size_t>(r.last) >= ds.records.size())
            throw usage_error("--records: " + std::to_string(r.last) + " is past the last record (" +
                              std::to_string(ds.records.size()) + " records, numbered from 0)");
        for (long long i = r.first; i <= r.last; ++i)
            indices.push_back(static_cast<std::int32_t>(i));
    }

    const double temperature = text::leading_double(o.temperature);
    make_water_cal(ds, indices, temperature);
    ds.save_water_cal(o.output, indices, temperature);
}

} // namespace vantrel::cli
