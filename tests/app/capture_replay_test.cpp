#include "app/capture_replay.hpp"
#include "common/error.hpp"
#include "instrument/meter_simulator.hpp"
#include "test_support.hpp"

#include <cmath>

using namespace vantrel;
using namespace vantrel::testing;

namespace {

class replay_test : public temp_dir_test {
protected:
    // A capture of `records` meter records of the example device file, and
    // the spectra they were meant to give.
    std::vector<simulated_spectrum> make_capture(const std::string& device_file, std::size_t records,
                                                 const std::string& capture)
    {
        devfile device;
        device.load(example(device_file));
        meter_simulator sim(device);
        std::vector<std::uint8_t> bytes;
        std::vector<simulated_spectrum> meant;
        for (std::size_t i = 0; i < records; ++i) {
            const simulated_record r = sim.next_record();
            bytes.insert(bytes.end(), r.bytes.begin(), r.bytes.end());
            meant.insert(meant.end(), r.spectra.begin(), r.spectra.end());
        }
        const auto tail = sim.closing_bytes();
        bytes.insert(bytes.end(), tail.begin(), tail.end());
        write_text(capture, std::string(bytes.begin(), bytes.end()));
        return meant;
    }
};

} // namespace

TEST_F(replay_test, a_capture_replays_into_the_data_set_with_the_device_layout)
{
    for (const std::string& dev : {std::string("ixo_86.dev"), std::string("eqa_9.dev")}) {
        const auto meant = make_capture(dev, 30, path("capture.bin"));
        IXO_Data ds;
        ds.data_file = "kept.dat";
        ds.apply_temp = ds.apply_scat = ds.ctd_merged = true;
        ds.temp_source = 2;
        std::unique_ptr<parent_reader> reader;
        replay_capture(ds, reader, path("capture.bin"), example(dev));

        ASSERT_TRUE(reader);
        EXPECT_EQ(reader->buffer.size(), read_text(path("capture.bin")).size());
        ASSERT_EQ(ds.records.size(), meant.size()) << dev;
        for (std::size_t r = 0; r < meant.size(); ++r) {
            EXPECT_NEAR(ds.records[r].time, meant[r].values.time, 1e-9) << dev << " " << r;
            for (std::size_t i = 0; i < meant[r].values.a.size(); ++i)
                EXPECT_NEAR(ds.records[r].a[i], meant[r].values.a[i], 2e-3) << dev << " " << r << " " << i;
        }
        EXPECT_EQ(ds.model, dev == "eqa_9.dev" ? model_eqa : model_ixo);
        EXPECT_EQ(ds.a_wavelengths.size(), reader->device->a_wavelengths.size());
        EXPECT_EQ(ds.a_coefs.size(), ds.a_wavelengths.size());
        EXPECT_NE(ds.scat_ref_a_index, no_scat_ref);
        EXPECT_EQ(ds.aux_onboard.rows.size(), ds.records.size());
        EXPECT_FALSE(ds.apply_temp || ds.apply_scat || ds.ctd_merged);
        EXPECT_EQ(ds.temp_source, 1);
        EXPECT_EQ(ds.data_file, "kept.dat");

        // The records written out load back, as an acquisition's file does.
        ds.save_uncorrected(path("replayed.dat"));
        IXO_Data back;
        back.load_file(path("replayed.dat"), false);
        ASSERT_EQ(back.records.size(), ds.records.size()) << dev;
        EXPECT_EQ(back.serial_number, reader->device->serial_number);
        EXPECT_NEAR(back.records.back().c[3], ds.records.back().c[3], 1e-9 * std::fabs(ds.records.back().c[3]));
    }
}

TEST_F(replay_test, failures_name_the_problem)
{
    make_capture("ixo_86.dev", 5, path("ixo.bin"));
    write_text(path("odd.dev"), "ACS meter\n");
    write_text(path("empty.bin"), "");

    IXO_Data ds;
    std::unique_ptr<parent_reader> reader;
    EXPECT_EQ(error_of([&] { replay_capture(ds, reader, path("ixo.bin"), path("odd.dev")); }), "Invalid device file");
    EXPECT_FALSE(reader);
    EXPECT_EQ(ds.model, 0);

    const std::string none = "Unable to read binary file.  Do you have the right devfile specified?";
    EXPECT_EQ(error_of([&] { replay_capture(ds, reader, path("empty.bin"), example("ixo_86.dev")); }), none);
    EXPECT_EQ(error_of([&] { replay_capture(ds, reader, path("missing.bin"), example("ixo_86.dev")); }), none);
    // An Ixo capture read with the Eqa device file holds no record for it.
    EXPECT_EQ(error_of([&] { replay_capture(ds, reader, path("ixo.bin"), example("eqa_9.dev")); }), none);
    ASSERT_TRUE(reader);
    EXPECT_TRUE(ds.records.empty());
}

TEST_F(replay_test, blocks_of_4096_bytes_end_with_a_shorter_or_empty_block)
{
    // A reader that only notes the sizes it is fed.
    struct recording_reader : parent_reader {
        std::vector<std::size_t> blocks;
        void feed(const std::uint8_t* /*bytes*/, std::size_t count) override { blocks.push_back(count); }
    };
    for (const std::size_t size : {std::size_t(8192), std::size_t(8193)}) {
        write_text(path("c.bin"), std::string(size, '\0'));
        recording_reader r;
        feed_capture(r, path("c.bin"));
        const std::vector<std::size_t> want =
            size == 8192 ? std::vector<std::size_t>{4096, 4096, 0} : std::vector<std::size_t>{4096, 4096, 1};
        EXPECT_EQ(r.blocks, want);
    }
}

TEST_F(replay_test, a_damaged_eqa_header_costs_only_its_record)
{
    devfile device;
    device.load(example("eqa_9.dev"));
    meter_simulator sim(device);
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < 5; ++i) {
        simulated_record r = sim.next_record();
        if (i == 2)
            r.bytes[4] ^= 0x01; // the record length no longer reads 634
        bytes.insert(bytes.end(), r.bytes.begin(), r.bytes.end());
    }
    write_text(path("damaged.bin"), std::string(bytes.begin(), bytes.end()));

    IXO_Data ds;
    std::unique_ptr<parent_reader> reader;
    replay_capture(ds, reader, path("damaged.bin"), example("eqa_9.dev"));
    EXPECT_EQ(ds.records.size(), 40u);
}
