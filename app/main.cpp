#include "app/App.h"
#include "form/Window1.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillmore"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quillmore"));
    QApplication::setDesktopFileName(QStringLiteral("quillmore"));

    App app;
    return app.run([] { return &platform::ImplicitInstance<Window1>::create(); });
}
