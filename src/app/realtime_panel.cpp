#include "app/realtime_panel.hpp"

#include "app/up_down.hpp"
#include "app/widget_names.hpp"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QVBoxLayout>

#include <algorithm>

namespace vantrel {

namespace {

QLabel* info_label(QWidget* parent, const char* name)
{
    auto* label = named(new QLabel(parent), name);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

port_name_box::port_name_box(QWidget* parent) : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    lineEdit()->setPlaceholderText(QStringLiteral("by number"));
    refresh_ports();
    setCurrentIndex(0);
}

void port_name_box::refresh_ports()
{
    const QString typed = currentText();
    QStringList names;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        names.append(info.systemLocation());
    std::sort(names.begin(), names.end());
    clear();
    addItem(QString());
    addItems(names);
    setEditText(typed);
}

void port_name_box::showPopup()
{
    refresh_ports();
    QComboBox::showPopup();
}

TFr_RealTime::TFr_RealTime(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("Fr_RealTime"));

    // Port and device file.
    E_CommPort = named(new QLineEdit(QStringLiteral("1"), this), "E_CommPort");
    E_CommPort->setMaximumWidth(48);
    UD_Port = named(new up_down(0, 100, this), "UD_Port");
    UD_Port->set_associate(E_CommPort);
    UD_Port->set_position(1);
    PD_PortName = named(new port_name_box(this), "PD_PortName");
    PD_PortName->setToolTip(
        QStringLiteral("A serial port by name or path; empty to use the COM port number"));
    E_Device = named(new QLineEdit(this), "E_Device");
    B_Device = named(new QPushButton(QStringLiteral("Select Device File"), this), "B_Device");
    B_Start = named(new QPushButton(QStringLiteral("Start (F1)"), this), "B_Start");
    B_Stop = named(new QPushButton(QStringLiteral("Stop (F2)"), this), "B_Stop");
    B_SaveWCorrections =
        named(new QPushButton(QStringLiteral("Save w/Corrections"), this), "B_SaveWCorrections");
    B_SaveWCorrections->hide();

    auto* port = new QGridLayout;
    port->addWidget(new QLabel(QStringLiteral("COM Port:"), this), 0, 0);
    auto* number = new QHBoxLayout;
    number->setSpacing(1);
    number->addWidget(E_CommPort);
    number->addWidget(UD_Port);
    number->addStretch();
    port->addLayout(number, 0, 1);
    port->addWidget(new QLabel(QStringLiteral("Port name:"), this), 1, 0);
    port->addWidget(PD_PortName, 1, 1);
    port->addWidget(new QLabel(QStringLiteral("Device file:"), this), 2, 0);
    port->addWidget(E_Device, 2, 1);
    port->addWidget(B_Device, 3, 1);
    port->setColumnStretch(1, 1);

    auto* run = new QHBoxLayout;
    run->addWidget(B_Start);
    run->addWidget(B_Stop);
    run->addWidget(B_SaveWCorrections);

    // What the meter and the acquisition report.
    GB_Info = named(new QGroupBox(QStringLiteral("Information and Statistics"), this), "GB_Info");
    L_Clock = info_label(GB_Info, "L_Clock");
    L_FacCalTemp = info_label(GB_Info, "L_FacCalTemp");
    L_Progress = info_label(GB_Info, "L_Progress");
    L_SizeOfFile = info_label(GB_Info, "L_SizeOfFile");
    L_TimeStamp = info_label(GB_Info, "L_TimeStamp");
    L_Serial = info_label(GB_Info, "L_Serial");
    L_InternalTemp = info_label(GB_Info, "L_InternalTemp");
    L_ExternalTemp = info_label(GB_Info, "L_ExternalTemp");
    L_DevFileTempCal = info_label(GB_Info, "L_DevFileTempCal");
    auto* info = new QVBoxLayout(GB_Info);
    info->setSpacing(2);
    for (QLabel* l : {L_Clock, L_FacCalTemp, L_Progress, L_SizeOfFile, L_TimeStamp, L_Serial, L_InternalTemp,
                      L_ExternalTemp, L_DevFileTempCal})
        info->addWidget(l);

    // The corrections previewed in the plots while acquiring.
    GroupBox1 = named(new QGroupBox(QStringLiteral("Preview Corrections"), this), "GroupBox1");
    CB_Temp = named(new QCheckBox(QStringLiteral("Temperature"), GroupBox1), "CB_Temp");
    CB_Saln = named(new QCheckBox(QStringLiteral("Salinity"), GroupBox1), "CB_Saln");
    CB_ScatCorr = named(new QCheckBox(QStringLiteral("Scattering Error"), GroupBox1), "CB_ScatCorr");
    E_Temp = named(new QLineEdit(QStringLiteral("21"), GroupBox1), "E_Temp");
    E_Saln = named(new QLineEdit(QStringLiteral("34"), GroupBox1), "E_Saln");
    PD_ScatType = named(new QComboBox(GroupBox1), "PD_ScatType");
    PD_ScatType->addItems({QStringLiteral("Proportional Correction"), QStringLiteral("Baseline Correction")});
    E_ScatWL = named(new QLineEdit(QStringLiteral("715"), GroupBox1), "E_ScatWL");
    UpDown1 = named(new up_down(-32767, 32767, GroupBox1), "UpDown1");
    for (QLineEdit* e : {E_Temp, E_Saln, E_ScatWL})
        e->setFixedWidth(64);

    auto* preview = new QGridLayout(GroupBox1);
    preview->addWidget(CB_Temp, 0, 0);
    preview->addWidget(E_Temp, 0, 1);
    preview->addWidget(new QLabel(QStringLiteral("C"), GroupBox1), 0, 2);
    preview->addWidget(CB_Saln, 1, 0);
    preview->addWidget(E_Saln, 1, 1);
    preview->addWidget(new QLabel(QStringLiteral("psu"), GroupBox1), 1, 2);
    preview->addWidget(CB_ScatCorr, 2, 0, 1, 3);
    preview->addWidget(PD_ScatType, 3, 0, 1, 3);
    preview->addWidget(new QLabel(QStringLiteral("reference wavelength:"), GroupBox1), 4, 0);
    auto* wl = new QHBoxLayout;
    wl->setSpacing(1);
    wl->addWidget(E_ScatWL);
    wl->addWidget(UpDown1);
    preview->addLayout(wl, 4, 1);
    preview->addWidget(new QLabel(QStringLiteral("nm"), GroupBox1), 4, 2);
    preview->setColumnStretch(0, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(port);
    layout->addLayout(run);
    layout->addWidget(GB_Info);
    layout->addWidget(GroupBox1);
    layout->addStretch();
}

} // namespace vantrel
