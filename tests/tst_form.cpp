// The sign-up form as a visitor meets it: every control where its design puts it, with its text, font,
// mask and list; the menus; what a screen reader and the Tab key see; the colours of every window.
#include "ModalHelper.h"
#include "TestEnvironment.h"
#include "app/App.h"
#include "core/Lists.h"
#include "form/ThanksWindow.h"
#include "form/Window1.h"
#include "platform/EditField.h"
#include "platform/Menus.h"
#include "platform/MsgBox.h"
#include "platform/TouchScreen.h"
#include "settings/PasswordDialog.h"
#include "settings/PreferencesWindow.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QMessageBox>
#include <QScroller>
#include <QtTest>

using namespace platform;

namespace {

QWidget* controlNamed(Window1& form, const QString& name)
{
    return form.content()->findChild<QWidget*>(name);
}

QString textOf(QWidget* w)
{
    if (auto* label = qobject_cast<QLabel*>(w))
        return label->text();
    if (auto* button = qobject_cast<QPushButton*>(w))
        return button->text();
    if (auto* field = qobject_cast<QLineEdit*>(w))
        return field->text();
    if (auto* menu = qobject_cast<QComboBox*>(w))
        return menu->currentText();
    if (auto* box = qobject_cast<QGroupBox*>(w))
        return box->title();
    return {};
}

// The window and the controls in it whose colours are not the designs' black text on white (a disabled
// field greys its text, as it should).
QStringList notBlackOnWhite(QWidget* window)
{
    QStringList wrong;
    const auto expect = [&wrong](const QWidget* widget, QPalette::ColorRole role, Qt::GlobalColor colour) {
        const QColor seen = widget->palette().color(QPalette::Active, role);
        if (seen != QColor(colour))
            wrong.append(QStringLiteral("%1 role %2: %3").arg(widget->objectName()).arg(role).arg(seen.name()));
    };
    expect(window, QPalette::Window, Qt::white);
    for (const QWidget* widget : window->findChildren<QWidget*>()) {
        if (qobject_cast<const QLabel*>(widget) || qobject_cast<const QCheckBox*>(widget))
            expect(widget, QPalette::WindowText, Qt::black);
        if (qobject_cast<const QLineEdit*>(widget)) {
            expect(widget, QPalette::Text, Qt::black);
            expect(widget, QPalette::Base, Qt::white);
        }
        // The list a pop-up menu opens.
        if (const auto* menu = qobject_cast<const QComboBox*>(widget)) {
            expect(menu->view(), QPalette::Text, Qt::black);
            expect(menu->view(), QPalette::Base, Qt::white);
        }
    }
    return wrong;
}

} // namespace

class TestForm final : public QObject
{
    Q_OBJECT

    TestEnvironment m_env;
    std::unique_ptr<App> m_app;

    Window1& form() { return Window1::instance(); }

private Q_SLOTS:
    void init() { m_app = std::make_unique<App>(); }
    void cleanup()
    {
        closeAllWindows();
        m_app.reset();
    }

