// Corrected copies of records: temperature, salinity, water blank and scattering.
//
// correct_one_line and corrected_series share the per-value arithmetic
// below, so a series gives for every record exactly the value the corrected
// record holds for that channel.

#include "common/error.hpp"
#include "dataset/ixo_data.hpp"

#include <limits>

namespace vantrel {

namespace {

struct conditions {
    double temp = 0.0;
    double saln = 0.0;
};

enum class wording { record, series };

const ctd_struct& aux_row(const CTD_Data& table, std::size_t index)
{
    if (index >= table.rows.size())
        throw error("Record index out of range.");
    return table.rows[index];
}

// The temperature and salinity that the corrections of record `index` use.
// They are looked up whether or not their corrections are switched on.
conditions conditions_of(const IXO_Data& ds, std::size_t index, wording w)
{
    conditions c;
    switch (ds.temp_source) {
    case 1:
        c.temp = ds.const_temp;
        break;
    case 2:
        if (w == wording::record && !ds.ctd_merged)
            throw error("CTD data not merged");
        c.temp = aux_row(ds.aux_merged, index).temp;
        break;
    case 3:
        c.temp = aux_row(ds.aux_onboard, index).temp;
        break;
    default:
        throw error(w == wording::record ? "Temperature source not recognized"
                                         : "Temperature source unrecognized.");
    }
    switch (ds.saln_source) {
    case 1:
        c.saln = ds.const_saln;
        break;
    case 2:
        if (w == wording::record && !ds.ctd_merged)
            throw error("CTD data not merged");
        c.saln = aux_row(ds.aux_merged, index).saln;
        break;
    default:
        throw error(w == wording::record ? "Salinity source not recognized" : "Salinity source unrecognized.");
    }
    return c;
}

// The temperature, salinity and water amounts of one value. The blank is
// first brought to the factory calibration temperature.
double base_amount(const IXO_Data& ds, double psi_t, double psi_s, double blank, const conditions& at)
{
    double amount = 0.0;
    if (ds.apply_temp)
        amount += psi_t * (at.temp - ds.factory_cal_temp);
    if (ds.apply_saln)
        amount += psi_s * at.saln;
    if (ds.apply_water)
        amount += blank - psi_t * (ds.water_cal_temp - ds.factory_cal_temp);
    return amount;
}

bool uses_reference(std::int32_t method)
{
    return method == 1 || method == 2;
}

// The scattering error of one a value, from values already corrected for
// temperature, salinity and water (aT, cT) and those of the reference channels.
double scattering_amount(std::int32_t method, double a_t, double c_t, double a_ref, double c_ref)
{
    switch (method) {
    case 1:
        return a_ref;
    case 2: {
        // b = c - a, scaled to the reference b; a reference b of zero leaves
        // the correction undefined, which the record shows as NaN.
        const double b_ref = c_ref - a_ref;
        if (b_ref == 0.0)
            return std::numeric_limits<double>::quiet_NaN();
        return a_ref * ((c_t - a_t) / b_ref);
    }
    case 3:
        return 0.14 * (a_t - c_t);
    default:
        return 0.0;
    }
}

struct scattering_reference {
    double a = 0.0;
    double c = 0.0;
};

// Everything a correction needs that does not change from record to record.
class corrector {
public:
    corrector(const IXO_Data& ds, std::size_t channels) : ds_(ds)
    {
        if (ds.a_coefs.size() < channels || ds.c_coefs.size() < channels)
            throw error("Coefficients not prepared for these wavelengths.");
        if (ds.apply_water) {
            if (!ds.water_loaded)
                throw error("No water calibration loaded.");
            if (ds.water_mean.a.size() < channels || ds.water_mean.c.size() < channels)
                throw error("Water has differing number of wavelengths than data file!");
        }
        scattering_ = ds.apply_scat && ds.scat_method >= 1 && ds.scat_method <= 3;
        if (scattering_ && uses_reference(ds.scat_method)) {
            const auto a_ref = static_cast<std::size_t>(ds.scat_ref_a_index);
            const auto c_ref = static_cast<std::size_t>(ds.scat_ref_c_index);
            if (ds.scat_ref_a_index < 0 || ds.scat_ref_c_index < 0 || a_ref >= channels || c_ref >= channels)
                throw error("No scattering reference wavelength chosen.");
            a_ref_ = a_ref;
            c_ref_ = c_ref;
        }
    }

