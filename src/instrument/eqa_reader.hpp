#pragma once

#include "instrument/parent_reader.hpp"

#include <string>

namespace vantrel {

// The reader of the nine-wavelength Eqa meter: fixed-length records framed
// by 00 FF 00 FF, each giving ten records of nine a and nine c values.
class eqa_reader : public parent_reader {
public:
    eqa_reader();

    void open_device_file(const std::string& path) override;
    void save_raw(const std::string& path) override;
    void set_port(std::int32_t port_number) override;
    void start() override;
    void poll() override;
    void stop() override;
    void feed(const std::uint8_t* bytes, std::size_t count) override;

    std::size_t cursor = 0;
    int parse_mode = 0;
    std::size_t record_start = 0;
    std::size_t checksum_position = 0;

private:
    // Decoder internals (eqa_reader.cpp). Each step returns false when the
    // bytes it needs have not arrived yet.
    bool step();
    bool search_sync();
    bool read_header();
    bool read_group();
    bool read_references();
    void convert();
    void check_device() const;

    std::size_t unread() const { return buffer.size() - cursor; }
    bool tracing() const { return trace && trace->enabled(); }
    // Sends the complete lines of the hex dump (all of it when `all`).
    void flush_dump(bool all);

    int group_index_ = 0;
    int sync_state_ = 0; // kept across feed calls, so a pattern split between reads is found
    std::uint32_t rollover_count_ = 0;
    std::uint32_t previous_group_time_ = 0;
    packet packet_;
    std::string dump_; // the hex dump's unfinished line
};

} // namespace vantrel
