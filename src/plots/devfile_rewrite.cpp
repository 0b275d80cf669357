#include "plots/devfile_rewrite.hpp"

#include "common/error.hpp"
#include "common/file_output.hpp"
#include "common/text_numbers.hpp"
#include "plots/selected_picks.hpp"

#include <fstream>
#include <optional>
#include <string_view>

namespace vantrel {

namespace {

constexpr const char* no_channel_lines = "This data set holds no device file channel lines.";
constexpr const char* unknown_model = "Unable to determine file type!  This should not happen.";

// Lines before the channel lines: up to the bins line.
constexpr std::size_t ixo_fixed_lines = 10;
constexpr std::size_t eqa_fixed_lines = 9;
constexpr std::size_t eqa_channel_lines = 18;
constexpr std::size_t eqa_wavelengths = 9;

std::string g(double v)
{
    return text::general(v, 6);
}

void skip_blanks(std::string_view& s)
{
    while (!s.empty() && text::is_blank(s.front()))
        s.remove_prefix(1);
}

// "%s": the next word, empty when the line has none left.
std::string_view next_word(std::string_view& s)
{
    skip_blanks(s);
    std::size_t n = 0;
    while (n < s.size() && !text::is_blank(s[n]))
        ++n;
    const std::string_view word = s.substr(0, n);
    s.remove_prefix(n);
    return word;
}

// One channel line taken apart: the pass-through column, the offsets and
// whatever follows them (the temperature compensation values).
struct channel_line {
    std::string pass_through;
    double first_offset = 0.0;
    double second_offset = 0.0;
    std::string rest;
};

// "%*s %*s %s %lf %lf %[^\n]" (Ixo, two offsets) or "%*s %s %lf %[^\n]"
// (Eqa, one offset); nothing when the line does not hold those columns.
std::optional<channel_line> scan_channel_line(std::string_view line, int skipped_words, int offsets)
{
    for (int i = 0; i < skipped_words; ++i)
        if (next_word(line).empty())
            return std::nullopt;
    channel_line out;
    out.pass_through = std::string(next_word(line));
    if (out.pass_through.empty())
        return std::nullopt;
    const auto first = text::scan_double(line);
    if (!first)
        return std::nullopt;
    out.first_offset = *first;
    if (offsets == 2) {
        const auto second = text::scan_double(line);
        if (!second)
            return std::nullopt;
        out.second_offset = *second;
    }
    skip_blanks(line);
    out.rest = std::string(line);
    return out;
}

void write_lines(std::string& out, const IXO_Data& ds, std::size_t from, std::size_t to)
{
    for (std::size_t i = from; i < to; ++i) {
        out += ds.header_lines[i];
        out += '\n';
    }
}

std::string ixo_devfile(const IXO_Data& ds, const ixo_data& mean)
{
    const std::size_t n = ds.a_wavelengths.size();
    if (n == 0 || ds.c_wavelengths.size() != n || mean.a.size() < n || mean.c.size() < n ||
        ds.header_lines.size() < ixo_fixed_lines + n + 1)
        throw error(no_channel_lines);

    std::string out;
    write_lines(out, ds, 0, ixo_fixed_lines);
    for (std::size_t j = 0; j < n; ++j) {
        // Stored order on the line: c offset, then a offset.
        const auto line = scan_channel_line(ds.header_lines[ixo_fixed_lines + j], 2, 2);
        if (!line)
            throw error(no_channel_lines);
        out += "C" + g(ds.c_wavelengths[j]) + "\tA" + g(ds.a_wavelengths[j]) + "\t" + line->pass_through +
               "\t" + g(line->first_offset - mean.c[j]) + "\t" + g(line->second_offset - mean.a[j]) + "\t\t" +
               line->rest + "\n";
    }
    // The device file parser wants both trailing lines. Header lines taken
    // from the device file itself hold both; a data file keeps only the first
    // (its bin-size and title lines follow), so the second is left empty.
    const std::size_t after = ixo_fixed_lines + n;
    write_lines(out, ds, after, after + 1);
    if (ds.header_lines.size() == after + 2)
        write_lines(out, ds, after + 1, after + 2);
    else
        out += '\n';
    return out;
}

// Position in the sorted wavelength list of the k-th line of one kind.
std::optional<std::size_t> sorted_position(const std::deque<std::int32_t>& order, std::size_t k)
{
    for (std::size_t p = 0; p < order.size(); ++p)
        if (order[p] >= 0 && static_cast<std::size_t>(order[p]) == k)
            return p;
    return std::nullopt;
}

std::string eqa_devfile(const IXO_Data& ds, const ixo_data& mean)
{
    // Only a data set started from the device file keeps its channel lines.
    if (ds.header_lines.size() < eqa_fixed_lines + eqa_channel_lines + 2 ||
        ds.column_is_a.size() < eqa_channel_lines || ds.a_column_order.size() != eqa_wavelengths ||
        ds.c_column_order.size() != eqa_wavelengths || ds.a_wavelengths.size() != eqa_wavelengths ||
        ds.c_wavelengths.size() != eqa_wavelengths || mean.a.size() < eqa_wavelengths ||
        mean.c.size() < eqa_wavelengths)
        throw error(no_channel_lines);

    std::string out;
    write_lines(out, ds, 0, eqa_fixed_lines);
    std::size_t a_lines = 0;
    std::size_t c_lines = 0;
    for (std::size_t i = 0; i < eqa_channel_lines; ++i) {
        const std::string& text = ds.header_lines[eqa_fixed_lines + i];
        const bool is_a = ds.column_is_a[i];
        // The line has to be of the kind the channel layout says it is.
        const char letter = text.empty() ? '\0' : text.front();
        if ((is_a && letter != 'a' && letter != 'A') || (!is_a && letter != 'c' && letter != 'C'))
            throw error(no_channel_lines);
        const auto line = scan_channel_line(text, 1, 1);
        const auto pos =
            sorted_position(is_a ? ds.a_column_order : ds.c_column_order, is_a ? a_lines : c_lines);
        if (!line || !pos)
            throw error(no_channel_lines);
        ++(is_a ? a_lines : c_lines);
        const double wl = is_a ? ds.a_wavelengths[*pos] : ds.c_wavelengths[*pos];
        const double m = is_a ? mean.a[*pos] : mean.c[*pos];
        out += (is_a ? "A" : "C") + g(wl) + "\t" + line->pass_through + "\t" + g(line->first_offset - m) +
               "\t\t" + line->rest + "\n";
    }
    write_lines(out, ds, eqa_fixed_lines + eqa_channel_lines, eqa_fixed_lines + eqa_channel_lines + 2);
    return out;
}

} // namespace

std::string rewritten_devfile(const IXO_Data& ds, const ixo_data& mean)
{
    if (ds.model == model_ixo)
        return ixo_devfile(ds, mean);
    if (ds.model == model_eqa)
        return eqa_devfile(ds, mean);
    throw error(unknown_model);
}

void save_devfile(const IXO_Data& ds, const std::vector<std::int32_t>& indices, const std::string& path)
{
    // The text is made first, so a data set that cannot make a device file
    // (or a failed correction) leaves no file behind.
    const bool meter = ds.model == model_ixo || ds.model == model_eqa;
    const std::string text = meter ? rewritten_devfile(ds, mean_corrected(ds, indices)) : std::string();

    std::ofstream file = file_output::open(path);
    if (!meter)
        throw error(unknown_model);
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    file_output::finish(file, path);
}

} // namespace vantrel
