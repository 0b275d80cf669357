#include "common/local_time.hpp"

#include <array>
#include <cstdio>

namespace vantrel {

std::tm local_tm(std::time_t t)
{
    std::tm out{};
#ifdef _WIN32
    localtime_s(&out, &t);
#else
    localtime_r(&t, &out);
#endif
    return out;
}

std::string creation_time_text(std::time_t t)
{
    static constexpr std::array<const char*, 7> days = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr std::array<const char*, 12> months = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                           "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::tm tm = local_tm(t);
    std::array<char, 64> buf{};
    std::snprintf(buf.data(), buf.size(), "%s %s %02d %02d:%02d:%02d %d", days[std::size_t(tm.tm_wday % 7)],
                  months[std::size_t(tm.tm_mon % 12)], tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                  tm.tm_year + 1900);
    return buf.data();
}

} // namespace vantrel
