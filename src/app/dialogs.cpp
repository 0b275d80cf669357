#include "app/dialogs.hpp"

#include "app/window_prompts.hpp"
#include "common/text_numbers.hpp"

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QVBoxLayout>

namespace vantrel {

two_line_button::two_line_button(const QString& text, QWidget* parent) : QPushButton(text, parent) {}

QSize two_line_button::sizeHint() const
{
    const QFontMetrics fm = fontMetrics();
    return {120, 2 * fm.height() + 16};
}

void two_line_button::paintEvent(QPaintEvent* /*event*/)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    painter.drawText(rect().adjusted(6, 4, -6, -4), Qt::AlignCenter | Qt::TextWordWrap, text());
}

// ---------------------------------------------------------------- Continue Saving?

TF_ContSaving::TF_ContSaving(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("F_ContSaving"));
    setWindowTitle(QStringLiteral("Continue Saving?"));
    resize(300, 226);

    auto* first = new QLabel(QStringLiteral("You are not currently saving the data as it is read."), this);
    first->setObjectName(QStringLiteral("Label1"));
    first->setWordWrap(true);
    auto* second = new QLabel(
        QStringLiteral(
            "Do you wish to save the data as it is read from the device, or just save what you have "
            "so far?"),
        this);
    second->setObjectName(QStringLiteral("Label2"));
    second->setWordWrap(true);

    B_JustSave = new two_line_button(QStringLiteral("Just save what has been read"), this);
    B_JustSave->setObjectName(QStringLiteral("B_JustSave"));
    B_JustSave->setAutoDefault(false);
    B_ContinueSaving = new two_line_button(QStringLiteral("Save and continuing saving to file"), this);
    B_ContinueSaving->setObjectName(QStringLiteral("B_ContinueSaving"));
    B_ContinueSaving->setAutoDefault(false);
    connect(B_JustSave, &QPushButton::clicked, this, &QDialog::reject);
    connect(B_ContinueSaving, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(B_JustSave);
    buttons->addWidget(B_ContinueSaving);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(first);
    layout->addWidget(second);
    layout->addStretch();
    layout->addLayout(buttons);
}

// ---------------------------------------------------------------- factory calibration temperature

TF_FacCalQuery::TF_FacCalQuery(window_prompts& prompts_, QWidget* parent) : QDialog(parent), prompts(prompts_)
{
    setObjectName(QStringLiteral("F_FacCalQuery"));
    setWindowTitle(QStringLiteral("Who made that devfile, anyway?"));
    resize(274, 193);

    auto* note = new QLabel(
        QStringLiteral(
            "Unable to parse factory calibration temperature.  This value is required to be correctly "
            "make temperature corrections.  You may be able to edit the device file to prevent this "
            "from occuring in the future."),
        this);
    note->setObjectName(QStringLiteral("Label1"));
    note->setWordWrap(true);
    auto* prompt = new QLabel(QStringLiteral("Factory Temperature Calibration:  "), this);
    prompt->setObjectName(QStringLiteral("Label2"));
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    auto* unit = new QLabel(QStringLiteral("C"), this);
    unit->setObjectName(QStringLiteral("Label3"));

    B_OK = new QPushButton(QStringLiteral("OK"), this);
    B_OK->setObjectName(QStringLiteral("B_OK"));
    B_Cancel = new QPushButton(QStringLiteral("Cancel"), this);
    B_Cancel->setObjectName(QStringLiteral("B_Cancel"));
    B_Cancel->setAutoDefault(false);
    connect(B_OK, &QPushButton::clicked, this, &TF_FacCalQuery::B_OKClick);
    connect(B_Cancel, &QPushButton::clicked, this, &TF_FacCalQuery::B_CancelClick);

    auto* entry = new QHBoxLayout;
    entry->addWidget(prompt);
    entry->addWidget(Edit1, 1);
    entry->addWidget(unit);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(B_Cancel);
    buttons->addStretch();
    buttons->addWidget(B_OK);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(note);
    layout->addLayout(entry);
    layout->addStretch();
    layout->addLayout(buttons);
}

