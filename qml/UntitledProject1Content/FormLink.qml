import QtQuick
import UntitledProject1

// An underlined text of the sign-in and sign-up forms that leads to the other form.
Text {
    id: link
    signal clicked()
    color: Constants.primaryFree
    font.family: Constants.font.family
    font.pixelSize: 14
    font.bold: true
    font.underline: true

    MouseArea {
        anchors.fill: parent
        cursorShape: Qt.PointingHandCursor
        onClicked: link.clicked()
    }
}
