import QtQuick
import QtQuick.Controls
import UntitledProject1

// The main button of the sign-in and sign-up forms; held down, it darkens.
Button {
    id: button
    height: 50
    contentItem: Text {
        text: button.text
        color: "#0A0E27"
        font.family: Constants.font.family
        font.pixelSize: 16
        font.bold: true
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }
    background: Rectangle {
        radius: 12
        color: button.down ? Qt.darker(Constants.primaryFree, 2.0) : Constants.primaryFree
    }
}
