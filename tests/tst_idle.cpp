// The kiosk left alone: after a time without input it goes back to its starting state for the next
// visitor, and never further (no quit, no save, no window opened). Time is the test's own clock.
#include "KioskTesting.h"
#include "ModalHelper.h"
#include "TestEnvironment.h"
#include "TestFiles.h"

#include "app/App.h"
#include "form/ThanksWindow.h"
#include "form/Window1.h"
#include "platform/ActivityWatcher.h"
#include "platform/EditField.h"
#include "platform/Menus.h"
#include "platform/Notice.h"
#include "settings/PasswordDialog.h"
#include "settings/PreferencesWindow.h"

#include <QMessageBox>
#include <QSignalSpy>
#include <QSpontaneKeyEvent>
#include <QtTest>

#include <chrono>
#include <optional>

using namespace std::chrono_literals;
using std::chrono::milliseconds;
using std::chrono::seconds;

namespace {

enum class Left {
    CheckMessage,
    Suggestion,
    PasswordForPreferences,
    PasswordForQuitting,
    MismatchMessage,
    Preferences,
    PreferencesConfirming,
    ConfirmMismatchMessage,
    CountryList
};
enum class Input { Key, MouseClick, Wheel, Touch };

constexpr int kDefaultCountry = 2; // UNITED KINGDOM

// What a visitor sees of an entry, enough to tell a filled form from a cleared one.
QStringList entry(const Window1& form)
{
    return {form.EmailField->Text(), form.FirstNameField->Text(),   form.CountryField->Text(),
            form.CellField->Text(),  form.CellCarrierPopUp->Text(), form.GenderPopUp->Text()};
}

const QStringList kCleared = {"", "", "UNITED KINGDOM", "", "Select", "M/F"};
const QStringList kFilled = {"ann@example.org", "Ann", "CANADA", "4165550199", "Verizon", "Female"};

// The warning on screen: the window it is over and its headline; empty when none shows.
QString warning()
{
    for (QWidget* window : QApplication::topLevelWidgets()) {
        for (const platform::Notice* notice : window->findChildren<platform::Notice*>()) {
            if (notice->isVisible())
                return window->objectName() + QStringLiteral(": ") + notice->Headline->text();
        }
    }
    return {};
}

const QString kWarning = QStringLiteral("Window1: Still there? This form clears in %1.");

} // namespace

Q_DECLARE_METATYPE(Left)
Q_DECLARE_METATYPE(Input)

class TestIdle final : public QObject
{
    Q_OBJECT

    TestEnvironment m_env;
    milliseconds m_now{0};

    // Starts the kiosk as main() does, on the test's clock: the operator's settings, a password, the
    // command line's idle time.
    Window1& start(App& app, bool fullScreen, std::optional<seconds> idleReset = {})
    {
        app.Password = QStringLiteral("Secret");
        app.fullScreenmark = fullScreen;
        app.DefaultCountryIndex = kDefaultCountry;
        app.commandLine.idleReset = idleReset;
        app.activityWatcher().setClock([this] { return m_now; });
        app.start([] { return &platform::ImplicitInstance<Window1>::create(); });
        Window1& form = Window1::instance();
        [&] { QVERIFY(QTest::qWaitForWindowActive(&form)); }();
        return form;
    }

    // Nobody touches the kiosk for a while; then the watcher's timer fires.
    void quiet(App& app, milliseconds span)
    {
        m_now += span;
        app.activityWatcher().check();
    }

    // Quitting still asks for the password: the reset left the lock shut.
    void lockHolds(App& app)
    {
        bool quit = false;
        app.setTerminate([&] { quit = true; });
        QString title;
        WhenModal lock([&](QWidget* modal) {
            auto* dialog = qobject_cast<PasswordDialog*>(modal);
            QVERIFY(dialog);
            title = dialog->Title();
            dialog->PushButton2->click();
        });
        Window1::instance().FileQuit()->trigger();
        QCOMPARE(title, QStringLiteral("Enter Password"));
        QVERIFY(!quit);
    }

private Q_SLOTS:
    void init()
    {
        m_now = 0ms;
        QFile::remove(m_env.settingsFile());
        QFile::remove(m_env.dataFile());
    }
    void cleanup() { closeAllWindows(); }

