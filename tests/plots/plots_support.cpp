// The replay helper of the plot tests, kept out of reach of Qt's keyword macros.
#include "plots_support.hpp"
#include "app/capture_replay.hpp"

namespace vantrel::testing {

std::unique_ptr<IXO_Data> replayed(const std::string& capture, const std::string& device)
{
    auto ds = std::make_unique<IXO_Data>();
    std::unique_ptr<parent_reader> reader;
    replay_capture(*ds, reader, example(capture), example(device));
    return ds;
}

} // namespace vantrel::testing
