#include "plots/time_frame.hpp"

#include "dataset/ixo_data.hpp"
#include "plots/plot_prompts.hpp"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <limits>

namespace vantrel {

namespace {

const QString values_label = "a, c (1/m)";
const QString time_label = "Time (ms)";
constexpr double grab_distance = 10.0; // pixels

QScrollBar* wavelength_bar(const char* name, QWidget* parent)
{
    auto* bar = new QScrollBar(Qt::Horizontal, parent);
    bar->setObjectName(name);
    bar->setRange(0, 0);
    bar->setPageStep(1);
    return bar;
}

QCheckBox* check_box(const char* name, const QString& text, bool checked, QWidget* parent)
{
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(name);
    box->setChecked(checked);
    return box;
}

void set_position_quietly(QScrollBar* bar, int position)
{
    const QSignalBlocker block(bar);
    bar->setValue(position);
}

std::int32_t last_index(std::size_t count)
{
    return count == 0 ? 0 : static_cast<std::int32_t>(count - 1);
}

// Time axes read as whole milliseconds, not in exponent form.
void time_ticks(QCPAxis* axis, bool is_time)
{
    axis->setNumberFormat(is_time ? "f" : "gb");
    axis->setNumberPrecision(is_time ? 0 : 6);
}

} // namespace

// ---------------------------------------------------------------- series_frame

series_frame::series_frame(const QString& title, const QString& x_label, const QString& y_label,
                           bool with_data_cursors, QWidget* parent)
    : TFr_ParentFrame(parent)
{
    resize(451, 304);
    plot_ = new plot_view(title, x_label, y_label, this);
    toolbar_ = new plot_toolbar(plot_, with_data_cursors, this);

    L_awl = new QLabel(this);
    L_awl->setObjectName("L_awl");
    L_cwl = new QLabel(this);
    L_cwl->setObjectName("L_cwl");
    for (QLabel* label : {L_awl, L_cwl})
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance("C wavelength: 8888.8  "));
    SB_awl = wavelength_bar("SB_awl", this);
    SB_cwl = wavelength_bar("SB_cwl", this);
    CB_Sync = check_box("CB_Sync", "Synchronize Wavelengths", true, this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 4);
    layout->setSpacing(2);
    top_row_ = new QHBoxLayout;
    top_row_->addWidget(toolbar_);
    top_row_->addStretch(1);
    layout->addLayout(top_row_);
    layout->addWidget(plot_, 1);
    auto* bars = new QGridLayout;
    bars->setHorizontalSpacing(8);
    bars->setVerticalSpacing(2);
    bars->addWidget(L_awl, 0, 0);
    bars->addWidget(SB_awl, 0, 1);
    bars->addWidget(L_cwl, 1, 0);
    bars->addWidget(SB_cwl, 1, 1);
    bars->setColumnStretch(1, 1);
    layout->addLayout(bars);
    option_row_ = new QHBoxLayout;
    option_row_->addWidget(CB_Sync);
    option_row_->addStretch(1);
    layout->addLayout(option_row_);

    connect(SB_awl, &QScrollBar::valueChanged, this, [this] { report([this] { SB_awlChange(); }); });
    connect(SB_cwl, &QScrollBar::valueChanged, this, [this] { report([this] { SB_cwlChange(); }); });
    connect(plot_, &QCustomPlot::plottableClick, this,
            [this](QCPAbstractPlottable* p, int index, QMouseEvent*) {
                if (suppress_click())
                    return;
                for (int ch = 0; ch < 2; ++ch)
                    if (p == channels_[static_cast<std::size_t>(ch)])
                        report([this, ch, index] { click_point(ch, index); });
            });
}

void series_frame::report(const std::function<void()>& handler)
{
    report_errors(prompts(), plot_->title_element()->text().toStdString(), handler);
}

void series_frame::make_channels(QCPAxis* key_axis, QCPAxis* value_axis)
{
    plot_->clearGraphs();
    channels_[0] = plot_->add_channel("Absorption", absorption_colour(), plot_view::channel_look::markers,
                                      key_axis, value_axis);
    channels_[1] = plot_->add_channel("Attenuation", attenuation_colour(), plot_view::channel_look::markers,
                                      key_axis, value_axis);
    point_records_[0].clear();
    point_records_[1].clear();
}

void series_frame::clear_channels()
{
    for (std::size_t ch = 0; ch < 2; ++ch) {
        channels_[ch]->data()->clear();
        point_records_[ch].clear();
    }
}

