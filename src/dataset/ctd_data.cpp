// CTD text files and their merge into the data set by time.

#include "common/error.hpp"
#include "common/line_reader.hpp"
#include "common/text_numbers.hpp"
#include "dataset/ixo_data.hpp"

#include <cmath>

namespace vantrel {

namespace {

bool has_letter(std::string_view line)
{
    for (const char ch : line) {
        if ((ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z'))
            return true;
    }
    return false;
}

} // namespace

void CTD_Data::read_file(const std::string& path, std::int32_t time_column, std::int32_t temp_column,
                         std::int32_t saln_column, std::int32_t pres_column)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw error("Unable to open file.");
    rows.clear();
    line_reader in(file);

    // Column numbers count from 1; a column a line lacks keeps the previous row's value.
    const auto take = [](const std::vector<std::string_view>& fields, std::int32_t column, double& into) {
        if (column >= 1 && static_cast<std::size_t>(column) <= fields.size())
            into = text::leading_double(fields[static_cast<std::size_t>(column - 1)]);
    };

    bool in_header = true;
    ctd_struct row;
    std::vector<std::string_view> fields;
    std::string_view line;
    while (in.next(line)) {
        // Titles and units come first; the first line without a letter is data.
        if (in_header && has_letter(line))
            continue;
        in_header = false;
        text::split_fields(line, fields);
        take(fields, time_column, row.time);
        take(fields, pres_column, row.pres);
        take(fields, saln_column, row.saln);
        take(fields, temp_column, row.temp);
        rows.push_back(row);
    }
    file_name = path;
}

void IXO_Data::merge_ctd()
{
    const auto& ctd = ctd_file_data.rows;
    if (ctd.empty())
        throw error("CTD file holds no data.");
    if (aux_merged.rows.size() < records.size())
        aux_merged.rows.resize(records.size());

    // One forward pass: each record's search starts at the previous match,
    // and the rows stop being looked at once they move away.
    std::size_t best = 0;
    for (std::size_t r = 0; r < records.size(); ++r) {
        const double t = records[r].time;
        double diff = t - ctd[best].time;
        for (std::size_t i = best + 1; i < ctd.size(); ++i) {
            const double d = t - ctd[i].time;
            if (std::fabs(d) < std::fabs(diff)) {
                best = i;
                diff = d;
            } else if (d < diff) {
                break;
            }
        }
        ctd_struct matched = ctd[best];
        matched.time = t;
        aux_merged.rows[r] = matched;
        if (log->enabled())
            log->line("Merging line " + std::to_string(r) + " to CTD");
    }
    log->line("Merge complete.");
    ctd_merged = true;
}

} // namespace vantrel
