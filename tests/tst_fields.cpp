// How the form's fields react to the country, to Clear and to a blank in a name.
#include "ModalHelper.h"
#include "TestEnvironment.h"
#include "Typing.h"

#include "app/App.h"
#include "core/Lists.h"
#include "form/Window1.h"
#include "platform/EditField.h"

#include <QTest>

namespace {

// Row of a country in the list.
int row(const char* country)
{
    return int(lists::countries().indexOf(QString::fromLatin1(country)));
}

// What a visitor would notice of the country-dependent fields: the city, and what typing a long run
// of digits and letters leaves in the postal-code and cell fields.
QStringList countryFields(Window1& form)
{
    form.PostCodeField->setText(QString());
    form.CellField->setText(QString());
    QTest::keyClicks(form.PostCodeField, QStringLiteral("12345678901A"));
    QTest::keyClicks(form.CellField, QStringLiteral("123456789012345678901"));
    return {form.CityField->isEnabled() ? QStringLiteral("enabled") : QStringLiteral("disabled"),
            form.CityField->Text(), form.PostCodeField->Text(), form.CellField->Text()};
}

const QStringList kUnitedStatesFields = {"disabled", "determined from zip !", "12345", "1234567890"};
const QStringList kElsewhereFields = {"enabled", "", "12345678", "1234567890123456"};

} // namespace

class TestFields final : public QObject
{
    Q_OBJECT

    TestEnvironment m_environment;
    App m_app;

private Q_SLOTS:
    void init() { App::instance().DefaultCountryIndex = 0; }
    void cleanup() { closeAllWindows(); }

    void countryChange_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<QStringList>("fields");
        QTest::newRow("to US") << row("CANADA") << row("UNITED STATES") << kUnitedStatesFields;
        QTest::newRow("US to Canada") << row("UNITED STATES") << row("CANADA") << kElsewhereFields;
        QTest::newRow("UK to Zimbabwe") << row("UNITED KINGDOM") << row("ZIMBABWE") << kElsewhereFields;
        QTest::newRow("Canada to itself") << row("CANADA") << row("CANADA") << kElsewhereFields;
        QTest::newRow("US virgin islands") << row("UNITED STATES") << row("VIRGIN ISLANDS, U.S.") << kElsewhereFields;
    }
    void countryChange()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(QStringList, fields);

        Window1& form = Window1::instance();
        form.CountryField->setListIndex(from);
        if (form.CityField->isEnabled())
            QTest::keyClicks(form.CityField, QStringLiteral("Paris"));
        form.CountryField->setListIndex(to);
        QCOMPARE(countryFields(form), fields);
    }

    // Clear and the reset after a sign-up leave the same form; the cell mask follows the default
    // country although the reset itself never sets it.
    void reset_data()
    {
        QTest::addColumn<int>("defaultCountry");
        QTest::addColumn<int>("chosenBefore");
        QTest::addColumn<QStringList>("fields");
        QTest::newRow("default US, UK chosen") << row("UNITED STATES") << row("UNITED KINGDOM") << kUnitedStatesFields;
        QTest::newRow("default US, US chosen") << row("UNITED STATES") << row("UNITED STATES") << kUnitedStatesFields;
        QTest::newRow("default Canada, US chosen") << row("CANADA") << row("UNITED STATES") << kElsewhereFields;
        QTest::newRow("default Zimbabwe, UK chosen") << row("ZIMBABWE") << row("UNITED KINGDOM") << kElsewhereFields;
    }
    void reset()
    {
        QFETCH(int, defaultCountry);
        QFETCH(int, chosenBefore);
        QFETCH(QStringList, fields);

        App::instance().DefaultCountryIndex = defaultCountry;
        Window1& form = Window1::instance();
        form.CountryField->setListIndex(chosenBefore);
        for (platform::EditField* field :
             {form.EmailField, form.FirstNameField, form.LastNameField, form.CityField, form.PostCodeField,
              form.CellField, form.AOLScreenNameField, form.MySpaceURLField})
            field->setText(QStringLiteral("x1"));
        form.CellCarrierPopUp->setListIndex(31);
        form.GenderPopUp->setListIndex(2);
        form.YearBornPopUp->setListIndex(75);

        QTest::mouseClick(form.ClearButton, Qt::LeftButton);

        for (platform::EditField* field : {form.EmailField, form.FirstNameField, form.LastNameField, form.PostCodeField,
                                           form.CellField, form.AOLScreenNameField, form.MySpaceURLField})
            QVERIFY2(field->Text().isEmpty(), qPrintable(field->objectName()));
        QCOMPARE(form.CountryField->ListIndex(), defaultCountry);
        QCOMPARE(form.CellCarrierPopUp->Text(), QStringLiteral("Select"));
        QCOMPARE(form.GenderPopUp->Text(), QStringLiteral("M/F"));
        QCOMPARE(form.YearBornPopUp->Text(), QStringLiteral("Select"));
        QCOMPARE(countryFields(form), fields);
    }

    void blankInName_data()
    {
        // clang-format off
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("cursorAt"); // -1: at the end
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("result");
        QTest::newRow("first name") << "FirstNameField" << -1 << "Mary Ann" << "Mary Ann";
        QTest::newRow("first name, leading") << "FirstNameField" << -1 << " Jo" << " Jo";
        QTest::newRow("first name, inside") << "FirstNameField" << 2 << " x" << "Jo xAnn";
        QTest::newRow("last name refuses") << "LastNameField" << -1 << "Van Dyke" << "VanDyke";
        // Names in every script: one place per character as typed.
        QTest::newRow("first name, emoji") << "FirstNameField" << -1 << "Zoë 😀x" << "Zoë 😀x";
        QTest::newRow("first name, blank after an emoji") << "FirstNameField" << -1 << "😀 Zoë" << "😀 Zoë";
        QTest::newRow("first name, non-joiner") << "FirstNameField" << -1 << "علی\u200cرضا" << "علی\u200cرضا";
        QTest::newRow("last name, rare ideograph") << "LastNameField" << -1 << "𠮷野 Ann" << "𠮷野Ann";
        // clang-format on
    }
    void blankInName()
    {
        QFETCH(QString, field);
        QFETCH(int, cursorAt);
        QFETCH(QString, typed);
        QFETCH(QString, result);

        auto& edit = Window1::instance().control<platform::EditField>(field.toLatin1().constData());
        // Typed on a keyboard, then on the on-screen keyboard of a touch screen.
        for (const bool onScreen : {false, true}) {
            edit.setText(QString());
            if (cursorAt >= 0) {
                QTest::keyClicks(&edit, QStringLiteral("JoAnn"));
                edit.setCursorPosition(cursorAt);
            }
            onScreen ? commitCharacters(&edit, typed) : typeCharacters(&edit, typed);
            QVERIFY2(edit.Text() == result,
                     qPrintable(QStringLiteral("%1: %2").arg(onScreen ? "on-screen keyboard" : "keys", edit.Text())));
        }
    }
};

QTEST_MAIN(TestFields)
#include "tst_fields.moc"
