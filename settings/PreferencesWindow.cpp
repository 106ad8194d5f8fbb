#include "settings/PreferencesWindow.h"

#include "app/App.h"
#include "core/DataFile.h"
#include "core/Files.h"
#include "core/Lists.h"
#include "core/SettingsFile.h"
#include "core/Text.h"
#include "form/Window1.h"
#include "platform/Design.h"
#include "platform/EditField.h"
#include "platform/InputPanel.h"
#include "platform/MsgBox.h"
#include "settings/PasswordDialog.h"
#include "sync/StaffLine.h"

#include <QFileInfo>
#include <QFontMetrics>
#include <QLocale>

#include <algorithm>

// Every password the field takes must come back whole from the settings file.
static_assert(platform::EditField::kMaxLength <= settings::kLongestPassword);

namespace {

using platform::ControlDesign;
using Kind = ControlDesign::Kind;
using Align = ControlDesign::Align;

const platform::WindowDesign kWindow = [] {
    platform::WindowDesign w;
    w.title = "Preferences";
    w.width = 305;
    w.height = 171;
    w.frame = platform::WindowDesign::Frame::Document;
    w.visible = false;
    w.resizeable = false;
    w.closeButton = true;
    // A minimised modal window would leave the kiosk locked with nothing to click.
    w.minimizeButton = false;
    return w;
}();

// clang-format off
const ControlDesign kControls[] = {
    {.name = "DefaultCountry", .kind = Kind::StaticText, .left = 6, .top = 25, .width = 91, .height = 20, .text = "Default Country:", .textSize = 10, .align = Align::Right},
    {.name = "CountryPopUp", .kind = Kind::PopupMenu, .left = 99, .top = 25, .width = 160, .height = 20, .rows = lists::countries},
    {.name = "DefaultCountry1", .kind = Kind::StaticText, .left = 46, .top = 59, .width = 51, .height = 20, .text = "Password", .textSize = 10, .align = Align::Left},
    {.name = "Passwordfield", .kind = Kind::EditField, .left = 98, .top = 57, .width = 160, .height = 22, .password = true},
    {.name = "FullScreenCB", .kind = Kind::CheckBox, .left = 98, .top = 91, .width = 100, .height = 20, .text = "Full Screen"},
    {.name = "SaveBtn", .kind = Kind::PushButton, .left = 205, .top = 131, .width = 80, .height = 20, .text = "Save", .isDefault = true},
    {.name = "CancelBtn", .kind = Kind::PushButton, .left = 109, .top = 131, .width = 80, .height = 20, .text = "Cancel", .isCancel = true},
    // For the operator: how many sign-ups there are and where. In the free strip above the settings.
    {.name = "SignUpCount", .kind = Kind::StaticText, .left = 6, .top = 4, .width = 293, .height = 16},
    // Notes for the operator below the buttons, each whole on as many lines as it takes (PlaceNotes).
    // With --sync-to: what the database has of the sign-ups.
    {.name = "SyncStatus", .kind = Kind::StaticText, .left = 6, .top = 157, .width = 293, .height = 14},
    // On a touch screen: why there is no on-screen keyboard; hidden while there is one.
    {.name = "KeyboardNote", .kind = Kind::StaticText, .left = 6, .top = 157, .width = 293, .height = 14},
};
// clang-format on

const QString kNotSaved =
    QStringLiteral("The settings could not be saved to the settings file. They apply until the kiosk quits.");

// A sentence about the data file: `before`, its path, `after`.
struct AboutDataFile
{
    QString before;
    QString after;
};

AboutDataFile aboutDataFile(const QString& path)
{
    if (path.isEmpty())
        return {QStringLiteral("No desktop folder: sign-ups cannot be saved."), {}};
    const platform::LineCount count = platform::countCompleteLines(path);
    switch (count.outcome) {
    case platform::LineCount::Outcome::Counted: {
        // "1,234" whatever the desktop's language.
        QLocale numbers = QLocale::c();
        numbers.setNumberOptions({});
        return {QStringLiteral("%1 %2 in ")
                    .arg(numbers.toString(count.lines),
                         count.lines == 1 ? QStringLiteral("sign-up") : QStringLiteral("sign-ups")),
                {}};
    }
    case platform::LineCount::Outcome::NoFile:
        // The desktop folder is made at the first sign-up; the folder of a chosen file (a USB stick) is not.
        if (!App::instance().commandLine.dataFile.isEmpty() && !QFileInfo(QFileInfo(path).absolutePath()).isDir())
            return {QStringLiteral("Cannot save: no folder for "), {}};
        return {QStringLiteral("No sign-ups yet in "), {}};
    case platform::LineCount::Outcome::Unreadable:
        break;
    }
    return {QStringLiteral("Cannot count the sign-ups in "), QStringLiteral(": ") + count.error};
}

} // namespace

PreferencesWindow::PreferencesWindow()
    : platform::Window(kWindow)
{
    setObjectName(QStringLiteral("PreferencesWindow"));
    CreateControls();
}

PreferencesWindow::~PreferencesWindow() = default;

