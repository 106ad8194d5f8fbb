#pragma once

#include <QObject>
#include <QRect>
#include <QString>
#include <QStringList>

#include <optional>

namespace platform {

// The on-screen keyboard of a touch screen without a keyboard: Qt's virtual keyboard, in a window of
// its own along the bottom of the screen. Touching an edit field shows it; touching anything else in
// the program's windows hides it, as does its own hide key.
class InputPanel final : public QObject
{
    Q_OBJECT
public:
    // Makes Qt's virtual keyboard the input method, when it can be made: its plugin and the QML modules
    // it imports are installed. Otherwise the program goes on without one (a keyboard that cannot load
    // covers the screen with an empty window instead) and the reason is returned and logged. Runs
    // before QApplication exists, which loads the input method as it starts.
    [[nodiscard]] static QString selectOnScreenKeyboard();
    // What of the keyboard is not installed, as a sentence for the operator; empty when nothing is
    // missing. Looks where Qt looks: its own folders and those the environment adds.
    static QString missingKeyboardParts();
    // The same, in these folders only.
    static QString missingKeyboardParts(const QStringList& pluginFolders, const QStringList& qmlFolders);
    // The keyboard was selected but its QML did not load (it is then never shown).
    static bool failedToLoad();
    // From here on touches show and hide the keyboard (see above). Needs the application object.
    static void followTouches();

    // The one panel, created on first use; it lives as long as the application object.
    static InputPanel& instance();

    // What the keyboard covers, in screen coordinates; empty while it is hidden.
    QRect rectangle() const;

    // Seam for tests: pretend the keyboard covers this rectangle (an empty one: hidden), and say so;
    // nullopt: the real keyboard again.
    void overrideRectangle(std::optional<QRect> rectangle);

Q_SIGNALS:
    // The keyboard appeared, disappeared or changed its size.
    void rectangleChanged();

private:
    InputPanel();

    std::optional<QRect> m_override;
};

} // namespace platform
