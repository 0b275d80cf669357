#include "instrument/devfile.hpp"

#include "common/error.hpp"
#include "common/line_reader.hpp"
#include "common/text_numbers.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <numeric>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <utility>

namespace vantrel {

namespace {

constexpr const char* unable_to_open = "Unable to open devfile.";
constexpr const char* not_a_devfile = "This file does not seem to be an EQA or IXO devfile.";
constexpr const char* bins_misidentified = "Number of temperature bins misidentified in devfile.";
constexpr const char* unexpected = "Unexpected error in devfile.";
// The nine-wavelength meter's blank channel line has always been reported
// without the full stop; the Eqa reader replaces the text anyway.
constexpr const char* unexpected_eqa_blank = "Unexpected error in devfile";

constexpr std::size_t eqa_wavelengths = 9;
constexpr std::size_t eqa_channel_lines = 2 * eqa_wavelengths;
// Ixo channel line: C wavelength, A wavelength, pass-through, c and a offset.
constexpr std::size_t ixo_fixed_columns = 5;
// Eqa channel line: letter and wavelength, pass-through, offset.
constexpr std::size_t eqa_fixed_columns = 3;

// Hands out the file's lines and keeps each one; running out of lines in
// the middle of the layout is a broken file, not a reason to reuse stale text.
class kept_lines {
public:
    kept_lines(std::istream& in, std::vector<std::string>& kept) : reader_(in), kept_(kept) {}

    std::string_view next(const char* message_at_end = unexpected)
    {
        std::string_view line;
        if (!reader_.next(line))
            throw error(message_at_end);
        kept_.emplace_back(line);
        return line;
    }

private:
    line_reader reader_;
    std::vector<std::string>& kept_;
};

void skip_spaces(std::string_view& s)
{
    std::size_t i = 0;
    while (i < s.size() && text::is_blank(s[i]))
        ++i;
    s.remove_prefix(i);
}

// "%s": the first run of non-blank characters.
std::string first_word(std::string_view s)
{
    skip_spaces(s);
    std::size_t n = 0;
    while (n < s.size() && !text::is_blank(s[n]))
        ++n;
    return std::string(s.substr(0, n));
}

// "%lx" into the meter's 32-bit unsigned long: an optional sign and 0x, then
// hexadecimal digits, saturating on overflow as strtoul does.
std::optional<std::uint32_t> scan_hex(std::string_view s)
{
    skip_spaces(s);
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X') &&
        std::isxdigit(static_cast<unsigned char>(s[2])) != 0)
        s.remove_prefix(2);
    std::uint64_t value = 0;
    const auto result = std::from_chars(s.data(), s.data() + s.size(), value, 16);
    if (result.ec == std::errc::invalid_argument)
        return std::nullopt;
    constexpr std::uint64_t max32 = std::numeric_limits<std::uint32_t>::max();
    if (result.ec == std::errc::result_out_of_range || value > max32)
        return static_cast<std::uint32_t>(max32);
    const auto v = static_cast<std::uint32_t>(value);
    return negative ? static_cast<std::uint32_t>(0U - v) : v;
}

// "%d" and "%ld" into 32 bits: the low 32 bits of the number, 0 if none.
std::int32_t scan_int32(std::string_view s)
{
    return static_cast<std::int32_t>(text::scan_decimal(s).value_or(0));
}

// The float a "%f" scan stores; beyond the float range it is infinite.
float to_float(double v)
{
    constexpr double max = std::numeric_limits<float>::max();
    if (v > max)
        return std::numeric_limits<float>::infinity();
    if (v < -max)
        return -std::numeric_limits<float>::infinity();
    return static_cast<float>(v);
}

// Column 1 ends at a blank or a tab; the columns after it are separated by
// tabs alone (so they may hold blanks), and a run of tabs separates once.
void split_columns(std::string_view line, std::vector<std::string_view>& columns)
{
    columns.clear();
    std::size_t begin = line.find_first_not_of(" \t");
    if (begin == std::string_view::npos)
        return;
    std::size_t end = line.find_first_of(" \t", begin);
    if (end == std::string_view::npos)
        end = line.size();
    columns.push_back(line.substr(begin, end - begin));
    if (end == line.size())
        return;
    begin = end + 1;
    while (begin < line.size()) {
        begin = line.find_first_not_of('\t', begin);
        if (begin == std::string_view::npos)
            break;
        end = line.find('\t', begin);
        if (end == std::string_view::npos)
            end = line.size();
        columns.push_back(line.substr(begin, end - begin));
        begin = end;
    }
}

// A wavelength has to be a finite number: it is sorted, matched and written
// into file headers.
std::optional<double> scan_wavelength(std::string_view& s)
{
    const auto wl = text::scan_double(s);
    if (!wl || !std::isfinite(*wl))
        return std::nullopt;
    return wl;
}

// A wavelength written right after its channel letter, as in "C412.3".
// The number has to start at once: a blank after the letter would mean the
// wavelength sits in another column, and the columns after it would shift.
std::optional<double> lettered_wavelength(std::string_view column, char letter)
{
    skip_spaces(column);
    if (column.size() < 2 || column.front() != letter || text::is_blank(column[1]))
        return std::nullopt;
    column.remove_prefix(1);
    return scan_wavelength(column);
}

// Offsets, bins and compensation values: a column without a number in front
// (a comment, or blanks between two tabs) is not one of them.
std::optional<double> number_column(std::string_view column)
{
    return text::scan_double(column);
}

// Converts `count` columns from `first` on; false if one of them holds no number.
bool append_numbers(std::vector<double>& out, const std::vector<std::string_view>& columns, std::size_t first,
                    std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        const auto v = number_column(columns[first + i]);
        if (!v)
            return false;
        out.push_back(*v);
    }
    return true;
}

