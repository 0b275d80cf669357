#include "plots/make_water_dialog.hpp"

#include "plots/plot_view.hpp"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace vantrel {

namespace {

void plot_values(QCPGraph* graph, const std::vector<double>& wavelengths, const std::vector<double>& values)
{
    const std::size_t n = std::min(wavelengths.size(), values.size());
    for (std::size_t i = 0; i < n; ++i)
        if (std::isfinite(wavelengths[i]) && std::isfinite(values[i]))
            graph->data()->add(QCPGraphData(wavelengths[i], values[i]));
}

} // namespace

TF_MakeWater::TF_MakeWater(plot_prompts& prompts, QWidget* parent) : QDialog(parent), prompts_(prompts)
{
    setObjectName("F_MakeWater");
    setWindowTitle("Make Water Cal");
    setModal(true);
    resize(560, 440);

    L_Note = new QLabel("These values came from your previous selections.", this);
    L_Note->setObjectName("L_Note");
    iPlot1 = new plot_view("Water Calibration", "Wavelength (nm)", "a, c (1/m)", this);
    iPlot1->add_channel("Absorption", absorption_colour(), plot_view::channel_look::line_and_markers);
    iPlot1->add_channel("Attenuation", attenuation_colour(), plot_view::channel_look::line_and_markers);

    E_Temp = new QLineEdit(this);
    E_Temp->setObjectName("E_Temp");
    E_Temp->setMaximumWidth(80);
    B_MakeWater = new QPushButton("Make Water Cal File", this);
    B_MakeWater->setObjectName("B_MakeWater");
    B_MakeWater->setDefault(true);
    B_Cancel = new QPushButton("Cancel", this);
    B_Cancel->setObjectName("B_Cancel");
    PD_ScatType = new QComboBox(this);
    PD_ScatType->setObjectName("PD_ScatType");
    PD_ScatType->addItems({"Proportional Correction", "Baseline Correction", "Percentage of b (14%)"});
    PD_ScatType->setVisible(false);
    E_ScatWL = new QLineEdit(this);
    E_ScatWL->setObjectName("E_ScatWL");
    E_ScatWL->setVisible(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(L_Note);
    layout->addWidget(iPlot1, 1);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel("Temperature:", this));
    row->addWidget(E_Temp);
    row->addWidget(new QLabel("C", this));
    row->addStretch(1);
    row->addWidget(B_MakeWater);
    row->addWidget(B_Cancel);
    layout->addLayout(row);

    connect(B_MakeWater, &QPushButton::clicked, this, &TF_MakeWater::B_MakeWaterClick);
    connect(B_Cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TF_MakeWater::prepare(const water_cal_preview& preview)
{
    for (int i = 0; i < 2; ++i)
        iPlot1->graph(i)->data()->clear();
    E_Temp->clear();
    plot_values(iPlot1->graph(0), preview.a_wavelengths, preview.a_values);
    plot_values(iPlot1->graph(1), preview.c_wavelengths, preview.c_values);
    iPlot1->zoom_to_fit();
    iPlot1->replot(QCustomPlot::rpQueuedReplot);
}

void TF_MakeWater::set_scattering(int item_index, const QString& reference_wavelength)
{
    PD_ScatType->setCurrentIndex(item_index);
    E_ScatWL->setText(reference_wavelength);
}

void TF_MakeWater::B_MakeWaterClick()
{
    if (E_Temp->text().isEmpty()) {
        prompts_.message("You must provide a temperature to create a water calibration file.",
                         "How warm was it?");
        return;
    }
    accept();
}

} // namespace vantrel
