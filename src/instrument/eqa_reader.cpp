#include "instrument/eqa_reader.hpp"

#include "instrument/meter_conversions.hpp"

#include "common/error.hpp"
#include "common/text_numbers.hpp"

#include <array>
#include <cmath>
#include <memory>
#include <string>

namespace vantrel {

namespace {

constexpr std::size_t channels = 18;
constexpr std::size_t wavelengths = 9;
constexpr std::size_t groups = 10;

// Byte counts of the parts of a record, after its four sync bytes.
constexpr std::size_t header_bytes = 14; // length, serial, meter type, status .. reserved
constexpr std::size_t group_bytes = 2 + 3 * channels;
constexpr std::size_t tail_bytes = 3 * channels + 2 + 2 + 1; // references, temperature, checksum, pad
constexpr std::uint32_t checksum_offset = 634;               // also the record length the header must state
constexpr std::uint8_t ixo_meter_type = 0x35;

constexpr std::size_t poll_bytes = 4096;

std::uint32_t le16(const std::uint8_t* p)
{
    return p[0] | (static_cast<std::uint32_t>(p[1]) << 8);
}

// A three-byte count: the third byte is a fraction of a count and is dropped.
std::int32_t count24(const std::uint8_t* p)
{
    return static_cast<std::int32_t>(le16(p));
}

// Six packed-decimal digits, the units in the low nibble of the first byte.
std::uint32_t packed_decimal(const std::uint8_t* p)
{
    std::uint32_t value = 0;
    for (std::size_t k = 3; k-- > 0;)
        value = value * 100 + (p[k] >> 4) * 10U + (p[k] & 0x0FU);
    return value;
}

std::string hex(std::uint8_t b)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    return {digits[b >> 4], digits[b & 0x0F]};
}

// The three bytes of a count, last byte first, as the meter's manual lists them.
std::string hex_reversed(const std::uint8_t* p)
{
    return hex(p[2]) + " " + hex(p[1]) + " " + hex(p[0]) + "  ";
}



// Signal over reference, kept off zero so that its logarithm stays finite.
double ratio(double signal, double reference)
{
    if (!(reference > 0))
        reference = 100.0;
    const double r = signal / reference;
    return r < 0.0005 ? 0.0005 : r;
}

} // namespace

eqa_reader::eqa_reader()
{
    num_wavelengths = static_cast<std::int32_t>(wavelengths);
}

void eqa_reader::open_device_file(const std::string& path)
{
    // A failed load leaves the previous calibration in place rather than a half-read one.
    auto loaded = std::make_unique<devfile>();
    try {
        loaded->load(path);
    } catch (...) {
        throw error("Unable to open Device File.");
    }
    device = std::move(loaded);
}

void eqa_reader::save_raw(const std::string& path)
{
    write_buffer(path);
}

void eqa_reader::set_port(std::int32_t number)
{
    port_number = number;
}

void eqa_reader::start()
{
    buffer.clear();
    packets.clear();
    records.clear();
    lost_records = 0;
    synced = false;
    // The cursor indexes the buffer just emptied, so the decoder starts over with it.
    cursor = 0;
    parse_mode = 0;
    record_start = 0;
    checksum_position = 0;
    group_index_ = 0;
    sync_state_ = 0;
    packet_ = packet{};
    dump_.clear();
    open_port();
}

void eqa_reader::poll()
{
    read_port(poll_bytes);
}

void eqa_reader::stop()
{
    if (!port)
        return;
    try {
        port->close();
    } catch (...) {
        // A port that will not close is of no further use to this reader either way.
    }
}

void eqa_reader::feed(const std::uint8_t* bytes, std::size_t count)
{
    if (count > 0)
        buffer.insert(buffer.end(), bytes, bytes + count);
    try {
        while (step())
            flush_dump(false);
    } catch (...) {
        flush_dump(true);
        throw;
    }
    flush_dump(true);
}

void eqa_reader::flush_dump(bool all)
{
    if (dump_.empty())
        return;
    if (tracing()) {
        const std::size_t end = all ? dump_.size() : dump_.rfind('\n') + 1;
        if (end == 0)
            return;
        trace->line(std::string_view(dump_).substr(0, end));
        dump_.erase(0, end);
    } else {
        dump_.clear();
    }
}

bool eqa_reader::step()
{
    switch (parse_mode) {
    case 0:
        return search_sync();
    case 1:
        return read_header();
    case 2:
        return read_group();
    case 3:
        return read_references();
    case 4:
        convert();
        return true;
    default:
        parse_mode = 0;
        return true;
    }
}

bool eqa_reader::search_sync()
{
    const bool dumping = tracing();
    for (; cursor < buffer.size(); ++cursor) {
        const std::uint8_t b = buffer[cursor];
        if (dumping)
            dump_ += hex(b) + " ";
        // States 1 and 3 wait for FF; a 00 there may itself begin the pattern.
        if (sync_state_ % 2 == 0)
            sync_state_ = b == 0x00 ? sync_state_ + 1 : 0;
        else
            sync_state_ = b == 0xFF ? sync_state_ + 1 : (b == 0x00 ? 1 : 0);
        if (sync_state_ == 4) {
            sync_state_ = 0;
            ++cursor;
            parse_mode = 1;
            return true;
        }
    }
    return false;
}

