#include "app/ctd_column_choice.hpp"

#include "common/error.hpp"
#include "common/line_reader.hpp"
#include "common/text_numbers.hpp"

#include <algorithm>
#include <climits>
#include <fstream>
#include <utility>

namespace vantrel {

void ctd_column_choice::load_preview(const std::string& path)
{
    preview_.clear();
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw error("Unable to open file.");
    line_reader in(file);
    std::string_view line;
    while (preview_.size() < preview_limit && in.next(line))
        preview_.emplace_back(line);
}

std::size_t ctd_column_choice::field_count() const
{
    if (preview_.empty())
        return 0;
    const std::string& line = preview_.size() >= 2 ? preview_[preview_.size() - 2] : preview_.back();
    return text::split_fields(line).size();
}

std::string ctd_column_choice::accept(const std::string& time_text, const std::string& pres_text,
                                      const std::string& temp_text, const std::string& saln_text,
                                      ctd_columns& settings) const
{
    const auto number = [](const std::string& t) {
        std::string_view rest = t;
        const auto v = text::scan_decimal(rest).value_or(0);
        return static_cast<std::int32_t>(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
    };
    const ctd_columns chosen{number(time_text), number(pres_text), number(temp_text), number(saln_text)};
    const auto fields = static_cast<long long>(field_count());
    const auto invalid = [&](std::int32_t column) { return column < 1 || column > fields; };

    std::string last_invalid;
    const std::pair<std::int32_t, const char*> order[] = {
        {chosen.temp, "Temperature"}, {chosen.pres, "Pressure"}, {chosen.saln, "Salinity"}, {chosen.time, "Time"}};
    for (const auto& [column, name] : order) {
        if (invalid(column))
            last_invalid = name;
    }
    if (!last_invalid.empty())
        return "The " + last_invalid + " column has an invalid value.";
    settings = chosen;
    return {};
}

} // namespace vantrel
