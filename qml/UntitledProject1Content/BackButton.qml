import QtQuick

// Invisible back control laid over a page's top-left corner, where the pages draw their arrow.
Item {
    id: backButton

    signal back()

    anchors.fill: parent

    MouseArea {
        x: 20
        y: 20
        width: 50
        height: 50
        cursorShape: Qt.PointingHandCursor
        onClicked: backButton.back()
    }
}
