// The framework layer: input rules of edit fields, pop-up menus, timers, windows and the quit route.
#include "ModalHelper.h"
#include "TestEnvironment.h"
#include "Typing.h"
#include "core/Folders.h"
#include "core/Text.h"
#include "platform/Application.h"
#include "platform/Design.h"
#include "platform/EditField.h"
#include "platform/FittedText.h"
#include "platform/ImplicitInstance.h"
#include "platform/Menus.h"
#include "platform/Screen.h"
#include "platform/Window.h"

#include <QClipboard>
#include <QtTest>

using namespace platform;

namespace {

QStringList g_events;

class TestApp final : public Application
{
public:
    bool refuseQuit = false;
    int cancelCloseCount = 0;
    bool terminated = false;

    TestApp()
    {
        setTerminate([this] { terminated = true; });
    }

protected:
    void Event_Open() override { g_events.append(QStringLiteral("app open")); }
    bool Event_CancelClose() override
    {
        ++cancelCloseCount;
        return refuseQuit;
    }
};

const WindowDesign kPlainDesign = [] {
    WindowDesign d;
    d.title = "Test";
    d.width = 300;
    d.height = 200;
    return d;
}();

// clang-format off
const ControlDesign kPlainControls[] = {
    {.name = "Box", .kind = ControlDesign::Kind::GroupBox, .left = 10, .top = 20, .width = 200, .height = 150},
    {.name = "Field", .kind = ControlDesign::Kind::EditField, .left = 30, .top = 40, .width = 120, .height = 20, .parent = "Box"},
    {.name = "Other", .kind = ControlDesign::Kind::EditField, .left = 30, .top = 70, .width = 120, .height = 20, .parent = "Box"},
    {.name = "Ok", .kind = ControlDesign::Kind::PushButton, .left = 30, .top = 100, .width = 60, .height = 20, .text = "OK", .isDefault = true, .parent = "Box"},
    {.name = "Cancel", .kind = ControlDesign::Kind::PushButton, .left = 100, .top = 100, .width = 60, .height = 20, .text = "Cancel", .isCancel = true, .parent = "Box"},
};
// clang-format on

// A menu bar with the framework's own commands: File > Quit and the six edit commands.
MenuBar* commandMenuBar()
{
    using Kind = MenuItem::Kind;
    struct Item
    {
        const char* parent;
        Kind kind;
        const char* name;
        QKeySequence shortcut;
    };
    const Item items[] = {
        {nullptr, Kind::Normal, "FileMenu", {}},
        {"FileMenu", Kind::Quit, "FileQuit", QKeySequence(Qt::CTRL | Qt::Key_Q)},
        {nullptr, Kind::Normal, "EditMenu", {}},
        {"EditMenu", Kind::Normal, "EditUndo", QKeySequence(Qt::CTRL | Qt::Key_Z)},
        {"EditMenu", Kind::Normal, "EditCut", QKeySequence(Qt::CTRL | Qt::Key_X)},
        {"EditMenu", Kind::Normal, "EditCopy", QKeySequence(Qt::CTRL | Qt::Key_C)},
        {"EditMenu", Kind::Normal, "EditPaste", QKeySequence(Qt::CTRL | Qt::Key_V)},
        {"EditMenu", Kind::Normal, "EditClear", {}},
        {"EditMenu", Kind::Normal, "EditSelectAll", QKeySequence(Qt::CTRL | Qt::Key_A)},
    };
    auto* bar = new MenuBar;
    for (const Item& design : items) {
        const QString name = QString::fromLatin1(design.name);
        auto* item = new MenuItem(design.kind, name, name, design.shortcut, bar);
        item->setAutoEnable(true);
        if (design.parent)
            bar->item(QString::fromLatin1(design.parent))->append(item);
        else
            bar->append(item);
    }
    return bar;
}

// A window like the form: a menu bar, and closing it asks to quit.
class PlainWindow final : public Window
{
public:
    int opens = 0;

