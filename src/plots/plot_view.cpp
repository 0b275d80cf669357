#include "plots/plot_view.hpp"

#include "plots/parent_frame.hpp"
#include "plots/plot_prompts.hpp"

#include <QFileInfo>
#include <QMenu>

#include <algorithm>
#include <array>
#include <cmath>

namespace vantrel {

namespace {

constexpr double fit_margin = 0.04;

QFont scaled_font(const QFont& base, double factor, bool bold)
{
    QFont f = base;
    f.setPointSizeF(base.pointSizeF() * factor);
    f.setBold(bold);
    return f;
}

void style_axis(QCPAxis* axis, const QString& label)
{
    const QFont base = axis->parentPlot()->font();
    axis->setLabel(label);
    axis->setLabelFont(scaled_font(base, 1.05, false));
    axis->setTickLabelFont(scaled_font(base, 0.95, false));
    const QPen axis_pen(QColor(60, 60, 60), 1);
    axis->setBasePen(axis_pen);
    axis->setTickPen(axis_pen);
    axis->setSubTickPen(axis_pen);
    axis->setLabelColor(QColor(30, 30, 30));
    axis->setTickLabelColor(QColor(50, 50, 50));
    axis->grid()->setPen(QPen(QColor(225, 225, 225), 1, Qt::SolidLine));
    axis->grid()->setSubGridVisible(false);
    axis->grid()->setZeroLinePen(QPen(QColor(190, 190, 190), 1, Qt::DashLine));
}

// A marker drawn once and then stamped: a hundred thousand records stay
// fluid, where a disc drawn anew per point would not.
QPixmap disc_pixmap(const QColor& colour)
{
    constexpr int size = 5;
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawEllipse(QRectF(0.25, 0.25, size - 0.5, size - 0.5));
    return pixmap;
}

void add_margin(QCPAxis* axis)
{
    const QCPRange r = axis->range();
    const double m = r.size() * fit_margin;
    if (m > 0.0 && std::isfinite(m))
        axis->setRange(r.lower - m, r.upper + m);
}

} // namespace

QColor absorption_colour()
{
    return {31, 100, 180};
}

QColor attenuation_colour()
{
    return {214, 64, 39};
}

QColor series_colour(std::size_t n)
{
    // A palette that stays apart on screen and on a projector.
    static const std::array<QColor, 8> palette{
        QColor(31, 100, 180), QColor(214, 64, 39),  QColor(44, 150, 60), QColor(148, 80, 180),
        QColor(230, 140, 20), QColor(20, 160, 170), QColor(120, 90, 60), QColor(200, 60, 140)};
    return palette[n % palette.size()];
}

plot_view::plot_view(const QString& title, const QString& x_label, const QString& y_label, QWidget* parent)
    : QCustomPlot(parent)
{
    setObjectName("iPlot1");
    setBackground(Qt::white);
    setAntialiasedElements(QCP::aeNone);
    setAntialiasedElement(QCP::aeLegend, true);
    setAntialiasedElement(QCP::aePlottables, true);
    setNoAntialiasingOnDrag(true);

    plotLayout()->insertRow(0);
    title_ = new QCPTextElement(this, title, scaled_font(font(), 1.2, true));
    title_->setTextColor(QColor(30, 30, 30));
    plotLayout()->addElement(0, 0, title_);

    style_axis(xAxis, x_label);
    style_axis(yAxis, y_label);
    // A closed frame around the data reads better on a slide.
    xAxis2->setVisible(true);
    yAxis2->setVisible(true);
    xAxis2->setTicks(false);
    yAxis2->setTicks(false);
    xAxis2->setTickLabels(false);
    yAxis2->setTickLabels(false);
    xAxis2->setBasePen(QPen(QColor(60, 60, 60), 1));
    yAxis2->setBasePen(QPen(QColor(60, 60, 60), 1));

    legend->setVisible(true);
    legend->setFont(scaled_font(font(), 0.95, false));
    legend->setBrush(QColor(255, 255, 255, 220));
    legend->setBorderPen(QPen(QColor(200, 200, 200)));
    axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignRight);

    setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    setSelectionRectMode(QCP::srmNone);

    connect(this, &QCustomPlot::mouseWheel, this, [this](QWheelEvent*) { stop_tracking(); });
    connect(this, &QCustomPlot::mousePress, this,
            [this](QMouseEvent* e) { pressed_ = e->button() == Qt::LeftButton; });
    connect(this, &QCustomPlot::mouseRelease, this, [this](QMouseEvent*) { pressed_ = false; });
    connect(this, &QCustomPlot::mouseMove, this, [this](QMouseEvent*) {
        if (pressed_ && dragging_allowed_)
            stop_tracking();
    });
    connect(selectionRect(), &QCPSelectionRect::accepted, this,
            [this](const QRect&, QMouseEvent*) { stop_tracking(); });

    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, &plot_view::show_context_menu);
}

QCPGraph* plot_view::add_channel(const QString& name, const QColor& colour, channel_look look,
                                 QCPAxis* key_axis, QCPAxis* value_axis)
{
    QCPGraph* graph =
        addGraph(key_axis != nullptr ? key_axis : xAxis, value_axis != nullptr ? value_axis : yAxis);
    graph->setName(name);
    // Long records stay fluid: points that share a pixel are drawn once.
    graph->setAdaptiveSampling(true);
    switch (look) {
    case channel_look::markers:
        graph->setLineStyle(QCPGraph::lsNone);
        graph->setPen(QPen(colour, 1));
        graph->setScatterStyle(QCPScatterStyle(disc_pixmap(colour)));
        break;
    case channel_look::line_and_markers:
        graph->setLineStyle(QCPGraph::lsLine);
        graph->setPen(QPen(colour, 1.6));
        graph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCircle, colour, Qt::white, 4));
        break;
    case channel_look::line:
        graph->setLineStyle(QCPGraph::lsLine);
        graph->setPen(QPen(colour, 1.8));
        break;
    case channel_look::dashed_line:
        graph->setLineStyle(QCPGraph::lsLine);
        graph->setPen(QPen(colour, 1.6, Qt::DashLine));
        break;
    }
    return graph;
}

