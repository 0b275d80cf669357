#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace vantrel {

// A serial port at the meter's line speed, 8 data bits, no parity, 1 stop
// bit, whose reads return at once with whatever has arrived.
class Serial {
public:
    virtual ~Serial() = default;

    // Opens COM port n (on other systems: the n-th port of the system's
    // list); fails with "Could Not Open COM<n>".
    virtual void open(std::int32_t port_number) = 0;
    // Opens a port by its name or path (ttyUSB0, /dev/ttyUSB0, COM3, a
    // pseudo-terminal); fails with "Could Not Open <name>".
    virtual void open_named(const std::string& name) = 0;
    // Fails with "Could not close comm port" when an open port will not close.
    virtual void close() = 0;
    // Up to `count` bytes into `buffer`; the number read (0 when none waits).
    virtual std::size_t read(std::uint8_t* buffer, std::size_t count) = 0;

    std::int32_t baud_rate = 0;
    std::int32_t port_number = 0;
};

using serial_factory = std::function<std::unique_ptr<Serial>()>;

} // namespace vantrel
