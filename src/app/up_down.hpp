#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace vantrel {

// A pair of arrow buttons that steps a position within a range, shown in an
// edit box when one is tied to it. Each press reports its direction, also at
// the ends of the range where the position stays.
class up_down : public QWidget {
    Q_OBJECT

public:
    up_down(int minimum, int maximum, QWidget* parent = nullptr);

    // The edit box that shows the position and whose typed number counts as it.
    void set_associate(QLineEdit* edit);

    int position() const;
    void set_position(int value);
    int minimum() const { return min_; }
    int maximum() const { return max_; }

    // Presses an arrow as the user would.
    void press(bool up);

    QToolButton* up_button;
    QToolButton* down_button;

Q_SIGNALS:
    void clicked(bool up);

private:
    int min_;
    int max_;
    int position_ = 0;
    QLineEdit* associate_ = nullptr;
};

} // namespace vantrel
