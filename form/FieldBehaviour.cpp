#include "form/Window1.h"

#include "app/App.h"
#include "form/Lists.h"
#include "platform/EditField.h"

namespace {

const QString kCityFromZip = QStringLiteral("determined from zip !");
const QString kUsZipMask = QStringLiteral("#####");
const QString kUsCellMask = QString(10, u'#');
const QString kOtherCellMask = QString(16, u'#');

} // namespace

void Window1::CountryField_Change()
{
    if (CountryField->Text() == kUnitedStates) {
        CityField->setEnabled(false);
        CityField->setText(kCityFromZip);
        PostCodeField->setMask(kUsZipMask);
        CellField->setMask(kUsCellMask);
        PostCodeField->setLimitText(5);
    } else {
        CityField->setEnabled(true);
        CityField->setText(QString());
        PostCodeField->setMask(QString());
        PostCodeField->setLimitText(8);
        CellField->setMask(kOtherCellMask);
    }
}

// The name mask refuses blanks, but first names such as "Mary Ann" need one.
void Window1::FirstNameField_ValidationError(const QString& text, int position)
{
    if (text.mid(position - 1, 1) != QStringLiteral(" "))
        return;
    FirstNameField->setText(text);
    // Typing goes on after the blank, wherever it was inserted.
    FirstNameField->setCursorPosition(position);
}

void Window1::ClearButton_Action()
{
    ResetWindowData();
}

void Window1::ResetWindowData()
{
    EmailField->setText(QString());
    FirstNameField->setText(QString());
    LastNameField->setText(QString());
    // Raises Change, which also sets the cell mask for the default country.
    CountryField->setListIndex(App::instance().DefaultCountryIndex);
    PostCodeField->setText(QString());
    CellField->setText(QString());
    CellCarrierPopUp->setListIndex(0);
    AOLScreenNameField->setText(QString());
    GenderPopUp->setListIndex(0);
    MySpaceURLField->setText(QString());
    YearBornPopUp->setListIndex(0);

    if (CountryField->Text() == kUnitedStates) {
        CityField->setEnabled(false);
        CityField->setText(kCityFromZip);
        PostCodeField->setMask(kUsZipMask);
        PostCodeField->setLimitText(5);
    } else {
        CityField->setEnabled(true);
        CityField->setText(QString());
        PostCodeField->setMask(QString());
        PostCodeField->setLimitText(8);
    }
}
