// Throughput of loading and of processing a large hyperspectral data file,
// the peak resident memory, and the heap a loaded data set takes compared
// with its values stored as plain doubles.
//
// The input (20,000 records of 86 wavelengths in the meter's text layout)
// is generated once into a fresh temporary directory, removed at exit
// (set VANTREL_BENCH_KEEP=1 to keep it).
//
// Counters:
//   bytes_per_second              input bytes handled per second (binary units: MiB/s)
//   input_MB_per_s                the same in decimal megabytes per second
//   peak_rss_MiB                  getrusage ru_maxrss of the whole process so far
//   dataset_bytes_per_value_byte  heap growth of one load / (values as doubles)

#include "dataset/ixo_data.hpp"

#include <benchmark/benchmark.h>

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 33))
#include <malloc.h>
#define VANTREL_BENCH_HAVE_MALLINFO2 1
#endif

namespace {

namespace fs = std::filesystem;

constexpr std::size_t record_count = 20000;
constexpr std::size_t channel_count = 86;

// Doubles a loaded record stands for: its time, c and a values, and one
// row (time, temperature, salinity, pressure) in each of the two auxiliary tables.
constexpr std::size_t doubles_per_record = 1 + 2 * channel_count + 2 * 4;

struct bench_files {
    fs::path dir;
    fs::path input;
    fs::path output;
    std::int64_t input_bytes = 0;
};

bench_files files;

// --- input generation -------------------------------------------------------

// v with `significant` significant digits in plain decimal notation, trailing
// zeros dropped, as a meter writes its readings (|v| between 1e-6 and 1e9).
void append_number(std::string& out, double v, int significant)
{
    if (v == 0.0 || !std::isfinite(v)) {
        out += '0';
        return;
    }
    if (v < 0.0) {
        out += '-';
        v = -v;
    }
    int decimals = significant - 1 - static_cast<int>(std::floor(std::log10(v)));
    auto m = static_cast<long long>(std::llround(v * std::pow(10.0, decimals)));
    if (decimals < 0) {
        out += std::to_string(m * static_cast<long long>(std::llround(std::pow(10.0, -decimals))));
        return;
    }
    while (decimals > 0 && m % 10 == 0) {
        m /= 10;
        --decimals;
    }
    std::string digits = std::to_string(m);
    if (digits.size() <= static_cast<std::size_t>(decimals))
        digits.insert(0, static_cast<std::size_t>(decimals) + 1 - digits.size(), '0');
    if (decimals > 0)
        digits.insert(digits.size() - static_cast<std::size_t>(decimals), 1, '.');
    out += digits;
}

void append_fixed(std::string& out, double v, int decimals)
{
    std::array<char, 64> buf{};
    const auto r = std::to_chars(buf.data(), buf.data() + buf.size(), v, std::chars_format::fixed, decimals);
    out.append(buf.data(), r.ptr);
}

// a and c (1/m) of coastal water at wavelength wl (nm), depth in m, time in ms.
struct ac_pair {
    double a;
    double c;
};

ac_pair spectrum(double wl, double depth_m, double t_ms)
{
    const double chl = 1.5 + 2.0 * std::exp(-((depth_m - 12.0) * (depth_m - 12.0)) / 30.0);
    const double a_ph = chl * 0.03 *
                        (std::exp(-((wl - 440.0) * (wl - 440.0)) / 1800.0) +
                         0.55 * std::exp(-((wl - 676.0) * (wl - 676.0)) / 150.0));
    const double a_cdom = 0.35 * std::exp(-0.016 * (wl - 412.0));
    const double a_drift = 0.004 * (wl - 400.0) / 350.0;
    const double b = (0.6 + 0.15 * chl) * std::pow(550.0 / wl, 0.8);
    const double a = a_ph + a_cdom + a_drift + 0.02 * b + 0.002 * std::sin(t_ms / 900.0);
    return {a, a + b};
}

void write_input(const fs::path& path)
{
    std::vector<double> c_wl(channel_count);
    std::vector<double> a_wl(channel_count);
    for (std::size_t k = 0; k < channel_count; ++k) {
        const auto kd = static_cast<double>(k);
        const double c = 400.2 + 4.05 * kd + 0.3 * std::sin(kd);
        c_wl[k] = std::round(c * 10.0) / 10.0;
        a_wl[k] = std::round((c + 0.8 + 0.2 * std::cos(kd)) * 10.0) / 10.0;
    }

    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        throw std::runtime_error("cannot create " + path.string());

    std::string text;
    text += "Vantrel benchmark: hyperspectral meter, long coastal cast (synthetic data)\n";
    text += "IXO meter data file, firmware 1.1\n";
    text += "212\t; serial number\n";
    text += "2\t; structure version\n";
    text += "Tcal:\t21.4\tC, factory calibration temperature\n";
    text += "0.25\t0.25\t; depth calibration offset and slope\n";
    text += "19200\t; baud rate\n";
    text += "0.25\t; path length (m)\n";
    text += std::to_string(channel_count) + "\t; output wavelengths\n";
    text += "35\t; number of temperature bins\n";
    for (int k = 0; k < 35; ++k) {
        append_fixed(text, 5.5 + k, 1);
        text += '\t';
    }
    text += "; temperature bins\n";
    for (std::size_t k = 0; k < channel_count; ++k) {
        text += 'C';
        append_fixed(text, c_wl[k], 1);
        text += "\tA";
        append_fixed(text, a_wl[k], 1);
        text += "\t; channel\n";
    }
    text += "0\t; end of wavelength list\n";
    text += "1\t\t\t; acquisition bin size\n";
    text += "Time(ms)\t";
    for (const double wl : c_wl) {
        text += 'C';
        append_fixed(text, wl, 1);
        text += '\t';
    }
    for (const double wl : a_wl) {
        text += 'A';
        append_fixed(text, wl, 1);
        text += '\t';
    }
    text += "Temp(C)\tStatus\tDepth(m)\n";
    out.write(text.data(), static_cast<std::streamsize>(text.size()));

    std::mt19937_64 rng(212);
    std::normal_distribution<double> noise(0.0, 0.002);
    std::vector<double> a_row(channel_count);
    for (std::size_t r = 0; r < record_count; ++r) {
        const double t_ms = 1250.0 + 250.0 * static_cast<double>(r);
        // A slow yo-yo cast between 0.5 and 40.5 m.
        const double phase = static_cast<double>(r % 800) / 400.0;
        const double depth = 0.5 + 40.0 * (phase <= 1.0 ? phase : 2.0 - phase);
        const double temp = 18.2 - 0.12 * depth;

        text.clear();
        append_number(text, t_ms, 10);
        for (std::size_t k = 0; k < channel_count; ++k) {
            text += '\t';
            append_number(text, spectrum(c_wl[k], depth, t_ms).c + noise(rng), 7);
        }
        for (std::size_t k = 0; k < channel_count; ++k)
            a_row[k] = spectrum(a_wl[k], depth, t_ms).a + noise(rng);
        for (const double v : a_row) {
            text += '\t';
            append_number(text, v, 7);
        }
        text += '\t';
        append_fixed(text, temp, 3);
        text += "\t0\t";
        append_fixed(text, depth, 2);
        text += '\n';
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    out.close();
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

void prepare_files()
{
    std::string pattern = (fs::temp_directory_path() / "vantrel-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot create a temporary directory");
    files.dir = pattern;
    files.input = files.dir / "hyperspectral_20000.dat";
    files.output = files.dir / "hyperspectral_20000_processed.dat";
    write_input(files.input);
    files.input_bytes = static_cast<std::int64_t>(fs::file_size(files.input));
}

// VANTREL_BENCH_KEEP=1 leaves the generated and written files for inspection.
void remove_files()
{
    if (files.dir.empty())
        return;
    if (const char* keep = std::getenv("VANTREL_BENCH_KEEP"); keep != nullptr && *keep != '\0' && *keep != '0') {
        std::fprintf(stderr, "kept: %s\n", files.dir.string().c_str());
        return;
    }
    std::error_code ec;
    fs::remove_all(files.dir, ec);
}

// --- measurements -----------------------------------------------------------

double peak_rss_mib()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0; // ru_maxrss is in KiB on Linux
}

// Bytes currently handed out by malloc (arena chunks in use plus mmapped blocks).
double heap_in_use()
{
#ifdef VANTREL_BENCH_HAVE_MALLINFO2
    const struct mallinfo2 mi = ::mallinfo2();
    return static_cast<double>(mi.uordblks) + static_cast<double>(mi.hblkhd);
#else
    return std::numeric_limits<double>::quiet_NaN();
#endif
}

void apply_corrections(vantrel::IXO_Data& ds)
{
    ds.const_temp = 15.0;
    ds.const_saln = 33.5;
    ds.temp_source = 1;
    ds.saln_source = 1;
    ds.apply_temp = true;
    ds.apply_saln = true;
    ds.apply_scat = true;
    ds.scat_method = 2; // proportional
    ds.set_scat_ref(715.0);
}

// Input megabytes (10^6 bytes) per second of wall-clock time; Google
// Benchmark's own bytes_per_second is in binary units (MiB/s).
void report_throughput(benchmark::State& state)
{
    state.SetBytesProcessed(state.iterations() * files.input_bytes);
    state.counters["input_MB_per_s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * static_cast<double>(files.input_bytes) / 1e6,
        benchmark::Counter::kIsRate);
}

void check_loaded(const vantrel::IXO_Data& ds, benchmark::State& state)
{
    if (ds.records.size() != record_count || ds.a_wavelengths.size() != channel_count)
        state.SkipWithError("the generated file did not load as expected");
}

// --- benchmarks -------------------------------------------------------------

void BM_Load(benchmark::State& state)
{
    double ratio = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        auto ds = std::make_unique<vantrel::IXO_Data>();
        const double before = heap_in_use();
        state.ResumeTiming();

        ds->load_file(files.input.string(), false);
        benchmark::DoNotOptimize(ds->records.size());

        state.PauseTiming();
        const double grown = heap_in_use() - before;
        ratio = grown / (static_cast<double>(ds->records.size() * doubles_per_record) * sizeof(double));
        check_loaded(*ds, state);
        ds.reset();
        state.ResumeTiming();
    }
    report_throughput(state);
    state.counters["dataset_bytes_per_value_byte"] = ratio;
    state.counters["peak_rss_MiB"] = peak_rss_mib();
    state.counters["input_MB"] = static_cast<double>(files.input_bytes) / 1e6;
}

void BM_LoadCorrectWrite(benchmark::State& state)
{
    for (auto _ : state) {
        vantrel::IXO_Data ds;
        ds.load_file(files.input.string(), false);
        apply_corrections(ds);
        ds.save_processed(files.output.string(), true);
        check_loaded(ds, state);
    }
    report_throughput(state);
    state.counters["peak_rss_MiB"] = peak_rss_mib();
    std::error_code ec;
    state.counters["output_MB"] = static_cast<double>(fs::file_size(files.output, ec)) / 1e6;
}

// The parts of the processing, for locating the time it takes (their rates
// are input bytes per second too, so that they compare with the whole).
void BM_CorrectWriteOnly(benchmark::State& state)
{
    vantrel::IXO_Data ds;
    ds.load_file(files.input.string(), false);
    check_loaded(ds, state);
    apply_corrections(ds);
    for (auto _ : state)
        ds.save_processed(files.output.string(), true);
    report_throughput(state);
    state.counters["peak_rss_MiB"] = peak_rss_mib();
}

void BM_CorrectOnly(benchmark::State& state)
{
    vantrel::IXO_Data ds;
    ds.load_file(files.input.string(), false);
    check_loaded(ds, state);
    apply_corrections(ds);
    const auto n = static_cast<std::int32_t>(ds.records.size());
    for (auto _ : state) {
        for (std::int32_t i = 0; i < n; ++i) {
            const vantrel::ixo_data rec = ds.correct_one_line(i);
            benchmark::DoNotOptimize(rec.a.data());
        }
    }
    report_throughput(state);
}

BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadCorrectWrite)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CorrectWriteOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CorrectOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    try {
        prepare_files();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_processing: %s\n", e.what());
        remove_files();
        return 1;
    }
    std::fprintf(stderr, "input: %s (%.1f MB, %zu records x %zu wavelengths)\n", files.input.string().c_str(),
                 static_cast<double>(files.input_bytes) / 1e6, record_count, channel_count);
    int rc = 0;
    try {
        benchmark::RunSpecifiedBenchmarks();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_processing: %s\n", e.what());
        rc = 1;
    }
    benchmark::Shutdown();
    remove_files();
    return rc;
}