void series_frame::fill_channel(int channel, const std::deque<double>& values,
                                const std::vector<double>& keys)
{
    const auto ch = static_cast<std::size_t>(channel);
    QCPGraphDataContainer& points = *channels_[ch]->data();
    std::vector<std::int32_t>& records = point_records_[ch];
    points.clear();
    records.clear();
    const std::size_t count = std::min(keys.size(), values.size());

    // Points go in by key. Records in time order go straight in; a profile
    // (or a clock that stepped back) is sorted first.
    auto value = values.begin();
    double last = -std::numeric_limits<double>::infinity();
    bool sorted = true;
    for (std::size_t i = 0; i < count && sorted; ++i, ++value) {
        const double key = keys[i];
        if (!std::isfinite(key) || !std::isfinite(*value))
            continue;
        sorted = key >= last;
        if (!sorted)
            break;
        last = key;
        points.add(QCPGraphData(key, *value));
        records.push_back(static_cast<std::int32_t>(i));
    }
    if (sorted)
        return;

    points.clear();
    records.clear();
    scratch_.clear();
    value = values.begin();
    for (std::size_t i = 0; i < count; ++i, ++value)
        if (std::isfinite(keys[i]) && std::isfinite(*value))
            scratch_.emplace_back(keys[i], static_cast<std::int32_t>(i));
    std::stable_sort(scratch_.begin(), scratch_.end(),
                     [](const auto& p, const auto& q) { return p.first < q.first; });
    for (const auto& [key, record] : scratch_) {
        points.add(QCPGraphData(key, values[static_cast<std::size_t>(record)]));
        records.push_back(record);
    }
}

bool series_frame::draw_series()
{
    if (data_ == nullptr || data_->records.empty())
        return false;
    const auto [ia, ic] = show_wavelengths();
    clear_channels();
    const std::deque<double> a = data_->corrected_series(true, ia);
    const std::deque<double> c = data_->corrected_series(false, ic);
    keys_.clear();
    gather_keys(keys_);
    fill_channel(0, a, keys_);
    fill_channel(1, c, keys_);
    return true;
}

std::vector<plotted_point> series_frame::channel_points(int channel) const
{
    const auto ch = static_cast<std::size_t>(channel);
    return plot_view::points_of(channels_.at(ch), point_records_.at(ch));
}

void series_frame::click_point(int channel, int point)
{
    const auto& records = point_records_.at(static_cast<std::size_t>(channel));
    if (point < 0 || static_cast<std::size_t>(point) >= records.size())
        return;
    emit single_picked(records[static_cast<std::size_t>(point)], channel == 0);
}

void series_frame::set_scroll_ranges()
{
    const QSignalBlocker block_a(SB_awl);
    const QSignalBlocker block_c(SB_cwl);
    SB_awl->setMaximum(data_ != nullptr ? last_index(data_->a_wavelengths.size()) : 0);
    SB_cwl->setMaximum(data_ != nullptr ? last_index(data_->c_wavelengths.size()) : 0);
}

std::array<std::int32_t, 2> series_frame::show_wavelengths()
{
    // A bar past the end of its list (a data set with fewer wavelengths) reads the last one.
    const auto ia = std::min<std::int32_t>(SB_awl->value(), last_index(data_->a_wavelengths.size()));
    const auto ic = std::min<std::int32_t>(SB_cwl->value(), last_index(data_->c_wavelengths.size()));
    if (!data_->a_wavelengths.empty())
        L_awl->setText(
            QString::asprintf("A wavelength: %4.1f", data_->a_wavelengths[static_cast<std::size_t>(ia)]));
    if (!data_->c_wavelengths.empty())
        L_cwl->setText(
            QString::asprintf("C wavelength: %4.1f", data_->c_wavelengths[static_cast<std::size_t>(ic)]));
    return {ia, ic};
}

void series_frame::SB_awlChange()
{
    scroll_changed(true);
}

void series_frame::SB_cwlChange()
{
    scroll_changed(false);
}

