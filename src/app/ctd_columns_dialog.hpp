#pragma once

#include "app/ctd_column_choice.hpp"

#include <QDialog>
#include <QString>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace vantrel {

class reg;
class window_prompts;

// "Choose CTD columns": a preview of the CTD file's first lines and the four
// column numbers, checked against the preview before they are kept.
class TF_LoadCTD : public QDialog {
    Q_OBJECT

public:
    TF_LoadCTD(window_prompts& prompts, QWidget* parent = nullptr);

    // The settings whose column numbers the dialog shows and keeps.
    void set_settings(reg* settings) { Settings = settings; }

    // The CTD file to preview.
    QString file_name;
    // Fills the preview and the four fields; fails with "Unable to open file.".
    void FormShow();
    // Checks the columns; on success keeps them in the settings and closes with OK.
    void B_OKClick();

    QPlainTextEdit* RE_Preview;
    QLineEdit* E_Time;
    QLineEdit* E_Pres;
    QLineEdit* E_Temp;
    QLineEdit* E_Saln;
    QPushButton* B_OK;
    QPushButton* B_Cancel;

private:
    window_prompts& prompts;
    reg* Settings = nullptr;
    ctd_column_choice choice;
};

} // namespace vantrel