void PreferencesWindow::CreateControls()
{
    platform::buildControls(*this, kControls);
    DefaultCountry = &control<platform::StaticText>("DefaultCountry");
    CountryPopUp = &control<platform::PopupMenu>("CountryPopUp");
    DefaultCountry1 = &control<platform::StaticText>("DefaultCountry1");
    Passwordfield = &control<platform::EditField>("Passwordfield");
    FullScreenCB = &control<platform::CheckBox>("FullScreenCB");
    SaveBtn = &control<platform::PushButton>("SaveBtn");
    CancelBtn = &control<platform::PushButton>("CancelBtn");
    SignUpCount = &control<platform::StaticText>("SignUpCount");
    KeyboardNote = &control<platform::StaticText>("KeyboardNote");
    SyncStatus = &control<platform::StaticText>("SyncStatus");
    DefaultCountry->setBuddy(CountryPopUp);
    DefaultCountry1->setBuddy(Passwordfield);
    Passwordfield->setAccessibleName(DefaultCountry1->text());

    connect(SaveBtn, &platform::PushButton::Action, this, &PreferencesWindow::SaveBtn_Action);
    connect(CancelBtn, &platform::PushButton::Action, this, &PreferencesWindow::CancelBtn_Action);
}

void PreferencesWindow::Event_Open()
{
    const App& app = App::instance();
    Passwordfield->setText(app.Password);
    FullScreenCB->setValue(app.fullScreenmark);
    CountryPopUp->setListIndex(app.DefaultCountryIndex);
    ShowSignUpCount();
    ShowKeyboardNote();
    PlaceNotes();
}

// Checked at start.
void PreferencesWindow::ShowKeyboardNote()
{
    const App& app = App::instance();
    QString missing = app.onScreenKeyboardMissing;
    if (missing.isEmpty() && app.commandLine.touch && platform::InputPanel::failedToLoad())
        missing = QStringLiteral("its QML did not load (the log says why)");
    KeyboardNote->setVisible(app.commandLine.touch && !missing.isEmpty());
    KeyboardNote->setText(QStringLiteral("No on-screen keyboard: %1.").arg(missing));
}

// The notes shown, one under the other below the buttons, each whole on as many lines as it takes:
// the window grows to hold them, and no designed control moves.
void PreferencesWindow::PlaceNotes()
{
    int bottom = kWindow.height;
    int top = SyncStatus->Top();
    for (platform::StaticText* note : {SyncStatus, KeyboardNote}) {
        if (note->isHidden())
            continue;
        note->setWordWrap(true);
        note->setTop(top);
        note->setHeight(note->heightForWidth(note->width()));
        top += note->Height() + 2;
        bottom = std::max(bottom, note->Top() + note->Height() + 6);
    }
    content()->setFixedHeight(bottom);
}

// Counted afresh at each opening. A long path is shortened in its middle, where it says least; the
// tooltip shows it whole.
void PreferencesWindow::ShowSignUpCount()
{
    const QString path = dataFileToShow(App::instance().commandLine.dataFile);
    AboutDataFile about = aboutDataFile(path);
    // The sentence goes on with what the database has; its second half has the line below.
    const dbsync::Engine* sync = App::instance().sync();
    const QString synced = sync ? dbsync::staffLine(sync->status()) : QString();
    if (sync)
        about.after += u';';
    const QString whole = about.before + path + about.after + (sync ? u' ' + synced : QString());
    const QFontMetrics metrics(SignUpCount->font());
    const int room = SignUpCount->contentsRect().width() - metrics.horizontalAdvance(about.before + about.after);
    SignUpCount->setText(about.before + metrics.elidedText(path, Qt::ElideMiddle, std::max(room, 0)) + about.after);
    SignUpCount->setToolTip(whole);
    SignUpCount->setAccessibleName(whole);
    SyncStatus->setVisible(sync != nullptr);
    SyncStatus->setText(synced);
    SyncStatus->setToolTip(whole);
    SyncStatus->setAccessibleName(synced);
}

void PreferencesWindow::SaveBtn_Action()
{
    App& app = App::instance();
    if (platform::StrComp(Passwordfield->Text(), app.Password, 0) != 0) {
        // A new password is saved only once it has been typed a second time; the dialog saves it.
        app.PasswordAction = password::kConfirm;
        PasswordDialog::instance().Show();
        return;
    }
    SaveValues();
}

void PreferencesWindow::CancelBtn_Action()
{
    Close();
}

void PreferencesWindow::SaveValues()
{
    App& app = App::instance();
    app.Password = Passwordfield->Text();
    app.fullScreenmark = FullScreenCB->Value();
    app.DefaultCountryIndex = CountryPopUp->ListIndex();

    // The new settings hold for this run either way; the operator must know they will not survive it.
    const settings::Values values{app.Password, app.fullScreenmark, app.DefaultCountryIndex};
    if (!settings::write(values).isEmpty())
        platform::MsgBox(kNotSaved);

    Close();
    Window1::instance().ResetWindowPrefs();
}
