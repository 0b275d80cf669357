#pragma once

#include <CLI/CLI.hpp>

#include <string>

namespace vantrel::cli {

// Options of `vantrel-cli replay`.
struct replay_options {
    std::string capture;
    std::string device;
    std::string output;
};

void add_replay_command(CLI::App& app, replay_options& options);
void run_replay(const replay_options& options);

} // namespace vantrel::cli
