import QtQuick
import UntitledProject1

// A page that shows one list the page asks "API" for: the background, the header with the
// page's title, and below it the scrolling column that leads with the loading and the error
// text; the page's own items follow them in the column.
Item {
    id: page

    required property string title
    property bool loading: false
    property string errorText: ""
    default property alias content: scroll.content

    Rectangle {
        anchors.fill: parent
        color: Constants.backgroundColor
    }

    PageHeader {
        id: header
        width: parent.width - 40
        anchors.top: parent.top
        anchors.topMargin: 20
        anchors.horizontalCenter: parent.horizontalCenter
        title: page.title
    }

    PageScroll {
        id: scroll
        anchors.top: header.bottom
        anchors.bottom: parent.bottom
        width: parent.width
        topRoom: 16
        spacing: 16

        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: "加载中..."
            color: Constants.textSecondary
            font.pixelSize: 14
            visible: page.loading
        }

        Text {
            width: parent.width
            text: page.errorText
            color: Constants.colorError
            font.pixelSize: 14
            wrapMode: Text.WordWrap
            visible: page.errorText !== ""
        }
    }
}
