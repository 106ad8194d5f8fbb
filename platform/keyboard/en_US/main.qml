import QtQuick
import QtQuick.Layouts
import QtQuick.VirtualKeyboard
import QtQuick.VirtualKeyboard.Components
import QtQuick.VirtualKeyboard.Plugins

// Letters. Every row weighs as much as ten letter keys and every key's weight is fixed, so the
// keys keep their proportions on any screen width. Each key is committed as it is pressed, never
// held back to complete a word: the fields judge every character as it is typed.
KeyboardLayout {
    inputMethod: PlainInputMethod {}
    inputMode: InputEngine.InputMode.Latin
    keyWeight: 160
    // An e-mail address needs the at sign more than a comma.
    readonly property bool email: InputContext.inputMethodHints & Qt.ImhEmailCharactersOnly

    KeyboardRow {
        Key { key: Qt.Key_Q; text: "q" }
        Key { key: Qt.Key_W; text: "w" }
        Key { key: Qt.Key_E; text: "e" }
        Key { key: Qt.Key_R; text: "r" }
        Key { key: Qt.Key_T; text: "t" }
        Key { key: Qt.Key_Y; text: "y" }
        Key { key: Qt.Key_U; text: "u" }
        Key { key: Qt.Key_I; text: "i" }
        Key { key: Qt.Key_O; text: "o" }
        Key { key: Qt.Key_P; text: "p" }
    }
    KeyboardRow {
        FillerKey { weight: 80 }
        Key { key: Qt.Key_A; text: "a" }
        Key { key: Qt.Key_S; text: "s" }
        Key { key: Qt.Key_D; text: "d" }
        Key { key: Qt.Key_F; text: "f" }
        Key { key: Qt.Key_G; text: "g" }
        Key { key: Qt.Key_H; text: "h" }
        Key { key: Qt.Key_J; text: "j" }
        Key { key: Qt.Key_K; text: "k" }
        Key { key: Qt.Key_L; text: "l" }
        FillerKey { weight: 80 }
    }
    KeyboardRow {
        ShiftKey { weight: 240 }
        Key { key: Qt.Key_Z; text: "z" }
        Key { key: Qt.Key_X; text: "x" }
        Key { key: Qt.Key_C; text: "c" }
        Key { key: Qt.Key_V; text: "v" }
        Key { key: Qt.Key_B; text: "b" }
        Key { key: Qt.Key_N; text: "n" }
        Key { key: Qt.Key_M; text: "m" }
        BackspaceKey { weight: 240 }
    }
    KeyboardRow {
        SymbolModeKey { weight: 240 }
        Key { key: email ? Qt.Key_At : Qt.Key_Comma; text: email ? "@" : "," }
        SpaceKey { weight: 640 }
        Key { key: Qt.Key_Period; text: "." }
        HideKeyboardKey {}
        EnterKey { weight: 240 }
    }
}
