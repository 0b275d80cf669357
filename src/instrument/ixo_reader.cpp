#include "instrument/ixo_reader.hpp"

#include "instrument/meter_conversions.hpp"

#include "common/error.hpp"
#include "common/text_numbers.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <type_traits>

namespace vantrel {

namespace {

// Byte offsets of the record layout, counted from the first sync byte.
constexpr std::size_t header_size = 32;         // up to and including the wavelength count
constexpr std::size_t bytes_per_wavelength = 8; // c ref, a ref, c signal, a signal
constexpr std::size_t trailer_size = 3;         // checksum and pad byte

constexpr std::size_t poll_bytes = 2048;

std::uint32_t be16(const std::uint8_t* p)
{
    return (static_cast<std::uint32_t>(p[0]) << 8) | p[1];
}

std::uint32_t be24(const std::uint8_t* p)
{
    return (static_cast<std::uint32_t>(p[0]) << 16) | (static_cast<std::uint32_t>(p[1]) << 8) | p[2];
}

std::uint32_t be32(const std::uint8_t* p)
{
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | p[3];
}

// The sum of the bytes [from, to), eight at a time: two 16-bit lanes per
// 32 bits gather the even and the odd bytes, folded before they can overflow.
std::uint32_t byte_sum(const std::uint8_t* from, const std::uint8_t* to)
{
    constexpr std::uint64_t low_bytes = 0x00FF00FF00FF00FFULL;
    constexpr std::size_t words_per_fold = 128; // 128 x 2 x 255 fits a 16-bit lane
    std::uint32_t sum = 0;
    while (to - from >= 8) {
        std::uint64_t lanes = 0;
        for (std::size_t k = 0; k < words_per_fold && to - from >= 8; ++k, from += 8) {
            std::uint64_t word;
            std::memcpy(&word, from, sizeof word);
            lanes += (word & low_bytes) + ((word >> 8) & low_bytes);
        }
        for (int lane = 0; lane < 4; ++lane, lanes >>= 16)
            sum += static_cast<std::uint32_t>(lanes & 0xFFFF);
    }
    for (; from < to; ++from)
        sum += *from;
    return sum;
}

// The temperature compensation of the first out.size() channels of one kind
// at one temperature, value for value what devfile::temp_adjustment gives,
// with the row check and the choice of form made once per record.
void fill_compensation(const devfile& d, bool a_channel, const devfile::bin_position& at,
                       std::vector<double>& out)
{
    const std::vector<double>& table = a_channel ? d.temp_adjustments_a : d.temp_adjustments_c;
    const std::size_t n = out.size();
    const std::size_t stride = d.num_tempbins;
    if (d.temp_bins.empty() || stride < d.temp_bins.size() || n * stride > table.size()) {
        // The device's own lookup reports the missing row.
        for (std::size_t j = 0; j < n; ++j)
            out[j] = d.temp_adjustment(a_channel, j, at);
        return;
    }
    const double* row = table.data() + at.low;
    switch (at.kind) {
    case devfile::bin_position::not_a_number:
        std::fill(out.begin(), out.end(), std::numeric_limits<double>::quiet_NaN());
        break;
    case devfile::bin_position::exact:
        for (std::size_t j = 0; j < n; ++j, row += stride)
            out[j] = row[0];
        break;
    case devfile::bin_position::between: {
        const double fraction = at.fraction; // held apart from the stores into out
        for (std::size_t j = 0; j < n; ++j, row += stride)
            out[j] = row[0] + fraction * (row[1] - row[0]);
        break;
    }
    }
}

// The pieces of a status text, appended in order: texts, and integers in decimal.
void append_part(std::string& out, std::string_view piece)
{
    out.append(piece);
}

template <typename Integer>
requires std::is_integral_v<Integer>
void append_part(std::string& out, Integer value)
{
    std::array<char, 24> digits{};
    const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), value).ptr;
    out.append(digits.data(), end);
}

template <typename... Parts> void append_parts(std::string& out, const Parts&... parts)
{
    (append_part(out, parts), ...);
}

// A status text built in one reused string: the texts of every record then
// cost no allocation.
template <typename... Parts> const std::string& compose(std::string& out, const Parts&... parts)
{
    out.clear();
    append_parts(out, parts...);
    return out;
}

// Signal over reference, kept off zero so that its logarithm stays finite.
double ratio(double signal, double reference)
{
    if (!(reference > 0))
        reference = 100.0;
    const double r = signal / reference;
    return (std::isnan(r) || r < 0.0005) ? 0.0005 : r;
}

} // namespace

ixo_reader::ixo_reader() = default;

void ixo_reader::open_device_file(const std::string& path)
{
    try {
        device->load(path);
    } catch (const error&) {
        throw;
    } catch (...) {
        throw error("Unable to open device file.");
    }
}

void ixo_reader::save_raw(const std::string& path)
{
    write_buffer(path);
}

