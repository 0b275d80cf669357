#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class QProcess;

namespace vantrel {

// A simulated meter for trying the program without one: `vantrel-cli
// simulate --pty` streams a device file's records over a pseudo-terminal
// until it is stopped, at the latest when this object goes or the program
// ends.
class demo_meter {
public:
    // Starts the simulator and waits for the pseudo-terminal's path; fails
    // with a vantrel::error saying why it could not.
    demo_meter(const QString& cli_path, const QString& device_path, const QStringList& extra_arguments = {});
    ~demo_meter();
    demo_meter(const demo_meter&) = delete;
    demo_meter& operator=(const demo_meter&) = delete;

    // The pseudo-terminal to open as the serial port.
    const QString& port() const { return port_; }
    bool running() const;
    void stop();

    // vantrel-cli next to the running program (or one directory up); empty
    // when there is none.
    static QString find_cli();

private:
    std::unique_ptr<QProcess> process_;
    QString port_;
};

} // namespace vantrel
