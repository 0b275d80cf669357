#pragma once

#include <stdexcept>
#include <string>

namespace vantrel {

// The one failure type of the program. Its text is shown to the user as it
// stands, so every operation raises it with the exact message it owns.
class error : public std::runtime_error {
public:
    explicit error(const std::string& message) : std::runtime_error(message) {}
};

} // namespace vantrel
