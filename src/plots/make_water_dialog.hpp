#pragma once

#include "plots/plot_prompts.hpp"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vantrel {

class plot_view;

// "Make Water Cal": shows the mean spectra of the chosen records and asks
// for the temperature of the water they were measured in.
class TF_MakeWater : public QDialog {
    Q_OBJECT

public:
    // `prompts` shows the dialog's own message (the missing temperature).
    explicit TF_MakeWater(plot_prompts& prompts, QWidget* parent = nullptr);

    QLineEdit* E_Temp = nullptr;
    plot_view* iPlot1 = nullptr;
    QPushButton* B_MakeWater = nullptr;
    QPushButton* B_Cancel = nullptr;
    QLabel* L_Note = nullptr;
    // Kept for the post-processing panel's settings; never shown.
    QComboBox* PD_ScatType = nullptr;
    QLineEdit* E_ScatWL = nullptr;

    // Clears the plot and the temperature box and plots the mean spectra.
    void prepare(const water_cal_preview& preview);
    // Copies the post-processing panel's scattering choice into the hidden controls.
    void set_scattering(int item_index, const QString& reference_wavelength);

    // "Make Water Cal File": closes with OK unless the temperature box is empty.
    void B_MakeWaterClick();

private:
    plot_prompts& prompts_;
};

} // namespace vantrel
