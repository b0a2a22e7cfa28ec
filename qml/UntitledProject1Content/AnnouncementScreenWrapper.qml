import QtQuick
import UntitledProject1

// The announcement page: asks "API" for the list once and shows it as cards, or the loading or
// error text.
Item {
    id: wrapper

    property var announcementList: []
    property bool isLoading: false
    property string errorMessage: ""

    function isValidDate(value) {
        return value instanceof Date && !isNaN(value.getTime())
    }

    // The date-time itself, so that the text takes the engine's default form of it.
    function dateOf(entry) {
        if (isValidDate(entry.publishedAt))
            return entry.publishedAt
        if (isValidDate(entry.createdAt))
            return entry.createdAt
        return ""
    }

    Connections {
        target: typeof API !== "undefined" ? API : null
        ignoreUnknownSignals: true

        function onAnnouncementsLoaded(announcements) {
            console.log("公告加载成功，数量:", announcements.length)
            wrapper.isLoading = false
            wrapper.errorMessage = ""
            wrapper.announcementList = announcements
        }

        function onAnnouncementsError(message) {
            console.log("公告加载失败:", message)
            wrapper.isLoading = false
            wrapper.errorMessage = "加载失败: " + message
        }
    }

    Rectangle {
        id: announcementRoot
        anchors.fill: parent
        color: Constants.backgroundColor
    }

    Item {
        id: header
        width: parent.width - 40
        height: 50
        anchors.top: parent.top
        anchors.topMargin: 20
        anchors.horizontalCenter: parent.horizontalCenter

        Text {
            anchors.centerIn: parent
            text: "公告中心"
            color: Constants.textPrimary
            font.family: Constants.font.family
            font.pixelSize: 20
            font.bold: true
        }
    }

    // Below the header the page scrolls when the cards are taller than the window.
    Flickable {
        id: scrollView
        anchors.top: header.bottom
        anchors.bottom: parent.bottom
        width: parent.width
        // Scrolled to its end, the content keeps 20 px of room below it; content that fits
        // stays put however little room it leaves.
        contentHeight: contentColumn.y + contentColumn.height + 20
        interactive: contentColumn.y + contentColumn.height > height
        boundsBehavior: Flickable.StopAtBounds
        clip: true

        Column {
            id: contentColumn
            y: 16
            width: parent.width - 40
            anchors.horizontalCenter: parent.horizontalCenter
            spacing: 16

            Text {
                id: loadingText
                anchors.horizontalCenter: parent.horizontalCenter
                text: "加载中..."
                color: Constants.textSecondary
                font.pixelSize: 14
                visible: wrapper.isLoading
            }

            Text {
                id: errorText
                width: parent.width
                text: wrapper.errorMessage
                color: Constants.colorError
                font.pixelSize: 14
                wrapMode: Text.WordWrap
                visible: wrapper.errorMessage !== ""
            }

            Column {
                id: cardList
                width: parent.width
                spacing: 16
                visible: !wrapper.isLoading && wrapper.errorMessage === ""

                Repeater {
                    model: wrapper.announcementList

                    Rectangle {
                        width: cardList.width
                        height: contentCol.height + 32
                        radius: 16
                        color: Constants.cardColor
                        border.width: 1
                        border.color: Qt.rgba(0, 1, 217 / 255, 0.1)

                        Column {
                            id: contentCol
                            width: parent.width - 32
                            anchors.centerIn: parent
                            spacing: 8

                            Row {
                                width: parent.width
                                spacing: 12

                                Rectangle {
                                    anchors.verticalCenter: parent.verticalCenter
                                    width: 6
                                    height: 6
                                    radius: 3
                                    color: Constants.primaryFree
                                    visible: modelData.isNew ? true : false
                                }

                                Text {
                                    width: parent.width - 40
                                    text: modelData.title || "无标题"
                                    color: Constants.textPrimary
                                    font.family: Constants.font.family
                                    font.pixelSize: 16
                                    font.bold: true
                                    wrapMode: Text.WordWrap
                                }
                            }

                            // As wide as the card, so that the column keeps the line's place
                            // when there is no date to show.
                            Text {
                                width: parent.width
                                text: wrapper.dateOf(modelData)
                                color: Constants.textSecondary
                                font.family: Constants.font.family
                                font.pixelSize: 12
                            }

                            Rectangle {
                                width: parent.width
                                height: 1
                                color: Qt.rgba(1, 1, 1, 0.05)
                            }

                            Text {
                                width: parent.width
                                text: modelData.content || "无内容"
                                color: Constants.textSecondary
                                font.family: Constants.font.family
                                font.pixelSize: 14
                                wrapMode: Text.WordWrap
                            }
                        }
                    }
                }
            }
        }
    }

    Component.onCompleted: {
        if (typeof API === "undefined") {
            errorMessage = "API未初始化"
            return
        }
        console.log("开始加载公告列表")
        isLoading = true
        API.getAnnouncements()
    }
}
