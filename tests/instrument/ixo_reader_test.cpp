#include "common/error.hpp"
#include "common/text_numbers.hpp"
#include "instrument/ixo_reader.hpp"
#include "test_support.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <deque>
#include <optional>

using namespace vantrel;
using namespace vantrel::testing;

namespace {

using bytes = std::vector<std::uint8_t>;

const bytes sync_pattern = {0xFF, 0x00, 0xFF, 0x00};

// The fields of one Ixo record; counts per wavelength are c reference,
// a reference, c signal, a signal.
struct record_fields {
    std::uint16_t record_length = 0;
    std::uint8_t packet_type = 0;
    std::uint8_t reserved = 0;
    std::uint8_t aux_byte_8 = 0;
    std::uint32_t serial = 122; // 24 bits
    std::uint16_t aux_word_12 = 0;
    std::uint16_t pressure = 0;
    std::uint16_t aux_word_16 = 0;
    std::uint16_t ext_temp = 30000;
    std::uint16_t int_temp = 46411; // about 20.6 C
    std::uint16_t aux_word_22 = 0;
    std::uint16_t aux_word_24 = 0;
    std::uint32_t time_stamp = 0;
    std::uint8_t aux_byte_30 = 0;
    std::optional<std::uint8_t> announced; // wavelength count byte; the number of counts if unset
    std::vector<std::array<std::uint16_t, 4>> counts;
    std::uint8_t pad = 0;
};

void put16(bytes& out, std::uint32_t v)
{
    out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
}

void put24(bytes& out, std::uint32_t v)
{
    out.push_back(static_cast<std::uint8_t>((v >> 16) & 0xFF));
    put16(out, v);
}

void put32(bytes& out, std::uint32_t v)
{
    put16(out, v >> 16);
    put16(out, v);
}

std::uint32_t byte_sum(const bytes& b)
{
    std::uint32_t sum = 0;
    for (const auto v : b)
        sum += v;
    return sum;
}

// Lays a record out byte by byte, big-endian, with the checksum of the meter.
bytes encode(const record_fields& f)
{
    bytes out = sync_pattern;
    put16(out, f.record_length);
    out.push_back(f.packet_type);
    out.push_back(f.reserved);
    out.push_back(f.aux_byte_8);
    put24(out, f.serial);
    put16(out, f.aux_word_12);
    put16(out, f.pressure);
    put16(out, f.aux_word_16);
    put16(out, f.ext_temp);
    put16(out, f.int_temp);
    put16(out, f.aux_word_22);
    put16(out, f.aux_word_24);
    put32(out, f.time_stamp);
    out.push_back(f.aux_byte_30);
    out.push_back(f.announced.value_or(static_cast<std::uint8_t>(f.counts.size())));
    for (const auto& w : f.counts)
        for (const auto v : w)
            put16(out, v);
    put16(out, byte_sum(out) & 0xFFFF);
    out.push_back(f.pad);
    return out;
}

// Records back to back, closed by the sync pattern that lets the last one decode.
bytes stream_of(const std::vector<record_fields>& records, bool closing_sync = true)
{
    bytes out;
    for (const auto& r : records) {
        const bytes b = encode(r);
        out.insert(out.end(), b.begin(), b.end());
    }
    if (closing_sync)
        out.insert(out.end(), sync_pattern.begin(), sync_pattern.end());
    return out;
}

// Plausible counts for n wavelengths, varied per record; no byte FF appears.
std::vector<std::array<std::uint16_t, 4>> counts_for(std::size_t n, std::uint32_t seed)
{
    std::vector<std::array<std::uint16_t, 4>> counts;
    for (std::size_t j = 0; j < n; ++j) {
        const auto base = static_cast<std::uint16_t>(2000 + 37 * j + 11 * seed);
        counts.push_back({base, static_cast<std::uint16_t>(base + 100), static_cast<std::uint16_t>(base / 2),
                          static_cast<std::uint16_t>(base / 3)});
    }
    return counts;
}

std::vector<record_fields> plain_records(std::size_t count, std::size_t n)
{
    std::vector<record_fields> out;
    for (std::size_t r = 0; r < count; ++r) {
        record_fields f;
        f.time_stamp = static_cast<std::uint32_t>(1000 + 250 * r);
        f.counts = counts_for(n, static_cast<std::uint32_t>(r));
        out.push_back(f);
    }
    return out;
}

// The meter's thermistor, as its maker gives it.
double thermistor(std::uint16_t counts)
{
    const double v = counts * 5.0 / 65535;
    double r = v * 10000 / (4.516 - v);
    if (r <= 500.0)
        r = 500.0;
    const double l = std::log(r);
    return 1 / (0.00093135 + 0.000221631 * l + 1.25741e-07 * l * l * l) - 273.15;
}

constexpr double bin_low = 10.0;
constexpr double bin_high = 30.0;

// Compensation rows of a device with bins at 10 and 30 C: between them the
// value is interpolated, above them the 30 C value holds.
double compensation(const std::vector<double>& table, std::size_t j, double t)
{
    const double low = table[2 * j];
    const double high = table[2 * j + 1];
    if (t >= bin_high)
        return high;
    return low + (t - bin_low) / (bin_high - bin_low) * (high - low);
}

void fill_device(devfile& d, std::size_t n, std::int32_t serial = 122)
{
    d = devfile{};
    d.serial_number = serial;
    d.baud_rate = 19200;
    d.num_tempbins = 2;
    d.temp_bins = {bin_low, bin_high};
    for (std::size_t j = 0; j < n; ++j) {
        const double x = static_cast<double>(j);
        d.c_wavelengths.push_back(400.0 + 4 * x);
        d.a_wavelengths.push_back(401.0 + 4 * x);
        d.c_offsets.push_back(0.2 + 0.02 * x);
        d.a_offsets.push_back(0.1 + 0.01 * x);
        d.temp_adjustments_c.insert(d.temp_adjustments_c.end(), {0.002 * x, 0.05 + 0.004 * x});
        d.temp_adjustments_a.insert(d.temp_adjustments_a.end(), {-0.001 * x, 0.03 - 0.002 * x});
    }
}

struct shown_texts {
    std::vector<std::string> progress, internal_temp, external_temp, serial, time_stamp;
};

class recording_helper : public ACR_Helper {
public:
    explicit recording_helper(shown_texts& shown) : shown_(shown) {}
    void show_progress(const std::string& text) override { shown_.progress.push_back(text); }
    void show_internal_temp(const std::string& text) override { shown_.internal_temp.push_back(text); }
    void show_external_temp(const std::string& text) override { shown_.external_temp.push_back(text); }
    void show_serial(const std::string& text) override { shown_.serial.push_back(text); }
    void show_time_stamp(const std::string& text) override { shown_.time_stamp.push_back(text); }

private:
    shown_texts& shown_;
};

class recording_sink : public diagnostic_sink {
public:
    bool enabled() const override { return true; }
    void line(std::string_view text) override { lines.emplace_back(text); }
    std::vector<std::string> lines;
};

// What the fake port saw, and what it has to give.
struct port_script {
    std::deque<bytes> arrivals; // one entry per read that finds bytes
    std::vector<std::int32_t> opened;
    std::vector<std::size_t> asked;
    std::int32_t baud_at_open = 0;
    bool fail_open = false;
    bool fail_close = false;
    int closes = 0;
};

class fake_serial : public Serial {
public:
    explicit fake_serial(port_script& script) : script_(script) {}
    void open(std::int32_t n) override
    {
        script_.baud_at_open = baud_rate;
        if (script_.fail_open)
            throw error("Could Not Open COM" + std::to_string(n));
        script_.opened.push_back(n);
        port_number = n;
    }
    void open_named(const std::string& name) override { throw error("Could Not Open " + name); }
    void close() override
    {
        if (script_.fail_close && port_number != 0)
            throw error("Could not close comm port");
        ++script_.closes;
        port_number = 0;
    }
    std::size_t read(std::uint8_t* out, std::size_t count) override
    {
        script_.asked.push_back(count);
        if (script_.arrivals.empty())
            return 0;
        bytes& next = script_.arrivals.front();
        const std::size_t n = std::min(count, next.size());
        std::copy_n(next.begin(), n, out);
        next.erase(next.begin(), next.begin() + static_cast<std::ptrdiff_t>(n));
        if (next.empty())
            script_.arrivals.pop_front();
        return n;
    }

private:
    port_script& script_;
};

void expect_same_records(const std::deque<ixo_data>& got, const std::deque<ixo_data>& want)
{
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].time, want[i].time) << "record " << i;
        EXPECT_EQ(got[i].a, want[i].a) << "record " << i;
        EXPECT_EQ(got[i].c, want[i].c) << "record " << i;
    }
}

