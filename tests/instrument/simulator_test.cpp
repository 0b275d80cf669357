#include "common/error.hpp"
#include "instrument/eqa_reader.hpp"
#include "instrument/ixo_reader.hpp"
#include "instrument/meter_simulator.hpp"
#include "test_support.hpp"

#include <sys/wait.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <filesystem>
#include <limits>
#include <memory>

using namespace vantrel;
using namespace vantrel::testing;

namespace {

using model = devfile::meter_model;

// Six wavelengths, the a channels 1.5 nm above the c channels; compensation
// steep enough that a wrong housing temperature shows in the values.
std::string ixo_device_text()
{
    std::string t = "IXO simulated test meter\n"
                    "0x5300007A\t; serial number\n"
                    "1\t; structure version\n"
                    "tcal:\t21.7\tC, factory calibration temperature\n"
                    "0.0\t1.0\t; depth calibration\n"
                    "19200\t; baud rate\n"
                    "0.25\t; path length\n"
                    "6\t; wavelengths\n"
                    "3\t; temperature bins\n"
                    "5.0\t15.0\t25.0\t; temperature bins\n";
    const double wl[] = {400.5, 452.0, 510.3, 555.0, 650.8, 715.2};
    for (int j = 0; j < 6; ++j) {
        const double c_off = 0.2 + 0.05 * j;
        const double a_off = 0.1 + 0.04 * j;
        t += "C" + std::to_string(wl[j]) + "\tA" + std::to_string(wl[j] + 1.5) + "\t16\t" + std::to_string(c_off) +
             "\t" + std::to_string(a_off) + "\t-0.10\t0.00\t0.12\t-0.20\t0.01\t0.25\n";
    }
    return t + "0\t; end of channel list\n0\t; reserved\n";
}

// Nine a and nine c lines, interleaved and out of wavelength order, each
// channel with its own offset so that a channel sent in the wrong slot shows.
std::string eqa_device_text()
{
    std::string t = "EQA simulated test meter\n"
                    "231\t; serial number\n"
                    "1\t; structure version\n"
                    "tcal:\t20.8\tC, factory calibration temperature\n"
                    "0.0\t1.0\t; depth calibration\n"
                    "9600\t; baud rate\n"
                    "0.25\t; path length\n"
                    "3\t; temperature bins\n"
                    "5.0\t15.0\t25.0\t; temperature bins\n";
    const int a_wl[] = {676, 412, 715, 440, 555, 488, 650, 510, 532};
    const int c_wl[] = {532, 715, 412, 650, 440, 676, 488, 555, 510};
    for (int k = 0; k < 9; ++k) {
        t += "a" + std::to_string(a_wl[k]) + "\t3\t" + std::to_string(0.1 + a_wl[k] / 5000.0) +
             "\t-0.10\t0.00\t0.15\n";
        t += "C" + std::to_string(c_wl[k]) + "\t3\t" + std::to_string(0.2 + c_wl[k] / 4000.0) +
             "\t0.08\t0.00\t-0.12\n";
    }
    return t + "0\t; end of channel list\n0\t; reserved\n";
}

std::unique_ptr<parent_reader> reader_for(model m)
{
    if (m == model::ixo)
        return std::make_unique<ixo_reader>();
    return std::make_unique<eqa_reader>();
}

struct simulation {
    std::vector<simulated_record> records;
    std::vector<std::uint8_t> stream; // every record, then the closing bytes
};

simulation simulate(const devfile& d, const simulator_settings& settings, std::size_t count)
{
    meter_simulator sim(d, settings);
    simulation s;
    for (std::size_t k = 0; k < count; ++k) {
        s.records.push_back(sim.next_record());
        s.stream.insert(s.stream.end(), s.records.back().bytes.begin(), s.records.back().bytes.end());
    }
    const auto closing = sim.closing_bytes();
    s.stream.insert(s.stream.end(), closing.begin(), closing.end());
    return s;
}

// Feeds the stream in the chunks a capture replay uses.
std::unique_ptr<parent_reader> decode(model m, const std::string& device_path, const std::vector<std::uint8_t>& bytes)
{
    auto reader = reader_for(m);
    reader->open_device_file(device_path);
    for (std::size_t at = 0; at < bytes.size(); at += 4096)
        reader->feed(bytes.data() + at, std::min<std::size_t>(4096, bytes.size() - at));
    return reader;
}

// How far a decoded value may lie from the meant one: the rounding of the
// counts the record carries, read from its bytes (only the newest packet
// keeps them). Ixo counts are rounded to whole counts; Eqa counts lose their
// fraction byte in the reader.
double count_tolerance(const devfile& d, const simulated_record& r, bool a_channel, std::size_t j)
{
    if (d.model == model::ixo) {
        const std::size_t at = 32 + 8 * j + (a_channel ? 6 : 4);
        const double signal = r.bytes.at(at) * 256.0 + r.bytes.at(at + 1);
        return 4.0 * 0.5 / (signal - 0.5) + 1e-9;
    }
    // Little-endian whole counts: ten groups of 18 signals from byte 20, 56
    // bytes a group, and the 18 references from byte 578, three bytes a count.
    const auto count_at = [&](std::size_t at) { return r.bytes.at(at) + 256.0 * r.bytes.at(at + 1); };
    double fewest = count_at(578);
    for (std::size_t k = 0; k < 18; ++k) {
        fewest = std::min(fewest, count_at(578 + 3 * k));
        for (std::size_t g = 0; g < 10; ++g)
            fewest = std::min(fewest, count_at(20 + 56 * g + 3 * k));
    }
    return 2.0 / fewest / d.path_length + 1e-9;
}

// The reader's records are the spectra of the records that were not
// corrupted, in order, with times counted from the first of them.
void expect_meant_spectra(const parent_reader& reader, const std::vector<simulated_record>& records)
{
    const devfile& d = *reader.device;
    std::vector<const simulated_spectrum*> meant;
    std::vector<const simulated_record*> sent; // the record each meant spectrum came in
    for (const auto& r : records)
        if (!r.corrupted)
            for (const auto& s : r.spectra) {
                meant.push_back(&s);
                sent.push_back(&r);
            }
    ASSERT_EQ(reader.records.size(), meant.size());
    ASSERT_EQ(reader.packets.size(), meant.size());
    for (std::size_t i = 0; i < meant.size(); ++i) {
        const ixo_data& got = reader.records[i];
        const ixo_data& want = meant[i]->values;
        EXPECT_DOUBLE_EQ(got.time, want.time - meant.front()->values.time) << "record " << i;
        ASSERT_EQ(got.a.size(), want.a.size());
        ASSERT_EQ(got.c.size(), want.c.size());
        for (std::size_t j = 0; j < want.a.size(); ++j) {
            const double tol_a = count_tolerance(d, *sent[i], true, j);
            const double tol_c = count_tolerance(d, *sent[i], false, j);
            // The check is only worth something if the rounding is small against the values.
            ASSERT_LT(std::max(tol_a, tol_c), 2e-3);
            EXPECT_NEAR(got.a[j], want.a[j], tol_a) << "record " << i << " a " << j;
            EXPECT_NEAR(got.c[j], want.c[j], tol_c) << "record " << i << " c " << j;
        }
    }
}

class simulator_test : public temp_dir_test {
protected:
    std::string device_path(model m) { return path(m == model::ixo ? "ixo.dev" : "eqa.dev"); }