    // Two minutes in full-screen mode, never in windowed mode (the operator's own desk), unless the
    // command line says otherwise for both.
    void when_data()
    {
        QTest::addColumn<bool>("fullScreen");
        QTest::addColumn<int>("option");   // --idle-reset; -1: not given
        QTest::addColumn<int>("quietFor"); // seconds
        QTest::addColumn<bool>("reset");
        QTest::newRow("full screen, 119 s") << true << -1 << 119 << false;
        QTest::newRow("full screen, 120 s") << true << -1 << 120 << true;
        QTest::newRow("windowed, a day") << false << -1 << 86400 << false;
        QTest::newRow("windowed, --idle-reset 30, 29 s") << false << 30 << 29 << false;
        QTest::newRow("windowed, --idle-reset 30, 30 s") << false << 30 << 30 << true;
        QTest::newRow("full screen, --idle-reset 300, 120 s") << true << 300 << 120 << false;
        QTest::newRow("full screen, --idle-reset 0, a day") << true << 0 << 86400 << false;
    }
    void when()
    {
        QFETCH(bool, fullScreen);
        QFETCH(int, option);
        QFETCH(int, quietFor);
        QFETCH(bool, reset);

        App app;
        Window1& form = start(app, fullScreen, option < 0 ? std::nullopt : std::optional<seconds>(option));
        fill(form);
        quiet(app, seconds(quietFor));
        QCOMPARE(entry(form), reset ? kCleared : kFilled);
    }

    // Full-screen mode switched on in Preferences takes the reset along, counted from the last input.
    void followsTheModeSwitchedInPreferences()
    {
        App app;
        start(app, false);
        WhenModal unlock([](QWidget* modal) {
            auto* dialog = qobject_cast<PasswordDialog*>(modal);
            QVERIFY(dialog);
            QTest::keyClicks(dialog->PassField, QStringLiteral("Secret"));
            QTest::keyClick(dialog->PassField, Qt::Key_Return);
        });
        WhenModal prefs([](QWidget* modal) {
            auto* window = qobject_cast<PreferencesWindow*>(modal);
            QVERIFY(window);
            window->FullScreenCB->setValue(true);
            QTest::mouseClick(window->SaveBtn, Qt::LeftButton);
        });
        m_now = 1000s;
        QVERIFY(!app.EditPref_Action());
        QVERIFY(prefs.acted());
        Window1& form = Window1::instance();
        QVERIFY(form.FullScreen());
        fill(form);
        quiet(app, 119s);
        QCOMPARE(entry(form), kFilled);
        quiet(app, 1s);
        QCOMPARE(entry(form), kCleared);
    }

    // Any input on any window starts the two minutes again.
    void inputRestartsTheCount_data()
    {
        QTest::addColumn<Input>("input");
        QTest::newRow("key") << Input::Key;
        QTest::newRow("mouse click") << Input::MouseClick;
        QTest::newRow("wheel") << Input::Wheel;
        QTest::newRow("touch") << Input::Touch;
    }
    void inputRestartsTheCount()
    {
        QFETCH(Input, input);
        App app;
        Window1& form = start(app, true);
        fill(form);
        quiet(app, 100s);

        QWidget* label = form.QuillmoreLabel; // takes input without changing the entry
        const QPoint middle = label->rect().center();
        switch (input) {
        case Input::Key:
            QTest::keyClick(form.EmailField, Qt::Key_End);
            break;
        case Input::MouseClick:
            QTest::mouseClick(label, Qt::LeftButton, {}, middle);
            break;
        case Input::Wheel: {
            QWheelEvent wheel(middle, label->mapToGlobal(middle), {}, {0, -120}, Qt::NoButton, Qt::NoModifier,
                              Qt::NoScrollPhase, false);
            QSpontaneKeyEvent::setSpontaneous(&wheel);
            qApp->notify(label, &wheel);
            break;
        }
        case Input::Touch: {
            static QPointingDevice* screen = QTest::createTouchDevice();
            QTest::touchEvent(&form, screen).press(0, label->mapTo(&form, middle));
            QTest::touchEvent(&form, screen).release(0, label->mapTo(&form, middle));
            break;
        }
        }

        quiet(app, 100s);
        QCOMPARE(entry(form), kFilled);
        quiet(app, 20s);
        QCOMPARE(entry(form), kCleared);
    }