class ixo_reader_test : public temp_dir_test {
protected:
    void SetUp() override
    {
        temp_dir_test::SetUp();
        reader.helper = std::make_unique<recording_helper>(shown);
        fill_device(*reader.device, 3);
    }

    void feed(const bytes& b) { reader.feed(b.data(), b.size()); }

    shown_texts shown;
    ixo_reader reader;
};

} // namespace

TEST_F(ixo_reader_test, header_fields_sit_big_endian_at_their_offsets)
{
    record_fields f;
    f.record_length = 0x1234;
    f.packet_type = 0x56;
    f.reserved = 0x78;
    f.aux_byte_8 = 0x9A;
    f.serial = 0x0ABCDE;
    f.aux_word_12 = 0x1122;
    f.pressure = 0x3344;
    f.aux_word_16 = 0x5566;
    f.ext_temp = 0x7788;
    f.int_temp = 0xA9AA;
    f.aux_word_22 = 0xBBCC;
    f.aux_word_24 = 0xDDEE;
    f.time_stamp = 0x01020304;
    f.aux_byte_30 = 0x05;
    f.counts = {
        {0x0102, 0x0304, 0x0506, 0x0708}, {0x1112, 0x1314, 0x1516, 0x1718}, {0x2122, 0x2324, 0x2526, 0x2728}};
    feed(stream_of({f}));

    ASSERT_EQ(reader.packets.size(), 1u);
    const packet& p = reader.packets[0];
    EXPECT_EQ(p.sync_bytes, (std::array<std::uint8_t, 4>{0xFF, 0x00, 0xFF, 0x00}));
    EXPECT_EQ(p.record_length, 0x1234u);
    EXPECT_EQ(p.packet_type, 0x56);
    EXPECT_EQ(p.reserved, 0x78u);
    EXPECT_EQ(p.aux_byte_8, 0x9A);
    EXPECT_EQ(p.serial_number, 0x0ABCDEu);
    EXPECT_EQ(p.aux_word_12, 0x1122u);
    EXPECT_EQ(p.pressure_counts, 0x3344u);
    EXPECT_EQ(p.aux_word_16, 0x5566u);
    EXPECT_EQ(p.ext_temp_counts, 0x7788u);
    EXPECT_EQ(p.int_temp_counts, 0xA9AAu);
    EXPECT_EQ(p.aux_word_22, 0xBBCCu);
    EXPECT_EQ(p.aux_word_24, 0xDDEEu);
    EXPECT_EQ(p.time_stamp, 0x01020304u);
    EXPECT_EQ(p.aux_byte_30, 0x05u);
    EXPECT_EQ(p.num_wavelengths, 3u);
    EXPECT_EQ(p.c_reference, (std::vector<double>{0x0102, 0x1112, 0x2122}));
    EXPECT_EQ(p.a_reference, (std::vector<double>{0x0304, 0x1314, 0x2324}));
    EXPECT_EQ(p.c_signal, (std::vector<double>{0x0506, 0x1516, 0x2526}));
    EXPECT_EQ(p.a_signal, (std::vector<double>{0x0708, 0x1718, 0x2728}));
    const bytes laid_out = encode(f);
    EXPECT_EQ(p.checksum, (laid_out[56] << 8) | laid_out[57]);
    EXPECT_EQ(p.pad_byte, 0);
    EXPECT_EQ(reader.serial_number, 0x0ABCDE);
    EXPECT_EQ(reader.num_wavelengths, 3);
}