// Lines 2 to 7 (and the Ixo wavelength count on line 8, returned).
std::size_t read_fixed_header(devfile& dev, kept_lines& lines)
{
    const bool ixo = dev.model == devfile::meter_model::ixo;

    const std::string_view serial = lines.next();
    if (ixo) {
        // The Ixo meter writes its serial number after a fixed model code.
        const std::uint32_t raw = scan_hex(serial).value_or(0);
        dev.serial_number = static_cast<std::int32_t>(raw - 0x53000000U);
    } else {
        dev.serial_number = scan_int32(serial);
    }

    std::string_view line = lines.next();
    dev.header_integer = static_cast<std::int32_t>(text::scan_integer(line).value_or(0));

    // "%*s%f%*s": a label word, then the temperature.
    line = lines.next();
    skip_spaces(line);
    while (!line.empty() && !text::is_blank(line.front()))
        line.remove_prefix(1);
    const auto cal = line.empty() ? std::nullopt : text::scan_double(line);
    dev.fac_cal_temp = cal ? to_float(*cal) : 0.0F;
    dev.fac_cal_temp_missing = !cal.has_value();

    // "%f\t%f": the tab matches any white space, which the number skips anyway.
    line = lines.next();
    if (const auto first = text::scan_double(line)) {
        dev.header_pair[0] = to_float(*first);
        if (const auto second = text::scan_double(line))
            dev.header_pair[1] = to_float(*second);
    }

    dev.baud_rate = scan_int32(lines.next());

    line = lines.next();
    dev.path_length = text::scan_double(line).value_or(0.0);

    if (!ixo) {
        // The Eqa conversion divides by the path length.
        if (!(dev.path_length > 0.0) || !std::isfinite(dev.path_length))
            throw error(unexpected);
        return eqa_wavelengths;
    }
    // A meter without wavelengths (or a count that is not a number) would
    // leave the channel lines to be read as the trailing lines.
    const std::int32_t count = scan_int32(lines.next());
    if (count < 1)
        throw error(unexpected);
    return static_cast<std::size_t>(count);
}

