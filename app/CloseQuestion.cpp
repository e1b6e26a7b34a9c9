#include "app/CloseQuestion.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

namespace velorin::app {

CloseAnswer askApplyBeforeClosing(QWidget* owner, const QString& text, const QString& caption,
                                  const QString& applyLabel) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::NoButton,
                    owner ? owner : QApplication::activeWindow());
    box.setObjectName(QStringLiteral("close_question"));
    QPushButton* apply = box.addButton(applyLabel, QMessageBox::AcceptRole);
    QPushButton* discard =
        box.addButton(QCoreApplication::translate("CMainDlg", "放弃更改"), QMessageBox::DestructiveRole);
    QPushButton* cancel =
        box.addButton(QCoreApplication::translate("CMainDlg", "取消"), QMessageBox::RejectRole);
    // Return on the box as it opens writes nothing and throws nothing away; a button the user
    // moved to with Tab still takes Return, as every button does.
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == apply)
        return CloseAnswer::Apply;
    if (box.clickedButton() == discard)
        return CloseAnswer::Discard;
    return CloseAnswer::Cancel;
}

} // namespace velorin::app
