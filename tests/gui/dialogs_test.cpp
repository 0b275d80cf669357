#include "app/dialogs.hpp"
#include "app/window_prompts.hpp"
#include "gui_support.hpp"

#include <QLineEdit>
#include <QPushButton>

using namespace vantrel;
using namespace vantrel::testing;

TEST(fac_cal_query, ok_takes_the_leading_number_or_says_it_found_none)
{
    struct row {
        const char* typed;
        bool accepted;
        double value;
    };
    const row rows[] = {
        {"21.5 C", true, 21.5}, {"  -3e1x", true, -30.0}, {"0x10", true, 16.0}, {"19", true, 19.0},
        {"C", false, 0.0},      {"", false, 0.0},         {"  ", false, 0.0},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.typed);
        scripted_prompts prompts;
        TF_FacCalQuery dialog(prompts);
        dialog.show();
        dialog.Edit1->setText(QString::fromLatin1(r.typed));
        QTest::mouseClick(dialog.B_OK, Qt::LeftButton);
        if (r.accepted) {
            EXPECT_FALSE(dialog.isVisible());
            EXPECT_EQ(dialog.result(), TF_FacCalQuery::accepted_result);
            EXPECT_EQ(dialog.temperature, r.value);
            EXPECT_TRUE(prompts.messages.empty());
        } else {
            EXPECT_TRUE(dialog.isVisible());
            EXPECT_EQ(dialog.temperature, 0.0);
            ASSERT_EQ(prompts.messages.size(), 1U);
            EXPECT_EQ(prompts.messages[0].text, "Unable to parse value entered");
            EXPECT_EQ(prompts.messages[0].caption, "What number is that?");
            EXPECT_FALSE(prompts.messages[0].ok_cancel);
        }
    }
}

TEST(fac_cal_query, cancel_and_the_close_box_end_it_differently)
{
    scripted_prompts prompts;
    TF_FacCalQuery dialog(prompts);
    dialog.show();
    QTest::mouseClick(dialog.B_Cancel, Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), TF_FacCalQuery::cancelled_result);

    dialog.show();
    dialog.close();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST(cont_saving, the_right_button_is_ok_the_left_one_and_the_close_box_cancel)
{
    TF_ContSaving dialog;
    EXPECT_EQ(dialog.B_JustSave->text(), "Just save what has been read");
    EXPECT_EQ(dialog.B_ContinueSaving->text(), "Save and continuing saving to file");
    EXPECT_LT(dialog.B_JustSave->x(), dialog.B_ContinueSaving->x() + 1);

    dialog.show();
    QTest::mouseClick(dialog.B_ContinueSaving, Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    dialog.show();
    QTest::mouseClick(dialog.B_JustSave, Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    dialog.setResult(QDialog::Accepted);
    dialog.show();
    dialog.close();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST(qt_file_filter, turns_the_windows_filters_into_qt_filters)
{
    struct row {
        const char* filter;
        const char* expected;
    };
    const row rows[] = {
        {"All Files (*.*)|*.*", "All Files (*.*)"},
        {"All Files|*.*", "All Files (*.*)"},
        {"Device Files (*.dev)|*.DEV|All Files|*.*", "Device Files (*.DEV *.dev);;All Files (*.*)"},
        {"Water Calibration Files|*.wcf|All Files|*.*", "Water Calibration Files (*.wcf);;All Files (*.*)"},
        {"Binary Files|*.bin;*.BIN|All Files|*.*", "Binary Files (*.bin *.BIN);;All Files (*.*)"},
    };
    for (const row& r : rows)
        EXPECT_EQ(qt_file_filter(QString::fromLatin1(r.filter)), QString::fromLatin1(r.expected)) << r.filter;
}
