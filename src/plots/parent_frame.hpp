#pragma once

#include <QFrame>

#include <cstdint>
#include <deque>
#include <vector>

namespace vantrel {

class IXO_Data;
class plot_prompts;

// Every view of the data set is a frame of this kind. The main window talks
// to all of them through these four operations; the base does nothing.
class TFr_ParentFrame : public QFrame {
    Q_OBJECT

public:
    explicit TFr_ParentFrame(QWidget* parent = nullptr);
    ~TFr_ParentFrame() override;

    // The current data set; non-owning, may be nullptr.
    virtual void SetDataSet(IXO_Data* data);
    // Draws the data set again from scratch; errors of the corrections propagate.
    virtual void Redraw();
    // True while an acquisition runs.
    virtual void SetLiveMode(bool live);
    // Called on every poll that brought data, before the refresh.
    virtual void DataArrived();

    // Index of the wavelength nearest to `value`; the first of equally near
    // entries wins. Throws std::invalid_argument on an empty list.
    static std::int32_t nearest_wavelength_index(double value, const std::vector<double>& wavelengths);
    static std::int32_t nearest_wavelength_index(double value, const std::deque<double>& wavelengths);

    // Where the frame asks the user (file names, messages, the water
    // calibration dialog); the program's Qt dialogs unless set. Not owned.
    void set_prompts(plot_prompts* prompts) { prompts_ = prompts; }
    plot_prompts& prompts() const;

private:
    plot_prompts* prompts_ = nullptr;
};

} // namespace vantrel