TEST_F(ixo_reader_test, counts_convert_through_offset_log_ratio_and_compensation)
{
    record_fields f;
    f.counts = {
        {1000, 2000, 500, 2000}, // c ratio 1/2, a ratio 1
        {0, 0, 50, 200},         // references of 0 count as 100: c ratio 1/2, a ratio 2
        {1000, 1000, 0, 0},      // signals of 0: both ratios held at 0.0005
    };
    feed(stream_of({f}));
    ASSERT_EQ(reader.records.size(), 1u);
    const ixo_data& r = reader.records[0];
    const devfile& d = *reader.device;

    const double t = thermistor(f.int_temp);
    ASSERT_NEAR(t, 20.62, 0.01); // inside the compensation bins, so interpolation shows
    const double ln2 = std::log(2.0);
    const std::array<double, 3> c_terms = {4 * ln2, 4 * ln2, -4 * std::log(0.0005)};
    const std::array<double, 3> a_terms = {0.0, -4 * ln2, -4 * std::log(0.0005)};
    ASSERT_EQ(r.c.size(), 3u);
    ASSERT_EQ(r.a.size(), 3u);
    for (std::size_t j = 0; j < 3; ++j) {
        EXPECT_NEAR(r.c[j], d.c_offsets[j] + c_terms[j] + compensation(d.temp_adjustments_c, j, t), 1e-12)
            << j;
        EXPECT_NEAR(r.a[j], d.a_offsets[j] + a_terms[j] + compensation(d.temp_adjustments_a, j, t), 1e-12)
            << j;
    }
}

