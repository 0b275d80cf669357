#include "plots/selected_picks.hpp"

#include "common/error.hpp"

#include <algorithm>
#include <utility>

namespace vantrel {

std::vector<std::int32_t> covered_records(const range_pick& range)
{
    if (range.end <= range.start)
        return {range.start};
    std::vector<std::int32_t> records;
    records.reserve(static_cast<std::size_t>(range.end - range.start));
    for (std::int32_t r = range.start; r < range.end; ++r)
        records.push_back(r);
    return records;
}

void pick_list::add_single(std::int32_t record, bool flag)
{
    singles_.push_back({record, flag});
}

void pick_list::add_range(std::int32_t start, std::int32_t end, bool flag)
{
    if (end < start)
        std::swap(start, end);
    ranges_.push_back({start, end, flag});
}

void pick_list::clear()
{
    singles_.clear();
    ranges_.clear();
}

std::vector<std::int32_t> pick_list::records_of_rows(std::int32_t top, std::int32_t bottom) const
{
    std::vector<std::int32_t> records;
    const auto singles = static_cast<std::int32_t>(singles_.size());
    const auto rows = static_cast<std::int32_t>(row_count());
    for (std::int32_t row = std::min(bottom, rows - 1); row >= std::max(top, 0); --row) {
        if (row < singles) {
            records.push_back(singles_[static_cast<std::size_t>(row)].record);
        } else {
            const auto covered = covered_records(ranges_[static_cast<std::size_t>(row - singles)]);
            records.insert(records.end(), covered.begin(), covered.end());
        }
    }
    std::sort(records.begin(), records.end());
    records.erase(std::unique(records.begin(), records.end()), records.end());
    return records;
}

void pick_list::remove_rows(std::int32_t top, std::int32_t bottom)
{
    const auto rows = static_cast<std::int32_t>(row_count());
    for (std::int32_t row = std::min(bottom, rows - 1); row >= std::max(top, 0); --row) {
        const auto singles = static_cast<std::int32_t>(singles_.size());
        if (row < singles)
            singles_.erase(singles_.begin() + row);
        else
            ranges_.erase(ranges_.begin() + (row - singles));
    }
}

ixo_data mean_corrected(const IXO_Data& ds, const std::vector<std::int32_t>& indices)
{
    if (indices.empty())
        throw error("No records selected.");
    ixo_data mean = ds.correct_one_line(indices.front());
    for (std::size_t k = 1; k < indices.size(); ++k) {
        const ixo_data rec = ds.correct_one_line(indices[k]);
        for (std::size_t i = 0; i < mean.a.size() && i < rec.a.size(); ++i)
            mean.a[i] += rec.a[i];
        for (std::size_t i = 0; i < mean.c.size() && i < rec.c.size(); ++i)
            mean.c[i] += rec.c[i];
    }
    const auto count = static_cast<double>(indices.size());
    for (double& v : mean.a)
        v /= count;
    for (double& v : mean.c)
        v /= count;
    return mean;
}

} // namespace vantrel
