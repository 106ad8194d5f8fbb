// The kiosk on a touch screen (--touch): no pointer, lists for fingers, and no on-screen keyboard
// rather than a broken one. The whole process is a touch kiosk, as main() makes it.
#include "ModalHelper.h"
#include "TestEnvironment.h"

#include "app/App.h"
#include "form/Window1.h"
#include "platform/Controls.h"
#include "platform/InputPanel.h"
#include "platform/TouchScreen.h"
#include "settings/PreferencesWindow.h"
#include "sync/Engine.h"
#include "sync/StaffLine.h"

#include <QAbstractItemView>
#include <QDir>
#include <QFile>
#include <QScroller>
#include <QTemporaryDir>
#include <QtTest>

class TestTouch final : public QObject
{
    Q_OBJECT

    TestEnvironment m_env;

private Q_SLOTS:
    void initTestCase() { platform::adaptToTouchScreen(); }
    void cleanup() { closeAllWindows(); }

    // Checked before the application starts: the plugin, then every module the keyboard imports.
    void missingKeyboardParts_data()
    {
        QTest::addColumn<QStringList>("installed"); // "plugin" and module folders
        QTest::addColumn<QString>("missing");
        const QStringList modules = {"QtQuick/VirtualKeyboard",
                                     "QtQuick/VirtualKeyboard/Components",
                                     "QtQuick/VirtualKeyboard/Plugins",
                                     "QtQuick/Layouts",
                                     "QtQuick/Window",
                                     "QtQml/WorkerScript",
                                     "Qt/labs/folderlistmodel"};
        QStringList noLayouts = modules;
        noLayouts.removeAll("QtQuick/Layouts");
        QTest::newRow("everything") << (QStringList("plugin") + modules) << "";
        QTest::newRow("no plugin")
            << modules
            << "the plugin libqtvirtualkeyboardplugin.so is not installed (Debian package qt6-virtualkeyboard-plugin)";
        QTest::newRow("modules hidden")
            << QStringList("plugin")
            << "modules QtQuick.VirtualKeyboard, QtQuick.VirtualKeyboard.Components, QtQuick.VirtualKeyboard.Plugins, "
               "QtQuick.Layouts, QtQuick.Window, QtQml.WorkerScript, Qt.labs.folderlistmodel are not installed (Debian "
               "packages qml6-module-qtquick-virtualkeyboard qml6-module-qtquick-layouts qml6-module-qtquick-window "
               "qml6-module-qtqml-workerscript qml6-module-qt-labs-folderlistmodel)";
        QTest::newRow("no layouts")
            << (QStringList("plugin") + noLayouts)
            << "module QtQuick.Layouts is not installed (Debian package qml6-module-qtquick-layouts)";
    }
    void missingKeyboardParts()
    {
        QFETCH(QStringList, installed);
        QFETCH(QString, missing);
        QTemporaryDir plugins;
        QTemporaryDir qml;
        for (const QString& part : installed) {
            if (part == "plugin") {
                QVERIFY(QDir(plugins.path()).mkpath("platforminputcontexts"));
                QVERIFY(QFile(plugins.filePath("platforminputcontexts/libqtvirtualkeyboardplugin.so"))
                            .open(QIODevice::WriteOnly));
            } else {
                QVERIFY(QDir(qml.path()).mkpath(part));
                QVERIFY(QFile(qml.filePath(part + "/qmldir")).open(QIODevice::WriteOnly));
            }
        }
        QCOMPARE(platform::InputPanel::missingKeyboardParts({plugins.path()}, {qml.path()}), missing);
    }

    // The operator learns why there is no keyboard, and what the sync knows, each in full below the
    // buttons, one under the other; the window grows for them and nothing else moves.
    void notesInPreferences_data()
    {
        QTest::addColumn<QString>("missing");
        QTest::addColumn<bool>("sync");
        QTest::newRow("a keyboard") << "" << false;
        QTest::newRow("no keyboard")
            << "module QtQuick.Layouts is not installed (Debian package qml6-module-qtquick-layouts)" << false;
        QTest::newRow("no keyboard, sync")
            << "module QtQuick.Layouts is not installed (Debian package qml6-module-qtquick-layouts)" << true;
    }
    void notesInPreferences()
    {
        QFETCH(QString, missing);
        QFETCH(bool, sync);
        App app;
        app.commandLine.touch = true;
        app.onScreenKeyboardMissing = missing;
        if (sync) {
            // Nothing listens there: the staff line says why at length.
            app.commandLine.syncTo = QStringLiteral("host=127.0.0.1 port=1 dbname=events user=kiosk");
            app.commandLine.syncHost = QStringLiteral("a-long-server-name.events.example.org");
            app.commandLine.syncAccount = QStringLiteral("kiosk@a-long-server-name.events.example.org");
        }
        app.start([] { return &platform::ImplicitInstance<Window1>::create(); });
        if (sync)
            QTRY_COMPARE(app.sync()->status().state, dbsync::Status::State::Waiting);
        PreferencesWindow& prefs = PreferencesWindow::instance();
        prefs.open();
        prefs.Show();
        QVERIFY(QTest::qWaitForWindowExposed(&prefs));
        QCOMPARE(prefs.KeyboardNote->isVisible(), !missing.isEmpty());
        QCOMPARE(prefs.SyncStatus->isVisible(), sync);
        if (missing.isEmpty() && !sync) {
            QCOMPARE(prefs.content()->height(), 171);
            return;
        }
        int below = prefs.SaveBtn->geometry().bottom();
        for (const platform::StaticText* note : {prefs.SyncStatus, prefs.KeyboardNote}) {
            if (!note->isVisible())
                continue;
            QVERIFY(note->geometry().top() > below);
            QVERIFY(note->heightForWidth(note->width()) <= note->height());
            below = note->geometry().bottom();
        }
        QVERIFY(below < prefs.content()->height());
        QCOMPARE(prefs.SaveBtn->Top(), 131);
        if (missing.isEmpty())
            return;
        QCOMPARE(prefs.KeyboardNote->text(), QStringLiteral("No on-screen keyboard: %1.").arg(missing));
        if (sync)
            QCOMPARE(prefs.SyncStatus->text(), dbsync::staffLine(app.sync()->status()));
    }

    // No pointer over any window.
    void noPointer() { QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::BlankCursor); }

    // Open, a list's rows are a finger high and it scrolls by a flick; closed, it keeps its design size.
    void listsForFingers_data()
    {
        QTest::addColumn<QString>("list");
        QTest::newRow("country") << "CountryField";
        QTest::newRow("carrier") << "CellCarrierPopUp";
        QTest::newRow("gender") << "GenderPopUp";
        QTest::newRow("birth year") << "YearBornPopUp";
    }
    void listsForFingers()
    {
        QFETCH(QString, list);
        App app;
        app.start([] { return &platform::ImplicitInstance<Window1>::create(); });
        Window1& form = Window1::instance();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* menu = form.content()->findChild<platform::PopupMenu*>(list);
        QVERIFY(menu);
        menu->showPopup();
        QTRY_VERIFY(menu->view()->isVisible());
        QAbstractItemView* rows = menu->view();
        QVERIFY(rows->visualRect(rows->model()->index(1, 0)).height() >= platform::kTouchRowHeight);
        QVERIFY(QScroller::hasScroller(rows->viewport()));
        menu->hidePopup();
        QCOMPARE(menu->Height(), 20);
    }
};

QTEST_MAIN(TestTouch)
#include "tst_touch.moc"
