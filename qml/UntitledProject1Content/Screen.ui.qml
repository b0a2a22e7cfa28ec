import QtQuick
import QtQuick.Controls
import QtQuick.Shapes
import UntitledProject1

// The home form: account header, standing, traffic, the connect control, routing tabs and the
// server and VIP cards. Its wrapper feeds it the account and traffic; the window feeds it the
// selected server. Clicks on the header, icons and cards leave through the area aliases.
Rectangle {
    id: root

    width: Constants.width
    height: Constants.height

    property int currentMode: 1
    property bool userLoggedIn: false
    property string userEmail: ""
    property string userName: ""
    property bool userIsVip: false
    property int vipDays: 0
    property int freeMinutes: 120
    property string selectedServerName: "选择服务器"
    property string selectedServerFlag: "🌐"
    property string selectedServerCountryCode: ""
    property string selectedServerLatency: ""
    property int selectedServerId: -1
    property string selectedServerVmessLink: ""
    property bool selectedServerRequiresVip: false
    property string uploadSpeed: "0 B/s"
    property string downloadSpeed: "0 B/s"
    property real uploadBytes: 0
    property real downloadBytes: 0

    readonly property alias loginArea: userMouseArea
    readonly property alias announcementArea: announcementMouseArea
    readonly property alias settingsArea: settingsMouseArea
    readonly property alias selectServerArea: selectServerMouseArea
    readonly property alias vipArea: vipMouseArea

    signal defaultServerNeeded(int serverId, string serverName, string serverFlag, string countryCode, string vmessLink, bool requiresVip)

    function formatTraffic(bytes) {
        if (bytes < 1024)
            return bytes.toFixed(0) + " B/s"
        if (bytes < 1024 * 1024)
            return (bytes / 1024).toFixed(1) + " KB/s"
        if (bytes < 1024 * 1024 * 1024)
            return (bytes / 1024 / 1024).toFixed(2) + " MB/s"
        return (bytes / 1024 / 1024 / 1024).toFixed(2) + " GB/s"
    }

    QtObject {
        id: internal

        function selectRoutingMode(mode) {
            console.log(mode === 0 ? "切换到智能模式" : "切换到全局模式")
            root.currentMode = mode
            if (typeof API !== "undefined")
                API.setRoutingMode(mode)
        }

        function requestConnection() {
            var id = connectBtn.selectedServerId
            var name = connectBtn.selectedServerName
            var link = connectBtn.vmessLink
            var requiresVip = connectBtn.serverRequiresVip

            console.log("========================================")
            console.log("🔵 [VPN连接] 处理连接请求")
            console.log("  服务器ID:", id)
            console.log("  服务器名称:", name)
            console.log("  VMess链接:", link.length > 0 ? link.substring(0, 20) + "..." : "空")
            console.log("  需要VIP:", requiresVip)
            console.log("  用户是VIP:", root.userIsVip)
            console.log("========================================")

            if (typeof API === "undefined") {
                console.log("❌ API未定义")
                return
            }
            if (!API.isLoggedIn) {
                console.log("❌ 未登录，无法连接")
                return
            }
            if (id <= 0) {
                console.log("❌ 未选择服务器, selectedServerId:", id)
                return
            }
            if (link.length === 0) {
                console.log("❌ VMess链接为空，无法连接")
                console.log("  请确保选择了有效的服务器")
                return
            }

            console.log("🔍 检查VPN连接权限...")
            var code = API.checkVpnPermission(id, requiresVip)
            if (code !== 0) {
                console.log("❌ 权限不足:", API.getVpnFailureReasonText(code), "错误码:", code)
                return
            }

            console.log("✅ 权限检查通过，开始连接VPN...")
            connectBtn.connecting = true
            if (!API.connectVpn(id, link, requiresVip)) {
                console.log("❌ API.connectVpn返回失败")
                connectBtn.connecting = false
            } else {
                console.log("✅ VPN连接请求已发送，等待连接结果...")
            }
        }
    }

    gradient: Gradient {
        GradientStop { position: 0.0; color: "#0A0E27" }
        GradientStop { position: 1.0; color: "#050715" }
    }

    Column {
        id: contentColumn
        width: root.width - 48
        anchors.centerIn: parent
        spacing: 24

        // Top bar: the account box on the left, the announcement and settings icons on the right.
        Item {
            id: topBar
            width: contentColumn.width
            height: 50

            Rectangle {
                id: userInfoBox
                objectName: "userInfoBox"
                width: 160
                height: 44
                radius: 22
                anchors.left: parent.left
                anchors.verticalCenter: parent.verticalCenter
                color: userMouseArea.containsMouse ? Qt.lighter(Constants.cardColor, 1.2) : Constants.cardColor

                Behavior on color {
                    ColorAnimation { duration: 200 }
                }

                MouseArea {
                    id: userMouseArea
                    anchors.fill: parent
                    hoverEnabled: true
                    cursorShape: root.userLoggedIn ? Qt.ArrowCursor : Qt.PointingHandCursor
                    enabled: !root.userLoggedIn
                }

                Row {
                    id: userRow
                    anchors.centerIn: parent
                    spacing: 10

                    Rectangle {
                        id: avatar
                        objectName: "avatar"
                        width: 28
                        height: 28
                        radius: 14
                        anchors.verticalCenter: parent.verticalCenter
                        color: !root.userLoggedIn ? Constants.textSecondary
                                                  : (root.userIsVip ? Constants.colorVip : Constants.primaryFree)
                        border.width: root.userIsVip ? 1.5 : 0
                        border.color: root.userIsVip ? Qt.rgba(1, 215 / 255, 0, 0.6) : "transparent"

                        Text {
                            objectName: "avatarLetter"
                            anchors.centerIn: parent
                            text: !root.userLoggedIn ? "?"
                                                     : (root.userName.length > 0 ? root.userName.charAt(0).toUpperCase() : "U")
                            font.bold: true
                            color: Constants.backgroundColor
                        }
                    }

                    Column {
                        anchors.verticalCenter: parent.verticalCenter

                        Row {
                            id: nameRow
                            spacing: 4

                            // A long name or address ends in an ellipsis, so that the row keeps
                            // the avatar's margin inside the box.
                            Text {
                                objectName: "nameLine"
                                width: Math.min(implicitWidth, userInfoBox.width - (userInfoBox.height - avatar.height)
                                                - avatar.width - userRow.spacing
                                                - (vipStar.visible ? vipStar.width + vipTag.width + 2 * nameRow.spacing : 0))
                                elide: Text.ElideRight
                                text: !root.userLoggedIn ? "未登录"
                                                         : (root.userName.length > 0 ? root.userName : root.userEmail)
                                font.pixelSize: 14
                                font.bold: true
                                font.family: Constants.font.family
                                color: Constants.textPrimary
                            }

                            Text {
                                id: vipStar
                                objectName: "vipStar"
                                text: "⭐"
                                font.pixelSize: 12
                                color: Constants.colorVip
                                visible: root.userLoggedIn && root.userIsVip
                            }

                            Text {
                                id: vipTag
                                objectName: "vipTag"
                                text: "VIP"
                                font.pixelSize: 12
                                font.bold: true
                                color: Constants.colorVip
                                visible: root.userLoggedIn && root.userIsVip
                            }
                        }

                        Text {
                            objectName: "subtitle"
                            text: !root.userLoggedIn ? "点击登录" : (root.userIsVip ? "VIP会员" : "免费用户")
                            font.pixelSize: 10
                            font.family: Constants.font.family
                            color: root.userIsVip ? Constants.colorVip : Constants.textSecondary
                        }
                    }
                }
            }

            Row {
                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter
                spacing: 24

                Item {
                    objectName: "announcementIcon"
                    width: 24
                    height: 24

                    Shape {
                        anchors.fill: parent

                        ShapePath {
                            strokeWidth: 2
                            strokeColor: Constants.textSecondary
                            fillColor: "transparent"
                            capStyle: ShapePath.RoundCap
                            joinStyle: ShapePath.RoundJoin
                            startX: 4
                            startY: 6

                            PathLine { x: 10; y: 6 }
                            PathLine { x: 16; y: 2 }
                            PathLine { x: 16; y: 22 }
                            PathLine { x: 10; y: 18 }
                            PathLine { x: 4; y: 18 }
                            PathLine { x: 4; y: 6 }
                            PathMove { x: 20; y: 8 }
                            PathQuad { x: 22; y: 12; controlX: 23; controlY: 12 }
                        }
                    }

                    MouseArea {
                        id: announcementMouseArea
                        anchors.fill: parent
                        cursorShape: Qt.PointingHandCursor
                    }
                }

                Item {
                    objectName: "settingsIcon"
                    width: 24
                    height: 24

                    Shape {
                        anchors.fill: parent

                        ShapePath {
                            strokeWidth: 2
                            strokeColor: Constants.textSecondary
                            fillColor: "transparent"
                            capStyle: ShapePath.RoundCap
                            joinStyle: ShapePath.RoundJoin
                            startX: 12
                            startY: 4

                            PathArc { x: 12; y: 20; radiusX: 8; radiusY: 8; useLargeArc: true }
                            PathArc { x: 12; y: 4; radiusX: 8; radiusY: 8; useLargeArc: true }
                            PathMove { x: 12; y: 9 }
                            PathArc { x: 12; y: 15; radiusX: 3; radiusY: 3; useLargeArc: true }
                            PathArc { x: 12; y: 9; radiusX: 3; radiusY: 3; useLargeArc: true }
                            PathMove { x: 12; y: 2 }
                            PathLine { x: 12; y: 4 }
                            PathMove { x: 12; y: 20 }
                            PathLine { x: 12; y: 22 }
                            PathMove { x: 2; y: 12 }
                            PathLine { x: 4; y: 12 }
                            PathMove { x: 20; y: 12 }
                            PathLine { x: 22; y: 12 }
                        }
                    }

                    MouseArea {
                        id: settingsMouseArea
                        anchors.fill: parent
                        cursorShape: Qt.PointingHandCursor
                    }
                }
            }
        }

        // Standing: VIP days for a VIP, the remaining trial minutes for everyone else.
        Item {
            id: statusBox
            objectName: "statusBox"
            width: contentColumn.width
            height: 40
            visible: root.userIsVip || root.freeMinutes > 0

            Rectangle {
                objectName: "statusBadge"
                anchors.centerIn: parent
                width: contentColumn.width * 0.75
                height: 40
                radius: 8
                color: root.userIsVip ? Qt.rgba(1, 215 / 255, 0, 0.1) : Qt.rgba(0, 1, 217 / 255, 0.1)
                border.width: root.userIsVip ? 1.5 : 0
                border.color: root.userIsVip ? Qt.rgba(1, 215 / 255, 0, 0.5) : "transparent"

                Text {
                    objectName: "statusText"
                    anchors.centerIn: parent
                    text: root.userIsVip ? "VIP " + root.vipDays + "天"
                                         : "免费体验时长剩余 " + root.freeMinutes + " 分钟"
                    color: root.userIsVip ? Constants.colorVip : Constants.primaryFree
                    font.pixelSize: 13
                    font.bold: true
                    font.family: Constants.font.family
                }
            }
        }

        Button {
            id: trialButton
            objectName: "trialButton"
            width: contentColumn.width * 0.75
            height: 44
            anchors.horizontalCenter: parent.horizontalCenter
            visible: !root.userIsVip && root.freeMinutes === 0 && root.userLoggedIn

            contentItem: Text {
                text: "🎁 激活 2 小时免费体验"
                font.bold: true
                font.pixelSize: 14
                font.family: Constants.font.family
                color: "#0A0E27"
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignVCenter
            }

            background: Rectangle {
                radius: 10
                gradient: Gradient {
                    orientation: Gradient.Vertical
                    GradientStop { position: 0.0; color: Constants.primaryFree }
                    GradientStop { position: 1.0; color: Qt.lighter(Constants.primaryFree, 1.2) }
                }
            }

            onClicked: {
                console.log("🎁 激活免费体验")
                API.activateFreeTrial()
            }
        }

        // Traffic: download rate, connection status, upload rate.
        Item {
            objectName: "trafficRow"
            width: contentColumn.width
            height: 80

            Row {
                objectName: "downloadGroup"
                anchors.left: parent.left
                anchors.verticalCenter: parent.verticalCenter
                spacing: 8

                Text {
                    anchors.verticalCenter: parent.verticalCenter
                    text: "↓"
                    font.bold: true
                    color: Constants.colorSuccess
                }

                Column {
                    anchors.verticalCenter: parent.verticalCenter

                    Text {
                        objectName: "downloadSpeedText"
                        text: root.downloadSpeed
                        font.pixelSize: 14
                        font.bold: true
                        color: Constants.textPrimary
                    }

                    Text {
                        text: "下载速度"
                        font.pixelSize: 10
                        color: Constants.textSecondary
                    }
                }
            }

            Column {
                anchors.centerIn: parent
                spacing: 4

                Text {
                    objectName: "statusLine"
                    anchors.horizontalCenter: parent.horizontalCenter
                    text: connectBtn.connected ? "已连接" : "未连接"
                    font.pixelSize: 24
                    font.bold: true
                    font.family: Constants.font.family
                    color: Constants.textPrimary
                }

                Text {
                    objectName: "connectHint"
                    anchors.horizontalCenter: parent.horizontalCenter
                    text: "点击连接"
                    font.pixelSize: 12
                    color: Constants.textSecondary
                    visible: !connectBtn.connected
                }
            }

            Row {
                objectName: "uploadGroup"
                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter
                spacing: 8
                layoutDirection: Qt.RightToLeft

                Text {
                    anchors.verticalCenter: parent.verticalCenter
                    text: "↑"
                    font.bold: true
                    color: Constants.accentGlow
                }

                Column {
                    anchors.verticalCenter: parent.verticalCenter

                    Text {
                        objectName: "uploadSpeedText"
                        text: root.uploadSpeed
                        font.pixelSize: 14
                        font.bold: true
                        color: Constants.textPrimary
                    }

                    Text {
                        objectName: "uploadCaption"
                        anchors.right: parent.right
                        text: "上传速度"
                        font.pixelSize: 10
                        color: Constants.textSecondary
                    }
                }
            }
        }

        Item {
            width: contentColumn.width
            height: 250

            ConnectButton {
                id: connectBtn
                objectName: "connectButton"
                anchors.centerIn: parent
                selectedServerId: root.selectedServerId
                selectedServerName: root.selectedServerName
                serverRequiresVip: root.selectedServerRequiresVip
                vmessLink: root.selectedServerVmessLink
                isVip: root.userIsVip

                onConnectionRequested: internal.requestConnection()
                onDisconnectionRequested: {
                    console.log("🔴 处理断开请求")
                    API.disconnectVpn()
                }
            }
        }

        // Routing for the next connection: smart on the left, global on the right.
        Rectangle {
            width: contentColumn.width
            height: 48
            color: Constants.cardColor
            radius: 24

            Row {
                anchors.fill: parent

                Repeater {
                    model: ListModel {
                        ListElement { mode: 0; label: "智能模式"; tabName: "smartTab" }
                        ListElement { mode: 1; label: "全局模式"; tabName: "globalTab" }
                    }

                    Rectangle {
                        id: tab

                        required property int mode
                        required property string label
                        required property string tabName

                        objectName: tabName
                        width: parent.width / 2
                        height: parent.height
                        radius: 24
                        color: "transparent"

                        readonly property bool selected: root.currentMode === mode

                        Rectangle {
                            objectName: "indicator"
                            anchors.fill: parent
                            anchors.margins: 4
                            radius: 20
                            color: Constants.primaryFree
                            opacity: tab.selected ? 0.15 : 0

                            Behavior on opacity {
                                NumberAnimation { duration: 200 }
                            }
                        }

                        Text {
                            objectName: "label"
                            anchors.centerIn: parent
                            text: tab.label
                            color: tab.selected ? Constants.primaryFree : Constants.textSecondary
                            font.bold: tab.selected
                            font.pixelSize: 14
                            font.family: Constants.font.family
                        }

                        MouseArea {
                            anchors.fill: parent
                            cursorShape: Qt.PointingHandCursor
                            onClicked: internal.selectRoutingMode(tab.mode)
                        }
                    }
                }
            }
        }

        Column {
            width: contentColumn.width
            spacing: 12

            Rectangle {
                objectName: "serverCard"
                width: contentColumn.width
                height: 64
                color: Constants.cardColor
                radius: 16

                Row {
                    id: serverRow
                    anchors.left: parent.left
                    anchors.leftMargin: 20
                    anchors.verticalCenter: parent.verticalCenter
                    spacing: 16

                    Rectangle {
                        id: flagBox
                        width: 36
                        height: 36
                        radius: 6
                        anchors.verticalCenter: parent.verticalCenter
                        color: Qt.rgba(1, 1, 1, 0.05)
                        border.width: 1
                        border.color: Qt.rgba(1, 1, 1, 0.1)

                        Image {
                            id: flagImage
                            objectName: "flagImage"
                            anchors.centerIn: parent
                            width: 28
                            height: 21
                            fillMode: Image.PreserveAspectFit
                            cache: true
                            source: root.selectedServerCountryCode.length > 0
                                    ? "resources/flags/" + root.selectedServerCountryCode.toLowerCase() + ".png" : ""

                            Rectangle {
                                objectName: "flagFallback"
                                anchors.fill: parent
                                color: "transparent"
                                visible: flagImage.status === Image.Error || root.selectedServerCountryCode.length === 0

                                Text {
                                    objectName: "flagFallbackText"
                                    anchors.centerIn: parent
                                    width: Math.min(implicitWidth, flagBox.width - 2 * flagBox.border.width)
                                    elide: Text.ElideRight
                                    text: root.selectedServerCountryCode.length > 0 ? root.selectedServerCountryCode : "🌐"
                                    font.pixelSize: root.selectedServerCountryCode.length > 0 ? 14 : 20
                                    font.bold: true
                                    font.family: Constants.font.family
                                    color: Constants.textPrimary
                                }
                            }
                        }
                    }

                    // The server's texts end in an ellipsis a row's spacing before the chevron.
                    Column {
                        id: serverTexts
                        anchors.verticalCenter: parent.verticalCenter
                        spacing: 2

                        readonly property real room: serverChevron.x - serverRow.spacing - serverRow.x - x

                        Text {
                            objectName: "serverNameLine"
                            width: Math.min(implicitWidth, serverTexts.room)
                            elide: Text.ElideRight
                            text: root.selectedServerName
                            color: Constants.textPrimary
                            font.bold: true
                            font.pixelSize: 15
                            font.family: Constants.font.family
                        }

                        Text {
                            objectName: "latencyLine"
                            width: Math.min(implicitWidth, serverTexts.room)
                            elide: Text.ElideRight
                            text: root.selectedServerLatency
                            color: Constants.colorSuccess
                            font.pixelSize: 11
                            font.family: Constants.font.family
                            visible: root.selectedServerLatency !== ""
                        }
                    }
                }

                Text {
                    id: serverChevron
                    anchors.right: parent.right
                    anchors.rightMargin: 20
                    anchors.verticalCenter: parent.verticalCenter
                    text: ">"
                    font.pixelSize: 18
                    color: Constants.textSecondary
                }

                MouseArea {
                    id: selectServerMouseArea
                    anchors.fill: parent
                    cursorShape: Qt.PointingHandCursor
                }
            }

            Rectangle {
                objectName: "vipCard"
                width: contentColumn.width
                height: 64
                color: Constants.cardColor
                radius: 16
                border.width: 1
                border.color: Qt.rgba(1, 215 / 255, 0, 0.3)

                Row {
                    anchors.left: parent.left
                    anchors.leftMargin: 20
                    anchors.verticalCenter: parent.verticalCenter
                    spacing: 16

                    Rectangle {
                        width: 36
                        height: 36
                        radius: 12
                        anchors.verticalCenter: parent.verticalCenter
                        color: Qt.rgba(1, 215 / 255, 0, 0.1)

                        Text {
                            anchors.centerIn: parent
                            text: "👑"
                        }
                    }

                    Column {
                        anchors.verticalCenter: parent.verticalCenter
                        spacing: 2

                        Text {
                            text: "升级 VIP 会员"
                            color: Constants.primaryVip
                            font.bold: true
                            font.pixelSize: 15
                            font.family: Constants.font.family
                        }

                        Text {
                            text: "解锁 4K 秒开 / 专线节点"
                            color: Constants.textSecondary
                            font.pixelSize: 11
                            font.family: Constants.font.family
                        }
                    }
                }

                Text {
                    anchors.right: parent.right
                    anchors.rightMargin: 20
                    anchors.verticalCenter: parent.verticalCenter
                    text: ">"
                    font.pixelSize: 18
                    color: Constants.primaryVip
                }

                MouseArea {
                    id: vipMouseArea
                    anchors.fill: parent
                    cursorShape: Qt.PointingHandCursor
                }
            }
        }
    }

    Connections {
        target: API

        function onTrialActivated(user) {
            console.log("✅ 免费体验激活成功")
            console.log("  体验剩余:", user.trialHoursRemaining, "小时")
        }

        function onTrialActivationError(message) {
            console.log("❌ 免费体验激活失败:", message)
        }

        function onUserInfoChanged() {
            console.log("🔄 用户信息已更新")
            console.log("  VIP状态:", API.isVip)
            console.log("  VIP天数:", API.vipDays)
            console.log("  免费分钟:", API.freeMinutes)
        }

        function onServersLoaded(servers) {
            console.log("✅ 服务器列表加载成功，数量:", servers.length)
            console.log("[DEBUG H1] onServersLoaded BEFORE - selectedServerId:", root.selectedServerId,
                        "selectedServerName:", root.selectedServerName)
            if (servers.length > 0 && root.selectedServerId === -1) {
                for (var i = 0; i < servers.length; ++i) {
                    var server = servers[i]
                    if (server.canConnect !== true)
                        continue
                    var link = server.vmessLink ? server.vmessLink : ""
                    console.log("📍 需要设置默认服务器:", server.name, "ID:", server.id, "vmessLink长度:", link.length)
                    root.defaultServerNeeded(server.id, server.name, server.flag ? server.flag : "🌐",
                                             server.countryCode ? server.countryCode : "", link,
                                             server.requiresVip === true)
                    break
                }
            } else if (root.selectedServerId !== -1) {
                console.log("📍 保持已选择的服务器:", root.selectedServerName, "ID:", root.selectedServerId)
            }
        }

        function onServersError(message) {
            console.log("❌ 服务器列表加载失败:", message)
        }
    }

    Component.onCompleted: {
        console.log("🔄 主界面加载，获取服务器列表")
        console.log("[DEBUG H5] Screen.onCompleted - selectedServerId:", root.selectedServerId,
                    "selectedServerName:", root.selectedServerName)
        API.getServers()
    }
}