    // Whatever was left open ends as its Cancel (or a message's OK) would; the form is cleared; nothing
    // is saved, written, quit or opened; the lock still holds.
    void whatWasLeftOpen_data()
    {
        QTest::addColumn<Left>("left");
        QTest::addColumn<int>("preferencesOpened"); // and warned over them, else over the form
        QTest::newRow("a message of the form's checks") << Left::CheckMessage << 0;
        QTest::newRow("the did-you-mean question") << Left::Suggestion << 0;
        QTest::newRow("the password dialog for Preferences") << Left::PasswordForPreferences << 0;
        QTest::newRow("the password dialog for quitting") << Left::PasswordForQuitting << 0;
        QTest::newRow("its mismatch message") << Left::MismatchMessage << 0;
        QTest::newRow("Preferences, changed") << Left::Preferences << 1;
        QTest::newRow("Preferences with Confirm Password") << Left::PreferencesConfirming << 1;
        QTest::newRow("the confirmation's mismatch message") << Left::ConfirmMismatchMessage << 1;
        QTest::newRow("the country list") << Left::CountryList << 0;
    }
    void whatWasLeftOpen()
    {
        QFETCH(Left, left);
        QFETCH(int, preferencesOpened);

        App app;
        bool quit = false;
        app.setTerminate([&] { quit = true; });
        Window1& form = start(app, true);
        fill(form);
        PreferencesWatch watch;
        bool idled = false;
        QString warned;
        const auto idle = [&] {
            quiet(app, 105s);
            warned = warning();
            quiet(app, 15s);
            idled = true;
        };
        // Types into the password dialog and leaves it; with a wrong entry, presses OK and leaves the message.
        const auto leaveDialog = [&](QWidget* modal, const QString& typed, bool mismatch) {
            auto* dialog = qobject_cast<PasswordDialog*>(modal);
            QVERIFY(dialog);
            QTest::keyClicks(dialog->PassField, typed);
            if (!mismatch) {
                idle();
                return;
            }
            WhenModal message([&](QWidget* box) {
                QVERIFY(qobject_cast<QMessageBox*>(box));
                idle();
            });
            QTest::mouseClick(dialog->PushButton1, Qt::LeftButton);
            QVERIFY(message.acted());
        };
        // Opens Preferences with the password and changes everything in it.
        const auto inPreferences = [&](std::function<void(PreferencesWindow&)> then) {
            WhenModal unlock([&](QWidget* modal) {
                auto* dialog = qobject_cast<PasswordDialog*>(modal);
                QVERIFY(dialog);
                QTest::keyClicks(dialog->PassField, QStringLiteral("Secret"));
                QTest::mouseClick(dialog->PushButton1, Qt::LeftButton);
            });
            WhenModal changes([&](QWidget* modal) {
                auto* prefs = qobject_cast<PreferencesWindow*>(modal);
                QVERIFY(prefs);
                prefs->CountryPopUp->setListIndex(7);
                prefs->FullScreenCB->setValue(false);
                prefs->Passwordfield->setText(QStringLiteral("NewOne"));
                then(*prefs);
            });
            QVERIFY(!app.EditPref_Action());
            QVERIFY(changes.acted());
        };
        const auto confirm = [&](PreferencesWindow& prefs, const QString& typed, bool mismatch) {
            QTest::mouseClick(prefs.SaveBtn, Qt::LeftButton);
            PasswordDialog* dialog = platform::ImplicitInstance<PasswordDialog>::existing();
            QVERIFY(dialog);
            QVERIFY(QTest::qWaitForWindowActive(dialog));
            QCOMPARE(dialog->Title(), QStringLiteral("Confirm Password"));
            leaveDialog(dialog, typed, mismatch);
        };

        switch (left) {
        case Left::CheckMessage: {
            form.EmailField->setText(QStringLiteral("ann@example"));
            WhenModal message([&](QWidget* box) {
                QVERIFY(qobject_cast<QMessageBox*>(box));
                idle();
            });
            QTest::mouseClick(form.SaveButton, Qt::LeftButton);
            break;
        }
        case Left::Suggestion: {
            form.EmailField->setText(QStringLiteral("ann@gmial.com"));
            WhenModal question([&](QWidget* box) {
                QVERIFY(qobject_cast<QMessageBox*>(box));
                idle();
            });
            QTest::mouseClick(form.SaveButton, Qt::LeftButton);
            break;
        }
        case Left::PasswordForPreferences: {
            WhenModal unlock([&](QWidget* modal) { leaveDialog(modal, QStringLiteral("Secret"), false); });
            QVERIFY(!app.EditPref_Action());
            break;
        }
        case Left::PasswordForQuitting:
        case Left::MismatchMessage: {
            WhenModal unlock([&](QWidget* modal) {
                const bool mismatch = left == Left::MismatchMessage;
                leaveDialog(modal, mismatch ? QStringLiteral("wrong") : QStringLiteral("Secret"), mismatch);
            });
            form.FileQuit()->trigger();
            break;
        }
        case Left::Preferences:
            inPreferences([&](PreferencesWindow&) { idle(); });
            break;
        case Left::PreferencesConfirming:
            inPreferences([&](PreferencesWindow& prefs) { confirm(prefs, QStringLiteral("NewOne"), false); });
            break;
        case Left::ConfirmMismatchMessage:
            inPreferences([&](PreferencesWindow& prefs) { confirm(prefs, QStringLiteral("NewTwo"), true); });
            break;
        case Left::CountryList:
            form.CountryField->showPopup();
            QTRY_VERIFY(QApplication::activePopupWidget());
            idle();
            break;
        }

        QVERIFY(idled);
        QCOMPARE(warned,
                 preferencesOpened ? QStringLiteral("PreferencesWindow: Still there? Preferences close "
                                                    "in 15 seconds.")
                                   : kWarning.arg("15 seconds"));
        QCOMPARE(warning(), QString());
        // After a message box, the rest of the reset follows from the event loop.
        QTRY_COMPARE(entry(Window1::instance()), kCleared);
        QVERIFY(!QApplication::activeModalWidget());
        QVERIFY(!QApplication::activePopupWidget());
        QVERIFY(!quit);
        QCOMPARE(watch.opened, preferencesOpened);
        // Nothing stored, nothing written.
        QCOMPARE(app.Password, QStringLiteral("Secret"));
        QVERIFY(app.fullScreenmark);
        QCOMPARE(app.DefaultCountryIndex, kDefaultCountry);
        QCOMPARE(describe(m_env.settingsFile()), QStringLiteral("missing"));
        QCOMPARE(describe(m_env.dataFile()), QStringLiteral("missing"));
        lockHolds(app);
    }

