#include "plots/data_frame.hpp"

#include "common/text_numbers.hpp"
#include "corrections/water_cal.hpp"
#include "dataset/ixo_data.hpp"
#include "plots/devfile_rewrite.hpp"
#include "plots/plot_prompts.hpp"

#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <limits>

namespace vantrel {

namespace {

constexpr int grid_columns = 3;

// One row of the grid and the spectrum it plots.
struct pick_row {
    QString title;
    QString time;
    QString depth;
    ixo_data spectrum;
};

QString general(double v)
{
    return QString::fromStdString(text::general(v));
}

QPushButton* button(const char* name, const QString& text, QWidget* parent)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    return b;
}

void plot_spectrum(QCPGraph* graph, const std::deque<double>& wavelengths, const std::vector<double>& values)
{
    QCPGraphDataContainer& points = *graph->data();
    const std::size_t n = std::min(wavelengths.size(), values.size());
    for (std::size_t i = 0; i < n; ++i)
        if (std::isfinite(wavelengths[i]) && std::isfinite(values[i]))
            points.add(QCPGraphData(wavelengths[i], values[i]));
}

} // namespace

TFr_Data::TFr_Data(QWidget* parent) : TFr_ParentFrame(parent)
{
    setObjectName("TFr_Data");
    iPlot1 = new plot_view("Selected Spectra (a solid, c dashed)", "Wavelength (nm)", "a, c (1/m)", this);
    iPlot1->setMinimumHeight(220);

    SG_List = new QTableWidget(1, grid_columns, this);
    SG_List->setObjectName("SG_List");
    SG_List->setHorizontalHeaderLabels({"Spectra Shown:", "Time:", "Depth:"});
    SG_List->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    SG_List->horizontalHeader()->setStretchLastSection(true);
    SG_List->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    SG_List->verticalHeader()->setVisible(false);
    SG_List->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    SG_List->verticalHeader()->setDefaultSectionSize(16);
    SG_List->setSelectionBehavior(QAbstractItemView::SelectRows);
    SG_List->setSelectionMode(QAbstractItemView::ContiguousSelection);
    SG_List->setEditTriggers(QAbstractItemView::NoEditTriggers);
    SG_List->setMinimumHeight(100);

    B_RemoveSelected = button("B_RemoveSelected", "Remove Selected Data", this);
    B_RemoveAll = button("B_RemoveAll", "Remove All", this);
    B_SaveRange = button("B_SaveRange", "Save Selected Range", this);
    B_SaveWater = button("B_SaveWater", "Save As Water File", this);
    B_SaveDev = button("B_SaveDev", "Save As Dev File", this);
    L_Note = new QLabel("Note:  When you save data, both a and c channels are saved.", this);
    L_Note->setObjectName("L_Note");

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(iPlot1, 3);
    layout->addWidget(SG_List, 1);
    auto* buttons = new QGridLayout;
    buttons->addWidget(B_RemoveSelected, 0, 0);
    buttons->addWidget(B_RemoveAll, 0, 1);
    buttons->addWidget(B_SaveRange, 1, 0);
    buttons->addWidget(B_SaveWater, 1, 1);
    buttons->addWidget(B_SaveDev, 1, 2);
    layout->addLayout(buttons);
    layout->addWidget(L_Note);

    connect_button(B_RemoveSelected, &TFr_Data::B_RemoveSelectedClick);
    connect_button(B_RemoveAll, &TFr_Data::B_RemoveAllClick);
    connect_button(B_SaveRange, &TFr_Data::B_SaveRangeClick);
    connect_button(B_SaveWater, &TFr_Data::B_SaveWaterClick);
    connect_button(B_SaveDev, &TFr_Data::B_SaveDevClick);

    Redraw();
}

void TFr_Data::connect_button(QPushButton* b, void (TFr_Data::*handler)())
{
    connect(b, &QPushButton::clicked, this, [this, b, handler] {
        report_errors(prompts(), b->text().toStdString(), [this, handler] { (this->*handler)(); });
    });
}

void TFr_Data::SetDataSet(IXO_Data* ds)
{
    data_ = ds;
    picks_.clear();
    // The grid empties at once too: rows of the old data set must not stay
    // on show, nor the saves enabled, until the next refresh.
    Redraw();
}

