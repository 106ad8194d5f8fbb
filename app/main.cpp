#include "app/App.h"
#include "app/CommandLine.h"
#include "core/DataFile.h"
#include "core/Export.h"
#include "form/Window1.h"
#include "platform/InputPanel.h"
#include "platform/TouchScreen.h"

#include <QApplication>
#include <QFileInfo>

#include <cstdio>

int main(int argc, char* argv[])
{
    // Answered before QApplication exists: help, the version and a wrong argument need no display.
    const ParsedCommandLine commandLine = parseCommandLine(commandLineArguments(argc, argv));
    if (commandLine.outcome != ParsedCommandLine::Outcome::Run) {
        std::FILE* stream = commandLine.exitStatus() == 0 ? stdout : stderr;
        std::fputs(commandLine.text.toLocal8Bit().constData(), stream);
        return commandLine.exitStatus();
    }

    // The export needs no display and opens no window.
    if (!commandLine.options.exportTo.isEmpty()) {
        const QString dataFile = dataFileToShow(commandLine.options.dataFile);
        const QFileInfo data(dataFile);
        const QFileInfo out(commandLine.options.exportTo);
        if (data.absoluteFilePath() == out.absoluteFilePath()
            || (data.exists() && data.canonicalFilePath() == out.canonicalFilePath())) {
            std::fputs("quillmore: --export would write over the sign-ups themselves; name another file.\n", stderr);
            return 2;
        }
        return exporting::exportSignUps({dataFile, commandLine.options.exportTo, commandLine.options.forSpreadsheet},
                                        stderr);
    }

    // Without a keyboard that can be made, the kiosk goes on for a real keyboard and tells the operator.
    QString keyboardMissing;
    if (commandLine.options.touch)
        keyboardMissing = platform::InputPanel::selectOnScreenKeyboard();
    QApplication application(argc, argv);
    if (commandLine.options.touch) {
        platform::adaptToTouchScreen();
        if (keyboardMissing.isEmpty())
            platform::InputPanel::followTouches();
    }
    // No display name: X11 would append it to every window title, and the titles are the designs'.
    QApplication::setApplicationName(QStringLiteral("Quillmore"));
    // The application id: Wayland compositors and desktops find the menu entry and its icon by it.
    QApplication::setDesktopFileName(QStringLiteral("com.quillmore.Quillmore"));

    App app;
    app.commandLine = commandLine.options;
    app.onScreenKeyboardMissing = keyboardMissing;
    return app.run([] { return &platform::ImplicitInstance<Window1>::create(); });
}