    devfile device(model m)
    {
        write_text(device_path(m), m == model::ixo ? ixo_device_text() : eqa_device_text());
        devfile d;
        d.load(device_path(m));
        return d;
    }
};

struct rate_case {
    model meter;
    std::optional<double> rate;
    double expected_rate;
    std::size_t records;
    std::int32_t serial;
};

} // namespace

// The readers decode the stream into the spectra meant, at the rate asked,
// with the device file's serial number, and the spectra look like water.
TEST_F(simulator_test, decoded_stream_is_the_meant_spectra)
{
    const rate_case cases[] = {
        {model::ixo, std::nullopt, 4.0, 30, 122},
        {model::ixo, 10.0, 10.0, 30, 122},
        {model::eqa, std::nullopt, 6.0, 6, 231},
        {model::eqa, 2.5, 2.5, 4, 231},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.meter == model::ixo ? "ixo" : "eqa") + " at " + std::to_string(c.expected_rate));
        const devfile d = device(c.meter);
        simulator_settings settings;
        settings.rate = c.rate;
        settings.seed = 11;
        const simulation s = simulate(d, settings, c.records);
        const auto reader = decode(c.meter, device_path(c.meter), s.stream);

        expect_meant_spectra(*reader, s.records);
        EXPECT_EQ(reader->serial_number, c.serial);
        EXPECT_EQ(reader->lost_records, 0);
        const double step = c.meter == model::ixo ? 0.5 : 5.0; // the time field counts 1 ms or 10 ms
        for (std::size_t i = 0; i < reader->records.size(); ++i)
            EXPECT_NEAR(reader->records[i].time, static_cast<double>(i) * 1000.0 / c.expected_rate, step) << "record " << i;

        std::vector<const simulated_spectrum*> spectra;
        for (const auto& r : s.records) {
            EXPECT_EQ(r.spectra.size(), c.meter == model::ixo ? 1U : 10U);
            for (const auto& sp : r.spectra)
                spectra.push_back(&sp);
        }
        for (std::size_t i = 0; i < spectra.size(); ++i) {
            const simulated_spectrum& sp = *spectra[i];
            EXPECT_GE(sp.internal_temp, 5.0);
            EXPECT_LE(sp.internal_temp, 25.0);
            if (c.meter == model::ixo) {
                EXPECT_GT(sp.external_temp, 0.0);
                EXPECT_LT(sp.external_temp, 30.0);
            } else {
                EXPECT_TRUE(std::isnan(sp.external_temp));
            }
            const auto& a = sp.values.a;
            const auto& cv = sp.values.c;
            for (std::size_t j = 0; j < a.size(); ++j) {
                EXPECT_GE(a[j], 0.05);
                EXPECT_LE(cv[j], 1.5);
                EXPECT_GT(cv[j], a[j]);
                // Smooth in wavelength: no step larger than a steep natural slope allows.
                if (j > 0) {
                    EXPECT_LT(std::abs(a[j] - a[j - 1]),
                              0.012 * std::abs(d.a_wavelengths[j] - d.a_wavelengths[j - 1]) + 0.01);
                }
                // Slowly varying in time.
                if (i > 0) {
                    EXPECT_LT(std::abs(a[j] - spectra[i - 1]->values.a[j]), 0.05);
                    EXPECT_LT(std::abs(cv[j] - spectra[i - 1]->values.c[j]), 0.08);
                }
            }
        }
    }
}

