// The CTD reader and the merge. The first four input bytes choose the time,
// temperature, salinity and pressure columns (1 to 8, or 0 for none), the
// next byte a number of records and the pairs of bytes after it their times
// (some of them not numbers or infinite, and in any order); the rest is the
// CTD file. After a merge every record has its row, at its own time.

#include "fuzz_support.hpp"

#include <limits>

using namespace vantrel;

namespace {

double record_time(std::uint8_t high, std::uint8_t low)
{
    const auto v = static_cast<std::int16_t>(static_cast<std::uint16_t>((high << 8) | low));
    switch (v) {
    case 0x7FFF:
        return std::numeric_limits<double>::quiet_NaN();
    case 0x7FFE:
        return std::numeric_limits<double>::infinity();
    case -0x8000:
        return -std::numeric_limits<double>::infinity();
    default:
        return 37.5 * v;
    }
}

bool same_time(double x, double y)
{
    return x == y || (std::isnan(x) && std::isnan(y));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::input_file file("ctd");
    fuzz::input_bytes in(data, size);
    std::int32_t columns[4];
    for (auto& c : columns)
        c = in.take_byte() % 9;
    const std::size_t count = in.take_byte() % 48;

    IXO_Data ds;
    ds.load_file(fuzz::source_file("tests/data/ixo_small.dat"), false);
    const ixo_data model_record = ds.records.front();
    ds.records.clear();
    for (std::size_t i = 0; i < count; ++i) {
        ixo_data r = model_record;
        const std::uint8_t high = in.take_byte();
        r.time = record_time(high, in.take_byte());
        ds.records.push_back(r);
    }
    // One auxiliary row per record, as the loader leaves them.
    ds.aux_onboard.rows.resize(count);
    ds.aux_merged.rows.resize(count);

    const std::string& path = file.write(in.rest(), in.rest_size());
    if (!fuzz::accepted(
            [&] { ds.ctd_file_data.read_file(path, columns[0], columns[1], columns[2], columns[3]); }))
        return 0;
    fuzz::require(ds.ctd_file_data.file_name == path, "the CTD file's name is kept");
    if (!fuzz::accepted([&] { ds.merge_ctd(); }))
        return 0;
    fuzz::require(ds.ctd_merged, "a merge marks the data set merged");
    fuzz::check_data_set(ds);
    for (std::size_t i = 0; i < count; ++i)
        fuzz::require(same_time(ds.aux_merged.rows[i].time, ds.records[i].time),
                      "a merged row has its record's time");

    fuzz::exercise_corrections(ds, 2, 2);
    return 0;
}
