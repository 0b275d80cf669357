#pragma once

#include "common/diagnostics.hpp"
#include "corrections/coefficient_table.hpp"

#include <cstdint>
#include <ctime>
#include <deque>
#include <fstream>
#include <iosfwd>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace vantrel {

class line_reader;

// One spectrum record: its time stamp in ms and one value per wavelength.
struct ixo_data {
    double time = 0.0;
    std::vector<double> a; // 1/m, one per a wavelength, in that order
    std::vector<double> c; // 1/m, one per c wavelength, in that order
};

// The channel-by-channel mean of records of one layout, with the first one's time.
ixo_data mean_spectrum(const std::deque<ixo_data>& records);

// One auxiliary row: the temperature, salinity and pressure that go with a record.
struct ctd_struct {
    double time = 0.0;
    double pres = 0.0;
    double saln = 0.0;
    double temp = 0.0;
};

// A table of auxiliary rows (a CTD file, or one row per record).
struct CTD_Data {
    using ctd_struct = vantrel::ctd_struct;

    std::deque<ctd_struct> rows;
    std::string file_name;

    // Reads a CTD text file with the given 1-based columns (ctd_data.cpp).
    void read_file(const std::string& path, std::int32_t time_column, std::int32_t temp_column,
                   std::int32_t saln_column, std::int32_t pres_column);
};

inline constexpr std::int32_t no_scat_ref = 999999;

// Meter models and file kinds of a data set.
enum : std::int32_t {
    model_ixo = 1,
    model_eqa = 2,
    model_water_file = 3,
    model_processed = 4,
};

// The one in-memory home of a run of the meter: wavelengths, records,
// auxiliary rows, water blank and the correction settings the output and
// the plots apply. Corrections never change the stored records.
class IXO_Data {
public:
    using ixo_data = vantrel::ixo_data;

    IXO_Data();
    ~IXO_Data();
    IXO_Data(const IXO_Data&) = delete;
    IXO_Data& operator=(const IXO_Data&) = delete;

    // --- files (loader: data_loader.cpp) ---
    void load_file(const std::string& path, bool as_water);

    // Matches every record to the CTD row nearest in time (ctd_data.cpp).
    void merge_ctd();

    // --- coefficients and scattering reference ---
    void prepare_coefficients();
    double set_scat_ref(double wl);

    // --- corrections (ts_correction.cpp) ---
    ixo_data correct_one_line(std::int32_t index) const;
    std::deque<double> corrected_series(bool is_a, std::int32_t channel) const;

    // --- writers (data_writer.cpp) ---
    void save_processed(const std::string& path, bool aux);
    void save_records(const std::string& path, const std::vector<std::int32_t>& indices);
    void save_uncorrected(const std::string& path);
    // Opens the continuous file and writes its header; false when the file
    // cannot be opened (later appends then have no effect). A header that
    // cannot be written fails with "Unable to write to %s.", as do an append
    // that fails (continue_save) and a close that fails (end_continuous_save);
    // the records stay in memory either way.
    bool begin_continuous_save(const std::string& path);
    void continue_save();
    void end_continuous_save();
    void write_processed_header(std::ostream& out, bool aux) const;
    void write_meter_header(std::ostream& out) const;
    void write_records(std::ostream& out, const std::vector<std::int32_t>& indices, bool corrected,
                       bool averaged, bool aux, bool meter_layout) const;
    // Writes a water calibration file of the mean of the records (water_cal.cpp);
    // `created` is the time written on line 3.
    void save_water_cal(const std::string& path, const std::vector<std::int32_t>& indices, double temperature,
                        std::time_t created = std::time(nullptr)) const;

    void set_log(std::unique_ptr<diagnostic_sink> sink);

    // --- fields, in the order of the data model ---
    std::string data_file;
    std::string water_file;
    double const_temp = std::numeric_limits<double>::quiet_NaN();
    double const_saln = std::numeric_limits<double>::quiet_NaN();
    double factory_cal_temp = std::numeric_limits<double>::quiet_NaN();
    double water_cal_temp = -1.0;
    double scat_ref_a_wl = std::numeric_limits<double>::quiet_NaN();
    double scat_ref_c_wl = std::numeric_limits<double>::quiet_NaN();
    std::int32_t scat_ref_a_index = no_scat_ref;
    std::int32_t scat_ref_c_index = no_scat_ref;
    bool apply_water = false;
    bool apply_temp = false;
    bool apply_saln = false;
    bool apply_scat = false;
    std::int32_t scat_method = 0;
    bool processed_file = false;
    std::int32_t temp_source = 1;
    std::int32_t saln_source = 1;
    bool ctd_merged = false;
    bool water_loaded = false;
    std::deque<double> a_wavelengths;
    std::deque<double> c_wavelengths;
    std::int32_t model = 0;
    std::int32_t serial_number = 0;
    std::deque<std::string> header_lines;
    std::int32_t wavelength_count = 0;
    std::deque<ixo_data> records;
    std::deque<ixo_data> water_records;
    CTD_Data ctd_file_data;
    CTD_Data aux_merged;
    CTD_Data aux_onboard;
    std::deque<tsc_data> a_coefs;
    std::deque<tsc_data> c_coefs;
    std::deque<tsc_data> coef_table;
    ixo_data water_mean;
    std::unique_ptr<diagnostic_sink> log;
    std::deque<std::int32_t> a_column_order;
    std::deque<std::int32_t> c_column_order;
    std::deque<bool> column_is_a;
    std::ofstream save_stream;
    std::string save_path; // the continuous file, named in a write failure
    std::size_t saved_record_count = 0;

private:
    void read_water_cal(line_reader& in);
};

} // namespace vantrel
