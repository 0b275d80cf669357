#include "plots/parent_frame.hpp"

#include "plots/plot_prompts.hpp"

#include <cmath>
#include <stdexcept>

namespace vantrel {

namespace {

template <class List> std::int32_t nearest_index(double value, const List& wavelengths)
{
    if (wavelengths.empty())
        throw std::invalid_argument("nearest_wavelength_index: empty wavelength list");
    std::size_t best = 0;
    double best_distance = std::fabs(wavelengths[0] - value);
    for (std::size_t i = 1; i < wavelengths.size(); ++i) {
        const double distance = std::fabs(wavelengths[i] - value);
        if (distance < best_distance) {
            best = i;
            best_distance = distance;
        }
    }
    return static_cast<std::int32_t>(best);
}

} // namespace

TFr_ParentFrame::TFr_ParentFrame(QWidget* parent) : QFrame(parent) {}

TFr_ParentFrame::~TFr_ParentFrame() = default;

plot_prompts& TFr_ParentFrame::prompts() const
{
    return prompts_ != nullptr ? *prompts_ : qt_prompts();
}

void TFr_ParentFrame::SetDataSet(IXO_Data* /*data*/) {}

void TFr_ParentFrame::Redraw() {}

void TFr_ParentFrame::SetLiveMode(bool /*live*/) {}

void TFr_ParentFrame::DataArrived() {}

std::int32_t TFr_ParentFrame::nearest_wavelength_index(double value, const std::vector<double>& wavelengths)
{
    return nearest_index(value, wavelengths);
}

std::int32_t TFr_ParentFrame::nearest_wavelength_index(double value, const std::deque<double>& wavelengths)
{
    return nearest_index(value, wavelengths);
}

} // namespace vantrel