void plot_view::zoom_to_fit()
{
    zoom_axis_to_fit(xAxis);
    zoom_axis_to_fit(yAxis);
}

void plot_view::zoom_axis_to_fit(QCPAxis* axis)
{
    bool any = false;
    for (int i = 0; i < graphCount(); ++i)
        any = any || !graph(i)->data()->isEmpty();
    if (!any)
        return;
    axis->rescale(true);
    add_margin(axis);
}

bool plot_view::save_image(const QString& path)
{
    replot(QCustomPlot::rpImmediateRefresh);
    if (QFileInfo(path).suffix().compare("pdf", Qt::CaseInsensitive) == 0)
        return savePdf(path);
    // Twice the screen's pixels, so the image stays sharp in a report.
    return savePng(path, 0, 0, 2.0);
}

void plot_view::save_image_as()
{
    QString base = title_ != nullptr ? title_->text() : QString("plot");
    base.replace(' ', '_');
    const auto name = prompts().save_file_name("Save Image", "PNG Image (*.png);;PDF Document (*.pdf)",
                                               (base + ".png").toStdString());
    if (!name)
        return;
    if (!save_image(QString::fromStdString(*name)))
        prompts().message("Unable to save the image to " + *name + ".", "Save Image...");
}

void plot_view::set_select_mode(bool on)
{
    select_mode_ = on;
    setSelectionRectMode(on ? QCP::srmZoom : QCP::srmNone);
}

void plot_view::set_dragging_allowed(bool on)
{
    dragging_allowed_ = on;
    setInteraction(QCP::iRangeDrag, on);
}

std::vector<plotted_point> plot_view::points_of(const QCPGraph* graph,
                                                const std::vector<std::int32_t>& records)
{
    std::vector<plotted_point> points;
    const bool key_is_x = graph->keyAxis()->orientation() == Qt::Horizontal;
    std::size_t k = 0;
    for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd() && k < records.size();
         ++it, ++k) {
        const double x = key_is_x ? it->key : it->value;
        const double y = key_is_x ? it->value : it->key;
        points.push_back({records[k], x, y});
    }
    std::stable_sort(points.begin(), points.end(),
                     [](const plotted_point& p, const plotted_point& q) { return p.record < q.record; });
    return points;
}

void plot_view::stop_tracking()
{
    if (!tracking_)
        return;
    tracking_ = false;
    emit view_moved_by_user();
}

void plot_view::show_context_menu(const QPoint& pos)
{
    QMenu menu(this);
    menu.addAction("Save Image...", this, &plot_view::save_image_as);
    menu.addAction("Zoom to Fit", this, [this] {
        zoom_to_fit();
        replot();
    });
    menu.exec(mapToGlobal(pos));
}

plot_prompts& plot_view::prompts() const
{
    for (QWidget* w = parentWidget(); w != nullptr; w = w->parentWidget())
        if (const auto* frame = qobject_cast<const TFr_ParentFrame*>(w))
            return frame->prompts();
    return qt_prompts();
}

plot_toolbar::plot_toolbar(plot_view* plot, bool with_data_cursors, QWidget* parent)
    : QToolBar(parent), plot_(plot)
{
    setObjectName("ToolBar");
    setToolButtonStyle(Qt::ToolButtonTextOnly);
    setIconSize(QSize(12, 12));
    setMovable(false);

    select_ = addAction("Select");
    select_->setObjectName("A_Select");
    select_->setCheckable(true);
    select_->setToolTip("Drag a box to zoom into it");
    connect(select_, &QAction::toggled, plot_, [this](bool on) {
        plot_->set_select_mode(on);
        if (on && data_cursor_ != nullptr)
            data_cursor_->setChecked(false);
    });

    if (with_data_cursors) {
        data_cursor_ = addAction("Data Cursors");
        data_cursor_->setObjectName("A_DataCursor");
        data_cursor_->setCheckable(true);
        data_cursor_->setToolTip(
            "Two cursors to drag along the time axis; Grab takes the records between them");
        connect(data_cursor_, &QAction::toggled, this, [this](bool on) {
            if (on)
                select_->setChecked(false);
        });
    }

    zoom_ = addAction("Zoom to Fit");
    zoom_->setObjectName("A_ZoomFit");
    connect(zoom_, &QAction::triggered, this, [this] {
        plot_->zoom_to_fit();
        plot_->replot();
        emit zoom_to_fit_requested();
    });

    resume_ = addAction("Resume");
    resume_->setObjectName("A_Resume");
    resume_->setToolTip("Leave the cursor and zoom modes and follow the data again");
    connect(resume_, &QAction::triggered, this, &plot_toolbar::resume);
}

void plot_toolbar::set_mode_buttons_visible(bool visible)
{
    select_->setVisible(visible);
    if (data_cursor_ != nullptr)
        data_cursor_->setVisible(visible);
}

void plot_toolbar::release_data_cursor()
{
    if (data_cursor_ != nullptr)
        data_cursor_->setChecked(false);
}

void plot_toolbar::resume()
{
    select_->setChecked(false);
    release_data_cursor();
    plot_->set_tracking(true);
    emit resumed();
}

} // namespace vantrel
