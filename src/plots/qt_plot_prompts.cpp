#include "plots/qt_plot_prompts.hpp"

#include "plots/make_water_dialog.hpp"

#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>

#include <exception>

namespace vantrel {

qt_plot_prompts::qt_plot_prompts(QWidget* dialog_parent) : parent_(dialog_parent) {}

qt_plot_prompts::~qt_plot_prompts() = default;

void qt_plot_prompts::set_scattering(int item_index, const std::string& reference_wavelength)
{
    scat_item_ = item_index;
    scat_wavelength_ = reference_wavelength;
}

std::optional<std::string> qt_plot_prompts::save_file_name(const std::string& title,
                                                           const std::string& filter,
                                                           const std::string& proposed)
{
    QFileDialog dialog(parent_, QString::fromStdString(title), QString(), QString::fromStdString(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.selectFile(QString::fromStdString(proposed));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().front().toStdString();
}

void qt_plot_prompts::message(const std::string& text, const std::string& caption)
{
    QMessageBox::information(parent_, QString::fromStdString(caption), QString::fromStdString(text));
}

std::optional<std::string> qt_plot_prompts::make_water_cal(const water_cal_preview& preview)
{
    // A dialog per use: the prompts may outlive the application object.
    TF_MakeWater dialog(*this, parent_);
    dialog.prepare(preview);
    dialog.set_scattering(scat_item_, QString::fromStdString(scat_wavelength_));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.E_Temp->text().toStdString();
}

plot_prompts& qt_prompts()
{
    static qt_plot_prompts prompts;
    return prompts;
}

void report_errors(plot_prompts& prompts, const std::string& caption, const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const std::exception& e) {
        prompts.message(e.what(), caption);
    }
}

} // namespace vantrel
