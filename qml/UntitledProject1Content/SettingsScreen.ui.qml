import QtQuick
import UntitledProject1

// The settings form: header, user card, menu and sign-out entry. The container feeds the user
// fields and handles the clicks; the form never reaches "API".
Rectangle {
    id: settingsRoot

    property bool loggedIn: false
    property string email: ""
    property string name: ""
    property bool isVip: false
    property int vipDays: 0

    signal logoutClicked()
    signal loginClicked()

    readonly property alias vipUpgradeArea: vipUpgradeMouseArea
    readonly property alias myOrdersArea: myOrdersMouseArea
    readonly property alias announcementArea: announcementMouseArea
    readonly property alias aboutUsArea: aboutUsMouseArea

    width: Constants.width
    height: Constants.height
    color: Constants.backgroundColor

    // One menu card; the click area is declared by each entry, so that it is the card's last
    // child and lies over the row and the arrow.
    component MenuEntry: Rectangle {
        id: entry

        property string icon
        property color iconColor: Constants.textSecondary
        property string title
        property color titleColor: Constants.textPrimary
        property string subtitle
        property color arrowColor: Constants.textSecondary

        width: parent.width
        height: 60
        radius: 12
        color: Constants.cardColor
        border.width: 0

        // Every icon takes the width of a colour emoji at the icon size, so that the titles line
        // up whichever font draws an icon's glyph.
        TextMetrics {
            id: iconBox
            font.pixelSize: 20
            text: "👑"
        }

        Row {
            anchors.left: parent.left
            anchors.leftMargin: 16
            anchors.verticalCenter: parent.verticalCenter
            spacing: 16

            Text {
                width: iconBox.advanceWidth
                horizontalAlignment: Text.AlignHCenter
                text: entry.icon
                color: entry.iconColor
                font.pixelSize: 20
            }

            Column {
                anchors.verticalCenter: parent.verticalCenter

                Text {
                    text: entry.title
                    color: entry.titleColor
                    font.family: Constants.font.family
                    font.pixelSize: 15
                    font.bold: true
                }

                Text {
                    text: entry.subtitle
                    color: Constants.textSecondary
                    font.family: Constants.font.family
                    font.pixelSize: 11
                }
            }
        }

        Text {
            anchors.right: parent.right
            anchors.rightMargin: 16
            anchors.verticalCenter: parent.verticalCenter
            text: ">"
            color: entry.arrowColor
            font.pixelSize: 18
        }
    }

    Column {
        id: contentColumn
        width: parent.width - 40
        anchors.top: parent.top
        anchors.topMargin: 20
        anchors.horizontalCenter: parent.horizontalCenter
        spacing: 16

        PageHeader {
            width: parent.width
            title: "设置"

            HeaderArrow {}
        }

        Rectangle {
            id: userCard
            width: parent.width
            height: 80
            radius: 16
            color: Constants.cardColor
            border.width: 1
            border.color: "transparent"

            Row {
                id: cardRow
                anchors.fill: parent
                anchors.margins: 16
                spacing: 16

                Rectangle {
                    id: avatar
                    width: 48
                    height: 48
                    radius: 24
                    color: !settingsRoot.loggedIn ? Qt.rgba(128 / 255, 128 / 255, 128 / 255, 0.1)
                         : settingsRoot.isVip ? Qt.rgba(1, 215 / 255, 0, 0.2)
                         : Qt.rgba(0, 1, 217 / 255, 0.1)

                    Text {
                        id: avatarLetter
                        anchors.centerIn: parent
                        text: !settingsRoot.loggedIn ? "?"
                            : settingsRoot.name.length > 0 ? settingsRoot.name.charAt(0).toUpperCase()
                            : "U"
                        color: settingsRoot.isVip ? Constants.colorVip : Constants.primaryFree
                        font.bold: true
                    }
                }

                // The user's name and address end in an ellipsis at the card's inner edge.
                Column {
                    id: userTexts
                    anchors.verticalCenter: parent.verticalCenter
                    spacing: 2

                    readonly property real room: cardRow.width - avatar.width - cardRow.spacing

                    Row {
                        id: nameRow
                        spacing: 4

                        Text {
                            id: nameLine
                            width: Math.min(implicitWidth, userTexts.room - (vipStar.visible ? vipStar.width + nameRow.spacing : 0))
                            elide: Text.ElideRight
                            text: !settingsRoot.loggedIn ? "未登录"
                                : settingsRoot.name.length > 0 ? settingsRoot.name
                                : settingsRoot.email
                            color: Constants.textPrimary
                            font.family: Constants.font.family
                            font.pixelSize: 16
                            font.bold: true
                        }

                        Text {
                            id: vipStar
                            text: "⭐"
                            color: Constants.colorVip
                            font.pixelSize: 14
                            visible: settingsRoot.loggedIn && settingsRoot.isVip
                        }
                    }

                    Text {
                        id: emailLine
                        width: Math.min(implicitWidth, userTexts.room)
                        elide: Text.ElideRight
                        text: settingsRoot.email
                        color: Constants.textSecondary
                        font.family: Constants.font.family
                        font.pixelSize: 11
                        visible: settingsRoot.loggedIn
                    }

                    Text {
                        id: membershipLine
                        text: !settingsRoot.loggedIn ? "点击登录"
                            : settingsRoot.isVip ? "VIP会员 · 剩余" + settingsRoot.vipDays + "天"
                            : "免费用户"
                        color: settingsRoot.isVip ? Constants.colorVip : Constants.textSecondary
                        font.family: Constants.font.family
                        font.pixelSize: 12
                    }
                }
            }

            Text {
                id: cardArrow
                anchors.right: parent.right
                anchors.rightMargin: 16
                anchors.verticalCenter: parent.verticalCenter
                text: ">"
                color: Constants.textSecondary
                font.pixelSize: 18
                visible: !settingsRoot.loggedIn
            }

            MouseArea {
                id: userCardMouseArea
                anchors.fill: parent
                enabled: !settingsRoot.loggedIn
                cursorShape: settingsRoot.loggedIn ? Qt.ArrowCursor : Qt.PointingHandCursor
                onClicked: {
                    console.log("📱 点击未登录，跳转到登录页面")
                    settingsRoot.loginClicked()
                }
            }
        }

        Column {
            id: listColumn
            width: parent.width
            spacing: 12

            MenuEntry {
                id: vipUpgradeEntry
                icon: "👑"
                iconColor: "black"
                title: settingsRoot.isVip ? "VIP会员 剩余" + settingsRoot.vipDays + "天" : "升级 VIP 会员"
                titleColor: Constants.primaryVip
                subtitle: settingsRoot.isVip ? "感谢您的支持" : "解锁所有高级功能"
                arrowColor: Constants.primaryVip
                border.width: 1
                border.color: Qt.rgba(1, 215 / 255, 0, 0.3)

                MouseArea {
                    id: vipUpgradeMouseArea
                    anchors.fill: parent
                    cursorShape: Qt.PointingHandCursor
                }
            }

            MenuEntry {
                icon: "🌐"
                title: "应用设置"
                subtitle: "语言、开机自启"

                MouseArea {
                    anchors.fill: parent
                    cursorShape: Qt.PointingHandCursor
                }
            }

            MenuEntry {
                icon: "📦"
                title: "我的订单"
                subtitle: "查看购买记录"

                MouseArea {
                    id: myOrdersMouseArea
                    anchors.fill: parent
                    cursorShape: Qt.PointingHandCursor
                }
            }

            MenuEntry {
                icon: "📢"
                title: "公告系统"
                subtitle: "最新通知公告"

                MouseArea {
                    id: announcementMouseArea
                    anchors.fill: parent
                    cursorShape: Qt.PointingHandCursor
                }
            }

            MenuEntry {
                icon: "🛡️"
                title: "安全与隐私"
                subtitle: "隐私政策、服务条款"

                MouseArea {
                    anchors.fill: parent
                    cursorShape: Qt.PointingHandCursor
                }
            }

            MenuEntry {
                icon: "ℹ️"
                title: "关于我们"
                subtitle: "版本 v1.0.0"

                MouseArea {
                    id: aboutUsMouseArea
                    anchors.fill: parent
                    cursorShape: Qt.PointingHandCursor
                }
            }

            Rectangle {
                id: logoutEntry
                width: parent.width
                height: 50
                radius: 12
                color: Qt.rgba(1, 82 / 255, 82 / 255, 0.1)
                border.width: 1
                border.color: Constants.colorError
                visible: settingsRoot.loggedIn

                Row {
                    anchors.centerIn: parent
                    spacing: 8

                    Text {
                        anchors.verticalCenter: parent.verticalCenter
                        text: "🚪"
                        font.pixelSize: 16
                    }

                    Text {
                        anchors.verticalCenter: parent.verticalCenter
                        text: "退出登录"
                        color: Constants.colorError
                        font.family: Constants.font.family
                        font.pixelSize: 15
                        font.bold: true
                    }
                }

                MouseArea {
                    id: logoutMouseArea
                    anchors.fill: parent
                    cursorShape: Qt.PointingHandCursor
                    onClicked: {
                        console.log("🔴 用户点击退出登录")
                        settingsRoot.logoutClicked()
                    }
                }
            }
        }
    }
}
