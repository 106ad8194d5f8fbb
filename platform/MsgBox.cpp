#include "platform/MsgBox.h"

#include "platform/KeyboardReturn.h"
#include "platform/Placement.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace platform {

namespace {

void showModal(QMessageBox& box)
{
    box.setObjectName(kMsgBoxName);
    box.setWindowModality(Qt::ApplicationModal);
    KeyboardReturn keyboard;
    keyboard.remember(&box);
    box.exec();
    keyboard.giveBack(&box);
}

} // namespace

void MsgBox(const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(), text, QMessageBox::Ok,
                    windowToStayAbove(nullptr));
    showModal(box);
}

std::optional<int> MsgBox(const QString& text, const QStringList& choices)
{
    QMessageBox box(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(), text, QMessageBox::NoButton,
                    windowToStayAbove(nullptr));
    QList<QAbstractButton*> buttons;
    for (const QString& choice : choices)
        buttons << box.addButton(choice, QMessageBox::AcceptRole);
    if (!buttons.isEmpty())
        box.setDefaultButton(qobject_cast<QPushButton*>(buttons.first()));
    // Qt lets neither Escape nor the close button end a box without a cancel button: an unseen one
    // stands for "none of these".
    QPushButton* none = box.addButton(QMessageBox::Cancel);
    none->hide();
    box.setEscapeButton(none);
    showModal(box);
    const qsizetype chosen = buttons.indexOf(box.clickedButton());
    return chosen < 0 ? std::nullopt : std::optional<int>(int(chosen));
}

} // namespace platform
