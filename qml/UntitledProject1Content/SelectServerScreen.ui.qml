import QtQuick
import UntitledProject1

// The server list in its two groups, free lines and VIP lines, with the current server marked; a
// click on a line the account may use hands that server to the window.
Rectangle {
    id: selectServerRoot
    width: Constants.width
    height: Constants.height
    color: Constants.backgroundColor

    property int selectedServerId: -1

    signal serverSelected(string name, string flag, string countryCode, string delay, int id, string vmessLink, bool requiresVip)

    // One line of either group: marked while it is the page's selection, and a click chooses it,
    // unless it is a VIP line the account may not use, which is locked.
    component ServerRow: Rectangle {
        id: row

        required property int serverId
        required property string name
        required property string flag
        required property string countryCode
        required property string vmessLink
        required property bool requiresVip
        required property bool canConnect
        property bool vipLine: false
        readonly property bool selected: selectServerRoot.selectedServerId === serverId
        readonly property bool locked: vipLine && !canConnect

        objectName: "serverRow" + serverId
        height: 64
        radius: 12
        color: Constants.cardColor
        border.width: selected ? 2 : (vipLine ? 1 : 0)
        border.color: selected ? Constants.primaryFree : Qt.rgba(1, 215 / 255, 0, 0.2)

        Row {
            id: lineRow
            anchors.left: parent.left
            anchors.leftMargin: 16
            anchors.verticalCenter: parent.verticalCenter
            spacing: 16

            Image {
                id: flagImage
                anchors.verticalCenter: parent.verticalCenter
                width: 32
                height: 24
                fillMode: Image.PreserveAspectFit
                cache: true
                source: row.countryCode === "" ? "" : "resources/flags/" + row.countryCode.toLowerCase() + ".png"

                Rectangle {
                    anchors.fill: parent
                    color: "transparent"
                    visible: flagImage.status === Image.Error || row.countryCode === ""

                    Text {
                        anchors.centerIn: parent
                        width: Math.min(implicitWidth, flagImage.width)
                        elide: Text.ElideRight
                        text: row.countryCode === "" ? "??" : row.countryCode
                        color: Constants.primaryFree
                        font.family: Constants.font.family
                        font.pixelSize: 14
                        font.bold: true
                    }
                }
            }

            // The line's name ends in an ellipsis the row's spacing before the mark's place.
            Column {
                id: lineTexts
                anchors.verticalCenter: parent.verticalCenter
                spacing: 2

                Text {
                    width: Math.min(implicitWidth, mark.x - lineRow.spacing - lineRow.x - lineTexts.x)
                    elide: Text.ElideRight
                    text: row.name
                    color: row.vipLine ? Constants.primaryVip : Constants.textPrimary
                    font.family: Constants.font.family
                    font.pixelSize: 15
                    font.bold: true
                }

                Text {
                    text: "延迟: 45ms"
                    color: Constants.colorSuccess
                    font.family: Constants.font.family
                    font.pixelSize: 11
                }
            }
        }

        // Right-aligned in a place of its own, which the name keeps clear of, mark or none.
        Text {
            id: mark
            anchors.right: parent.right
            anchors.rightMargin: 20
            anchors.verticalCenter: parent.verticalCenter
            width: 24
            horizontalAlignment: Text.AlignRight
            text: row.locked ? "🔒" : (row.selected ? "✓" : "")
            color: row.locked ? Constants.textSecondary : Constants.primaryFree
            font.pixelSize: row.locked ? 16 : 20
            font.bold: true
            opacity: row.locked ? 0.7 : 1.0
        }

        MouseArea {
            anchors.fill: parent
            cursorShape: Qt.PointingHandCursor
            onClicked: {
                if (row.locked) {
                    console.log("⚠️ 此服务器需要VIP权限")
                    return
                }
                // The link carries the server's credentials: only its length goes to the log.
                console.log(row.vipLine ? "📍 选择VIP服务器:" : "📍 选择免费服务器:", row.name, row.serverId)
                console.log(row.vipLine ? "[DEBUG H3] VIP server clicked - serverId:" : "[DEBUG H3] Free server clicked - serverId:",
                            row.serverId, "serverName:", row.name, "vmessLink长度:", row.vmessLink.length)
                selectServerRoot.selectedServerId = row.serverId
                selectServerRoot.serverSelected(row.name, row.flag, row.countryCode, "45ms", row.serverId, row.vmessLink, row.requiresVip)
            }
        }
    }

    component GroupTitle: Text {
        leftPadding: 4
        font.family: Constants.font.family
        font.pixelSize: 12
        font.bold: true
    }

    ListModel {
        id: freeServersModel
    }

    ListModel {
        id: vipServersModel
    }

    Connections {
        target: API

        function onServersLoaded(servers) {
            console.log("✅ 服务器列表加载成功，数量:", servers.length)
            console.log("[DEBUG H11] SelectServerScreen.onServersLoaded - selectedServerId:", selectServerRoot.selectedServerId)
            freeServersModel.clear()
            vipServersModel.clear()
            for (var i = 0; i < servers.length; ++i) {
                var server = servers[i]
                console.log("  服务器", i + 1, ":", server.name, server.tier, server.canConnect ? "可连接" : "需要VIP")
                var line = {
                    serverId: server.id,
                    name: server.name,
                    flag: server.flag || "🌐",
                    countryCode: server.countryCode || "",
                    location: server.location,
                    tier: server.tier,
                    requiresVip: server.requiresVip,
                    canConnect: server.canConnect,
                    vmessLink: server.vmessLink || "",
                    maxUsers: server.maxUsers || 0,
                    currentUsers: server.currentUsers || 0,
                    cpuUsage: server.cpuUsage || 0,
                    loadPercentage: server.loadPercentage || 0
                }
                // A line of tier "free" stays free even when it asks for VIP; any line that does
                // not ask for VIP is free.
                if (server.tier === "free" || !server.requiresVip)
                    freeServersModel.append(line)
                else
                    vipServersModel.append(line)
            }
            console.log("📍 服务器列表加载完成，当前选中ID:", selectServerRoot.selectedServerId)
        }

        function onServersError(message) {
            console.log("❌ 服务器列表加载失败:", message)
        }
    }

    Column {
        id: content
        anchors.top: parent.top
        anchors.topMargin: 20
        anchors.horizontalCenter: parent.horizontalCenter
        width: parent.width - 40
        spacing: 16

        PageHeader {
            width: parent.width
            title: "选择服务器"

            HeaderArrow {}
        }

        // Rows taller than the rest of the page scroll; a list that fits stays still.
        Flickable {
            id: serverList
            width: parent.width
            height: selectServerRoot.height - y - content.y
            contentWidth: width
            contentHeight: listColumn.height
            clip: true
            interactive: contentHeight > height
            flickableDirection: Flickable.VerticalFlick
            boundsBehavior: Flickable.StopAtBounds

            Column {
                id: listColumn
                width: parent.width
                spacing: 20

                Column {
                    width: parent.width
                    spacing: 8
                    visible: freeServersModel.count > 0

                    GroupTitle {
                        text: "免费线路 (Free)"
                        color: Constants.textSecondary
                    }

                    Repeater {
                        id: freeServersRepeater
                        model: freeServersModel

                        delegate: ServerRow {
                            width: listColumn.width
                        }
                    }
                }

                Column {
                    width: parent.width
                    spacing: 8
                    visible: vipServersModel.count > 0

                    GroupTitle {
                        text: "VIP 专线 (Premium)"
                        color: Constants.primaryVip
                    }

                    Repeater {
                        id: vipServersRepeater
                        model: vipServersModel

                        delegate: ServerRow {
                            width: listColumn.width
                            vipLine: true
                        }
                    }
                }

                Text {
                    anchors.horizontalCenter: parent.horizontalCenter
                    visible: freeServersModel.count === 0 && vipServersModel.count === 0
                    text: "正在加载服务器列表..."
                    color: Constants.textSecondary
                    font.family: Constants.font.family
                    font.pixelSize: 14
                }
            }
        }
    }

    Component.onCompleted: {
        console.log("🔄 选择服务器页面加载，获取服务器列表")
        console.log("[DEBUG H10] SelectServerScreen.onCompleted - selectedServerId:", selectedServerId)
        API.getServers()
    }
}
