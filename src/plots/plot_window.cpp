#include "plots/plot_window.hpp"

#include "plots/parent_frame.hpp"

#include <QVBoxLayout>

namespace vantrel {

TF_Plot::TF_Plot(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setWindowTitle("Plot Window");
    resize(628, 439);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

void TF_Plot::set_frame(TFr_ParentFrame* frame)
{
    frame_ = frame;
    frame->setParent(this);
    layout()->addWidget(frame);
}

} // namespace vantrel
