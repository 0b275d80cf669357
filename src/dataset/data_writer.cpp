// Writing data files: processed files, meter-format files, the continuous save.

#include "common/error.hpp"
#include "common/file_output.hpp"
#include "common/text_numbers.hpp"
#include "dataset/ixo_data.hpp"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <numeric>
#include <ostream>

namespace vantrel {

namespace {

constexpr int data_digits = 10;  // every field of a data line
constexpr int header_digits = 6; // numbers in header lines and labels

bool is_wavelength_line(const std::string& line)
{
    return !line.empty() && (line[0] == 'a' || line[0] == 'c' || line[0] == 'A' || line[0] == 'C');
}

// Which value each column of a data line takes: c or a, and its index.
struct column {
    bool is_a;
    std::size_t index;
};

// Standard layout: all c values, then all a values, in wavelength order.
// Meter layout (nine-wavelength model): the meter's own column order.
std::vector<column> layout_of(const IXO_Data& ds, bool meter_layout)
{
    std::vector<column> cols;
    const std::size_t n = ds.a_wavelengths.size();
    if (!(meter_layout && ds.model == model_eqa)) {
        for (std::size_t i = 0; i < ds.c_wavelengths.size(); ++i)
            cols.push_back({false, i});
        for (std::size_t i = 0; i < n; ++i)
            cols.push_back({true, i});
        return cols;
    }
    // The k-th a column of the meter holds the sorted value whose order entry is k.
    auto inverse = [](const std::deque<std::int32_t>& order) {
        std::vector<std::size_t> inv(order.size(), 0);
        for (std::size_t p = 0; p < order.size(); ++p) {
            const auto k = static_cast<std::size_t>(order[p]);
            if (order[p] < 0 || k >= order.size())
                throw error("The column order of this data set is damaged.");
            inv[k] = p;
        }
        return inv;
    };
    const auto a_inv = inverse(ds.a_column_order);
    const auto c_inv = inverse(ds.c_column_order);
    std::size_t ka = 0;
    std::size_t kc = 0;
    for (const bool is_a : ds.column_is_a) {
        if (is_a && ka < a_inv.size())
            cols.push_back({true, a_inv[ka++]});
        else if (!is_a && kc < c_inv.size())
            cols.push_back({false, c_inv[kc++]});
    }
    if (ka != a_inv.size() || kc != c_inv.size())
        throw error("The column order of this data set is damaged.");
    return cols;
}

void append_value(std::string& line, double v)
{
    text::append_general(line, v, data_digits);
    line += '\t';
}

double value_at(const ixo_data& rec, const column& col)
{
    const auto& values = col.is_a ? rec.a : rec.c;
    return col.index < values.size() ? values[col.index] : std::numeric_limits<double>::quiet_NaN();
}

// A column title: its letter, the wavelength, a tab.
void label(std::string& title, const char* letter, const std::string& wl)
{
    title += letter;
    title += wl;
    title += '\t';
}

} // namespace

void IXO_Data::write_processed_header(std::ostream& out, bool aux) const
{
    log->line("Writing headers...");
    const auto g = [](double v) { return text::general(v, header_digits); };
    out << "Output of ixo/eqa data\n"
        << "File created by Vantrel version 2.0\n"
        << "This file was created from the following files:\n"
        << "IXO file: " << data_file << '\n'
        << "CTD file: " << (ctd_merged ? ctd_file_data.file_name : std::string("No CTD file used.")) << '\n'
        << "Water file: " << (water_loaded ? water_file : std::string("No Water file used.")) << '\n'
        << "\n\n"
        << "Factory Calibration temperature: " << g(factory_cal_temp) << '\n';
    if (apply_water)
        out << "Field Water Calibration temperature: " << g(water_cal_temp);
    out << '\n';

    switch (temp_source) {
    case 1:
        out << "Using constant temperature " << text::fixed(const_temp, 1) << " degrees.\n";
        break;
    case 2:
        out << "Using CTD file for temperature.\n";
        break;
    case 3:
        out << "Using onboard sensors for temperature.\n";
        break;
    default:
        throw error("Temperature source not recognized.");
    }
    switch (saln_source) {
    case 1:
        out << "Using constant salinity " << text::fixed(const_saln, 1) << " psu.\n";
        break;
    case 2:
        out << "Using CTD file for salinity.\n";
        break;
    default:
        throw error("Salinity source not recognized.");
    }
    out << (apply_temp ? "Temperature correction applied.\n" : "\n");
    out << (apply_saln ? "Salinity correction applied.\n" : "\n");
    out << (apply_water ? "Water file subtraction applied.\n" : "\n");
    if (apply_scat) {
        out << (scat_method == 1 ? "Scattering correction by baseline subtraction applied at "
                                 : "Scattering correction by proportional subtraction applied at ")
            << text::fixed(scat_ref_a_wl, 1) << " nm";
    }
    out << "\n\n";
    out << a_wavelengths.size() << "\t\t ; number of wavelengths\n\n";

    std::string title;
    if (model == model_ixo)
        title = "\nTime(ms)\t";
    for (const double wl : c_wavelengths)
        label(title, "c", g(wl));
    for (const double wl : a_wavelengths)
        label(title, "a", g(wl));
    if (aux)
        title += "temp\tsaln\tpres\t";
    out << title << '\n';
}

void IXO_Data::write_meter_header(std::ostream& out) const
{
    out << "File created by Vantrel version 2.0\n";

    // The hyperspectral header ends in the bin-size and title lines, which are written anew.
    std::size_t kept = header_lines.size();
    if (model == model_ixo)
        kept -= std::min<std::size_t>(2, kept);

    // The loader reads a fixed header, the wavelength block, and then a set
    // number of lines before the data: one plus the two written below for the
    // hyperspectral model, four for the nine-wavelength model. Headers taken
    // from a device file (or a loaded nine-wavelength file, which keeps no
    // block) lack some of them, so the missing ones are made up here.
    const std::size_t fixed_lines = model == model_ixo ? 10 : 9;
    std::size_t block_end = std::min(fixed_lines, kept);
    while (block_end < kept && is_wavelength_line(header_lines[block_end]))
        ++block_end;
    const bool has_block = block_end > std::min(fixed_lines, kept);

    for (std::size_t i = 0; i < block_end; ++i)
        out << header_lines[i] << '\n';
    if (model == model_eqa && !has_block) {
        // Regenerate the block in the meter's column order.
        const auto cols = layout_of(*this, true);
        for (const column& col : cols) {
            const auto& wls = col.is_a ? a_wavelengths : c_wavelengths;
            out << (col.is_a ? 'a' : 'c') << text::general(wls[col.index], header_digits) << '\n';
        }
    }
    std::size_t after_block = 0;
    for (std::size_t i = block_end; i < kept; ++i, ++after_block)
        out << header_lines[i] << '\n';
    const std::size_t wanted = model == model_eqa ? 3 : (model == model_ixo ? 1 : 0);
    for (; after_block < wanted; ++after_block)
        out << '\n';

    out << "1\t\t\t; acquisition bin size\n";
    if (model == model_ixo) {
        std::string title = "Time(ms)\t";
        for (const double wl : c_wavelengths)
            label(title, "C", text::general(wl, header_digits));
        for (const double wl : a_wavelengths)
            label(title, "A", text::general(wl, header_digits));
        out << title << '\n';
    }
}

void IXO_Data::write_records(std::ostream& out, const std::vector<std::int32_t>& indices, bool corrected,
                             bool averaged, bool aux, bool meter_layout) const
{
    std::vector<std::int32_t> all;
    if (indices.empty()) {
        all.resize(records.size());
        std::iota(all.begin(), all.end(), 0);
    }
    const std::vector<std::int32_t>& chosen = indices.empty() ? all : indices;
    const std::vector<column> cols = layout_of(*this, meter_layout);

    const auto record_at = [&](std::int32_t index) -> ixo_data {
        if (corrected)
            return correct_one_line(index);
        if (index < 0 || static_cast<std::size_t>(index) >= records.size())
            throw error("Record index out of range.");
        return records[static_cast<std::size_t>(index)];
    };

    std::string line;
    if (!averaged) {
        // Lines are handed to the stream in blocks of about 64 KiB: a stream
        // writes a long piece straight through, one system call per line.
        constexpr std::size_t block = std::size_t{1} << 16;
        std::string pending;
        pending.reserve(block + (std::size_t{1} << 12));
        const auto flush_pending = [&] {
            out.write(pending.data(), static_cast<std::streamsize>(pending.size()));
            pending.clear();
        };
        try {
            for (const std::int32_t index : chosen) {
                const ixo_data rec = record_at(index);
                line.clear();
                append_value(line, rec.time);
                for (const column& col : cols)
                    append_value(line, value_at(rec, col));
                if (aux) {
                    const auto at = static_cast<std::size_t>(index);
                    if (at >= aux_merged.rows.size())
                        throw error("Record index out of range.");
                    const ctd_struct& row = aux_merged.rows[at];
                    append_value(line, row.temp);
                    append_value(line, row.saln);
                    append_value(line, row.pres);
                }
                line += '\n';
                pending += line;
                if (pending.size() >= block) {
                    flush_pending();
                    // A failed stream takes nothing more; the caller reports it.
                    if (!out)
                        return;
                }
                if (log->enabled())
                    log->line("Writing line " + std::to_string(index));
            }
        } catch (...) {
            flush_pending();
            throw;
        }
        flush_pending();
        return;
    }

    if (chosen.empty())
        throw error("No records to average.");
    const std::size_t n = a_wavelengths.size();
    ixo_data sum;
    sum.a.assign(n, 0.0);
    sum.c.assign(n, 0.0);
    for (const std::int32_t index : chosen) {
        const ixo_data rec = record_at(index);
        for (std::size_t i = 0; i < n; ++i) {
            sum.a[i] += i < rec.a.size() ? rec.a[i] : std::numeric_limits<double>::quiet_NaN();
            sum.c[i] += i < rec.c.size() ? rec.c[i] : std::numeric_limits<double>::quiet_NaN();
        }
    }
    const auto count = static_cast<double>(chosen.size());
    for (std::size_t i = 0; i < n; ++i) {
        sum.a[i] /= count;
        sum.c[i] /= count;
    }
    line = "0\t";
    for (const column& col : cols)
        append_value(line, value_at(sum, col));
    out.write(line.data(), static_cast<std::streamsize>(line.size()));
}

void IXO_Data::save_processed(const std::string& path, bool aux)
{
    if (!ctd_merged)
        aux = false;
    std::ofstream out = file_output::open(path);
    write_processed_header(out, aux);
    write_records(out, {}, true, false, aux, false);
    file_output::finish(out, path);
    if (log->enabled())
        log->line("Finished writing output to " + path);
}

void IXO_Data::save_records(const std::string& path, const std::vector<std::int32_t>& indices)
{
    std::ofstream out = file_output::open(path);
    write_meter_header(out);
    write_records(out, indices, true, false, false, true);
    file_output::finish(out, path);
    if (log->enabled())
        log->line("Finished writing output to " + path);
}

void IXO_Data::save_uncorrected(const std::string& path)
{
    std::ofstream out = file_output::open(path);
    write_meter_header(out);
    write_records(out, {}, false, false, false, true);
    file_output::finish(out, path);
    if (log->enabled())
        log->line("Finished writing output to " + path);
}

bool IXO_Data::begin_continuous_save(const std::string& path)
{
    if (save_stream.is_open())
        save_stream.close();
    save_stream.clear();
    save_stream.open(path, std::ios::binary | std::ios::trunc);
    saved_record_count = 0;
    save_path = path;
    if (!save_stream.is_open())
        return false;
    write_meter_header(save_stream);
    save_stream.flush();
    if (!save_stream) {
        save_stream.close();
        file_output::write_failed(path);
    }
    return true;
}

void IXO_Data::continue_save()
{
    if (!save_stream.is_open() || records.size() <= saved_record_count)
        return;
    // A file deleted under the program takes every append without complaint,
    // and the records would be gone when it closes.
    std::error_code ec;
    if (!std::filesystem::exists(save_path, ec))
        save_stream.setstate(std::ios::badbit);
    if (save_stream) {
        std::vector<std::int32_t> fresh(records.size() - saved_record_count);
        std::iota(fresh.begin(), fresh.end(), static_cast<std::int32_t>(saved_record_count));
        write_records(save_stream, fresh, false, false, false, true);
        // Flushed at once: a crash or a kill loses nothing already appended.
        save_stream.flush();
    }
    // Records that did not reach the file are not counted as saved; they stay in memory.
    file_output::check_written(save_stream, save_path);
    saved_record_count = records.size();
}

void IXO_Data::end_continuous_save()
{
    if (!save_stream.is_open())
        return;
    // A failure already reported by an append is not reported again.
    const bool healthy = static_cast<bool>(save_stream);
    save_stream.close();
    if (healthy)
        file_output::check_written(save_stream, save_path);
}

} // namespace vantrel
