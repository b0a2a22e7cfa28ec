import QtQuick
import QtQuick.Controls

Window {
    width: 430
    height: 880
    visible: true
    title: "bare"

    Rectangle {
        anchors.fill: parent
        color: "#0A0E27"
    }
}
