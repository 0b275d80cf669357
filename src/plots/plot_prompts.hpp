#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace vantrel {

// What the Make Water Cal dialog shows: the mean spectra of the chosen
// records, plotted against their wavelengths.
struct water_cal_preview {
    std::vector<double> a_wavelengths;
    std::vector<double> a_values;
    std::vector<double> c_wavelengths;
    std::vector<double> c_values;
};

// Everything the plot frames need to ask the user. The window answers with
// real dialogs (qt_plot_prompts); tests answer from a script.
class plot_prompts {
public:
    virtual ~plot_prompts() = default;

    // A save-file dialog; the chosen path, or nothing when cancelled.
    // `filter` is in Qt's form ("PNG Image (*.png);;All Files (*)").
    virtual std::optional<std::string> save_file_name(const std::string& title, const std::string& filter,
                                                      const std::string& proposed) = 0;
    // A message box with OK.
    virtual void message(const std::string& text, const std::string& caption) = 0;
    // The Make Water Cal dialog, modal: the temperature box's text on "Make
    // Water Cal File", nothing on Cancel.
    virtual std::optional<std::string> make_water_cal(const water_cal_preview& preview) = 0;
};

// The prompts of the running program, over Qt's dialogs.
plot_prompts& qt_prompts();

// Runs a handler of a user action (a click, a scroll bar, a button): an
// error it raises is shown with `caption` instead of escaping into Qt's
// event loop, which cannot carry it.
void report_errors(plot_prompts& prompts, const std::string& caption, const std::function<void()>& handler);

} // namespace vantrel