    double a_t(const ixo_data& rec, std::size_t i, const conditions& at) const
    {
        const tsc_data& k = ds_.a_coefs[i];
        const double blank = ds_.apply_water ? ds_.water_mean.a[i] : 0.0;
        return rec.a[i] - base_amount(ds_, k.psi_t_a, k.psi_s_a, blank, at);
    }

    double c_t(const ixo_data& rec, std::size_t i, const conditions& at) const
    {
        const tsc_data& k = ds_.c_coefs[i];
        const double blank = ds_.apply_water ? ds_.water_mean.c[i] : 0.0;
        return rec.c[i] - base_amount(ds_, k.psi_t_c, k.psi_s_c, blank, at);
    }

    // Corrected a of channel i, given its aT and cT.
    double a_final(const ixo_data& rec, double a_t_i, double c_t_i, const conditions& at) const
    {
        if (!scattering_)
            return a_t_i;
        double a_ref = 0.0;
        double c_ref = 0.0;
        if (uses_reference(ds_.scat_method)) {
            a_ref = a_t(rec, a_ref_, at);
            c_ref = c_t(rec, c_ref_, at);
        }
        return a_t_i - scattering_amount(ds_.scat_method, a_t_i, c_t_i, a_ref, c_ref);
    }

    // aT and cT of the reference channels of a record (zero when no
    // reference is used): the same for every channel of that record.
    scattering_reference reference_of(const ixo_data& rec, const conditions& at) const
    {
        if (!scattering_ || !uses_reference(ds_.scat_method))
            return {};
        return {a_t(rec, a_ref_, at), c_t(rec, c_ref_, at)};
    }

    // a_final with the record's reference values worked out once.
    double a_final(double a_t_i, double c_t_i, const scattering_reference& ref) const
    {
        if (!scattering_)
            return a_t_i;
        return a_t_i - scattering_amount(ds_.scat_method, a_t_i, c_t_i, ref.a, ref.c);
    }

    bool scattering() const { return scattering_; }

private:
    const IXO_Data& ds_;
    bool scattering_ = false;
    std::size_t a_ref_ = 0;
    std::size_t c_ref_ = 0;
};

} // namespace

ixo_data IXO_Data::correct_one_line(std::int32_t index) const
{
    if (!ts_cor_present())
        throw error("No TS.cor file loaded");
    if (records.empty())
        throw error("Calling correct_one_line before loading data!");
    if (index < 0 || static_cast<std::size_t>(index) >= records.size())
        throw error("Record index out of range.");
    const auto at_index = static_cast<std::size_t>(index);
    const ixo_data& rec = records[at_index];
    if (processed_file)
        return rec;

    const conditions at = conditions_of(*this, at_index, wording::record);
    const std::size_t channels = rec.a.size();
    if (rec.c.size() != channels)
        throw error("Record holds differing numbers of a and c values.");
    const corrector fix(*this, channels);

    ixo_data out;
    out.time = rec.time;
    out.a.resize(channels);
    out.c.resize(channels);
    for (std::size_t i = 0; i < channels; ++i)
        out.c[i] = fix.c_t(rec, i, at);
    const scattering_reference ref = fix.reference_of(rec, at);
    for (std::size_t i = 0; i < channels; ++i)
        out.a[i] = fix.a_final(fix.a_t(rec, i, at), out.c[i], ref);
    return out;
}

std::deque<double> IXO_Data::corrected_series(bool is_a, std::int32_t channel) const
{
    std::deque<double> series;
    const std::size_t channels = is_a ? a_wavelengths.size() : c_wavelengths.size();
    if (channel < 0 || static_cast<std::size_t>(channel) >= channels)
        throw error("Channel index out of range.");
    const auto ch = static_cast<std::size_t>(channel);
    if (processed_file) {
        for (const ixo_data& rec : records)
            series.push_back(is_a ? rec.a.at(ch) : rec.c.at(ch));
        return series;
    }
    if (records.empty())
        return series;

    const corrector fix(*this, std::min(a_wavelengths.size(), c_wavelengths.size()));
    for (std::size_t r = 0; r < records.size(); ++r) {
        const ixo_data& rec = records[r];
        if (rec.a.size() <= ch || rec.c.size() <= ch)
            throw error("Record holds fewer values than wavelengths.");
        const conditions at = conditions_of(*this, r, wording::series);
        if (!is_a) {
            series.push_back(fix.c_t(rec, ch, at));
            continue;
        }
        const double a_t = fix.a_t(rec, ch, at);
        const double c_t = fix.scattering() ? fix.c_t(rec, ch, at) : 0.0;
        series.push_back(fix.a_final(rec, a_t, c_t, at));
    }
    return series;
}

} // namespace vantrel
