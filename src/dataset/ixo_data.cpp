#include "dataset/ixo_data.hpp"

#include "common/error.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vantrel {

IXO_Data::IXO_Data() : log(std::make_unique<diagnostic_sink>())
{
    fill_builtin_table(coef_table);
}

IXO_Data::~IXO_Data() = default;

void IXO_Data::set_log(std::unique_ptr<diagnostic_sink> sink)
{
    log = sink ? std::move(sink) : std::make_unique<diagnostic_sink>();
}

ixo_data mean_spectrum(const std::deque<ixo_data>& records)
{
    ixo_data mean;
    if (records.empty())
        return mean;
    mean.time = records.front().time;
    const std::size_t n = std::min(records.front().a.size(), records.front().c.size());
    mean.a.assign(n, 0.0);
    mean.c.assign(n, 0.0);
    for (const ixo_data& r : records) {
        for (std::size_t i = 0; i < n; ++i) {
            mean.a[i] += i < r.a.size() ? r.a[i] : std::numeric_limits<double>::quiet_NaN();
            mean.c[i] += i < r.c.size() ? r.c[i] : std::numeric_limits<double>::quiet_NaN();
        }
    }
    const auto count = static_cast<double>(records.size());
    for (std::size_t i = 0; i < n; ++i) {
        mean.a[i] /= count;
        mean.c[i] /= count;
    }
    return mean;
}

double IXO_Data::set_scat_ref(double wl)
{
    scat_ref_a_index = no_scat_ref;
    scat_ref_c_index = no_scat_ref;
    if (a_wavelengths.empty())
        throw error("set_scat_ref called before wavelengths are defined.");

    double best_a = 99999.0;
    double best_c = 99999.0;
    // One index serves both lists: a data set has as many c as a channels.
    const std::size_t count = std::min(a_wavelengths.size(), c_wavelengths.size());
    for (std::size_t i = 0; i < count; ++i) {
        const double da = std::fabs(a_wavelengths[i] - wl);
        if (da < best_a) {
            best_a = da;
            scat_ref_a_index = static_cast<std::int32_t>(i);
        }
        const double dc = std::fabs(c_wavelengths[i] - wl);
        if (dc < best_c) {
            best_c = dc;
            scat_ref_c_index = static_cast<std::int32_t>(i);
        }
    }
    if (scat_ref_a_index == no_scat_ref || scat_ref_c_index == no_scat_ref) {
        // No channel within reach (a NaN wavelength, or no c list): leave none chosen.
        scat_ref_a_index = no_scat_ref;
        scat_ref_c_index = no_scat_ref;
        throw error("set_scat_ref called before wavelengths are defined.");
    }
    scat_ref_a_wl = a_wavelengths[static_cast<std::size_t>(scat_ref_a_index)];
    scat_ref_c_wl = c_wavelengths[static_cast<std::size_t>(scat_ref_c_index)];
    return scat_ref_a_wl;
}

} // namespace vantrel
