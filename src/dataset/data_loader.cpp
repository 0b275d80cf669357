// Reading text data files (both meter models, processed files, water data).

#include "common/error.hpp"
#include "common/line_reader.hpp"
#include "common/text_numbers.hpp"
#include "dataset/ixo_data.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace vantrel {

namespace {

constexpr double missing = std::numeric_limits<double>::quiet_NaN();

enum class file_kind { ixo, eqa, processed, processed_written, water, unknown };

file_kind kind_of(std::string_view line2)
{
    using text::starts_with_nocase;
    if (starts_with_nocase(line2, "IXO"))
        return file_kind::ixo;
    if (starts_with_nocase(line2, "EQA"))
        return file_kind::eqa;
    if (starts_with_nocase(line2, "Vantrel"))
        return file_kind::processed;
    if (starts_with_nocase(line2, "Water"))
        return file_kind::water;
    // The processed files this program writes carry this line on line 2.
    if (starts_with_nocase(line2, "File created by Vantrel"))
        return file_kind::processed_written;
    return file_kind::unknown;
}

// Sends a formatted line to the sink only when somebody listens.
template <typename Make>
void note(diagnostic_sink& sink, Make make)
{
    if (sink.enabled())
        sink.line(make());
}

// Field `i` of a data line, or NaN when the line is shorter.
double field_or_missing(const std::vector<std::string_view>& fields, std::size_t i)
{
    return i < fields.size() ? text::leading_double(fields[i]) : missing;
}

// The temperature, salinity and pressure that follow the spectra. A line
// that lacks them keeps the previous line's values (zero before any).
struct aux_reader {
    ctd_struct last;

    ctd_struct read(const std::vector<std::string_view>& fields, std::size_t first, bool with_saln)
    {
        if (first < fields.size())
            last.temp = text::leading_double(fields[first]);
        if (with_saln && first + 1 < fields.size())
            last.saln = text::leading_double(fields[first + 1]);
        if (first + 2 < fields.size())
            last.pres = text::leading_double(fields[first + 2]);
        return last;
    }

    // The same from the rest of a data line, after the spectra.
    ctd_struct read_next(std::string_view& rest, bool with_saln)
    {
        double v = 0.0;
        if (!text::next_field_double(rest, v))
            return last;
        last.temp = v;
        if (!text::next_field_double(rest, v))
            return last;
        if (with_saln)
            last.saln = v;
        if (text::next_field_double(rest, v))
            last.pres = v;
        return last;
    }
};

// "C412.3  A413.1 ..." gives the c and the a wavelength of one channel.
void read_wavelength_pair(std::string_view line, double& c_wl, double& a_wl, std::size_t line_number)
{
    std::string_view rest = line.substr(1);
    const auto first = text::scan_double(rest);
    std::size_t i = 0;
    while (i < rest.size() && (rest[i] == ' ' || rest[i] == '\t'))
        ++i;
    rest.remove_prefix(i);
    const char second_letter = rest.empty() ? '\0' : rest.front();
    std::optional<double> second;
    if (!rest.empty()) {
        rest.remove_prefix(1);
        second = text::scan_double(rest);
    }
    const char first_letter = line.front();
    const bool c_then_a = (first_letter == 'C' || first_letter == 'c') &&
                          (second_letter == 'A' || second_letter == 'a');
    const bool a_then_c = (first_letter == 'A' || first_letter == 'a') &&
                          (second_letter == 'C' || second_letter == 'c');
    if (!first || !second || (!c_then_a && !a_then_c))
        throw error("Unable to read the wavelengths on line " + std::to_string(line_number) +
                    " of the data file.");
    c_wl = c_then_a ? *first : *second;
    a_wl = c_then_a ? *second : *first;
}

// Indices 0..n-1 in the order that makes `values` ascend.
std::deque<std::int32_t> ascending_order(const std::vector<double>& values)
{
    std::vector<std::int32_t> order(values.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::int32_t l, std::int32_t r) {
        return values[static_cast<std::size_t>(l)] < values[static_cast<std::size_t>(r)];
    });
    return {order.begin(), order.end()};
}

// What a meter-format load fills: the data set's records or its water records.
struct record_target {
    IXO_Data& ds;
    bool as_water;

    void add(ixo_data&& rec, const ctd_struct& aux)
    {
        if (as_water) {
            ds.water_records.push_back(std::move(rec));
            return;
        }
        ds.records.push_back(std::move(rec));
        ds.aux_onboard.rows.push_back(aux);
        ds.aux_merged.rows.push_back(aux);
    }
};

