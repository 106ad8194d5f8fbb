#include "KioskTesting.h"
#include "ModalHelper.h"
#include "TestEnvironment.h"
#include "TestFiles.h"

#include "app/App.h"
#include "form/ThanksWindow.h"
#include "form/Window1.h"
#include "platform/Controls.h"
#include "platform/EditField.h"
#include "platform/Menus.h"
#include "platform/MsgBox.h"
#include "settings/PasswordDialog.h"
#include "settings/PreferencesWindow.h"

#include <QDir>
#include <QFile>
#include <QtTest>

namespace {

const QString kMismatch = QStringLiteral("the Passwords do not match Please re-enter the Password");
const QString kNotSaved =
    QStringLiteral("The settings could not be saved to the settings file. They apply until the kiosk quits.");

// How the password dialog is left after the entries.
enum class Finish { Ok, Cancel, Escape, CloseButton, WindowManager, NotAtAll };

} // namespace

Q_DECLARE_METATYPE(Finish)

namespace {

// What the test saw of the password dialog.
struct DialogLog
{
    bool seen = false;
    QString title;
    QString label;
    QStringList messages;
    QStringList fieldAfterMessage;
};

void finishDialog(PasswordDialog* dialog, Finish finish)
{
    switch (finish) {
    case Finish::Ok:
        QTest::mouseClick(dialog->PushButton1, Qt::LeftButton);
        break;
    case Finish::Cancel:
        QTest::mouseClick(dialog->PushButton2, Qt::LeftButton);
        break;
    case Finish::Escape:
        QTest::keyClick(dialog->PassField, Qt::Key_Escape);
        break;
    case Finish::CloseButton:
        dialog->close();
        break;
    case Finish::WindowManager:
        dialog->windowHandle()->close();
        break;
    case Finish::NotAtAll:
        break;
    }
}

// The answer to a password dialog, for a WhenModal: each refused entry is typed and OK pressed (its
// message answered), then the last entry is typed and the dialog left as finish says. beforeFinish
// runs just before that, while the dialog is still open.
WhenModal::Action answerPasswordDialog(const QStringList& refused, const QString& last, Finish finish, DialogLog* log,
                                       std::function<void()> beforeFinish = {})
{
    return [=](QWidget* modal) {
        auto* dialog = qobject_cast<PasswordDialog*>(modal);
        QVERIFY2(dialog, qPrintable(QStringLiteral("not the password dialog: %1").arg(modal->objectName())));
        log->seen = true;
        log->title = dialog->Title();
        log->label = dialog->Label->text();
        for (const QString& entry : refused) {
            dialog->PassField->clear();
            QTest::keyClicks(dialog->PassField, entry);
            QString message;
            WhenModal box(answerMessageBox(&message));
            QTest::mouseClick(dialog->PushButton1, Qt::LeftButton);
            QVERIFY(box.acted());
            log->messages << message;
            log->fieldAfterMessage << dialog->PassField->Text();
        }
        dialog->PassField->clear();
        QTest::keyClicks(dialog->PassField, last);
        if (beforeFinish)
            beforeFinish();
        finishDialog(dialog, finish);
    };
}

} // namespace

class TestLock final : public QObject
{
    Q_OBJECT

    TestEnvironment m_env;

private Q_SLOTS:
    void init() { m_env.removeSettings(); }
    void cleanup() { closeAllWindows(); }

    // ---- The password dialog ----

    void dialogModes_data()
    {
        // clang-format off
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("title");
        QTest::newRow("GetPrefs") << "GetPrefs" << "Enter Password";
        QTest::newRow("quit") << "quit" << "Enter Password";
        QTest::newRow("Confirm") << "Confirm" << "Confirm Password";
        // clang-format on
    }

    void dialogModes()
    {
        QFETCH(QString, action);
        QFETCH(QString, title);
        App app;
        app.PasswordAction = action;
        PasswordDialog& dialog = PasswordDialog::instance();
        QCOMPARE(dialog.Title(), title);
        QCOMPARE(dialog.Label->text(), title);
        QCOMPARE(dialog.PassField->echoMode(), QLineEdit::Password);
        QCOMPARE(dialog.PassField->Text(), QString());
        QCOMPARE(dialog.content()->size(), QSize(348, 109));
    }

    void getPassword_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QStringList>("refused");
        QTest::addColumn<QString>("last");
        QTest::addColumn<Finish>("finish");
        QTest::addColumn<bool>("verdict");

