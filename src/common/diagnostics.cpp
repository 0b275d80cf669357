#include "common/diagnostics.hpp"

#include <cstdio>

namespace vantrel {

void stream_sink::line(std::string_view text)
{
    std::fwrite(text.data(), 1, text.size(), out_);
    if (text.empty() || text.back() != '\n')
        std::fputc('\n', out_);
}

} // namespace vantrel
