#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <vector>

namespace vantrel {

// The fields of one decoded instrument record, as the meter sent them.
struct packet {
    std::array<std::uint8_t, 4> sync_bytes{};
    std::uint32_t record_length = 0;
    std::uint8_t packet_type = 0;
    std::uint32_t reserved = 0;
    std::uint8_t aux_byte_8 = 0;
    std::uint32_t serial_number = 0;
    std::uint32_t aux_word_12 = 0;
    std::uint32_t pressure_counts = 0;
    std::uint32_t aux_word_16 = 0;
    std::uint32_t ext_temp_counts = 0;
    std::uint32_t int_temp_counts = 0;
    std::uint32_t aux_word_22 = 0;
    std::uint32_t aux_word_24 = 0;
    std::uint32_t time_stamp = 0;
    std::uint32_t aux_byte_30 = 0;
    std::uint32_t num_wavelengths = 0;
    std::vector<double> c_reference;
    std::vector<double> a_reference;
    std::vector<double> c_signal;
    std::vector<double> a_signal;
    std::uint32_t checksum = 0;
    std::uint8_t pad_byte = 0;
    std::uint32_t status = 0;
    std::uint32_t filter_wheel = 0;
    // The Eqa meter has no external sensor: NaN unless the Ixo decoder sets it.
    double ext_temperature = std::numeric_limits<double>::quiet_NaN();
    std::array<std::int32_t, 10> group_times{};
    std::vector<std::int32_t> signals;    // Eqa: 10 groups x 18 channels
    std::vector<std::int32_t> references; // Eqa: 18 channels
};

} // namespace vantrel