// The Ixo reader frames records by FF 00 FF 00: that pattern may appear only
// where a record starts, also across record boundaries.
TEST_F(simulator_test, ixo_stream_holds_sync_patterns_only_at_record_starts)
{
    simulator_settings settings;
    settings.corrupt_fraction = 0.2;
    const simulation s = simulate(device(model::ixo), settings, 3000);
    std::vector<std::size_t> starts;
    std::size_t at = 0;
    for (const auto& r : s.records) {
        starts.push_back(at);
        at += r.bytes.size();
    }
    starts.push_back(at); // the closing bytes
    std::vector<std::size_t> found;
    for (std::size_t i = 0; i + 4 <= s.stream.size(); ++i)
        if (s.stream[i] == 0xFF && s.stream[i + 1] == 0x00 && s.stream[i + 2] == 0xFF && s.stream[i + 3] == 0x00)
            found.push_back(i);
    EXPECT_EQ(found, starts);
}

TEST_F(simulator_test, serial_number_can_be_overridden_within_what_the_record_carries)
{
    for (const auto& [m, serial] : {std::pair{model::ixo, std::int64_t{0xABCDEF}}, std::pair{model::eqa, std::int64_t{987654}}}) {
        simulator_settings settings;
        settings.serial_number = serial;
        const simulation s = simulate(device(m), settings, 3);
        const auto reader = decode(m, device_path(m), s.stream);
        ASSERT_FALSE(reader->packets.empty());
        EXPECT_EQ(reader->serial_number, serial);
        EXPECT_EQ(reader->packets.back().serial_number, serial);
    }
    for (const auto& [m, serial] : {std::pair{model::ixo, std::int64_t{0x1000000}}, std::pair{model::ixo, std::int64_t{-1}},
                                    std::pair{model::eqa, std::int64_t{1000000}}, std::pair{model::eqa, std::int64_t{-1}}}) {
        simulator_settings settings;
        settings.serial_number = serial;
        EXPECT_THROW(meter_simulator(device(m), settings), error) << serial;
    }
}

