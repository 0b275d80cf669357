// The data file loader in data mode: meter-format files of both models and
// processed files. A file it accepts must give a data set that the
// corrections and the writers can work on.

#include "fuzz_support.hpp"

#include <sstream>

using namespace vantrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::input_file file("data");
    const std::string& path = file.write(data, size);
    IXO_Data ds;
    if (!fuzz::accepted([&] { ds.load_file(path, false); }))
        return 0;
    fuzz::require(ds.model == model_ixo || ds.model == model_eqa || ds.model == model_processed,
                  "a loaded data file is of a meter model or processed");
    fuzz::check_data_set(ds);

    fuzz::exercise_corrections(ds, 1, 1);
    fuzz::exercise_corrections(ds, 3, 1); // the meter's own temperature
    fuzz::check_data_set(ds);

    // The writers: a meter-format file and a processed file, into memory.
    std::ostringstream out;
    fuzz::accepted([&] {
        ds.write_meter_header(out);
        ds.write_records(out, {}, false, false, false, true);
    });
    fuzz::accepted([&] {
        ds.write_processed_header(out, false);
        ds.write_records(out, {}, true, false, false, false);
    });
    return 0;
}
