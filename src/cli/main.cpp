// vantrel-cli: the program's post-processing and capture conversion from a terminal.

#ifdef VANTREL_HAVE_SERIAL_PORT
#include "cli/acquire_command.hpp"
#endif
#include "cli/process_command.hpp"
#include "cli/replay_command.hpp"
#include "cli/simulate_command.hpp"
#include "cli/trace_sink.hpp"
#include "common/error.hpp"

#include <CLI/CLI.hpp>

#include <iostream>

namespace {

void print_error(const std::string& message)
{
    std::cerr << message;
    if (message.empty() || message.back() != '\n')
        std::cerr << '\n';
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"Vantrel: processing of absorption and attenuation (ac) meter data"};
    app.name("vantrel-cli");
    app.set_version_flag("--version", std::string("vantrel-cli ") + VANTREL_VERSION);
    app.require_subcommand(1);
    app.fallthrough();
    app.add_flag("--trace", vantrel::cli::trace_requested,
                 "Print the decoders' and the data set's traces on standard error");

    vantrel::cli::process_options process;
    vantrel::cli::add_process_command(app, process);
    vantrel::cli::water_cal_options water_cal;
    vantrel::cli::add_water_cal_command(app, water_cal);
    vantrel::cli::replay_options replay;
    vantrel::cli::add_replay_command(app, replay);
    vantrel::cli::simulate_options simulate;
    vantrel::cli::add_simulate_command(app, simulate);
#ifdef VANTREL_HAVE_SERIAL_PORT
    vantrel::cli::acquire_options acquire;
    vantrel::cli::add_acquire_command(app, acquire);
#endif

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        // Help and version end well; every other parse problem is a usage error.
        return code == 0 ? 0 : 2;
    }

    try {
        if (app.got_subcommand("process"))
            vantrel::cli::run_process(process);
        else if (app.got_subcommand("water-cal"))
            vantrel::cli::run_water_cal(water_cal);
        else if (app.got_subcommand("replay"))
            vantrel::cli::run_replay(replay);
        else if (app.got_subcommand("simulate"))
            vantrel::cli::run_simulate(simulate);
#ifdef VANTREL_HAVE_SERIAL_PORT
        else if (app.got_subcommand("acquire"))
            return vantrel::cli::run_acquire(acquire);
#endif
    } catch (const vantrel::cli::usage_error& e) {
        print_error(e.what());
        return 2;
    } catch (const vantrel::error& e) {
        print_error(e.what());
        return 1;
    } catch (const std::exception& e) {
        print_error(std::string("Unexpected failure: ") + e.what());
        return 1;
    }
    return 0;
}
