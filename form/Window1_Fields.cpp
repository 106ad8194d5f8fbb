#include "form/Window1.h"

#include "app/App.h"
#include "core/Lists.h"
#include "core/Text.h"
#include "platform/Controls.h"
#include "platform/EditField.h"

namespace {

const QString kCityFromZip = QStringLiteral("determined from zip !");
const QString kUsZipMask = QStringLiteral("#####");
const QString kUsCellMask = QString(10, u'#');
const QString kOtherCellMask = QString(16, u'#');

} // namespace

void Window1::CountryField_Change()
{
    setUpCityAndPostCodeForCountry();
    CellField->setMask(CountryField->Text() == lists::kUnitedStates ? kUsCellMask : kOtherCellMask);
}

// A visitor in the United States types no city (the zip code tells it) and a five-digit zip code;
// anyone else types a city and a postal code of up to eight characters of any kind.
void Window1::setUpCityAndPostCodeForCountry()
{
    const bool unitedStates = CountryField->Text() == lists::kUnitedStates;
    CityField->setEnabled(!unitedStates);
    CityField->setText(unitedStates ? kCityFromZip : QString());
    PostCodeField->setMask(unitedStates ? kUsZipMask : QString());
    PostCodeField->setLimitText(unitedStates ? 5 : 8);
}

// The name mask refuses blanks, but first names such as "Mary Ann" need one.
void Window1::FirstNameField_ValidationError(const QString& text, int position)
{
    if (platform::Mid(text, position, 1) != QStringLiteral(" "))
        return;
    FirstNameField->setText(text);
    // Typing goes on after the blank, wherever it was inserted.
    FirstNameField->setCursorPosition(int(platform::unitIndex(text, position)));
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
    // Every visitor agrees for themselves.
    if (ConsentBox)
        ConsentBox->setValue(false);
    // The cell mask is left to the country's Change above.
    setUpCityAndPostCodeForCountry();
}

bool Window1::WindowDataIsReset() const
{
    // An entry typed and erased is not gone while Undo (or Redo, after an Undo) would bring it back.
    const auto clear = [](const platform::EditField* field, const QString& text) {
        return field->Text() == text && !field->isUndoAvailable() && !field->isRedoAvailable();
    };
    const bool unitedStates = CountryField->Text() == lists::kUnitedStates;
    return clear(EmailField, {}) && clear(FirstNameField, {}) && clear(LastNameField, {})
        && CountryField->ListIndex() == App::instance().DefaultCountryIndex
        && clear(CityField, unitedStates ? kCityFromZip : QString()) && clear(PostCodeField, {}) && clear(CellField, {})
        && CellCarrierPopUp->ListIndex() == 0 && clear(AOLScreenNameField, {}) && GenderPopUp->ListIndex() == 0
        && clear(MySpaceURLField, {}) && YearBornPopUp->ListIndex() == 0 && !(ConsentBox && ConsentBox->Value());
}
