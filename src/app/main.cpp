// The desktop program: the main window over Qt Widgets, with an optional
// simulated meter (--demo) for trying it without one.
#include "app/demo_meter.hpp"
#include "app/main_window.hpp"
#include "app/realtime_panel.hpp"
#include "app/window_prompts.hpp"
#include "common/error.hpp"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPixmap>
#include <QStandardPaths>
#include <QTimer>

#include <memory>

using namespace vantrel;

namespace {

QString default_demo_device()
{
    return QStringLiteral(VANTREL_EXAMPLES_DIR "/ixo_86.dev");
}

// Starts the simulated meter and sets the window up to acquire from it.
std::unique_ptr<demo_meter> start_demo(TF_Main& window, window_prompts& prompts, const QString& device)
{
    const QString cli = demo_meter::find_cli();
    if (cli.isEmpty()) {
        prompts.message(&window,
                        QStringLiteral("vantrel-cli was not found next to the program: no demo meter."),
                        program_title(), false);
        return nullptr;
    }
    try {
        auto meter = std::make_unique<demo_meter>(cli, device);
        window.Fr_RealTime->E_Device->setText(QFileInfo(device).absoluteFilePath());
        window.Fr_RealTime->PD_PortName->setEditText(meter->port());
        return meter;
    } catch (const error& e) {
        prompts.message(&window, QString::fromUtf8(e.what()), program_title(), false);
        return nullptr;
    }
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantrel"));
    QApplication::setApplicationVersion(QStringLiteral(VANTREL_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Acquisition and processing for Ixo and Eqa ac meters"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption demo(
        QStringLiteral("demo"),
        QStringLiteral("Acquire from a simulated meter on a pseudo-terminal (F1 starts)."));
    const QCommandLineOption demo_device(QStringLiteral("demo-device"),
                                         QStringLiteral("Device file of the simulated meter."),
                                         QStringLiteral("file"), default_demo_device());
    const QCommandLineOption open(QStringLiteral("open"),
                                  QStringLiteral("Load a data file for post-processing."),
                                  QStringLiteral("file"));
    const QCommandLineOption start(QStringLiteral("start"), QStringLiteral("Start an acquisition at once."));
    const QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                        QStringLiteral("Save a picture of the main window and end."),
                                        QStringLiteral("png"));
    const QCommandLineOption delay(QStringLiteral("screenshot-delay"),
                                   QStringLiteral("Milliseconds before the picture is taken (default 3000)."),
                                   QStringLiteral("ms"), QStringLiteral("3000"));
    parser.addOptions({demo, demo_device, open, start, screenshot, delay});
    parser.process(app);

    // The demo keeps settings of its own, so that the simulated meter's
    // pseudo-terminal does not become the port of the next real acquisition.
    if (parser.isSet(demo) && !qEnvironmentVariableIsSet("VANTREL_SETTINGS")) {
        const QDir config(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
        config.mkpath(QStringLiteral("."));
        qputenv("VANTREL_SETTINGS", QFile::encodeName(config.filePath(QStringLiteral("demo.ini"))));
    }

    qt_window_prompts prompts;
    TF_Main window(prompts);
    QObject::connect(&window, &TF_Main::closed, &app, &QApplication::quit);
    window.show();

    std::unique_ptr<demo_meter> meter;
    if (parser.isSet(demo))
        meter = start_demo(window, prompts, parser.value(demo_device));
    // "Exit" ends the process at once: the meter must not outlive it.
    QObject::connect(&window, &TF_Main::program_ending, &window, [&meter] {
        if (meter)
            meter->stop();
    });

    if (parser.isSet(open)) {
        const QString path = parser.value(open);
        window.run([&window, path] {
            window.show_page(1);
            window.load_data_file(path);
        });
    }
    if (parser.isSet(start))
        QTimer::singleShot(300, &window, [&window] { window.A_Start->trigger(); });
    if (parser.isSet(screenshot)) {
        const QString file = parser.value(screenshot);
        QTimer::singleShot(parser.value(delay).toInt(), &window, [&window, file] {
            if (!window.grab().save(file))
                qWarning("Could not save the picture to %s", qPrintable(file));
            QCoreApplication::exit(0);
        });
    }
    return QApplication::exec();
}
