#pragma once

#include <string>

namespace vantrel {

// Where a reader shows the meter's live state: five labels of the
// acquisition panel. The base shows nothing.
class ACR_Helper {
public:
    virtual ~ACR_Helper() = default;
    virtual void show_progress(const std::string& /*text*/) {}
    virtual void show_internal_temp(const std::string& /*text*/) {}
    virtual void show_external_temp(const std::string& /*text*/) {}
    virtual void show_serial(const std::string& /*text*/) {}
    virtual void show_time_stamp(const std::string& /*text*/) {}
};

} // namespace vantrel
