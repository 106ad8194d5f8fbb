// Sign Me Up from end to end: the checks, the data file, its failures and the thank-you window.
#include "KioskTesting.h"
#include "ModalHelper.h"
#include "TestEnvironment.h"
#include "TestFiles.h"

#include "app/App.h"
#include "core/Consent.h"
#include "form/NoticeWindow.h"
#include "form/ThanksWindow.h"
#include "form/Window1.h"
#include "platform/Controls.h"
#include "platform/EditField.h"
#include "platform/FittedText.h"

#include <QPlainTextEdit>

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QTest>

#include <functional>
#include <optional>

namespace {

const QString kEmailMessage = QStringLiteral("You must enter a valid email address");
const QString kCarrierMessage = QStringLiteral("Please Specify your Cell Phone Carrier");
const QString kSorry = QStringLiteral("Sorry, your sign-up could not be saved. Please ask a staff member for help.");
const QString kThanks = QStringLiteral("Thanks!");
const QString kConsentMessage = QStringLiteral("Please tick the box to agree to the notice.");
const QByteArray kNotice = "We keep your details to send you news.\n\nWho we are: Quillmore Ltd.\n";

// The line fill() yields.
const QByteArray kLine = "\"Ann\",\"Lee\",\"ann@example.org\",\"M5V 2T6\",\"Toronto\",\"\",\"CANADA\",\"4165550199\","
                         "\"Verizon\",\"annlee\",\"annl\",\"1994\",\"Female\",\"html\",\n";

// Everything the visitor sees in the form.
QStringList snapshot(const Window1& form)
{
    QStringList values;
    for (const auto* field : form.content()->findChildren<platform::EditField*>())
        values << field->objectName() + u'=' + field->Text() + (field->isEnabled() ? "" : " (disabled)");
    for (const auto* menu : form.content()->findChildren<platform::PopupMenu*>())
        values << menu->objectName() + u'=' + menu->Text();
    return values;
}

void pressOk(ThanksWindow& thanks)
{
    QTest::mouseClick(thanks.PushButton1, Qt::LeftButton);
}

using ThanksAction = std::function<void(ThanksWindow&)>;

// The answer to the next modal window, for a WhenModal: a message box is read and dismissed; the
// thank-you window is handed to `act`. `seen` gets the box's text or the window's title.
WhenModal::Action answerNext(QString* seen, ThanksAction act)
{
    return [=](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            *seen = box->text();
            box->button(QMessageBox::Ok)->click();
        } else if (auto* thanks = qobject_cast<ThanksWindow*>(modal)) {
            *seen = thanks->Title();
            act(*thanks);
        } else {
            *seen = QStringLiteral("<unexpected %1>").arg(modal->objectName());
            closeModal(modal);
        }
    };
}

// Presses Sign Me Up; returns what came up.
QString signUp(Window1& form, ThanksAction act = pressOk)
{
    QString seen = QStringLiteral("<nothing>");
    WhenModal guard(answerNext(&seen, std::move(act)));
    QTest::mouseClick(form.SaveButton, Qt::LeftButton);
    return seen;
}

// Ways of making the data file impossible to write, and of undoing them.
enum class Obstacle { DesktopIsAFile, DataFileIsAFolder, DiskFull, FileSizeLimit };

} // namespace

// Declared before any use, as the Release build requires.
Q_DECLARE_METATYPE(Obstacle)
Q_DECLARE_METATYPE(ThanksAction)

class TestSignUp final : public QObject
{
    Q_OBJECT

    TestEnvironment m_env;
    App m_app;

private Q_SLOTS:
    void init()
    {
        App::instance().commandLine = CommandLine();
        App::instance().DefaultCountryIndex = 0;
        QDir(m_env.desktop()).removeRecursively();
        QFile::remove(m_env.desktop());
    }
    void cleanup() { closeAllWindows(); }

    // The e-mail check comes first and alone; a rejected entry writes nothing and changes nothing.
    void checks_data()
    {
        QTest::addColumn<bool>("filled");
        QTest::addColumn<QString>("email");
        QTest::addColumn<int>("carrierRow");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty form") << false << "" << 0 << kEmailMessage;
        QTest::newRow("bad address, no carrier") << true << "ann@example" << 0 << kEmailMessage;
        QTest::newRow("no carrier") << true << "ann@example.org" << 0 << kCarrierMessage;
    }
    void checks()
    {
        QFETCH(bool, filled);
        QFETCH(QString, email);
        QFETCH(int, carrierRow);
        QFETCH(QString, message);

        Window1& form = Window1::instance();
        if (filled) {
            fill(form);
            form.EmailField->setText(email);
            form.CellCarrierPopUp->setListIndex(carrierRow);
        }
        const QStringList before = snapshot(form);
        QCOMPARE(signUp(form), message);
        QCOMPARE(snapshot(form), before);
        QCOMPARE(describe(m_env.dataFile()), QStringLiteral("missing"));
    }

