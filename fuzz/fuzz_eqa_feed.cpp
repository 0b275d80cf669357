// The Eqa stream decoder: arbitrary bytes in arbitrary chunks, with the
// example device file; the first three input bytes choose the chunk sizes.

#include "instrument/eqa_reader.hpp"
#include "reader_check.hpp"

using namespace vantrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const devfile device = [] {
        devfile d;
        d.load(fuzz::source_file("examples/eqa_9.dev"));
        fuzz::require_finite_calibration(d);
        return d;
    }();
    fuzz::input_bytes in(data, size);
    fuzz::chunk_plan plan(in);
    fuzz::decode_both_ways<eqa_reader>(device, in.rest(), in.rest_size(), plan);
    return 0;
}