// A corrupted record is the clean one with one bit flipped and the checksum
// kept; the readers drop it, and the Ixo reader does not count it as lost.
TEST_F(simulator_test, corrupted_records_fail_their_checksums_and_are_dropped)
{
    for (const auto& [m, count] : {std::pair{model::ixo, std::size_t{60}}, std::pair{model::eqa, std::size_t{16}}}) {
        SCOPED_TRACE(m == model::ixo ? "ixo" : "eqa");
        const devfile d = device(m);
        simulator_settings settings;
        settings.seed = 3;
        const simulation clean = simulate(d, settings, count);
        settings.corrupt_fraction = 0.3;
        const simulation corrupt = simulate(d, settings, count);

        std::size_t corrupted = 0;
        for (std::size_t k = 0; k < count; ++k) {
            const auto& x = clean.records[k].bytes;
            const auto& y = corrupt.records[k].bytes;
            ASSERT_EQ(x.size(), y.size());
            int flipped_bits = 0;
            for (std::size_t i = 0; i < x.size(); ++i)
                flipped_bits += std::popcount(static_cast<unsigned>(x[i] ^ y[i]));
            EXPECT_EQ(flipped_bits, corrupt.records[k].corrupted ? 1 : 0) << "record " << k;
            EXPECT_FALSE(clean.records[k].corrupted);
            corrupted += corrupt.records[k].corrupted ? 1 : 0;
        }
        EXPECT_GT(corrupted, 0U);
        EXPECT_LT(corrupted, count);

        const auto reader = decode(m, device_path(m), corrupt.stream);
        expect_meant_spectra(*reader, corrupt.records);
        EXPECT_EQ(reader->lost_records, 0);

        settings.corrupt_fraction = 1.0;
        const auto none = decode(m, device_path(m), simulate(d, settings, 5).stream);
        EXPECT_TRUE(none->records.empty());
        EXPECT_EQ(none->lost_records, 0);
    }
}

TEST_F(simulator_test, seed_decides_the_stream)
{
    for (const model m : {model::ixo, model::eqa}) {
        const devfile d = device(m);
        simulator_settings settings;
        settings.seed = 42;
        const auto first = simulate(d, settings, 5).stream;
        EXPECT_EQ(simulate(d, settings, 5).stream, first);
        settings.seed = 43;
        EXPECT_NE(simulate(d, settings, 5).stream, first);
    }
}