    void createdAppendedRecreated_data()
    {
        QTest::addColumn<bool>("chosen");
        QTest::newRow("on the desktop") << false;
        QTest::newRow("--data-file") << true;
    }
    void createdAppendedRecreated()
    {
        QFETCH(bool, chosen);
        const QString path = chosen ? m_env.home() + QStringLiteral("/usb/list.csv") : m_env.dataFile();
        QVERIFY(!chosen || QDir().mkpath(m_env.home() + QStringLiteral("/usb")));
        App::instance().commandLine.dataFile = chosen ? path : QString();

        Window1& form = Window1::instance();
        fill(form);
        QCOMPARE(signUp(form), kThanks);
        QCOMPARE(readBytes(path), kLine);

        fill(form);
        QCOMPARE(signUp(form), kThanks);
        QCOMPARE(readBytes(path), kLine + kLine);

        QVERIFY(QFile::remove(path));
        fill(form);
        QCOMPARE(signUp(form), kThanks);
        QCOMPARE(readBytes(path), kLine);
        QCOMPARE(QFileInfo::exists(m_env.dataFile()), !chosen);
        App::instance().commandLine.dataFile.clear();
    }

    // A domain that looks mistyped is asked about once; the answer goes on with that address, Escape
    // signs nobody up and leaves the entry as it was.
    void didYouMean_data()
    {
        QTest::addColumn<int>("choice"); // the button pressed; -1: Escape
        QTest::addColumn<QString>("written");
        QTest::newRow("the suggestion") << 0 << "ann@gmail.com";
        QTest::newRow("as typed") << 1 << "ann@gmial.com";
        QTest::newRow("Escape") << -1 << "";
    }
    void didYouMean()
    {
        QFETCH(int, choice);
        QFETCH(QString, written);
        Window1& form = Window1::instance();
        fill(form);
        form.EmailField->setText(QStringLiteral("ann@gmial.com"));
        const QStringList before = snapshot(form);

        QString question;
        QStringList buttons;
        WhenModal ask([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box);
            question = box->text();
            QList<QAbstractButton*> shown = box->buttons();
            shown.removeIf([](const QAbstractButton* button) { return button->isHidden(); });
            for (const QAbstractButton* button : std::as_const(shown))
                buttons << button->text();
            if (choice < 0)
                QTest::keyClick(box, Qt::Key_Escape);
            else
                QTest::mouseClick(shown.value(choice), Qt::LeftButton);
        });
        QString thanks = QStringLiteral("<nothing>");
        WhenModal after(answerNext(&thanks, pressOk));
        QTest::mouseClick(form.SaveButton, Qt::LeftButton);

