#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

// The meters' conversions of temperature counts, shared by the readers and
// by the simulator, which must send counts that decode to what it meant.
namespace vantrel {

// The Ixo's thermistor inside the housing, in degrees C.
inline double ixo_internal_temperature(std::uint32_t counts)
{
    const double volts = counts * 5.0 / 65535;
    double resistance = volts * 10000 / (4.516 - volts);
    // Covers a zero count and the divider's far end, where the formula breaks down.
    if (!(resistance > 500.0))
        resistance = 500.0;
    const double l = std::log(resistance);
    return 1 / (0.00093135 + 0.000221631 * l + 1.25741e-07 * l * l * l) - 273.15;
}

// The Ixo's external sensor, in degrees C.
inline double ixo_external_temperature(std::uint32_t counts)
{
    const double t = counts;
    return -7.1023317e-13 * t * t * t + 7.0934192e-08 * t * t - 0.00387065673 * t + 95.8241397;
}

// The Eqa's housing temperature, in degrees C.
inline double eqa_internal_temperature(std::uint32_t counts)
{
    // The curve rises without bound towards a count of 0, where the formula
    // itself gives no number (and a record of NaN values): that count takes
    // the curve's limit, above every temperature bin.
    if (counts == 0)
        return std::numeric_limits<double>::infinity();
    const double x = counts;
    return 0.045113 * x + 10.61831 - 4891.32 / x + 208130.2 / (x * x) + 1171473 / (x * x * x);
}

// printf's %0<width>u.
inline std::string zero_padded(std::uint32_t v, std::size_t width)
{
    std::string digits = std::to_string(v);
    if (digits.size() < width)
        digits.insert(0, width - digits.size(), '0');
    return digits;
}

} // namespace vantrel
