// The Ixo stream decoder: arbitrary bytes in arbitrary chunks. The first
// input byte chooses the device file (a small one the fuzzer can fill
// records for, or the 86-wavelength example), the next three the chunk sizes.

#include "instrument/ixo_reader.hpp"
#include "reader_check.hpp"

using namespace vantrel;

namespace {

devfile load_device(const std::string& relative)
{
    devfile d;
    d.load(fuzz::source_file(relative));
    fuzz::require_finite_calibration(d);
    return d;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const devfile small = load_device("fuzz/ixo_4.dev");
    static const devfile example = load_device("examples/ixo_86.dev");
    fuzz::input_bytes in(data, size);
    const devfile& device = (in.take_byte() & 1) == 0 ? small : example;
    fuzz::chunk_plan plan(in);
    fuzz::decode_both_ways<ixo_reader>(device, in.rest(), in.rest_size(), plan);
    return 0;
}
