// One refresh of the plots during a long acquisition: a time plot and a
// spectral plot redrawn (Redraw and the replot, on Qt's offscreen platform)
// on a data set of 100,000 hyperspectral records of 86 wavelengths.
//
// Benchmarks:
//   BM_RefreshTimeAndSpectral/fitted  both frames, the time axis fitted to all records
//   BM_RefreshTimeAndSpectral/live    both frames in live mode (the last 20,000 ms shown)
//   BM_TimeRedrawOnly                 TFr_Time::Redraw alone: two corrected series and the points
//   BM_TimeReplotOnly                 the time plot's replot alone, all records in view
//   BM_SpectralRefresh                TFr_Spectral::Redraw and its replot

#include "dataset/ixo_data.hpp"
#include "plots/spectral_frame.hpp"
#include "plots/time_frame.hpp"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <memory>

namespace {

using namespace vantrel;

constexpr std::size_t record_count = 100000;
constexpr std::size_t channel_count = 86;
const QSize frame_size(900, 560);

// A cast-like data set: spectra that drift over the records with the
// meter's noise on every value, a record every 250 ms, on-board
// temperature and pressure rows.
std::unique_ptr<IXO_Data> make_data_set()
{
    auto ds = std::make_unique<IXO_Data>();
    ds->model = model_ixo;
    for (std::size_t j = 0; j < channel_count; ++j) {
        ds->c_wavelengths.push_back(400.0 + 4.1 * static_cast<double>(j));
        ds->a_wavelengths.push_back(400.5 + 4.1 * static_cast<double>(j));
    }
    ds->wavelength_count = static_cast<std::int32_t>(channel_count);
    std::uint32_t seed = 12345;
    const auto noise = [&seed] {
        seed = seed * 1664525U + 1013904223U;
        return 0.004 * (static_cast<double>(seed >> 8) / 16777216.0 - 0.5);
    };
    for (std::size_t i = 0; i < record_count; ++i) {
        ixo_data rec;
        rec.time = 250.0 * static_cast<double>(i);
        const double drift = 0.05 * std::sin(static_cast<double>(i) * 1e-3);
        rec.a.resize(channel_count);
        rec.c.resize(channel_count);
        for (std::size_t j = 0; j < channel_count; ++j) {
            const double x = static_cast<double>(j) / static_cast<double>(channel_count);
            rec.a[j] = 0.4 * std::exp(-3.0 * x) + drift + noise();
            rec.c[j] = 1.2 * std::exp(-1.5 * x) + 0.5 + drift + noise();
        }
        ds->records.push_back(std::move(rec));
        const ctd_struct row{250.0 * static_cast<double>(i), 0.01 * static_cast<double>(i % 2000), 32.0,
                             15.0};
        ds->aux_onboard.rows.push_back(row);
        ds->aux_merged.rows.push_back(row);
    }
    ds->prepare_coefficients();
    ds->set_scat_ref(715.0);
    ds->apply_scat = true;
    ds->scat_method = 1;
    return ds;
}

struct plots {
    std::unique_ptr<IXO_Data> ds = make_data_set();
    TFr_Time time;
    TFr_Spectral spectral;

    plots()
    {
        for (QWidget* w : {static_cast<QWidget*>(&time), static_cast<QWidget*>(&spectral)}) {
            w->resize(frame_size);
            w->show();
        }
        time.SetDataSet(ds.get());
        spectral.SetDataSet(ds.get());
        QApplication::processEvents();
    }
};

// Made in main after the application and destroyed before it.
plots* the_plots = nullptr;

plots& shared_plots()
{
    return *the_plots;
}

void refresh(plots& p)
{
    p.time.Redraw();
    p.spectral.Redraw();
    p.time.plot()->replot(QCustomPlot::rpImmediateRefresh);
    p.spectral.plot()->replot(QCustomPlot::rpImmediateRefresh);
}

void BM_RefreshTimeAndSpectral(benchmark::State& state)
{
    plots& p = shared_plots();
    const bool live = state.range(0) != 0;
    p.time.SetLiveMode(live);
    p.spectral.SetLiveMode(live);
    if (live) {
        const double newest = p.ds->records.back().time;
        p.time.plot()->xAxis->setRange(newest - TFr_Time::live_time_span, newest);
    } else {
        p.time.plot()->zoom_to_fit();
    }
    for (auto _ : state)
        refresh(p);
    state.SetLabel(live ? "live" : "fitted");
    state.counters["records"] = static_cast<double>(p.ds->records.size());
    p.time.SetLiveMode(false);
    p.spectral.SetLiveMode(false);
}
BENCHMARK(BM_RefreshTimeAndSpectral)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TimeRedrawOnly(benchmark::State& state)
{
    plots& p = shared_plots();
    for (auto _ : state)
        p.time.Redraw();
}
BENCHMARK(BM_TimeRedrawOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TimeReplotOnly(benchmark::State& state)
{
    plots& p = shared_plots();
    p.time.Redraw();
    p.time.plot()->zoom_to_fit();
    for (auto _ : state)
        p.time.plot()->replot(QCustomPlot::rpImmediateRefresh);
}
BENCHMARK(BM_TimeReplotOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SpectralRefresh(benchmark::State& state)
{
    plots& p = shared_plots();
    for (auto _ : state) {
        p.spectral.Redraw();
        p.spectral.plot()->replot(QCustomPlot::rpImmediateRefresh);
    }
}
BENCHMARK(BM_SpectralRefresh)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    auto p = std::make_unique<plots>();
    the_plots = p.get();
    benchmark::RunSpecifiedBenchmarks();
    the_plots = nullptr;
    p.reset();
    benchmark::Shutdown();
    return 0;
}
