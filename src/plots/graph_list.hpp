#pragma once

#include <QObject>
#include <QPointer>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class QWidget;

namespace vantrel {

class IXO_Data;
class TFr_ParentFrame;
class TFr_Data;
class TF_FData;
class TF_Plot;
class plot_prompts;

enum class graph_kind { spectral, time, depth };

// The main window's plot frames: the graph list (frames in the order they
// were created, built-in ones first), the graph windows and their counters,
// and the "Selected Data" window that the time and depth plots' picks go to.
// Every call on the frames goes through here, in list order.
class graph_list : public QObject {
    Q_OBJECT

public:
    // `prompts` is handed to every frame (the program's Qt dialogs when null).
    explicit graph_list(plot_prompts* prompts = nullptr, QObject* parent = nullptr);
    ~graph_list() override;

    // The two built-in graphs in the main window's panels ("BuiltinGraph1",
    // a spectral plot, above; "BuiltinGraph2", a time plot, below), then the
    // hidden "Selected Data" window; live mode off on every frame. Once.
    void create_builtin_graphs(QWidget* upper, QWidget* lower);
    // Appends a frame made elsewhere; its picks reach the selected data.
    void add_builtin(TFr_ParentFrame* frame);

    // A new graph window of the kind, in front, following the current data
    // set; nothing (nullptr) for the depth kind before a CTD merge.
    TF_Plot* open_window(graph_kind kind);

    // The four calls, on every frame of the list, in order. Errors of a
    // redraw propagate to the caller.
    void set_data_set(IXO_Data* data);
    void redraw_all();
    void set_live_mode(bool live);
    void data_arrived();

    std::vector<TFr_ParentFrame*> graphs() const;
    std::vector<TF_Plot*> windows() const;
    std::int32_t counter(graph_kind kind) const { return counters_[static_cast<std::size_t>(kind)]; }
    IXO_Data* data_set() const { return data_; }
    TF_FData* selected_data_window() const { return selected_window_.get(); }
    TFr_Data* selected_data() const;

private:
    void take_frame(TFr_ParentFrame* frame);
    // Calls `op` on every frame still alive, in list order.
    template <class Op> void for_each_frame(Op op)
    {
        for (const auto& frame : graphs_)
            if (frame != nullptr)
                op(*frame);
    }

    plot_prompts* prompts_;
    IXO_Data* data_ = nullptr;
    std::vector<QPointer<TFr_ParentFrame>> graphs_;
    std::vector<std::unique_ptr<TF_Plot>> windows_;
    std::unique_ptr<TF_FData> selected_window_;
    std::array<std::int32_t, 3> counters_{0, 0, 0};
};

} // namespace vantrel
