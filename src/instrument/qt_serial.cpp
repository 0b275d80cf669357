#include "instrument/qt_serial.hpp"

#include "common/error.hpp"

#include <QSerialPort>
#include <QSerialPortInfo>
#include <QString>

#include <algorithm>

namespace vantrel {

namespace {

// The port the user means by number n.
QString numbered_port(std::int32_t n)
{
#ifdef _WIN32
    // From COM10 on, Windows knows the ports only by their device-namespace name.
    return n < 10 ? QString("COM%1").arg(n) : QString("\\\\.\\COM%1").arg(n);
#else
    QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    std::sort(ports.begin(), ports.end(),
              [](const QSerialPortInfo& x, const QSerialPortInfo& y) { return x.portName() < y.portName(); });
    if (n < 1 || n > ports.size())
        return {};
    return ports[n - 1].systemLocation();
#endif
}

} // namespace

qt_serial::qt_serial() : port_(std::make_unique<QSerialPort>()) {}

qt_serial::~qt_serial()
{
    if (port_->isOpen())
        port_->close();
}

bool qt_serial::open_port(const QString& name)
{
    if (port_->isOpen())
        port_->close();
    if (name.isEmpty())
        return false;
    port_->setPortName(name);
    if (!port_->open(QIODevice::ReadWrite))
        return false;
    // Like the meter's own software, a port that opens but refuses a setting
    // is used with what it accepted.
    if (baud_rate > 0)
        port_->setBaudRate(baud_rate);
    port_->setDataBits(QSerialPort::Data8);
    port_->setParity(QSerialPort::NoParity);
    port_->setStopBits(QSerialPort::OneStop);
    port_->setFlowControl(QSerialPort::NoFlowControl);
    return true;
}

void qt_serial::open(std::int32_t n)
{
    if (!open_port(numbered_port(n))) {
        port_number = 0;
        throw error("Could Not Open COM" + std::to_string(n));
    }
    port_number = n;
}

void qt_serial::open_named(const std::string& name)
{
    port_number = 0;
    if (!open_port(QString::fromStdString(name)))
        throw error("Could Not Open " + name);
}

void qt_serial::close()
{
    if (!port_->isOpen()) {
        port_number = 0;
        return;
    }
    port_->clearError();
    port_->close();
    // Qt releases the descriptor in any case; it reports a resource error
    // when the device had gone (an unplugged adapter, a hung-up terminal),
    // and there is then nothing left to close. Anything else is a failure.
    const QSerialPort::SerialPortError e = port_->error();
    if (e != QSerialPort::NoError && e != QSerialPort::ResourceError)
        throw error("Could not close comm port");
    port_number = 0;
}

std::size_t qt_serial::read(std::uint8_t* buffer, std::size_t count)
{
    if (!port_->isOpen() || count == 0)
        return 0;
    // Without an event loop, bytes reach Qt's buffer only when asked for;
    // a zero time-out looks without waiting.
    if (port_->bytesAvailable() == 0)
        port_->waitForReadyRead(0);
    const qint64 got = port_->read(reinterpret_cast<char*>(buffer), static_cast<qint64>(count));
    return got > 0 ? static_cast<std::size_t>(got) : 0;
}

serial_factory qt_serial_factory()
{
    return [] { return std::make_unique<qt_serial>(); };
}

} // namespace vantrel
