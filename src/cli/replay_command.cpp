#include "cli/replay_command.hpp"

#include "app/capture_replay.hpp"
#include "cli/trace_sink.hpp"
#include "instrument/ixo_reader.hpp"

#include <iostream>

namespace vantrel::cli {

void add_replay_command(CLI::App& app, replay_options& o)
{
    CLI::App* cmd =
        app.add_subcommand("replay", "Convert a raw capture of the meter's stream into a data file");
    cmd->add_option("CAPTURE", o.capture, "Raw capture file (.bin)")->required();
    cmd->add_option("--device", o.device, "Device file of the meter that made the capture")->required();
    cmd->add_option("-o,--output", o.output, "Meter-format data file to write")->required();
}

void run_replay(const replay_options& o)
{
    IXO_Data ds;
    ds.set_log(trace_log());
    std::unique_ptr<parent_reader> reader;
    replay_capture(ds, reader, o.capture, o.device, trace_log());
    ds.save_uncorrected(o.output);
    std::cout << "records: " << ds.records.size() << '\n';
    if (dynamic_cast<const ixo_reader*>(reader.get()) != nullptr)
        std::cout << "lost: " << reader->lost_records << '\n';
}

} // namespace vantrel::cli
