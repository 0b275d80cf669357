// The device file loader, and the readers and simulator that rely on what it
// loads: a device file the loader accepts must be usable by them.

#include "fuzz_support.hpp"
#include "instrument/devfile.hpp"
#include "instrument/eqa_reader.hpp"
#include "instrument/ixo_reader.hpp"
#include "instrument/meter_simulator.hpp"

#include <algorithm>
#include <limits>
#include <memory>

using namespace vantrel;
using vantrel::fuzz::require;

namespace {

bool is_permutation_of_indices(const std::vector<std::int32_t>& order, std::size_t n)
{
    if (order.size() != n)
        return false;
    std::vector<bool> seen(n, false);
    for (const std::int32_t i : order) {
        if (i < 0 || static_cast<std::size_t>(i) >= n || seen[static_cast<std::size_t>(i)])
            return false;
        seen[static_cast<std::size_t>(i)] = true;
    }
    return true;
}

void check_layout(const devfile& d)
{
    const std::size_t n = d.a_wavelengths.size();
    require(n > 0, "a device has wavelengths");
    require(d.c_wavelengths.size() == n, "as many c as a wavelengths");
    require(d.a_offsets.size() == n && d.c_offsets.size() == n, "an offset per wavelength");
    require(d.num_tempbins > 0 && d.temp_bins.size() == d.num_tempbins, "the bins the file announces");
    require(d.temp_adjustments_a.size() == n * d.num_tempbins, "an a compensation row per wavelength");
    require(d.temp_adjustments_c.size() == n * d.num_tempbins, "a c compensation row per wavelength");
    if (d.model == devfile::meter_model::eqa) {
        require(n == 9, "an Eqa device has nine wavelengths");
        require(d.channel_is_a.size() == 18, "an Eqa device has 18 channel lines");
        require(std::count(d.channel_is_a.begin(), d.channel_is_a.end(), true) == 9, "nine of them a lines");
        require(is_permutation_of_indices(d.a_order, 9) && is_permutation_of_indices(d.c_order, 9),
                "the channel orders are permutations");
        require(std::is_sorted(d.a_wavelengths.begin(), d.a_wavelengths.end()), "a wavelengths ascend");
        require(std::is_sorted(d.c_wavelengths.begin(), d.c_wavelengths.end()), "c wavelengths ascend");
    }
}

void check_compensation(const devfile& d)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const double temps[] = {d.temp_bins.front(),
                            d.temp_bins.back(),
                            0.5 * (d.temp_bins.front() + d.temp_bins.back()),
                            -40.0,
                            20.0,
                            80.0,
                            nan,
                            inf,
                            -inf};
    for (const double t : temps)
        for (std::size_t w = 0; w < d.a_wavelengths.size(); ++w) {
            // Throws std::out_of_range (a finding) if a row is missing.
            (void)d.temp_adjustment(true, w, t);
            (void)d.temp_adjustment(false, w, t);
        }
}

// A few simulated records through the model's reader: every converted record
// carries the device's wavelength count.
void decode_simulated(const devfile& d)
{
    std::unique_ptr<meter_simulator> sim;
    if (!fuzz::accepted([&] { sim = std::make_unique<meter_simulator>(d); }))
        return;
    std::unique_ptr<parent_reader> reader;
    if (d.model == devfile::meter_model::ixo)
        reader = std::make_unique<ixo_reader>();
    else
        reader = std::make_unique<eqa_reader>();
    *reader->device = d;
    for (int i = 0; i < 3; ++i) {
        const simulated_record r = sim->next_record();
        fuzz::accepted([&] { reader->feed(r.bytes.data(), r.bytes.size()); });
    }
    const auto tail = sim->closing_bytes();
    fuzz::accepted([&] { reader->feed(tail.data(), tail.size()); });
    for (const ixo_data& rec : reader->records) {
        require(rec.a.size() == d.a_wavelengths.size(), "a decoded record has the device's a count");
        require(rec.c.size() == d.c_wavelengths.size(), "a decoded record has the device's c count");
    }
    require(reader->packets.size() == reader->records.size(), "a packet per decoded record");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::input_file file("devfile");
    const std::string& path = file.write(data, size);
    devfile d;
    if (!fuzz::accepted([&] { d.load(path); }))
        return 0;
    check_layout(d);
    check_compensation(d);
    // Long channel lists make slow simulations and teach nothing more.
    if (d.a_wavelengths.size() <= 255)
        decode_simulated(d);
    return 0;
}