TEST_F(simulator_test, settings_that_cannot_be_sent_are_refused)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const model m : {model::ixo, model::eqa}) {
        const devfile d = device(m);
        for (const double rate : {0.0, -4.0, 1000.5, nan}) {
            simulator_settings settings;
            settings.rate = rate;
            EXPECT_THROW(meter_simulator(d, settings), error) << rate;
        }
        for (const double share : {-0.1, 1.5, nan}) {
            simulator_settings settings;
            settings.corrupt_fraction = share;
            EXPECT_THROW(meter_simulator(d, settings), error) << share;
        }
    }
    // The Eqa conversion divides by the path length.
    devfile flat = device(model::eqa);
    flat.path_length = 0.0;
    EXPECT_THROW(meter_simulator{flat}, error);
}

// The example device files of the repository simulate and decode too.
TEST_F(simulator_test, example_device_files_simulate_and_decode)
{
    for (const auto& [name, m] : {std::pair{"ixo_86.dev", model::ixo}, std::pair{"eqa_9.dev", model::eqa}}) {
        const std::string dev = example(name);
        if (!std::filesystem::exists(dev))
            GTEST_SKIP() << dev << " is missing";
        devfile d;
        d.load(dev);
        const simulation s = simulate(d, {}, 8);
        const auto reader = decode(m, dev, s.stream);
        SCOPED_TRACE(name);
        expect_meant_spectra(*reader, s.records);
        EXPECT_EQ(reader->serial_number, d.serial_number);
    }
}

namespace {

class simulator_command_test : public simulator_test {
protected:
    int run(const std::string& args)
    {
        const std::string cmd = std::string(VANTREL_CLI) + " simulate " + args + " >" + path("stdout.txt") + " 2>" +
                                path("stderr.txt");
        const int status = std::system(cmd.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

struct capture_case {
    model meter;
    std::string args;
    simulator_settings settings;
    std::size_t records;
};

} // namespace

// The capture is the simulator's stream for the options given, so what the
// simulator tests show of the stream holds for the command's output.
TEST_F(simulator_command_test, capture_is_the_simulated_stream)
{
    const capture_case cases[] = {
        {model::ixo, "", {}, 100},
        {model::ixo, "--records 7 --rate 10 --seed 9 --serial 77 --corrupt 0.5", {10.0, 9, 77, 0.5}, 7},
        {model::eqa, "--records 3", {}, 3},
        {model::eqa, "--records 4 --rate 1.5 --seed 2 --serial 4321 --corrupt 0.25", {1.5, 2, 4321, 0.25}, 4},
    };
    for (const auto& c : cases) {
        const devfile d = device(c.meter);
        const std::string capture = path("capture.bin");
        ASSERT_EQ(run("--device " + device_path(c.meter) + " -o " + capture + " " + c.args), 0)
            << c.args << "\n" << read_text(path("stderr.txt"));
        const std::string bytes = read_text(capture);
        const simulation s = simulate(d, c.settings, c.records);
        EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), s.stream) << c.args;
    }
}

TEST_F(simulator_command_test, usage_errors_exit_2_and_device_file_failures_exit_1)
{
    const std::string ixo = " --device " + device_path(model::ixo);
    device(model::ixo);
    const std::string eqa = " --device " + device_path(model::eqa);
    device(model::eqa);
    const std::string out = " -o " + path("out.bin");
    for (const std::string& args : {ixo, ixo + out + " --pty", std::string(out), ixo + out + " --corrupt 1.5",
                                    ixo + out + " --rate 0", ixo + out + " --rate 2000", ixo + out + " --records -3", ixo + out + " --seed -1",
                                    ixo + out + " --serial 16777216", eqa + out + " --serial 1000000"}) {
        EXPECT_EQ(run(args), 2) << args;
    }
    EXPECT_EQ(run(" --device " + path("none.dev") + out), 1);
    EXPECT_EQ(read_text(path("stderr.txt")), "Unable to open devfile.\n");
    write_text(path("other.dev"), "NOT A DEVICE FILE\n");
    EXPECT_EQ(run(" --device " + path("other.dev") + out), 1);
    EXPECT_EQ(read_text(path("stderr.txt")), "This file does not seem to be an EQA or IXO devfile.\n");
}
