import QtQuick
import QtTest
import UntitledProject1
import UntitledProject1Content

TestCase {
    id: testCase
    name: "ConnectButton"
    when: windowShown
    visible: true
    width: 430
    height: 400

    Component {
        id: buttonComp
        ConnectButton { x: 100; y: 100 }
    }

    SignalSpy { id: connectSpy; signalName: "connectionRequested" }
    SignalSpy { id: disconnectSpy; signalName: "disconnectionRequested" }

    function createButton() {
        var button = createTemporaryObject(buttonComp, testCase)
        verify(button)
        connectSpy.target = button
        disconnectSpy.target = button
        connectSpy.clear()
        disconnectSpy.clear()
        Log.clear()
        return button
    }

    function part(button, name) {
        var item = findChild(button, name)
        verify(item, name)
        return item
    }

    function test_startsOff() {
        var button = createButton()
        compare(button.width, 220)
        compare(button.height, 220)
        compare(button.connected, false)
        compare(button.connecting, false)
        compare(button.durationText, "00:00:00")
        compare(part(button, "durationLabel").text, "00:00:00")
        compare(part(button, "glow").visible, false)
        compare(part(button, "glow").opacity, 0)
        compare(part(button, "busyIndicator").visible, false)
        compare(part(button, "buttonMouseArea").enabled, true)
        compare(button.scale, 1.0)
    }

    function test_bridgeSignals_data() {
        return [
            { tag: "connected after a click", connected: false, connecting: true, duration: "00:00:00",
              emit: function() { API.vpnConnected() },
              log: "✅ [ConnectButton] VPN连接成功", toConnected: true, toDuration: "00:00:00" },
            { tag: "connected without a click", connected: false, connecting: false, duration: "00:00:00",
              emit: function() { API.vpnConnected() },
              log: "✅ [ConnectButton] VPN连接成功", toConnected: true, toDuration: "00:00:00" },
            { tag: "failure while connecting", connected: false, connecting: true, duration: "00:00:00",
              emit: function() { API.vpnConnectionFailed(11, "服务器连接失败，请稍后重试") },
              log: "❌ [ConnectButton] VPN连接失败: 服务器连接失败，请稍后重试", toConnected: false, toDuration: "00:00:00" },
            { tag: "failure while connected keeps the duration", connected: true, connecting: false, duration: "00:05:00",
              emit: function() { API.vpnConnectionFailed(10, "网络连接失败，请检查网络设置") },
              log: "❌ [ConnectButton] VPN连接失败: 网络连接失败，请检查网络设置", toConnected: false, toDuration: "00:05:00" },
            { tag: "disconnected", connected: true, connecting: false, duration: "00:05:00",
              emit: function() { API.vpnDisconnected() },
              log: "🔴 [ConnectButton] VPN已断开", toConnected: false, toDuration: "00:00:00" },
            { tag: "disconnected after a failure", connected: false, connecting: false, duration: "00:05:00",
              emit: function() { API.vpnDisconnected() },
              log: "🔴 [ConnectButton] VPN已断开", toConnected: false, toDuration: "00:00:00" },
            { tag: "forced off", connected: true, connecting: false, duration: "01:00:00",
              emit: function() { API.vpnForceDisconnected("设备已被禁用") },
              log: "⚠️ [ConnectButton] VPN被强制断开: 设备已被禁用", toConnected: false, toDuration: "00:00:00" },
            { tag: "duration tick", connected: true, connecting: false, duration: "00:00:01",
              emit: function() { API.vpnDurationChanged(2) },
              log: "", toConnected: true, toDuration: "00:00:02" }
        ]
    }

    function test_bridgeSignals(data) {
        var button = createButton()
        button.connected = data.connected
        button.connecting = data.connecting
        button.durationText = data.duration
        Log.clear()

        data.emit()
        compare(button.connected, data.toConnected)
        compare(button.connecting, data.connecting && data.log === "")
        compare(button.durationText, data.toDuration)
        if (data.log !== "")
            compare(Log.count(data.log), 1, data.log)
        else
            compare(Log.messages().filter(function(m) { return m.indexOf("[ConnectButton] VPN") >= 0 }), [])
    }

    function test_durationText_data() {
        return [
            { tag: "0 s", seconds: 0, text: "00:00:00" },
            { tag: "59 s", seconds: 59, text: "00:00:59" },
            { tag: "3661 s", seconds: 3661, text: "01:01:01" },
            { tag: "a day less a second", seconds: 86399, text: "23:59:59" },
            { tag: "a day", seconds: 86400, text: "24:00:00" },
            { tag: "25 hours", seconds: 90000, text: "25:00:00" },
            { tag: "100 hours", seconds: 360000, text: "100:00:00" }
        ]
    }

    function test_durationText(data) {
        var button = createButton()
        API.vpnDurationChanged(data.seconds)
        compare(button.durationText, data.text)
        compare(part(button, "durationLabel").text, data.text)
    }

    function test_clickRule_data() {
        return [
            { tag: "off asks to connect", connected: false, connecting: false, connects: 1, disconnects: 0,
              last: "🔵 用户点击连接VPN，发送connectionRequested信号" },
            { tag: "connected asks to disconnect", connected: true, connecting: false, connects: 0, disconnects: 1,
              last: "🔴 用户点击断开VPN" },
            { tag: "connecting ignores the click", connected: false, connecting: true, connects: 0, disconnects: 0,
              last: "" }
        ]
    }

    function test_clickRule(data) {
        var button = createButton()
        button.selectedServerId = 3
        button.selectedServerName = "东京 01"
        button.vmessLink = "vmess://c2VjcmV0LWNyZWRlbnRpYWxz"
        button.connected = data.connected
        button.connecting = data.connecting
        Log.clear()

        mouseClick(button)
        compare(connectSpy.count, data.connects)
        compare(disconnectSpy.count, data.disconnects)
        if (data.last === "") {
            compare(Log.count("🖱️ [ConnectButton] 按钮被点击"), 0)
            return
        }
        var log = Log.messages()
        var start = log.indexOf("🖱️ [ConnectButton] 按钮被点击")
        verify(start > 0, "click block logged")
        compare(log.slice(start - 1, start + 8), [
            "========================================",
            "🖱️ [ConnectButton] 按钮被点击",
            "  当前状态 - connected: " + data.connected + " connecting: false",
            "  MouseArea enabled: true",
            "  服务器ID: 3",
            "  服务器名称: 东京 01",
            "  VMess链接长度: 32",
            "========================================",
            data.last
        ])
    }

    function test_pressAndHoverScale() {
        var button = createButton()
        mouseMove(button, 110, 110)
        tryCompare(button, "scale", 1.02)
        mousePress(button, 110, 110)
        tryCompare(button, "scale", 0.96)
        // Released over the control: back to rest, not to the hover size.
        mouseRelease(button, 110, 110)
        tryCompare(button, "scale", 1.0)
        wait(200)
        compare(button.scale, 1.0)
        mouseMove(testCase, 5, 5)
        mouseMove(button, 120, 120)
        tryCompare(button, "scale", 1.02)
        mouseMove(testCase, 5, 5)
        tryCompare(button, "scale", 1.0)
        compare(Log.count("🖱️ [ConnectButton] 鼠标进入按钮区域"), 2)
        compare(Log.count("🖱️ [ConnectButton] 鼠标离开按钮区域"), 2)
        compare(Log.count("🖱️ [ConnectButton] 按钮按下"), 1)
        compare(Log.count("🖱️ [ConnectButton] 按钮释放"), 1)
    }

    function test_glowPulsesOnlyWhileConnected() {
        var button = createButton()
        var glow = part(button, "glow")
        wait(300)
        compare(glow.opacity, 0, "no pulse while off")

        var seen = []
        glow.opacityChanged.connect(function() { seen.push(glow.opacity) })
        API.vpnConnected()
        compare(glow.visible, true)
        // One breath: up to 0.2 over 1500 ms, then down again.
        tryVerify(function() { return seen.length > 1 && seen[seen.length - 1] < seen[seen.length - 2] }, 3000, "glow fades again")
        var brightest = Math.max.apply(null, seen)
        verify(brightest > 0.15 && brightest <= 0.2, "brightest " + brightest)

        API.vpnDisconnected()
        compare(glow.visible, false)
        var stoppedAt = glow.opacity
        wait(300)
        compare(glow.opacity, stoppedAt, "the pulse stops where it is")
    }

    function test_coloursFollowTheTierLive() {
        var button = createButton()
        API.vpnConnected()
        var glow = part(button, "glow")
        var ring = part(button, "outerRingPath")
        var border = part(button, "innerCircle")
        var icon = part(button, "powerIconPath")
        var schemes = [
            { vip: false, glow: Constants.primaryFree, top: Constants.colorSuccess, bottom: Constants.primaryFree, line: Constants.primaryFree },
            { vip: true, glow: Constants.accentGlow, top: Constants.accentGlow, bottom: Constants.primaryVip, line: Constants.primaryVip },
            { vip: false, glow: Constants.primaryFree, top: Constants.colorSuccess, bottom: Constants.primaryFree, line: Constants.primaryFree }
        ]
        for (var i = 0; i < schemes.length; ++i) {
            var s = schemes[i]
            button.isVip = s.vip
            verify(Qt.colorEqual(glow.color, s.glow), "glow, vip " + s.vip)
            verify(Qt.colorEqual(ring.fillGradient.stops[0].color, s.top), "ring top, vip " + s.vip)
            verify(Qt.colorEqual(ring.fillGradient.stops[1].color, s.bottom), "ring bottom, vip " + s.vip)
            verify(Qt.colorEqual(border.border.color, s.line), "border, vip " + s.vip)
            verify(Qt.colorEqual(icon.strokeColor, s.line), "icon, vip " + s.vip)
        }
    }

    // The ring is a gradient annulus over a dark disc: its 12-pixel rim must show the
    // gradient's colours, top and bottom.
    function test_ringIsDrawn() {
        var button = createButton()
        waitForRendering(button)
        var image = grabImage(button)
        verify(image.red(110, 5) < 40 && image.green(110, 5) > 150, "top of the rim: " + image.pixel(110, 5))
        verify(image.green(110, 214) > 200 && image.blue(110, 214) > 180, "bottom of the rim: " + image.pixel(110, 214))
        verify(image.green(110, 40) < 40, "inside the rim is dark: " + image.pixel(110, 40))
    }

    function test_linkIsLoggedOnlyByLength_data() {
        return [
            { tag: "a link", link: "vmess://eyJhZGQiOiIxMjcuMC4wLjEifQ==", length: 36 },
            { tag: "no link", link: "", length: 0 }
        ]
    }

    function test_linkIsLoggedOnlyByLength(data) {
        var button = createButton()
        button.vmessLink = "vmess://placeholder"
        Log.clear()
        button.vmessLink = data.link
        compare(Log.messages(), ["🔧 [ConnectButton] vmessLink变化, 长度: " + data.length])
        mouseClick(button)
        var leaked = Log.messages().filter(function(m) { return data.link !== "" && m.indexOf(data.link) >= 0 })
        compare(leaked, [])
    }
}
