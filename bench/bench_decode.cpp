// Decoding speed of the Ixo reader: a stream of 100,000 records of 86
// wavelengths (made by the meter simulator from the example device file),
// fed in 2048-byte chunks as the acquisition poll hands them over.

#include "instrument/ixo_reader.hpp"
#include "instrument/meter_simulator.hpp"

#include <benchmark/benchmark.h>

#include <string>

#ifndef VANTREL_EXAMPLES
#error "VANTREL_EXAMPLES must name the examples folder"
#endif

namespace {

const std::vector<std::uint8_t>& ixo_stream()
{
    static const std::vector<std::uint8_t> bytes = [] {
        vantrel::devfile device;
        device.load(std::string(VANTREL_EXAMPLES) + "/ixo_86.dev");
        vantrel::meter_simulator sim(device);
        std::vector<std::uint8_t> out;
        for (int i = 0; i < 100000; ++i) {
            const auto r = sim.next_record();
            out.insert(out.end(), r.bytes.begin(), r.bytes.end());
        }
        const auto tail = sim.closing_bytes();
        out.insert(out.end(), tail.begin(), tail.end());
        return out;
    }();
    return bytes;
}

void BM_IxoDecode(benchmark::State& state)
{
    const auto& bytes = ixo_stream();
    vantrel::devfile device;
    device.load(std::string(VANTREL_EXAMPLES) + "/ixo_86.dev");
    std::size_t records = 0;
    for (auto _ : state) {
        vantrel::ixo_reader reader;
        *reader.device = device;
        for (std::size_t at = 0; at < bytes.size(); at += 2048)
            reader.feed(bytes.data() + at, std::min<std::size_t>(2048, bytes.size() - at));
        records = reader.records.size();
        benchmark::DoNotOptimize(reader.records.back());
    }
    state.counters["records"] = static_cast<double>(records);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}

} // namespace

BENCHMARK(BM_IxoDecode)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
