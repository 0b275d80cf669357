#include "app/window_prompts.hpp"

#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QRegularExpression>
#include <QStringList>

namespace vantrel {

QString program_title()
{
    return QStringLiteral("Vantrel");
}

QString qt_file_filter(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        // A description that names its patterns already keeps its words only.
        QString name = parts[i];
        name.remove(QRegularExpression(QStringLiteral("\\s*\\([^()]*\\)\\s*$")));
        QStringList patterns;
        for (const QString& p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            for (const QString& form : {p.trimmed(), p.trimmed().toLower()})
                if (!patterns.contains(form))
                    patterns.append(form);
        }
        entries.append(name.trimmed() + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                       QLatin1Char(')'));
    }
    return entries.join(QStringLiteral(";;"));
}

bool qt_window_prompts::message(QWidget* parent, const QString& text, const QString& caption, bool ok_cancel)
{
    QMessageBox box(ok_cancel ? QMessageBox::Question : QMessageBox::Information, caption, text,
                    ok_cancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok, parent);
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok;
}

namespace {

std::optional<QString> run_file_dialog(QWidget* parent, shared_file_dialog& dialog, bool saving)
{
    QFileDialog box(parent, dialog.title);
    box.setAcceptMode(saving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    box.setFileMode(saving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    box.setOption(QFileDialog::DontConfirmOverwrite, !dialog.overwrite_prompt);
    box.setNameFilters(qt_file_filter(dialog.filter).split(QStringLiteral(";;")));
    if (!dialog.file_name.isEmpty()) {
        const QFileInfo preset(dialog.file_name);
        if (preset.isAbsolute() || dialog.file_name.contains(QLatin1Char('/')))
            box.setDirectory(preset.absolutePath());
        box.selectFile(preset.fileName());
    }
    if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty())
        return std::nullopt;
    dialog.file_name = box.selectedFiles().constFirst();
    return dialog.file_name;
}

} // namespace

std::optional<QString> qt_window_prompts::open_file(QWidget* parent, shared_file_dialog& dialog)
{
    return run_file_dialog(parent, dialog, false);
}

std::optional<QString> qt_window_prompts::save_file(QWidget* parent, shared_file_dialog& dialog)
{
    return run_file_dialog(parent, dialog, true);
}

int qt_window_prompts::run_modal(QDialog& dialog)
{
    return dialog.exec();
}

} // namespace vantrel
