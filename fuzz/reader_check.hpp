#pragma once

// Feeding a reader the fuzzer's stream, whole and in chunks, and checking
// what it decoded.

#include "fuzz_support.hpp"
#include "instrument/parent_reader.hpp"

#include <algorithm>
#include <cstring>

namespace vantrel::fuzz {

// Feeds one piece; a reader that raises an error for a record (the Eqa
// header checks) is fed again with nothing, as the next poll would, until it
// has worked through what it holds.
inline void feed_piece(parent_reader& reader, const std::uint8_t* bytes, std::size_t count)
{
    if (accepted([&] { reader.feed(bytes, count); }))
        return;
    // Each error consumes a header, so this ends; the bound only guards a regression.
    for (std::size_t tries = 0; tries <= reader.buffer.size(); ++tries)
        if (accepted([&] { reader.feed(nullptr, 0); }))
            return;
    require(false, "a reader works through its bytes after an error");
}

inline void feed_chunked(parent_reader& reader, const std::uint8_t* bytes, std::size_t count,
                         chunk_plan& plan)
{
    for (std::size_t at = 0; at < count;) {
        const std::size_t n = std::min(plan.next(), count - at);
        feed_piece(reader, bytes + at, n);
        at += n;
    }
}

// The device's calibration is finite, so every value decoded from counts is.
inline void check_decoded(const parent_reader& reader, const std::uint8_t* bytes, std::size_t count)
{
    const devfile& d = *reader.device;
    require(reader.buffer.size() == count && std::equal(reader.buffer.begin(), reader.buffer.end(), bytes),
            "the buffer holds every byte fed, in order");
    require(reader.packets.size() == reader.records.size(), "a packet per converted record");
    for (const ixo_data& r : reader.records) {
        require(r.a.size() == d.a_wavelengths.size(), "a record has an a value per a wavelength");
        require(r.c.size() == d.c_wavelengths.size(), "a record has a c value per c wavelength");
        require(all_finite(r.a) && all_finite(r.c), "decoded values are finite");
        require(std::isfinite(r.time) && r.time >= 0.0, "record times count up from the first record");
    }
    require(reader.lost_records >= 0, "the lost-record count never goes negative");
}

inline void expect_same_records(const parent_reader& x, const parent_reader& y)
{
    require(x.records.size() == y.records.size(), "chunking does not change the records decoded");
    for (std::size_t i = 0; i < x.records.size(); ++i) {
        const ixo_data& p = x.records[i];
        const ixo_data& q = y.records[i];
        require(p.time == q.time && p.a == q.a && p.c == q.c, "chunking does not change a decoded value");
    }
    require(x.lost_records == y.lost_records, "chunking does not change the lost-record count");
}

// Decodes the stream in one piece and in the planned chunks; both must give
// the same records, and both must hold what later code relies on.
template <typename Reader>
void decode_both_ways(const devfile& device, const std::uint8_t* bytes, std::size_t count, chunk_plan& plan)
{
    Reader whole;
    *whole.device = device;
    feed_piece(whole, bytes, count);
    check_decoded(whole, bytes, count);

    Reader chunked;
    *chunked.device = device;
    feed_chunked(chunked, bytes, count, plan);
    check_decoded(chunked, bytes, count);
    expect_same_records(whole, chunked);
}

inline void require_finite_calibration(const devfile& d)
{
    require(all_finite(d.a_offsets) && all_finite(d.c_offsets) && all_finite(d.temp_adjustments_a) &&
                all_finite(d.temp_adjustments_c) && all_finite(d.temp_bins),
            "the fuzz target's device file has a finite calibration");
}

} // namespace vantrel::fuzz