// A blank must have exactly the channels of the data it is subtracted from.
void check_water_channels(const IXO_Data& ds, std::size_t channels)
{
    if (channels != ds.a_wavelengths.size() || channels != ds.c_wavelengths.size())
        throw error("Water has differing number of wavelengths than data file!");
}

// A decimal serial number, or the hexadecimal form of the Ixo device file
// (0x5300007A is meter 122) that the files written during acquisition carry.
std::optional<std::int32_t> serial_of(std::string_view line)
{
    std::size_t i = 0;
    while (i < line.size() && text::is_blank(line[i]))
        ++i;
    const std::string_view rest = line.substr(i);
    if (rest.size() > 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X')) {
        std::string_view hex = rest;
        if (const auto value = text::scan_integer(hex))
            return static_cast<std::int32_t>(static_cast<std::uint32_t>(*value) - 0x53000000U);
    }
    std::string_view dec = rest;
    if (const auto value = text::scan_decimal(dec))
        return static_cast<std::int32_t>(*value);
    return std::nullopt;
}

// The meter-format header from line 3 to `last_line`: kept verbatim, with
// the serial number from line 3 and the calibration temperature from line 5.
void read_fixed_header(IXO_Data& ds, line_reader& in, int last_line, bool as_water)
{
    for (int line_no = 3; line_no <= last_line; ++line_no) {
        const std::string_view line = in.next_or_empty();
        if (as_water)
            continue;
        ds.header_lines.emplace_back(line);
        std::string_view rest = line;
        if (line_no == 3) {
            if (const auto serial = serial_of(rest))
                ds.serial_number = *serial;
        } else if (line_no == 5) {
            const auto fields = text::split_fields(line);
            ds.factory_cal_temp = fields.size() > 1 ? text::leading_double(fields[1]) : 0.0;
        }
    }
}

void read_ixo(IXO_Data& ds, line_reader& in, bool as_water)
{
    read_fixed_header(ds, in, 11, as_water);

    // Wavelength block: one "C... A..." line per channel.
    std::size_t channels = 0;
    std::size_t line_no = 11;
    for (;;) {
        const std::string_view line = in.next_or_empty();
        ++line_no;
        if (!as_water)
            ds.header_lines.emplace_back(line);
        if (line.empty() || (line[0] != 'a' && line[0] != 'c' && line[0] != 'A' && line[0] != 'C'))
            break;
        double c_wl = 0.0;
        double a_wl = 0.0;
        read_wavelength_pair(line, c_wl, a_wl, line_no);
        if (!as_water) {
            ds.a_wavelengths.push_back(a_wl);
            ds.c_wavelengths.push_back(c_wl);
        }
        ++channels;
    }
    if (as_water)
        check_water_channels(ds, channels);
    else
        ds.wavelength_count = static_cast<std::int32_t>(channels);

    // The bin-size line and the column title line.
    for (int i = 0; i < 2; ++i) {
        const std::string_view line = in.next_or_empty();
        if (!as_water)
            ds.header_lines.emplace_back(line);
    }

    record_target target{ds, as_water};
    aux_reader aux;
    std::string_view line;
    std::size_t data_lines = 0;
    while (in.next(line)) {
        std::string_view rest = line;
        double v = 0.0;
        if (!text::next_field_double(rest, v))
            continue;
        ixo_data rec;
        rec.time = v;
        rec.c.resize(channels);
        rec.a.resize(channels);
        for (double& x : rec.c)
            x = text::next_field_double(rest, v) ? v : missing;
        for (double& x : rec.a)
            x = text::next_field_double(rest, v) ? v : missing;
        target.add(std::move(rec), aux.read_next(rest, false));
        note(*ds.log, [&] { return "Reading line " + std::to_string(data_lines); });
        ++data_lines;
    }
}

