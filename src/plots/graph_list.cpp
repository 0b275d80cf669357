#include "plots/graph_list.hpp"

#include "dataset/ixo_data.hpp"
#include "plots/data_frame.hpp"
#include "plots/plot_prompts.hpp"
#include "plots/plot_window.hpp"
#include "plots/spectral_frame.hpp"
#include "plots/time_frame.hpp"

#include <QLayout>
#include <QVBoxLayout>

namespace vantrel {

namespace {

// Puts a frame into a panel of the main window, filling it.
void fill_panel(QWidget* panel, TFr_ParentFrame* frame)
{
    if (panel->layout() == nullptr) {
        auto* layout = new QVBoxLayout(panel);
        layout->setContentsMargins(0, 0, 0, 0);
    }
    panel->layout()->addWidget(frame);
}

struct kind_names {
    const char* frame;
    const char* window;
};

kind_names names_of(graph_kind kind)
{
    switch (kind) {
    case graph_kind::spectral:
        return {"SpectralGraph%1", "SpectralWindow%1"};
    case graph_kind::time:
        return {"TimeGraph%1", "TimeWindow%1"};
    case graph_kind::depth:
        break;
    }
    return {"DepthGraph%1", "DepthWindow%1"};
}

} // namespace

graph_list::graph_list(plot_prompts* prompts, QObject* parent) : QObject(parent), prompts_(prompts) {}

graph_list::~graph_list() = default;

TFr_Data* graph_list::selected_data() const
{
    return selected_window_ != nullptr ? selected_window_->frame() : nullptr;
}

void graph_list::take_frame(TFr_ParentFrame* frame)
{
    if (prompts_ != nullptr)
        frame->set_prompts(prompts_);
    if (auto* series = qobject_cast<series_frame*>(frame)) {
        // Picks go to the selected data; a failed redraw there is shown, not thrown into Qt.
        connect(series, &series_frame::single_picked, this, [this, series](std::int32_t record, bool flag) {
            if (TFr_Data* picked = selected_data())
                report_errors(series->prompts(), "Selected Data", [&] { picked->add_single(record, flag); });
        });
        connect(series, &series_frame::range_picked, this,
                [this, series](std::int32_t start, std::int32_t end, bool flag) {
                    if (TFr_Data* picked = selected_data())
                        report_errors(series->prompts(), "Selected Data",
                                      [&] { picked->add_range(start, end, flag); });
                });
    }
    graphs_.emplace_back(frame);
}

void graph_list::add_builtin(TFr_ParentFrame* frame)
{
    take_frame(frame);
}

void graph_list::create_builtin_graphs(QWidget* upper, QWidget* lower)
{
    if (selected_window_ != nullptr)
        return;
    auto* spectral = new TFr_Spectral(upper);
    spectral->setObjectName("BuiltinGraph1");
    fill_panel(upper, spectral);
    take_frame(spectral);

    auto* time = new TFr_Time(lower);
    time->setObjectName("BuiltinGraph2");
    fill_panel(lower, time);
    take_frame(time);

    selected_window_ = std::make_unique<TF_FData>();
    selected_window_->hide();
    take_frame(selected_window_->frame());

    set_live_mode(false);
}

TF_Plot* graph_list::open_window(graph_kind kind)
{
    if (kind == graph_kind::depth && (data_ == nullptr || !data_->ctd_merged))
        return nullptr;
    auto window = std::make_unique<TF_Plot>();
    TFr_ParentFrame* frame = nullptr;
    switch (kind) {
    case graph_kind::spectral:
        frame = new TFr_Spectral(window.get());
        break;
    case graph_kind::time:
        frame = new TFr_Time(window.get());
        break;
    case graph_kind::depth:
        frame = new TFr_Depth(window.get());
        break;
    }
    const std::int32_t n = counters_[static_cast<std::size_t>(kind)];
    const kind_names names = names_of(kind);
    frame->setObjectName(QString(names.frame).arg(n));
    if (prompts_ != nullptr)
        frame->set_prompts(prompts_);
    frame->SetDataSet(data_);
    frame->update();
    window->set_frame(frame);
    window->setObjectName(QString(names.window).arg(n));
    window->show();
    window->raise();
    window->activateWindow();

    take_frame(frame);
    windows_.push_back(std::move(window));
    ++counters_[static_cast<std::size_t>(kind)];
    return windows_.back().get();
}

void graph_list::set_data_set(IXO_Data* data)
{
    data_ = data;
    for_each_frame([&](TFr_ParentFrame& frame) { frame.SetDataSet(data); });
}

void graph_list::redraw_all()
{
    for_each_frame([&](TFr_ParentFrame& frame) { frame.Redraw(); });
}

void graph_list::set_live_mode(bool live)
{
    for_each_frame([&](TFr_ParentFrame& frame) { frame.SetLiveMode(live); });
}

void graph_list::data_arrived()
{
    for_each_frame([&](TFr_ParentFrame& frame) { frame.DataArrived(); });
}

std::vector<TFr_ParentFrame*> graph_list::graphs() const
{
    std::vector<TFr_ParentFrame*> out;
    for (const auto& frame : graphs_)
        if (frame != nullptr)
            out.push_back(frame);
    return out;
}

std::vector<TF_Plot*> graph_list::windows() const
{
    std::vector<TF_Plot*> out;
    for (const auto& w : windows_)
        out.push_back(w.get());
    return out;
}

} // namespace vantrel
