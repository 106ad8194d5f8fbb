#include "form/Window1.h"

#include "app/App.h"
#include "core/DataFile.h"
#include "core/Consent.h"
#include "core/EmailRule.h"
#include "core/EmailSuggestion.h"
#include "core/SignUpRecord.h"
#include "form/ThanksWindow.h"
#include "platform/Controls.h"
#include "platform/EditField.h"
#include "platform/MsgBox.h"

void Window1::SaveButton_Action()
{
    if (ValidateEmail(EmailField->Text()) != QStringLiteral("1")) {
        platform::MsgBox(QStringLiteral("You must enter a valid email address"));
        return;
    }
    if (!CellField->Text().isEmpty() && CellCarrierPopUp->ListIndex() == 0) {
        platform::MsgBox(QStringLiteral("Please Specify your Cell Phone Carrier"));
        return;
    }
    const CommandLine& options = App::instance().commandLine;
    if (ConsentBox && !ConsentBox->Value()) {
        platform::MsgBox(QStringLiteral("Please tick the box to agree to the notice."));
        return;
    }
    // A mistyped domain loses the visitor for good (the mail bounces): ask once, when everything else
    // passes. Closing the box without an answer signs nobody up and leaves the entry as it is.
    if (!ConfirmEmailDomain())
        return;

    record::Entry entry;
    entry.firstName = FirstNameField->Text();
    entry.lastName = LastNameField->Text();
    entry.email = EmailField->Text();
    entry.postCode = PostCodeField->Text();
    entry.city = CityField->Text();
    entry.country = CountryField->Text();
    entry.cell = CellField->Text();
    entry.carrier = CellCarrierPopUp->Text();
    entry.aolScreenName = AOLScreenNameField->Text();
    entry.mySpaceUserName = MySpaceURLField->Text();
    entry.yearBornRow = YearBornPopUp->ListIndex();
    entry.yearBorn = YearBornPopUp->Text();
    entry.genderRow = GenderPopUp->ListIndex();
    entry.gender = GenderPopUp->Text();
    const QString line = record::line(entry);

    // A visitor is thanked only for a line that is on disk, and under a notice only once the evidence of
    // what they were shown is on disk too. On any failure the form keeps the entry, so staff can help and
    // the next press tries again.
    const QString dataFile = dataFileForWriting(options.dataFile);
    const consent::Notice* notice = options.notice ? &*options.notice : nullptr;
    const QString error = dataFile.isEmpty()
        ? QStringLiteral("no desktop folder")
        : consent::appendSignUp(dataFile, line, notice, QDateTime::currentDateTimeUtc());
    if (!error.isEmpty()) {
        qWarning("Sign-up not saved: %s", qUtf8Printable(error));
        platform::MsgBox(QStringLiteral("Sorry, your sign-up could not be saved. Please ask a staff member for help."));
        return;
    }

    // The form is cleared as the thank-you window closes, however it closes: a dialog opened over it
    // (the lock, asked for by Ctrl+Q) keeps this handler waiting, and the entry must not stay on screen
    // behind that dialog meanwhile.
    ThanksWindow& thanks = ThanksWindow::instance();
    connect(&thanks, &platform::Window::closed, this, &Window1::ResetWindowData, Qt::UniqueConnection);
    thanks.Display();
}

bool Window1::ConfirmEmailDomain()
{
    const QString typed = EmailField->Text();
    const std::optional<QString> suggested = email::suggestion(typed);
    if (!suggested)
        return true;
    const std::optional<int> chosen =
        platform::MsgBox(QStringLiteral("Did you mean %1?").arg(*suggested), {*suggested, typed});
    if (!chosen)
        return false;
    if (*chosen == 0)
        EmailField->setText(*suggested);
    return true;
}

// The rule itself needs no window: core/EmailRule.cpp.
QString Window1::ValidateEmail(const QString& address)
{
    return email::verdict(address);
}
