#pragma once

#include <ctime>
#include <string>

namespace vantrel {

// The local time broken down, on every platform.
std::tm local_tm(std::time_t t);

// "Thu Aug 06 14:03:09 2009": English names whatever the user's locale, the day zero-padded.
std::string creation_time_text(std::time_t t);

} // namespace vantrel
