#pragma once

#include "dataset/ixo_data.hpp"

#include <cstdint>
#include <vector>

namespace vantrel {

// A record picked by a click on a data point. The flag tells which plot
// channel it came from (true: absorption); nothing reads it.
struct single_pick {
    std::int32_t record = 0;
    bool flag = false;
};

// Records picked between two data cursors: start to end - 1.
struct range_pick {
    std::int32_t start = 0;
    std::int32_t end = 0;
    bool flag = false;
};

// The records a range covers. A range whose two ends are the same record
// covers that one record rather than nothing.
std::vector<std::int32_t> covered_records(const range_pick& range);

// The picks of the selected-data frame. Rows: one per single pick in the
// order added, then one per range pick in the order added.
class pick_list {
public:
    void add_single(std::int32_t record, bool flag);
    // The ends are put in order, so start is never greater than end.
    void add_range(std::int32_t start, std::int32_t end, bool flag);
    void clear();

    bool empty() const { return singles_.empty() && ranges_.empty(); }
    std::size_t row_count() const { return singles_.size() + ranges_.size(); }
    const std::vector<single_pick>& singles() const { return singles_; }
    const std::vector<range_pick>& ranges() const { return ranges_; }

    // The records of rows top to bottom (inclusive), ascending, each once;
    // rows past the last pick hold nothing.
    std::vector<std::int32_t> records_of_rows(std::int32_t top, std::int32_t bottom) const;
    // Deletes the picks of rows top to bottom, from the bottom row up so the
    // rows still to go keep their numbers.
    void remove_rows(std::int32_t top, std::int32_t bottom);

private:
    std::vector<single_pick> singles_;
    std::vector<range_pick> ranges_;
};

// The channel-by-channel mean of the corrected records, with the first
// one's time. Summed while correcting, so a long range costs no copy of its
// records. Fails when no record is given.
ixo_data mean_corrected(const IXO_Data& ds, const std::vector<std::int32_t>& indices);

} // namespace vantrel
