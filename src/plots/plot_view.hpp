#pragma once

#include <qcustomplot.h>

#include <QToolBar>

#include <cstdint>
#include <vector>

namespace vantrel {

class plot_prompts;

// The colours of the two channels of every plot.
QColor absorption_colour();
QColor attenuation_colour();
// The colour of the n-th spectrum of a plot that shows many.
QColor series_colour(std::size_t n);

// A point of a plot channel as drawn (x along the horizontal axis), with the
// record it belongs to.
struct plotted_point {
    std::int32_t record = 0;
    double x = 0.0;
    double y = 0.0;
};

// One plot of the program: a title, labelled axes, a legend, channels by
// index, zoom to fit, a zoom-box mode, and "Save Image..." in its context
// menu. Automatic tracking of the data holds until the user pans or zooms,
// and comes back with resume.
class plot_view : public QCustomPlot {
    Q_OBJECT

public:
    plot_view(const QString& title, const QString& x_label, const QString& y_label,
              QWidget* parent = nullptr);

    enum class channel_look { markers, line_and_markers, line, dashed_line };
    // Adds a channel; by default its keys run along the horizontal axis.
    QCPGraph* add_channel(const QString& name, const QColor& colour, channel_look look,
                          QCPAxis* key_axis = nullptr, QCPAxis* value_axis = nullptr);

    // Both axes to the data of the channels, with a small margin.
    void zoom_to_fit();
    void zoom_axis_to_fit(QCPAxis* axis);

    // PNG or PDF by the name's suffix (PNG when it has neither); false when
    // the file could not be written.
    bool save_image(const QString& path);
    // Asks for a file name and saves the image there.
    void save_image_as();

    // The zoom-box mode of the toolbar's select button.
    void set_select_mode(bool on);
    bool select_mode() const { return select_mode_; }
    // Panning and dragging with the mouse; off while data cursors are dragged.
    void set_dragging_allowed(bool on);

    bool tracking() const { return tracking_; }
    void set_tracking(bool on) { tracking_ = on; }

    // The points of a graph as drawn, with their records, in record order.
    // `records` gives the record of each of the graph's points, in its order.
    static std::vector<plotted_point> points_of(const QCPGraph* graph,
                                                const std::vector<std::int32_t>& records);

    QCPTextElement* title_element() const { return title_; }

signals:
    // The user panned or zoomed: tracking is off until resume.
    void view_moved_by_user();

private:
    void stop_tracking();
    void show_context_menu(const QPoint& pos);
    plot_prompts& prompts() const;

    QCPTextElement* title_ = nullptr;
    bool tracking_ = true;
    bool select_mode_ = false;
    bool dragging_allowed_ = true;
    bool pressed_ = false;
};

// The buttons above a plot: the zoom-box mode ("Select"), the data cursors
// (time plot only), zoom to fit, and resume (leave every mode and return to
// automatic tracking).
class plot_toolbar : public QToolBar {
    Q_OBJECT

public:
    plot_toolbar(plot_view* plot, bool with_data_cursors, QWidget* parent = nullptr);

    QAction* select_action() const { return select_; }
    QAction* data_cursor_action() const { return data_cursor_; }
    QAction* zoom_action() const { return zoom_; }
    QAction* resume_action() const { return resume_; }

    // The live-mode state: the select and data-cursor buttons shown or hidden.
    void set_mode_buttons_visible(bool visible);
    // Releases the data-cursor button if it is down.
    void release_data_cursor();
    // The toolbar's resume action.
    void resume();

signals:
    void resumed();
    void zoom_to_fit_requested();

private:
    plot_view* plot_;
    QAction* select_ = nullptr;
    QAction* data_cursor_ = nullptr;
    QAction* zoom_ = nullptr;
    QAction* resume_ = nullptr;
};

} // namespace vantrel
