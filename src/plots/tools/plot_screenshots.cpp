// Renders every plot frame standalone to PNG on Qt's offscreen platform, from
// the example cast and its CTD file, for the documentation.
//
//   vantrel-plot-screenshots <examples dir> <output dir>

#include "dataset/ixo_data.hpp"
#include "plots/data_frame.hpp"
#include "plots/make_water_dialog.hpp"
#include "plots/qt_plot_prompts.hpp"
#include "plots/spectral_frame.hpp"
#include "plots/time_frame.hpp"

#include <QApplication>
#include <QPixmap>
#include <QScrollBar>
#include <QTableWidget>

#include <cstdlib>
#include <iostream>
#include <string>

namespace {

using namespace vantrel;

bool save(QWidget& widget, const QString& path)
{
    widget.show();
    QApplication::processEvents();
    for (auto* plot : widget.findChildren<QCustomPlot*>())
        plot->replot(QCustomPlot::rpImmediateRefresh);
    QApplication::processEvents();
    const bool ok = widget.grab().save(path);
    std::cout << (ok ? "wrote " : "failed to write ") << path.toStdString() << '\n';
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: vantrel-plot-screenshots <examples dir> <output dir>\n";
        return 2;
    }
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    QApplication::setFont(QFont("DejaVu Sans", 9));
    const std::string examples = argv[1];
    const QString out = QString::fromLocal8Bit(argv[2]) + "/";

    IXO_Data ds;
    try {
        ds.load_file(examples + "/ixo_cast.dat", false);
        ds.ctd_file_data.read_file(examples + "/ixo_cast.ctd", 1, 3, 5, 2);
        ds.merge_ctd();
        ds.temp_source = 2;
        ds.saln_source = 2;
        ds.apply_temp = true;
        ds.apply_saln = true;
        ds.apply_scat = true;
        ds.scat_method = 1;
    } catch (const std::exception& e) {
        std::cerr << e.what() << '\n';
        return 1;
    }

    const QSize size(900, 560);
    bool ok = true;

    TFr_Spectral spectral;
    spectral.resize(size);
    spectral.SetDataSet(&ds);
    spectral.SB_Number->setValue(30);
    ok = save(spectral, out + "plot_spectral.png") && ok;

    TFr_Time time;
    time.resize(size);
    time.SetDataSet(&ds);
    time.CB_Sync->setChecked(true);
    time.SB_cwl->setValue(10);
    time.toolbar()->data_cursor_action()->setChecked(true);
    const double first = ds.records.front().time;
    const double last = ds.records.back().time;
    time.set_cursor_position(0, first + 0.30 * (last - first));
    time.set_cursor_position(1, first + 0.45 * (last - first));
    ok = save(time, out + "plot_time.png") && ok;

    TFr_Depth depth;
    depth.resize(QSize(700, 640));
    depth.SetDataSet(&ds);
    depth.SB_cwl->setValue(10);
    ok = save(depth, out + "plot_depth.png") && ok;

    TF_FData selected;
    selected.resize(QSize(760, 640));
    selected.frame()->SetDataSet(&ds);
    selected.frame()->add_single(5, true);
    selected.frame()->add_single(28, true);
    selected.frame()->add_range(40, 50, true);
    selected.frame()->SG_List->selectRow(1);
    ok = save(selected, out + "plot_selected_data.png") && ok;

    qt_plot_prompts prompts;
    TF_MakeWater water(prompts);
    water_cal_preview preview;
    const ixo_data mean = ds.correct_one_line(0);
    preview.a_wavelengths.assign(ds.a_wavelengths.begin(), ds.a_wavelengths.end());
    preview.c_wavelengths.assign(ds.c_wavelengths.begin(), ds.c_wavelengths.end());
    preview.a_values = mean.a;
    preview.c_values = mean.c;
    water.prepare(preview);
    water.E_Temp->setText("20.5");
    ok = save(water, out + "plot_make_water.png") && ok;

    return ok ? 0 : 1;
}
