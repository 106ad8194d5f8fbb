#include "app/App.h"

#include "app/MenuBar1.h"
#include "platform/Controls.h"

App::App()
{
    setObjectName(QStringLiteral("App"));
    setMenuBar(new MenuBar1);
    addMenuHandler(QStringLiteral("EditPref"), [this] { return EditPref_Action(); });
}

App::~App() = default;

App& App::instance()
{
    auto* app = static_cast<App*>(platform::Application::current());
    Q_ASSERT(app);
    return *app;
}

void App::Event_Open()
{
}

bool App::Event_CancelClose()
{
    return false;
}

bool App::EditPref_Action()
{
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
