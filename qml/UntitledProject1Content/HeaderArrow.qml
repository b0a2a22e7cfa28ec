import QtQuick

// The back arrow at a header's left edge, drawn only: it lies under the window's back control,
// which takes its clicks. The two list forms draw it bold and outlined. It keeps the application's
// font, which is the theme's.
Text {
    property bool outlined: false

    anchors.left: parent.left
    anchors.verticalCenter: parent.verticalCenter
    text: "←"
    color: "#FFFFFF"
    style: outlined ? Text.Outline : Text.Normal
    styleColor: "#000000"
    font.pixelSize: 24
    font.bold: outlined

    MouseArea {
        anchors.fill: parent
        cursorShape: Qt.PointingHandCursor
    }
}
