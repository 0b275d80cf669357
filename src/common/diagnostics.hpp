#pragma once

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

} // namespace vantrel
