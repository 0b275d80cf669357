#pragma once

#include "instrument/serial.hpp"

#include <memory>

class QSerialPort;
class QString;

namespace vantrel {

// The serial port over Qt SerialPort. Port n is COMn on Windows; elsewhere,
// where ports have names rather than numbers, it is the n-th port (from 1)
// of the system's list sorted by name. Reads never wait: they hand out what
// has arrived. Needs a QCoreApplication, as every Qt device does.
class qt_serial : public Serial {
public:
    qt_serial();
    ~qt_serial() override;
    qt_serial(const qt_serial&) = delete;
    qt_serial& operator=(const qt_serial&) = delete;

    void open(std::int32_t port_number) override;
    // A port opened by name keeps port_number 0.
    void open_named(const std::string& name) override;
    void close() override;
    std::size_t read(std::uint8_t* buffer, std::size_t count) override;

private:
    bool open_port(const QString& name);

    std::unique_ptr<QSerialPort> port_;
};

// Makes closed qt_serial ports, for a reader's make_port.
serial_factory qt_serial_factory();

} // namespace vantrel
