#pragma once

#include <array>
#include <cstddef>
#include <deque>

namespace vantrel {

// One row of the temperature and salinity coefficient table (TS.cor).
struct tsc_data {
    double wl = 0.0;      // nm
    double psi_s_a = 0.0; // salinity coefficient applied to a, 1/m per psu
    double psi_s_c = 0.0; // salinity coefficient applied to c, 1/m per psu
    double psi_t_a = 0.0; // temperature coefficient applied to a, 1/m per degree C
    double psi_t_c = 0.0; // temperature coefficient applied to c, 1/m per degree C
};

inline constexpr std::size_t builtin_table_rows = 3551; // 400.0 to 755.0 nm in 0.1 nm steps
extern const std::array<tsc_data, builtin_table_rows> builtin_table_values;

// Appends the built-in table to `table` and marks a table as present for
// the corrections of this process.
void fill_builtin_table(std::deque<tsc_data>& table);

// True once any table has been filled in this process.
bool ts_cor_present();

// The last row of `table` at or below `wl` (row 0 when `wl` lies below the
// table); a step lookup to the table's grid, never an interpolation.
tsc_data floor_row(const std::deque<tsc_data>& table, double wl);

// The fixed temperature coefficient of a nine-wavelength filter wavelength
// (whole nm), or the twelve-band model where the filter is not in the list.
double eqa_psi_t(int nominal_nm);
double band_model_psi_t(double n);

} // namespace vantrel
