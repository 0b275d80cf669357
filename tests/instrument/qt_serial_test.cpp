#include "cli_child.hpp"
#include "common/error.hpp"
#include "instrument/eqa_reader.hpp"
#include "instrument/ixo_reader.hpp"
#include "instrument/meter_simulator.hpp"
#include "instrument/qt_serial.hpp"
#include "test_support.hpp"

#include <QCoreApplication>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <optional>
#include <thread>

extern char** environ;

using namespace vantrel;
using namespace vantrel::testing;
using namespace std::chrono_literals;

namespace {

using model = devfile::meter_model;
using steady = std::chrono::steady_clock;

// A pseudo-terminal left in its default (cooked) mode: bytes arrive on the
// slave side unchanged only if the port sets the line up for binary data.
class pty_pair {
public:
    pty_pair()
    {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0 || ptsname(master_) == nullptr)
            throw std::runtime_error("no pseudo-terminal");
        slave_ = ptsname(master_);
    }
    ~pty_pair() { hang_up(); }
    pty_pair(const pty_pair&) = delete;
    pty_pair& operator=(const pty_pair&) = delete;

    const std::string& slave() const { return slave_; }
    void write(const std::vector<std::uint8_t>& bytes) const
    {
        ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    void hang_up()
    {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    std::string slave_;
};

// Reads until `count` bytes came or the time is up.
std::vector<std::uint8_t> read_for(Serial& port, std::size_t count, std::chrono::milliseconds limit,
                                   std::size_t chunk = 4096)
{
    std::vector<std::uint8_t> got;
    const auto deadline = steady::now() + limit;
    while (got.size() < count && steady::now() < deadline) {
        std::vector<std::uint8_t> buf(chunk);
        const std::size_t n = port.read(buf.data(), buf.size());
        EXPECT_LE(n, chunk);
        got.insert(got.end(), buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(std::min(n, chunk)));
        if (n == 0)
            std::this_thread::sleep_for(5ms);
    }
    return got;
}

std::string error_text(const std::function<void()>& action)
{
    try {
        action();
    } catch (const error& e) {
        return e.what();
    }
    return "(no error)";
}

} // namespace

TEST(qt_serial, bytes_written_to_the_line_are_read_back_unchanged)
{
    pty_pair pty;
    qt_serial port;
    port.baud_rate = 19200;
    port.open_named(pty.slave());
    EXPECT_EQ(port.port_number, 0); // opened by name, not by number

    std::uint8_t buf[64];
    const auto before = steady::now();
    EXPECT_EQ(port.read(buf, sizeof buf), 0U);
    EXPECT_LT(steady::now() - before, 100ms);

    // NUL, XON and XOFF, CR and LF, interrupt and end-of-file characters, 0xFF:
    // each would be eaten or changed by a line not set up for binary data.
    const std::vector<std::uint8_t> sent = {0x00, 0x11, 0x13, 0x0D, 0x0A, 0x03, 0x04, 0x7F, 0xFF, 0x1A,
                                            'r',  'a',  'w',  0x0D, 0x00, 0xFF, 0x00, 0xFF, 0x15, 0x17};
    pty.write(sent);
    // A read takes no more than it is asked for.
    const auto first = read_for(port, 4, 2000ms, 4);
    ASSERT_EQ(first.size(), 4U);
    auto all = first;
    const auto rest = read_for(port, sent.size() - 4, 2000ms);
    all.insert(all.end(), rest.begin(), rest.end());
    EXPECT_EQ(all, sent);
    EXPECT_EQ(port.read(buf, sizeof buf), 0U);
    EXPECT_NO_THROW(port.close());
}

TEST(qt_serial, ports_that_cannot_be_opened_are_named_in_the_error)
{
    qt_serial port;
    for (const std::string name : {"/dev/vantrel-no-such-port", "ttyVantrelNone"}) {
        EXPECT_EQ(error_text([&] { port.open_named(name); }), "Could Not Open " + name);
        EXPECT_EQ(port.port_number, 0);
    }
    for (const std::int32_t n : {0, -2, 9999}) {
        EXPECT_EQ(error_text([&] { port.open(n); }), "Could Not Open COM" + std::to_string(n));
        EXPECT_EQ(port.port_number, 0);
    }
}

TEST(qt_serial, closing_raises_nothing_for_a_port_never_opened_or_gone)
{
    qt_serial never;
    EXPECT_NO_THROW(never.close());
    EXPECT_EQ(never.port_number, 0);

    // The other end hung up, as when an adapter is unplugged: the port is
    // closed all the same, and closing again does nothing.
    pty_pair pty;
    qt_serial gone;
    gone.open_named(pty.slave());
    pty.hang_up();
    std::uint8_t buf[16];
    EXPECT_EQ(gone.read(buf, sizeof buf), 0U);
    EXPECT_NO_THROW(gone.close());
    EXPECT_NO_THROW(gone.close());
    EXPECT_EQ(gone.port_number, 0);
}

TEST(qt_serial, factory_makes_closed_qt_ports)
{
    const serial_factory make = qt_serial_factory();
    const std::unique_ptr<Serial> port = make();
    ASSERT_NE(dynamic_cast<qt_serial*>(port.get()), nullptr);
    EXPECT_EQ(port->port_number, 0);
    std::uint8_t buf[4];
    EXPECT_EQ(port->read(buf, sizeof buf), 0U);
}

namespace {

std::string ixo_device_text()
{
    std::string t = "IXO pty test meter\n0x5300007A\t; serial\n1\n tcal: 21.7 C\n0.0\t1.0\n19200\t; baud\n"
                    "0.25\t; path\n4\t; wavelengths\n2\t; bins\n10.0\t20.0\t; bins\n";
    for (const int wl : {412, 488, 555, 715})
        t += "C" + std::to_string(wl) + "\tA" + std::to_string(wl + 1) +
             "\t16\t0.3\t0.2\t-0.05\t0.05\t-0.1\t0.1\n";
    return t + "0\n0\n";
}

std::string eqa_device_text()
{
    std::string t = "EQA pty test meter\n231\t; serial\n1\n tcal: 20.8 C\n0.0\t1.0\n9600\t; baud\n"
                    "0.25\t; path\n2\t; bins\n10.0\t20.0\t; bins\n";
    for (const int wl : {715, 412, 440, 488, 510, 532, 555, 650, 676}) {
        t += "a" + std::to_string(wl) + "\t3\t0.2\t-0.05\t0.05\n";
        t += "c" + std::to_string(wl) + "\t3\t0.4\t0.05\t-0.05\n";
    }
    return t + "0\n0\n";
}

class simulator_pty_test : public temp_dir_test {};

struct live_case {
    model meter;
    std::size_t records;
    std::size_t spectra;
};

} // namespace

// The simulator streams over its pseudo-terminal; a reader with the Qt port
// receives the stream byte for byte and decodes every record meant.
TEST_F(simulator_pty_test, reader_on_the_qt_port_decodes_the_live_stream)
{
    for (const live_case& c : {live_case{model::ixo, 20, 20}, live_case{model::eqa, 3, 30}}) {
        const bool ixo = c.meter == model::ixo;
        SCOPED_TRACE(ixo ? "ixo" : "eqa");
        const std::string dev = path(ixo ? "ixo.dev" : "eqa.dev");
        write_text(dev, ixo ? ixo_device_text() : eqa_device_text());

        cli_child child({"simulate", "--device", dev, "--pty", "--records", std::to_string(c.records),
                         "--rate", "50", "--seed", "7"});
        const std::string port_path = child.first_line(5000ms);
        ASSERT_FALSE(port_path.empty()) << "no pseudo-terminal path printed";

        std::unique_ptr<parent_reader> reader;
        if (ixo)
            reader = std::make_unique<ixo_reader>();
        else
            reader = std::make_unique<eqa_reader>();
        reader->open_device_file(dev);
        reader->set_port_name(port_path);
        reader->make_port = qt_serial_factory();
        reader->start();
        const auto deadline = steady::now() + 10s;
        while (reader->records.size() < c.spectra && steady::now() < deadline) {
            reader->poll();
            std::this_thread::sleep_for(10ms);
        }

        // The same device file and seed give the same stream here.
        devfile d;
        d.load(dev);
        simulator_settings settings;
        settings.rate = 50.0;
        settings.seed = 7;
        meter_simulator sim(d, settings);
        std::vector<std::uint8_t> stream;
        std::vector<simulated_spectrum> meant;
        for (std::size_t k = 0; k < c.records; ++k) {
            simulated_record r = sim.next_record();
            stream.insert(stream.end(), r.bytes.begin(), r.bytes.end());
            meant.insert(meant.end(), r.spectra.begin(), r.spectra.end());
        }
        const auto closing = sim.closing_bytes();
        stream.insert(stream.end(), closing.begin(), closing.end());

        ASSERT_EQ(reader->buffer.size(), stream.size());
        ASSERT_EQ(reader->records.size(), c.spectra);
        EXPECT_EQ(reader->buffer, stream);
        for (std::size_t i = 0; i < meant.size(); ++i) {
            EXPECT_DOUBLE_EQ(reader->records[i].time, meant[i].values.time - meant[0].values.time);
            for (std::size_t j = 0; j < meant[i].values.a.size(); ++j) {
                EXPECT_NEAR(reader->records[i].a[j], meant[i].values.a[j], 2e-3);
                EXPECT_NEAR(reader->records[i].c[j], meant[i].values.c[j], 2e-3);
            }
        }

        // Everything sent has been read, so the simulator ends by itself, and
        // the port, whose other end is gone, closes without complaint.
        EXPECT_TRUE(child.wait_for(5000ms));
        EXPECT_TRUE(child.exited_cleanly());
        EXPECT_NO_THROW(reader->stop());
    }
}

TEST_F(simulator_pty_test, termination_signal_ends_the_stream)
{
    write_text(path("ixo.dev"), ixo_device_text());
    for (const int sig : {SIGTERM, SIGINT}) {
        cli_child child(
            {"simulate", "--device", path("ixo.dev"), "--pty", "--records", "1000000", "--rate", "50"});
        const std::string port_path = child.first_line(5000ms);
        ASSERT_FALSE(port_path.empty());
        qt_serial port;
        port.open_named(port_path);
        EXPECT_FALSE(read_for(port, 200, 3000ms).empty()) << "nothing streamed";
        child.signal(sig);
        EXPECT_TRUE(child.wait_for(3000ms)) << "still running after signal " << sig;
        EXPECT_TRUE(child.exited_cleanly());
        EXPECT_NO_THROW(port.close());
    }
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // Qt's devices want an application object, though no event loop runs.
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