    // The thank-you window closes by itself and clears the form as it does: until then the reset leaves
    // both alone, though it still cancels a lock asked for over it.
    void thanksLeftAlone_data()
    {
        QTest::addColumn<bool>("lockOverThanks");
        QTest::newRow("thank-you window") << false;
        QTest::newRow("password dialog over it") << true;
    }
    void thanksLeftAlone()
    {
        QFETCH(bool, lockOverThanks);
        App app;
        bool quit = false;
        app.setTerminate([&] { quit = true; });
        Window1& form = start(app, true);
        fill(form);
        QStringList behindThanks;
        bool thanksOpen = false;
        WhenModal thanksGuard([&](QWidget* modal) {
            QPointer<ThanksWindow> thanks = qobject_cast<ThanksWindow*>(modal);
            QVERIFY(thanks);
            if (lockOverThanks) {
                WhenModal lock([&](QWidget* dialog) {
                    QVERIFY(qobject_cast<PasswordDialog*>(dialog));
                    quiet(app, 120s);
                });
                QTest::keyClick(thanks, Qt::Key_Q, Qt::ControlModifier);
                QVERIFY(lock.acted());
            } else {
                quiet(app, 120s);
            }
            QVERIFY(!platform::ImplicitInstance<PasswordDialog>::isOpen());
            thanksOpen = thanks && !thanks->isClosed();
            behindThanks = entry(form);
            if (thanksOpen)
                thanks->PushButton1->click();
        });
        QTest::mouseClick(form.SaveButton, Qt::LeftButton);

        QVERIFY(thanksGuard.acted());
        QVERIFY(thanksOpen);
        QCOMPARE(behindThanks, kFilled);
        QVERIFY(!quit);
        QCOMPARE(entry(form), kCleared); // by the thank-you window's closing
        QCOMPARE(readBytes(m_env.dataFile()).count('\n'), 1);
    }

