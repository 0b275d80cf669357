#pragma once

#include "instrument/parent_reader.hpp"

#include <optional>

namespace vantrel {

// The reader of the hyperspectral Ixo meter: records framed by FF 00 FF 00,
// each decoded when the next record's sync pattern arrives.
class ixo_reader : public parent_reader {
public:
    ixo_reader();

    void open_device_file(const std::string& path) override;
    void save_raw(const std::string& path) override;
    void set_port(std::int32_t port_number) override;
    void start() override;
    void poll() override;
    void stop() override;
    void feed(const std::uint8_t* bytes, std::size_t count) override;

    std::size_t record_start = 0;
    std::size_t record_end = 0;

private:
    // Decoder internals (ixo_reader.cpp).
    void close_record(std::size_t end);
    void decode_record(std::size_t start, std::size_t end);
    void convert(packet& p, std::size_t start);
    void show_status(const packet& p, double internal_temp);
    void advance_sync(std::uint8_t byte);
    // Index just past the layout of the record at `start`, from its wavelength
    // count; 0 when fewer than a header's bytes lie between `start` and `limit`.
    std::size_t layout_end(std::size_t start, std::size_t limit) const;
    int sync_state_ = 0; // kept across feed calls, so a pattern split between reads is found
    // A pattern that overlapped the trailer of the record before it, held until
    // the bytes show whether the real one follows at that record's end.
    std::optional<std::size_t> deferred_sync_;
    std::size_t deferred_end_ = 0;
    std::string status_text_; // reused for every status text shown
    // The record being decoded. Its count lists are the ones the packet before
    // the newest gave up, so decoding a record allocates none for them.
    packet scratch_;
};

} // namespace vantrel
