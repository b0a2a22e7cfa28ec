import QtQuick
import UntitledProject1

// The header band of a page: 50 high, with the page's title in its middle. A page that draws a
// back arrow puts a HeaderArrow in it.
Item {
    id: header

    required property string title
    property color titleColor: Constants.textPrimary

    height: 50

    Text {
        anchors.centerIn: parent
        text: header.title
        color: header.titleColor
        font.family: Constants.font.family
        font.pixelSize: 20
        font.bold: true
    }
}