void ixo_reader::set_port(std::int32_t number)
{
    port_number = number;
}

void ixo_reader::start()
{
    buffer.clear();
    packets.clear();
    records.clear();
    lost_records = 0;
    synced = false;
    sync_state_ = 0;
    deferred_sync_.reset();
    record_start = 0;
    record_end = 0;
    open_port();
}

void ixo_reader::poll()
{
    read_port(poll_bytes);
}

void ixo_reader::stop()
{
    if (port)
        port->close();
}

void ixo_reader::feed(const std::uint8_t* bytes, std::size_t count)
{
    if (count == 0)
        return;
    const std::size_t first_new = buffer.size();
    append_to_buffer(bytes, count);

    for (std::size_t i = first_new; i < buffer.size(); ++i) {
        // Between patterns only an FF can start one: skip to the next.
        if (sync_state_ == 0 && !deferred_sync_) {
            const void* ff = std::memchr(buffer.data() + i, 0xFF, buffer.size() - i);
            if (ff == nullptr)
                break;
            i = static_cast<std::size_t>(static_cast<const std::uint8_t*>(ff) - buffer.data());
        }
        const std::uint8_t byte = buffer[i];
        advance_sync(byte);
        if (byte == 0xFF && sync_state_ % 2 == 1 && trace && trace->enabled())
            trace->line("foofspot " + std::to_string(sync_state_) + " found.");

        if (deferred_sync_ && i == deferred_end_ + 3) {
            // Four bytes past the record's end decide: unless the real pattern
            // has just completed there, the one found earlier was the boundary.
            const std::size_t boundary = *deferred_sync_;
            deferred_sync_.reset();
            if (sync_state_ < 4)
                close_record(boundary);
        }
        if (sync_state_ < 4)
            continue;

        sync_state_ = 0;
        const std::size_t sync_at = i - 3;
        if (!synced) {
            synced = true;
            record_start = sync_at;
            continue;
        }
        if (const std::size_t end = layout_end(record_start, sync_at);
            end > sync_at && end <= i + 1 && buffer[end - 1] == 0) {
            // The record's own trailer (a checksum byte FF, the pad byte 00) and
            // the start of the next pattern also read FF 00 FF 00. Resume the
            // search where the record ends and take whichever pattern proves real.
            deferred_sync_ = sync_at;
            deferred_end_ = end;
            for (std::size_t k = end; k <= i; ++k)
                advance_sync(buffer[k]);
            continue;
        }
        close_record(sync_at);
    }
}

void ixo_reader::close_record(std::size_t end)
{
    record_end = end;
    try {
        decode_record(record_start, record_end);
    } catch (const error&) {
        ++lost_records;
    }
    const auto seen = static_cast<std::int32_t>(records.size()) + lost_records;
    helper->show_progress(compose(status_text_, lost_records, " of ", seen, " records lost"));
    record_start = record_end;
}

void ixo_reader::advance_sync(std::uint8_t byte)
{
    // A byte that breaks the pattern is not taken as a new start.
    const bool wants_ff = sync_state_ % 2 == 0;
    if (byte == (wants_ff ? 0xFF : 0x00))
        ++sync_state_;
    else
        sync_state_ = 0;
}

std::size_t ixo_reader::layout_end(std::size_t start, std::size_t limit) const
{
    // The wavelength count is only trusted when the header lies before the limit.
    if (limit - start < header_size)
        return 0;
    return start + header_size + bytes_per_wavelength * buffer[start + header_size - 1] + trailer_size;
}

