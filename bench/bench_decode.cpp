// Decoding speed of the Ixo reader: a stream of 100,000 records of 86
// wavelengths (made by the meter simulator from the example device file),
// fed in 2048-byte chunks as the acquisition poll hands them over.
//
// The reader keeps about 2.9 KB per record (its bytes, its spectra, its
// packet), 290 MB in all. The first case takes that memory from the system on
// every run, as a replay in a new process does; on a virtual machine each
// fresh 4 KiB page can cost microseconds, and that then dominates. The second
// reuses memory the process already has, so it measures the decoding itself;
// the third measures how fast the machine hands out fresh memory.

#include "instrument/ixo_reader.hpp"
#include "instrument/meter_simulator.hpp"

#include <benchmark/benchmark.h>

#include <climits>
#include <memory>
#include <string>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#ifndef VANTREL_EXAMPLES
#error "VANTREL_EXAMPLES must name the examples folder"
#endif

namespace {

const vantrel::devfile& example_device()
{
    static const vantrel::devfile device = [] {
        vantrel::devfile d;
        d.load(std::string(VANTREL_EXAMPLES) + "/ixo_86.dev");
        return d;
    }();
    return device;
}

const std::vector<std::uint8_t>& ixo_stream()
{
    static const std::vector<std::uint8_t> bytes = [] {
        vantrel::meter_simulator sim(example_device());
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

// One decode of the whole stream by a new reader, as a replay does; the
// number of records it gave.
std::size_t decode_stream(const std::vector<std::uint8_t>& bytes, const vantrel::devfile& device)
{
    vantrel::ixo_reader reader;
    *reader.device = device;
    for (std::size_t at = 0; at < bytes.size(); at += 2048)
        reader.feed(bytes.data() + at, std::min<std::size_t>(2048, bytes.size() - at));
    benchmark::DoNotOptimize(reader.records.back());
    return reader.records.size();
}

void decode_runs(benchmark::State& state)
{
    const auto& bytes = ixo_stream();
    std::size_t records = 0;
    for (auto _ : state)
        records = decode_stream(bytes, example_device());
    state.counters["records"] = static_cast<double>(records);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}

void BM_IxoDecode(benchmark::State& state)
{
    decode_runs(state);
}

// glibc returns freed memory at the top of its heap to the system; that is
// held off while this case runs, and one untimed decode first grows the heap
// to what a decode needs, so the timed ones reuse memory the process has.
// (The capture buffer, larger than glibc's largest heap block, is mapped
// afresh each time either way.)
void BM_IxoDecodeReusedMemory(benchmark::State& state)
{
#ifdef __GLIBC__
    mallopt(M_TRIM_THRESHOLD, INT_MAX);
    state.counters["memory_kept"] = 1;
#endif
    decode_stream(ixo_stream(), example_device());
    decode_runs(state);
#ifdef __GLIBC__
    mallopt(M_TRIM_THRESHOLD, 128 * 1024);
    malloc_trim(0);
#endif
}

// How fast this machine hands out fresh memory: 290 MB, what a decode of the
// stream keeps, allocated and written in full. A decode into new memory
// cannot run faster than a quarter of this rate, since it keeps about four
// bytes for every byte of stream.
void BM_FreshMemory(benchmark::State& state)
{
    constexpr std::size_t size = 290u << 20;
    for (auto _ : state) {
        auto block = std::make_unique<char[]>(size); // value-initialised: every byte written
        benchmark::DoNotOptimize(block.get());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(size));
}

} // namespace

BENCHMARK(BM_IxoDecode)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_IxoDecodeReusedMemory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FreshMemory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
