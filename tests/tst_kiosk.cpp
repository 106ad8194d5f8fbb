#include "ModalHelper.h"
#include "TestEnvironment.h"

#include "app/App.h"
#include "core/KeyboardOffset.h"
#include "core/KioskLayout.h"
#include "core/Notice.h"
#include "form/Window1.h"
#include "platform/Controls.h"
#include "platform/EditField.h"
#include "platform/FittedText.h"
#include "platform/InputPanel.h"
#include "platform/Menus.h"
#include "platform/Screen.h"

#include <QtTest>

namespace {

// The window coordinates of a control of the form.
QRect rectOf(const Window1& form, const QString& name)
{
    const auto* widget = form.content()->findChild<QWidget*>(name);
    return widget ? platform::geometryInWindow(widget) : QRect();
}

// A menu bar of fixed height, so the expected places do not hang on the fonts installed.
constexpr int kMenuBar = 19;

// The form open in the given state, its menu bar kMenuBar high; kiosk state is entered as the
// Preferences window enters it, from the windowed form.
Window1& openForm(App& app, bool kiosk)
{
    app.fullScreenmark = false;
    Window1& form = Window1::instance();
    form.menuBar()->setFixedHeight(kMenuBar);
    if (kiosk) {
        app.fullScreenmark = true;
        form.ResetWindowPrefs();
    }
    return form;
}

} // namespace

class TestKiosk final : public QObject
{
    Q_OBJECT

    TestEnvironment m_env;
    App m_app;

private Q_SLOTS:
    void init()
    {
        m_app.fullScreenmark = false;
        m_app.DefaultCountryIndex = 0;
        platform::Screen::overrideAvailableSize(QSize(1024, 768));
    }
    void cleanup()
    {
        m_app.commandLine.notice.reset();
        m_app.commandLine.requireConsent = false;
        platform::InputPanel::instance().overrideRectangle(std::nullopt);
        closeAllWindows();
    }

    void centring_data()
    {
        QTest::addColumn<QSize>("available");
        QTest::addColumn<int>("menuBar");
        QTest::addColumn<QPoint>("box");
        QTest::newRow("1024 x 768") << QSize(1024, 768) << 19 << QPoint(287, 74);
        QTest::newRow("global menu bar: none in the window") << QSize(1024, 768) << 0 << QPoint(287, 84);
        QTest::newRow("exactly the box below the bar") << QSize(450, 619) << 19 << QPoint(0, 0);
        QTest::newRow("800 x 600 overhangs") << QSize(800, 600) << 19 << QPoint(175, -9);
        QTest::newRow("560 below the bar overhangs") << QSize(1024, 579) << 19 << QPoint(287, -20);
        QTest::newRow("odd differences toward zero") << QSize(1025, 769) << 20 << QPoint(287, 74);
        QTest::newRow("one pixel short: toward zero") << QSize(449, 618) << 19 << QPoint(0, 0);
        QTest::newRow("three pixels short: toward zero") << QSize(447, 616) << 19 << QPoint(-1, -1);
        QTest::newRow("1920 x 1080") << QSize(1920, 1080) << 19 << QPoint(735, 230);
    }

    void centring()
    {
        QFETCH(QSize, available);
        QFETCH(int, menuBar);
        QFETCH(QPoint, box);
        const kiosk::Arrangement layout = kiosk::layoutFor(available, menuBar);
        QCOMPARE(layout.box, QRect(box, QSize(450, 600)));
    }

