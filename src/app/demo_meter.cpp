#include "app/demo_meter.hpp"

#include "common/error.hpp"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

#ifdef __linux__
#include <csignal>
#include <sys/prctl.h>
#endif

namespace vantrel {

namespace {

// Records enough for days at the meter's rate; the stream ends with the program.
const char* const demo_records = "100000000";

} // namespace

demo_meter::demo_meter(const QString& cli_path, const QString& device_path,
                       const QStringList& extra_arguments)
    : process_(std::make_unique<QProcess>())
{
    process_->setProgram(cli_path);
    process_->setArguments(QStringList{QStringLiteral("simulate"), QStringLiteral("--device"), device_path,
                                       QStringLiteral("--pty"), QStringLiteral("--records"),
                                       QString::fromLatin1(demo_records)} +
                           extra_arguments);
    process_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
#ifdef __linux__
    // Should the program die without cleaning up, the meter goes with it.
    process_->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
#endif
    process_->start(QIODevice::ReadOnly);
    if (!process_->waitForStarted(5000))
        throw error("Could not start the meter simulator " + cli_path.toStdString() + ": " +
                    process_->errorString().toStdString());

    const QDeadlineTimer deadline(10000);
    while (!process_->canReadLine()) {
        if (process_->state() == QProcess::NotRunning || deadline.hasExpired()) {
            stop();
            throw error("The meter simulator gave no pseudo-terminal.");
        }
        process_->waitForReadyRead(100);
    }
    port_ = QString::fromLocal8Bit(process_->readLine()).trimmed();
    // Nothing more is expected on standard output; drop whatever comes.
    QObject::connect(process_.get(), &QProcess::readyReadStandardOutput, process_.get(),
                     [p = process_.get()] { p->readAllStandardOutput(); });
}

demo_meter::~demo_meter()
{
    stop();
}

bool demo_meter::running() const
{
    return process_ && process_->state() != QProcess::NotRunning;
}

void demo_meter::stop()
{
    if (!running())
        return;
    process_->terminate();
    if (!process_->waitForFinished(3000)) {
        process_->kill();
        process_->waitForFinished(1000);
    }
}

QString demo_meter::find_cli()
{
    const QDir here(QCoreApplication::applicationDirPath());
    for (const QString& candidate :
         {here.filePath(QStringLiteral("vantrel-cli")), here.filePath(QStringLiteral("../vantrel-cli"))}) {
        const QFileInfo info(candidate);
        if (info.isFile() && info.isExecutable())
            return info.canonicalFilePath();
    }
    return {};
}

} // namespace vantrel
