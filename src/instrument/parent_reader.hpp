#pragma once

#include "common/diagnostics.hpp"
#include "dataset/ixo_data.hpp"
#include "instrument/acr_helper.hpp"
#include "instrument/devfile.hpp"
#include "instrument/packet.hpp"
#include "instrument/serial.hpp"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace vantrel {

// The base of the instrument readers: it owns the device file, the serial
// port and the status helper, and holds every byte received, every decoded
// packet and every converted record. Bytes flow port -> poll -> feed ->
// buffer -> decoder -> records.
class parent_reader {
public:
    parent_reader();
    virtual ~parent_reader();
    parent_reader(const parent_reader&) = delete;
    parent_reader& operator=(const parent_reader&) = delete;

    virtual void open_device_file(const std::string& path);
    virtual void save_raw(const std::string& path);
    virtual void set_port(std::int32_t port_number);
    virtual void start();
    virtual void poll();
    virtual void stop();
    virtual void feed(const std::uint8_t* bytes, std::size_t count);

    // A port given by name or path instead of a number.
    void set_port_name(const std::string& name);

    std::vector<std::uint8_t> buffer;
    std::vector<packet> packets;
    std::int32_t num_wavelengths = -1;
    std::int32_t lost_records = 0;
    std::uint32_t first_time_stamp = 0;
    std::unique_ptr<devfile> device;
    std::unique_ptr<Serial> port;
    bool synced = false;
    ixo_data current;
    std::deque<ixo_data> records;
    std::int32_t serial_number = -1;

    // The port a start opens: a number, or a name when one was given.
    std::int32_t port_number = 0;
    std::string port_name;
    // Makes the port at every start (the window and the command line give the real one).
    serial_factory make_port;
    std::unique_ptr<ACR_Helper> helper;
    // Decoder traces; silent unless someone listens.
    std::shared_ptr<diagnostic_sink> trace;

protected:
    // Shared pieces of the concrete readers' operations.
    void write_buffer(const std::string& path) const;
    void open_port();
    void read_port(std::size_t max_bytes);
    // Appends received bytes to `buffer`, which grows in steps of four times
    // its size: an acquisition's stream is then copied far less often.
    void append_to_buffer(const std::uint8_t* bytes, std::size_t count);
    // Record time: 0 for the first record, later ones relative to it.
    double elapsed_time(std::uint32_t meter_time);
};

// The reader for a device file's model, from the file's first line ("IXO"
// or "EQA" in any case). Returns nullptr when the line names neither.
std::unique_ptr<parent_reader> reader_for_device_file(const std::string& path);

// 1 for Ixo, 2 for Eqa, 0 when the first line names neither or the file cannot be read.
std::int32_t DetectModel(const std::string& path);

} // namespace vantrel