    // The warning comes 15 seconds before the reset, or a third of a shorter idle time; only when the
    // reset would change something.
    void warningWhen_data()
    {
        QTest::addColumn<bool>("fullScreen");
        QTest::addColumn<int>("option"); // --idle-reset; -1: not given
        QTest::addColumn<bool>("filled");
        QTest::addColumn<int>("quietFor"); // seconds until the warning, if any
        QTest::addColumn<QString>("shown");
        QTest::newRow("two minutes") << true << -1 << true << 105 << kWarning.arg("15 seconds");
        QTest::newRow("--idle-reset 30: a third") << false << 30 << true << 20 << kWarning.arg("10 seconds");
        QTest::newRow("nothing to clear") << true << -1 << false << 105 << "";
        QTest::newRow("windowed: no reset") << false << -1 << true << 105 << "";
    }
    void warningWhen()
    {
        QFETCH(bool, fullScreen);
        QFETCH(int, option);
        QFETCH(bool, filled);
        QFETCH(int, quietFor);
        QFETCH(QString, shown);
        App app;
        Window1& form = start(app, fullScreen, option < 0 ? std::nullopt : std::optional<seconds>(option));
        if (filled)
            fill(form);
        quiet(app, seconds(quietFor) - 1ms);
        QCOMPARE(warning(), QString());
        quiet(app, 1ms);
        QCOMPARE(warning(), shown);
    }

    // The count goes down each second; any input hides it and starts the two minutes again.
    void warningCountsDownAndInputEndsIt()
    {
        App app;
        Window1& form = start(app, true);
        fill(form);
        quiet(app, 105s);
        QCOMPARE(warning(), kWarning.arg("15 seconds"));
        quiet(app, 500ms);
        QCOMPARE(warning(), kWarning.arg("15 seconds"));
        quiet(app, 13500ms);
        QCOMPARE(warning(), kWarning.arg("1 second"));

        QTest::keyClick(form.EmailField, Qt::Key_End);
        QCOMPARE(warning(), QString());
        quiet(app, 104s);
        QCOMPARE(warning(), QString());
        QCOMPARE(entry(form), kFilled);
        quiet(app, 1s);
        QCOMPARE(warning(), kWarning.arg("15 seconds"));
        quiet(app, 15s);
        QCOMPARE(warning(), QString());
        QCOMPARE(entry(form), kCleared);
    }

    // A kiosk nobody used is not touched at all; an entry typed and erased is still there for Undo.
    void nothingToClear_data()
    {
        QTest::addColumn<bool>("typedAndErased");
        QTest::newRow("untouched") << false;
        QTest::newRow("typed and erased") << true;
    }
    void nothingToClear()
    {
        QFETCH(bool, typedAndErased);
        App app;
        Window1& form = start(app, true);
        if (typedAndErased) {
            QTest::keyClicks(form.EmailField, QStringLiteral("ann@example.org"));
            form.EmailField->selectAll();
            QTest::keyClick(form.EmailField, Qt::Key_Delete);
            QCOMPARE(form.EmailField->Text(), QString());
        }
        QSignalSpy resets(form.CountryField, &platform::PopupMenu::Change);
        quiet(app, 120s);
        QCOMPARE(resets.count(), typedAndErased ? 1 : 0);
        QCOMPARE(entry(form), kCleared);
        QVERIFY(!form.EmailField->isUndoAvailable());
    }
};

QTEST_MAIN(TestIdle)
#include "tst_idle.moc"
