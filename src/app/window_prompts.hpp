#pragma once

#include <QString>

#include <optional>

class QDialog;
class QWidget;

namespace vantrel {

// One of the main window's two shared file dialogs. Each operation sets the
// title, filter and preset name it needs; what it leaves stays for the next
// one, as with a single dialog object kept by the window. Filters are
// written "Description|pattern|Description|pattern".
struct shared_file_dialog {
    QString title;
    QString filter = QStringLiteral("All Files (*.*)|*.*");
    QString file_name; // the preset name; the chosen path after a choice
    bool overwrite_prompt = false;
};

// Everything the windows ask of the user through the toolkit's own dialogs:
// message boxes, file dialogs and the showing of modal windows. The program
// uses Qt's dialogs; the tests answer them from a script.
class window_prompts {
public:
    virtual ~window_prompts() = default;

    // A message box with OK (ok_cancel false) or OK and Cancel; true for OK.
    virtual bool message(QWidget* parent, const QString& text, const QString& caption, bool ok_cancel) = 0;
    // Runs the dialog; the chosen path (also left in dialog.file_name), or
    // nothing when cancelled.
    virtual std::optional<QString> open_file(QWidget* parent, shared_file_dialog& dialog) = 0;
    virtual std::optional<QString> save_file(QWidget* parent, shared_file_dialog& dialog) = 0;
    // Shows a window modally and returns its result code.
    virtual int run_modal(QDialog& dialog) = 0;
};

// The prompts over QMessageBox, QFileDialog and QDialog::exec.
class qt_window_prompts : public window_prompts {
public:
    bool message(QWidget* parent, const QString& text, const QString& caption, bool ok_cancel) override;
    std::optional<QString> open_file(QWidget* parent, shared_file_dialog& dialog) override;
    std::optional<QString> save_file(QWidget* parent, shared_file_dialog& dialog) override;
    int run_modal(QDialog& dialog) override;
};

// The application's title, also the caption of messages that have none of
// their own (the general error report among them).
QString program_title();

// "Device Files (*.dev)|*.DEV|All Files|*.*" in Qt's form,
// The application's title, also the caption of messages that have none of
// their own (the general error report among them).
QString program_title();

// "Device Files (*.DEV *.dev);;All Files (*.*)". Patterns are offered in
// lower case too, since file names are case-sensitive outside Windows.
QString qt_file_filter(const QString& filter);

} // namespace vantrel
