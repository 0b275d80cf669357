#pragma once

#include "plots/parent_frame.hpp"
#include "plots/plot_view.hpp"

#include <array>
#include <cstdint>
#include <vector>

class QCheckBox;
class QLabel;
class QPushButton;
class QScrollBar;
class QGridLayout;
class QHBoxLayout;

namespace vantrel {

// What the time and depth plots share: the corrected a and c at one
// wavelength each, chosen with a scroll bar each and optionally kept in
// step, drawn as markers; a click on a point picks its record.
class series_frame : public TFr_ParentFrame {
    Q_OBJECT

public:
    QLabel* L_awl = nullptr;
    QLabel* L_cwl = nullptr;
    QScrollBar* SB_awl = nullptr;
    QScrollBar* SB_cwl = nullptr;
    QCheckBox* CB_Sync = nullptr;

    plot_view* plot() const { return plot_; }
    plot_toolbar* toolbar() const { return toolbar_; }
    IXO_Data* data_set() const { return data_; }

    // Channel 0 "Absorption" or 1 "Attenuation" as drawn, in record order.
    std::vector<plotted_point> channel_points(int channel) const;
    // The click on point `point` (in the channel's drawing order) of a
    // channel: picks that point's record, flagged true for absorption.
    void click_point(int channel, int point);

    // A scroll bar moved (the a bar when `a_bar`): keeps the other in step
    // when "Synchronize Wavelengths" is ticked, then redraws.
    void SB_awlChange();
    void SB_cwlChange();

signals:
    // One record picked (flag: from the absorption channel).
    void single_picked(std::int32_t record, bool flag);
    // The records start to end - 1 picked.
    void range_picked(std::int32_t start, std::int32_t end, bool flag);

protected:
    series_frame(const QString& title, const QString& x_label, const QString& y_label, bool with_data_cursors,
                 QWidget* parent);

    // Gives both scroll bars the range of their wavelength lists, without
    // firing their change handlers.
    void set_scroll_ranges();
    // Sets the labels and returns the wavelength indices of the scroll bars.
    std::array<std::int32_t, 2> show_wavelengths();
    // Channels 0 and 1 anew, their keys along `key_axis`.
    void make_channels(QCPAxis* key_axis, QCPAxis* value_axis);
    void clear_channels();
    // Fills a channel from the value and the key of every record; points
    // that are not finite numbers are left out.
    void fill_channel(int channel, const std::deque<double>& values, const std::vector<double>& keys);

    // The key of every record (time or pressure), appended to `keys`; a
    // record past the end has no point.
    virtual void gather_keys(std::vector<double>& keys) const = 0;
    // Both channels from the corrected series at the scroll bars'
    // wavelengths; false when there is no record to draw.
    bool draw_series();

    // Whether a scroll bar change may act at all.
    virtual bool scroll_allowed(bool a_bar) const = 0;
    // Whether a click on a point is to be ignored (it ended a drag).
    virtual bool suppress_click() const { return false; }
    void scroll_changed(bool a_bar);
    // Runs a handler of a user action, showing its errors with the plot's title.
    void report(const std::function<void()>& handler);

    QHBoxLayout* top_row() const { return top_row_; }
    QHBoxLayout* option_row() const { return option_row_; }

    IXO_Data* data_ = nullptr;
    plot_view* plot_ = nullptr;
    plot_toolbar* toolbar_ = nullptr;
    std::array<QCPGraph*, 2> channels_{};
    // The record of every point of a channel, in the channel's order.
    std::array<std::vector<std::int32_t>, 2> point_records_;
    // Buffers kept between redraws, so a redraw allocates nothing per point.
    std::vector<double> keys_;
    std::vector<std::pair<double, std::int32_t>> scratch_;

private:
    QHBoxLayout* top_row_ = nullptr;
    QHBoxLayout* option_row_ = nullptr;
};

// Corrected a and c at the chosen wavelengths against the records' time.
// During acquisition the time axis scrolls over the last 20,000 ms.
class TFr_Time : public series_frame {
    Q_OBJECT

public:
    explicit TFr_Time(QWidget* parent = nullptr);

    QCheckBox* CB_Orientation = nullptr;
    QCheckBox* CB_StupidCheckBox = nullptr;
    QPushButton* B_Grab = nullptr;

    void SetDataSet(IXO_Data* data) override;
    void Redraw() override;
    void SetLiveMode(bool live) override;
    void DataArrived() override;

    // The two data cursors, by index, at positions along the time axis.
    double cursor_position(int index) const;
    void set_cursor_position(int index, double time);
    bool data_cursor_mode() const;

    // Sends the records between the two data cursors to the selected data.
    void B_GrabClick();

    static constexpr double live_time_span = 20000.0;

protected:
    bool scroll_allowed(bool a_bar) const override;
    bool suppress_click() const override;
    void gather_keys(std::vector<double>& keys) const override;

private:
    void cursor_mode_changed(bool on);
    void cursor_about_to_move();
    void place_cursors();
    void orientation_changed();
    void track_data();
    QCPAxis* time_axis() const;
    QCPAxis* value_axis() const;
    // Index of the cursor within grabbing distance of a pixel, or -1.
    int cursor_near(const QPointF& pos) const;

    std::array<QCPItemStraightLine*, 2> cursors_{};
    std::array<QCPItemText*, 2> cursor_labels_{};
    std::array<double, 2> cursor_times_{0.0, 0.0};
    bool cursors_placed_ = false;
    int dragged_cursor_ = -1;
    bool dragged_ = false;
};

// Corrected a and c at the chosen wavelengths against the merged CTD
// pressure, as a profile: greater pressures lower down.
class TFr_Depth : public series_frame {
    Q_OBJECT

public:
    explicit TFr_Depth(QWidget* parent = nullptr);

    QCheckBox* CB_Zoom = nullptr;

    void SetDataSet(IXO_Data* data) override;
    void Redraw() override;

protected:
    bool scroll_allowed(bool a_bar) const override;
    void gather_keys(std::vector<double>& keys) const override;
};

} // namespace vantrel
