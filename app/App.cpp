#include "app/App.h"

#include "app/MenuBar1.h"
#include "core/DataFile.h"
#include "core/Folders.h"
#include "core/SettingsFile.h"
#include "platform/ActivityWatcher.h"
#include "platform/ImplicitInstance.h"
#include "platform/Resources.h"
#include "settings/PasswordDialog.h"
#include "settings/PreferencesWindow.h"
#include "sync/Engine.h"

namespace {

// Each request meets a dialog of its own. A confirmation still waiting when a quit request arrives
// (the platform's own, which no modal window holds back) is cancelled first, as its Cancel would.
PasswordDialog& freshPasswordDialog()
{
    if (PasswordDialog* open = platform::ImplicitInstance<PasswordDialog>::existing())
        open->PushButton2_Action();
    return PasswordDialog::instance();
}

} // namespace

App::App()
    : m_activity(new platform::ActivityWatcher(this))
{
    setObjectName(QStringLiteral("App"));
    setMenuBar(new MenuBar1);
    addMenuHandler(QStringLiteral("EditPref"), [this] { return EditPref_Action(); });
    connect(m_activity, &platform::ActivityWatcher::Idle, this, &App::IdleReset);
    connect(m_activity, &platform::ActivityWatcher::IdleSoon, this, &App::IdleWarning);
    connect(m_activity, &platform::ActivityWatcher::Active, this, &App::IdleWarningOver);
}

App::~App() = default;

App& App::instance()
{
    auto* app = static_cast<App*>(platform::Application::current());
    Q_ASSERT(app);
    return *app;
}

// No file, or one that cannot be read, leaves the starting values.
void App::Event_Open()
{
    if (const std::optional<settings::Values> values = settings::read()) {
        Password = values->password;
        fullScreenmark = values->fullScreen;
        DefaultCountryIndex = values->countryIndex;
    }
    startIdleReset();
    startSync();
}

// The data file stays the kiosk's record; the sync reads it on threads of its own and keeps what the
// database confirmed beside the settings.
void App::startSync()
{
    if (commandLine.syncTo.isEmpty())
        return;
    const QString folder = platform::PreferencesFolderForWriting();
    const QString dataFile = dataFileForWriting(commandLine.dataFile);
    if (folder.isEmpty() || dataFile.isEmpty()) {
        qWarning("sync: no preferences folder or no data file, so nothing is sent");
        return;
    }
    dbsync::Settings settings;
    settings.dataFile = dataFile;
    settings.stateFile = folder + QStringLiteral("quillmore-sync.txt");
    settings.conninfo = commandLine.syncTo;
    settings.kioskName = commandLine.kioskName;
    settings.version = QStringLiteral(QUILLMORE_VERSION);
    m_sync = std::make_unique<dbsync::Engine>(settings, commandLine.syncHost, commandLine.syncAccount);
    m_sync->start();
}

bool App::Event_CancelClose()
{
    PasswordAction = password::kQuit;
    return !freshPasswordDialog().GetPassword();
}

bool App::EditPref_Action()
{
    PasswordAction = password::kGetPrefs;
    if (freshPasswordDialog().GetPassword())
        PreferencesWindow::instance().ShowModal();
    return false;
}

// Resources compiled into a static library are registered only when asked for.
static void registerResources()
{
    Q_INIT_RESOURCE(resources);
}

const QPixmap& logo()
{
    static const bool registered = (registerResources(), true);
    Q_UNUSED(registered);
    return platform::pictureResource(168);
}
