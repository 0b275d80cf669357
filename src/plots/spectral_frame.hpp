#pragma once

#include "plots/parent_frame.hpp"
#include "plots/plot_view.hpp"

#include <array>

class QCheckBox;
class QLabel;
class QScrollBar;

namespace vantrel {

// One record as two spectra: corrected absorption over the a wavelengths
// and corrected attenuation over the c wavelengths. A scroll bar walks the
// records; during acquisition the newest record is shown.
class TFr_Spectral : public TFr_ParentFrame {
    Q_OBJECT

public:
    explicit TFr_Spectral(QWidget* parent = nullptr);

    QScrollBar* SB_Number = nullptr;
    QLabel* L_xofxxx = nullptr;
    QLabel* L_Temp = nullptr;
    QLabel* L_Saln = nullptr;
    QCheckBox* CB_Zoom = nullptr;
    QCheckBox* CB_RealTime = nullptr;

    void SetDataSet(IXO_Data* data) override;
    void Redraw() override;
    void SetLiveMode(bool live) override;

    plot_view* plot() const { return plot_; }
    plot_toolbar* toolbar() const { return toolbar_; }
    // Channel 0 "Absorption" or 1 "Attenuation" as drawn; `record` is the
    // wavelength index of each point.
    std::vector<plotted_point> channel_points(int channel) const;
    // Index of the record shown by the last redraw (-1 before any).
    std::int32_t shown_record() const { return shown_; }

private:
    void real_time_changed();
    void fill(std::size_t channel, const std::deque<double>& wavelengths, const std::vector<double>& values,
              std::size_t count);

    IXO_Data* data_ = nullptr;
    plot_view* plot_ = nullptr;
    plot_toolbar* toolbar_ = nullptr;
    std::array<QCPGraph*, 2> channels_{};
    std::array<std::vector<std::int32_t>, 2> point_indices_;
    std::int32_t shown_ = -1;
};

} // namespace vantrel
