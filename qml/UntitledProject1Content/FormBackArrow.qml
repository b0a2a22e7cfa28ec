import QtQuick

// The sign-in and sign-up forms' back arrow, drawn only: the window's back button lies over it
// and takes its clicks.
Item {
    x: 20
    y: 20
    width: 40
    height: 40

    Text {
        anchors.centerIn: parent
        text: "←"
        color: "#FFFFFF"
        font.pixelSize: 24
    }

    MouseArea {
        anchors.fill: parent
        cursorShape: Qt.PointingHandCursor
    }
}
