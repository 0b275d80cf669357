#include "instrument/eqa_reader.hpp"

#include "common/error.hpp"
#include "test_support.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace vantrel {
namespace {

using bytes = std::vector<std::uint8_t>;

// ---------------------------------------------------------------------------
// A device file with its a and c lines out of wavelength order and the two
// kinds interleaved, so that both the channel split and the reordering show.

// File order of the a and c lines, and which of the 18 record channels is an a channel.
const std::array<double, 9> raw_a_wl{676, 412, 440, 488, 510, 532, 555, 650, 715};
const std::array<double, 9> raw_c_wl{715, 412, 650, 440, 488, 510, 532, 555, 676};
const std::array<bool, 18> channel_kinds{true, true,  false, true, false, false, true, false, true,
                                         false, true, false, true, false, true,  false, true, false};

double raw_a_offset(std::size_t line) { return 0.10 + 0.01 * static_cast<double>(line); }
double raw_c_offset(std::size_t line) { return 0.50 + 0.02 * static_cast<double>(line); }
// The same value at both bins, so the compensation does not depend on the temperature.
double raw_a_comp(std::size_t line) { return 0.001 * static_cast<double>(line + 1); }
double raw_c_comp(std::size_t line) { return -0.002 * static_cast<double>(line + 1); }

constexpr double path_length = 0.25;

std::vector<std::int32_t> ascending_order(const std::array<double, 9>& wl)
{
    std::vector<std::int32_t> order(9);
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](std::int32_t x, std::int32_t y) {
        return wl[static_cast<std::size_t>(x)] < wl[static_cast<std::size_t>(y)];
    });
    return order;
}

// The fields a load of such a file leaves: lists sorted by wavelength, rows moved with them.
std::unique_ptr<devfile> eqa_device(std::int32_t serial = 123)
{
    auto d = std::make_unique<devfile>();
    d->model = devfile::meter_model::eqa;
    d->serial_number = serial;
    d->path_length = path_length;
    d->baud_rate = 19200;
    d->num_tempbins = 2;
    d->temp_bins = {10.0, 30.0};
    d->channel_is_a.assign(channel_kinds.begin(), channel_kinds.end());
    d->a_order = ascending_order(raw_a_wl);
    d->c_order = ascending_order(raw_c_wl);
    for (std::size_t k = 0; k < 9; ++k) {
        const auto a = static_cast<std::size_t>(d->a_order[k]);
        const auto c = static_cast<std::size_t>(d->c_order[k]);
        d->a_wavelengths.push_back(raw_a_wl[a]);
        d->c_wavelengths.push_back(raw_c_wl[c]);
        d->a_offsets.push_back(raw_a_offset(a));
        d->c_offsets.push_back(raw_c_offset(c));
        d->temp_adjustments_a.insert(d->temp_adjustments_a.end(), 2, raw_a_comp(a));
        d->temp_adjustments_c.insert(d->temp_adjustments_c.end(), 2, raw_c_comp(c));
    }
    return d;
}

// Record channel of the line-th a line (or c line) of the file.
std::size_t channel_of(bool is_a, std::size_t line)
{
    for (std::size_t k = 0; k < 18; ++k)
        if (channel_kinds[k] == is_a && line-- == 0)
            return k;
    ADD_FAILURE() << "no such line";
    return 0;
}

// ---------------------------------------------------------------------------
// One Eqa record laid out byte by byte: little-endian words, three-byte
// counts whose third byte is a fraction that must not count.

struct eqa_fields {
    std::uint16_t length = 634;
    std::array<std::uint8_t, 3> serial{0x23, 0x01, 0x00}; // packed decimal 123
    std::uint8_t meter_type = 0x02;
    std::uint16_t status = 0x0102;
    std::uint16_t filter_wheel = 0x0304;
    std::uint16_t pressure = 0x0506;
    std::uint16_t reserved = 0x0708;
    std::array<std::uint16_t, 10> group_times{100, 200, 300, 400, 500, 600, 700, 800, 900, 1000};
    std::array<std::uint16_t, 180> signals{};
    std::array<std::uint16_t, 18> references{};
    std::uint16_t int_temp = 500;
    std::uint8_t pad = 0;
    std::uint8_t fraction = 0xC3;

    eqa_fields()
    {
        for (std::size_t g = 0; g < 10; ++g)
            for (std::size_t k = 0; k < 18; ++k)
                signals[18 * g + k] = static_cast<std::uint16_t>(1000 + 100 * k + 10 * g);
        for (std::size_t k = 0; k < 18; ++k)
            references[k] = static_cast<std::uint16_t>(20000 + 37 * k);
    }
};

