#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vantrel {

// A meter's calibration, parsed from its device file (.dev). Every line
// read is kept in header_lines so that a new device file can be written
// from it.
class devfile {
public:
    enum class meter_model { ixo, eqa };

    // Parses the file; fails with the device file's messages. The object is
    // changed only when the whole file was read, so a failed load leaves the
    // previous calibration in place.
    void load(const std::string& path);

    // Temperature compensation (1/m) of the a channel (`a_channel` true) or
    // the c channel at wavelength index `w` of that channel's list, at the
    // meter's internal temperature `t` (degrees C). An index past the list
    // raises std::out_of_range.
    double temp_adjustment(bool a_channel, std::size_t w, double t) const;

    // Where a temperature falls among the bins: found once per record, then
    // used for every channel of it.
    struct bin_position {
        enum { exact, between, not_a_number } kind = exact;
        std::size_t low = 0;
        double fraction = 0.0; // (t - low bin) / (high bin - low bin)
    };
    bin_position locate_bin(double t) const;
    double temp_adjustment(bool a_channel, std::size_t w, const bin_position& at) const;

    std::int32_t serial_number = 0;
    std::int32_t header_integer = 0;
    float fac_cal_temp = 0.0F;
    bool fac_cal_temp_missing = false;
    std::array<float, 2> header_pair{};
    std::int32_t baud_rate = 0;
    double path_length = 0.0;
    std::string meter_name;
    std::string devfile_path;
    meter_model model = meter_model::ixo;
    std::uint32_t num_tempbins = 0;
    std::vector<double> temp_bins;
    std::vector<double> c_wavelengths;
    std::vector<double> a_wavelengths;
    std::vector<double> c_offsets;
    std::vector<double> a_offsets;
    std::vector<double> temp_adjustments_c; // wavelength-major: w * num_tempbins + bin
    std::vector<double> temp_adjustments_a;
    std::vector<bool> channel_is_a;      // Eqa: per channel line, in file order
    std::vector<std::int32_t> a_order;   // Eqa: a-line number of the k-th shortest a wavelength
    std::vector<std::int32_t> c_order;   // Eqa: the same for the c lines
    std::vector<std::string> header_lines;
};

} // namespace vantrel