        for (const char* action : {"GetPrefs", "quit"}) {
            const QByteArray a(action);
            QTest::newRow(a + ": empty password, empty entry")
                << QString::fromLatin1(a) << "" << QStringList() << "" << Finish::Ok << true;
            QTest::newRow(a + ": right password")
                << QString::fromLatin1(a) << "Secret" << QStringList() << "Secret" << Finish::Ok << true;
            QTest::newRow(a + ": other case refused")
                << QString::fromLatin1(a) << "Secret" << QStringList{"secret"} << "" << Finish::Cancel << false;
            QTest::newRow(a + ": three wrong, then right")
                << QString::fromLatin1(a) << "Secret" << QStringList{"x", "SECRET", "Secret "} << "Secret" << Finish::Ok
                << true;
            QTest::newRow(a + ": Cancel with the right entry")
                << QString::fromLatin1(a) << "Secret" << QStringList() << "Secret" << Finish::Cancel << false;
            QTest::newRow(a + ": Escape")
                << QString::fromLatin1(a) << "Secret" << QStringList() << "Secret" << Finish::Escape << false;
            QTest::newRow(a + ": close button")
                << QString::fromLatin1(a) << "Secret" << QStringList() << "Secret" << Finish::CloseButton << false;
            QTest::newRow(a + ": window manager")
                << QString::fromLatin1(a) << "Secret" << QStringList() << "Secret" << Finish::WindowManager << false;
        }
    }

    void getPassword()
    {
        QFETCH(QString, action);
        QFETCH(QString, password);
        QFETCH(QStringList, refused);
        QFETCH(QString, last);
        QFETCH(Finish, finish);
        QFETCH(bool, verdict);

        App app;
        app.Password = password;
        // A success left from an earlier request must not open the lock again.
        app.PasswordGood = true;
        app.PasswordAction = action;
        DialogLog log;
        WhenModal guard(answerPasswordDialog(refused, last, finish, &log));
        QCOMPARE(PasswordDialog::instance().GetPassword(), verdict);
        QVERIFY(log.seen);
        QCOMPARE(log.title, QStringLiteral("Enter Password"));
        QCOMPARE(log.messages, QStringList(refused.size(), kMismatch));
        // A refused entry stays in the field.
        QCOMPARE(log.fieldAfterMessage, refused);
        QVERIFY(!platform::ImplicitInstance<PasswordDialog>::isOpen());
    }

    // A dialog that closes in any other way (here: from code) leaves the verdict false.
    void closedOtherwiseIsFalse()
    {
        App app;
        app.PasswordAction = QStringLiteral("quit");
        app.PasswordGood = true;
        WhenModal guard([](QWidget* modal) {
            auto* dialog = qobject_cast<PasswordDialog*>(modal);
            QVERIFY(dialog);
            dialog->Close();
        });
        QVERIFY(!PasswordDialog::instance().GetPassword());
        QVERIFY(guard.acted());
    }

    // ---- Quit guard ----

    void quitGuard_data()
    {
        QTest::addColumn<QString>("route");
        QTest::addColumn<bool>("fullScreen");
        QTest::addColumn<QStringList>("refused");
        QTest::addColumn<Finish>("finish");
        QTest::addColumn<bool>("quits");

        for (const char* route : {"File > Quit", "Ctrl+Q", "close button", "window manager", "platform quit"}) {
            for (bool fullScreen : {false, true}) {
                const QByteArray name = QByteArray(route) + (fullScreen ? ", full screen" : ", windowed");
                QTest::newRow(name + ": right password") << route << fullScreen << QStringList() << Finish::Ok << true;
                QTest::newRow(name + ": wrong, then Cancel")
                    << route << fullScreen << QStringList{"wrong"} << Finish::Cancel << false;
                QTest::newRow(name + ": Cancel") << route << fullScreen << QStringList() << Finish::Cancel << false;
            }
        }
    }

    void quitGuard()
    {
        QFETCH(QString, route);
        QFETCH(bool, fullScreen);
        QFETCH(QStringList, refused);
        QFETCH(Finish, finish);
        QFETCH(bool, quits);

        App app;
        bool quit = false;
        app.setTerminate([&] { quit = true; });
        app.Password = QStringLiteral("Secret");
        app.fullScreenmark = fullScreen;
        QPointer<Window1> form = &Window1::instance();
        QCOMPARE(form->FullScreen(), fullScreen);
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form));
        QTest::keyClicks(form->EmailField, QStringLiteral("fan@example.com"));

        DialogLog log;
        WhenModal guard(answerPasswordDialog(refused, QStringLiteral("Secret"), finish, &log));
        if (route == QLatin1String("File > Quit"))
            form->FileQuit()->trigger();
        else if (route == QLatin1String("Ctrl+Q"))
            QTest::keyClick(form->EmailField, Qt::Key_Q, Qt::ControlModifier);
        else if (route == QLatin1String("close button"))
            form->close();
        else if (route == QLatin1String("window manager"))
            form->windowHandle()->close();
        else {
            QEvent request(QEvent::Quit);
            QCoreApplication::sendEvent(qApp, &request);
        }

        QTRY_VERIFY(log.seen);
        QTRY_VERIFY(!platform::ImplicitInstance<PasswordDialog>::isOpen());
        QCOMPARE(log.title, QStringLiteral("Enter Password"));
        QCOMPARE(log.messages, QStringList(refused.size(), kMismatch));
        QCOMPARE(quit, quits);
        if (!quits) {
            // The visitor's form stays as it was.
            QVERIFY(form && !form->isClosed() && form->isVisible());
            QCOMPARE(form->FullScreen(), fullScreen);
            QCOMPARE(form->EmailField->Text(), QStringLiteral("fan@example.com"));
        }
    }

    // ---- Preferences command and window ----

    void preferencesCommand_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<Finish>("finish");
        QTest::addColumn<int>("opened");
        QTest::newRow("right password") << "Secret" << Finish::Ok << 1;
        QTest::newRow("Cancel") << "Secret" << Finish::Cancel << 0;
        QTest::newRow("close button") << "Secret" << Finish::CloseButton << 0;
    }

    void preferencesCommand()
    {
        QFETCH(QString, entry);
        QFETCH(Finish, finish);
        QFETCH(int, opened);

        App app;
        app.Password = QStringLiteral("Secret");
        Window1& form = Window1::instance();
        PreferencesWatch watch(PreferencesWatch::Then::Cancel);
        DialogLog log;
        WhenModal unlock(answerPasswordDialog({}, entry, finish, &log));
        form.EditPref()->trigger();
        QVERIFY(log.seen);
        QCOMPARE(watch.opened, opened);
        QCOMPARE(app.PasswordAction, QStringLiteral("GetPrefs"));

        // The next quit asks again, in its own mode.
        bool quit = false;
        app.setTerminate([&] { quit = true; });
        DialogLog quitLog;
        WhenModal lock(answerPasswordDialog({}, QString(), Finish::Cancel, &quitLog));
        form.FileQuit()->trigger();
        QVERIFY(quitLog.seen);
        QCOMPARE(quitLog.title, QStringLiteral("Enter Password"));
        QCOMPARE(app.PasswordAction, QStringLiteral("quit"));
        QVERIFY(!quit);
    }

    void preferencesShowCurrent()
    {
        App app;
        app.Password = QStringLiteral("Secret");
        app.fullScreenmark = true;
        app.DefaultCountryIndex = 7;
        PreferencesWindow& prefs = PreferencesWindow::instance();
        QCOMPARE(prefs.Title(), QStringLiteral("Preferences"));
        QCOMPARE(prefs.content()->size(), QSize(305, 171));
        QCOMPARE(prefs.Passwordfield->Text(), QStringLiteral("Secret"));
        QCOMPARE(prefs.Passwordfield->echoMode(), QLineEdit::Password);
        QVERIFY(prefs.FullScreenCB->Value());
        QCOMPARE(prefs.CountryPopUp->ListIndex(), 7);
        QCOMPARE(prefs.CountryPopUp->ListCount(), 224);
    }

    // Save and Cancel in the Preferences window, opened as the operator opens it.
    void preferencesSave_data()
    {
        QTest::addColumn<QString>("newPassword");  // typed into Passwordfield
        QTest::addColumn<bool>("fullScreen");      // the check box as saved
        QTest::addColumn<QStringList>("refused");  // confirmations that differ
        QTest::addColumn<QString>("confirmation"); // the last confirmation
        QTest::addColumn<Finish>("confirmFinish"); // NotAtAll: no confirmation asked
        QTest::addColumn<QString>("closeBy");      // "Save", "Cancel" or "close button"
        QTest::addColumn<bool>("saved");

        QTest::newRow("only the check box: saved at once")
            << "Secret" << true << QStringList() << "" << Finish::NotAtAll << "Save" << true;
        QTest::newRow("changed password confirmed")
            << "NewOne" << false << QStringList() << "NewOne" << Finish::Ok << "Save" << true;
        QTest::newRow("changed password, mistyped, then confirmed")
            << "NewOne" << false << QStringList{"newone", "NewOn"} << "NewOne" << Finish::Ok << "Save" << true;
        QTest::newRow("changed password, confirmation cancelled")
            << "NewOne" << true << QStringList{"x"} << "NewOne" << Finish::Cancel << "Cancel" << false;
        QTest::newRow("changed password, confirmation closed by its close button")
            << "NewOne" << true << QStringList() << "NewOne" << Finish::CloseButton << "close button" << false;
        QTest::newRow("emptied password confirmed empty")
            << "" << false << QStringList() << "" << Finish::Ok << "Save" << true;
        QTest::newRow("Cancel") << "Secret" << true << QStringList() << "" << Finish::NotAtAll << "Cancel" << false;
        QTest::newRow("close button") << "Secret" << true << QStringList() << "" << Finish::NotAtAll << "close button"
                                      << false;
    }

    void preferencesSave()
    {
        QFETCH(QString, newPassword);
        QFETCH(bool, fullScreen);
        QFETCH(QStringList, refused);
        QFETCH(QString, confirmation);
        QFETCH(Finish, confirmFinish);
        QFETCH(QString, closeBy);
        QFETCH(bool, saved);

        App app;
        app.Password = QStringLiteral("Secret");
        Window1& form = Window1::instance();
        form.CountryField->setListIndex(3); // a visitor's choice

        DialogLog unlock;
        DialogLog confirm;
        bool stillOpenAfterConfirm = false;
        QString entryAfterConfirm;
        // The lock's dialog opens first, then the Preferences window.
        WhenModal unlockGuard(answerPasswordDialog({}, QStringLiteral("Secret"), Finish::Ok, &unlock));
        WhenModal prefsGuard([&](QWidget* modal) {
            auto* prefs = qobject_cast<PreferencesWindow*>(modal);
            QVERIFY(prefs);
            prefs->Passwordfield->clear();
            QTest::keyClicks(prefs->Passwordfield, newPassword);
            prefs->FullScreenCB->setValue(fullScreen);
            prefs->CountryPopUp->setListIndex(9);
            WhenModal confirmGuard(answerPasswordDialog(refused, confirmation, confirmFinish, &confirm));
            if (closeBy == QLatin1String("Save") || confirmFinish != Finish::NotAtAll)
                QTest::mouseClick(prefs->SaveBtn, Qt::LeftButton);
            if (confirmFinish != Finish::NotAtAll) {
                // The confirmation does not block Save; wait until it is answered.
                QTRY_VERIFY(confirm.seen);
                QTRY_VERIFY(!platform::ImplicitInstance<PasswordDialog>::isOpen());
                stillOpenAfterConfirm = platform::ImplicitInstance<PreferencesWindow>::isOpen();
                if (stillOpenAfterConfirm)
                    entryAfterConfirm = prefs->Passwordfield->Text();
            }
            if (closeBy == QLatin1String("Cancel"))
                QTest::mouseClick(prefs->CancelBtn, Qt::LeftButton);
            else if (closeBy == QLatin1String("close button")
                     && platform::ImplicitInstance<PreferencesWindow>::isOpen())
                prefs->close();
        });
        QCOMPARE(app.EditPref_Action(), false);

        QVERIFY(unlock.seen);
        QVERIFY(!platform::ImplicitInstance<PreferencesWindow>::isOpen());
        if (confirmFinish != Finish::NotAtAll) {
            QCOMPARE(confirm.title, QStringLiteral("Confirm Password"));
            QCOMPARE(confirm.label, QStringLiteral("Confirm Password"));
            QCOMPARE(confirm.messages, QStringList(refused.size(), kMismatch));
            // A differing confirmation is cleared.
            QCOMPARE(confirm.fieldAfterMessage, QStringList(refused.size(), QString()));
            QCOMPARE(stillOpenAfterConfirm, !saved);
            if (!saved)
                QCOMPARE(entryAfterConfirm, newPassword);
        } else {
            QVERIFY(!confirm.seen);
        }

        Window1& after = Window1::instance();
        if (saved) {
            QCOMPARE(app.Password, newPassword);
            QCOMPARE(app.fullScreenmark, fullScreen);
            QCOMPARE(app.DefaultCountryIndex, 9);
            QCOMPARE(readBytes(m_env.settingsFile()),
                     newPassword.toUtf8() + (fullScreen ? "\nTrue\n9\n" : "\nFalse\n9\n"));
            // The form follows at once.
            QCOMPARE(after.FullScreen(), fullScreen);
            QCOMPARE(after.CountryField->ListIndex(), 9);
        } else {
            QCOMPARE(app.Password, QStringLiteral("Secret"));
            QCOMPARE(app.fullScreenmark, false);
            QCOMPARE(app.DefaultCountryIndex, 0);
            QVERIFY(!QFileInfo::exists(m_env.settingsFile()));
            QVERIFY(!after.FullScreen());
            QCOMPARE(after.CountryField->ListIndex(), 3);
        }
    }

    // Typing reaches the confirmation dialog, not the Preferences window beneath it.
    void confirmationTakesInput()
    {
        App app;
        app.Password = QStringLiteral("Secret");
        Window1::instance();
        PreferencesWindow& prefs = PreferencesWindow::instance();
        bool checked = false;
        WhenModal guard([&](QWidget*) {
            prefs.Passwordfield->setText(QStringLiteral("NewOne"));
            prefs.SaveBtn->click();
            PasswordDialog* dialog = platform::ImplicitInstance<PasswordDialog>::existing();
            QVERIFY(dialog);
            QVERIFY(QTest::qWaitForWindowActive(dialog));
            QCOMPARE(QApplication::activeModalWidget(), dialog);
            for (char c : QByteArray("NewOne"))
                QTest::keyClick(dialog->windowHandle(), c);
            QCOMPARE(dialog->PassField->Text(), QStringLiteral("NewOne"));
            // The Preferences window beneath takes nothing.
            QTest::keyClick(prefs.windowHandle(), 'z');
            QCOMPARE(prefs.Passwordfield->Text(), QStringLiteral("NewOne"));
            QTest::keyClick(dialog->windowHandle(), Qt::Key_Return);
            checked = true;
        });
        prefs.ShowModal();
        QVERIFY(checked);
        QCOMPARE(app.Password, QStringLiteral("NewOne"));
    }

    // When one of the kiosk's modal windows closes, the form takes the keyboard back, with the focus
    // where it was: without a window manager nobody else gives it back.
    void keyboardReturnsToTheForm_data()
    {
        QTest::addColumn<QString>("modal");
        for (const char* modal : {"message box", "password dialog", "Preferences", "thank-you"})
            QTest::newRow(modal) << QString::fromLatin1(modal);
    }
    void keyboardReturnsToTheForm()
    {
        QFETCH(QString, modal);
        App app;
        Window1& form = Window1::instance();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        form.LastNameField->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), form.LastNameField);
        {
            WhenModal guard([](QWidget* window) { closeModal(window); });
            if (modal == QLatin1String("message box"))
                platform::MsgBox(QStringLiteral("Note"));
            else if (modal == QLatin1String("password dialog"))
                PasswordDialog::instance().GetPassword();
            else if (modal == QLatin1String("Preferences"))
                PreferencesWindow::instance().ShowModal();
            else
                ThanksWindow::instance().Display();
            QVERIFY(guard.acted());
        }
        QTRY_COMPARE(QApplication::activeWindow(), &form);
        QCOMPARE(QApplication::focusWidget(), form.LastNameField);
    }

    // The thank-you window is no way out either: a quit asked for over it meets the lock, and a refused
    // one leaves the visitor's thanks and entry as they were. Should the thanks time out while the lock
    // waits, the entry is cleared at once, not left on screen behind the dialog.
    void quitWhileThanking_data()
    {
        QTest::addColumn<QString>("route");
        QTest::addColumn<bool>("timeOut"); // the thanks time out while the password dialog is open
        QTest::addColumn<Finish>("finish");
        QTest::addColumn<bool>("quits");
        for (const char* route : {"Ctrl+Q", "form closed"}) {
            QTest::addRow("%s: right password", route) << QString::fromLatin1(route) << false << Finish::Ok << true;
            QTest::addRow("%s: Cancel", route) << QString::fromLatin1(route) << false << Finish::Cancel << false;
            QTest::addRow("%s: thanks time out, then Cancel", route)
                << QString::fromLatin1(route) << true << Finish::Cancel << false;
        }
    }
    void quitWhileThanking()
    {
        QFETCH(QString, route);
        QFETCH(bool, timeOut);
        QFETCH(Finish, finish);
        QFETCH(bool, quits);

        App app;
        bool quit = false;
        app.setTerminate([&] { quit = true; });
        app.Password = QStringLiteral("Secret");
        Window1& form = Window1::instance();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        form.EmailField->setText(QStringLiteral("fan@example.com"));

        DialogLog log;
        QString emailUnderDialog;
        bool thanksStillOpen = false;
        QString emailBehindThanks;
        WhenModal thanksGuard([&](QWidget* modal) {
            QPointer<ThanksWindow> thanks = qobject_cast<ThanksWindow*>(modal);
            QVERIFY(thanks);
            WhenModal lock(answerPasswordDialog({}, QStringLiteral("Secret"), finish, &log, [&] {
                if (timeOut)
                    Q_EMIT thanks->ThanksTimer->Action();
                emailUnderDialog = form.EmailField->Text();
            }));
            if (route == QLatin1String("Ctrl+Q"))
                QTest::keyClick(thanks, Qt::Key_Q, Qt::ControlModifier);
            else
                form.close();
            QVERIFY(lock.acted());
            thanksStillOpen = platform::ImplicitInstance<ThanksWindow>::isOpen();
            emailBehindThanks = form.EmailField->Text();
            if (thanksStillOpen)
                thanks->PushButton1->click();
        });
        form.SaveButton->click();

        QVERIFY(thanksGuard.acted());
        QVERIFY(log.seen);
        QCOMPARE(log.title, QStringLiteral("Enter Password"));
        QCOMPARE(quit, quits);
        const QString entry = timeOut ? QString() : QStringLiteral("fan@example.com");
        QCOMPARE(emailUnderDialog, entry);
        QCOMPARE(thanksStillOpen, !timeOut);
        QCOMPARE(emailBehindThanks, entry);
        QCOMPARE(form.EmailField->Text(), QString()); // reset once the thanks closed
        // The keyboard is back with the form, even though the window it left from has gone.
        QTRY_COMPARE(QApplication::activeWindow(), &form);
    }

    // The platform's own quit request can arrive while a confirmation waits: it gets a lock of its own.
    void quitDuringConfirmation()
    {
        App app;
        bool quit = false;
        app.setTerminate([&] { quit = true; });
        app.Password = QStringLiteral("Secret");
        Window1::instance();
        PreferencesWindow& prefs = PreferencesWindow::instance();
        DialogLog log;
        WhenModal guard([&](QWidget*) {
            prefs.Passwordfield->setText(QStringLiteral("NewOne"));
            prefs.SaveBtn->click();
            QVERIFY(platform::ImplicitInstance<PasswordDialog>::isOpen());
            WhenModal lock(answerPasswordDialog({}, QStringLiteral("NewOne"), Finish::Cancel, &log));
            QEvent request(QEvent::Quit);
            QCoreApplication::sendEvent(qApp, &request);
            QVERIFY(lock.acted());
            QCOMPARE(prefs.Passwordfield->Text(), QStringLiteral("NewOne"));
            prefs.CancelBtn->click();
        });
        prefs.ShowModal();
        QCOMPARE(log.title, QStringLiteral("Enter Password"));
        QVERIFY(!quit);
        QCOMPARE(app.Password, QStringLiteral("Secret"));
    }

    // A save that cannot reach the file still applies, and the operator is told.
    void unwritableSettings()
    {
        QDir(m_env.config()).removeRecursively();
        QFile blocker(m_env.config());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();

        App app;
        Window1::instance();
        PreferencesWindow& prefs = PreferencesWindow::instance();
        prefs.FullScreenCB->setValue(true);
        prefs.CountryPopUp->setListIndex(4);
        QString message;
        WhenModal box(answerMessageBox(&message));
        prefs.SaveBtn->click();
        QCOMPARE(message, kNotSaved);
        QVERIFY(app.fullScreenmark);
        QCOMPARE(app.DefaultCountryIndex, 4);
        QVERIFY(Window1::instance().FullScreen());
        QCOMPARE(Window1::instance().CountryField->ListIndex(), 4);
    }
};

QTEST_MAIN(TestLock)
#include "tst_lock.moc"
