#pragma once

#include <QFrame>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vantrel {

class up_down;

// The page "Post Processing": the data file, the water blank, the
// corrections with their sources, and the save of the processed file.
class TFr_PostProcess : public QFrame {
    Q_OBJECT

public:
    explicit TFr_PostProcess(QWidget* parent = nullptr);

    QFrame* Panel_File;
    QPushButton* B_OpenIXO;
    QLineEdit* E_IXOFile;

    QFrame* Panel_Water;
    QPushButton* B_LoadWater;
    QLineEdit* E_Water;
    QLabel* L_WaterTemp;
    QCheckBox* CB_Water;

    QFrame* Panel_Corrections;
    QPushButton* B_LoadCTD;
    QLineEdit* E_CTDFile;
    QCheckBox* CB_Temp;
    QComboBox* PD_Temp;
    QLineEdit* E_Temp;
    QLabel* L_TempUnit;
    QCheckBox* CB_Saln;
    QComboBox* PD_Saln;
    QLineEdit* E_Saln;
    QLabel* L_SalnUnit;
    QCheckBox* CB_ScatCorr;
    QComboBox* PD_ScatType;
    QLineEdit* E_ScatWL;
    up_down* UpDown1;

    QFrame* Panel_Save;
    QPushButton* B_Save;
};

} // namespace vantrel