void series_frame::scroll_changed(bool a_bar)
{
    if (data_ == nullptr || !scroll_allowed(a_bar))
        return;
    if (CB_Sync->isChecked()) {
        // The other bar follows silently: its own handler would move this one back.
        const auto& mine = a_bar ? data_->a_wavelengths : data_->c_wavelengths;
        const auto& other = a_bar ? data_->c_wavelengths : data_->a_wavelengths;
        QScrollBar* my_bar = a_bar ? SB_awl : SB_cwl;
        QScrollBar* other_bar = a_bar ? SB_cwl : SB_awl;
        const auto at = static_cast<std::size_t>(my_bar->value());
        if (at < mine.size() && !other.empty())
            set_position_quietly(other_bar, nearest_wavelength_index(mine[at], other));
    }
    Redraw();
}

// ---------------------------------------------------------------- TFr_Time

TFr_Time::TFr_Time(QWidget* parent) : series_frame("Time Plot", time_label, values_label, true, parent)
{
    setObjectName("TFr_Time");
    time_ticks(plot_->xAxis, true);
    make_channels(plot_->xAxis, plot_->yAxis);

    CB_Orientation = check_box("CB_Orientation", "Switch Axes", false, this);
    CB_Orientation->setVisible(false);
    CB_StupidCheckBox = check_box("CB_StupidCheckBox", "Scroll Data", true, this);
    CB_StupidCheckBox->setVisible(false);
    option_row()->insertWidget(1, CB_Orientation);
    option_row()->insertWidget(2, CB_StupidCheckBox);
    B_Grab = new QPushButton("Grab", this);
    B_Grab->setObjectName("B_Grab");
    B_Grab->setToolTip("Select the records between the two data cursors");
    B_Grab->setVisible(false);
    top_row()->addWidget(B_Grab);

    for (std::size_t i = 0; i < 2; ++i) {
        auto* line = new QCPItemStraightLine(plot_);
        line->setPen(QPen(QColor(90, 90, 90), 1.2, Qt::DashDotLine));
        line->setSelectable(false);
        line->setVisible(false);
        cursors_[i] = line;
        auto* label = new QCPItemText(plot_);
        label->setColor(QColor(60, 60, 60));
        label->setBrush(QColor(255, 255, 255, 210));
        label->setPadding(QMargins(3, 1, 3, 1));
        label->setSelectable(false);
        label->setVisible(false);
        cursor_labels_[i] = label;
    }

    connect(CB_Orientation, &QCheckBox::clicked, this, [this] { report([this] { orientation_changed(); }); });
    connect(CB_StupidCheckBox, &QCheckBox::clicked, this, [this] { report([this] { Redraw(); }); });
    connect(B_Grab, &QPushButton::clicked, this, [this] { report([this] { B_GrabClick(); }); });
    connect(toolbar_->data_cursor_action(), &QAction::toggled, this, &TFr_Time::cursor_mode_changed);
    connect(toolbar_, &plot_toolbar::resumed, this, [this] {
        track_data();
        plot_->replot();
    });

    // Dragging a data cursor.
    connect(plot_, &QCustomPlot::mousePress, this, [this](QMouseEvent* e) {
        dragged_ = false;
        dragged_cursor_ =
            data_cursor_mode() && e->button() == Qt::LeftButton ? cursor_near(e->position()) : -1;
    });
    connect(plot_, &QCustomPlot::mouseMove, this, [this](QMouseEvent* e) {
        if (dragged_cursor_ < 0)
            return;
        dragged_ = true;
        const bool horizontal = time_axis()->orientation() == Qt::Horizontal;
        const double pixel = horizontal ? e->position().x() : e->position().y();
        set_cursor_position(dragged_cursor_, time_axis()->pixelToCoord(pixel));
        plot_->replot(QCustomPlot::rpQueuedReplot);
    });
    connect(plot_, &QCustomPlot::mouseRelease, this, [this](QMouseEvent*) { dragged_cursor_ = -1; });
}

bool TFr_Time::suppress_click() const
{
    // A drag of a cursor that ends over a point is no click on it.
    return dragged_;
}

QCPAxis* TFr_Time::time_axis() const
{
    return CB_Orientation->isChecked() ? plot_->yAxis : plot_->xAxis;
}

QCPAxis* TFr_Time::value_axis() const
{
    return CB_Orientation->isChecked() ? plot_->xAxis : plot_->yAxis;
}

