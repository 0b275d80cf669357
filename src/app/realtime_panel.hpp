#pragma once

#include <QComboBox>
#include <QFrame>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vantrel {

class up_down;

// An editable list of the serial ports the system has, by name; empty text
// means the port is chosen by its number. The list is read afresh whenever
// it opens, so a meter plugged in later is offered too.
class port_name_box : public QComboBox {
    Q_OBJECT

public:
    explicit port_name_box(QWidget* parent = nullptr);
    void refresh_ports();
    void showPopup() override;
};

// The page "Data Acquisition": port, device file, start and stop, the
// meter's live state and the preview corrections.
class TFr_RealTime : public QFrame {
    Q_OBJECT

public:
    explicit TFr_RealTime(QWidget* parent = nullptr);

    QLineEdit* E_CommPort;
    up_down* UD_Port;
    port_name_box* PD_PortName;
    QLineEdit* E_Device;
    QPushButton* B_Device;
    QPushButton* B_Start;
    QPushButton* B_Stop;
    QPushButton* B_SaveWCorrections;

    QGroupBox* GB_Info;
    QLabel* L_Clock;
    QLabel* L_FacCalTemp;
    QLabel* L_Progress;
    QLabel* L_SizeOfFile;
    QLabel* L_TimeStamp;
    QLabel* L_Serial;
    QLabel* L_InternalTemp;
    QLabel* L_ExternalTemp;
    QLabel* L_DevFileTempCal;

    QGroupBox* GroupBox1;
    QCheckBox* CB_Temp;
    QCheckBox* CB_Saln;
    QCheckBox* CB_ScatCorr;
    QLineEdit* E_Temp;
    QLineEdit* E_Saln;
    QComboBox* PD_ScatType;
    QLineEdit* E_ScatWL;
    up_down* UpDown1;
};

} // namespace vantrel
