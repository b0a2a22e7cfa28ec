import QtQuick

// The connect control's glow, where the home page puts it, pulsing as it does while connected.
Window {
    width: 430
    height: 880
    visible: true
    title: "bare pulse"

    Rectangle {
        anchors.fill: parent
        color: "#0A0E27"
    }

    Rectangle {
        x: 215 - width / 2
        y: 443 - height / 2
        width: 260
        height: 260
        radius: width / 2
        color: "#00FFD9"
        opacity: 0.0

        SequentialAnimation on opacity {
            loops: Animation.Infinite
            NumberAnimation { to: 0.2; duration: 1500; easing.type: Easing.InOutSine }
            NumberAnimation { to: 0.0; duration: 1500; easing.type: Easing.InOutSine }
        }
    }
}
