#include "app/up_down.hpp"

#include "common/text_numbers.hpp"

#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace vantrel {

namespace {

QToolButton* arrow(Qt::ArrowType type, const char* name, QWidget* parent)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setArrowType(type);
    b->setAutoRepeat(true);
    b->setFixedSize(18, 11);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

} // namespace

up_down::up_down(int minimum, int maximum, QWidget* parent) : QWidget(parent), min_(minimum), max_(maximum)
{
    up_button = arrow(Qt::UpArrow, "up", this);
    down_button = arrow(Qt::DownArrow, "down", this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(up_button);
    layout->addWidget(down_button);
    connect(up_button, &QToolButton::clicked, this, [this] { press(true); });
    connect(down_button, &QToolButton::clicked, this, [this] { press(false); });
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void up_down::set_associate(QLineEdit* edit)
{
    associate_ = edit;
    set_position(position_);
}

int up_down::position() const
{
    if (associate_ == nullptr)
        return position_;
    const QByteArray typed = associate_->text().toUtf8();
    const double v =
        text::leading_double(std::string_view(typed.constData(), static_cast<std::size_t>(typed.size())));
    return std::clamp(static_cast<int>(std::clamp(v, -1e9, 1e9)), min_, max_);
}

void up_down::set_position(int value)
{
    position_ = std::clamp(value, min_, max_);
    if (associate_ != nullptr)
        associate_->setText(QString::number(position_));
}

void up_down::press(bool up)
{
    if (!isEnabled())
        return;
    const int from = position();
    set_position(up ? (from < max_ ? from + 1 : from) : (from > min_ ? from - 1 : from));
    Q_EMIT clicked(up);
}

} // namespace vantrel
