#include "cli_child.hpp"
#include "dataset/ixo_data.hpp"
#include "test_support.hpp"

#include <chrono>

using namespace vantrel;
using namespace vantrel::testing;
using namespace std::chrono_literals;

namespace {

class acquire_test : public temp_dir_test {
protected:
    // A simulated Ixo meter on a pseudo-terminal.
    std::unique_ptr<cli_child> start_meter(const std::vector<std::string>& extra)
    {
        std::vector<std::string> args = {"simulate", "--device", example("ixo_86.dev"),
                                         "--pty",    "--rate",   "40"};
        args.insert(args.end(), extra.begin(), extra.end());
        auto meter = std::make_unique<cli_child>(args);
        pty = meter->first_line(5000ms);
        return meter;
    }

    std::unique_ptr<cli_child> start_acquire(const std::vector<std::string>& extra)
    {
        std::vector<std::string> args = {"acquire",        "--device", example("ixo_86.dev"),
                                         "--port",         pty,        "-o",
                                         path("live.dat"), "--raw",    path("live.bin")};
        args.insert(args.end(), extra.begin(), extra.end());
        return std::make_unique<cli_child>(args, path("stderr.txt"));
    }

    // The continuous file holds exactly the records the capture replays to.
    void expect_file_matches_its_capture(std::size_t at_least)
    {
        auto replay = cli_child(
            {"replay", path("live.bin"), "--device", example("ixo_86.dev"), "-o", path("replay.dat")});
        ASSERT_TRUE(replay.wait_for(20s));
        ASSERT_TRUE(replay.exited_cleanly());
        IXO_Data live;
        live.load_file(path("live.dat"), false);
        IXO_Data replayed;
        replayed.load_file(path("replay.dat"), false);
        ASSERT_GE(live.records.size(), at_least);
        ASSERT_EQ(live.records.size(), replayed.records.size());
        for (std::size_t i = 0; i < live.records.size(); ++i) {
            EXPECT_EQ(live.records[i].time, replayed.records[i].time) << i;
            EXPECT_EQ(live.records[i].a, replayed.records[i].a) << i;
            EXPECT_EQ(live.records[i].c, replayed.records[i].c) << i;
        }
    }

    std::string pty;
};

} // namespace

TEST_F(acquire_test, a_meter_that_goes_away_stops_after_the_time_out_with_every_record_kept)
{
    auto meter = start_meter({"--records", "30"});
    ASSERT_FALSE(pty.empty());
    auto acquire = start_acquire({});
    ASSERT_TRUE(meter->wait_for(10s));
    // The pseudo-terminal is gone: 10 whole seconds later the acquisition stops.
    ASSERT_TRUE(acquire->wait_for(20s));
    EXPECT_EQ(acquire->exit_code(), 1);
    EXPECT_NE(read_text(path("stderr.txt"))
                  .find("It stopped giving me data....: Device timed out.  Did it get disconnected?"),
              std::string::npos);
    expect_file_matches_its_capture(30);
}

TEST_F(acquire_test, a_signal_ends_the_recording_cleanly)
{
    auto meter = start_meter({"--records", "100000"});
    ASSERT_FALSE(pty.empty());
    auto acquire = start_acquire({});
    std::this_thread::sleep_for(2500ms);
    acquire->signal(SIGTERM);
    ASSERT_TRUE(acquire->wait_for(10s));
    EXPECT_EQ(acquire->exit_code(), 0);
    EXPECT_EQ(read_text(path("stderr.txt")), "");
    expect_file_matches_its_capture(20);
}

TEST_F(acquire_test, a_meter_of_another_serial_number_is_refused)
{
    auto meter = start_meter({"--records", "100000", "--serial", "4242"});
    ASSERT_FALSE(pty.empty());
    auto acquire = start_acquire({"--duration", "20"});
    ASSERT_TRUE(acquire->wait_for(15s));
    EXPECT_EQ(acquire->exit_code(), 1);
    EXPECT_EQ(
        read_text(path("stderr.txt")),
        "Serial number mismatch: The serial number of the device, 4242, does not match the serial number of "
        "the device file, 212\n");
}

TEST_F(acquire_test, failed_starts_exit_with_their_message)
{
    // A device file without a factory calibration temperature, and none given.
    std::string text;
    for (const auto& l : read_lines(example("ixo_86.dev")))
        text += (l.rfind("tcal:", 0) == 0 ? std::string("no temperature") : l) + "\n";
    write_text(path("notcal.dev"), text);
    pty = path("no-such-port");
    {
        cli_child acquire({"acquire", "--device", path("notcal.dev"), "--port", pty, "-o", path("x.dat")},
                          path("stderr.txt"));
        ASSERT_TRUE(acquire.wait_for(10s));
        EXPECT_EQ(acquire.exit_code(), 1);
        EXPECT_EQ(read_text(path("stderr.txt")), "Unable to parse Factory Temperature Calibration\n");
    }
    // Given one, the start goes on to the port, which is not there.
    {
        cli_child acquire({"acquire", "--device", path("notcal.dev"), "--port", pty, "-o", path("x.dat"),
                           "--fac-cal-temp", "20.5"},
                          path("stderr.txt"));
        ASSERT_TRUE(acquire.wait_for(10s));
        EXPECT_EQ(acquire.exit_code(), 1);
        EXPECT_EQ(read_text(path("stderr.txt")), "Comm Error: Could Not Open " + pty + "\n");
    }
    EXPECT_FALSE(std::filesystem::exists(path("x.dat")));
}