void put16(bytes& b, std::size_t at, std::uint16_t v)
{
    b[at] = static_cast<std::uint8_t>(v & 0xFF);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

bytes lay_out(const eqa_fields& f)
{
    bytes b(637, 0);
    b[0] = 0x00;
    b[1] = 0xFF;
    b[2] = 0x00;
    b[3] = 0xFF;
    put16(b, 4, f.length);
    b[6] = f.serial[0];
    b[7] = f.serial[1];
    b[8] = f.serial[2];
    b[9] = f.meter_type;
    put16(b, 10, f.status);
    put16(b, 12, f.filter_wheel);
    put16(b, 14, f.pressure);
    put16(b, 16, f.reserved);
    for (std::size_t g = 0; g < 10; ++g) {
        put16(b, 18 + 56 * g, f.group_times[g]);
        for (std::size_t k = 0; k < 18; ++k) {
            put16(b, 20 + 56 * g + 3 * k, f.signals[18 * g + k]);
            b[22 + 56 * g + 3 * k] = f.fraction;
        }
    }
    for (std::size_t k = 0; k < 18; ++k) {
        put16(b, 578 + 3 * k, f.references[k]);
        b[580 + 3 * k] = f.fraction;
    }
    put16(b, 632, f.int_temp);
    unsigned sum = 0;
    for (std::size_t i = 0; i < 634; ++i)
        sum += b[i];
    put16(b, 634, static_cast<std::uint16_t>(sum & 0xFFFF));
    b[636] = f.pad;
    return b;
}

bytes join(std::initializer_list<bytes> parts)
{
    bytes all;
    for (const bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

struct recording_helper : ACR_Helper {
    std::vector<std::string> progress, internal, external, serial, time;
    void show_progress(const std::string& t) override { progress.push_back(t); }
    void show_internal_temp(const std::string& t) override { internal.push_back(t); }
    void show_external_temp(const std::string& t) override { external.push_back(t); }
    void show_serial(const std::string& t) override { serial.push_back(t); }
    void show_time_stamp(const std::string& t) override { time.push_back(t); }
};

struct recording_sink : diagnostic_sink {
    std::string text;
    bool enabled() const override { return true; }
    void line(std::string_view t) override { text += t; }
};

class eqa_reader_test : public ::testing::Test {
protected:
    eqa_reader_test()
    {
        reader.device = eqa_device();
        auto h = std::make_unique<recording_helper>();
        helper = h.get();
        reader.helper = std::move(h);
    }

    void feed(const bytes& b) { reader.feed(b.data(), b.size()); }

    eqa_reader reader;
    recording_helper* helper = nullptr;
};

// Expected values straight from the conversion formulas.
double expected_value(double offset, double signal, double reference, double comp)
{
    if (!(reference > 0))
        reference = 100.0;
    const double r = std::max(signal / reference, 0.0005);
    return offset - std::log(r) / path_length + comp;
}

void expect_converted(const ixo_data& rec, const eqa_fields& f, std::size_t g)
{
    const devfile d = *eqa_device();
    ASSERT_EQ(rec.a.size(), 9U);
    ASSERT_EQ(rec.c.size(), 9U);
    for (std::size_t i = 0; i < 9; ++i) {
        // The file line that carries the i-th shortest wavelength, and the record channel behind it.
        const auto a_line = static_cast<std::size_t>(
            std::find(raw_a_wl.begin(), raw_a_wl.end(), d.a_wavelengths[i]) - raw_a_wl.begin());
        const auto c_line = static_cast<std::size_t>(
            std::find(raw_c_wl.begin(), raw_c_wl.end(), d.c_wavelengths[i]) - raw_c_wl.begin());
        const std::size_t ka = channel_of(true, a_line);
        const std::size_t kc = channel_of(false, c_line);
        EXPECT_NEAR(rec.a[i],
                    expected_value(raw_a_offset(a_line), f.signals[18 * g + ka], f.references[ka], raw_a_comp(a_line)),
                    1e-12)
            << "group " << g << " a " << d.a_wavelengths[i];
        EXPECT_NEAR(rec.c[i],
                    expected_value(raw_c_offset(c_line), f.signals[18 * g + kc], f.references[kc], raw_c_comp(c_line)),
                    1e-12)
            << "group " << g << " c " << d.c_wavelengths[i];
    }
}

// ---------------------------------------------------------------------------

TEST_F(eqa_reader_test, NineWavelengthsFromConstruction)
{
    EXPECT_EQ(eqa_reader().num_wavelengths, 9);
    EXPECT_EQ(eqa_reader().serial_number, -1);
}

TEST_F(eqa_reader_test, ReadsEveryFieldFromItsPosition)
{
    eqa_fields f;
    f.status = 0xA1B2;
    f.filter_wheel = 0x0C0D;
    f.pressure = 0x1234;
    f.reserved = 0xFEDC;
    f.int_temp = 0x01F4;
    f.pad = 0x5A;
    const bytes rec = lay_out(f);
    feed(rec);

    ASSERT_EQ(reader.packets.size(), 10U);
    ASSERT_EQ(reader.records.size(), 10U);
    const packet& p = reader.packets.back();
    EXPECT_EQ(p.record_length, 634U);
    EXPECT_EQ(p.serial_number, 123U);
    EXPECT_EQ(p.status, 0xA1B2U);
    EXPECT_EQ(p.filter_wheel, 0x0C0DU);
    EXPECT_EQ(p.pressure_counts, 0x1234U);
    EXPECT_EQ(p.reserved, 0xFEDCU);
    EXPECT_EQ(p.int_temp_counts, 0x01F4U);
    EXPECT_EQ(p.checksum, static_cast<std::uint32_t>(rec[634] | (rec[635] << 8)));
    EXPECT_EQ(p.pad_byte, 0x5A);
    // The meter has no external sensor.
    EXPECT_TRUE(std::isnan(p.ext_temperature));
    // Counts keep b0 + 256 b1; the fraction byte (0xC3) is dropped.
    ASSERT_EQ(p.signals.size(), 180U);
    ASSERT_EQ(p.references.size(), 18U);
    for (std::size_t i = 0; i < 180; ++i)
        EXPECT_EQ(p.signals[i], f.signals[i]) << i;
    for (std::size_t k = 0; k < 18; ++k)
        EXPECT_EQ(p.references[k], f.references[k]) << k;
    EXPECT_EQ(reader.serial_number, 123);
    EXPECT_EQ(reader.cursor, rec.size());
    EXPECT_EQ(reader.parse_mode, 0);
}

TEST_F(eqa_reader_test, DecodesPackedDecimalSerialNumbers)
{
    struct serial_case {
        std::array<std::uint8_t, 3> serial;
        std::uint32_t expected;
    };
    const serial_case cases[] = {
        {{0x23, 0x01, 0x00}, 123}, {{0x05, 0x00, 0x00}, 5}, {{0x56, 0x34, 0x12}, 123456}, {{0x99, 0x99, 0x99}, 999999}};
    for (const auto& c : cases) {
        eqa_reader r;
        r.device = eqa_device();
        eqa_fields f;
        f.serial = c.serial;
        const bytes rec = lay_out(f);
        r.feed(rec.data(), rec.size());
        ASSERT_FALSE(r.packets.empty());
        EXPECT_EQ(r.packets.front().serial_number, c.expected);
        EXPECT_EQ(r.serial_number, static_cast<std::int32_t>(c.expected));
    }
}

TEST_F(eqa_reader_test, ConvertsCountsInAscendingWavelengthEachFromItsOwnChannel)
{
    const eqa_fields f;
    feed(lay_out(f));
    ASSERT_EQ(reader.records.size(), 10U);
    for (std::size_t g = 0; g < 10; ++g)
        expect_converted(reader.records[g], f, g);
    // The 412 nm value is the second a line of the file, record channel 1.
    EXPECT_NEAR(reader.records[0].a[0], 0.11 - std::log(1100.0 / 20037.0) / path_length + 0.002, 1e-12);
}

TEST_F(eqa_reader_test, ReplacesZeroReferencesAndFloorsTinyRatios)
{
    eqa_fields f;
    f.references[1] = 0;  // a 412
    f.signals[2] = 0;     // c 715 in group 0
    f.signals[3] = 5;     // a 440: 5 / 20111 is below the floor
    feed(lay_out(f));
    ASSERT_EQ(reader.records.size(), 10U);
    const ixo_data& r = reader.records[0];
    EXPECT_NEAR(r.a[0], 0.11 - std::log(1100.0 / 100.0) / path_length + 0.002, 1e-12);
    EXPECT_NEAR(r.c[8], 0.50 - std::log(0.0005) / path_length - 0.002, 1e-12);
    EXPECT_NEAR(r.a[1], 0.12 - std::log(0.0005) / path_length + 0.003, 1e-12);
    expect_converted(r, f, 0);
}

TEST_F(eqa_reader_test, CompensatesAtTheInternalTemperature)
{
    // Compensation equal to the bin temperature turns the adjustment into T itself.
    reader.device->temp_bins = {0.0, 100.0};
    for (auto* table : {&reader.device->temp_adjustments_a, &reader.device->temp_adjustments_c})
        for (std::size_t i = 0; i < table->size(); ++i)
            (*table)[i] = i % 2 == 0 ? 0.0 : 100.0;
    eqa_fields f;
    f.int_temp = 500;
    feed(lay_out(f));
    ASSERT_EQ(reader.records.size(), 10U);

    const double x = 500;
    const double t = 0.045113 * x + 10.61831 - 4891.32 / x + 208130.2 / (x * x) + 1171473 / (x * x * x);
    EXPECT_NEAR(t, 24.234, 1e-3);
    EXPECT_NEAR(reader.records[0].a[0], 0.11 - std::log(1100.0 / 20037.0) / path_length + t, 1e-9);
    ASSERT_EQ(helper->internal.size(), 1U);
    EXPECT_EQ(helper->internal[0], "Internal Temp: 24.2");
}

TEST_F(eqa_reader_test, TemperatureCountOfZeroConvertsAsTheCountsNextToIt)
{
    // The formula divides by the count: a count of 0 once gave NaN for every
    // value of the record although all its counts were there.
    eqa_fields zero;
    zero.int_temp = 0;
    eqa_fields one;
    one.int_temp = 1; // about 1.4e6 C: above every bin, as the count of 0 is
    feed(lay_out(zero));
    eqa_reader next;
    next.device = eqa_device();
    const bytes b = lay_out(one);
    next.feed(b.data(), b.size());

    ASSERT_EQ(reader.records.size(), 10U);
    ASSERT_EQ(next.records.size(), 10U);
    for (std::size_t g = 0; g < 10; ++g) {
        for (std::size_t i = 0; i < 9; ++i) {
            EXPECT_TRUE(std::isfinite(reader.records[g].a[i]) && std::isfinite(reader.records[g].c[i])) << g;
            EXPECT_EQ(reader.records[g].a[i], next.records[g].a[i]) << g << " " << i;
            EXPECT_EQ(reader.records[g].c[i], next.records[g].c[i]) << g << " " << i;
        }
    }
    ASSERT_EQ(helper->internal.size(), 1U);
    EXPECT_EQ(helper->internal[0], "Internal Temp: inf");
}

TEST_F(eqa_reader_test, GivesGroupTimesInMillisecondsFromTheFirstGroup)
{
    feed(lay_out(eqa_fields{}));
    ASSERT_EQ(reader.records.size(), 10U);
    for (std::size_t g = 0; g < 10; ++g)
        EXPECT_EQ(reader.records[g].time, 1000.0 * static_cast<double>(g));
    EXPECT_EQ(reader.first_time_stamp, 1000U);
    ASSERT_EQ(helper->time.size(), 1U);
    EXPECT_EQ(helper->time[0], "Time running (ms): 9000");

    eqa_fields next;
    for (std::size_t g = 0; g < 10; ++g)
        next.group_times[g] = static_cast<std::uint16_t>(1100 + 100 * g);
    feed(lay_out(next));
    ASSERT_EQ(reader.records.size(), 20U);
    EXPECT_EQ(reader.records[10].time, 10000.0);
    EXPECT_EQ(helper->time.back(), "Time running (ms): 19000");
}

TEST_F(eqa_reader_test, CountsCounterRolloversOnce)
{
    eqa_fields first;
    for (std::size_t g = 0; g < 10; ++g)
        first.group_times[g] = static_cast<std::uint16_t>(64600 + 100 * g);
    eqa_fields second;
    for (std::size_t g = 0; g < 10; ++g)
        second.group_times[g] = static_cast<std::uint16_t>(64 + 100 * g);
    feed(join({lay_out(first), lay_out(second)}));

    ASSERT_EQ(reader.records.size(), 20U);
    EXPECT_EQ(reader.records[9].time, 9000.0);
    for (std::size_t g = 0; g < 10; ++g) {
        const double raw = 64.0 + 100.0 * static_cast<double>(g);
        EXPECT_EQ(reader.records[10 + g].time, (raw + 40 + 65535) * 10 - 646000) << g;
    }
}

TEST_F(eqa_reader_test, ShowsTheSerialNumberAgainstTheDeviceFile)
{
    struct serial_case {
        std::int32_t device_serial;
        std::array<std::uint8_t, 3> serial;
        std::string text;
    };
    const serial_case cases[] = {
        {123, {0x23, 0x01, 0x00}, "eqa123"},
        {122, {0x23, 0x01, 0x00}, "eqa123\tSerial number in devfile: 122"},
        {5, {0x05, 0x00, 0x00}, "eqa005"},
    };
    for (const auto& c : cases) {
        eqa_reader r;
        r.device = eqa_device(c.device_serial);
        auto h = std::make_unique<recording_helper>();
        const recording_helper& shown = *h;
        r.helper = std::move(h);
        eqa_fields f;
        f.serial = c.serial;
        const bytes rec = lay_out(f);
        r.feed(rec.data(), rec.size());
        EXPECT_EQ(r.records.size(), 10U) << c.text;
        ASSERT_EQ(shown.serial.size(), 1U);
        EXPECT_EQ(shown.serial[0], c.text);
        ASSERT_EQ(shown.external.size(), 1U);
        EXPECT_EQ(shown.external[0], "");
        EXPECT_TRUE(shown.progress.empty());
    }
}

TEST_F(eqa_reader_test, RejectsAnIxoMeterWithoutStalling)
{
    eqa_fields ixo;
    ixo.meter_type = 0x35;
    const bytes stream = join({lay_out(ixo), lay_out(eqa_fields{})});
    try {
        feed(stream);
        FAIL() << "no error";
    } catch (const error& e) {
        EXPECT_STREQ(e.what(), "This is an ixo meter, not an eqa!");
    }
    EXPECT_TRUE(reader.records.empty());
    EXPECT_EQ(reader.parse_mode, 1);

    // Later calls work on from where the error left off until the good record is read.
    std::vector<std::string> errors;
    for (int call = 0; call < 20 && reader.records.empty(); ++call) {
        try {
            reader.feed(nullptr, 0);
        } catch (const error& e) {
            errors.emplace_back(e.what());
        }
    }
    EXPECT_EQ(errors, std::vector<std::string>{"Pack record length not correct"});
    ASSERT_EQ(reader.records.size(), 10U);
    expect_converted(reader.records[0], eqa_fields{}, 0);
    EXPECT_EQ(reader.cursor, stream.size());
}

TEST_F(eqa_reader_test, RejectsAWrongRecordLengthAndSearchesOn)
{
    for (const std::uint16_t length : {std::uint16_t{633}, std::uint16_t{635}, std::uint16_t{0}}) {
        eqa_reader r;
        r.device = eqa_device();
        eqa_fields bad;
        bad.length = length;
        const bytes stream = join({lay_out(bad), lay_out(eqa_fields{})});
        try {
            r.feed(stream.data(), stream.size());
            FAIL() << "no error for length " << length;
        } catch (const error& e) {
            EXPECT_STREQ(e.what(), "Pack record length not correct");
        }
        EXPECT_EQ(r.parse_mode, 0);
        EXPECT_TRUE(r.records.empty());
        r.feed(nullptr, 0);
        EXPECT_EQ(r.records.size(), 10U) << length;
    }
}

TEST_F(eqa_reader_test, DropsARecordWithABadChecksum)
{
    bytes corrupt = lay_out(eqa_fields{});
    corrupt[300] ^= 0x01;
    eqa_fields good;
    for (std::size_t g = 0; g < 10; ++g)
        good.group_times[g] = static_cast<std::uint16_t>(1100 + 100 * g);
    const bytes stream = join({corrupt, lay_out(good)});
    EXPECT_NO_THROW(feed(stream));
    ASSERT_EQ(reader.records.size(), 10U);
    ASSERT_EQ(reader.packets.size(), 10U);
    // Only the good record's groups: its first group opens the time line.
    EXPECT_EQ(reader.first_time_stamp, 11000U);
    expect_converted(reader.records[0], good, 0);
    // Only the newest packet keeps the record's raw counts.
    EXPECT_TRUE(reader.packets[0].signals.empty() && reader.packets[0].references.empty());
    EXPECT_EQ(reader.packets.back().signals.size(), 180U);
    EXPECT_EQ(reader.packets.back().references.size(), 18U);
}

TEST_F(eqa_reader_test, FindsTheSyncPatternAfterAnyJunk)
{
    // Partial patterns just before the real one, and a 00 that restarts a partial match.
    const bytes prefixes[] = {
        {}, {0x00}, {0x00, 0xFF, 0x00}, {0x00, 0xFF, 0x00, 0x00}, {0xFF, 0xFF, 0x00, 0xFF, 0xFF},
        {0x12, 0x00, 0xFF, 0x34, 0x00, 0xFF, 0x00, 0x56},
    };
    for (const bytes& junk : prefixes) {
        eqa_reader r;
        r.device = eqa_device();
        const bytes stream = join({junk, lay_out(eqa_fields{})});
        r.feed(stream.data(), stream.size());
        EXPECT_EQ(r.records.size(), 10U) << junk.size() << " junk bytes";
        EXPECT_EQ(r.record_start, junk.size());
    }
}

TEST_F(eqa_reader_test, DecodesRecordsSentBackToBack)
{
    std::vector<bytes> parts;
    for (std::uint16_t n = 0; n < 3; ++n) {
        eqa_fields f;
        for (std::size_t g = 0; g < 10; ++g)
            f.group_times[g] = static_cast<std::uint16_t>(100 + 1000 * n + 100 * g);
        parts.push_back(lay_out(f));
    }
    feed(join({parts[0], parts[1], parts[2]}));
    ASSERT_EQ(reader.records.size(), 30U);
    for (std::size_t i = 0; i < 30; ++i)
        EXPECT_EQ(reader.records[i].time, 1000.0 * static_cast<double>(i));
}

// A record is decoded once its pad byte is in, and never from a part of it.
TEST_F(eqa_reader_test, WaitsForTheWholeRecordWhereverItIsCut)
{
    const bytes rec = lay_out(eqa_fields{});
    for (std::size_t cut = 1; cut < rec.size(); ++cut) {
        eqa_reader r;
        r.device = eqa_device();
        r.feed(rec.data(), cut);
        EXPECT_TRUE(r.records.empty()) << cut;
        EXPECT_EQ(r.buffer.size(), cut);
        EXPECT_LE(r.cursor, cut);
        r.feed(rec.data() + cut, rec.size() - cut);
        EXPECT_EQ(r.records.size(), 10U) << cut;
    }
}

TEST_F(eqa_reader_test, GivesTheSameRecordsForAnyChunkSize)
{
    std::vector<bytes> parts{{0x00, 0xFF, 0x00, 0x11, 0x00}};
    for (std::uint16_t n = 0; n < 4; ++n) {
        eqa_fields f;
        for (std::size_t g = 0; g < 10; ++g)
            f.group_times[g] = static_cast<std::uint16_t>(65000 + 300 * n + 30 * g); // wraps in the third
        f.references[n] = 0;
        f.int_temp = static_cast<std::uint16_t>(480 + 10 * n);
        bytes rec = lay_out(f);
        if (n == 1)
            rec[100] ^= 0x40; // dropped on its checksum
        parts.push_back(rec);
        parts.push_back(bytes(n, 0xAB));
    }
    bytes stream;
    for (const bytes& p : parts)
        stream.insert(stream.end(), p.begin(), p.end());

    eqa_reader whole;
    whole.device = eqa_device();
    whole.feed(stream.data(), stream.size());
    ASSERT_EQ(whole.records.size(), 30U);

    for (const std::size_t chunk : {std::size_t{1}, std::size_t{7}, std::size_t{636}, std::size_t{4096}}) {
        eqa_reader r;
        r.device = eqa_device();
        for (std::size_t at = 0; at < stream.size(); at += chunk)
            r.feed(stream.data() + at, std::min(chunk, stream.size() - at));
        ASSERT_EQ(r.records.size(), whole.records.size()) << chunk;
        for (std::size_t i = 0; i < r.records.size(); ++i) {
            EXPECT_EQ(r.records[i].time, whole.records[i].time) << chunk << " " << i;
            EXPECT_EQ(r.records[i].a, whole.records[i].a) << chunk << " " << i;
            EXPECT_EQ(r.records[i].c, whole.records[i].c) << chunk << " " << i;
        }
        EXPECT_EQ(r.packets.size(), whole.packets.size());
        EXPECT_EQ(r.cursor, whole.cursor);
    }
}

TEST_F(eqa_reader_test, RefusesToConvertWithoutAnEqaDeviceFile)
{
    eqa_reader r; // no device file loaded
    const bytes rec = lay_out(eqa_fields{});
    EXPECT_THROW(r.feed(rec.data(), rec.size()), error);
    EXPECT_TRUE(r.records.empty());
    EXPECT_EQ(r.parse_mode, 0);

    // With a calibration in place the next record converts.
    r.device = eqa_device();
    r.feed(rec.data(), rec.size());
    EXPECT_EQ(r.records.size(), 10U);

    auto broken = eqa_device();
    broken->channel_is_a.assign(18, true);
    r.device = std::move(broken);
    EXPECT_THROW(r.feed(rec.data(), rec.size()), error);
    EXPECT_EQ(r.records.size(), 10U);
}

TEST_F(eqa_reader_test, DumpsWhatItReadsToTheTraceOnly)
{
    auto sink = std::make_shared<recording_sink>();
    reader.trace = sink;
    eqa_fields rolled;
    rolled.group_times[0] = 50; // lower than the previous 1000
    bytes corrupt = lay_out(eqa_fields{});
    corrupt[200] ^= 0x01;
    ::testing::internal::CaptureStdout();
    feed(join({bytes{0x42}, lay_out(eqa_fields{}), corrupt, lay_out(rolled)}));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    ASSERT_EQ(reader.records.size(), 20U);

    const std::string& d = sink->text;
    EXPECT_EQ(d.rfind("42 00 FF 00 FF \n7A 02       ;record length:         634\n", 0), 0U) << d.substr(0, 80);
    const std::string header = "23 01 00 02 ;Serial number:         123\n"
                               "02 01       ;status:                258\n"
                               "04 03       ;filter wheel:          772\n"
                               "06 05       ;pressure counts:       1286\n"
                               "08 07       ;reserved:              1800\n";
    EXPECT_NE(d.find(header), std::string::npos);
    // Group 0: time 100 = 64 00, then channel 0's 1000 = E8 03 with its fraction C3, last byte first.
    EXPECT_NE(d.find("00 64  C3 03 E8  C3 04 4C  "), std::string::npos);
    EXPECT_NE(d.find(" ;Time and signal data\n"), std::string::npos);
    // References 20000 (4E20) and 20037 (4E45) lead, 20629 (5095) ends the line.
    EXPECT_NE(d.find("\nC3 4E 20  C3 4E 45  "), std::string::npos);
    EXPECT_NE(d.find("C3 50 95   ; Reference data \n"), std::string::npos);
    EXPECT_NE(d.find("F4 01       ; internal temp counts: 500\n"), std::string::npos);
    EXPECT_NE(d.find("; Checksum:             "), std::string::npos);
    EXPECT_NE(d.find("\nTime:  100\nTime:  1000\n"), std::string::npos);
    EXPECT_NE(d.find("Failed checksum; added to "), std::string::npos);
    EXPECT_NE(d.find("\nTime:  50\nRollover event #1 occured.\nTime:  656250\n"), std::string::npos);
}

TEST_F(eqa_reader_test, TracesAWrongLengthBeforeRaisingIt)
{
    auto sink = std::make_shared<recording_sink>();
    reader.trace = sink;
    eqa_fields bad;
    bad.length = 600;
    EXPECT_THROW(feed(lay_out(bad)), error);
    EXPECT_NE(sink->text.find(";record length:         600\nPack record length not correct.\n"), std::string::npos);
}

// ---------------------------------------------------------------------------
// The port, the capture and the device file.

struct fake_port_state {
    std::deque<bytes> arriving;
    std::int32_t opened = 0;
    std::int32_t baud = 0;
    std::size_t last_request = 0;
    bool fail_open = false;
    bool fail_close = false;
    int closes = 0;
};

class fake_serial : public Serial {
public:
    explicit fake_serial(std::shared_ptr<fake_port_state> s) : state_(std::move(s)) {}
    void open(std::int32_t n) override
    {
        if (state_->fail_open)
            throw error("Could Not Open COM" + std::to_string(n));
        state_->opened = n;
        state_->baud = baud_rate;
        port_number = n;
    }
    void open_named(const std::string& name) override { throw error("Could Not Open " + name); }
    void close() override
    {
        ++state_->closes;
        if (state_->fail_close)
            throw error("Could not close comm port");
    }
    std::size_t read(std::uint8_t* out, std::size_t count) override
    {
        state_->last_request = count;
        if (state_->arriving.empty())
            return 0;
        const bytes next = state_->arriving.front();
        state_->arriving.pop_front();
        const std::size_t n = std::min(count, next.size());
        std::copy_n(next.begin(), n, out);
        return n;
    }

private:
    std::shared_ptr<fake_port_state> state_;
};

class eqa_reader_port_test : public eqa_reader_test {
protected:
    eqa_reader_port_test()
    {
        reader.make_port = [s = state] { return std::make_unique<fake_serial>(s); };
    }
    std::shared_ptr<fake_port_state> state = std::make_shared<fake_port_state>();
};

TEST_F(eqa_reader_port_test, StartsPollsAndStops)
{
    const bytes rec = lay_out(eqa_fields{});
    // Bytes from before the start are forgotten, together with the place the decoder had reached.
    feed(bytes(rec.begin(), rec.begin() + 300));
    ASSERT_GT(reader.cursor, 0U);

    reader.set_port(7);
    reader.start();
    EXPECT_EQ(state->opened, 7);
    EXPECT_EQ(state->baud, 19200);
    EXPECT_TRUE(reader.buffer.empty());

    reader.poll(); // nothing has arrived
    EXPECT_EQ(state->last_request, 4096U);
    EXPECT_TRUE(reader.buffer.empty());

    state->arriving.push_back(bytes(rec.begin(), rec.begin() + 400));
    state->arriving.push_back(bytes(rec.begin() + 400, rec.end()));
    reader.poll();
    EXPECT_TRUE(reader.records.empty());
    reader.poll();
    EXPECT_EQ(reader.buffer, rec);
    ASSERT_EQ(reader.records.size(), 10U);
    EXPECT_EQ(reader.records[0].time, 0.0);

    state->fail_close = true;
    EXPECT_NO_THROW(reader.stop());
    EXPECT_EQ(state->closes, 1);
    EXPECT_EQ(reader.records.size(), 10U);
}

TEST_F(eqa_reader_port_test, RaisesThePortErrorAtStart)
{
    state->fail_open = true;
    reader.set_port(3);
    try {
        reader.start();
        FAIL() << "no error";
    } catch (const error& e) {
        EXPECT_STREQ(e.what(), "Could Not Open COM3");
    }
}

class eqa_reader_file_test : public testing::temp_dir_test {};

TEST_F(eqa_reader_file_test, SavesTheBytesAsReceived)
{
    eqa_reader r;
    r.device = eqa_device();
    bytes stream = join({bytes{0x01, 0x02}, lay_out(eqa_fields{}), bytes{0x00, 0xFF, 0x00}});
    r.feed(stream.data(), stream.size());
    r.save_raw(path("capture.bin"));
    const std::string saved = testing::read_text(path("capture.bin"));
    EXPECT_EQ(bytes(saved.begin(), saved.end()), stream);

    try {
        r.save_raw(path("missing/capture.bin"));
        FAIL() << "no error";
    } catch (const error& e) {
        EXPECT_STREQ(e.what(), "Unable to open file for saving.");
    }
    EXPECT_EQ(testing::error_of([&] { r.save_raw("/dev/full"); }), "Unable to write to /dev/full.");
}

TEST_F(eqa_reader_file_test, LoadsTheDeviceFileOrReportsOneMessage)
{
    std::string dev = "EQA test meter\n123\n1\nTcal: 20.0 C\n0\t0\n19200\n0.25\n2\n10\t30\n";
    for (std::size_t line = 0; line < 9; ++line) {
        const std::string a = std::to_string(static_cast<int>(raw_a_wl[line]));
        const std::string c = std::to_string(static_cast<int>(raw_c_wl[line]));
        dev += "a" + a + "\tx\t0.1\t0.01\t0.02\n";
        dev += "c" + c + "\tx\t0.2\t0.03\t0.04\n";
    }
    dev += "end 1\nend 2\n";
    testing::write_text(path("good.dev"), dev);
    testing::write_text(path("other.dev"), "ABC meter\n");

    eqa_reader r;
    r.open_device_file(path("good.dev"));
    EXPECT_EQ(r.device->serial_number, 123);
    EXPECT_EQ(r.device->baud_rate, 19200);
    ASSERT_EQ(r.device->a_wavelengths.size(), 9U);
    EXPECT_EQ(r.device->a_wavelengths.front(), 412.0);

    for (const std::string& bad : {path("absent.dev"), path("other.dev"), path("")}) {
        try {
            r.open_device_file(bad);
            FAIL() << bad;
        } catch (const error& e) {
            EXPECT_STREQ(e.what(), "Unable to open Device File.") << bad;
        }
        // A failed load keeps the calibration already in place.
        EXPECT_EQ(r.device->serial_number, 123);
    }
}

} // namespace
} // namespace vantrel