bool eqa_reader::read_header()
{
    if (unread() < header_bytes)
        return false;
    const std::uint8_t* p = buffer.data() + cursor;
    const bool dumping = tracing();
    record_start = cursor >= 4 ? cursor - 4 : 0;
    packet_ = packet{};
    group_index_ = 0;

    packet_.record_length = le16(p);
    if (dumping) {
        dump_ += '\n';
        dump_ += hex(p[0]) + " " + hex(p[1]) + "       ;record length:         " +
                 std::to_string(packet_.record_length) + "\n";
    }
    packet_.serial_number = packed_decimal(p + 2);
    const std::uint8_t meter_type = p[5];
    // The bytes read so far are passed in every case, so a rejected header
    // cannot stall the decoder on the same bytes.
    cursor += 6;
    if (meter_type == ixo_meter_type)
        throw error("This is an ixo meter, not an eqa!");
    if (packet_.record_length != checksum_offset) {
        parse_mode = 0;
        if (dumping)
            dump_ += "Pack record length not correct.\n";
        throw error("Pack record length not correct");
    }

    serial_number = static_cast<std::int32_t>(packet_.serial_number);
    const auto device_serial = static_cast<std::uint32_t>(device->serial_number);
    std::string serial_text = "eqa" + zero_padded(packet_.serial_number, 3);
    if (packet_.serial_number != device_serial)
        serial_text += "\tSerial number in devfile: " + std::to_string(device_serial);
    helper->show_serial(serial_text);
    if (dumping)
        dump_ += hex(p[2]) + " " + hex(p[3]) + " " + hex(p[4]) + " " + hex(p[5]) + " ;Serial number:         " +
                 std::to_string(packet_.serial_number) + "\n";

    packet_.status = le16(p + 6);
    packet_.filter_wheel = le16(p + 8);
    packet_.pressure_counts = le16(p + 10);
    packet_.reserved = le16(p + 12);
    if (dumping) {
        const auto word = [&](std::size_t at, const char* label, std::uint32_t value) {
            dump_ += hex(p[at]) + " " + hex(p[at + 1]) + "       ;" + label + std::to_string(value) + "\n";
        };
        word(6, "status:                ", packet_.status);
        word(8, "filter wheel:          ", packet_.filter_wheel);
        word(10, "pressure counts:       ", packet_.pressure_counts);
        word(12, "reserved:              ", packet_.reserved);
    }
    cursor += header_bytes - 6;
    parse_mode = 2;
    return true;
}

bool eqa_reader::read_group()
{
    if (unread() < group_bytes)
        return false;
    const std::uint8_t* p = buffer.data() + cursor;
    const bool dumping = tracing();

    packet_.group_times[static_cast<std::size_t>(group_index_)] = static_cast<std::int32_t>(le16(p));
    if (dumping)
        dump_ += hex(p[1]) + " " + hex(p[0]) + "  ";
    for (std::size_t k = 0; k < channels; ++k) {
        const std::uint8_t* count = p + 2 + 3 * k;
        packet_.signals.push_back(count24(count));
        if (dumping)
            dump_ += hex_reversed(count);
    }
    if (dumping)
        dump_ += " ;Time and signal data\n";
    cursor += group_bytes;

    if (++group_index_ == static_cast<int>(groups)) {
        group_index_ = 0;
        parse_mode = 3;
    }
    return true;
}

bool eqa_reader::read_references()
{
    // Through the pad byte, so that a good record is taken whole.
    if (unread() < tail_bytes)
        return false;
    const std::uint8_t* p = buffer.data() + cursor;
    const bool dumping = tracing();

    for (std::size_t k = 0; k < channels; ++k) {
        packet_.references.push_back(count24(p + 3 * k));
        if (dumping)
            dump_ += hex_reversed(p + 3 * k);
    }
    if (dumping)
        dump_ += " ; Reference data \n";
    const std::uint8_t* q = p + 3 * channels;
    packet_.int_temp_counts = le16(q);
    if (dumping)
        dump_ += hex(q[0]) + " " + hex(q[1]) + "       ; internal temp counts: " +
                 std::to_string(packet_.int_temp_counts) + "\n";

    checksum_position = cursor + 3 * channels + 2;
    packet_.checksum = le16(q + 2);
    if (dumping)
        dump_ += hex(q[2]) + " " + hex(q[3]) + "       ; Checksum:             " + std::to_string(packet_.checksum) +
                 "  ";
    cursor = checksum_position + 2;

    std::uint32_t sum = 0;
    for (std::size_t k = record_start; k < checksum_position; ++k)
        sum += buffer[k];
    if ((sum & 0xFFFFU) == packet_.checksum) {
        if (dumping)
            dump_ += "\n";
        packet_.pad_byte = buffer[cursor];
        ++cursor;
        parse_mode = 4;
    } else {
        if (dumping)
            dump_ += "Failed checksum; added to " + std::to_string(sum) + "\n, expected " +
                     std::to_string(packet_.checksum) + "\n";
        packet_.signals.clear();
        packet_.references.clear();
        packet_.group_times.fill(0);
        parse_mode = 0;
    }
    return true;
}

