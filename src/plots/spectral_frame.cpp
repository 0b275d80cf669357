#include "plots/spectral_frame.hpp"

#include "dataset/ixo_data.hpp"
#include "plots/plot_prompts.hpp"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace vantrel {

TFr_Spectral::TFr_Spectral(QWidget* parent) : TFr_ParentFrame(parent)
{
    setObjectName("TFr_Spectral");
    resize(451, 304);
    plot_ = new plot_view("Spectral View", "Wavelength (nm)", "a, c (1/m)", this);
    toolbar_ = new plot_toolbar(plot_, false, this);
    channels_[0] =
        plot_->add_channel("Absorption", absorption_colour(), plot_view::channel_look::line_and_markers);
    channels_[1] =
        plot_->add_channel("Attenuation", attenuation_colour(), plot_view::channel_look::line_and_markers);
    plot_->yAxis->setRange(0.0, 0.1);

    SB_Number = new QScrollBar(Qt::Horizontal, this);
    SB_Number->setObjectName("SB_Number");
    SB_Number->setRange(1, 1);
    SB_Number->setValue(1);
    SB_Number->setPageStep(10);
    L_xofxxx = new QLabel(this);
    L_xofxxx->setObjectName("L_xofxxx");
    L_Temp = new QLabel(this);
    L_Temp->setObjectName("L_Temp");
    L_Saln = new QLabel(this);
    L_Saln->setObjectName("L_Saln");
    CB_Zoom = new QCheckBox("Zoom to fit", this);
    CB_Zoom->setObjectName("CB_Zoom");
    CB_Zoom->setChecked(true);
    CB_RealTime = new QCheckBox("Show most recent", this);
    CB_RealTime->setObjectName("CB_RealTime");
    CB_RealTime->setChecked(false);
    CB_RealTime->setVisible(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 4);
    layout->setSpacing(2);
    layout->addWidget(toolbar_);
    layout->addWidget(plot_, 1);
    layout->addWidget(SB_Number);
    auto* row = new QHBoxLayout;
    row->setSpacing(16);
    row->addWidget(L_xofxxx);
    row->addWidget(L_Temp);
    row->addWidget(L_Saln);
    row->addStretch(1);
    row->addWidget(CB_RealTime);
    row->addWidget(CB_Zoom);
    layout->addLayout(row);

    const auto report = [this](const std::function<void()>& handler) {
        report_errors(prompts(), "Spectral View", handler);
    };
    connect(SB_Number, &QScrollBar::valueChanged, this, [this, report] { report([this] { Redraw(); }); });
    connect(CB_RealTime, &QCheckBox::toggled, this, [this] { real_time_changed(); });
    connect(toolbar_, &plot_toolbar::resumed, this, [this] {
        plot_->zoom_to_fit();
        plot_->replot();
    });
}

void TFr_Spectral::SetDataSet(IXO_Data* ds)
{
    data_ = ds;
    {
        const QSignalBlocker block(SB_Number);
        SB_Number->setValue(1);
    }
    for (std::size_t ch = 0; ch < 2; ++ch) {
        channels_[ch]->data()->clear();
        point_indices_[ch].clear();
    }
    shown_ = -1;
    L_Temp->clear();
    L_Saln->clear();
    Redraw();
    plot_->zoom_axis_to_fit(plot_->yAxis);
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

void TFr_Spectral::fill(std::size_t channel, const std::deque<double>& wavelengths,
                        const std::vector<double>& values, std::size_t count)
{
    QCPGraphDataContainer& points = *channels_[channel]->data();
    points.clear();
    point_indices_[channel].clear();
    count = std::min({count, wavelengths.size(), values.size()});
    for (std::size_t i = 0; i < count; ++i) {
        if (!std::isfinite(wavelengths[i]) || !std::isfinite(values[i]))
            continue;
        points.add(QCPGraphData(wavelengths[i], values[i]));
    }
    // The points are kept by wavelength; note which index each one came from.
    std::vector<std::int32_t>& indices = point_indices_[channel];
    for (std::size_t i = 0; i < count; ++i)
        if (std::isfinite(wavelengths[i]) && std::isfinite(values[i]))
            indices.push_back(static_cast<std::int32_t>(i));
    std::stable_sort(indices.begin(), indices.end(), [&wavelengths](std::int32_t x, std::int32_t y) {
        return wavelengths[static_cast<std::size_t>(x)] < wavelengths[static_cast<std::size_t>(y)];
    });
}

void TFr_Spectral::Redraw()
{
    if (data_ == nullptr || data_->records.empty())
        return;
    const auto count = static_cast<std::int32_t>(data_->records.size());
    const bool newest = CB_RealTime->isChecked();
    SB_Number->setVisible(!newest);
    const std::int32_t shown = newest ? count - 1 : std::clamp(SB_Number->value() - 1, 0, count - 1);

    const ixo_data rec = data_->correct_one_line(shown);
    shown_ = shown;
    // As many points as there are a wavelengths, in both channels.
    const std::size_t n = data_->a_wavelengths.size();
    fill(0, data_->a_wavelengths, rec.a, n);
    fill(1, data_->c_wavelengths, rec.c, n);
    if (CB_Zoom->isChecked())
        plot_->zoom_to_fit();

    {
        const QSignalBlocker block(SB_Number);
        SB_Number->setMaximum(count);
    }
    L_xofxxx->setText(QString::asprintf("Line number %i of %i", shown + 1, SB_Number->maximum()));
    const auto& rows = data_->aux_merged.rows;
    if (data_->ctd_merged && static_cast<std::size_t>(shown) < rows.size()) {
        const ctd_struct& row = rows[static_cast<std::size_t>(shown)];
        L_Temp->setText(QString::asprintf("Temp: %.1f C", row.temp));
        L_Saln->setText(QString::asprintf("Saln: %.1f psu", row.saln));
        L_Temp->setVisible(true);
        L_Saln->setVisible(true);
    }
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

void TFr_Spectral::SetLiveMode(bool live)
{
    CB_RealTime->setChecked(live);
}

void TFr_Spectral::real_time_changed()
{
    SB_Number->setVisible(!CB_RealTime->isChecked());
}

std::vector<plotted_point> TFr_Spectral::channel_points(int channel) const
{
    const auto ch = static_cast<std::size_t>(channel);
    return plot_view::points_of(channels_.at(ch), point_indices_.at(ch));
}

} // namespace vantrel
