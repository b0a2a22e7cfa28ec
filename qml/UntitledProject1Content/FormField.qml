import QtQuick
import QtQuick.Controls
import UntitledProject1

// A text field of the sign-in and sign-up forms: a rounded frame that lights up while the field
// has the focus.
TextField {
    id: field
    height: 50
    placeholderTextColor: Constants.textHint
    color: Constants.textPrimary
    font.pixelSize: 14
    background: Rectangle {
        color: "transparent"
        radius: 12
        border.width: 1
        border.color: field.activeFocus ? Constants.primaryFree : Qt.rgba(0, 1, 217 / 255, 0.3)
    }
}