void ixo_reader::decode_record(std::size_t start, std::size_t end)
{
    const std::size_t available = end - start;
    // A spurious sync pattern in the data, or a stream cut mid-record, leaves
    // fewer bytes than the layout needs; such a record is lost, never overread.
    if (available < header_size)
        throw error("Record is shorter than its header.");
    const std::uint8_t* r = buffer.data() + start;

    packet& p = scratch_;
    for (std::size_t k = 0; k < p.sync_bytes.size(); ++k)
        p.sync_bytes[k] = r[k];
    p.record_length = be16(r + 4);
    p.packet_type = r[6];
    p.reserved = r[7];
    p.aux_byte_8 = r[8];
    p.serial_number = be24(r + 9);
    p.aux_word_12 = be16(r + 12);
    p.pressure_counts = be16(r + 14);
    p.aux_word_16 = be16(r + 16);
    p.ext_temp_counts = be16(r + 18);
    p.int_temp_counts = be16(r + 20);
    p.aux_word_22 = be16(r + 22);
    p.aux_word_24 = be16(r + 24);
    p.time_stamp = be32(r + 26);
    p.aux_byte_30 = r[30];
    p.num_wavelengths = r[31];
    serial_number = static_cast<std::int32_t>(p.serial_number);

    const bool tracing = trace && trace->enabled();
    if (tracing)
        trace->line("foofspot is " + std::to_string(start) + ", z is " + std::to_string(start) +
                    ", and time is " + std::to_string(p.time_stamp));

    const std::size_t n = p.num_wavelengths;
    const std::size_t device_count = device->a_wavelengths.size();
    if (tracing)
        trace->line("Devfile wavelengths " + std::to_string(device_count) + " device wavelengths " +
                    std::to_string(n));
    // The offset lists are checked too, so a device with short lists cannot be overread.
    if (n != device_count || device->a_offsets.size() < n || device->c_offsets.size() < n)
        throw error("ac meter does not have the same number of wavelengths as the device file.");
    num_wavelengths = static_cast<std::int32_t>(n);

    if (available < header_size + bytes_per_wavelength * n + trailer_size)
        throw error("Record is shorter than its layout.");

    // Sized once and filled in place: this loop runs for every record of an acquisition.
    p.c_reference.resize(n);
    p.a_reference.resize(n);
    p.c_signal.resize(n);
    p.a_signal.resize(n);
    const std::uint8_t* w = r + header_size;
    for (std::size_t j = 0; j < n; ++j, w += bytes_per_wavelength) {
        p.c_reference[j] = be16(w);
        p.a_reference[j] = be16(w + 2);
        p.c_signal[j] = be16(w + 4);
        p.a_signal[j] = be16(w + 6);
    }
    const std::uint8_t* trailer = r + header_size + bytes_per_wavelength * n;
    p.checksum = be16(trailer);
    p.pad_byte = trailer[2];
    if (tracing)
        trace->line("Pad byte " + std::to_string(p.pad_byte) + "\nSupposed to be checksum " +
                    std::to_string(p.checksum));
    if (p.pad_byte != 0)
        throw error("Pad byte is not zero.");

    convert(p, start);
}

void ixo_reader::convert(packet& p, std::size_t start)
{
    const std::size_t n = p.num_wavelengths;
    const std::size_t checksum_at = start + header_size + bytes_per_wavelength * n;
    const std::uint32_t sum = byte_sum(buffer.data() + start, buffer.data() + checksum_at);
    if ((sum & 0xFFFFU) != p.checksum) {
        // A corrupted record is dropped without counting it as lost.
        if (trace && trace->enabled())
            trace->line("Failed checksum; added to " + std::to_string(sum) + "\n, expected " +
                        std::to_string(p.checksum));
        return;
    }

    current.time = elapsed_time(p.time_stamp);

    const double t = ixo_internal_temperature(p.int_temp_counts);
    p.ext_temperature = ixo_external_temperature(p.ext_temp_counts);

    // Every value of both lists is written below.
    current.a.resize(n);
    current.c.resize(n);
    const devfile::bin_position at = device->locate_bin(t);
    // The compensation goes into the record's lists first; the counts are added on top.
    fill_compensation(*device, false, at, current.c);
    fill_compensation(*device, true, at, current.a);
    const double* c_offsets = device->c_offsets.data();
    const double* a_offsets = device->a_offsets.data();
    for (std::size_t j = 0; j < n; ++j) {
        const double c_ratio = ratio(p.c_signal[j], p.c_reference[j]);
        const double a_ratio = ratio(p.a_signal[j], p.a_reference[j]);
        current.c[j] = c_offsets[j] - 4.0 * std::log(c_ratio) + current.c[j];
        current.a[j] = a_offsets[j] - 4.0 * std::log(a_ratio) + current.a[j];
    }

    show_status(p, t);
    packets.push_back(std::move(p));
    // Only the newest packet keeps its raw counts: nothing reads an older
    // one's, and a day of them would take over a gigabyte. Its spectra are in
    // the records. The older lists are reused for the next record.
    if (packets.size() > 1) {
        packet& older = packets[packets.size() - 2];
        scratch_.c_reference.swap(older.c_reference);
        scratch_.a_reference.swap(older.a_reference);
        scratch_.c_signal.swap(older.c_signal);
        scratch_.a_signal.swap(older.a_signal);
    }
    records.push_back(current);
}

void ixo_reader::show_status(const packet& p, double internal_temp)
{
    const std::uint32_t elapsed = p.time_stamp - first_time_stamp;
    helper->show_time_stamp(compose(status_text_, "Time stamp: ", elapsed));

    const auto device_serial = static_cast<std::uint32_t>(device->serial_number);
    compose(status_text_, "ixo", zero_padded(p.serial_number, 3));
    if (p.serial_number != device_serial)
        append_parts(status_text_, "\tSerial number of devfile: ", device_serial);
    helper->show_serial(status_text_);

    helper->show_internal_temp(
        compose(status_text_, "Internal temperature: ", text::fixed(internal_temp, 1)));
    helper->show_external_temp(
        compose(status_text_, "External temperature: ", text::fixed(p.ext_temperature, 1)));
}

} // namespace vantrel