void TF_FacCalQuery::B_OKClick()
{
    const QByteArray typed = Edit1->text().toUtf8();
    std::string_view rest(typed.constData(), static_cast<std::size_t>(typed.size()));
    const std::optional<double> value = text::scan_double(rest);
    if (!value) {
        prompts.message(this, QStringLiteral("Unable to parse value entered"),
                        QStringLiteral("What number is that?"), false);
        return;
    }
    temperature = *value;
    done(accepted_result);
}

void TF_FacCalQuery::B_CancelClick()
{
    done(cancelled_result);
}

// ---------------------------------------------------------------- About

TAboutBox1::TAboutBox1(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutBox1"));
    setWindowTitle(QStringLiteral("About"));
    setFixedSize(297, 213);

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(2);

    auto* icon = new QLabel(panel);
    icon->setObjectName(QStringLiteral("ProgramIcon"));
    icon->setPixmap(style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(40, 40));
    auto* title = new QLabel(QStringLiteral("Vantrel"), panel);
    title->setObjectName(QStringLiteral("ProductName"));
    QFont big = title->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    title->setFont(big);
    auto* version = new QLabel(QStringLiteral("Version 2.0"), panel);
    version->setObjectName(QStringLiteral("Version"));
    auto* comments =
        new QLabel(QStringLiteral("Acquisition and processing for Ixo and Eqa ac meters"), panel);
    comments->setObjectName(QStringLiteral("Comments"));
    comments->setWordWrap(true);
    auto* compiled = new QLabel(QStringLiteral("Compiled 3 August 2009"), panel);
    compiled->setObjectName(QStringLiteral("Copyright"));

    auto* grid = new QGridLayout(panel);
    grid->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(title, 0, 1);
    grid->addWidget(version, 1, 1);
    grid->addWidget(comments, 2, 0, 1, 2);
    grid->addWidget(compiled, 3, 0, 1, 2);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(panel, 1);
    layout->addWidget(OKButton, 0, Qt::AlignHCenter);
}

void TAboutBox1::showEvent(QShowEvent* event)
{
    // Centred on the screen rather than on the main window.
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());
    QDialog::showEvent(event);
}

// ---------------------------------------------------------------- never shown

TF_TimeShift::TF_TimeShift(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("F_TimeShift"));
    setWindowTitle(QStringLiteral("F_TimeShift"));
    auto* first = new QComboBox(this);
    first->setObjectName(QStringLiteral("PD_DataSet1"));
    auto* second = new QComboBox(this);
    second->setObjectName(QStringLiteral("PD_DataSet2"));
    auto* plot = new QFrame(this);
    plot->setObjectName(QStringLiteral("Plot1"));
    plot->setFrameStyle(QFrame::StyledPanel);
    plot->setMinimumSize(300, 200);
    auto* shift = new QSlider(Qt::Horizontal, this);
    shift->setObjectName(QStringLiteral("SB_Shift"));

    auto* choices = new QHBoxLayout;
    choices->addWidget(first);
    choices->addWidget(second);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(choices);
    layout->addWidget(plot, 1);
    layout->addWidget(shift);
}

TForm1::TForm1(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("F_Scattering"));
    auto* title = new QLabel(QStringLiteral("Reflective Tube Scattering"), this);
    title->setObjectName(QStringLiteral("Label1"));
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    auto* text = new QLabel(
        QStringLiteral(
            "The reflective tube of the a channel misses part of the light scattered in the water, so "
            "a reads high by a scattering error. Three corrections remove it:\n\n"
            "Baseline: subtract the a value at the reference wavelength (near 715 nm, where water "
            "absorbs almost everything else) from every a value.\n\n"
            "Proportional: subtract the reference a scaled by each wavelength's scattering b = c - a "
            "relative to b at the reference.\n\n"
            "Percentage of b: subtract 14% of b from every a value."),
        this);
    text->setObjectName(QStringLiteral("Label2"));
    text->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addWidget(text, 1);
}

} // namespace vantrel
