import QtQuick
import QtQuick.Layouts
import QtQuick.VirtualKeyboard
import QtQuick.VirtualKeyboard.Components
import QtQuick.VirtualKeyboard.Plugins

// Digits and the signs of addresses and names, in the proportions of the letters' layout.
KeyboardLayout {
    inputMethod: PlainInputMethod {}
    inputMode: InputEngine.InputMode.Latin
    keyWeight: 160

    KeyboardRow {
        Key { key: Qt.Key_1; text: "1" }
        Key { key: Qt.Key_2; text: "2" }
        Key { key: Qt.Key_3; text: "3" }
        Key { key: Qt.Key_4; text: "4" }
        Key { key: Qt.Key_5; text: "5" }
        Key { key: Qt.Key_6; text: "6" }
        Key { key: Qt.Key_7; text: "7" }
        Key { key: Qt.Key_8; text: "8" }
        Key { key: Qt.Key_9; text: "9" }
        Key { key: Qt.Key_0; text: "0" }
    }
    KeyboardRow {
        Key { key: Qt.Key_At; text: "@" }
        Key { key: Qt.Key_NumberSign; text: "#" }
        Key { key: Qt.Key_Dollar; text: "$" }
        Key { key: Qt.Key_Underscore; text: "_" }
        Key { key: Qt.Key_Ampersand; text: "&" }
        Key { key: Qt.Key_Minus; text: "-" }
        Key { key: Qt.Key_Plus; text: "+" }
        Key { key: Qt.Key_ParenLeft; text: "(" }
        Key { key: Qt.Key_ParenRight; text: ")" }
        Key { key: Qt.Key_Slash; text: "/" }
    }
    KeyboardRow {
        Key { key: Qt.Key_Equal; text: "="; weight: 240 }
        Key { key: Qt.Key_Asterisk; text: "*" }
        Key { key: Qt.Key_QuoteDbl; text: "\"" }
        Key { key: Qt.Key_Apostrophe; text: "'" }
        Key { key: Qt.Key_Colon; text: ":" }
        Key { key: Qt.Key_Semicolon; text: ";" }
        Key { key: Qt.Key_Exclam; text: "!" }
        Key { key: Qt.Key_Question; text: "?" }
        BackspaceKey { weight: 240 }
    }
    KeyboardRow {
        SymbolModeKey { weight: 240; displayText: "ABC" }
        Key { key: Qt.Key_Comma; text: "," }
        SpaceKey { weight: 640 }
        Key { key: Qt.Key_Period; text: "." }
        HideKeyboardKey {}
        EnterKey { weight: 240 }
    }
}
