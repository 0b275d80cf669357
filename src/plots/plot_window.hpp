#pragma once

#include <QWidget>

namespace vantrel {

class TFr_ParentFrame;

// A graph window: "Plot Window", holding one frame that fills it. Closing
// it only hides it; its frame keeps following the data set.
class TF_Plot : public QWidget {
    Q_OBJECT

public:
    explicit TF_Plot(QWidget* parent = nullptr);

    // Places the frame in the window, which takes it over.
    void set_frame(TFr_ParentFrame* frame);
    TFr_ParentFrame* frame() const { return frame_; }

private:
    TFr_ParentFrame* frame_ = nullptr;
};

} // namespace vantrel
