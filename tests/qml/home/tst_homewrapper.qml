import QtQuick
import QtTest
import UntitledProject1Content

TestCase {
    id: testCase
    name: "HomeWrapper"
    when: windowShown
    visible: true
    width: 430
    height: 880

    Component {
        id: wrapperComp
        ScreenWrapper { width: 430; height: 880 }
    }

    SignalSpy { id: proposals; signalName: "defaultServerNeeded" }

    readonly property var signedOut: ({ isLoggedIn: false, userEmail: "", userName: "", isVip: false, vipDays: 0, freeMinutes: 120 })

    function init() {
        API.setAccount(signedOut)
    }

    function createWrapper(account) {
        API.setAccount(account || signedOut)
        API.clearCalls()
        Log.clear()
        var wrapper = createTemporaryObject(wrapperComp, testCase)
        verify(wrapper)
        proposals.target = wrapper
        proposals.clear()
        return wrapper
    }

    function form(wrapper) {
        var found = findChild(wrapper, "homeForm")
        verify(found, "home form")
        return found
    }

    function test_ratesBeforeAnyReport() {
        var wrapper = createWrapper()
        compare(wrapper.uploadSpeed, "0 B/s")
        compare(wrapper.downloadSpeed, "0 B/s")
        compare(wrapper.uploadBytes, 0)
        compare(wrapper.downloadBytes, 0)
    }

    // Each step: the bridge's report (or a new connection), then the texts and totals it leaves.
    function test_rates_data() {
        return [
            { tag: "first connection's first reports", steps: [
                { up: 6000, down: 0, upText: "2.9 KB/s", downText: "0 B/s" },
                { up: 14000, down: 1000, upText: "3.9 KB/s", downText: "500 B/s" },
                { up: 14000, down: 1000, upText: "0 B/s", downText: "0 B/s" }] },
            { tag: "second connection, announced", steps: [
                { up: 50000, down: 90000, upText: "24.4 KB/s", downText: "43.9 KB/s" },
                { connected: true },
                { up: 4000, down: 2048, upText: "2.0 KB/s", downText: "1.0 KB/s" },
                { up: 6048, down: 4096, upText: "1.0 KB/s", downText: "1.0 KB/s" }] },
            { tag: "second connection, totals start again", steps: [
                { up: 50000, down: 90000, upText: "24.4 KB/s", downText: "43.9 KB/s" },
                { up: 4000, down: 2048, upText: "2.0 KB/s", downText: "1.0 KB/s" }] },
            { tag: "a negative total never gives a negative rate", steps: [
                { up: 3000, down: 3000, upText: "1.5 KB/s", downText: "1.5 KB/s" },
                { up: -100, down: 3000, upText: "0 B/s", downText: "0 B/s" }] }
        ]
    }

    function test_rates(data) {
        var wrapper = createWrapper()
        for (var i = 0; i < data.steps.length; ++i) {
            var step = data.steps[i]
            if (step.connected) {
                API.vpnConnected()
                continue
            }
            API.vpnTrafficUpdate(step.up, step.down)
            compare(wrapper.uploadSpeed, step.upText, "upload, step " + i)
            compare(wrapper.downloadSpeed, step.downText, "download, step " + i)
            compare(wrapper.uploadBytes, step.up)
            compare(wrapper.downloadBytes, step.down)
        }
        compare(Log.messages().filter(function(m) { return m.indexOf("B/s") >= 0 }), [], "reports are not logged")
    }

    // However the connection ends, the rates fall to zero, and the next connection's first
    // report counts whole even when its totals already pass the ended one's.
    function test_ratesEndWithTheConnection_data() {
        return [
            { tag: "disconnected", end: function() { API.vpnDisconnected() } },
            { tag: "forced off", end: function() { API.vpnForceDisconnected("您的账号已在其他设备登录") } },
            { tag: "connection failed", end: function() { API.vpnConnectionFailed(10, "网络连接失败，请检查网络设置") } }
        ]
    }

    function test_ratesEndWithTheConnection(data) {
        var wrapper = createWrapper()
        API.vpnTrafficUpdate(50000, 90000)
        compare(wrapper.uploadSpeed, "24.4 KB/s")
        data.end()
        compare(wrapper.uploadSpeed, "0 B/s")
        compare(wrapper.downloadSpeed, "0 B/s")
        compare(wrapper.uploadBytes, 0)
        compare(wrapper.downloadBytes, 0)

        API.vpnTrafficUpdate(60000, 100000)
        compare(wrapper.uploadSpeed, "29.3 KB/s")
        compare(wrapper.downloadSpeed, "48.8 KB/s")
    }

    function test_accountFollowsTheBridge() {
        var wrapper = createWrapper({ isLoggedIn: true, userEmail: "alice@example.org", userName: "alice",
                                      isVip: false, vipDays: 0, freeMinutes: 45 })
        var f = form(wrapper)
        compare(f.userLoggedIn, true)
        compare(f.userEmail, "alice@example.org")
        compare(f.userName, "alice")
        compare(f.userIsVip, false)
        compare(f.freeMinutes, 45)

        API.setAccount({ isVip: true, vipDays: 30, freeMinutes: 0, userName: "Alice Z" })
        Log.clear()
        API.userInfoChanged()
        compare(Log.count("✅ 用户信息已更新: VIP=true, VIP天数=30, 免费分钟=0"), 1)
        compare(f.userIsVip, true)
        compare(f.vipDays, 30)
        compare(f.freeMinutes, 0)
        compare(f.userName, "Alice Z")

        // A sign-out that no user change follows still shows the signed-out header.
        API.loginStateChanged(false)
        compare(Log.count("登录状态变更: false"), 1)
        compare(f.userLoggedIn, false)
        compare(f.userIsVip, true, "the other fields wait for the next user change")

        API.setAccount(signedOut)
        API.userInfoChanged()
        compare(f.userLoggedIn, false)
        compare(f.userIsVip, false)
        compare(f.freeMinutes, 120)
        compare(f.userName, "")
    }

    function test_completionRefreshesOnlyASignedInUser_data() {
        return [
            { tag: "signed out", account: null, refreshes: 0 },
            { tag: "signed in", account: { isLoggedIn: true, userEmail: "a@b.c" }, refreshes: 1 }
        ]
    }

    function test_completionRefreshesOnlyASignedInUser(data) {
        createWrapper(data.account)
        compare(API.callCount("refreshUserInfo"), data.refreshes)
        compare(Log.count("主界面加载，刷新用户信息"), data.refreshes)
        compare(API.callCount("getServers"), 1)
    }

    function test_defaultServerReachesTheWindowUnchanged() {
        var wrapper = createWrapper()
        API.serversLoaded([{ id: 4, name: "首尔", flag: "🇰🇷", countryCode: "KR", vmessLink: "vmess://seoul",
                             requiresVip: true, canConnect: true }])
        compare(proposals.count, 1)
        var args = proposals.signalArguments[0]
        compare([args[0], args[1], args[2], args[3], args[4], args[5]], [4, "首尔", "🇰🇷", "KR", "vmess://seoul", true])
        compare(Log.count("[DEBUG H6] ScreenWrapper收到defaultServerNeeded信号: 首尔 4 vmessLink长度: 13"), 1)
    }

    function test_selectedServerReachesTheForm() {
        var wrapper = createWrapper()
        wrapper.selectedServerName = "香港 02"
        wrapper.selectedServerId = 9
        compare(Log.count("[DEBUG H4] screenItem.selectedServerId changed - newId: 9 newName: 香港 02"), 1)
        compare(form(wrapper).selectedServerId, 9)
        compare(form(wrapper).selectedServerName, "香港 02")
        var clicks = 0
        wrapper.selectServerArea.clicked.connect(function() { ++clicks })
        mouseClick(findChild(wrapper, "serverCard"))
        compare(clicks, 1)
    }
}