    // The form in kiosk state, on a 1024 x 768 screen, below a 19-pixel menu bar.
    void kioskPlaces_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("rect");
        QTest::newRow("FormBox") << "FormBox" << QRect(287, 74, 450, 600);
        QTest::newRow("SaveButton") << "SaveButton" << QRect(562, 549, 150, 22);
        QTest::newRow("ClearButton") << "ClearButton" << QRect(402, 549, 150, 22);
        QTest::newRow("EmailLabel") << "EmailLabel" << QRect(297, 94, 300, 28);
        QTest::newRow("EmailField") << "EmailField" << QRect(297, 124, 300, 28);
        QTest::newRow("CountryField") << "CountryField" << QRect(387, 234, 200, 28);
        QTest::newRow("ZipLabel") << "ZipLabel" << QRect(512, 274, 180, 28);
        QTest::newRow("MyspaceUrl below the field's top") << "MyspaceUrl" << QRect(297, 511, 245, 28);
        QTest::newRow("MySpaceURLField") << "MySpaceURLField" << QRect(542, 509, 175, 28);
        QTest::newRow("YearBornPopUp") << "YearBornPopUp" << QRect(592, 444, 100, 28);
        // The logo and the credit line move sideways with the box; the logo keeps its size.
        QTest::newRow("QuillmoreLogo") << "QuillmoreLogo" << QRect(287 + 5, 614, 218, 54);
        QTest::newRow("QuillmoreLabel") << "QuillmoreLabel" << QRect(287 + 4, 589, 430, 20);
    }

    void kioskPlaces()
    {
        QFETCH(QString, name);
        QFETCH(QRect, rect);
        Window1& form = openForm(m_app, true);
        QVERIFY(form.FullScreen());
        QCOMPARE(rectOf(form, name), rect);
    }

    void kioskText()
    {
        m_app.fullScreenmark = true;
        Window1& form = Window1::instance();
        int texts = 0;
        for (QWidget* widget : form.content()->findChildren<QWidget*>()) {
            // The controls stand in the window or in the box; the widgets inside them have no text size.
            const bool control = widget->parentWidget() == form.content() || widget->parentWidget() == form.FormBox;
            if (!control || widget == form.FormBox || widget == form.QuillmoreLogo)
                continue;
            ++texts;
            QVERIFY2(platform::textSize(widget) == 18, qPrintable(widget->objectName()));
            QCOMPARE(widget->font().pixelSize(), 18);
        }
        QCOMPARE(texts, 28);
        QCOMPARE(form.FormBox->TextSize(), 0);
        // The operator still reaches Preferences and Quit.
        QVERIFY(form.menuBar() && form.menuBar()->isVisible());
        // What the visitor sees: below the menu bar the window really has, as much room above the box
        // as below it (the odd pixel below).
        const int above = form.FormBox->Top();
        const int below = 768 - form.content()->y() - (above + 600);
        QVERIFY2(below == above || below == above + 1,
                 qPrintable(QStringLiteral("%1 above, %2 below").arg(above).arg(below)));
    }

    // The four states: flag on or off, form windowed or in kiosk state.
    void transitions_data()
    {
        QTest::addColumn<bool>("startFullScreen");
        QTest::addColumn<bool>("flag");
        QTest::addColumn<bool>("newWindow");
        QTest::addColumn<QRect>("box");

        const QRect design(11, 14, 331, 428);
        QTest::newRow("on, windowed: enters kiosk state on today's screen")
            << false << true << false << QRect(175, -9, 450, 600);
        QTest::newRow("on, kiosk: layout not re-applied") << true << true << false << QRect(287, 74, 450, 600);
        QTest::newRow("off, kiosk: a new windowed form") << true << false << true << design;
        QTest::newRow("off, windowed: unchanged") << false << false << false << design;
    }

    void transitions()
    {
        QFETCH(bool, startFullScreen);
        QFETCH(bool, flag);
        QFETCH(bool, newWindow);
        QFETCH(QRect, box);

        QPointer<Window1> before = &openForm(m_app, startFullScreen);
        before->CountryField->setListIndex(2);
        // A screen change after entering kiosk state is not followed.
        platform::Screen::overrideAvailableSize(QSize(800, 600));

        m_app.fullScreenmark = flag;
        m_app.DefaultCountryIndex = 5;
        before->ResetWindowPrefs();

        QCOMPARE(before.isNull() || before->isClosed(), newWindow);
        Window1& form = Window1::instance();
        QCOMPARE(form.FullScreen(), flag);
        QVERIFY(form.isVisible());
        QCOMPARE(form.CountryField->ListIndex(), 5);
        QCOMPARE(rectOf(form, QStringLiteral("FormBox")), box);
        QCOMPARE(form.EmailLabel->TextSize(), flag ? 18 : 0);
    }

    // How far the form moves up for an on-screen keyboard, in screen coordinates. The keyboards are
    // Qt's: the width of the screen and 0.3125 times as high, along its bottom.
    void keyboardOffset_data()
    {
        QTest::addColumn<QRect>("field");
        QTest::addColumn<QRect>("keyboard");
        QTest::addColumn<QRect>("window"); // the window's content, below its menu bar
        QTest::addColumn<int>("offset");

        const QRect keyboard1024(0, 448, 1024, 320);
        const QRect fullScreen1024(0, 19, 1024, 749);
        const QRect mySpace1024(542, 528, 175, 28); // the kiosk layout's lowest field
        QTest::newRow("hidden") << mySpace1024 << QRect() << fullScreen1024 << 0;
        QTest::newRow("full screen 1024 x 768: just enough") << mySpace1024 << keyboard1024 << fullScreen1024 << 116;
        QTest::newRow("full screen 1280 x 800: just enough")
            << QRect(670, 544, 175, 28) << QRect(0, 400, 1280, 400) << QRect(0, 19, 1280, 781) << 180;
        QTest::newRow("windowed 1280 x 800: just enough")
            << QRect(649, 469, 131, 20) << QRect(0, 400, 1280, 400) << QRect(461, 183, 357, 453) << 97;
        QTest::newRow("the margin clear: stays") << QRect(297, 412, 175, 28) << keyboard1024 << fullScreen1024 << 0;
        QTest::newRow("one pixel into the margin") << QRect(297, 413, 175, 28) << keyboard1024 << fullScreen1024 << 1;
        QTest::newRow("keyboard beside the field") << mySpace1024 << QRect(0, 448, 500, 320) << fullScreen1024 << 0;
        QTest::newRow("too little room: the field's top stops at the window's")
            << QRect(360, 453, 131, 20) << QRect(0, 170, 1024, 598) << QRect(333, 167, 357, 453) << 286;
        QTest::newRow("keyboard over the window's top: no room above it")
            << QRect(297, 124, 300, 28) << QRect(0, 0, 1024, 320) << fullScreen1024 << 0;
    }

    void keyboardOffset()
    {
        QFETCH(QRect, field);
        QFETCH(QRect, keyboard);
        QFETCH(QRect, window);
        QFETCH(int, offset);
        QCOMPARE(touch::keyboardOffset(field, keyboard, window), offset);
    }

    // The form follows the keyboard the platform reports: up while it covers the focused field, and
    // back to exactly where it stood once it hides or the focus leaves the field.
    void formMovesAboveKeyboard_data()
    {
        QTest::addColumn<bool>("kiosk");
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("overlap"); // how far the keyboard's top rises above the field's bottom
        QTest::newRow("windowed, lowest field covered") << false << "MySpaceURLField" << 10;
        QTest::newRow("kiosk, lowest field covered") << true << "MySpaceURLField" << 10;
        QTest::newRow("kiosk, field behind the keyboard") << true << "AOLScreenNameField" << 60;
        QTest::newRow("kiosk, field clear above the keyboard") << true << "EmailField" << -touch::kMargin;
        QTest::newRow("kiosk, with a notice to agree to") << true << "MySpaceURLField" << 10;
    }

    void formMovesAboveKeyboard()
    {
        QFETCH(bool, kiosk);
        QFETCH(QString, field);
        QFETCH(int, overlap);

        const bool notice = QByteArrayView(QTest::currentDataTag()).contains("notice");
        m_app.commandLine.notice = notice ? consent::noticeFromBytes("We keep your details.").notice : std::nullopt;
        m_app.commandLine.requireConsent = notice;
        Window1& form = openForm(m_app, kiosk);
        auto& edit = form.control<platform::EditField>(field.toLatin1().constData());
        const auto beneathBox = [&] {
            const auto fromBox = [&](QWidget* beneath) {
                return platform::geometryInWindow(beneath).y() - form.FormBox->Top();
            };
            return notice ? QList<int>{fromBox(form.NoticeLabel), fromBox(form.ConsentBox)} : QList<int>();
        };
        const QList<int> notMoved = beneathBox();
        QApplication::setActiveWindow(&form);
        edit.setFocus();
        QTRY_VERIFY(edit.hasFocus());
        const int home = form.FormBox->Top();
        const QRect placed = rectOf(form, field);
        const auto fieldBottom = [&] { return edit.mapToGlobal(QPoint(0, edit.height())).y(); };
        const QRect keyboard(0, fieldBottom() - overlap, 4000, 1000);
        const int moved = std::max(overlap + touch::kMargin, 0);

        platform::InputPanel::instance().overrideRectangle(keyboard);
        QCOMPARE(form.FormBox->Top(), home - moved);
        QVERIFY(fieldBottom() + touch::kMargin <= keyboard.top());
        QCOMPARE(beneathBox(), notMoved);

        // A list takes no typing: the form returns while the keyboard still shows.
        form.CountryField->setFocus();
        QTRY_COMPARE(form.FormBox->Top(), home);
        edit.setFocus();
        QTRY_COMPARE(form.FormBox->Top(), home - moved);

        platform::InputPanel::instance().overrideRectangle(QRect());
        QCOMPARE(form.FormBox->Top(), home);
        QCOMPARE(rectOf(form, field), placed);
        QCOMPARE(beneathBox(), notMoved);
    }

    // The kiosk layout is fixed: a new window size does not move it.
    void resizeKeepsLayout()
    {
        Window1& form = openForm(m_app, true);
        form.resize(600, 500);
        QCoreApplication::processEvents();
        QCOMPARE(rectOf(form, QStringLiteral("FormBox")), QRect(287, 74, 450, 600));
    }
};

QTEST_MAIN(TestKiosk)
#include "tst_kiosk.moc"