        QCOMPARE(question, QStringLiteral("Did you mean ann@gmail.com?"));
        QCOMPARE(buttons, QStringList({QStringLiteral("ann@gmail.com"), QStringLiteral("ann@gmial.com")}));
        if (written.isEmpty()) {
            QCOMPARE(thanks, QStringLiteral("<nothing>"));
            QCOMPARE(snapshot(form), before);
            QCOMPARE(describe(m_env.dataFile()), QStringLiteral("missing"));
        } else {
            QCOMPARE(thanks, kThanks);
            QCOMPARE(readBytes(m_env.dataFile()), QByteArray(kLine).replace("ann@example.org", written.toUtf8()));
        }
    }

    // A line cut short by a power cut stays as it is, its open value closed; the new one starts on a
    // line of its own.
    void tornLastLine()
    {
        const QByteArray torn = "\"Bob\",\"Ma";
        QVERIFY(writeBytes(m_env.dataFile(), torn));
        Window1& form = Window1::instance();
        fill(form);
        QCOMPARE(signUp(form), kThanks);
        QCOMPARE(readBytes(m_env.dataFile()), torn + "\"\n" + kLine);
    }

    // Root ignores permission bits, so the failures are made otherwise.
    void saveFails_data()
    {
        QTest::addColumn<Obstacle>("obstacle");
        QTest::newRow("desktop is a file") << Obstacle::DesktopIsAFile;
        QTest::newRow("data file is a folder") << Obstacle::DataFileIsAFolder;
        QTest::newRow("disk full") << Obstacle::DiskFull;
        QTest::newRow("disk fills mid-line") << Obstacle::FileSizeLimit;
    }
    void saveFails()
    {
        QFETCH(Obstacle, obstacle);
        const QString path = m_env.dataFile();
        const QByteArray earlier = "\"earlier\",\n";
        std::optional<FileSizeLimit> limit;

        switch (obstacle) {
        case Obstacle::DesktopIsAFile:
            QVERIFY(writeBytes(m_env.desktop(), "not a folder"));
            break;
        case Obstacle::DataFileIsAFolder:
            QVERIFY(QDir().mkpath(path));
            break;
        case Obstacle::DiskFull:
            QVERIFY(QDir().mkpath(m_env.desktop()));
            QVERIFY(QFile::link(QStringLiteral("/dev/full"), path));
            break;
        case Obstacle::FileSizeLimit:
            QVERIFY(writeBytes(path, earlier));
            limit.emplace(rlim_t(earlier.size() + 10)); // room for part of the line only
            QVERIFY(limit->active());
            break;
        }
        const QString fileBefore = describe(path);

        Window1& form = Window1::instance();
        fill(form);
        const QStringList typed = snapshot(form);
        const QString seen = signUp(form);
        limit.reset();
        QCOMPARE(seen, kSorry);
        QCOMPARE(snapshot(form), typed);
        QCOMPARE(describe(path), fileBefore);

        // Once staff have cleared the fault, the same entry goes through.
        QByteArray expected = kLine;
        switch (obstacle) {
        case Obstacle::DesktopIsAFile:
            QVERIFY(QFile::remove(m_env.desktop()));
            break;
        case Obstacle::DataFileIsAFolder:
            QVERIFY(QDir().rmdir(path));
            break;
        case Obstacle::DiskFull:
            QVERIFY(QFile::remove(path));
            break;
        case Obstacle::FileSizeLimit:
            expected = earlier + kLine;
            break;
        }
        QCOMPARE(signUp(form), kThanks);
        QCOMPARE(readBytes(path), expected);
    }

    // Behind the thank-you window the form still shows the entry and takes no input; it is reset
    // only once the window has closed, whichever way.
    void thanksCloses_data()
    {
        QTest::addColumn<ThanksAction>("close");
        QTest::newRow("OK") << ThanksAction(pressOk);
        QTest::newRow("Return") << ThanksAction([](ThanksWindow& w) {
            QWidget* focused = QApplication::focusWidget();
            QTest::keyClick(focused && focused->window() == &w ? focused : &w, Qt::Key_Return);
        });
        QTest::newRow("close button") << ThanksAction([](ThanksWindow& w) { w.close(); });
        QTest::newRow("timer") << ThanksAction([](ThanksWindow& w) { Q_EMIT w.ThanksTimer->Action(); });
    }
    void thanksCloses()
    {
        QFETCH(ThanksAction, close);

        Window1& form = Window1::instance();
        fill(form);
        form.AOLScreenNameField->setFocus();
        const QStringList typed = snapshot(form);
        QStringList behind;
        bool closedAtOnce = false;
        QString seen = signUp(form, [&](ThanksWindow& thanks) {
            // Through the window system, where a modal window blocks input to the others.
            const QPoint clear = form.ClearButton->mapTo(&form, form.ClearButton->rect().center());
            QTest::mouseClick(form.windowHandle(), Qt::LeftButton, {}, clear);
            QTest::keyClick(form.windowHandle(), 'x');
            behind = snapshot(form);
            close(thanks);
            closedAtOnce = thanks.isClosed(); // not left to the 15-second timer
        });
        QCOMPARE(seen, kThanks);
        QVERIFY(closedAtOnce);
        QCOMPARE(behind, typed);
        QVERIFY(!platform::ImplicitInstance<ThanksWindow>::isOpen());
        QCOMPARE(form.EmailField->Text(), QString());
        QCOMPARE(form.CountryField->Text(), QStringLiteral("UNITED STATES"));
        QCOMPARE(form.CellCarrierPopUp->ListIndex(), 0);
        QCOMPARE(readBytes(m_env.dataFile()), kLine);
    }

    // The second of two sign-ups gets a new window, whose own timer, running since it opened, closes it
    // after 15 seconds. The timer is read, then fired at once rather than waited for.
    void eachSignUpItsOwnWindow()
    {
        Window1& form = Window1::instance();
        fill(form);
        // Marked on the window itself: a pointer to the first window is null once it is gone, and a new
        // window may take its address.
        const char* const kFirst = "first visitor's";
        QCOMPARE(signUp(form,
                        [&](ThanksWindow& thanks) {
                            thanks.setProperty(kFirst, true);
                            pressOk(thanks);
                        }),
                 kThanks);

        fill(form);
        bool second = false;
        int period = 0;
        int mode = 0;
        QCOMPARE(signUp(form,
                        [&](ThanksWindow& thanks) {
                            second = !thanks.property(kFirst).isValid();
                            period = thanks.ThanksTimer->Period();
                            mode = thanks.ThanksTimer->Mode();
                            // A running timer restarts with the new period; a stopped one would stay stopped.
                            thanks.ThanksTimer->setPeriod(0);
                            QTRY_VERIFY(!platform::ImplicitInstance<ThanksWindow>::isOpen());
                        }),
                 kThanks);
        QVERIFY(second);
        QCOMPARE(period, 15000);
        QCOMPARE(mode, 2); // repeating: its first firing closes the window, which stops it
        QCOMPARE(form.EmailField->Text(), QString());
        QCOMPARE(readBytes(m_env.dataFile()), kLine + kLine);
    }

    // With --require-consent the box is one more check, last and like the others; ticked, the sign-up
    // goes through with its evidence, and the next visitor finds the box unticked again (after the thanks,
    // after Clear, after the idle reset). A notice alone adds the evidence and no check.
    void consentGate_data()
    {
        QTest::addColumn<bool>("required");
        QTest::newRow("--privacy") << false;
        QTest::newRow("--privacy --require-consent") << true;
    }
    void consentGate()
    {
        QFETCH(bool, required);
        CommandLine& options = App::instance().commandLine;
        options.notice = consent::noticeFromBytes(kNotice).notice;
        options.requireConsent = required;
        options.idleReset = std::chrono::seconds(60);
        Window1& form = Window1::instance();
        QCOMPARE(form.NoticeLabel->Text(), QStringLiteral("We keep your details to send you news."));
        QCOMPARE(form.ConsentBox != nullptr, required);

        fill(form);
        if (required) {
            const QStringList before = snapshot(form);
            QCOMPARE(signUp(form), kConsentMessage);
            QCOMPARE(snapshot(form), before);
            QCOMPARE(describe(m_env.dataFile()), QStringLiteral("missing"));
            QTest::mouseClick(form.ConsentBox, Qt::LeftButton);
            QVERIFY(form.ConsentBox->Value());
        }
        QCOMPARE(signUp(form), kThanks);
        QCOMPARE(readBytes(m_env.dataFile()), kLine);
        QString error;
        const std::optional<consent::EvidenceByOffset> evidence = consent::readEvidence(m_env.dataFile(), &error);
        QVERIFY(evidence);
        const std::optional<consent::Evidence> found = consent::evidenceFor(*evidence, 0, kLine.chopped(1));
        QVERIFY(found);
        QCOMPARE(found->noticeSha256, options.notice->sha256);
        QCOMPARE(readBytes(consent::noticeFilePath(m_env.dataFile(), found->noticeSha256)), kNotice);
        if (!required)
            return;

        QVERIFY(!form.ConsentBox->Value());
        QTest::mouseClick(form.ConsentBox, Qt::LeftButton);
        form.ClearButton_Action();
        QVERIFY(!form.ConsentBox->Value());
        QTest::mouseClick(form.ConsentBox, Qt::LeftButton);
        QVERIFY(!form.WindowDataIsReset());
        App::instance().IdleReset();
        QTRY_VERIFY(!form.ConsentBox->Value());
    }

    // Touching the short notice opens the whole text; OK closes it, and so does the idle reset.
    void noticeOpensInFull_data()
    {
        QTest::addColumn<bool>("byIdleReset");
        QTest::newRow("OK") << false;
        QTest::newRow("idle reset") << true;
    }
    void noticeOpensInFull()
    {
        QFETCH(bool, byIdleReset);
        App::instance().commandLine.notice = consent::noticeFromBytes(kNotice).notice;
        App::instance().commandLine.idleReset = std::chrono::seconds(60);
        Window1& form = Window1::instance();
        QString shown;
        WhenModal guard([&](QWidget* modal) {
            auto* notice = qobject_cast<NoticeWindow*>(modal);
            QVERIFY(notice);
            shown = notice->NoticeArea->toPlainText();
            if (byIdleReset)
                App::instance().IdleReset();
            else
                QTest::mouseClick(notice->OKButton, Qt::LeftButton);
        });
        QTest::mouseClick(form.NoticeLabel, Qt::LeftButton);
        QVERIFY(guard.acted());
        QCOMPARE(shown, QString::fromUtf8(kNotice).trimmed());
        QVERIFY(!platform::ImplicitInstance<NoticeWindow>::isOpen());
    }
};

QTEST_MAIN(TestSignUp)
#include "tst_signup.moc"
