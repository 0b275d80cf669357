// CTD merge: every record takes the CTD row nearest in time in one forward
// pass, so the time grows linearly with records plus rows. Two sizes are
// run; their times should stand in the ratio of the sizes.

#include "dataset/ixo_data.hpp"

#include <benchmark/benchmark.h>

namespace {

// `records` spectra at 4 Hz and `rows` CTD rows spread over the same time.
void fill(vantrel::IXO_Data& ds, std::size_t records, std::size_t rows)
{
    const double span = 250.0 * static_cast<double>(records);
    for (std::size_t r = 0; r < records; ++r) {
        ds.records.push_back({250.0 * static_cast<double>(r), {0.1}, {0.2}});
        ds.aux_onboard.rows.push_back({});
        ds.aux_merged.rows.push_back({});
    }
    for (std::size_t i = 0; i < rows; ++i) {
        const double t = span * static_cast<double>(i) / static_cast<double>(rows);
        ds.ctd_file_data.rows.push_back({t, 0.01 * static_cast<double>(i), 33.0, 12.0});
    }
}

void BM_MergeCtd(benchmark::State& state)
{
    const auto records = static_cast<std::size_t>(state.range(0));
    const auto rows = static_cast<std::size_t>(state.range(1));
    vantrel::IXO_Data ds;
    fill(ds, records, rows);
    for (auto _ : state) {
        ds.merge_ctd();
        benchmark::DoNotOptimize(ds.aux_merged.rows.back());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(records + rows));
}

} // namespace

BENCHMARK(BM_MergeCtd)->Args({50000, 100000})->Args({100000, 200000})->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