void read_bins(devfile& dev, kept_lines& lines, std::vector<std::string_view>& columns)
{
    // "%d" into the unsigned count: a negative count becomes a huge one,
    // which no bins line can satisfy.
    dev.num_tempbins = static_cast<std::uint32_t>(scan_int32(lines.next()));
    split_columns(lines.next(), columns);
    // The bins are the leading numeric columns; a comment after them is not one.
    for (std::size_t i = 0; i < columns.size() && dev.temp_bins.size() < dev.num_tempbins; ++i) {
        const auto bin = number_column(columns[i]);
        if (!bin)
            break;
        dev.temp_bins.push_back(*bin);
    }
    // Without a single bin there is no compensation to look up.
    if (dev.num_tempbins == 0 || dev.temp_bins.size() != dev.num_tempbins)
        throw error(bins_misidentified);
}

void read_ixo_channels(devfile& dev, kept_lines& lines, std::size_t count, std::vector<std::string_view>& columns)
{
    const std::size_t bins = dev.num_tempbins;
    for (std::size_t w = 0; w < count; ++w) {
        split_columns(lines.next(), columns);
        if (columns.size() < ixo_fixed_columns + 2 * bins)
            throw error(unexpected);
        const auto c_wl = lettered_wavelength(columns[0], 'C');
        const auto a_wl = lettered_wavelength(columns[1], 'A');
        const auto c_offset = number_column(columns[3]);
        const auto a_offset = number_column(columns[4]);
        if (!c_wl || !a_wl || !c_offset || !a_offset)
            throw error(unexpected);
        dev.c_wavelengths.push_back(*c_wl);
        dev.a_wavelengths.push_back(*a_wl);
        dev.c_offsets.push_back(*c_offset);
        dev.a_offsets.push_back(*a_offset);
        if (!append_numbers(dev.temp_adjustments_c, columns, ixo_fixed_columns, bins) ||
            !append_numbers(dev.temp_adjustments_a, columns, ixo_fixed_columns + bins, bins))
            throw error(unexpected);
    }
}

// The channel lines of one kind, as the file lists them.
struct raw_channels {
    std::vector<double> wavelengths;
    std::vector<double> offsets;
    std::vector<double> values; // line-major, num_tempbins per line
};

// Line numbers ordered by ascending wavelength; equal wavelengths keep file order.
std::vector<std::int32_t> order_by_wavelength(const std::vector<double>& wavelengths)
{
    std::vector<std::int32_t> order(wavelengths.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::int32_t x, std::int32_t y) {
        return wavelengths[static_cast<std::size_t>(x)] < wavelengths[static_cast<std::size_t>(y)];
    });
    return order;
}

void take_in_order(const raw_channels& raw, const std::vector<std::int32_t>& order, std::size_t bins,
                   std::vector<double>& wavelengths, std::vector<double>& offsets, std::vector<double>& values)
{
    for (const std::int32_t line : order) {
        const auto k = static_cast<std::size_t>(line);
        wavelengths.push_back(raw.wavelengths[k]);
        offsets.push_back(raw.offsets[k]);
        const auto row = raw.values.begin() + static_cast<std::ptrdiff_t>(k * bins);
        values.insert(values.end(), row, row + static_cast<std::ptrdiff_t>(bins));
    }
}