TEST_F(ixo_reader_test, temperatures_follow_thermistor_and_polynomial)
{
    struct temperature_case {
        std::uint16_t int_counts;
        double internal; // degrees C, worked out by hand from the formula
        std::uint16_t ext_counts;
        double external;
    };
    // Count 0 and the top of the range both fall back to the 500 ohm floor.
    const std::vector<temperature_case> cases = {
        {46411, 20.619, 30000, 24.3689},
        {40000, 33.684, 20000, 41.1028},
        {0, 154.405, 0, 95.8241},
        {65535, 154.405, 40000, 9.0377},
    };
    std::vector<record_fields> records;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        record_fields f;
        f.int_temp = cases[i].int_counts;
        f.ext_temp = cases[i].ext_counts;
        f.time_stamp = static_cast<std::uint32_t>(i);
        f.counts = {{1000, 1000, 1000, 1000}, {1000, 1000, 1000, 1000}, {1000, 1000, 1000, 1000}};
        records.push_back(f);
    }
    feed(stream_of(records));
    ASSERT_EQ(reader.packets.size(), cases.size());
    ASSERT_EQ(shown.internal_temp.size(), cases.size());
    ASSERT_EQ(shown.external_temp.size(), cases.size());
    const devfile& d = *reader.device;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto& c = cases[i];
        const double t = thermistor(c.int_counts);
        EXPECT_NEAR(t, c.internal, 1e-3) << i;
        EXPECT_NEAR(reader.packets[i].ext_temperature, c.external, 1e-4) << i;
        EXPECT_EQ(shown.internal_temp[i], "Internal temperature: " + text::fixed(c.internal, 1)) << i;
        EXPECT_EQ(shown.external_temp[i], "External temperature: " + text::fixed(c.external, 1)) << i;
        // Equal signal and reference: only offset and compensation remain.
        EXPECT_NEAR(reader.records[i].c[2], d.c_offsets[2] + compensation(d.temp_adjustments_c, 2, t), 1e-12)
            << i;
        EXPECT_NEAR(reader.records[i].a[2], d.a_offsets[2] + compensation(d.temp_adjustments_a, 2, t), 1e-12)
            << i;
    }
}

TEST_F(ixo_reader_test, checksum_is_the_low_16_bits_of_the_byte_sum)
{
    // Counts of FF bytes make the sum as large as it gets; the longest record
    // (255 wavelengths, 2072 bytes) is summed over more than a thousand bytes.
    for (const std::size_t n : {std::size_t{40}, std::size_t{255}}) {
        SCOPED_TRACE(n);
        ixo_reader r;
        fill_device(*r.device, n);
        auto sink = std::make_shared<recording_sink>();
        r.trace = sink;
        record_fields f;
        f.counts.assign(n, {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF});
        const bytes good = encode(f);
        const std::uint32_t full_sum = byte_sum(bytes(good.begin(), good.end() - 3));
        ASSERT_GT(full_sum, 0xFFFFu); // the sum does overflow 16 bits

        bytes wrong = good;
        wrong.end()[-3] ^= 0x01; // the checksum field, so the full sum shows in the trace
        bytes stream = good;
        stream.insert(stream.end(), wrong.begin(), wrong.end());
        stream.insert(stream.end(), sync_pattern.begin(), sync_pattern.end());
        r.feed(stream.data(), stream.size());
        ASSERT_EQ(r.records.size(), 1u);
        EXPECT_EQ(r.lost_records, 0);
        EXPECT_TRUE(std::any_of(sink->lines.begin(), sink->lines.end(), [&](const std::string& l) {
            return l.rfind("Failed checksum; added to " + std::to_string(full_sum) + "\n", 0) == 0;
        }));
    }
}

// Nothing reads the raw counts of older packets, and a day of them would take
// over a gigabyte: only the newest packet keeps them, also when a corrupted
// record follows it. Every packet keeps its other fields.
TEST_F(ixo_reader_test, only_the_newest_packet_keeps_its_counts)
{
    const auto sent = plain_records(5, 3);
    bytes stream = stream_of(sent);
    const std::size_t record_size = encode(sent[0]).size();
    stream[4 * record_size + 40] ^= 0x01; // a count byte of the last record
    feed(stream);

    ASSERT_EQ(reader.packets.size(), 4u);
    ASSERT_EQ(reader.records.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        const packet& p = reader.packets[i];
        EXPECT_EQ(p.time_stamp, sent[i].time_stamp) << i;
        EXPECT_EQ(p.num_wavelengths, 3u) << i;
        EXPECT_EQ(reader.records[i].a.size(), 3u) << i;
        if (i < 3) {
            EXPECT_TRUE(p.c_reference.empty() && p.a_reference.empty() && p.c_signal.empty() &&
                        p.a_signal.empty())
                << i;
        }
    }
    const packet& newest = reader.packets.back();
    const auto& want = sent[3].counts;
    ASSERT_EQ(newest.c_reference.size(), 3u);
    for (std::size_t j = 0; j < 3; ++j) {
        EXPECT_EQ(newest.c_reference[j], want[j][0]) << j;
        EXPECT_EQ(newest.a_reference[j], want[j][1]) << j;
        EXPECT_EQ(newest.c_signal[j], want[j][2]) << j;
        EXPECT_EQ(newest.a_signal[j], want[j][3]) << j;
    }
}

