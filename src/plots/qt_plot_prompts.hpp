#pragma once

#include "plots/plot_prompts.hpp"

#include <string>

class QWidget;

namespace vantrel {

// The prompts over Qt's file dialog, message box and the Make Water Cal
// dialog.
class qt_plot_prompts : public plot_prompts {
public:
    explicit qt_plot_prompts(QWidget* dialog_parent = nullptr);
    ~qt_plot_prompts() override;
    qt_plot_prompts(const qt_plot_prompts&) = delete;
    qt_plot_prompts& operator=(const qt_plot_prompts&) = delete;

    std::optional<std::string> save_file_name(const std::string& title, const std::string& filter,
                                              const std::string& proposed) override;
    void message(const std::string& text, const std::string& caption) override;
    std::optional<std::string> make_water_cal(const water_cal_preview& preview) override;

    // The post-processing panel's scattering item and reference wavelength,
    // copied into the Make Water Cal dialog's hidden controls.
    void set_scattering(int item_index, const std::string& reference_wavelength);

private:
    QWidget* parent_;
    int scat_item_ = 1;
    std::string scat_wavelength_ = "715";
};

} // namespace vantrel
