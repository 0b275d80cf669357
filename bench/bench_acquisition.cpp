// An eight-hour Ixo acquisition (115,200 records of 86 wavelengths at 4 Hz)
// driven through the acquisition controller with a fake port and clock, the
// continuous file written as in a real run. Reports the mean and worst tick
// (plots excluded, in processor time) over the first and the last thousand
// ticks, and the process's peak memory. BENCH_OUT names another continuous
// file (/dev/null leaves the disk out).

#include "app/acquisition_control.hpp"
#include "instrument/meter_simulator.hpp"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <algorithm>
#include <ctime>
#include <deque>
#include <filesystem>
#include <numeric>
#include <string>

#ifndef VANTREL_EXAMPLES
#error "VANTREL_EXAMPLES must name the examples folder"
#endif

namespace {

using namespace vantrel;

struct fake_line {
    std::deque<std::uint8_t> pending;
};

class fake_serial : public Serial {
public:
    explicit fake_serial(fake_line& l) : line(l) {}
    void open(std::int32_t) override {}
    void open_named(const std::string&) override {}
    void close() override {}
    std::size_t read(std::uint8_t* out, std::size_t count) override
    {
        const std::size_t n = std::min(count, line.pending.size());
        std::copy_n(line.pending.begin(), n, out);
        line.pending.erase(line.pending.begin(), line.pending.begin() + static_cast<std::ptrdiff_t>(n));
        return n;
    }

private:
    fake_line& line;
};

// A user who accepts the continuous file and is never asked anything else.
class silent_ui : public acquisition_ui {
public:
    explicit silent_ui(std::string file) : output(std::move(file)) {}
    acquisition_panel panel() override
    {
        acquisition_panel p;
        p.device_path = std::string(VANTREL_EXAMPLES) + "/ixo_86.dev";
        return p;
    }
    bool ask(const std::string&, const std::string&, bool) override
    {
        ++questions;
        return true;
    }
    std::optional<std::string> choose_save_file(const std::string&) override { return output; }
    fac_cal_answer ask_factory_cal_temp(double&) override { return fac_cal_answer::closed; }
    bool ask_continue_saving() override { return false; }
    void set_text(acquisition_text, const std::string&) override {}
    void set_caption(const std::string&) override {}
    void set_acquiring(bool) override {}
    void set_reference_spectra_enabled(bool) override {}
    void set_poll_timer(bool) override {}
    void frames_set_data_set(IXO_Data*) override {}
    void frames_set_live_mode(bool) override {}
    void frames_data_arrived() override {}
    void frames_redraw() override {}

    int questions = 0;

private:
    std::string output;
};

// The tick's own processor time: what other programs on the machine do, and
// the disk's write-back pauses, are not the tick's cost.
double thread_cpu_us()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
}

struct tick_figures {
    double mean_us = 0.0;
    double worst_us = 0.0;
};

tick_figures figures(const std::vector<double>& us)
{
    if (us.empty())
        return {};
    return {std::accumulate(us.begin(), us.end(), 0.0) / static_cast<double>(us.size()),
            *std::max_element(us.begin(), us.end())};
}

void BM_EightHourAcquisition(benchmark::State& state)
{
    const std::size_t records = static_cast<std::size_t>(state.range(0));
    const std::size_t window = 1000;
    const std::string output =
        std::getenv("BENCH_OUT")
            ? std::string(std::getenv("BENCH_OUT"))
            : (std::filesystem::temp_directory_path() / "vantrel_bench_acquisition.dat").string();

    for (auto _ : state) {
        devfile device;
        device.load(std::string(VANTREL_EXAMPLES) + "/ixo_86.dev");
        meter_simulator meter(device);
        fake_line line;
        silent_ui ui(output);
        reg settings(std::make_unique<memory_settings>());
        std::time_t clock_now = 1'250'000'000;
        acquisition_control ctl(
            ui, settings, [&] { return std::make_unique<fake_serial>(line); }, [&] { return clock_now; });
        ctl.B_StartClick();

        // 4 records a second, 10 ticks a second: record k is due at tick 2.5 k.
        const std::size_t ticks = records * 10 / 4 + 20;
        std::vector<double> first;
        std::vector<double> last;
        std::size_t sent = 0;
        for (std::size_t t = 0; t < ticks; ++t) {
            while (sent < records && sent * 10 / 4 <= t) {
                const auto r = meter.next_record();
                line.pending.insert(line.pending.end(), r.bytes.begin(), r.bytes.end());
                ++sent;
            }
            if (t % 10 == 0)
                ++clock_now;
            const double begun = thread_cpu_us();
            ctl.Timer1Timer();
            const double us = thread_cpu_us() - begun;
            // The first ticks after the file is offered, and the last ones of the run.
            if (ctl.AcqState == Acquiring && first.size() < window)
                first.push_back(us);
            if (t + window + 20 >= ticks && last.size() < window)
                last.push_back(us);
        }
        ctl.B_StopClick();

        const tick_figures start = figures(first);
        const tick_figures end = figures(last);
        state.counters["records"] = static_cast<double>(ctl.DataSet->records.size());
        state.counters["tick_mean_start_us"] = start.mean_us;
        state.counters["tick_worst_start_us"] = start.worst_us;
        state.counters["tick_mean_end_us"] = end.mean_us;
        state.counters["tick_worst_end_us"] = end.worst_us;
        state.counters["questions"] = ui.questions;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_memory_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
    std::filesystem::remove(output);
}

} // namespace

BENCHMARK(BM_EightHourAcquisition)->Arg(115200)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK_MAIN();
