import QtQuick
import QtQuick.Controls
import QtQuick.Shapes
import UntitledProject1

// The home page's round connect control. It never calls "API": the home form asks for the
// connection; the control follows the bridge's connection signals.
Item {
    id: root

    width: 220
    height: 220

    property bool connected: false
    property bool connecting: false
    property bool isVip: false
    property string durationText: "00:00:00"
    property int selectedServerId: -1
    property string selectedServerName: "选择服务器"
    property string vmessLink: ""
    property bool serverRequiresVip: false

    signal connectionRequested()
    signal disconnectionRequested()

    QtObject {
        id: internal

        function formatDuration(seconds) {
            var hours = Math.floor(seconds / 3600)
            var minutes = Math.floor((seconds % 3600) / 60)
            var secs = seconds % 60
            function twoDigits(n) { return n < 10 ? "0" + n : "" + n }
            return twoDigits(hours) + ":" + twoDigits(minutes) + ":" + twoDigits(secs)
        }
    }

    onConnectingChanged: console.log("🔧 [ConnectButton] connecting状态变化:", connecting)
    onConnectedChanged: console.log("🔧 [ConnectButton] connected状态变化:", connected)
    onSelectedServerIdChanged: console.log("🔧 [ConnectButton] selectedServerId变化:", selectedServerId)
    onVmessLinkChanged: console.log("🔧 [ConnectButton] vmessLink变化, 长度:", vmessLink ? vmessLink.length : 0)

    Behavior on scale {
        NumberAnimation { duration: 150; easing.type: Easing.OutQuad }
    }

    Rectangle {
        id: glow
        objectName: "glow"
        anchors.centerIn: parent
        width: root.width + 40
        height: root.height + 40
        radius: width / 2
        color: root.isVip ? Constants.accentGlow : Constants.primaryFree
        visible: root.connected
        opacity: 0.0

        SequentialAnimation {
            id: pulse
            running: root.connected
            loops: Animation.Infinite
            NumberAnimation {
                target: glow; property: "opacity"; to: 0.2; duration: 1500; easing.type: Easing.InOutSine
            }
            NumberAnimation {
                target: glow; property: "opacity"; to: 0.0; duration: 1500; easing.type: Easing.InOutSine
            }
        }
    }

    // The ring's dark middle, in colours close to the page's; the ring drawn over it covers its
    // edge.
    Rectangle {
        id: ringMask
        anchors.centerIn: parent
        width: parent.width - 24
        height: parent.height - 24
        radius: width / 2
        color: "#0A0E27"
        gradient: Gradient {
            orientation: Gradient.Vertical
            GradientStop { position: 0.0; color: "#0A0E27" }
            GradientStop { position: 1.0; color: "#080A1F" }
        }
    }

    // The 12-pixel gradient ring as one filled annulus. The software renderer paints a shape
    // with QPainter, anti-aliased, where it would draw a rounded rectangle with a gradient with
    // stepped edges; the other renderers lay a shape out as bare triangles, so there it is drawn
    // into a multisampled layer.
    Shape {
        id: outerRingBase
        objectName: "outerRingBase"
        anchors.fill: parent
        layer.enabled: GraphicsInfo.api !== GraphicsInfo.Software
        layer.samples: 4
        layer.smooth: true

        ShapePath {
            objectName: "outerRingPath"
            strokeColor: "transparent"
            fillRule: ShapePath.OddEvenFill
            fillGradient: LinearGradient {
                x1: 0
                y1: 0
                x2: 0
                y2: outerRingBase.height
                GradientStop { position: 0.0; color: root.isVip ? Constants.accentGlow : Constants.colorSuccess }
                GradientStop { position: 1.0; color: root.isVip ? Constants.primaryVip : Constants.primaryFree }
            }

            PathAngleArc {
                centerX: outerRingBase.width / 2
                centerY: outerRingBase.height / 2
                radiusX: outerRingBase.width / 2
                radiusY: outerRingBase.height / 2
                sweepAngle: 360
            }
            PathAngleArc {
                centerX: outerRingBase.width / 2
                centerY: outerRingBase.height / 2
                radiusX: ringMask.width / 2
                radiusY: ringMask.height / 2
                sweepAngle: 360
            }
        }
    }

    Item {
        id: innerGroup
        anchors.centerIn: parent
        width: 80
        height: 80

        Rectangle {
            id: innerCircle
            objectName: "innerCircle"
            anchors.fill: parent
            radius: width / 2
            color: "transparent"
            border.width: 3
            border.color: root.isVip ? Constants.primaryVip : Constants.primaryFree
            opacity: 0.8
        }

        // A shape, like the ring: multisampled where the renderer is not the software one.
        Shape {
            id: powerIcon
            anchors.centerIn: parent
            width: 32
            height: 32
            layer.enabled: GraphicsInfo.api !== GraphicsInfo.Software
            layer.samples: 4
            layer.smooth: true

            ShapePath {
                objectName: "powerIconPath"
                strokeWidth: 3
                strokeColor: root.isVip ? Constants.primaryVip : Constants.primaryFree
                fillColor: "transparent"
                capStyle: ShapePath.RoundCap

                PathAngleArc {
                    centerX: 16
                    centerY: 16
                    radiusX: 14
                    radiusY: 14
                    startAngle: -60
                    sweepAngle: 300
                }
                PathMove { x: 16; y: 2 }
                PathLine { x: 16; y: 14 }
            }
        }
    }

    Column {
        id: durationColumn
        anchors.centerIn: parent
        anchors.verticalCenterOffset: 60
        spacing: 4

        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: "连接时长"
            color: Constants.textSecondary
            font.pixelSize: 11
            font.family: Constants.font.family
            opacity: 0.7
        }

        Text {
            id: durationLabel
            objectName: "durationLabel"
            anchors.horizontalCenter: parent.horizontalCenter
            text: root.durationText
            color: Constants.textPrimary
            font.pixelSize: 18
            font.bold: true
            font.family: Constants.font.family
            style: Text.Outline
            styleColor: "#000000"
        }
    }

    MouseArea {
        id: buttonMouseArea
        objectName: "buttonMouseArea"
        anchors.fill: parent
        hoverEnabled: true
        cursorShape: Qt.PointingHandCursor
        enabled: !root.connecting

        onClicked: {
            var linkLength = root.vmessLink ? root.vmessLink.length : 0
            console.log("========================================")
            console.log("🖱️ [ConnectButton] 按钮被点击")
            console.log("  当前状态 - connected:", root.connected, "connecting:", root.connecting)
            console.log("  MouseArea enabled:", buttonMouseArea.enabled)
            console.log("  服务器ID:", root.selectedServerId)
            console.log("  服务器名称:", root.selectedServerName)
            console.log("  VMess链接长度:", linkLength)
            console.log("========================================")
            if (root.connected) {
                console.log("🔴 用户点击断开VPN")
                root.disconnectionRequested()
            } else {
                console.log("🔵 用户点击连接VPN，发送connectionRequested信号")
                root.connectionRequested()
            }
        }
        onPressed: {
            console.log("🖱️ [ConnectButton] 按钮按下")
            root.scale = 0.96
        }
        onReleased: {
            console.log("🖱️ [ConnectButton] 按钮释放")
            root.scale = 1.0
        }
        onEntered: {
            console.log("🖱️ [ConnectButton] 鼠标进入按钮区域")
            root.scale = 1.02
        }
        onExited: {
            console.log("🖱️ [ConnectButton] 鼠标离开按钮区域")
            root.scale = 1.0
        }
        onEnabledChanged: console.log("🔧 [ConnectButton] MouseArea enabled状态变化:", enabled, "connecting:", root.connecting)
        Component.onCompleted: console.log("🔧 [ConnectButton] MouseArea初始化完成, enabled:", enabled)
    }

    BusyIndicator {
        objectName: "busyIndicator"
        anchors.centerIn: parent
        width: 40
        height: 40
        running: root.connecting
        visible: root.connecting
    }

    Connections {
        target: typeof API !== "undefined" ? API : null
        ignoreUnknownSignals: true

        function onVpnConnected() {
            console.log("✅ [ConnectButton] VPN连接成功")
            root.connected = true
            root.connecting = false
        }

        function onVpnConnectionFailed(reasonCode, message) {
            console.log("❌ [ConnectButton] VPN连接失败:", message)
            root.connected = false
            root.connecting = false
        }

        function onVpnDisconnected() {
            console.log("🔴 [ConnectButton] VPN已断开")
            root.connected = false
            root.connecting = false
            root.durationText = "00:00:00"
        }

        function onVpnForceDisconnected(message) {
            console.log("⚠️ [ConnectButton] VPN被强制断开:", message)
            root.connected = false
            root.connecting = false
            root.durationText = "00:00:00"
        }

        function onVpnDurationChanged(seconds) {
            root.durationText = internal.formatDuration(seconds)
        }
    }

    Component.onCompleted: {
        console.log("========================================")
        console.log("🔧 [ConnectButton] 组件初始化完成")
        console.log("  selectedServerId:", selectedServerId)
        console.log("  selectedServerName:", selectedServerName)
        console.log("  vmessLink长度:", vmessLink ? vmessLink.length : 0)
        console.log("  serverRequiresVip:", serverRequiresVip)
        console.log("  connected:", connected)
        console.log("  connecting:", connecting)
        console.log("========================================")
    }
}
