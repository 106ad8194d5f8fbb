import QtQuick
import QtQuick.Layouts
import QtQuick.VirtualKeyboard
import QtQuick.VirtualKeyboard.Components
import QtQuick.VirtualKeyboard.Plugins

// Digits only, for a field whose mask takes nothing else: a keypad in the middle of the keyboard.
KeyboardLayout {
    inputMethod: PlainInputMethod {}
    inputMode: InputEngine.InputMode.Numeric

    KeyboardColumn {
        Layout.fillWidth: false
        Layout.fillHeight: true
        Layout.alignment: Qt.AlignHCenter
        Layout.preferredWidth: height
        KeyboardRow {
            Key { key: Qt.Key_1; text: "1" }
            Key { key: Qt.Key_2; text: "2" }
            Key { key: Qt.Key_3; text: "3" }
            BackspaceKey {}
        }
        KeyboardRow {
            Key { key: Qt.Key_4; text: "4" }
            Key { key: Qt.Key_5; text: "5" }
            Key { key: Qt.Key_6; text: "6" }
            HideKeyboardKey {}
        }
        KeyboardRow {
            Key { key: Qt.Key_7; text: "7" }
            Key { key: Qt.Key_8; text: "8" }
            Key { key: Qt.Key_9; text: "9" }
            EnterKey {}
        }
        KeyboardRow {
            FillerKey {}
            Key { key: Qt.Key_0; text: "0" }
            FillerKey {}
            FillerKey {}
        }
    }
}
