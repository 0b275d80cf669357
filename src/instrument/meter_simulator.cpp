#include "instrument/meter_simulator.hpp"

#include "instrument/meter_conversions.hpp"

#include "common/error.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>
#include <string>

namespace vantrel {

namespace {

constexpr double ixo_default_rate = 4.0;
constexpr double eqa_default_rate = 6.0;
constexpr double highest_rate = 1000.0; // the Ixo time stamp counts milliseconds

constexpr std::size_t ixo_header = 32;
constexpr std::size_t eqa_channels = 18;
constexpr std::size_t eqa_wavelengths = 9;
constexpr std::size_t eqa_groups = 10;
constexpr std::size_t eqa_checksum_at = 634;
constexpr std::size_t eqa_record_size = 637;
constexpr std::size_t eqa_closing_size = 634; // enough for a reader that waits for a full layout's worth

// Counts are kept inside these bounds: far enough from zero that rounding
// them costs little precision, and away from the 16-bit ends. For the Ixo
// meter the bounds also keep every high byte of a count off 00 and FF, so no
// false FF 00 FF 00 sync pattern can form among the counts.
constexpr double lowest_count = 300.0;
constexpr double highest_count = 65000.0;

// Inclusive count ranges over which the readers' temperature formulas are
// monotonic, so that they can be inverted by bisection.
constexpr std::uint32_t ixo_internal_lowest = 2819;  // below: the thermistor resistance is clamped
constexpr std::uint32_t ixo_internal_highest = 59191; // above: the divider formula breaks down
constexpr std::uint32_t eqa_internal_lowest = 200;

constexpr std::array<std::uint8_t, 4> ixo_sync = {0xFF, 0x00, 0xFF, 0x00};
constexpr std::array<std::uint8_t, 4> eqa_sync = {0x00, 0xFF, 0x00, 0xFF};

// The standard distributions give different numbers on different standard
// libraries; these two give the same everywhere for the same engine output.
double uniform01(std::mt19937& g)
{
    const auto high = static_cast<std::uint32_t>(g() >> 5); // 27 bits
    const auto low = static_cast<std::uint32_t>(g() >> 6);   // 26 bits
    return (high * 67108864.0 + low) / 9007199254740992.0;
}

double standard_normal(std::mt19937& g)
{
    // Box-Muller; 1 - u keeps the logarithm's argument above zero.
    const double u1 = 1.0 - uniform01(g);
    const double u2 = uniform01(g);
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
}

// The count in [lo, hi] whose temperature lies nearest the target, for a
// formula that is monotonic over that range.
template <class Formula>
std::uint32_t nearest_count(Formula f, std::uint32_t lo, std::uint32_t hi, double target)
{
    const bool rising = f(hi) > f(lo);
    const auto reached = [&](std::uint32_t x) { return rising ? f(x) >= target : f(x) <= target; };
    std::uint32_t first = lo;
    std::uint32_t last = hi;
    while (first < last) {
        const std::uint32_t mid = first + (last - first) / 2;
        if (reached(mid))
            last = mid;
        else
            first = mid + 1;
    }
    if (first > lo && std::abs(f(first - 1) - target) < std::abs(f(first) - target))
        return first - 1;
    return first;
}

// The reference level of a channel: smooth in wavelength, different for a and c.
double reference_level(double wavelength, bool a_channel)
{
    return 28000.0 + 9000.0 * std::sin(wavelength / 37.0 + (a_channel ? 1.3 : 0.0));
}

// The ratio signal/reference a value needs, brought inside what counts
// between the bounds can express, with the reference to send it by.
struct count_pair {
    double reference;
    double ratio;
};

count_pair fit_counts(double ratio, double reference)
{
    constexpr double lowest_ratio = lowest_count / highest_count;
    constexpr double highest_ratio = highest_count / lowest_count;
    if (!(ratio >= lowest_ratio)) // NaN included
        ratio = lowest_ratio;
    ratio = std::min(ratio, highest_ratio);
    if (ratio * reference > highest_count)
        reference = highest_count / ratio;
    if (ratio * reference < lowest_count)
        reference = lowest_count / ratio;
    return {reference, ratio};
}

void put_be16(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v)
{
    b[at] = static_cast<std::uint8_t>(v >> 8);
    b[at + 1] = static_cast<std::uint8_t>(v);
}

void put_le16(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v)
{
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

// An Eqa count: whole counts little-endian, then a byte of 1/256 counts.
void put_eqa_count(std::vector<std::uint8_t>& b, std::size_t at, double v)
{
    const double whole = std::floor(v);
    put_le16(b, at, static_cast<std::uint32_t>(whole));
    b[at + 2] = static_cast<std::uint8_t>(std::floor((v - whole) * 256.0));
}

std::uint32_t low16_sum(const std::vector<std::uint8_t>& b, std::size_t end)
{
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < end; ++i)
        sum += b[i];
    return sum & 0xFFFFU;
}

// Whether an Ixo record, followed by the next record's sync pattern, holds
// FF 00 FF 00 anywhere but at its start: the reader would cut it there.
bool has_false_sync(const std::vector<std::uint8_t>& r)
{
    const auto at = [&](std::size_t i) { return i < r.size() ? r[i] : ixo_sync[i - r.size()]; };
    for (std::size_t i = 1; i < r.size(); ++i)
        if (at(i) == 0xFF && at(i + 1) == 0x00 && at(i + 2) == 0xFF && at(i + 3) == 0x00)
            return true;
    return false;
}

double plausible_wavelength(double wl)
{
    return std::isfinite(wl) ? std::clamp(wl, 380.0, 800.0) : 550.0;
}

std::string model_word(devfile::meter_model model)
{
    return model == devfile::meter_model::ixo ? "ixo" : "eqa";
}

} // namespace

bool meter_simulator::serial_fits(devfile::meter_model model, std::int64_t serial)
{
    return serial >= 0 && serial <= (model == devfile::meter_model::ixo ? 0xFFFFFF : 999999);
}

meter_simulator::meter_simulator(const devfile& device, const simulator_settings& settings) : device_(device)
{
    const bool ixo = device_.model == devfile::meter_model::ixo;
    rate_ = settings.rate.value_or(ixo ? ixo_default_rate : eqa_default_rate);
    if (!(rate_ > 0.0 && rate_ <= highest_rate))
        throw error("The record rate must lie above 0 and at most 1000 per second.");
    corrupt_fraction_ = settings.corrupt_fraction;
    if (!(corrupt_fraction_ >= 0.0 && corrupt_fraction_ <= 1.0))
        throw error("The share of corrupted records must lie between 0 and 1.");

    const std::int64_t serial = settings.serial_number.value_or(device_.serial_number);
    if (!serial_fits(device_.model, serial))
        throw error("Serial number " + std::to_string(serial) + " cannot be sent in an " + model_word(device_.model) +
                    " record.");
    serial_ = static_cast<std::uint32_t>(serial);

    const std::size_t bins = device_.num_tempbins;
    if (device_.temp_bins.empty() || bins < device_.temp_bins.size())
        throw error("The device file has no temperature bins to simulate in.");
    const auto [low, high] = std::minmax_element(device_.temp_bins.begin(), device_.temp_bins.end());
    bin_low_ = *low;
    bin_high_ = *high;

    if (ixo) {
        const std::size_t n = device_.a_wavelengths.size();
        if (n > 255 || device_.c_wavelengths.size() != n || device_.a_offsets.size() != n ||
            device_.c_offsets.size() != n || device_.temp_adjustments_a.size() < n * bins ||
            device_.temp_adjustments_c.size() < n * bins)
            throw error("The device file's wavelength lists do not fit an ixo record.");
    } else {
        const auto is_permutation = [](const std::vector<std::int32_t>& order) {
            std::vector<bool> seen(eqa_wavelengths, false);
            for (const std::int32_t i : order) {
                if (i < 0 || i >= static_cast<std::int32_t>(eqa_wavelengths) || seen[static_cast<std::size_t>(i)])
                    return false;
                seen[static_cast<std::size_t>(i)] = true;
            }
            return order.size() == eqa_wavelengths;
        };
        const auto a_lines = std::count(device_.channel_is_a.begin(), device_.channel_is_a.end(), true);
        if (device_.channel_is_a.size() != eqa_channels || a_lines != static_cast<long>(eqa_wavelengths) ||
            !is_permutation(device_.a_order) || !is_permutation(device_.c_order) ||
            device_.a_wavelengths.size() != eqa_wavelengths || device_.c_wavelengths.size() != eqa_wavelengths ||
            device_.a_offsets.size() != eqa_wavelengths || device_.c_offsets.size() != eqa_wavelengths ||
            device_.temp_adjustments_a.size() < eqa_wavelengths * bins ||
            device_.temp_adjustments_c.size() < eqa_wavelengths * bins)
            throw error("The device file does not describe the nine a and nine c channels of an eqa meter.");
        if (!(device_.path_length > 0.0 && std::isfinite(device_.path_length)))
            throw error("The device file's path length must be above 0 to simulate an eqa meter.");

        // The record carries the channels in device-file line order; the
        // spectra are in ascending wavelength, which the order lists map to.
        std::size_t a_line = 0;
        std::size_t c_line = 0;
        for (std::size_t k = 0; k < eqa_channels; ++k) {
            const bool a = device_.channel_is_a[k];
            const auto& order = a ? device_.a_order : device_.c_order;
            const auto line = static_cast<std::int32_t>(a ? a_line++ : c_line++);
            channel_slot_.push_back(
                static_cast<std::size_t>(std::find(order.begin(), order.end(), line) - order.begin()));
        }
    }

    state_.spectra_rng.seed(settings.seed);
    state_.corrupt_rng.seed(settings.seed ^ 0x9E3779B9U);
    state_.time_origin = static_cast<std::uint32_t>(ixo ? state_.spectra_rng() >> 2 : state_.spectra_rng() % 1000U);
}

double meter_simulator::record_interval() const
{
    return (device_.model == devfile::meter_model::ixo ? 1.0 : static_cast<double>(eqa_groups)) / rate_;
}

simulated_record meter_simulator::next_record()
{
    return make_record(state_);
}

std::vector<std::uint8_t> meter_simulator::closing_bytes() const
{
    state ahead = state_;
    std::vector<std::uint8_t> bytes = make_record(ahead).bytes;
    bytes.resize(device_.model == devfile::meter_model::ixo ? ixo_sync.size() : eqa_closing_size);
    return bytes;
}

simulated_record meter_simulator::make_record(state& s) const
{
    simulated_record r;
    // Drawn for every record, so that the share of corrupted records does
    // not change which ones are chosen.
    r.corrupted = uniform01(s.corrupt_rng) < corrupt_fraction_;
    if (device_.model == devfile::meter_model::ixo)
        make_ixo(s, r);
    else
        make_eqa(s, r);
    return r;
}

void meter_simulator::drift(state& s) const
{
    // Each quantity wanders about its mean with a memory of two minutes.
    const double dt = 1.0 / rate_;
    const double pull = std::min(1.0, dt / 120.0);
    const double step = std::sqrt(dt);
    const auto walk = [&](double& x, double mean, double sigma, double lo, double hi) {
        x += (mean - x) * pull + sigma * step * standard_normal(s.spectra_rng);
        x = std::clamp(x, lo, hi);
    };
    walk(s.dissolved, 0.3, 0.01, 0.05, 0.4);
    walk(s.pigment, 0.1, 0.005, 0.0, 0.2);
    walk(s.scattering, 0.3, 0.01, 0.1, 0.45);
    walk(s.housing, 0.5, 0.005, 0.25, 0.75);
    walk(s.water_temp, 12.0, 0.02, 2.0, 28.0);
}

ixo_data meter_simulator::spectrum(const state& s, const std::vector<double>& a_wl,
                                   const std::vector<double>& c_wl) const
{
    // Dissolved matter falling off exponentially, pigment peaks at 440 and
    // 676 nm, and scattering falling off as 1/wavelength on top for c.
    const auto absorption = [&](double wl) {
        const double x = plausible_wavelength(wl);
        const double blue = (x - 440.0) / 35.0;
        const double red = (x - 676.0) / 15.0;
        return 0.05 + s.dissolved * std::exp(-0.012 * (x - 400.0)) +
               s.pigment * (std::exp(-blue * blue) + 0.6 * std::exp(-red * red));
    };
    const auto scatter = [&](double wl) { return s.scattering * 550.0 / plausible_wavelength(wl); };

    ixo_data d;
    for (const double wl : a_wl)
        d.a.push_back(absorption(wl));
    for (std::size_t j = 0; j < c_wl.size(); ++j) {
        double c = absorption(c_wl[j]) + scatter(c_wl[j]);
        // a and c wavelengths of one index may differ by a few nm; c stays above a.
        if (j < d.a.size())
            c = std::max(c, d.a[j] + 0.05);
        d.c.push_back(c);
    }
    return d;
}

double meter_simulator::housing_target(const state& s) const
{
    return bin_low_ + s.housing * (bin_high_ - bin_low_);
}

std::uint32_t meter_simulator::meter_time(const state& s, std::uint64_t index) const
{
    if (device_.model == devfile::meter_model::ixo)
        return s.time_origin + static_cast<std::uint32_t>(std::llround(static_cast<double>(index) * 1000.0 / rate_));
    return (s.time_origin + static_cast<std::uint32_t>(std::llround(static_cast<double>(index) * 100.0 / rate_))) & 0xFFFFU;
}

double meter_simulator::elapsed_ms(std::uint64_t index) const
{
    if (device_.model == devfile::meter_model::ixo)
        return static_cast<double>(std::llround(static_cast<double>(index) * 1000.0 / rate_));
    return 10.0 * static_cast<double>(std::llround(static_cast<double>(index) * 100.0 / rate_));
}

void meter_simulator::make_ixo(state& s, simulated_record& r) const
{
    const devfile& d = device_;
    const std::size_t n = d.a_wavelengths.size();
    drift(s);

    simulated_spectrum meant;
    const std::uint32_t internal =
        nearest_count(ixo_internal_temperature, ixo_internal_lowest, ixo_internal_highest, housing_target(s));
    const std::uint32_t external = nearest_count(ixo_external_temperature, 0, 0xFFFF, s.water_temp);
    meant.internal_temp = ixo_internal_temperature(internal);
    meant.external_temp = ixo_external_temperature(external);
    meant.meter_time = meter_time(s, s.spectrum_index);
    meant.values = spectrum(s, d.a_wavelengths, d.c_wavelengths);
    meant.values.time = elapsed_ms(s.spectrum_index);
    ++s.spectrum_index;

    std::vector<std::uint8_t>& b = r.bytes;
    b.assign(ixo_header + 8 * n + 3, 0);
    std::copy(ixo_sync.begin(), ixo_sync.end(), b.begin());
    put_be16(b, 4, static_cast<std::uint32_t>(ixo_header + 8 * n));
    b[6] = 0x05;
    b[8] = 0x01;
    b[9] = static_cast<std::uint8_t>(serial_ >> 16);
    put_be16(b, 10, serial_);
    put_be16(b, 14, 0x0400); // pressure counts: the readers derive nothing from them
    put_be16(b, 18, external);
    put_be16(b, 20, internal);
    put_be16(b, 26, meant.meter_time >> 16);
    put_be16(b, 28, meant.meter_time);
    b[30] = 0x01;
    b[31] = static_cast<std::uint8_t>(n);

    // value = offset - 4 ln(signal / reference) + compensation, solved for the ratio.
    const auto channel = [&](bool a, std::size_t j, std::size_t at, double& value) {
        const double wl = a ? d.a_wavelengths[j] : d.c_wavelengths[j];
        const double base = (a ? d.a_offsets[j] : d.c_offsets[j]) + d.temp_adjustment(a, j, meant.internal_temp);
        const count_pair fit = fit_counts(std::exp((base - value) / 4.0), reference_level(wl, a));
        const double reference = std::round(fit.reference);
        put_be16(b, at, static_cast<std::uint32_t>(reference));
        put_be16(b, at + 4, static_cast<std::uint32_t>(std::round(fit.ratio * reference)));
        value = base - 4.0 * std::log(fit.ratio);
    };
    for (std::size_t j = 0; j < n; ++j) {
        channel(false, j, ixo_header + 8 * j, meant.values.c[j]);
        channel(true, j, ixo_header + 8 * j + 2, meant.values.a[j]);
    }

    // The checksum or a time stamp can still spell FF 00 FF 00; a word the
    // readers do not use is changed until nothing does.
    const std::size_t checksum_at = ixo_header + 8 * n;
    for (std::uint32_t spare = 0;; ++spare) {
        if (spare > 0xFFFF)
            throw error("No ixo record free of false sync patterns could be made.");
        put_be16(b, 22, spare);
        put_be16(b, checksum_at, low16_sum(b, checksum_at));
        if (!has_false_sync(b))
            break;
    }

    if (r.corrupted) {
        // One flipped bit in the counts (or, with no counts, in an unused
        // header byte); the checksum stays that of the record as it was.
        for (;;) {
            const std::size_t at = n > 0 ? ixo_header + s.corrupt_rng() % (8 * n) : 8;
            const auto mask = static_cast<std::uint8_t>(1U << (s.corrupt_rng() % 8));
            b[at] ^= mask;
            if (!has_false_sync(b))
                break;
            b[at] ^= mask;
        }
    }
    r.spectra.push_back(std::move(meant));
}

void meter_simulator::make_eqa(state& s, simulated_record& r) const
{
    const devfile& d = device_;
    const double path = d.path_length;

    std::vector<simulated_spectrum>& groups = r.spectra;
    groups.resize(eqa_groups);
    for (simulated_spectrum& g : groups) {
        drift(s);
        g.meter_time = meter_time(s, s.spectrum_index);
        g.values = spectrum(s, d.a_wavelengths, d.c_wavelengths);
        g.values.time = elapsed_ms(s.spectrum_index);
        ++s.spectrum_index;
    }
    // One housing temperature per record, taken as its last group is measured.
    const std::uint32_t internal = nearest_count(eqa_internal_temperature, eqa_internal_lowest, 0xFFFF, housing_target(s));
    const double temperature = eqa_internal_temperature(internal);

    std::vector<std::uint8_t>& b = r.bytes;
    b.assign(eqa_record_size, 0);
    std::copy(eqa_sync.begin(), eqa_sync.end(), b.begin());
    put_le16(b, 4, eqa_checksum_at);
    std::uint32_t digits = serial_;
    for (std::size_t k = 6; k < 9; ++k) {
        b[k] = static_cast<std::uint8_t>((digits % 10) | ((digits / 10 % 10) << 4));
        digits /= 100;
    }
    b[9] = 0x09; // meter type: anything but the Ixo's 0x35
    put_le16(b, 14, 0x0400);

    for (std::size_t g = 0; g < eqa_groups; ++g) {
        put_le16(b, 18 + 56 * g, groups[g].meter_time);
        groups[g].internal_temp = temperature;
        groups[g].external_temp = std::numeric_limits<double>::quiet_NaN();
    }

    // value = offset - ln(signal / reference) / path length + compensation,
    // solved for the ratio; one reference serves all ten groups.
    for (std::size_t k = 0; k < eqa_channels; ++k) {
        const bool a = d.channel_is_a[k];
        const std::size_t i = channel_slot_[k];
        const double base = (a ? d.a_offsets[i] : d.c_offsets[i]) + d.temp_adjustment(a, i, temperature);
        const auto value = [&](std::size_t g) -> double& { return a ? groups[g].values.a[i] : groups[g].values.c[i]; };

        std::array<double, eqa_groups> ratios{};
        double highest = 0.0;
        for (std::size_t g = 0; g < eqa_groups; ++g) {
            ratios[g] = fit_counts(std::exp((base - value(g)) * path), 1.0).ratio;
            highest = std::max(highest, ratios[g]);
        }
        const double wl = a ? d.a_wavelengths[i] : d.c_wavelengths[i];
        const double reference = fit_counts(highest, reference_level(wl, a)).reference;
        put_eqa_count(b, 578 + 3 * k, reference);
        for (std::size_t g = 0; g < eqa_groups; ++g) {
            // Groups far below the brightest one may need lifting off the floor.
            const double ratio = std::max(ratios[g], lowest_count / reference);
            put_eqa_count(b, 20 + 56 * g + 3 * k, ratio * reference);
            value(g) = base - std::log(ratio) / path;
        }
    }
    put_le16(b, 632, internal);
    put_le16(b, eqa_checksum_at, low16_sum(b, eqa_checksum_at));

    if (r.corrupted) {
        // One flipped bit in a signal or reference count; the checksum stays.
        const std::size_t field = s.corrupt_rng() % (eqa_groups * eqa_channels + eqa_channels);
        const std::size_t byte = s.corrupt_rng() % 3;
        const std::size_t at = field < eqa_groups * eqa_channels
                                   ? 20 + 56 * (field / eqa_channels) + 3 * (field % eqa_channels) + byte
                                   : 578 + 3 * (field - eqa_groups * eqa_channels) + byte;
        b[at] ^= static_cast<std::uint8_t>(1U << (s.corrupt_rng() % 8));
    }
}

} // namespace vantrel