void read_eqa_channels(devfile& dev, kept_lines& lines, std::vector<std::string_view>& columns)
{
    const std::size_t bins = dev.num_tempbins;
    raw_channels raw_a;
    raw_channels raw_c;
    for (std::size_t i = 0; i < eqa_channel_lines; ++i) {
        const std::string_view line = lines.next();
        split_columns(line, columns);
        if (columns.empty())
            throw error(unexpected_eqa_blank);
        // The letter decides which of the record's 18 values this line
        // calibrates; a line of neither kind cannot be matched to one.
        const char kind = line.front();
        const bool is_a = kind == 'a' || kind == 'A';
        if (!is_a && kind != 'c' && kind != 'C')
            throw error(unexpected);
        const auto wl = lettered_wavelength(columns[0], kind);
        const auto offset = columns.size() < eqa_fixed_columns + bins ? std::nullopt : number_column(columns[2]);
        if (!wl || !offset)
            throw error(unexpected);
        raw_channels& raw = is_a ? raw_a : raw_c;
        raw.wavelengths.push_back(*wl);
        raw.offsets.push_back(*offset);
        if (!append_numbers(raw.values, columns, eqa_fixed_columns, bins))
            throw error(unexpected);
        dev.channel_is_a.push_back(is_a);
    }
    // The decoder pairs nine a values with nine c values.
    if (raw_a.wavelengths.size() != eqa_wavelengths)
        throw error(unexpected);

    dev.a_order = order_by_wavelength(raw_a.wavelengths);
    dev.c_order = order_by_wavelength(raw_c.wavelengths);
    take_in_order(raw_a, dev.a_order, bins, dev.a_wavelengths, dev.a_offsets, dev.temp_adjustments_a);
    take_in_order(raw_c, dev.c_order, bins, dev.c_wavelengths, dev.c_offsets, dev.temp_adjustments_c);
}

} // namespace

void devfile::load(const std::string& path)
{
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        throw error(unable_to_open);
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open())
        throw error(unable_to_open);

    devfile parsed;
    kept_lines lines(in, parsed.header_lines);
    std::vector<std::string_view> columns;

    const std::string_view first = lines.next(not_a_devfile);
    parsed.meter_name = first_word(first);
    if (first.substr(0, 3) == "IXO")
        parsed.model = meter_model::ixo;
    else if (first.substr(0, 3) == "EQA")
        parsed.model = meter_model::eqa;
    else
        throw error(not_a_devfile);

    const std::size_t count = read_fixed_header(parsed, lines);
    read_bins(parsed, lines, columns);
    if (parsed.model == meter_model::ixo)
        read_ixo_channels(parsed, lines, count, columns);
    else
        read_eqa_channels(parsed, lines, columns);
    lines.next();
    lines.next();

    parsed.devfile_path = path;
    *this = std::move(parsed);
}

devfile::bin_position devfile::locate_bin(double t) const
{
    bin_position at;
    const std::size_t n = temp_bins.size();
    if (std::isnan(t) || n == 0) {
        at.kind = bin_position::not_a_number;
        return at;
    }
    std::optional<std::size_t> lower;
    for (std::size_t i = 0; i < n; ++i) {
        if (temp_bins[i] == t) {
            at.kind = bin_position::exact;
            at.low = i;
            return at;
        }
        if (temp_bins[i] < t)
            lower = i;
    }
    // Below the table the nearest bin is the first one.
    if (!lower) {
        at.kind = bin_position::exact;
        at.low = 0;
    } else if (*lower + 1 < n) {
        at.kind = bin_position::between;
        at.low = *lower;
        at.fraction = (t - temp_bins[at.low]) / (temp_bins[at.low + 1] - temp_bins[at.low]);
    } else {
        at.kind = bin_position::exact;
        at.low = n - 1;
    }
    return at;
}

double devfile::temp_adjustment(bool a_channel, std::size_t w, const bin_position& at) const
{
    const std::vector<double>& table = a_channel ? temp_adjustments_a : temp_adjustments_c;
    const std::size_t n = temp_bins.size();
    const std::size_t stride = num_tempbins;
    if (n == 0 || stride < n || w >= table.size() || (w + 1) * stride > table.size())
    {
        std::string message = "devfile::temp_adjustment: no compensation row ";
        message += std::to_string(w);
        throw std::out_of_range(message);
    }
    const double* row = table.data() + w * stride;
    switch (at.kind) {
    case bin_position::not_a_number:
        return std::numeric_limits<double>::quiet_NaN();
    case bin_position::exact:
        return row[at.low];
    case bin_position::between:
        break;
    }
    const std::size_t l = at.low;
    return row[l] + at.fraction * (row[l + 1] - row[l]);
}

double devfile::temp_adjustment(bool a_channel, std::size_t w, double t) const
{
    return temp_adjustment(a_channel, w, locate_bin(t));
}

} // namespace vantrel
