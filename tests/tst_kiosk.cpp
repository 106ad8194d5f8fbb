#include "ModalHelper.h"
#include "TestEnvironment.h"

#include "app/App.h"
#include "form/KioskLayout.h"
#include "form/Window1.h"
#include "platform/Controls.h"
#include "platform/EditField.h"
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

int textSizeOf(const QWidget* widget)
{
    if (auto* c = qobject_cast<const platform::StaticText*>(widget))
        return c->TextSize();
    if (auto* c = qobject_cast<const platform::EditField*>(widget))
        return c->TextSize();
    if (auto* c = qobject_cast<const platform::PopupMenu*>(widget))
        return c->TextSize();
    if (auto* c = qobject_cast<const platform::PushButton*>(widget))
        return c->TextSize();
    if (auto* c = qobject_cast<const platform::GroupBox*>(widget))
        return c->TextSize();
    return -1;
}

void closeForm()
{
    if (Window1* form = platform::ImplicitInstance<Window1>::existing())
        form->Close();
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
        endModalWindows();
        closeForm();
    }

    void centring_data()
    {
        QTest::addColumn<QSize>("available");
        QTest::addColumn<QPoint>("box");
        QTest::newRow("1024 x 768") << QSize(1024, 768) << QPoint(287, 84);
        QTest::newRow("exactly the box") << QSize(450, 600) << QPoint(0, 0);
        QTest::newRow("560 high overhangs") << QSize(1024, 560) << QPoint(287, -20);
        QTest::newRow("odd differences toward zero") << QSize(1025, 769) << QPoint(287, 84);
        QTest::newRow("one pixel short: toward zero") << QSize(449, 599) << QPoint(0, 0);
        QTest::newRow("three pixels short: toward zero") << QSize(447, 597) << QPoint(-1, -1);
        QTest::newRow("1920 x 1080") << QSize(1920, 1080) << QPoint(735, 240);
    }

    void centring()
    {
        QFETCH(QSize, available);
        QFETCH(QPoint, box);
        const kiosk::Layout layout = kiosk::layoutFor(available);
        QCOMPARE(layout.box, QRect(box, QSize(450, 600)));
    }

    // The form in kiosk state, on a 1024 x 768 screen.
    void kioskPlaces_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("rect");
        QTest::newRow("FormBox") << "FormBox" << QRect(287, 84, 450, 600);
        QTest::newRow("SaveButton") << "SaveButton" << QRect(562, 559, 150, 22);
        QTest::newRow("ClearButton") << "ClearButton" << QRect(402, 559, 150, 22);
        QTest::newRow("EmailLabel") << "EmailLabel" << QRect(297, 104, 300, 28);
        QTest::newRow("EmailField") << "EmailField" << QRect(297, 134, 300, 28);
        QTest::newRow("CountryField") << "CountryField" << QRect(387, 244, 200, 28);
        QTest::newRow("ZipLabel") << "ZipLabel" << QRect(512, 284, 180, 28);
        QTest::newRow("MyspaceUrl below the field's top") << "MyspaceUrl" << QRect(297, 521, 245, 28);
        QTest::newRow("MySpaceURLField") << "MySpaceURLField" << QRect(542, 519, 175, 28);
        QTest::newRow("YearBornPopUp") << "YearBornPopUp" << QRect(592, 454, 100, 28);
        // The logo and the credit line move sideways with the box; the logo keeps its size.
        QTest::newRow("QuillmoreLogo") << "QuillmoreLogo" << QRect(287 + 5, 624, 218, 54);
        QTest::newRow("QuillmoreLabel") << "QuillmoreLabel" << QRect(287 + 4, 599, 430, 20);
    }

    void kioskPlaces()
    {
        QFETCH(QString, name);
        QFETCH(QRect, rect);
        m_app.fullScreenmark = true;
        Window1& form = Window1::instance();
        QVERIFY(form.FullScreen());
        QCOMPARE(rectOf(form, name), rect);
    }

    void kioskText()
    {
        m_app.fullScreenmark = true;
        Window1& form = Window1::instance();
        int texts = 0;
        for (QWidget* widget : form.content()->findChildren<QWidget*>()) {
            if (widget->objectName() == QLatin1String("FormBox") || widget->objectName() == QLatin1String("QuillmoreLogo")
                || textSizeOf(widget) < 0)
                continue;
            ++texts;
            QVERIFY2(textSizeOf(widget) == 18, qPrintable(widget->objectName()));
            QCOMPARE(widget->font().pixelSize(), 18);
        }
        QCOMPARE(texts, 28);
        QCOMPARE(form.FormBox->TextSize(), 0);
        // The operator still reaches Preferences and Quit.
        QVERIFY(form.menuBar() && form.menuBar()->isVisible());
    }

    // The four states: flag on or off, form windowed or in kiosk state.
    void transitions_data()
    {
        QTest::addColumn<bool>("startFullScreen");
        QTest::addColumn<bool>("flag");
        QTest::addColumn<bool>("newWindow");
        QTest::addColumn<QRect>("box");

        const QRect design(11, 14, 331, 428);
        QTest::newRow("on, windowed: enters kiosk state on today's screen") << false << true << false << QRect(175, 0, 450, 600);
        QTest::newRow("on, kiosk: layout not re-applied") << true << true << false << QRect(287, 84, 450, 600);
        QTest::newRow("off, kiosk: a new windowed form") << true << false << true << design;
        QTest::newRow("off, windowed: unchanged") << false << false << false << design;
    }

    void transitions()
    {
        QFETCH(bool, startFullScreen);
        QFETCH(bool, flag);
        QFETCH(bool, newWindow);
        QFETCH(QRect, box);

        m_app.fullScreenmark = startFullScreen;
        QPointer<Window1> before = &Window1::instance();
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

    // The kiosk layout is fixed: a new window size does not move it.
    void resizeKeepsLayout()
    {
        m_app.fullScreenmark = true;
        Window1& form = Window1::instance();
        form.resize(600, 500);
        QCoreApplication::processEvents();
        QCOMPARE(rectOf(form, QStringLiteral("FormBox")), QRect(287, 84, 450, 600));
    }
};

QTEST_MAIN(TestKiosk)
#include "tst_kiosk.moc"