    void window()
    {
        Window1& w = form();
        QCOMPARE(w.Title(), QStringLiteral("Quillmore"));
        QCOMPARE(w.content()->size(), QSize(357, 453));
        QCOMPARE(w.content()->palette().color(QPalette::Window), QColor(Qt::white));
        QVERIFY(w.windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(!w.FullScreen());
        QVERIFY(w.menuBar() && w.menuBar()->isVisible());
    }

    // A dark desktop colour scheme, in force before the kiosk starts, changes no window's colours.
    void blackOnWhiteUnderDarkDesktop_data()
    {
        QTest::addColumn<QString>("window");
        QTest::newRow("form") << "Window1";
        QTest::newRow("thank-you window") << "ThanksWindow";
        QTest::newRow("password dialog") << "PasswordDialog";
        QTest::newRow("Preferences") << "PreferencesWindow";
        QTest::newRow("message box") << "MsgBox";
    }
    void blackOnWhiteUnderDarkDesktop()
    {
        QFETCH(QString, window);
        // The desktop's colours are in force before the kiosk starts, also those a theme gives
        // particular kinds of control.
        m_app.reset();
        const QPalette dark(QColor(0x35, 0x35, 0x35), QColor(0x20, 0x20, 0x20));
        QApplication::setPalette(dark);
        QApplication::setPalette(dark, "QLineEdit");
        QApplication::setPalette(dark, "QAbstractItemView");
        m_app = std::make_unique<App>();

        QStringList wrong;
        if (window == QStringLiteral("MsgBox")) {
            WhenModal guard([&wrong](QWidget* box) {
                wrong = notBlackOnWhite(box);
                qobject_cast<QMessageBox*>(box)->button(QMessageBox::Ok)->click();
            });
            MsgBox(QStringLiteral("You must enter a valid email address"));
        } else {
            Window* w = nullptr;
            if (window == QStringLiteral("Window1"))
                w = &form();
            else if (window == QStringLiteral("ThanksWindow"))
                w = &ThanksWindow::instance();
            else if (window == QStringLiteral("PasswordDialog"))
                w = &PasswordDialog::instance();
            else
                w = &PreferencesWindow::instance();
            w->Show();
            wrong = notBlackOnWhite(w);
            w->Close();
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QStringLiteral(", "))));
    }

    void controls_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("verdana");
        // In creation order.
        const struct
        {
            const char* name;
            const char* kind;
            QRect rect;
            const char* text;
            bool verdana;
        } rows[] = {
            {"FormBox", "GroupBox", {11, 14, 331, 428}, "", false},
            {"EmailField", "EditField", {27, 57, 260, 20}, "", false},
            {"FirstNameField", "EditField", {27, 97, 132, 20}, "", false},
            {"LastNameField", "EditField", {162, 97, 132, 20}, "", false},
            {"CountryField", "PopupMenu", {88, 123, 143, 20}, "UNITED STATES", false},
            {"CityField", "EditField", {27, 163, 159, 20}, "", false},
            {"PostCodeField", "EditField", {198, 163, 121, 20}, "", false},
            {"CellField", "EditField", {27, 200, 121, 20}, "", false},
            {"CellCarrierPopUp", "PopupMenu", {152, 200, 121, 20}, "Select", false},
            {"AOLScreenNameField", "EditField", {27, 241, 121, 20}, "", false},
            {"GenderPopUp", "PopupMenu", {156, 241, 99, 20}, "M/F", false},
            {"YearBornPopUp", "PopupMenu", {258, 241, 77, 20}, "Select", false},
            {"MySpaceURLField", "EditField", {188, 286, 131, 20}, "", false},
            {"FirstNameLabel", "StaticText", {27, 81, 100, 12}, "First Name", true},
            {"LastNameLabel", "StaticText", {164, 81, 100, 12}, "Last Name", true},
            {"CityLabel", "StaticText", {26, 147, 100, 15}, "City", true},
            {"CountryLabel", "StaticText", {22, 123, 64, 15}, "Country", true},
            {"ZipLabel", "StaticText", {198, 147, 135, 15}, "Zip / Postal Code ", true},
            {"CellLabel", "StaticText", {27, 185, 100, 12}, "Cell", true},
            {"EmailLabel", "StaticText", {27, 42, 100, 15}, "Email", true},
            {"SaveButton", "PushButton", {223, 319, 108, 20}, "Sign Me Up", false},
            {"ClearButton", "PushButton", {131, 319, 80, 20}, "Clear", false},
            {"CarrierLabel", "StaticText", {156, 185, 100, 12}, "Cell Carrier", true},
            {"AolScreenLabel", "StaticText", {27, 226, 118, 12}, "AOL Screen Name", false},
            {"GenderLabel", "StaticText", {161, 226, 71, 12}, "Gender", false},
            {"MySpaceLabel", "StaticText", {31, 268, 136, 18}, "MySpace Username", false},
            {"QuillmoreLogo", "Canvas", {16, 375, 218, 54}, "", false},
            {"QuillmoreLabel", "StaticText", {15, 351, 320, 20}, "Fan list powered by www.quillmore.com", false},
            {"BirthYearLabel", "StaticText", {258, 226, 71, 12}, "Birth Year", false},
            {"MyspaceUrl", "StaticText", {16, 285, 173, 20}, "http://www.myspace.com/", false},
        };
        for (const auto& row : rows)
            QTest::newRow(row.name) << row.kind << row.rect << row.text << row.verdana;
    }
    void controls()
    {
        QFETCH(QString, kind);
        QFETCH(QRect, geometry);
        QFETCH(QString, text);
        QFETCH(bool, verdana);
        // The form as created, before opening adapts it to the settings and the default country.
        Window1& w = ImplicitInstance<Window1>::create();
        QWidget* c = controlNamed(w, QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(c);
        QCOMPARE(QString::fromLatin1(c->metaObject()->className()), QStringLiteral("platform::") + kind);
        QCOMPARE(geometryInWindow(c), geometry);
        QCOMPARE(textOf(c), text);
        QVERIFY(c->isEnabled());
        QVERIFY(!c->isHidden());
        if (kind == QStringLiteral("StaticText")) {
            QCOMPARE(c->font().family() == QFont(QStringLiteral("Verdana")).family(), verdana);
            // The text fits its box: nothing clipped at the default size.
            const QFontMetrics metrics(c->font());
            QVERIFY2(metrics.horizontalAdvance(text) <= geometry.width(), qPrintable(text));
            QVERIFY2(metrics.height() <= geometry.height(), qPrintable(text));
        }
        if (kind == QStringLiteral("PushButton")) {
            const QFontMetrics metrics(c->font());
            QVERIFY(metrics.horizontalAdvance(text) + 8 <= geometry.width());
            QVERIFY(metrics.height() <= geometry.height());
            QVERIFY(!static_cast<QPushButton*>(c)->isDefault());
        }
        if (c != w.FormBox)
            QCOMPARE(c->parentWidget(), w.FormBox);
    }

    // Opening chooses the default country, which sets the city field up for it.
    void openingAppliesTheDefaultCountry()
    {
        Window1& w = form();
        QCOMPARE(w.CountryField->Text(), QStringLiteral("UNITED STATES"));
        QCOMPARE(w.CityField->Text(), QStringLiteral("determined from zip !"));
        QVERIFY(!w.CityField->isEnabled());
        QCOMPARE(w.CellField->Mask(), QString(10, u'#'));
    }

    void creationOrderIsTheDesignOrder()
    {
        QStringList names;
        for (QObject* child : form().FormBox->children()) {
            if (child->isWidgetType())
                names.append(child->objectName());
        }
        QCOMPARE(names.size(), 29);
        QCOMPARE(names.first(), QStringLiteral("EmailField"));
        QCOMPARE(names.last(), QStringLiteral("MyspaceUrl"));
    }

    void alignmentAndMasks()
    {
        Window1& w = form();
        QVERIFY(w.CountryLabel->alignment() & Qt::AlignRight);
        QVERIFY(w.MyspaceUrl->alignment() & Qt::AlignRight);
        QVERIFY(w.EmailLabel->alignment() & Qt::AlignLeft);
        QCOMPARE(w.FirstNameField->Mask(), QString(25, u'&'));
        QCOMPARE(w.LastNameField->Mask(), QString(25, u'&'));
        for (EditField* f : {w.EmailField, w.CityField, w.CellField, w.AOLScreenNameField, w.MySpaceURLField})
            QCOMPARE(f->LimitText(), 0);
        QCOMPARE(w.EmailField->Mask(), QString());
        QCOMPARE(w.AOLScreenNameField->Mask(), QString());
        QCOMPARE(w.MySpaceURLField->Mask(), QString());
    }

    void lists_data()
    {
        QTest::addColumn<QString>("menu");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("text");
        QTest::newRow("first country") << "CountryField" << 224 << 0 << "UNITED STATES";
        QTest::newRow("second country") << "CountryField" << 224 << 1 << "CANADA";
        QTest::newRow("third country") << "CountryField" << 224 << 2 << "UNITED KINGDOM";
        QTest::newRow("alphabet starts") << "CountryField" << 224 << 3 << "AFGHANISTAN";
        QTest::newRow("apostrophe") << "CountryField" << 224 << 49 << "COTE D'IVOIRE";
        QTest::newRow("hyphen") << "CountryField" << 224 << 86 << "GUINEA-BISSAU";
        QTest::newRow("comma 1") << "CountryField" << 224 << 216 << "VIRGIN ISLANDS, BRITISH";
        QTest::newRow("comma 2") << "CountryField" << 224 << 217 << "VIRGIN ISLANDS, U.S.";
        QTest::newRow("last country") << "CountryField" << 224 << 223 << "ZIMBABWE";
        QTest::newRow("carrier prompt") << "CellCarrierPopUp" << 32 << 0 << "Select";
        QTest::newRow("carrier with ampersand") << "CellCarrierPopUp" << 32 << 5 << "Cingular Blue (AT&T)";
        QTest::newRow("last carrier") << "CellCarrierPopUp" << 32 << 31 << "Other";
        QTest::newRow("gender prompt") << "GenderPopUp" << 3 << 0 << "M/F";
        QTest::newRow("female") << "GenderPopUp" << 3 << 2 << "Female";
        QTest::newRow("year prompt") << "YearBornPopUp" << 76 << 0 << "Select";
        QTest::newRow("newest year") << "YearBornPopUp" << 76 << 1 << "1994";
        QTest::newRow("oldest year") << "YearBornPopUp" << 76 << 75 << "1920";
    }
    void lists()
    {
        QFETCH(QString, menu);
        QFETCH(int, count);
        QFETCH(int, row);
        QFETCH(QString, text);
        auto* popup = qobject_cast<PopupMenu*>(controlNamed(form(), menu));
        QVERIFY(popup);
        QCOMPARE(popup->ListCount(), count);
        QCOMPARE(popup->List(row), text);
        // Made for fingers only with --touch (tst_touch).
        QVERIFY(popup->view()->sizeHintForRow(row) < platform::kTouchRowHeight);
        QVERIFY(!QScroller::hasScroller(popup->view()->viewport()));
        QVERIFY(!QGuiApplication::overrideCursor());
    }

    void countriesAreSortedAfterTheFirstThreeAndUnique()
    {
        const QStringList& countries = lists::countries();
        const QStringList rest = countries.mid(3);
        QStringList sorted = rest;
        sorted.sort();
        QCOMPARE(rest, sorted);
        QCOMPARE(QSet<QString>(countries.begin(), countries.end()).size(), 224);
    }

    // The starting selection is applied before the handlers are wired, so creating the form runs none.
    void creationRaisesNoChange()
    {
        Window1& w = ImplicitInstance<Window1>::create();
        QCOMPARE(w.CountryField->ListIndex(), 0);
        QCOMPARE(w.CityField->Text(), QString());
        QVERIFY(w.CityField->isEnabled());
        QCOMPARE(w.PostCodeField->Mask(), QStringLiteral("#####"));
        QCOMPARE(w.PostCodeField->LimitText(), 0);
        QCOMPARE(w.CellField->Mask(), QString());
        w.Close();
    }

    void secondReferenceFindsTheSameForm()
    {
        Window1& first = form();
        const int controls = first.content()->findChildren<QWidget*>().size();
        QCOMPARE(&form(), &first);
        QCOMPARE(first.content()->findChildren<QWidget*>().size(), controls);
        const QWidgetList windows = QApplication::topLevelWidgets();
        QCOMPARE(std::count_if(windows.begin(), windows.end(), [](QWidget* w) { return qobject_cast<Window1*>(w); }),
                 1);
    }

    void logo()
    {
        const QPixmap backdrop = form().QuillmoreLogo->Backdrop();
        QCOMPARE(backdrop.size(), QSize(218, 54));
        QCOMPARE(backdrop.cacheKey(), ::logo().cacheKey()); // one picture, loaded once
    }

    // A separator has no text: some styles draw a separator's text beside its line.
    void menus_data()
    {
        // clang-format off
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QKeySequence>("shortcut");
        QTest::newRow("FileMenu") << "" << "&File" << QKeySequence();
        QTest::newRow("FileQuit") << "FileMenu" << "&Quit" << QKeySequence(Qt::CTRL | Qt::Key_Q);
        QTest::newRow("EditMenu") << "" << "&Edit" << QKeySequence();
        QTest::newRow("EditUndo") << "EditMenu" << "&Undo" << QKeySequence(Qt::CTRL | Qt::Key_Z);
        QTest::newRow("UntitledMenu1") << "EditMenu" << "" << QKeySequence();
        QTest::newRow("EditCut") << "EditMenu" << "Cu&t" << QKeySequence(Qt::CTRL | Qt::Key_X);
        QTest::newRow("EditCopy") << "EditMenu" << "&Copy" << QKeySequence(Qt::CTRL | Qt::Key_C);
        QTest::newRow("EditPaste") << "EditMenu" << "&Paste" << QKeySequence(Qt::CTRL | Qt::Key_V);
        QTest::newRow("EditClear") << "EditMenu" << "&Delete" << QKeySequence();
        QTest::newRow("UntitledMenu0") << "EditMenu" << "" << QKeySequence();
        QTest::newRow("EditSelectAll") << "EditMenu" << "Select &All" << QKeySequence(Qt::CTRL | Qt::Key_A);
        QTest::newRow("EditPref") << "EditMenu" << "Preferences" << QKeySequence();
        // clang-format on
    }
    void menus()
    {
        QFETCH(QString, parent);
        QFETCH(QString, text);
        QFETCH(QKeySequence, shortcut);
        const QString name = QString::fromLatin1(QTest::currentDataTag());
        // The form's menu bar and the application's are built alike.
        for (MenuBar* bar : {form().menuBar(), m_app->menuBar()}) {
            MenuItem* item = bar->item(name);
            QVERIFY(item);
            QCOMPARE(item->Text(), text);
            QCOMPARE(item->KeyboardShortcut(), shortcut);
            QVERIFY(item->AutoEnable());
            QCOMPARE(item->isSeparator(), text.isEmpty());
            if (parent.isEmpty())
                QVERIFY(bar->topLevelItems().contains(item));
            else
                QVERIFY(bar->item(parent)->children().contains(item));
        }
    }

    void menuOrderAndRoles()
    {
        Window1& w = form();
        QStringList editItems;
        for (MenuItem* item : w.EditMenu()->children())
            editItems.append(item->Name());
        QCOMPARE(editItems,
                 (QStringList{"EditUndo", "UntitledMenu1", "EditCut", "EditCopy", "EditPaste", "EditClear",
                              "UntitledMenu0", "EditSelectAll", "EditPref"}));
        QCOMPARE(w.FileMenu()->children(), QList<MenuItem*>{w.FileQuit()});
        QCOMPARE(w.FileQuit()->menuRole(), QAction::QuitRole);
        QCOMPARE(w.EditPref()->menuRole(), QAction::PreferencesRole);
        QCOMPARE(w.EditCut()->menuRole(), QAction::NoRole);
    }

    void labelsNameTheirFields_data()
    {
        // clang-format off
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("field");
        QTest::newRow("Email") << "EmailLabel" << "EmailField";
        QTest::newRow("First Name") << "FirstNameLabel" << "FirstNameField";
        QTest::newRow("Last Name") << "LastNameLabel" << "LastNameField";
        QTest::newRow("Country") << "CountryLabel" << "CountryField";
        QTest::newRow("City") << "CityLabel" << "CityField";
        QTest::newRow("Zip") << "ZipLabel" << "PostCodeField";
        QTest::newRow("Cell") << "CellLabel" << "CellField";
        QTest::newRow("Cell Carrier") << "CarrierLabel" << "CellCarrierPopUp";
        QTest::newRow("AOL") << "AolScreenLabel" << "AOLScreenNameField";
        QTest::newRow("Gender") << "GenderLabel" << "GenderPopUp";
        QTest::newRow("Birth Year") << "BirthYearLabel" << "YearBornPopUp";
        QTest::newRow("MySpace") << "MySpaceLabel" << "MySpaceURLField";
        // clang-format on
    }
    void labelsNameTheirFields()
    {
        QFETCH(QString, label);
        QFETCH(QString, field);
        Window1& w = form();
        auto* l = qobject_cast<QLabel*>(controlNamed(w, label));
        QWidget* f = controlNamed(w, field);
        QCOMPARE(l->buddy(), f);
        if (qobject_cast<QLineEdit*>(f))
            QCOMPARE(f->accessibleName(), l->text());
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(f);
        QVERIFY(iface);
        const auto relations = iface->relations(QAccessible::Label);
        QVERIFY(std::any_of(relations.begin(), relations.end(), [&](const auto& r) { return r.first->object() == l; }));
    }

    void tabFollowsReadingOrder()
    {
        Window1& w = form();
        const QList<QWidget*> order{w.EmailField,         w.FirstNameField, w.LastNameField, w.CountryField,
                                    w.CityField,          w.PostCodeField,  w.CellField,     w.CellCarrierPopUp,
                                    w.AOLScreenNameField, w.GenderPopUp,    w.YearBornPopUp, w.MySpaceURLField,
                                    w.ClearButton,        w.SaveButton};
        for (qsizetype i = 1; i < order.size(); ++i) {
            QWidget* next = order[i - 1]->nextInFocusChain();
            while (next && !(next->focusPolicy() & Qt::TabFocus))
                next = next->nextInFocusChain();
            QCOMPARE(next, order[i]);
        }
    }
};

QTEST_MAIN(TestForm)
#include "tst_form.moc"
