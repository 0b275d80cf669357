#pragma once

#include "common/diagnostics.hpp"

#include <iostream>
#include <memory>

namespace vantrel::cli {

// The decoders' and the data set's traces on standard error, for --trace.
class stderr_trace : public diagnostic_sink {
public:
    bool enabled() const override { return true; }
    void line(std::string_view text) override
    {
        std::cerr << text;
        if (text.empty() || text.back() != '\n')
            std::cerr << '\n';
    }
};

// Set by --trace before any command runs.
inline bool trace_requested = false;

// A sink for the data set and the decoders: standard error under --trace,
// silent otherwise.
inline std::unique_ptr<diagnostic_sink> trace_log()
{
    if (trace_requested)
        return std::make_unique<stderr_trace>();
    return std::make_unique<diagnostic_sink>();
}

} // namespace vantrel::cli
