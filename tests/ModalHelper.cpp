#include "ModalHelper.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

QWidget* topModal()
{
    return QApplication::activeModalWidget();
}

void whenModal(std::function<void(QWidget*)> act, int timeoutMs)
{
    QPointer<QWidget> before = topModal();
    auto* poll = new QTimer(qApp);
    auto* clock = new QElapsedTimer;
    clock->start();
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, poll, [=] {
        QWidget* modal = topModal();
        const bool fresh = modal && modal != before && modal->isVisible();
        if (!fresh && clock->elapsed() < timeoutMs)
            return;
        poll->stop();
        poll->deleteLater();
        delete clock;
        if (fresh)
            act(modal);
        else
            qWarning("whenModal: no modal window opened");
    });
    poll->start();
}

void answerMessageBox(QString* text)
{
    whenModal([text](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box) {
            *text = QStringLiteral("<not a message box: %1>").arg(modal->objectName());
            return;
        }
        *text = box->text();
        box->button(QMessageBox::Ok)->click();
    });
}
