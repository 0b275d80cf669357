#pragma once

#include <QDialog>
#include <QPushButton>

class QLabel;
class QLineEdit;

namespace vantrel {

class window_prompts;

// A push button whose caption wraps onto two lines.
class two_line_button : public QPushButton {
    Q_OBJECT

public:
    explicit two_line_button(const QString& text, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// "Continue Saving?": a one-off save of what was read, or continuous saving
// from now on. OK stands for continuous saving; the close box counts as the
// one-off save.
class TF_ContSaving : public QDialog {
    Q_OBJECT

public:
    explicit TF_ContSaving(QWidget* parent = nullptr);

    QPushButton* B_JustSave;
    QPushButton* B_ContinueSaving;
};

// The question for the factory calibration temperature that a device file
// lacks. Its three endings: accepted, cancelled, or closed by the close box.
class TF_FacCalQuery : public QDialog {
    Q_OBJECT

public:
    static constexpr int accepted_result = -998;
    static constexpr int cancelled_result = -999;

    TF_FacCalQuery(window_prompts& prompts, QWidget* parent = nullptr);

    // Reads the number at the start of Edit1 and ends as accepted, or says
    // that it found none and stays open.
    void B_OKClick();
    void B_CancelClick();

    QLineEdit* Edit1;
    QPushButton* B_OK;
    QPushButton* B_Cancel;
    // The temperature last accepted (degrees C).
    double temperature = 0.0;

private:
    window_prompts& prompts;
};

// The About box.
class TAboutBox1 : public QDialog {
    Q_OBJECT

public:
    explicit TAboutBox1(QWidget* parent = nullptr);

    QPushButton* OKButton;

protected:
    void showEvent(QShowEvent* event) override;
};

// Created at start-up with the other windows but never shown: a time-shift
// tool between two data sets.
class TF_TimeShift : public QDialog {
    Q_OBJECT

public:
    explicit TF_TimeShift(QWidget* parent = nullptr);
};

// Created at start-up but never shown: a note on the three scattering
// corrections.
class TForm1 : public QDialog {
    Q_OBJECT

public:
    explicit TForm1(QWidget* parent = nullptr);
};

} // namespace vantrel
