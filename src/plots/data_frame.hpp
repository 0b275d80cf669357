#pragma once

#include "plots/parent_frame.hpp"
#include "plots/plot_view.hpp"
#include "plots/selected_picks.hpp"

#include <QWidget>

#include <string>

class QLabel;
class QPushButton;
class QTableWidget;

namespace vantrel {

// The picked records and ranges: listed in a grid, their corrected spectra
// plotted (the mean spectrum of a range), and the records of the
// highlighted rows saved as a data file, a water calibration file or a new
// device file.
class TFr_Data : public TFr_ParentFrame {
    Q_OBJECT

public:
    explicit TFr_Data(QWidget* parent = nullptr);

    plot_view* iPlot1 = nullptr;
    QTableWidget* SG_List = nullptr;
    QLabel* L_Note = nullptr;
    QPushButton* B_RemoveSelected = nullptr;
    QPushButton* B_RemoveAll = nullptr;
    QPushButton* B_SaveRange = nullptr;
    QPushButton* B_SaveWater = nullptr;
    QPushButton* B_SaveDev = nullptr;

    // Takes the data set and forgets every pick.
    void SetDataSet(IXO_Data* data) override;
    // Rebuilds the grid and the plot from the picks.
    void Redraw() override;

    // Each shows the "Selected Data" window in front, adds the pick and redraws.
    void add_single(std::int32_t record, bool flag);
    void add_range(std::int32_t start, std::int32_t end, bool flag);

    const pick_list& picks() const { return picks_; }
    IXO_Data* data_set() const { return data_; }
    // The records of the highlighted rows, ascending, each once.
    std::vector<std::int32_t> selected_records() const;

    void B_RemoveSelectedClick();
    void B_RemoveAllClick();
    void B_SaveRangeClick();
    void B_SaveWaterClick();
    void B_SaveDevClick();

private:
    // The highlighted rows, a contiguous block: top and bottom.
    std::pair<std::int32_t, std::int32_t> selected_rows() const;
    void show_window();
    std::string data_file_less(std::size_t chars) const;
    void connect_button(QPushButton* button, void (TFr_Data::*handler)());

    IXO_Data* data_ = nullptr;
    pick_list picks_;
    // The Make Water Cal dialog's temperature as its last use left it.
    std::string last_water_temperature_;
};

// The top-level "Selected Data" window holding the selected-data frame;
// created hidden, shown by the first pick; closing it only hides it.
class TF_FData : public QWidget {
    Q_OBJECT

public:
    explicit TF_FData(QWidget* parent = nullptr);

    TFr_Data* frame() const { return frame_; }

private:
    TFr_Data* frame_ = nullptr;
};

} // namespace vantrel