void eqa_reader::check_device() const
{
    const devfile& d = *device;
    std::size_t a_channels = 0;
    for (const bool is_a : d.channel_is_a)
        a_channels += is_a ? 1 : 0;
    const auto orders_valid = [](const std::vector<std::int32_t>& order) {
        if (order.size() != wavelengths)
            return false;
        for (const std::int32_t i : order)
            if (i < 0 || i >= static_cast<std::int32_t>(wavelengths))
                return false;
        return true;
    };
    // Guards the lookups of the conversion: a device file that is missing or
    // not an Eqa one would otherwise index past its lists.
    if (d.channel_is_a.size() != channels || a_channels != wavelengths || !orders_valid(d.a_order) ||
        !orders_valid(d.c_order) || d.a_offsets.size() < wavelengths || d.c_offsets.size() < wavelengths ||
        d.temp_bins.empty() || d.temp_bins.size() > d.num_tempbins ||
        d.temp_adjustments_a.size() < wavelengths * d.num_tempbins ||
        d.temp_adjustments_c.size() < wavelengths * d.num_tempbins)
        throw error("The device file does not describe the nine a and nine c channels of an eqa meter.");
}

void eqa_reader::convert()
{
    // Whatever happens to this record, the decoder looks for the next one.
    parse_mode = 0;
    check_device();
    const devfile& d = *device;
    const bool dumping = tracing();

    const double temperature = eqa_internal_temperature(packet_.int_temp_counts);
    helper->show_internal_temp("Internal Temp: " + text::fixed(temperature, 1));
    helper->show_external_temp("");

    for (std::size_t g = 0; g < groups; ++g) {
        auto t = static_cast<std::uint32_t>(packet_.group_times[g]);
        if (dumping)
            dump_ += "\nTime:  " + std::to_string(t) + "\n";
        if (records.empty()) {
            rollover_count_ = 0;
            previous_group_time_ = 0;
            first_time_stamp = 0;
        }
        if (t < previous_group_time_) {
            ++rollover_count_;
            if (dumping)
                dump_ += "Rollover event #" + std::to_string(rollover_count_) + " occured.\n";
        }
        previous_group_time_ = t;
        // The meter's counter runs in 10 ms steps and wraps at 16 bits.
        if (rollover_count_ != 0)
            t = t + 40 + rollover_count_ * 65535U;
        t *= 10;
        if (dumping)
            dump_ += "Time:  " + std::to_string(t) + "\n";

        current.a.clear();
        current.c.clear();
        current.time = elapsed_time(t);
        packet_.group_times[g] = static_cast<std::int32_t>(static_cast<std::uint32_t>(current.time));

        std::array<double, wavelengths> a_signal{}, a_reference{}, c_signal{}, c_reference{};
        std::size_t na = 0;
        std::size_t nc = 0;
        for (std::size_t k = 0; k < channels; ++k) {
            const double signal = packet_.signals[channels * g + k];
            const double reference = packet_.references[k];
            if (d.channel_is_a[k]) {
                a_signal[na] = signal;
                a_reference[na++] = reference;
            } else {
                c_signal[nc] = signal;
                c_reference[nc++] = reference;
            }
        }

        current.a.reserve(wavelengths);
        current.c.reserve(wavelengths);
        const devfile::bin_position at = d.locate_bin(temperature);
        for (std::size_t i = 0; i < wavelengths; ++i) {
            const auto ai = static_cast<std::size_t>(d.a_order[i]);
            const auto ci = static_cast<std::size_t>(d.c_order[i]);
            const double c_ratio = ratio(c_signal[ci], c_reference[ci]);
            const double a_ratio = ratio(a_signal[ai], a_reference[ai]);
            current.c.push_back(d.c_offsets[i] - std::log(c_ratio) / d.path_length +
                                d.temp_adjustment(false, i, at));
            current.a.push_back(d.a_offsets[i] - std::log(a_ratio) / d.path_length +
                                d.temp_adjustment(true, i, at));
        }

        // Only the newest packet keeps the record's raw counts: nothing reads an
        // older one's, and each group would otherwise hold its own copy of them.
        if (!packets.empty()) {
            std::vector<std::int32_t>().swap(packets.back().signals);
            std::vector<std::int32_t>().swap(packets.back().references);
        }
        packets.push_back(packet_);
        records.push_back(current);
    }

    std::string running = "Time running (ms): ";
    running += std::to_string(packet_.group_times[groups - 1]);
    helper->show_time_stamp(running);
    packet_.signals.clear();
    packet_.references.clear();
}

} // namespace vantrel