    PlainWindow()
        : Window(kPlainDesign)
    {
        setMenuBar(commandMenuBar());
        buildControls(*this, kPlainControls);
    }

protected:
    void Event_Open() override
    {
        ++opens;
        g_events.append(QStringLiteral("window open"));
    }
    void closeRequested() override { Application::current()->requestQuit(); }
};

const WindowDesign kDialogDesign = [] {
    WindowDesign d;
    d.title = "Dialog";
    d.width = 200;
    d.height = 80;
    d.frame = WindowDesign::Frame::ModalDialog;
    d.visible = false;
    return d;
}();

class DialogWindow final : public Window
{
public:
    DialogWindow()
        : Window(kDialogDesign)
    {
    }
};

using Refusals = QList<QPair<QString, int>>;

} // namespace

class TestPlatform final : public QObject
{
    Q_OBJECT

    TestEnvironment m_env;
    std::unique_ptr<TestApp> m_app;

    EditField& field() { return ImplicitInstance<PlainWindow>::get().control<EditField>("Field"); }

private Q_SLOTS:
    // A fitted text shows whole words only, each line within the width, as many lines as the height
    // holds; what does not fit ends in an ellipsis after a whole word.
    void fittedText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("lines"); // the height, in lines
        QTest::addColumn<bool>("elided");
        const QString notice = QStringLiteral("Quillmore Fan Club keeps the details you give here to send you news "
                                              "of shows by e-mail and text, and never sells them.");
        QTest::newRow("fits whole") << notice << 2000 << 2 << false;
        QTest::newRow("wrapped, all of it") << notice << 200 << 20 << false;
        QTest::newRow("three lines and an ellipsis") << notice << 200 << 3 << true;
        QTest::newRow("one line") << notice << 200 << 1 << true;
        QTest::newRow("a word wider than the box") << QString(60, u'x') + QStringLiteral(" end") << 120 << 1 << true;
    }
    void fittedText()
    {
        QFETCH(QString, text);
        QFETCH(int, width);
        QFETCH(int, lines);
        QFETCH(bool, elided);
        const QFont font;
        const QFontMetrics metrics(font);
        const QStringList shown = platform::fitText(text, font, width, lines * metrics.lineSpacing());
        QVERIFY(shown.size() <= lines);
        QString joined = shown.join(u' ');
        for (const QString& line : shown)
            QVERIFY2(metrics.horizontalAdvance(line) <= width, qPrintable(line));
        QCOMPARE(joined.endsWith(QChar(0x2026)), elided);
        if (elided)
            joined.chop(1);
        // The start of the text, in order; ending at a blank, unless one word alone is wider than the box.
        QVERIFY2(QString(text).remove(u' ').startsWith(QString(joined).remove(u' ')), qPrintable(joined));
        if (elided && !text.startsWith(u'x'))
            QCOMPARE(text.at(joined.size()), u' ');
    }

    void init()
    {
        m_app = std::make_unique<TestApp>();
        g_events.clear();
    }
    void cleanup()
    {
        closeAllWindows();
        m_app.reset();
    }

    void val_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("plain") << "7" << 7.0;
        QTest::newRow("leading blanks") << "  42" << 42.0;
        QTest::newRow("trailing text") << "12abc" << 12.0;
        QTest::newRow("negative") << "-3" << -3.0;
        QTest::newRow("fraction") << "2.75x" << 2.75;
        QTest::newRow("number after text") << "abc12" << 0.0;
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("sign only") << "-" << 0.0;
    }
    void val()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        QCOMPARE(Val(text), value);
    }

    void strCompIsExact()
    {
        QCOMPARE(StrComp(QStringLiteral("Secret"), QStringLiteral("Secret"), 0), 0);
        QVERIFY(StrComp(QStringLiteral("Secret"), QStringLiteral("secret"), 0) != 0);
        QCOMPARE(StrComp(QString(), QString(), 0), 0);
        QCOMPARE(toInt32(287.5), 287);
        QCOMPARE(toInt32(-20.5), -20);
    }

    // Real key presses, and an on-screen keyboard's commits, against masks and limits.
    void typing_data()
    {
        // clang-format off
        QTest::addColumn<QString>("mask");
        QTest::addColumn<int>("limit");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<Refusals>("refusals");
        QTest::newRow("digits refuse a letter") << "#####" << 0 << "12a345" << "12345" << Refusals{{"12a", 3}};
        QTest::newRow("mask length caps silently") << "#####" << 0 << "1234567" << "12345" << Refusals{};
        QTest::newRow("character places refuse a blank") << "&&&" << 0 << "a b" << "ab" << Refusals{{"a ", 2}};
        QTest::newRow("character places take punctuation") << "&&&&" << 0 << "O'-," << "O'-," << Refusals{};
        QTest::newRow("limit caps silently") << "" << 3 << "abcd" << "abc" << Refusals{};
        QTest::newRow("no mask takes anything") << "" << 0 << "a b-c" << "a b-c" << Refusals{};
        QTest::newRow("limit below mask length") << "################" << 8 << "123456789" << "12345678" << Refusals{};
        QTest::newRow("two refusals") << "##########" << 0 << "5-5 5" << "555" << Refusals{{"5-", 2}, {"55 ", 3}};
        // Characters as typed: a pair of UTF-16 surrogates is one character and one place.
        QTest::newRow("character places take emoji and rare ideographs") << "&&&" << 0 << "😀𠮷x" << "😀𠮷x" << Refusals{};
        QTest::newRow("character places take a non-joiner") << "&&&&&&&&" << 0 << "علی\u200cرضا" << "علی\u200cرضا"
                                                            << Refusals{};
        QTest::newRow("character places refuse every blank") << "&&&&" << 0 << "a\u00a0b\u3000" << "ab"
                                                           << Refusals{{"a\u00a0", 2}, {"ab\u3000", 3}};
        QTest::newRow("refusal counts characters") << "&&&&" << 0 << "😀 x" << "😀x" << Refusals{{"😀 ", 2}};
        QTest::newRow("digit places refuse a pair whole") << "###" << 0 << "1😀2" << "12" << Refusals{{"1😀", 2}};
        QTest::newRow("pair at the limit taken whole") << "" << 8 << "1234567😀9" << "1234567😀" << Refusals{};
        // clang-format on
    }
    void typing()
    {
        QFETCH(QString, mask);
        QFETCH(int, limit);
        QFETCH(QString, keys);
        QFETCH(QString, expected);
        QFETCH(Refusals, refusals);

        EditField& f = field();
        f.setMask(mask);
        f.setLimitText(limit);
        Refusals seen;
        connect(&f, &EditField::ValidationError, this, [&](const QString& t, int p) { seen.append({t, p}); });
        f.setFocus();
        // An on-screen keyboard's characters arrive as input-method commits, and obey the same rules.
        for (const bool onScreen : {false, true}) {
            f.setText(QString());
            seen.clear();
            onScreen ? commitCharacters(&f, keys) : typeCharacters(&f, keys);
            const char* route = onScreen ? "on-screen keyboard" : "keys";
            QVERIFY2(f.Text() == expected, route);
            QVERIFY2(seen == refusals, route);
        }
    }

    // The rules as a pure function of one edit: where the inserted text goes, what is kept, the refusal
    // and the rest left after it. Also edits that key presses alone do not make.
    void inputRules_data()
    {
        // clang-format off
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::addColumn<int>("cursor");
        QTest::addColumn<QString>("mask");
        QTest::addColumn<int>("limit");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("textCursor");
        QTest::addColumn<Refusals>("refusal");
        QTest::addColumn<QString>("rest");
        QTest::newRow("a refusal ends the edit; the rest waits") << "1" << "1a23" << 4 << "#####" << 0 << "1" << 1
                                                                 << Refusals{{"1a", 2}} << "23";
        QTest::newRow("inserted in the middle, judged at its places") << "12" << "1a2" << 2 << "###" << 0 << "12" << 1
                                                                      << Refusals{{"1a2", 2}} << "";
        QTest::newRow("repeated characters: the cursor tells where") << "a" << "aa" << 1 << "#&" << 0 << "a" << 0
                                                                     << Refusals{{"aa", 1}} << "";
        QTest::newRow("the limit drops the excess silently") << "ab" << "abcde" << 5 << "" << 3 << "abc" << 3
                                                             << Refusals{} << "";
        QTest::newRow("line breaks never enter") << "" << "a\nb\r" << 4 << "" << 0 << "ab" << 2 << Refusals{} << "";
        QTest::newRow("removing is always accepted") << "abc" << "ac" << 1 << "#" << 0 << "ac" << 1 << Refusals{}
                                                     << "";
        QTest::newRow("a pair replaced by one sharing its first half") << "😀" << "😁" << 2 << "&" << 0 << "😁" << 2
                                                                       << Refusals{} << "";
        QTest::newRow("a pair replaced by one sharing its second half") << "🐀" << "𠀀" << 2 << "&" << 0 << "𠀀" << 2
                                                                        << Refusals{} << "";
        QTest::newRow("an unassigned code point") << "a" << "a\u0378" << 2 << "&&" << 0 << "a" << 1
                                                  << Refusals{{"a\u0378", 2}} << "";
        // clang-format on
    }
    void inputRules()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(int, cursor);
        QFETCH(QString, mask);
        QFETCH(int, limit);
        QFETCH(QString, text);
        QFETCH(int, textCursor);
        QFETCH(Refusals, refusal);
        QFETCH(QString, rest);
        const InputOutcome outcome = applyInputRules(before, after, cursor, mask, limit);
        QCOMPARE(outcome.text, text);
        QCOMPARE(outcome.cursor, textCursor);
        Refusals seen;
        if (outcome.refusal)
            seen.append({outcome.refusal->textWithCharacter, outcome.refusal->position});
        QCOMPARE(seen, refusal);
        QCOMPARE(outcome.refusal ? outcome.refusal->rest : QString(), rest);
    }

    void refusalInTheMiddleReportsTheCursorPosition()
    {
        EditField& f = field();
        f.setMask(QStringLiteral("&&&&&"));
        f.setText(QStringLiteral("abcd"));
        f.setCursorPosition(2);
        Refusals seen;
        connect(&f, &EditField::ValidationError, this, [&](const QString& t, int p) { seen.append({t, p}); });
        QTest::keyClick(&f, Qt::Key_Space);
        QCOMPARE(f.Text(), QStringLiteral("abcd"));
        QCOMPARE(seen, (Refusals{{"ab cd", 3}}));
    }

    void textFromCodeIsNotFiltered()
    {
        EditField& f = field();
        f.setMask(QStringLiteral("#####"));
        f.setText(QStringLiteral("abc def ghi"));
        QCOMPARE(f.Text(), QStringLiteral("abc def ghi"));
        f.setMask(QStringLiteral("##"));
        f.setLimitText(1);
        QCOMPARE(f.Text(), QStringLiteral("abc def ghi"));
    }

    // Paste and the Edit menu go through the same rules, one character after the other.
    void paste_data()
    {
        // clang-format off
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("clipboard");
        QTest::addColumn<bool>("byMenu");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<Refusals>("refusals");
        QTest::newRow("shortcut") << "#####" << "1a2b3" << false << "123" << Refusals{{"1a", 2}, {"12b", 3}};
        QTest::newRow("menu") << "#####" << "1a2b3" << true << "123" << Refusals{{"1a", 2}, {"12b", 3}};
        QTest::newRow("line break never enters") << "" << "ab\ncd\r\nef" << false << "abcdef" << Refusals{};
        QTest::newRow("too long") << "###" << "123456" << true << "123" << Refusals{};
        QTest::newRow("character places refuse controls") << "&&&&&" << "a\tb\u2028c" << false << "abc"
                                                         << Refusals{{"a\t", 2}, {"ab\u2028", 3}};
        QTest::newRow("half a pair never enters") << "" << QStringLiteral("a%1b%2c").arg(QChar(0xd83d)).arg(QChar(0xde00))
                                                  << false << "abc" << Refusals{};
        // clang-format on
    }
    void paste()
    {
        QFETCH(QString, mask);
        QFETCH(QString, clipboard);
        QFETCH(bool, byMenu);
        QFETCH(QString, expected);
        QFETCH(Refusals, refusals);

        PlainWindow& window = ImplicitInstance<PlainWindow>::get();
        EditField& f = window.control<EditField>("Field");
        f.setMask(mask);
        Refusals seen;
        connect(&f, &EditField::ValidationError, this, [&](const QString& t, int p) { seen.append({t, p}); });
        QApplication::clipboard()->setText(clipboard);
        QApplication::setActiveWindow(&window);
        f.setFocus();
        QTRY_VERIFY(f.hasFocus());
        if (byMenu)
            window.menuBar()->item(QStringLiteral("EditPaste"))->trigger();
        else
            QTest::keySequence(&f, QKeySequence::Paste);
        QCOMPARE(f.Text(), expected);
        QCOMPARE(seen, refusals);
    }

    // A handler that takes a refused character in: the rest of a paste follows after it.
    void handlerCanAcceptRefusedCharacterDuringPaste()
    {
        EditField& f = field();
        f.setMask(QString(10, u'&'));
        connect(&f, &EditField::ValidationError, this, [&](const QString& t, int p) {
            if (t.mid(p - 1, 1) == QStringLiteral(" "))
                f.setText(t);
        });
        QApplication::clipboard()->setText(QStringLiteral("Mary Ann X"));
        f.setFocus();
        f.pasteText();
        QCOMPARE(f.Text(), QStringLiteral("Mary Ann X"));
    }

    void passwordFieldShowsBullets()
    {
        EditField& f = field();
        f.setPassword(true);
        QTest::keyClicks(&f, QStringLiteral("secret"));
        QCOMPARE(f.Text(), QStringLiteral("secret"));
        QVERIFY(!f.displayText().contains(QStringLiteral("secret")));
    }

    void popupRaisesChangeOnEveryCodeSet()
    {
        PopupMenu menu(nullptr);
        menu.setRows({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
        int changes = 0;
        connect(&menu, &PopupMenu::Change, this, [&] { ++changes; });
        menu.setListIndex(2);
        menu.setListIndex(2);
        QCOMPARE(changes, 2);
        QCOMPARE(menu.Text(), QStringLiteral("c"));
        menu.setListIndex(3);
        menu.setListIndex(-1);
        QCOMPARE(changes, 2);
        QCOMPARE(menu.ListIndex(), 2);
        menu.show();
        menu.setFocus();
        QTest::keyClick(&menu, Qt::Key_Up); // a visitor's pick
        QCOMPARE(menu.ListIndex(), 1);
        QCOMPARE(changes, 3);
    }

    // Mode 1 fires once, 2 every period, 0 not at all.
    void timerModes()
    {
        Timer timer(nullptr);
        const auto* clock = timer.findChild<QTimer*>();
        QVERIFY(clock);
        int fired = 0;
        connect(&timer, &Timer::Action, this, [&] { ++fired; });
        timer.setPeriod(10);
        timer.setMode(1);
        QTRY_COMPARE(fired, 1);
        QVERIFY(!clock->isActive());
        timer.setMode(2);
        QTRY_VERIFY(fired >= 3);
        QVERIFY(clock->isActive());
        timer.setMode(0);
        QVERIFY(!clock->isActive());
    }

    // Timers of the window itself and of a control in it alike.
    void closingTheWindowStopsItsTimers()
    {
        PlainWindow& window = ImplicitInstance<PlainWindow>::get();
        const QPointer<Timer> timers[] = {new Timer(&window), new Timer(&window.control<GroupBox>("Box"))};
        for (Timer* timer : timers) {
            timer->setPeriod(20);
            timer->setMode(2);
        }
        window.Close();
        for (const QPointer<Timer>& timer : timers) {
            QVERIFY(timer); // deleted only with the window, once the event loop runs
            QCOMPARE(timer->Mode(), 0);
            QVERIFY(!timer->findChild<QTimer*>()->isActive());
        }
    }

    void implicitInstance()
    {
        PlainWindow& first = ImplicitInstance<PlainWindow>::get();
        QCOMPARE(&ImplicitInstance<PlainWindow>::get(), &first);
        QCOMPARE(first.opens, 1);
        QVERIFY(first.isVisible());
        QPointer<PlainWindow> old(&first);
        first.Close();
        QVERIFY(!ImplicitInstance<PlainWindow>::existing());
        PlainWindow& second = ImplicitInstance<PlainWindow>::get();
        QVERIFY(&second != old.data() || !old);
        QCOMPARE(second.opens, 1);
    }

    void showModalReturnsOnceClosed()
    {
        PlainWindow& window = ImplicitInstance<PlainWindow>::get();
        bool closedBeforeReturn = false;
        WhenModal guard([&](QWidget* modal) {
            QCOMPARE(modal, &window);
            window.Close();
        });
        connect(&window, &Window::closed, this, [&] { closedBeforeReturn = true; });
        window.ShowModal();
        QVERIFY(closedBeforeReturn);
    }

    // A modal window stays with the window it interrupts (above it, also in full screen), in the
    // middle of the screen.
    void modalWindowBelongsToTheActiveWindow()
    {
        PlainWindow& window = ImplicitInstance<PlainWindow>::get();
        QApplication::setActiveWindow(&window);
        QTRY_COMPARE(QApplication::activeWindow(), &window);
        DialogWindow& dialog = ImplicitInstance<DialogWindow>::get();
        dialog.Show();
        QVERIFY(dialog.isModal());
        QCOMPARE(dialog.windowHandle()->transientParent(), window.windowHandle());
        const QRect screen = dialog.screen()->availableGeometry();
        QVERIFY(qAbs(dialog.frameGeometry().center().x() - screen.center().x()) <= 2);
        QVERIFY(qAbs(dialog.frameGeometry().center().y() - screen.center().y()) <= 2);
        dialog.Close();
    }

    // Right after a modal window closes no window may be active yet (on Wayland the compositor
    // activates the next one later); the next modal window still belongs to the open window.
    void modalWindowBelongsToTheOpenWindowWhileNoneIsActive()
    {
        PlainWindow& window = ImplicitInstance<PlainWindow>::get();
        QApplication::setActiveWindow(&window);
        QTRY_COMPARE(QApplication::activeWindow(), &window);
        QApplication::setActiveWindow(nullptr);
        QCOMPARE(QApplication::activeWindow(), nullptr);
        DialogWindow& dialog = ImplicitInstance<DialogWindow>::get();
        dialog.Show();
        QCOMPARE(dialog.windowHandle()->transientParent(), window.windowHandle());
        dialog.Close();
    }

    void returnAndEscapePressDefaultAndCancelButtons()
    {
        PlainWindow& window = ImplicitInstance<PlainWindow>::get();
        int ok = 0;
        int cancel = 0;
        connect(&window.control<PushButton>("Ok"), &PushButton::Action, this, [&] { ++ok; });
        connect(&window.control<PushButton>("Cancel"), &PushButton::Action, this, [&] { ++cancel; });
        EditField& f = window.control<EditField>("Field");
        f.setFocus();
        QTest::keyClick(&f, Qt::Key_Return);
        QTest::keyClick(&f, Qt::Key_Escape);
        QCOMPARE(ok, 1);
        QCOMPARE(cancel, 1);
    }

    void geometryIsInWindowCoordinatesInsideGroupBox()
    {
        PlainWindow& window = ImplicitInstance<PlainWindow>::get();
        auto& box = window.control<GroupBox>("Box");
        EditField& f = window.control<EditField>("Field");
        QCOMPARE(QRect(f.Left(), f.Top(), f.Width(), f.Height()), QRect(30, 40, 120, 20));
        box.setLeft(110);
        box.setTop(60);
        QCOMPARE(QPoint(f.Left(), f.Top()), QPoint(130, 80));
        f.setTop(65);
        QCOMPARE(f.Top(), 65);
        QCOMPARE(f.y(), 5); // relative to the box
        QCOMPARE(window.content()->size(), QSize(300, 200));
    }

    void editMenuActsOnFocusedField()
    {
        PlainWindow& window = ImplicitInstance<PlainWindow>::get();
        QApplication::setActiveWindow(&window);
        MenuBar& bar = *window.menuBar();
        EditField& f = window.control<EditField>("Field");
        EditField& other = window.control<EditField>("Other");
        f.setFocus();
        QTRY_VERIFY(f.hasFocus());
        bar.enableItems();
        QVERIFY(!bar.item(QStringLiteral("EditCopy"))->isEnabled());      // nothing selected
        QVERIFY(!bar.item(QStringLiteral("EditSelectAll"))->isEnabled()); // nothing to select
        QTest::keyClicks(&f, QStringLiteral("hello"));
        bar.enableItems();
        QVERIFY(bar.item(QStringLiteral("EditUndo"))->isEnabled());
        bar.item(QStringLiteral("EditSelectAll"))->trigger();
        bar.enableItems();
        QVERIFY(bar.item(QStringLiteral("EditCut"))->isEnabled());
        bar.item(QStringLiteral("EditCopy"))->trigger();
        bar.item(QStringLiteral("EditClear"))->trigger();
        QCOMPARE(f.Text(), QString());
        bar.item(QStringLiteral("EditUndo"))->trigger();
        QCOMPARE(f.Text(), QStringLiteral("hello"));
        other.setFocus();
        QTRY_VERIFY(other.hasFocus());
        bar.item(QStringLiteral("EditPaste"))->trigger();
        QCOMPARE(other.Text(), QStringLiteral("hello"));

        other.setPassword(true);
        other.selectAll();
        bar.enableItems();
        QVERIFY(!bar.item(QStringLiteral("EditCopy"))->isEnabled()); // a password is never copied out
    }

    // Every route out asks CancelClose once; true keeps the program and the window with its contents.
    void quitRoutes_data()
    {
        QTest::addColumn<QString>("route");
        QTest::addColumn<bool>("refuse");
        for (const char* route : {"menu", "shortcut", "close button", "platform quit"}) {
            QTest::addRow("%s refused", route) << QString::fromLatin1(route) << true;
            QTest::addRow("%s allowed", route) << QString::fromLatin1(route) << false;
        }
    }
    void quitRoutes()
    {
        QFETCH(QString, route);
        QFETCH(bool, refuse);
        m_app->refuseQuit = refuse;
        PlainWindow& window = ImplicitInstance<PlainWindow>::get();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        EditField& f = window.control<EditField>("Field");
        f.setText(QStringLiteral("typed"));

        if (route == QStringLiteral("menu"))
            window.menuBar()->item(QStringLiteral("FileQuit"))->trigger();
        else if (route == QStringLiteral("shortcut"))
            QTest::keySequence(&window, QKeySequence(Qt::CTRL | Qt::Key_Q));
        else if (route == QStringLiteral("close button"))
            window.close();
        else {
            QEvent request(QEvent::Quit);
            QCoreApplication::sendEvent(qApp, &request);
        }

        QCOMPARE(m_app->cancelCloseCount, 1);
        QCOMPARE(m_app->terminated, !refuse);
        QVERIFY(ImplicitInstance<PlainWindow>::isOpen());
        QVERIFY(window.isVisible());
        QCOMPARE(f.Text(), QStringLiteral("typed"));
    }

    void startUpRaisesApplicationOpenFirst()
    {
        m_app->start([] { return &ImplicitInstance<PlainWindow>::create(); });
        QCOMPARE(g_events, (QStringList{QStringLiteral("app open"), QStringLiteral("window open")}));
        QVERIFY(ImplicitInstance<PlainWindow>::existing()->isVisible());
    }

    void folders()
    {
        const QString desktop = DesktopFolder();
        QCOMPARE(desktop, m_env.desktop() + u'/');
        QVERIFY(QFileInfo(m_env.desktop()).isDir()); // created when missing
        // Looking for the configuration folder makes none: no path until it is made for writing.
        QDir(m_env.config()).removeRecursively();
        QCOMPARE(PreferencesFolder(), QString());
        QVERIFY(!QFileInfo::exists(m_env.config()));
        QCOMPARE(PreferencesFolderForWriting(), m_env.config() + u'/');
        QCOMPARE(PreferencesFolder(), m_env.config() + u'/');
    }

    void screenSeam()
    {
        Screen::overrideAvailableSize(QSize(1024, 768));
        QCOMPARE(Screen(0).AvailableWidth(), 1024);
        QCOMPARE(Screen(0).AvailableHeight(), 768);
        Screen::overrideAvailableSize(std::nullopt);
        QVERIFY(Screen(0).AvailableWidth() > 0);
    }
};

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