void TFr_Data::Redraw()
{
    // The spectra first: a failed correction leaves the grid and plot as they were.
    std::vector<pick_row> rows;
    if (data_ != nullptr) {
        const auto time_of = [this](std::int32_t r) {
            return r >= 0 && static_cast<std::size_t>(r) < data_->records.size()
                       ? data_->records[static_cast<std::size_t>(r)].time
                       : std::numeric_limits<double>::quiet_NaN();
        };
        const auto pres_of = [this](std::int32_t r) {
            return r >= 0 && static_cast<std::size_t>(r) < data_->aux_merged.rows.size()
                       ? data_->aux_merged.rows[static_cast<std::size_t>(r)].pres
                       : std::numeric_limits<double>::quiet_NaN();
        };
        for (const single_pick& p : picks_.singles()) {
            pick_row row;
            row.title = QString::asprintf("Line %i", p.record);
            row.time = general(time_of(p.record));
            row.depth = data_->ctd_merged ? general(pres_of(p.record)) : QString("n/a");
            row.spectrum = data_->correct_one_line(p.record);
            rows.push_back(std::move(row));
        }
        for (const range_pick& p : picks_.ranges()) {
            pick_row row;
            row.title = QString::asprintf("Lines %i - %i", p.start, p.end);
            row.time = QString::asprintf("%f - %f", time_of(p.start), time_of(p.end));
            row.depth = data_->ctd_merged ? QString::asprintf("%.2f - %.2f", pres_of(p.start), pres_of(p.end))
                                          : QString("n/a");
            row.spectrum = mean_corrected(*data_, covered_records(p));
            rows.push_back(std::move(row));
        }
    }

    iPlot1->clearGraphs();
    SG_List->clearContents();
    SG_List->setRowCount(std::max<int>(1, static_cast<int>(rows.size())));
    const bool any = !rows.empty();
    B_SaveRange->setEnabled(any);
    B_SaveWater->setEnabled(any);
    B_SaveDev->setEnabled(any);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const pick_row& row = rows[r];
        const auto at = static_cast<int>(r);
        SG_List->setItem(at, 0, new QTableWidgetItem(row.title));
        SG_List->setItem(at, 1, new QTableWidgetItem(row.time));
        SG_List->setItem(at, 2, new QTableWidgetItem(row.depth));

        // Channels 2r (a) and 2r + 1 (c) in one colour; only a is in the legend.
        const QColor colour = series_colour(r);
        QCPGraph* a = iPlot1->add_channel(row.title, colour, plot_view::channel_look::line);
        QCPGraph* c = iPlot1->add_channel(row.title, colour, plot_view::channel_look::dashed_line);
        c->removeFromLegend();
        plot_spectrum(a, data_->a_wavelengths, row.spectrum.a);
        plot_spectrum(c, data_->c_wavelengths, row.spectrum.c);
    }
    if (any)
        iPlot1->zoom_to_fit();
    iPlot1->replot(QCustomPlot::rpQueuedReplot);
}

void TFr_Data::show_window()
{
    QWidget* w = window();
    w->show();
    w->raise();
    w->activateWindow();
}

void TFr_Data::add_single(std::int32_t record, bool flag)
{
    if (data_ == nullptr)
        return;
    show_window();
    picks_.add_single(record, flag);
    Redraw();
}

void TFr_Data::add_range(std::int32_t start, std::int32_t end, bool flag)
{
    if (data_ == nullptr)
        return;
    show_window();
    picks_.add_range(start, end, flag);
    Redraw();
}

std::pair<std::int32_t, std::int32_t> TFr_Data::selected_rows() const
{
    const auto ranges = SG_List->selectedRanges();
    if (ranges.isEmpty()) {
        // As in a string grid, the current row counts as highlighted.
        const std::int32_t row = std::max(0, SG_List->currentRow());
        return {row, row};
    }
    std::int32_t top = ranges.front().topRow();
    std::int32_t bottom = ranges.front().bottomRow();
    for (const QTableWidgetSelectionRange& r : ranges) {
        top = std::min(top, r.topRow());
        bottom = std::max(bottom, r.bottomRow());
    }
    return {top, bottom};
}

std::vector<std::int32_t> TFr_Data::selected_records() const
{
    const auto [top, bottom] = selected_rows();
    return picks_.records_of_rows(top, bottom);
}

void TFr_Data::B_RemoveSelectedClick()
{
    if (picks_.empty())
        return;
    const auto [top, bottom] = selected_rows();
    picks_.remove_rows(top, bottom);
    SG_List->clearSelection();
    Redraw();
}

void TFr_Data::B_RemoveAllClick()
{
    picks_.clear();
    Redraw();
}

std::string TFr_Data::data_file_less(std::size_t chars) const
{
    const std::string& name = data_->data_file;
    return name.substr(0, name.size() - std::min(chars, name.size()));
}

void TFr_Data::B_SaveRangeClick()
{
    if (data_ == nullptr || picks_.empty())
        return;
    const auto path = prompts().save_file_name("Save Selected Range", "Data Files (*.dat);;All Files (*)",
                                               data_file_less(4) + "_chunk.dat");
    if (path)
        data_->save_records(*path, selected_records());
}

void TFr_Data::B_SaveWaterClick()
{
    if (data_ == nullptr || picks_.empty())
        return;
    std::vector<std::int32_t> indices = selected_records();
    const ixo_data mean = make_water_cal(*data_, indices, text::leading_double(last_water_temperature_));

    water_cal_preview preview;
    preview.a_wavelengths.assign(data_->a_wavelengths.begin(), data_->a_wavelengths.end());
    preview.c_wavelengths.assign(data_->c_wavelengths.begin(), data_->c_wavelengths.end());
    preview.a_values = mean.a;
    preview.c_values = mean.c;
    const auto temperature = prompts().make_water_cal(preview);
    if (!temperature)
        return;
    last_water_temperature_ = *temperature;

    const auto path =
        prompts().save_file_name("Save Water Calibration", "Water Calibration Files (*.wcf);;All Files (*)",
                                 data_file_less(4) + "_water.wcf");
    if (path)
        data_->save_water_cal(*path, indices, text::leading_double(*temperature));
}

void TFr_Data::B_SaveDevClick()
{
    if (data_ == nullptr || picks_.empty())
        return;
    const auto path = prompts().save_file_name("Save Device File", "Device Files (*.dev);;All Files (*)",
                                               data_file_less(3) + "dev");
    if (path)
        save_devfile(*data_, selected_records(), *path);
}

TF_FData::TF_FData(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName("F_FData");
    setWindowTitle("Selected Data");
    resize(560, 560);
    frame_ = new TFr_Data(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(frame_);
}

} // namespace vantrel