void TFr_Time::SetDataSet(IXO_Data* ds)
{
    data_ = ds;
    clear_channels();
    // The last 20,000 ms, scrolling with new data; the values scale to the data.
    time_axis()->setRange(0.0, live_time_span);
    value_axis()->setRange(0.0, 0.1);
    plot_->set_tracking(true);
    if (data_ == nullptr || data_->a_wavelengths.empty()) {
        plot_->replot(QCustomPlot::rpQueuedReplot);
        return;
    }
    set_scroll_ranges();
    set_position_quietly(SB_awl, 0);
    set_position_quietly(SB_cwl, 0);
    if (data_->records.empty()) {
        plot_->replot(QCustomPlot::rpQueuedReplot);
        return;
    }
    Redraw();
    plot_->zoom_axis_to_fit(value_axis());
    plot_->zoom_axis_to_fit(time_axis());
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

void TFr_Time::gather_keys(std::vector<double>& keys) const
{
    for (const ixo_data& rec : data_->records)
        keys.push_back(rec.time);
}

void TFr_Time::Redraw()
{
    if (!draw_series())
        return;
    if (plot_->tracking())
        track_data();
    place_cursors();
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

void TFr_Time::track_data()
{
    // Smooth scrolling: the newest record stays at the end of the time axis.
    double newest = -std::numeric_limits<double>::infinity();
    for (const QCPGraph* graph : channels_)
        if (!graph->data()->isEmpty())
            newest = std::max(newest, (graph->data()->constEnd() - 1)->key);
    QCPAxis* axis = time_axis();
    if (std::isfinite(newest) && newest > axis->range().upper)
        axis->setRange(newest - axis->range().size(), newest);
    plot_->zoom_axis_to_fit(value_axis());
}

void TFr_Time::SetLiveMode(bool live)
{
    if (live) {
        toolbar_->release_data_cursor();
        toolbar_->set_mode_buttons_visible(false);
        B_Grab->setVisible(false);
        toolbar_->resume();
    } else {
        toolbar_->set_mode_buttons_visible(true);
    }
}

void TFr_Time::DataArrived() {}

bool TFr_Time::scroll_allowed(bool a_bar) const
{
    return !(a_bar ? data_->a_wavelengths : data_->c_wavelengths).empty();
}

void TFr_Time::orientation_changed()
{
    const bool switched = CB_Orientation->isChecked();
    QCPAxis* time = time_axis();
    QCPAxis* values = value_axis();
    const QCPRange time_range = (switched ? plot_->xAxis : plot_->yAxis)->range();
    const QCPRange value_range = (switched ? plot_->yAxis : plot_->xAxis)->range();
    time->setLabel(time_label);
    values->setLabel(values_label);
    time_ticks(time, true);
    time_ticks(values, false);
    time->setRange(time_range);
    values->setRange(value_range);
    make_channels(time, values);
    Redraw();
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

double TFr_Time::cursor_position(int index) const
{
    return cursor_times_.at(static_cast<std::size_t>(index));
}

void TFr_Time::set_cursor_position(int index, double time)
{
    cursor_about_to_move();
    cursor_times_.at(static_cast<std::size_t>(index)) = time;
    cursors_placed_ = true;
    place_cursors();
}

bool TFr_Time::data_cursor_mode() const
{
    return toolbar_->data_cursor_action()->isChecked();
}

void TFr_Time::cursor_about_to_move()
{
    B_Grab->setVisible(data_cursor_mode());
}

void TFr_Time::cursor_mode_changed(bool on)
{
    plot_->set_dragging_allowed(!on);
    if (on) {
        // New cursors start a third of the way in from each end of the view.
        const QCPRange view = time_axis()->range();
        const bool inside =
            cursors_placed_ && view.contains(cursor_times_[0]) && view.contains(cursor_times_[1]);
        if (!inside) {
            cursor_times_ = {view.lower + view.size() / 3.0, view.lower + 2.0 * view.size() / 3.0};
            cursors_placed_ = true;
        }
    }
    cursor_about_to_move();
    place_cursors();
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

void TFr_Time::place_cursors()
{
    const bool shown = data_cursor_mode();
    const bool horizontal = time_axis()->orientation() == Qt::Horizontal;
    for (std::size_t i = 0; i < 2; ++i) {
        QCPItemStraightLine* line = cursors_[i];
        QCPItemText* label = cursor_labels_[i];
        line->setVisible(shown);
        label->setVisible(shown);
        if (!shown)
            continue;
        const double t = cursor_times_[i];
        for (QCPItemPosition* p : {line->point1, line->point2})
            p->setAxes(plot_->xAxis, plot_->yAxis);
        if (horizontal) {
            line->point1->setCoords(t, 0.0);
            line->point2->setCoords(t, 1.0);
            label->position->setTypeX(QCPItemPosition::ptPlotCoords);
            label->position->setTypeY(QCPItemPosition::ptAxisRectRatio);
            label->position->setAxes(plot_->xAxis, plot_->yAxis);
            label->position->setCoords(t, 0.0);
            label->setPositionAlignment(Qt::AlignTop | Qt::AlignHCenter);
        } else {
            line->point1->setCoords(0.0, t);
            line->point2->setCoords(1.0, t);
            label->position->setTypeX(QCPItemPosition::ptAxisRectRatio);
            label->position->setTypeY(QCPItemPosition::ptPlotCoords);
            label->position->setAxes(plot_->xAxis, plot_->yAxis);
            label->position->setCoords(1.0, t);
            label->setPositionAlignment(Qt::AlignRight | Qt::AlignBottom);
        }
        label->setText(QString::asprintf("%d: %.0f ms", static_cast<int>(i) + 1, t));
    }
}

int TFr_Time::cursor_near(const QPointF& pos) const
{
    const bool horizontal = time_axis()->orientation() == Qt::Horizontal;
    const double pixel = horizontal ? pos.x() : pos.y();
    int best = -1;
    double best_distance = grab_distance;
    for (int i = 0; i < 2; ++i) {
        const double d =
            std::fabs(time_axis()->coordToPixel(cursor_times_[static_cast<std::size_t>(i)]) - pixel);
        if (d <= best_distance) {
            best = i;
            best_distance = d;
        }
    }
    return best;
}

namespace {

// The record whose time is nearest to t; the first of equally near ones.
std::int32_t nearest_record(const std::deque<ixo_data>& records, double t)
{
    std::size_t best = 0;
    double best_distance = std::fabs(records[0].time - t);
    for (std::size_t i = 1; i < records.size(); ++i) {
        const double d = std::fabs(records[i].time - t);
        if (d < best_distance) {
            best = i;
            best_distance = d;
        }
    }
    return static_cast<std::int32_t>(best);
}

} // namespace

void TFr_Time::B_GrabClick()
{
    if (data_ == nullptr || data_->records.empty())
        return;
    const double t0 = std::trunc(cursor_times_[0]);
    const double t1 = std::trunc(cursor_times_[1]);
    const std::int32_t e = nearest_record(data_->records, t0);
    const std::int32_t l = nearest_record(data_->records, t1);
    // A first cursor at record 0 grabs a range like any other.
    emit range_picked(std::min(e, l), std::max(e, l), true);
}

// ---------------------------------------------------------------- TFr_Depth

TFr_Depth::TFr_Depth(QWidget* parent) : series_frame("Depth vs Time", values_label, "Pressure", false, parent)
{
    setObjectName("TFr_Depth");
    // A profile: pressure down the vertical axis, growing downwards.
    plot_->yAxis->setRangeReversed(true);
    plot_->axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignBottom | Qt::AlignRight);
    make_channels(plot_->yAxis, plot_->xAxis);
    L_awl->setText("a wavelength");
    L_cwl->setText("c wavelength");
    CB_Zoom = check_box("CB_Zoom", "Zoom to fit", true, this);
    option_row()->insertWidget(1, CB_Zoom);
    connect(toolbar_, &plot_toolbar::resumed, this, [this] {
        plot_->zoom_to_fit();
        plot_->replot();
    });
}

void TFr_Depth::SetDataSet(IXO_Data* ds)
{
    data_ = ds;
    if (data_ == nullptr) {
        clear_channels();
        plot_->replot(QCustomPlot::rpQueuedReplot);
        return;
    }
    set_scroll_ranges();
    Redraw();
    plot_->zoom_axis_to_fit(plot_->yAxis);
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

void TFr_Depth::gather_keys(std::vector<double>& keys) const
{
    // Only records with a merged row have a pressure to stand at.
    const auto& rows = data_->aux_merged.rows;
    const std::size_t count = std::min(data_->records.size(), rows.size());
    for (std::size_t i = 0; i < count; ++i)
        keys.push_back(rows[i].pres);
}

void TFr_Depth::Redraw()
{
    if (!draw_series())
        return;
    if (CB_Zoom->isChecked())
        plot_->zoom_to_fit();
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

bool TFr_Depth::scroll_allowed(bool /*a_bar*/) const
{
    return !data_->a_wavelengths.empty();
}

} // namespace vantrel
