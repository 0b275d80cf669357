// Water calibration files (.wcf): reading a blank into the data set.

#include "common/error.hpp"
#include "common/line_reader.hpp"
#include "common/text_numbers.hpp"
#include "dataset/ixo_data.hpp"

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

} // namespace vantrel
