#include "corrections/coefficient_table.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <iterator>
#include <limits>

namespace vantrel {

namespace {
std::atomic<bool> table_present{false};

struct band {
    double amplitude, width, centre, temp_factor;
};

// The twelve absorption bands of the water temperature model.
constexpr std::array<band, 12> bands = {{
    {0.18, 18, 453, 0.0045},
    {0.17, 15, 485, 0.002},
    {0.52, 14, 517, 0.0045},
    {1.4, 20, 558, 0.002},
    {4.6, 17.5, 610, 0.0045},
    {2.1, 15, 638, -0.004},
    {4.3, 17, 661, 0.002},
    {9.6, 22, 697, -0.001},
    {1.6, 6, 740, 0.0045},
    {34, 18, 744, 0.0062},
    {18, 20, 775, -0.001},
    {42, 25, 795, -0.001},
}};

struct fixed_psi_t {
    int nm;
    double psi_t;
};

constexpr std::array<fixed_psi_t, 15> filter_psi_t = {{
    {412, 0.0001}, {440, 0.0},     {488, 0.0},     {510, 0.0002},  {520, 0.0001},  {532, 0.0001},
    {555, 0.0001}, {560, 0.0},     {650, -0.0001}, {676, -0.0001}, {715, 0.0029},  {750, 0.0107},
    {850, -0.0065}, {900, -0.0088}, {950, -0.2272},
}};
} // namespace

void fill_builtin_table(std::deque<tsc_data>& table)
{
    table.insert(table.end(), builtin_table_values.begin(), builtin_table_values.end());
    table_present.store(true);
}

bool ts_cor_present()
{
    return table_present.load();
}

tsc_data floor_row(const std::deque<tsc_data>& table, double wl)
{
    if (table.empty())
        return {};
    tsc_data chosen = table.front();
    for (const tsc_data& row : table) {
        if (row.wl <= wl)
            chosen = row;
    }
    return chosen;
}

double band_model_psi_t(double n)
{
    double sum = 0.0;
    for (const band& b : bands) {
        const double d = n - b.centre;
        sum += (b.amplitude / b.width) * b.temp_factor * std::exp(-(d * d) / (2.0 * b.width * b.width));
    }
    return sum;
}

double eqa_psi_t(int nominal_nm)
{
    for (const fixed_psi_t& f : filter_psi_t) {
        if (f.nm == nominal_nm)
            return f.psi_t;
    }
    return band_model_psi_t(nominal_nm);
}

} // namespace vantrel

// --- per-channel rows of a data set ---

#include "common/error.hpp"
#include "dataset/ixo_data.hpp"

namespace vantrel {

void IXO_Data::prepare_coefficients()
{
    a_coefs.clear();
    c_coefs.clear();
    for (const double wl : a_wavelengths)
        a_coefs.push_back(floor_row(coef_table, wl));
    for (const double wl : c_wavelengths)
        c_coefs.push_back(floor_row(coef_table, wl));
    if (model != model_eqa)
        return;

    // The nine-wavelength meter's filters get fixed temperature coefficients
    // (or the band model); the salinity coefficients stay the table's.
    const std::size_t channels = std::min<std::size_t>(9, std::min(a_coefs.size(), c_coefs.size()));
    for (std::size_t i = 0; i < channels; ++i) {
        const double wl = a_wavelengths[i];
        if (!std::isfinite(wl))
            continue;
        const double nominal = std::trunc(wl);
        if (a_coefs[i].wl != c_coefs[i].wl && a_coefs[i].wl != std::trunc(a_coefs[i].wl))
            throw error("grumble grumble");
        // A wavelength past the range of int (a damaged file) is no listed
        // filter; the band model takes it as it stands.
        const bool listable = nominal >= std::numeric_limits<int>::min() && nominal <= std::numeric_limits<int>::max();
        const double psi_t = listable ? eqa_psi_t(static_cast<int>(nominal)) : band_model_psi_t(nominal);
        a_coefs[i].psi_t_a = psi_t;
        c_coefs[i].psi_t_c = psi_t;
    }
}

} // namespace vantrel
