#pragma once

#include "instrument/parent_reader.hpp"

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
    // Decoder internals (eqa_reader.cpp).
    bool step();
    void convert();
    int group_index_ = 0;
    std::uint32_t rollover_count_ = 0;
    std::int32_t previous_group_time_ = 0;
    packet packet_;
};

} // namespace vantrel
