// The data file loader in water mode: a water calibration file (.wcf) or a
// meter-format data file given as a blank, loaded into a data set of either
// model (chosen by the first input byte). A blank it accepts must fit the
// data set's channels, and the data set itself stays whole either way.

#include "fuzz_support.hpp"

using namespace vantrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::input_file file("water");
    fuzz::input_bytes in(data, size);
    const bool eqa = (in.take_byte() & 1) != 0;

    IXO_Data ds;
    ds.load_file(fuzz::source_file(eqa ? "tests/data/eqa_small.dat" : "tests/data/ixo_small.dat"), false);
    const std::size_t records = ds.records.size();
    const std::string& path = file.write(in.rest(), in.rest_size());
    const bool loaded = fuzz::accepted([&] { ds.load_file(path, true); });

    fuzz::require(ds.records.size() == records, "a blank leaves the data records alone");
    fuzz::check_data_set(ds);
    if (!loaded)
        return 0;
    fuzz::require(ds.water_loaded, "a loaded blank is marked loaded");
    fuzz::require(ds.water_mean.a.size() == ds.a_wavelengths.size(),
                  "the blank has an a value per a channel");
    fuzz::require(ds.water_mean.c.size() == ds.c_wavelengths.size(), "the blank has a c value per c channel");

    ds.apply_water = true;
    fuzz::exercise_corrections(ds, 1, 1);
    return 0;
}
