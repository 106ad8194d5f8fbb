#include "platform/MsgBox.h"

#include "platform/KeyboardReturn.h"
#include "platform/Placement.h"

#include <QApplication>
#include <QMessageBox>

namespace platform {

void MsgBox(const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(), text, QMessageBox::Ok,
                    windowToStayAbove(nullptr));
    box.setObjectName(kMsgBoxName);
    box.setWindowModality(Qt::ApplicationModal);
    KeyboardReturn keyboard;
    keyboard.remember(&box);
    box.exec();
    keyboard.giveBack(&box);
}

} // namespace platform
