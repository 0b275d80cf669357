#include "app/ctd_columns_dialog.hpp"

#include "app/settings.hpp"
#include "app/window_prompts.hpp"
#include "common/error.hpp"

#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace vantrel {

namespace {

QLineEdit* column_field(QWidget* parent, const char* name)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(QString::fromLatin1(name));
    field->setMaximumWidth(60);
    return field;
}

} // namespace

TF_LoadCTD::TF_LoadCTD(window_prompts& prompts_, QWidget* parent) : QDialog(parent), prompts(prompts_)
{
    setObjectName(QStringLiteral("F_LoadCTD"));
    setWindowTitle(QStringLiteral("Choose CTD columns"));
    resize(527, 253);

    RE_Preview = new QPlainTextEdit(this);
    RE_Preview->setObjectName(QStringLiteral("RE_Preview"));
    RE_Preview->setReadOnly(true);
    RE_Preview->setLineWrapMode(QPlainTextEdit::NoWrap);
    RE_Preview->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    E_Time = column_field(this, "E_Time");
    E_Pres = column_field(this, "E_Pres");
    E_Temp = column_field(this, "E_Temp");
    E_Saln = column_field(this, "E_Saln");
    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("Time Column"), E_Time);
    fields->addRow(QStringLiteral("Pressure Column"), E_Pres);
    fields->addRow(QStringLiteral("Temperature Column"), E_Temp);
    fields->addRow(QStringLiteral("Salinity Column"), E_Saln);

    B_Cancel = new QPushButton(QStringLiteral("Cancel"), this);
    B_Cancel->setObjectName(QStringLiteral("B_Cancel"));
    B_Cancel->setAutoDefault(false);
    B_OK = new QPushButton(QStringLiteral("OK"), this);
    B_OK->setObjectName(QStringLiteral("B_OK"));
    connect(B_Cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(B_OK, &QPushButton::clicked, this, &TF_LoadCTD::B_OKClick);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(B_Cancel);
    buttons->addWidget(B_OK);
    auto* right = new QVBoxLayout;
    right->addLayout(fields);
    right->addStretch();
    right->addLayout(buttons);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(RE_Preview, 1);
    layout->addLayout(right);
}

void TF_LoadCTD::FormShow()
{
    RE_Preview->clear();
    if (Settings != nullptr) {
        E_Time->setText(QString::number(Settings->ctd_time));
        E_Pres->setText(QString::number(Settings->ctd_pres));
        E_Temp->setText(QString::number(Settings->ctd_temp));
        E_Saln->setText(QString::number(Settings->ctd_saln));
    }
    choice.load_preview(file_name.toStdString());
    QStringList lines;
    for (const std::string& line : choice.preview())
        lines.append(QString::fromStdString(line));
    RE_Preview->setPlainText(lines.join(QLatin1Char('\n')));
}

void TF_LoadCTD::B_OKClick()
{
    ctd_columns columns;
    if (Settings != nullptr)
        columns = {Settings->ctd_time, Settings->ctd_pres, Settings->ctd_temp, Settings->ctd_saln};
    const std::string refusal =
        choice.accept(E_Time->text().toStdString(), E_Pres->text().toStdString(),
                      E_Temp->text().toStdString(), E_Saln->text().toStdString(), columns);
    if (!refusal.empty()) {
        prompts.message(this, QString::fromStdString(refusal), program_title(), false);
        return;
    }
    if (Settings != nullptr) {
        Settings->ctd_time = columns.time;
        Settings->ctd_pres = columns.pres;
        Settings->ctd_temp = columns.temp;
        Settings->ctd_saln = columns.saln;
        try {
            Settings->save();
        } catch (const error& e) {
            // The columns are valid and kept in memory; a store that cannot be
            // written is no reason to refuse loading the CTD file.
            prompts.message(this, QString::fromUtf8(e.what()), program_title(), false);
        }
    }
    accept();
}

} // namespace vantrel
