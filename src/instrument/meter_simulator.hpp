#pragma once

#include "dataset/ixo_data.hpp"
#include "instrument/devfile.hpp"

#include <cstdint>
#include <optional>
#include <random>
#include <vector>

namespace vantrel {

// How a simulated meter behaves.
struct simulator_settings {
    // Spectra per second; the model's own when absent (Ixo 4, Eqa 6). An Eqa
    // record carries ten spectra, so its records come at a tenth of this rate.
    std::optional<double> rate;
    std::uint32_t seed = 1;
    // The serial number sent in every record; the device file's when absent.
    std::optional<std::int64_t> serial_number;
    // Share of records (0 to 1) sent with one data byte flipped, so that
    // their checksums fail.
    double corrupt_fraction = 0.0;
};

// One spectrum as the simulator meant it: what a perfect decode of the
// record gives, before the counts were rounded to what the meter can send.
struct simulated_spectrum {
    // a and c in the device file's wavelength order (Eqa: ascending), time in
    // ms since the first spectrum this simulator made.
    ixo_data values;
    // The time field as sent: Ixo the time stamp in ms, Eqa the group time in
    // 10 ms steps (a 16-bit counter that wraps).
    std::uint32_t meter_time = 0;
    double internal_temp = 0.0; // degrees C, as the decoder computes it from the counts sent
    double external_temp = 0.0; // degrees C; NaN for the Eqa meter, which has no such sensor
};

// One meter record: its bytes and the spectra it carries (Ixo one, Eqa ten).
struct simulated_record {
    std::vector<std::uint8_t> bytes;
    std::vector<simulated_spectrum> spectra;
    bool corrupted = false;
};

// A stand-in for an Ixo or Eqa meter: from a device file it makes the byte
// stream that meter would send, with smooth, slowly drifting spectra, so that
// the readers, captures and the serial path can be exercised without one.
// The same device file, settings and seed give the same bytes on every
// platform.
class meter_simulator {
public:
    // Fails with a text error when the settings or the device file cannot be
    // turned into records of its model.
    explicit meter_simulator(const devfile& device, const simulator_settings& settings = {});

    devfile::meter_model model() const { return device_.model; }
    double rate() const { return rate_; }
    // Seconds from one record to the next.
    double record_interval() const;
    std::uint32_t serial_number() const { return serial_; }

    simulated_record next_record();

    // The head of the record that would come next. The readers convert a
    // record only once bytes after it have arrived, so a capture or stream
    // that should decode to every record made ends with these bytes.
    std::vector<std::uint8_t> closing_bytes() const;

    // Whether a serial number can be carried by a record of the model
    // (Ixo: 24 bits; Eqa: six packed decimal digits).
    static bool serial_fits(devfile::meter_model model, std::int64_t serial);

private:
    // Everything that changes from record to record, kept apart so that the
    // next record can be made on a copy.
    struct state {
        std::mt19937 spectra_rng;
        std::mt19937 corrupt_rng;
        std::uint64_t spectrum_index = 0;
        std::uint32_t time_origin = 0;
        double dissolved = 0.3;  // absorption of dissolved matter at 400 nm
        double pigment = 0.1;    // absorption peak of the pigments at 440 nm
        double scattering = 0.3; // scattering at 550 nm
        double housing = 0.5;    // internal temperature, as a fraction of the bin range
        double water_temp = 12.0;
    };

    simulated_record make_record(state& s) const;
    void make_ixo(state& s, simulated_record& r) const;
    void make_eqa(state& s, simulated_record& r) const;
    void drift(state& s) const;
    ixo_data spectrum(const state& s, const std::vector<double>& a_wl, const std::vector<double>& c_wl) const;
    double housing_target(const state& s) const;
    std::uint32_t meter_time(const state& s, std::uint64_t index) const;
    double elapsed_ms(std::uint64_t index) const;

    devfile device_;
    double rate_ = 4.0;
    std::uint32_t serial_ = 0;
    double corrupt_fraction_ = 0.0;
    double bin_low_ = 0.0;
    double bin_high_ = 0.0;
    // Eqa: for each of the 18 channels of a record, the sorted index of its wavelength.
    std::vector<std::size_t> channel_slot_;
    state state_;
};

} // namespace vantrel
