import QtQuick
import UntitledProject1

// The announcement page: asks "API" for the list once and shows it as cards, or the loading or
// error text.
Item {
    id: wrapper

    property var announcementList: []
    property bool isLoading: false
    property string errorMessage: ""

    QtObject {
        id: internal

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

    ListPage {
        anchors.fill: parent
        title: "公告中心"
        loading: wrapper.isLoading
        errorText: wrapper.errorMessage

        Column {
            id: cardList
            width: parent.width
            spacing: 16
            visible: !wrapper.isLoading && wrapper.errorMessage === ""

            Repeater {
                model: wrapper.announcementList

                Rectangle {
                    id: card

                    required property var modelData

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
                                visible: card.modelData.isNew ? true : false
                            }

                            Text {
                                width: parent.width - 40
                                text: card.modelData.title || "无标题"
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
                            text: internal.dateOf(card.modelData)
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
                            text: card.modelData.content || "无内容"
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