TEST_F(ixo_reader_test, corrupted_record_is_dropped_without_being_counted)
{
    bytes stream = stream_of(plain_records(3, 3));
    const std::size_t record_size = encode(plain_records(1, 3)[0]).size();
    stream[record_size + 40] ^= 0x01; // a count byte of the second record
    auto sink = std::make_shared<recording_sink>();
    reader.trace = sink;
    ::testing::internal::CaptureStdout();
    feed(stream);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");

    ASSERT_EQ(reader.records.size(), 2u);
    EXPECT_EQ(reader.records[0].time, 0.0);
    EXPECT_EQ(reader.records[1].time, 500.0);
    EXPECT_EQ(reader.packets.size(), 2u);
    EXPECT_EQ(reader.lost_records, 0);
    EXPECT_EQ(shown.progress, (std::vector<std::string>{"0 of 1 records lost", "0 of 1 records lost",
                                                        "0 of 2 records lost"}));
    EXPECT_TRUE(std::any_of(sink->lines.begin(), sink->lines.end(), [](const std::string& l) {
        return l.rfind("Failed checksum; added to ", 0) == 0;
    }));
}

TEST_F(ixo_reader_test, rejected_records_are_counted_as_lost)
{
    struct rejection {
        const char* what;
        std::optional<std::uint8_t> announced;
        std::uint8_t pad;
        std::int32_t num_wavelengths_after;
    };
    const std::vector<rejection> cases = {
        {"one wavelength more than the device file", 4, 0, -1},
        {"pad byte not zero", std::nullopt, 1, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        shown = {};
        ixo_reader r;
        r.helper = std::make_unique<recording_helper>(shown);
        fill_device(*r.device, 3);
        auto records = plain_records(3, 3);
        for (auto& f : records) {
            f.announced = c.announced;
            f.pad = c.pad;
            f.serial = 77;
        }
        const bytes stream = stream_of(records);
        r.feed(stream.data(), stream.size());
        EXPECT_TRUE(r.records.empty());
        EXPECT_TRUE(r.packets.empty());
        EXPECT_EQ(r.lost_records, 3);
        ASSERT_EQ(shown.progress.size(), 3u);
        EXPECT_EQ(shown.progress.back(), "3 of 3 records lost");
        EXPECT_EQ(r.serial_number, 77); // the header is read before the record is refused
        EXPECT_EQ(r.num_wavelengths, c.num_wavelengths_after);
        EXPECT_TRUE(shown.serial.empty());
    }
}

TEST_F(ixo_reader_test, last_record_waits_for_the_next_sync_pattern)
{
    // Bytes before the first pattern are skipped.
    feed({0x12, 0x00, 0x34});
    feed(stream_of(plain_records(3, 3), false));
    EXPECT_EQ(reader.records.size(), 2u);
    EXPECT_TRUE(reader.synced);
    feed(sync_pattern);
    ASSERT_EQ(reader.records.size(), 3u);
    EXPECT_EQ(reader.records[2].time, 500.0);
    EXPECT_EQ(shown.progress.back(), "0 of 3 records lost");
}

TEST_F(ixo_reader_test, record_times_count_from_the_first_record)
{
    struct time_case {
        const char* what;
        std::vector<std::uint32_t> stamps;
        std::vector<double> times;
        std::string last_text;
    };
    const std::vector<time_case> cases = {
        {"plain", {5000, 5250, 6000}, {0, 250, 1000}, "Time stamp: 1000"},
        {"meter clock wraps", {0xFFFFFF00u, 0x00000100u}, {0, 512}, "Time stamp: 512"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        shown = {};
        ixo_reader r;
        r.helper = std::make_unique<recording_helper>(shown);
        fill_device(*r.device, 3);
        auto records = plain_records(c.stamps.size(), 3);
        for (std::size_t i = 0; i < records.size(); ++i)
            records[i].time_stamp = c.stamps[i];
        const bytes stream = stream_of(records);
        r.feed(stream.data(), stream.size());
        ASSERT_EQ(r.records.size(), c.times.size());
        for (std::size_t i = 0; i < c.times.size(); ++i)
            EXPECT_EQ(r.records[i].time, c.times[i]) << i;
        EXPECT_EQ(r.first_time_stamp, c.stamps[0]);
        EXPECT_EQ(shown.time_stamp.front(), "Time stamp: 0");
        EXPECT_EQ(shown.time_stamp.back(), c.last_text);
    }
}

TEST_F(ixo_reader_test, serial_text_names_the_devfile_serial_only_on_mismatch)
{
    struct serial_case {
        std::uint32_t record_serial;
        std::int32_t devfile_serial;
        std::string text;
    };
    const std::vector<serial_case> cases = {
        {122, 122, "ixo122"},
        {122, 121, "ixo122\tSerial number of devfile: 121"},
        {7, 7, "ixo007"},
        {1234, 99, "ixo1234\tSerial number of devfile: 99"},
    };
    for (const auto& c : cases) {
        shown = {};
        ixo_reader r;
        r.helper = std::make_unique<recording_helper>(shown);
        fill_device(*r.device, 3, c.devfile_serial);
        auto records = plain_records(1, 3);
        records[0].serial = c.record_serial;
        const bytes stream = stream_of(records);
        r.feed(stream.data(), stream.size());
        EXPECT_EQ(r.records.size(), 1u) << c.text; // a foreign serial number is shown, not refused
        EXPECT_EQ(shown.serial, std::vector<std::string>{c.text});
    }
}

TEST_F(ixo_reader_test, chunked_feeding_gives_the_same_records)
{
    // Records longer than a replay block, and a leading fragment of garbage.
    constexpr std::size_t n = 80;
    bytes stream = {0x01, 0xFF, 0x00, 0x02};
    const bytes records = stream_of(plain_records(8, n));
    stream.insert(stream.end(), records.begin(), records.end());
    ASSERT_GT(stream.size(), 4096u);
    const std::size_t second_sync = 4 + encode(plain_records(1, n)[0]).size();

    const auto decode = [&](const std::vector<std::size_t>& cuts) {
        ixo_reader r;
        fill_device(*r.device, n);
        std::size_t from = 0;
        for (std::size_t to : cuts) {
            r.feed(stream.data() + from, to - from);
            from = to;
        }
        r.feed(stream.data() + from, stream.size() - from);
        return r.records;
    };
    const auto every = [&](std::size_t step) {
        std::vector<std::size_t> cuts;
        for (std::size_t at = step; at < stream.size(); at += step)
            cuts.push_back(at);
        return cuts;
    };

    const auto whole = decode({});
    ASSERT_EQ(whole.size(), 8u);
    EXPECT_EQ(whole[7].time, 7 * 250.0);
    const std::vector<std::pair<const char*, std::vector<std::size_t>>> splits = {
        {"chunks of 1", every(1)},
        {"chunks of 7", every(7)},
        {"chunks of 4096", every(4096)},
        {"sync split after its first byte", {second_sync + 1}},
        {"sync split after its second byte", {second_sync + 2}},
        {"sync split after its third byte", {second_sync + 3}},
        {"empty feeds in between", {second_sync, second_sync, second_sync + 2, second_sync + 2}},
    };
    for (const auto& [what, cuts] : splits) {
        SCOPED_TRACE(what);
        expect_same_records(decode(cuts), whole);
    }
}

TEST_F(ixo_reader_test, byte_breaking_the_pattern_is_not_a_new_start)
{
    // A stray FF before a sync pattern reads FF FF 00 FF 00, which hides that
    // pattern: the record before it absorbs the one after. A stray 00 does not.
    struct stray_case {
        std::uint8_t stray;
        std::vector<double> times;
    };
    for (const auto& c : std::vector<stray_case>{{0xFF, {0, 500}}, {0x00, {0, 250, 500}}}) {
        SCOPED_TRACE(static_cast<int>(c.stray));
        ixo_reader r;
        fill_device(*r.device, 3);
        const auto records = plain_records(3, 3);
        bytes stream = stream_of({records[0]}, false);
        stream.push_back(c.stray);
        const bytes rest = stream_of({records[1], records[2]});
        stream.insert(stream.end(), rest.begin(), rest.end());
        r.feed(stream.data(), stream.size());
        ASSERT_EQ(r.records.size(), c.times.size());
        for (std::size_t i = 0; i < c.times.size(); ++i)
            EXPECT_EQ(r.records[i].time, c.times[i]) << i;
        EXPECT_EQ(r.lost_records, 0);
    }
}

TEST_F(ixo_reader_test, records_shorter_than_their_layout_are_lost)
{
    const auto records = plain_records(3, 3);
    const bytes first = encode(records[0]);

    struct cut_case {
        const char* what;
        bytes middle; // what stands between the first and the last record
        std::int32_t lost;
    };
    bytes spurious = encode(records[1]);
    // FF 00 FF 00 in the counts of wavelength 1 (c reference, a reference).
    spurious[40] = 0xFF;
    spurious[41] = 0x00;
    spurious[42] = 0xFF;
    spurious[43] = 0x00;
    const bytes cut_in_counts(first.begin(), first.begin() + 45);
    const bytes cut_in_header(first.begin(), first.begin() + 20);
    const bytes cut_in_trailer(first.begin(), first.end() - 2);
    const std::vector<cut_case> cases = {
        // The head of the record is short; its tail reads as a record of garbage.
        {"spurious sync pattern in the data", spurious, 2},
        {"stream cut in the counts", cut_in_counts, 1},
        {"stream cut in the header", cut_in_header, 1},
        {"stream cut before the pad byte", cut_in_trailer, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        shown = {};
        ixo_reader r;
        r.helper = std::make_unique<recording_helper>(shown);
        fill_device(*r.device, 3);
        bytes stream = first;
        stream.insert(stream.end(), c.middle.begin(), c.middle.end());
        const bytes last = stream_of({records[2]});
        stream.insert(stream.end(), last.begin(), last.end());
        // Exactly the bytes of the stream, so a read past them shows up under a checker.
        auto owned = std::make_unique<std::uint8_t[]>(stream.size());
        std::copy(stream.begin(), stream.end(), owned.get());
        r.feed(owned.get(), stream.size());

        ASSERT_EQ(r.records.size(), 2u);
        EXPECT_EQ(r.records[0].time, 0.0);
        EXPECT_EQ(r.records[1].time, 500.0);
        EXPECT_EQ(r.lost_records, c.lost);

        // The fragment closed by the very last bytes fed (a pattern and the next
        // record's first two bytes, which settle a pattern overlapping the
        // trailer), in one call, so that the buffer ends where the bytes end:
        // nothing past them is read.
        ixo_reader cut;
        fill_device(*cut.device, 3);
        bytes ending = first;
        ending.insert(ending.end(), c.middle.begin(), c.middle.end());
        ending.insert(ending.end(), sync_pattern.begin(), sync_pattern.end());
        ending.insert(ending.end(), {0x00, 0x00});
        cut.feed(ending.data(), ending.size());
        EXPECT_EQ(cut.records.size(), 1u);
        EXPECT_EQ(cut.lost_records, c.lost);
        EXPECT_EQ(shown.progress.back(),
                  std::to_string(c.lost) + " of " + std::to_string(2 + c.lost) + " records lost");
    }
}

TEST_F(ixo_reader_test, checksum_low_byte_ff_does_not_hide_the_next_record)
{
    // Checksum low byte FF and pad 00 before the next pattern read FF 00 FF 00 FF 00.
    auto records = plain_records(3, 3);
    for (int tweak = 0; tweak < 256 && (encode(records[0]).end()[-2] != 0xFF); ++tweak)
        records[0].aux_byte_8 = static_cast<std::uint8_t>(tweak);
    ASSERT_EQ(encode(records[0]).end()[-2], 0xFF);

    const bytes stream = stream_of(records);
    for (const std::size_t step : {stream.size(), std::size_t{1}}) {
        SCOPED_TRACE(step);
        ixo_reader r;
        fill_device(*r.device, 3);
        for (std::size_t at = 0; at < stream.size(); at += step)
            r.feed(stream.data() + at, std::min(step, stream.size() - at));
        ASSERT_EQ(r.records.size(), 3u);
        EXPECT_EQ(r.records[1].time, 250.0);
        EXPECT_EQ(r.records[2].time, 500.0);
        EXPECT_EQ(r.lost_records, 0);
    }
}

TEST_F(ixo_reader_test, traces_go_to_the_sink_never_to_stdout)
{
    auto sink = std::make_shared<recording_sink>();
    reader.trace = sink;
    ::testing::internal::CaptureStdout();
    feed(stream_of(plain_records(1, 3)));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_NE(std::find(sink->lines.begin(), sink->lines.end(), "Devfile wavelengths 3 device wavelengths 3"),
              sink->lines.end());
    EXPECT_NE(std::find(sink->lines.begin(), sink->lines.end(), "foofspot 3 found."), sink->lines.end());
}

TEST_F(ixo_reader_test, save_raw_writes_every_byte_fed)
{
    const bytes stream = stream_of(plain_records(2, 3));
    feed({0x42});
    feed(stream);
    reader.save_raw(path("raw.bin"));
    bytes expected = {0x42};
    expected.insert(expected.end(), stream.begin(), stream.end());
    const std::string written = read_text(path("raw.bin"));
    EXPECT_EQ(bytes(written.begin(), written.end()), expected);

    try {
        reader.save_raw(path("no-such-dir/raw.bin"));
        FAIL() << "saving into a missing directory succeeded";
    } catch (const error& e) {
        EXPECT_STREQ(e.what(), "Unable to open file for saving.");
    }
    // A full disk is reported, and the bytes stay in the reader to be saved elsewhere.
    EXPECT_EQ(error_of([&] { reader.save_raw("/dev/full"); }), "Unable to write to /dev/full.");
    reader.save_raw(path("again.bin"));
    EXPECT_EQ(read_text(path("again.bin")), written);
}

TEST_F(ixo_reader_test, start_poll_and_stop_drive_the_port)
{
    port_script script;
    reader.make_port = [&script] { return std::make_unique<fake_serial>(script); };
    reader.set_port(4);

    // Left-overs of an earlier feed, ending in half a sync pattern, are gone after start.
    feed(stream_of(plain_records(2, 3)));
    feed({0xFF, 0x00, 0xFF});
    ASSERT_EQ(reader.records.size(), 2u);
    reader.lost_records = 5;
    reader.start();
    EXPECT_TRUE(reader.buffer.empty());
    EXPECT_TRUE(reader.records.empty());
    EXPECT_TRUE(reader.packets.empty());
    EXPECT_EQ(reader.lost_records, 0);
    EXPECT_FALSE(reader.synced);
    EXPECT_EQ(script.opened, std::vector<std::int32_t>{4});
    EXPECT_EQ(script.baud_at_open, 19200);

    const bytes stream = stream_of(plain_records(3, 3));
    script.arrivals.push_back(bytes{0x00}); // would complete the old half pattern
    script.arrivals.push_back(bytes(stream.begin(), stream.begin() + 50));
    script.arrivals.push_back(bytes(stream.begin() + 50, stream.end()));
    reader.poll();
    reader.poll();
    EXPECT_EQ(reader.buffer.size(), 51u);
    EXPECT_TRUE(reader.records.empty());
    reader.poll();
    EXPECT_EQ(reader.buffer.size(), stream.size() + 1);
    ASSERT_EQ(reader.records.size(), 3u);
    EXPECT_EQ(reader.records[0].time, 0.0);
    EXPECT_EQ(reader.lost_records, 0);
    EXPECT_EQ(shown.progress.back(), "0 of 3 records lost");
    EXPECT_EQ(script.asked, (std::vector<std::size_t>{2048, 2048, 2048}));

    // A poll with nothing waiting changes nothing.
    const shown_texts before = shown;
    reader.poll();
    EXPECT_EQ(reader.buffer.size(), stream.size() + 1);
    EXPECT_EQ(reader.records.size(), 3u);
    EXPECT_EQ(shown.progress, before.progress);
    EXPECT_EQ(shown.serial, before.serial);

    reader.stop();
    EXPECT_EQ(script.closes, 1);
    EXPECT_EQ(reader.records.size(), 3u); // still readable after stop
}

TEST_F(ixo_reader_test, port_errors_reach_the_caller_unchanged)
{
    port_script script;
    reader.make_port = [&script] { return std::make_unique<fake_serial>(script); };
    reader.set_port(3);
    script.fail_open = true;
    feed(stream_of(plain_records(1, 3)));
    try {
        reader.start();
        FAIL() << "start with a port that does not open succeeded";
    } catch (const error& e) {
        EXPECT_STREQ(e.what(), "Could Not Open COM3");
    }
    EXPECT_TRUE(reader.buffer.empty());

    script.fail_open = false;
    script.fail_close = true;
    reader.start();
    try {
        reader.stop();
        FAIL() << "stop with a port that does not close succeeded";
    } catch (const error& e) {
        EXPECT_STREQ(e.what(), "Could not close comm port");
    }
}

TEST_F(ixo_reader_test, stop_and_poll_before_start_do_nothing)
{
    reader.poll();
    reader.stop();
    EXPECT_TRUE(reader.buffer.empty());
    reader.feed(nullptr, 0);
    EXPECT_TRUE(reader.buffer.empty());
    EXPECT_TRUE(shown.progress.empty());
}

TEST_F(ixo_reader_test, device_file_errors_pass_through_unchanged)
{
    try {
        reader.open_device_file(path("missing.dev"));
        FAIL() << "a missing device file loaded";
    } catch (const error& e) {
        EXPECT_STREQ(e.what(), "Unable to open devfile.");
    }
}
