#include "ModalHelper.h"

#include "platform/Window.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTest>

namespace {

constexpr int kPollMs = 5;
// Reached only when something is wrong: a window that never takes the keyboard fails the test.
constexpr int kActivationPatienceMs = 20000;
const char* const kHandled = "whenModalHandled";

QList<WhenModal*>& armedGuards()
{
    static QList<WhenModal*> guards;
    return guards;
}

int g_acting = 0;

} // namespace

WhenModal::WhenModal(Action act)
    : m_act(std::move(act))
    , m_before(QApplication::activeModalWidget())
    , m_depth(g_acting)
{
    armedGuards().append(this);
    // A timer of its own: Qt does not fire a timer again while its own slot is running, so a shared
    // one would never serve a guard armed inside another guard's action.
    m_poll.setInterval(kPollMs);
    QObject::connect(&m_poll, &QTimer::timeout, &m_poll, [this] { poll(); });
    m_poll.start();
}

WhenModal::~WhenModal()
{
    disarm();
}

void WhenModal::disarm()
{
    m_poll.stop();
    armedGuards().removeOne(this);
    if (m_state == State::Armed)
        m_state = State::Done;
}

bool WhenModal::wants(const QWidget* modal) const
{
    return m_state == State::Armed && modal != m_before;
}

void WhenModal::poll()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible() || modal->property(kHandled).toBool() || !wants(modal))
        return;
    const WhenModal* chosen = nullptr;
    for (const WhenModal* guard : armedGuards()) {
        if (guard->wants(modal) && (!chosen || guard->m_depth > chosen->m_depth))
            chosen = guard;
    }
    if (chosen != this)
        return;

    if (QApplication::activeWindow() != modal) {
        if (m_waitingFor != modal) {
            m_waitingFor = modal;
            m_waiting.start();
        } else if (m_waiting.elapsed() > kActivationPatienceMs) {
            modal->setProperty(kHandled, true);
            disarm();
            QTest::qFail(qPrintable(QStringLiteral("the modal window %1 never became active").arg(modal->objectName())),
                         __FILE__, __LINE__);
            closeModal(modal);
        }
        return;
    }
    act(modal);
}

void WhenModal::act(QWidget* modal)
{
    m_poll.stop();
    m_state = State::Acting;
    modal->setProperty(kHandled, true);
    const QPointer<QWidget> window(modal);
    {
        const QScopedValueRollback acting(g_acting, g_acting + 1);
        m_act(modal);
    }
    m_state = State::Done;
    armedGuards().removeOne(this);
    // A failed check may have returned early from the action: end the window, or its loop would wait
    // for ever.
    if (QTest::currentTestFailed() && window && window->isVisible())
        closeModal(window);
}

void endModalWindows()
{
    for (WhenModal* guard : armedGuards()) {
        qWarning("endModalWindows: a modal guard outlived its test");
        guard->m_poll.stop();
        guard->m_state = WhenModal::State::Done;
    }
    armedGuards().clear();
    // Bounded: a window that refuses to close must not hang the suite.
    for (int i = 0; i < 16; ++i) {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            break;
        closeModal(modal);
    }
}

void closeAllWindows()
{
    endModalWindows();
    QList<QPointer<platform::Window>> open;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<platform::Window*>(widget); window && !window->isClosed())
            open.append(window);
    }
    for (const QPointer<platform::Window>& window : std::as_const(open)) {
        if (window)
            window->Close();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void closeModal(QWidget* modal)
{
    if (auto* window = qobject_cast<platform::Window*>(modal))
        window->Close();
    else if (auto* dialog = qobject_cast<QDialog*>(modal))
        dialog->reject();
    else
        modal->close();
}

WhenModal::Action answerMessageBox(QString* text)
{
    return [text](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY2(box, qPrintable(QStringLiteral("not a message box: %1").arg(modal->objectName())));
        *text = box->text();
        box->button(QMessageBox::Ok)->click();
    };
}
