import QtQuick
import UntitledProject1

// A second announcement list, with an icon for each announcement's type. It asks for nothing
// and shows whatever list "API" delivers while it exists.
Rectangle {
    id: announcementRoot
    width: Constants.width
    height: Constants.height
    color: Constants.backgroundColor

    QtObject {
        id: internal

        function typeIcon(type) {
            switch (type) {
            case "maintenance":
                return "🔧"
            case "update":
                return "🚀"
            case "activity":
                return "🎉"
            default:
                return "📢"
            }
        }

        function isValidDate(value) {
            return value instanceof Date && !isNaN(value.getTime())
        }

        // The date-time itself, so that the text takes the engine's default form of it.
        function dateOf(publishedAt, createdAt) {
            if (isValidDate(publishedAt))
                return publishedAt
            if (isValidDate(createdAt))
                return createdAt
            return ""
        }
    }

    ListModel {
        id: announcementsModel
    }

    Connections {
        target: API

        // Every key gets a value, so that each row has all roles; a missing text reads empty
        // and a missing time is an invalid date, as the bridge sends them.
        function onAnnouncementsLoaded(announcements) {
            console.log("✅ 公告列表加载成功，数量:", announcements.length)
            announcementsModel.clear()
            for (var i = 0; i < announcements.length; ++i) {
                var entry = announcements[i]
                announcementsModel.append({
                    id: entry.id !== undefined ? entry.id : 0,
                    title: entry.title !== undefined ? entry.title : "",
                    content: entry.content !== undefined ? entry.content : "",
                    type: entry.type !== undefined ? entry.type : "",
                    publishedAt: entry.publishedAt !== undefined ? entry.publishedAt : new Date(NaN),
                    createdAt: entry.createdAt !== undefined ? entry.createdAt : new Date(NaN)
                })
            }
        }

        function onAnnouncementsError(message) {
            console.log("❌ 公告列表加载失败:", message)
        }
    }

    Column {
        width: parent.width - 40
        anchors.top: parent.top
        anchors.topMargin: 20
        anchors.horizontalCenter: parent.horizontalCenter
        spacing: 16

        PageHeader {
            width: parent.width
            title: "公告中心"

            HeaderArrow { outlined: true }
        }

        Column {
            id: listColumn
            width: parent.width
            spacing: 16

            Repeater {
                id: announcementsRepeater
                model: announcementsModel

                Rectangle {
                    id: entry

                    required property string title
                    required property string content
                    required property string type
                    required property date publishedAt
                    required property date createdAt

                    width: listColumn.width
                    height: contentCol.height + 32
                    radius: 12
                    color: Constants.cardColor

                    Column {
                        id: contentCol
                        width: parent.width - 32
                        anchors.centerIn: parent
                        spacing: 8

                        Item {
                            id: topRow
                            width: parent.width
                            height: Math.max(typeIconText.height, titleText.height)

                            Text {
                                id: typeIconText
                                text: internal.typeIcon(entry.type)
                                font.pixelSize: 16
                            }

                            // A long title ends in an ellipsis at the pixel where the date
                            // begins; the date stands raised above the title's line, and titles
                            // of the service's length already reach that pixel.
                            Text {
                                id: titleText
                                x: typeIconText.width + 8
                                anchors.verticalCenter: parent.verticalCenter
                                width: Math.min(implicitWidth, Math.ceil(dateText.x) - x)
                                elide: Text.ElideRight
                                text: entry.title
                                color: Constants.textPrimary
                                font.family: Constants.font.family
                                font.pixelSize: 15
                                font.bold: true
                            }

                            Text {
                                id: dateText
                                anchors.right: parent.right
                                anchors.verticalCenter: parent.top
                                horizontalAlignment: Text.AlignRight
                                text: internal.dateOf(entry.publishedAt, entry.createdAt)
                                color: Constants.textSecondary
                                font.family: Constants.font.family
                                font.pixelSize: 12
                            }
                        }

                        Text {
                            width: parent.width
                            text: entry.content
                            color: Constants.textSecondary
                            font.family: Constants.font.family
                            font.pixelSize: 13
                            wrapMode: Text.WordWrap
                            maximumLineCount: 2
                            elide: Text.ElideRight
                            lineHeight: 1.4
                        }
                    }
                }
            }

            Text {
                anchors.horizontalCenter: parent.horizontalCenter
                text: "正在加载公告..."
                color: Constants.textSecondary
                font.family: Constants.font.family
                font.pixelSize: 14
                visible: announcementsModel.count === 0
            }
        }
    }
}
