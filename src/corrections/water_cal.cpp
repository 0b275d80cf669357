// Water calibration files (.wcf): making, writing and reading a blank.

#include "corrections/water_cal.hpp"

#include "common/error.hpp"
#include "common/file_output.hpp"
#include "common/line_reader.hpp"
#include "common/local_time.hpp"
#include "common/text_numbers.hpp"
#include "dataset/ixo_data.hpp"

#include <algorithm>
#include <sstream>

namespace vantrel {

namespace {

// Matches "<label><blanks><number>" the way a "Label: %i" / "%lf" scan does.
template <typename Scan>
auto scan_labelled(std::string_view line, std::string_view label, int line_no, Scan scan)
{
    if (line.substr(0, label.size()) != label)
        throw error("Unable to read line " + std::to_string(line_no) + " of the water file.");
    line.remove_prefix(label.size());
    const auto value = scan(line);
    if (!value)
        throw error("Unable to read line " + std::to_string(line_no) + " of the water file.");
    return *value;
}

} // namespace

void IXO_Data::read_water_cal(line_reader& in)
{
    water_records.clear();
    in.next_or_empty(); // line 3: creation time
    const auto serial = scan_labelled(in.next_or_empty(), "Serial Number:", 4,
                                      [](std::string_view s) { return text::scan_integer(s); });
    if (static_cast<std::int32_t>(serial) != serial_number)
        throw error("Water file not from the same device as data file");
    const double temperature = scan_labelled(in.next_or_empty(), "Water Calibration Temperature:", 5,
                                             [](std::string_view s) { return text::scan_double(s); });
    const auto count = scan_labelled(in.next_or_empty(), "Number of wavelengths:", 6,
                                     [](std::string_view s) { return text::scan_integer(s); });
    if (count < 0 || static_cast<std::size_t>(count) != a_wavelengths.size() ||
        a_wavelengths.size() != c_wavelengths.size())
        throw error("Water has differing number of wavelengths than data file!");
    const auto n = static_cast<std::size_t>(count);

    in.next_or_empty(); // line 7: column titles
    const auto fields = text::split_fields(in.next_or_empty());
    if (fields.size() < 1 + 2 * n)
        throw error("Water file holds too few values.");

    ixo_data blank;
    blank.time = 0.0;
    blank.c.resize(n);
    blank.a.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        blank.c[i] = text::leading_double(fields[1 + i]);
        blank.a[i] = text::leading_double(fields[1 + n + i]);
    }
    // The blank and its temperature change together, only once all is read.
    water_cal_temp = temperature;
    water_records.push_back(blank);
    water_mean = std::move(blank);
    water_loaded = true;
}

ixo_data make_water_cal(IXO_Data& ds, std::vector<std::int32_t>& indices, double box_temperature)
{
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    if (indices.empty())
        throw error("No records selected for the water calibration.");

    // Only the water term may apply to a blank.
    ds.apply_temp = false;
    ds.apply_saln = false;
    ds.apply_scat = false;
    ds.temp_source = 1;
    ds.const_temp = box_temperature;

    std::deque<ixo_data> corrected;
    for (const std::int32_t index : indices)
        corrected.push_back(ds.correct_one_line(index));
    ixo_data mean = mean_spectrum(corrected);
    mean.time = 0.0;
    return mean;
}

void IXO_Data::save_water_cal(const std::string& path, const std::vector<std::int32_t>& indices,
                              double temperature, std::time_t created) const
{
    // Lines end in CR LF; the data line has no line end at all.
    std::ostringstream out;
    const auto g = [](double v) { return text::general(v, 6); };
    out << "File created by Vantrel version 2.0\r\n"
        << "Water Calibration File: 1.0\r\n"
        << "This file was created on " << creation_time_text(created) << "\r\n"
        << "Serial Number: " << serial_number << "\r\n"
        << "Water Calibration Temperature: " << g(temperature) << "\r\n"
        << "Number of wavelengths: " << a_wavelengths.size() << "\r\n"
        << "0\t";
    for (const double wl : c_wavelengths)
        out << 'c' << g(wl) << '\t';
    for (const double wl : a_wavelengths)
        out << 'a' << g(wl) << '\t';
    out << "\r\n";
    write_records(out, indices, true, true, false, false);

    file_output::write_file(path, out.str());
    if (log->enabled())
        log->line("Finished writing output to " + path);
}

} // namespace vantrel