void read_eqa(IXO_Data& ds, line_reader& in, bool as_water)
{
    read_fixed_header(ds, in, 10, as_water);

    // Wavelength block: one line per value column, in the meter's column order.
    std::vector<bool> layout;
    std::vector<double> a_raw;
    std::vector<double> c_raw;
    for (;;) {
        const std::string_view line = in.next_or_empty();
        if (line.empty() || (line[0] != 'a' && line[0] != 'c' && line[0] != 'A' && line[0] != 'C'))
            break;
        std::string_view rest = line.substr(1);
        const double wl = text::scan_double(rest).value_or(0.0);
        const bool is_a = line[0] == 'a' || line[0] == 'A';
        (is_a ? a_raw : c_raw).push_back(wl);
        layout.push_back(is_a);
    }
    if (a_raw.size() != 9 || c_raw.size() != 9)
        throw error("An EQA file must list nine a and nine c wavelengths.");

    // Sorting by wavelength; the order lists map back to the meter's columns.
    const auto a_order = ascending_order(a_raw);
    const auto c_order = ascending_order(c_raw);
    if (as_water) {
        check_water_channels(ds, 9);
    } else {
        ds.column_is_a.assign(layout.begin(), layout.end());
        ds.a_column_order = a_order;
        ds.c_column_order = c_order;
        for (const auto k : a_order)
            ds.a_wavelengths.push_back(a_raw[static_cast<std::size_t>(k)]);
        for (const auto k : c_order)
            ds.c_wavelengths.push_back(c_raw[static_cast<std::size_t>(k)]);
        ds.wavelength_count = 9;
    }
    for (int i = 0; i < 3; ++i)
        in.next_or_empty();

    record_target target{ds, as_water};
    aux_reader aux;
    std::vector<std::string_view> fields;
    std::vector<double> a_meter(9);
    std::vector<double> c_meter(9);
    std::string_view line;
    std::size_t lines_read = 0;
    while (in.next(line)) {
        note(*ds.log, [&] { return "Reading line " + std::to_string(lines_read); });
        ++lines_read;
        text::split_fields(line, fields);
        if (fields.empty())
            continue;
        ixo_data rec;
        rec.time = text::leading_double(fields[0]);
        std::size_t ka = 0;
        std::size_t kc = 0;
        for (std::size_t k = 0; k < layout.size(); ++k) {
            const double v = field_or_missing(fields, 1 + k);
            if (layout[k])
                a_meter[ka++] = v;
            else
                c_meter[kc++] = v;
        }
        rec.a.resize(9);
        rec.c.resize(9);
        for (std::size_t i = 0; i < 9; ++i) {
            rec.a[i] = a_meter[static_cast<std::size_t>(a_order[i])];
            rec.c[i] = c_meter[static_cast<std::size_t>(c_order[i])];
        }
        target.add(std::move(rec), aux.read(fields, 1 + layout.size(), false));
    }
}

// Reads the wavelength labels "c412.3" / "a413.1" of a processed title line.
std::size_t read_title_labels(IXO_Data& ds, const std::vector<std::string_view>& fields, std::size_t first,
                              std::size_t n, bool as_water)
{
    // The count line alone must not size the data set: a damaged count would
    // make every record of a small file millions of values long.
    if (first > fields.size() || (fields.size() - first) / 2 < n)
        throw error("The title line does not name every wavelength of the file.");
    for (std::size_t k = 0; k < 2 * n; ++k) {
        const std::size_t i = first + k;
        std::string_view label = i < fields.size() ? fields[i] : std::string_view{};
        if (!label.empty())
            label.remove_prefix(1);
        const double wl = text::leading_double(label);
        if (as_water)
            continue;
        (k < n ? ds.c_wavelengths : ds.a_wavelengths).push_back(wl);
    }
    return first + 2 * n;
}

// Data lines of a processed file: time, N c values, N a values, then the
// auxiliary columns; an empty line ends the data.
void read_processed_records(IXO_Data& ds, line_reader& in, std::size_t n, bool as_water, bool with_saln)
{
    record_target target{ds, as_water};
    aux_reader aux;
    std::vector<std::string_view> fields;
    std::string_view line;
    while (in.next(line)) {
        text::split_fields(line, fields);
        if (fields.empty())
            break;
        ixo_data rec;
        rec.time = text::leading_double(fields[0]);
        rec.c.resize(n);
        rec.a.resize(n);
        for (std::size_t i = 0; i < n; ++i)
            rec.c[i] = field_or_missing(fields, 1 + i);
        for (std::size_t i = 0; i < n; ++i)
            rec.a[i] = field_or_missing(fields, 1 + n + i);
        target.add(std::move(rec), aux.read(fields, 1 + 2 * n, with_saln));
    }
}

std::size_t read_count_line(IXO_Data& ds, std::string_view line, bool as_water)
{
    const auto count = text::scan_decimal(line).value_or(0);
    const auto n = static_cast<std::size_t>(std::max<long long>(0, count));
    if (!as_water)
        ds.wavelength_count = static_cast<std::int32_t>(n);
    return n;
}

// The loader's processed layout: line 18 the count, line 21 the title
// (two leading fields skipped), line 22 skipped, then the data.
void read_processed(IXO_Data& ds, line_reader& in, bool as_water)
{
    for (int i = 0; i < 15; ++i)
        in.next_or_empty();
    const std::size_t n = read_count_line(ds, in.next_or_empty(), as_water);
    std::string_view title;
    for (int i = 0; i < 3; ++i) {
        if (!in.next(title))
            throw error("can't figure out where I am");
    }
    read_title_labels(ds, text::split_fields(title), 2, n, as_water);
    in.next_or_empty();
    read_processed_records(ds, in, n, as_water, false);
    note(*ds.log, [] { return std::string("Viva la breakpoint!"); });
}

