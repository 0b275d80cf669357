#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace vantrel {

// Receives progress and status lines of the data set and the decoders.
// The default sink drops them; callers ask enabled() before formatting a
// line so that a silent sink costs nothing on the per-line paths.
class diagnostic_sink {
public:
    virtual ~diagnostic_sink() = default;
    virtual bool enabled() const { return false; }
    virtual void line(std::string_view /*text*/) {}
};

// Writes every line to a stream (standard error for the command line's --trace).
class stream_sink : public diagnostic_sink {
public:
    explicit stream_sink(std::FILE* out) : out_(out) {}
    bool enabled() const override { return true; }
    void line(std::string_view text) override;

private:
    std::FILE* out_;
};

} // namespace vantrel
