#include "app/postprocess_panel.hpp"

#include "app/up_down.hpp"
#include "app/widget_names.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace vantrel {

namespace {

QFrame* strip(QWidget* parent, const char* name)
{
    auto* f = named(new QFrame(parent), name);
    f->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    return f;
}

QLineEdit* file_box(QWidget* parent, const char* name, const QString& text)
{
    auto* e = named(new QLineEdit(text, parent), name);
    e->setReadOnly(true);
    return e;
}

} // namespace

TFr_PostProcess::TFr_PostProcess(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("Fr_PostProcess"));
    const QString no_file = QStringLiteral("(no file loaded)");

    Panel_File = strip(this, "Panel_File");
    B_OpenIXO = named(new QPushButton(QStringLiteral("Load ac Data"), Panel_File), "B_OpenIXO");
    E_IXOFile = file_box(Panel_File, "E_IXOFile", no_file);
    auto* file = new QVBoxLayout(Panel_File);
    file->addWidget(B_OpenIXO, 0, Qt::AlignLeft);
    file->addWidget(E_IXOFile);

    Panel_Water = strip(this, "Panel_Water");
    B_LoadWater = named(new QPushButton(QStringLiteral("Load Water"), Panel_Water), "B_LoadWater");
    B_LoadWater->setEnabled(false);
    E_Water = file_box(Panel_Water, "E_Water", QString());
    L_WaterTemp = named(new QLabel(Panel_Water), "L_WaterTemp");
    L_WaterTemp->hide();
    CB_Water = named(new QCheckBox(QStringLiteral("Apply Water Calibration"), Panel_Water), "CB_Water");
    CB_Water->hide();
    auto* water = new QVBoxLayout(Panel_Water);
    water->addWidget(B_LoadWater, 0, Qt::AlignLeft);
    water->addWidget(E_Water);
    water->addWidget(L_WaterTemp);
    water->addWidget(CB_Water);
    Panel_Water->hide();

    Panel_Corrections = strip(this, "Panel_Corrections");
    QWidget* c = Panel_Corrections;
    B_LoadCTD = named(new QPushButton(QStringLiteral("Load CTD Data"), c), "B_LoadCTD");
    E_CTDFile = file_box(c, "E_CTDFile", no_file);
    const QStringList sources = {QStringLiteral("Constant"), QStringLiteral("CTD Not Loaded")};
    CB_Temp = named(new QCheckBox(QStringLiteral("Temperature"), c), "CB_Temp");
    PD_Temp = named(new QComboBox(c), "PD_Temp");
    PD_Temp->addItems(sources);
    E_Temp = named(new QLineEdit(QStringLiteral("21"), c), "E_Temp");
    L_TempUnit = named(new QLabel(QStringLiteral("C"), c), "L_TempUnit");
    CB_Saln = named(new QCheckBox(QStringLiteral("Salinity"), c), "CB_Saln");
    PD_Saln = named(new QComboBox(c), "PD_Saln");
    PD_Saln->addItems(sources);
    E_Saln = named(new QLineEdit(QStringLiteral("17"), c), "E_Saln");
    L_SalnUnit = named(new QLabel(QStringLiteral("psu"), c), "L_SalnUnit");
    CB_ScatCorr = named(new QCheckBox(QStringLiteral("Scattering Correction"), c), "CB_ScatCorr");
    PD_ScatType = named(new QComboBox(c), "PD_ScatType");
    PD_ScatType->addItems({QStringLiteral("Proportional Correction"), QStringLiteral("Baseline Correction"),
                           QStringLiteral("Percentage of b (14%)")});
    E_ScatWL = named(new QLineEdit(QStringLiteral("715"), c), "E_ScatWL");
    UpDown1 = named(new up_down(-32676, 32676, c), "UpDown1");
    for (QLineEdit* e : {E_Temp, E_Saln, E_ScatWL})
        e->setFixedWidth(52);
    PD_Temp->setCurrentIndex(0);
    PD_Saln->setCurrentIndex(0);
    PD_ScatType->setCurrentIndex(0);

    auto* corrections = new QGridLayout(c);
    corrections->addWidget(B_LoadCTD, 0, 0, 1, 4, Qt::AlignLeft);
    corrections->addWidget(E_CTDFile, 1, 0, 1, 4);
    corrections->addWidget(new QLabel(QStringLiteral("Source of Value"), c), 2, 1, 1, 3);
    corrections->addWidget(CB_Temp, 3, 0);
    corrections->addWidget(PD_Temp, 3, 1);
    corrections->addWidget(E_Temp, 3, 2);
    corrections->addWidget(L_TempUnit, 3, 3);
    corrections->addWidget(CB_Saln, 4, 0);
    corrections->addWidget(PD_Saln, 4, 1);
    corrections->addWidget(E_Saln, 4, 2);
    corrections->addWidget(L_SalnUnit, 4, 3);
    corrections->addWidget(CB_ScatCorr, 5, 0, 1, 4);
    corrections->addWidget(PD_ScatType, 6, 0, 1, 4);
    corrections->addWidget(new QLabel(QStringLiteral("reference wavelength:"), c), 7, 0, 1, 2);
    auto* wl = new QHBoxLayout;
    wl->setSpacing(1);
    wl->addWidget(E_ScatWL);
    wl->addWidget(UpDown1);
    corrections->addLayout(wl, 7, 2, 1, 2);
    corrections->setColumnStretch(0, 1);

    Panel_Save = strip(this, "Panel_Save");
    B_Save = named(new QPushButton(QStringLiteral("Save"), Panel_Save), "B_Save");
    auto* save = new QHBoxLayout(Panel_Save);
    save->addWidget(B_Save, 0, Qt::AlignLeft);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Panel_File);
    layout->addWidget(Panel_Water);
    layout->addWidget(Panel_Corrections);
    layout->addWidget(Panel_Save);
    layout->addStretch();
}

} // namespace vantrel