// The processed files this program writes: lines 3 to 17 describe the
// sources, line 18 gives the count, the title line stands on line 21
// (hyperspectral, after "Time(ms)") or on line 20, and the data follow it.
void read_processed_written(IXO_Data& ds, line_reader& in, bool as_water)
{
    std::string ctd_path;
    for (int line_no = 3; line_no <= 17; ++line_no) {
        const std::string_view line = in.next_or_empty();
        if (as_water)
            continue;
        if (line_no == 5 && text::starts_with_nocase(line, "CTD file: "))
            ctd_path = std::string(line.substr(10));
        if (line_no == 9) {
            const auto colon = line.find(':');
            if (colon != std::string_view::npos)
                ds.factory_cal_temp = text::leading_double(line.substr(colon + 1));
        }
    }
    const std::size_t n = read_count_line(ds, in.next_or_empty(), as_water);
    in.next_or_empty(); // line 19, empty
    std::string_view title;
    if (!in.next(title))
        throw error("can't figure out where I am");
    if (title.empty() && !in.next(title))
        throw error("can't figure out where I am");
    const auto fields = text::split_fields(title);
    std::size_t first = 0;
    if (!fields.empty() && text::starts_with_nocase(fields[0], "Time"))
        first = 1;
    const std::size_t after = read_title_labels(ds, fields, first, n, as_water);
    const bool with_aux = after < fields.size() && text::starts_with_nocase(fields[after], "temp");
    read_processed_records(ds, in, n, as_water, with_aux);
    if (with_aux && !as_water && ctd_path != "No CTD file used.") {
        // The auxiliary columns hold the CTD values the file was made with.
        ds.ctd_merged = true;
        ds.ctd_file_data.file_name = ctd_path;
    }
}

} // namespace

void IXO_Data::load_file(const std::string& path, bool as_water)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw error("Unable to open file.");
    line_reader in(file);

    if (as_water)
        water_records.clear();

    in.next_or_empty(); // line 1: free text
    const std::string line2(in.next_or_empty());
    if (!as_water) {
        header_lines.clear();
        header_lines.push_back(line2);
    }

    const file_kind kind = kind_of(line2);
    if (!as_water) {
        switch (kind) {
        case file_kind::ixo:
            model = model_ixo;
            break;
        case file_kind::eqa:
            model = model_eqa;
            break;
        case file_kind::processed:
        case file_kind::processed_written:
            model = model_processed;
            break;
        case file_kind::water:
            model = model_water_file;
            break;
        case file_kind::unknown:
            break;
        }
        if (kind != file_kind::unknown)
            processed_file = kind == file_kind::processed || kind == file_kind::processed_written;
    }

    switch (kind) {
    case file_kind::ixo:
        log->line("This is an IXO file.\n");
        break;
    case file_kind::eqa:
        log->line("This is an EQA file.\n");
        break;
    case file_kind::processed:
    case file_kind::processed_written:
        log->line("This is a Vantrel processed file.\n");
        break;
    case file_kind::water:
        log->line("This is a Vantrel Water file.\n");
        break;
    case file_kind::unknown:
        throw error("File does not appear to be an IXO or EQA file.");
    }

    if (kind == file_kind::water) {
        if (!as_water)
            throw error("You can not load water files as data.  This will be changed in the next release.\n");
        read_water_cal(in);
        water_file = path;
        note(*log, [&] { return "Finished loading " + path + "."; });
        return;
    }

    if (kind == file_kind::processed || kind == file_kind::processed_written) {
        // A processed file holds corrected values and no blank can be formed from it.
        if (as_water)
            throw error("A processed file can not be used as water data.");
        if (kind == file_kind::processed)
            read_processed(*this, in, false);
        else
            read_processed_written(*this, in, false);
    } else if (kind == file_kind::ixo) {
        read_ixo(*this, in, as_water);
    } else {
        read_eqa(*this, in, as_water);
    }
    file.close();

    if (!as_water)
        prepare_coefficients();

    if (as_water) {
        if (water_records.empty())
            throw error("Water file holds no records.");
        water_mean = mean_spectrum(water_records);
        water_loaded = true;
        water_file = path;
    } else {
        data_file = path;
    }
    note(*log, [&] { return "Finished loading " + path + "."; });

    if (!as_water)
        set_scat_ref(715.0);
}

} // namespace vantrel
