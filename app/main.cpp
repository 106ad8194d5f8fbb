#include "app/App.h"
#include "form/Window1.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    // No display name: X11 would append it to every window title, and the titles are the designs'.
    QApplication::setApplicationName(QStringLiteral("Quillmore"));
    QApplication::setDesktopFileName(QStringLiteral("quillmore"));

    App app;
    return app.run([] { return &platform::ImplicitInstance<Window1>::create(); });
}
