import QtQuick
import QtTest
import UntitledProject1
import UntitledProject1Content
import "../Placement.js" as Placement
import "../PageItems.js" as Page

TestCase {
    id: testCase
    name: "HomeForm"
    when: windowShown
    visible: true
    width: 430
    height: 880

    Component {
        id: formComp
        Screen {}
    }

    SignalSpy { id: proposals; signalName: "defaultServerNeeded" }

    readonly property string longLink: "vmess://" + "eyJ2IjoiMiIsInBzIjoi5Lic5LqsIiwiYWRkIjoiMTI3LjAuMC4x"
    readonly property var failureTexts: ({
        1: "请先登录账号", 2: "请先选择服务器", 3: "此线路为VIP专线，请升级VIP后使用",
        4: "您的免费体验时长已用完，请升级VIP继续使用", 5: "您的VIP已过期，无法连接VIP专线",
        6: "您的VIP已过期且体验时长已用完，请续费VIP"
    })

    function init() {
        API.setAccount({ isLoggedIn: false, userEmail: "", userName: "", isVip: false, vipDays: 0, freeMinutes: 120 })
        API.setPermissionCode(0)
        API.setConnectVpnResult(true)
        API.setConnectVpnFailure(0, "")
        for (var code in failureTexts)
            API.setFailureReasonText(code, failureTexts[code])
    }

    function createForm(properties) {
        var form = createTemporaryObject(formComp, testCase, properties || {})
        verify(form)
        proposals.target = form
        proposals.clear()
        API.clearCalls()
        Log.clear()
        return form
    }

    function part(form, name) {
        var item = findChild(form, name)
        verify(item, name)
        return item
    }

    function logFrom(line) {
        var log = Log.messages()
        var start = log.indexOf(line)
        return start < 0 ? [] : log.slice(start)
    }

    function test_completionAsksForEveryServer() {
        Log.clear()
        var form = createTemporaryObject(formComp, testCase, { selectedServerId: 4, selectedServerName: "香港 02" })
        verify(form)
        compare(API.calls().filter(function(c) { return c.indexOf("getServers") === 0 }), ["getServers()"])
        verify(Log.count("🔄 主界面加载，获取服务器列表") === 1)
        compare(Log.count("[DEBUG H5] Screen.onCompleted - selectedServerId: 4 selectedServerName: 香港 02"), 1)
    }

    function test_formatTraffic_data() {
        return [
            { tag: "0", bytes: 0, text: "0 B/s" },
            { tag: "1023.5 rounds up", bytes: 1023.5, text: "1024 B/s" },
            { tag: "1024", bytes: 1024, text: "1.0 KB/s" },
            { tag: "1536", bytes: 1536, text: "1.5 KB/s" },
            { tag: "1 MiB less a byte", bytes: 1024 * 1024 - 1, text: "1024.0 KB/s" },
            { tag: "1 MiB", bytes: 1024 * 1024, text: "1.00 MB/s" },
            { tag: "1 GiB", bytes: 1024 * 1024 * 1024, text: "1.00 GB/s" },
            { tag: "5 TiB", bytes: 5 * Math.pow(1024, 4), text: "5120.00 GB/s" },
            { tag: "negative", bytes: -2048, text: "-2048 B/s" },
            { tag: "not a number", bytes: NaN, text: "NaN GB/s" }
        ]
    }

    function test_formatTraffic(data) {
        var form = createForm()
        compare(form.formatTraffic(data.bytes), data.text)
    }

    function test_accountHeader_data() {
        return [
            { tag: "logged out", account: {}, avatar: Constants.textSecondary, letter: "?", name: "未登录",
              vipMarks: false, subtitle: "点击登录", subtitleColour: Constants.textSecondary, border: 0, clickable: true },
            { tag: "free, lower-case name", account: { userLoggedIn: true, userName: "alice", userEmail: "alice@example.org" },
              avatar: Constants.primaryFree, letter: "A", name: "alice", vipMarks: false, subtitle: "免费用户",
              subtitleColour: Constants.textSecondary, border: 0, clickable: false },
            { tag: "free, no name", account: { userLoggedIn: true, userName: "", userEmail: "bob@example.org" },
              avatar: Constants.primaryFree, letter: "U", name: "bob@example.org", vipMarks: false, subtitle: "免费用户",
              subtitleColour: Constants.textSecondary, border: 0, clickable: false },
            { tag: "VIP", account: { userLoggedIn: true, userIsVip: true, userName: "张伟" },
              avatar: Constants.colorVip, letter: "张", name: "张伟", vipMarks: true, subtitle: "VIP会员",
              subtitleColour: Constants.colorVip, border: 1.5, clickable: false },
            { tag: "VIP flag while logged out", account: { userIsVip: true, userName: "carol" },
              avatar: Constants.textSecondary, letter: "?", name: "未登录", vipMarks: false, subtitle: "点击登录",
              subtitleColour: Constants.colorVip, border: 1.5, clickable: true }
        ]
    }

    function test_accountHeader(data) {
        var form = createForm(data.account)
        var avatar = part(form, "avatar")
        verify(Qt.colorEqual(avatar.color, data.avatar), "avatar " + avatar.color)
        compare(avatar.border.width, data.border)
        if (data.border > 0)
            verify(Qt.colorEqual(avatar.border.color, Qt.rgba(1, 215 / 255, 0, 0.6)))
        compare(part(form, "avatarLetter").text, data.letter)
        compare(part(form, "nameLine").text, data.name)
        compare(part(form, "vipStar").visible, data.vipMarks)
        compare(part(form, "vipTag").visible, data.vipMarks)
        compare(part(form, "subtitle").text, data.subtitle)
        verify(Qt.colorEqual(part(form, "subtitle").color, data.subtitleColour))
        compare(form.loginArea.enabled, data.clickable)
        compare(form.loginArea.cursorShape, data.clickable ? Qt.PointingHandCursor : Qt.ArrowCursor)

        var clicks = 0
        form.loginArea.clicked.connect(function() { ++clicks })
        mouseClick(part(form, "userInfoBox"))
        compare(clicks, data.clickable ? 1 : 0)
    }

    // A name or address longer than the box ends in an ellipsis, the row keeping the avatar's
    // margin of 8 inside the box on both sides; the service's own names show whole.
    function test_headerKeepsToTheUserBox_data() {
        return [
            { tag: "address of a user without a name", whole: false,
              account: { userLoggedIn: true, userName: "", userEmail: "zhangsan.work2024.longname@example.com" } },
            { tag: "long VIP name", whole: false,
              account: { userLoggedIn: true, userIsVip: true, userName: "Alexandra Konstantinopoulou-Smith" } },
            { tag: "the service's free user", whole: true, account: { userLoggedIn: true, userName: "演示用户" } },
            { tag: "the service's VIP", whole: true, account: { userLoggedIn: true, userIsVip: true, userName: "演示VIP" } }
        ]
    }

    function test_headerKeepsToTheUserBox(data) {
        var form = createForm(data.account)
        Page.settle(testCase, form)
        var box = part(form, "userInfoBox")
        var name = part(form, "nameLine")
        var lastMark = data.account.userIsVip ? part(form, "vipTag") : name
        Placement.verifyInside(testCase, part(form, "avatar"), box, 8, "avatar")
        Placement.verifyInside(testCase, lastMark, box, 8, "name row")
        if (data.whole) {
            Placement.verifyWhole(testCase, name, "name line")
            // A row that fits stays centred on the box, at the whole pixel that centring takes.
            var row = name.parent.parent.parent
            fuzzyCompare(row.x, (box.width - row.width) / 2, 0.5)
        } else {
            verify(name.truncated, "the long name ends in an ellipsis")
        }
    }

    function test_userBoxLightensUnderThePointer() {
        var form = createForm()
        var box = part(form, "userInfoBox")
        verify(Qt.colorEqual(box.color, Constants.cardColor))
        mouseMove(box, 80, 22)
        tryVerify(function() { return Qt.colorEqual(box.color, Qt.lighter(Constants.cardColor, 1.2)) }, 1000)
        mouseMove(testCase, 215, 870)
        tryVerify(function() { return Qt.colorEqual(box.color, Constants.cardColor) }, 1000)
    }

    function test_standing_data() {
        return [
            { tag: "defaults", account: {}, status: "免费体验时长剩余 120 分钟", vip: false, trial: false, height: 728, top: 76 },
            { tag: "free, 45 minutes", account: { userLoggedIn: true, freeMinutes: 45 },
              status: "免费体验时长剩余 45 分钟", vip: false, trial: false, height: 728, top: 76 },
            { tag: "free, trial over", account: { userLoggedIn: true, freeMinutes: 0 },
              status: "", vip: false, trial: true, height: 732, top: 74 },
            { tag: "logged out, no minutes", account: { freeMinutes: 0 }, status: "", vip: false, trial: false, height: 664, top: 108 },
            { tag: "free, negative minutes", account: { userLoggedIn: true, freeMinutes: -5 },
              status: "", vip: false, trial: false, height: 664, top: 108 },
            { tag: "VIP, 30 days", account: { userLoggedIn: true, userIsVip: true, vipDays: 30, freeMinutes: 0 },
              status: "VIP 30天", vip: true, trial: false, height: 728, top: 76 },
            { tag: "VIP, 0 days", account: { userLoggedIn: true, userIsVip: true, vipDays: 0, freeMinutes: 0 },
              status: "VIP 0天", vip: true, trial: false, height: 728, top: 76 }
        ]
    }

    function test_standing(data) {
        var form = createForm(data.account)
        var statusBox = part(form, "statusBox")
        compare(statusBox.visible, data.status !== "")
        compare(part(form, "trialButton").visible, data.trial)
        if (data.status !== "") {
            var text = part(form, "statusText")
            var badge = part(form, "statusBadge")
            compare(text.text, data.status)
            compare(badge.width, 382 * 0.75)
            verify(Qt.colorEqual(text.color, data.vip ? Constants.colorVip : Constants.primaryFree))
            verify(Qt.colorEqual(badge.color, data.vip ? Qt.rgba(1, 215 / 255, 0, 0.1) : Qt.rgba(0, 1, 217 / 255, 0.1)))
            compare(badge.border.width, data.vip ? 1.5 : 0)
        }
        var column = statusBox.parent
        compare(column.height, data.height)
        compare(column.y, data.top)
    }

    function test_trialButtonSendsOneRequestPerClick() {
        var form = createForm({ userLoggedIn: true, freeMinutes: 0 })
        var button = part(form, "trialButton")
        compare(button.width, 382 * 0.75)
        compare(button.height, 44)
        mouseClick(button)
        mouseClick(button)
        compare(API.callCount("activateFreeTrial"), 2)
        compare(Log.count("🎁 激活免费体验"), 2)
    }

    function test_trafficRowFollowsTheConnection() {
        var form = createForm({ downloadSpeed: "12.5 KB/s", uploadSpeed: "3.0 KB/s" })
        compare(part(form, "downloadSpeedText").text, "12.5 KB/s")
        compare(part(form, "uploadSpeedText").text, "3.0 KB/s")
        compare(part(form, "statusLine").text, "未连接")
        compare(part(form, "connectHint").visible, true)
        compare(part(form, "connectHint").text, "点击连接")

        API.vpnConnected()
        compare(part(form, "statusLine").text, "已连接")
        compare(part(form, "connectHint").visible, false)

        API.vpnDisconnected()
        compare(part(form, "statusLine").text, "未连接")
        compare(part(form, "connectHint").visible, true)
    }

    // Which of the two lines is the wider one is the font's choice; the caption ends at the
    // column's right edge either way.
    function test_uploadCaptionStaysRightAligned_data() {
        return [
            { tag: "short rate", rate: "1 B/s" },
            { tag: "long rate", rate: "1023.99 MB/s" }
        ]
    }

    function test_uploadCaptionStaysRightAligned(data) {
        var form = createForm({ uploadSpeed: data.rate })
        var caption = part(form, "uploadCaption")
        var rate = part(form, "uploadSpeedText")
        compare(caption.parent.width, Math.max(caption.width, rate.width))
        compare(rate.x, 0)
        compare(caption.x + caption.width, caption.parent.width)
        var group = part(form, "uploadGroup")
        compare(group.x + group.width, group.parent.width)
    }

    // The account the bridge reports and the server the window selected, as one row's state.
    function prepare(form, data) {
        API.setAccount({ isLoggedIn: data.loggedIn })
        API.setPermissionCode(data.permission || 0)
        API.setConnectVpnResult(data.result === undefined ? true : data.result)
        API.setConnectVpnFailure(data.failure || 0, data.failure ? "网络连接失败，请检查网络设置" : "")
        form.selectedServerId = data.id
        form.selectedServerName = "东京 01"
        form.selectedServerVmessLink = data.link
        form.selectedServerRequiresVip = data.vip || false
        API.clearCalls()
        Log.clear()
    }

    function test_connectFlow_data() {
        var link = "vmess://abcd"
        var rows = [
            { tag: "logged out", loggedIn: false, id: 5, link: link, last: ["❌ 未登录，无法连接"], checks: 0, connects: 0 },
            { tag: "no server", loggedIn: true, id: -1, link: link, last: ["❌ 未选择服务器, selectedServerId: -1"], checks: 0, connects: 0 },
            { tag: "server id 0", loggedIn: true, id: 0, link: link, last: ["❌ 未选择服务器, selectedServerId: 0"], checks: 0, connects: 0 },
            { tag: "empty link", loggedIn: true, id: 5, link: "", last: ["❌ VMess链接为空，无法连接", "  请确保选择了有效的服务器"], checks: 0, connects: 0 },
            { tag: "bridge refuses", loggedIn: true, id: 5, link: link, result: false,
              last: ["✅ 权限检查通过，开始连接VPN...", "❌ API.connectVpn返回失败"], checks: 1, connects: 1, connecting: false },
            { tag: "engine fails during the call", loggedIn: true, id: 5, link: link, failure: 10,
              last: ["✅ 权限检查通过，开始连接VPN...", "✅ VPN连接请求已发送，等待连接结果..."], checks: 1, connects: 1, connecting: false },
            { tag: "request sent", loggedIn: true, id: 5, link: link, vip: true,
              last: ["✅ 权限检查通过，开始连接VPN...", "✅ VPN连接请求已发送，等待连接结果..."], checks: 1, connects: 1, connecting: true }
        ]
        for (var code = 1; code <= 6; ++code) {
            rows.push({ tag: "permission code " + code, loggedIn: true, id: 5, link: link, permission: code,
                        last: ["🔍 检查VPN连接权限...", "❌ 权限不足: " + failureTexts[code] + " 错误码: " + code],
                        checks: 1, connects: 0 })
        }
        return rows
    }

    function test_connectFlow(data) {
        var form = createForm()
        prepare(form, data)
        var button = part(form, "connectButton")
        mouseClick(button)

        var log = Log.messages()
        var header = log.indexOf("🔵 [VPN连接] 处理连接请求")
        verify(header > 0, "request header logged")
        compare(log.slice(header - 1, header + 7), [
            "========================================",
            "🔵 [VPN连接] 处理连接请求",
            "  服务器ID: " + data.id,
            "  服务器名称: 东京 01",
            "  VMess链接: " + (data.link === "" ? "空" : data.link + "..."),
            "  需要VIP: " + (data.vip || false),
            "  用户是VIP: false",
            "========================================"
        ])
        var tail = log.filter(function(m) { return m.indexOf("[ConnectButton]") < 0 })
        compare(tail.slice(tail.length - data.last.length), data.last)
        compare(API.callCount("checkVpnPermission"), data.checks)
        compare(API.callCount("connectVpn"), data.connects)
        if (data.connects > 0)
            compare(API.calls().filter(function(c) { return c.indexOf("connectVpn") === 0 }),
                    ["connectVpn(5, " + data.link + ", " + (data.vip || false) + ")"])
        if (data.checks > 0)
            compare(API.calls()[0], "checkVpnPermission(5, " + (data.vip || false) + ")")
        compare(button.connecting, data.connecting || false)
    }

    function test_connectFlowLogsTheLinkShortened_data() {
        return [
            { tag: "12 characters", link: "vmess://abcd", logged: "vmess://abcd..." },
            { tag: "60 characters", link: longLink.substring(0, 60), logged: longLink.substring(0, 20) + "..." }
        ]
    }

    function test_connectFlowLogsTheLinkShortened(data) {
        var form = createForm()
        prepare(form, { loggedIn: false, id: 5, link: data.link })
        mouseClick(part(form, "connectButton"))
        compare(Log.count("  VMess链接: " + data.logged), 1)
    }

    function test_disconnectRequest() {
        var form = createForm()
        API.vpnConnected()
        Log.clear()
        mouseClick(part(form, "connectButton"))
        compare(API.calls(), ["disconnectVpn()"])
        compare(Log.count("🔴 处理断开请求"), 1)
        compare(part(form, "connectButton").connected, true, "the control waits for the bridge")
    }

    function test_defaultServerProposal_data() {
        var full = function(id, canConnect) {
            return { id: id, name: "线路 " + id, flag: "🇯🇵", countryCode: "JP", vmessLink: "vmess://line" + id,
                     requiresVip: false, canConnect: canConnect }
        }
        return [
            { tag: "empty list", selected: -1, servers: [], proposal: null, lines: 2 },
            { tag: "first usable is the second", selected: -1, servers: [full(1, false), full(2, true), full(3, true)],
              proposal: [2, "线路 2", "🇯🇵", "JP", "vmess://line2", false], lines: 3 },
            { tag: "none usable", selected: -1, servers: [full(1, false), full(2, false)], proposal: null, lines: 2 },
            { tag: "a server is chosen", selected: 7, servers: [full(1, true)], proposal: null, lines: 3,
              keep: "📍 保持已选择的服务器: 东京 01 ID: 7" },
            { tag: "id 0 is not none", selected: 0, servers: [full(1, true)], proposal: null, lines: 3,
              keep: "📍 保持已选择的服务器: 东京 01 ID: 0" },
            { tag: "missing fields", selected: -1, servers: [{ id: 9, name: "裸线路", flag: "", canConnect: true }],
              proposal: [9, "裸线路", "🌐", "", "", false], lines: 3 }
        ]
    }

    function test_defaultServerProposal(data) {
        var form = createForm({ selectedServerId: data.selected, selectedServerName: "东京 01" })
        API.serversLoaded(data.servers)
        var log = Log.messages()
        compare(log[0], "✅ 服务器列表加载成功，数量: " + data.servers.length)
        compare(log[1], "[DEBUG H1] onServersLoaded BEFORE - selectedServerId: " + data.selected + " selectedServerName: 东京 01")
        compare(log.length, data.lines)
        if (data.keep)
            compare(log[2], data.keep)
        if (data.proposal === null) {
            compare(proposals.count, 0)
            return
        }
        compare(proposals.count, 1)
        compare(proposals.signalArguments[0].length, 6)
        for (var i = 0; i < 6; ++i)
            compare(proposals.signalArguments[0][i], data.proposal[i], "argument " + i)
        compare(log[2], "📍 需要设置默认服务器: " + data.proposal[1] + " ID: " + data.proposal[0]
                + " vmessLink长度: " + data.proposal[4].length)
    }

    function test_serverListFailureKeepsTheSelection() {
        var form = createForm({ selectedServerId: 7, selectedServerName: "东京 01", selectedServerCountryCode: "JP",
                                selectedServerLatency: "延迟: 45ms" })
        API.serversError("网络错误")
        compare(Log.messages(), ["❌ 服务器列表加载失败: 网络错误"])
        compare(form.selectedServerId, 7)
        compare(part(form, "serverNameLine").text, "东京 01")
        compare(part(form, "flagFallbackText").text, "JP")
        compare(part(form, "latencyLine").text, "延迟: 45ms")
    }

    function test_bridgeReportsAreLogged_data() {
        return [
            { tag: "trial activated", emit: function() { API.trialActivated({ trialHoursRemaining: 2 }) },
              log: ["✅ 免费体验激活成功", "  体验剩余: 2 小时"] },
            { tag: "trial activated, no hours", emit: function() { API.trialActivated({}) },
              log: ["✅ 免费体验激活成功", "  体验剩余: undefined 小时"] },
            { tag: "trial refused", emit: function() { API.trialActivationError("体验已使用") },
              log: ["❌ 免费体验激活失败: 体验已使用"] },
            { tag: "user changed", emit: function() { API.userInfoChanged() },
              log: ["🔄 用户信息已更新", "  VIP状态: true", "  VIP天数: 12", "  免费分钟: 0"] }
        ]
    }

    function test_bridgeReportsAreLogged(data) {
        var form = createForm()
        API.setAccount({ isLoggedIn: true, isVip: true, vipDays: 12, freeMinutes: 0 })
        data.emit()
        compare(Log.messages(), data.log)
        compare(form.userIsVip, false, "the form's account fields are its wrapper's to write")
    }

    function test_routingTabs() {
        var form = createForm()
        var smart = part(form, "smartTab")
        var global = part(form, "globalTab")
        compare(form.currentMode, 1)
        var steps = [
            { tab: smart, mode: 0, log: "切换到智能模式" },
            { tab: smart, mode: 0, log: "切换到智能模式" },
            { tab: global, mode: 1, log: "切换到全局模式" }
        ]
        for (var i = 0; i < steps.length; ++i) {
            Log.clear()
            mouseClick(steps[i].tab)
            compare(Log.messages(), [steps[i].log])
            compare(form.currentMode, steps[i].mode)
            var on = steps[i].mode === 0 ? smart : global
            var off = steps[i].mode === 0 ? global : smart
            tryCompare(findChild(on, "indicator"), "opacity", 0.15)
            tryCompare(findChild(off, "indicator"), "opacity", 0)
            verify(Qt.colorEqual(findChild(on, "label").color, Constants.primaryFree))
            verify(Qt.colorEqual(findChild(off, "label").color, Constants.textSecondary))
            compare(findChild(on, "label").font.bold, true)
            compare(findChild(off, "label").font.bold, false)
        }
        compare(API.calls(), ["setRoutingMode(0)", "setRoutingMode(0)", "setRoutingMode(1)"])
    }

    function test_tabIndicatorFades() {
        var form = createForm()
        var smartIndicator = findChild(part(form, "smartTab"), "indicator")
        var seen = []
        smartIndicator.opacityChanged.connect(function() { seen.push(smartIndicator.opacity) })
        mouseClick(part(form, "smartTab"))
        tryCompare(smartIndicator, "opacity", 0.15)
        verify(seen.some(function(o) { return o > 0 && o < 0.15 }), "faded in: " + seen)
    }

    function test_serverCard_data() {
        return [
            { tag: "nothing chosen", code: "", name: "选择服务器", latency: "", fallback: "🌐", size: 20, source: "" },
            { tag: "US line", code: "US", name: "洛杉矶", latency: "延迟: 45ms", fallback: "US", size: 14,
              source: "resources/flags/us.png" }
        ]
    }

    function test_serverCard(data) {
        var form = createForm({ selectedServerCountryCode: data.code, selectedServerName: data.name,
                                selectedServerLatency: data.latency })
        var image = part(form, "flagImage")
        verify(String(image.source).endsWith(data.source), "source " + image.source)
        if (data.source !== "")
            tryCompare(image, "status", Image.Error)
        var fallback = part(form, "flagFallbackText")
        compare(part(form, "flagFallback").visible, true)
        compare(fallback.text, data.fallback)
        compare(fallback.font.pixelSize, data.size)
        compare(fallback.font.bold, true)
        compare(part(form, "serverNameLine").text, data.name)
        var latency = part(form, "latencyLine")
        compare(latency.visible, data.latency !== "")
        compare(latency.text, data.latency)
        verify(Qt.colorEqual(latency.color, Constants.colorSuccess))
        // A hidden latency line leaves the name alone in the middle of the card.
        var name = part(form, "serverNameLine")
        var card = part(form, "serverCard")
        var middle = name.mapToItem(card, 0, name.height / 2).y
        if (data.latency === "")
            fuzzyCompare(middle, card.height / 2, 1)
        else
            verify(middle < card.height / 2 - 4)
    }

    // A long server name ends in an ellipsis 16 before the chevron; a usual one shows whole.
    function test_serverNameKeepsClearOfTheChevron_data() {
        return [
            { tag: "50 characters", name: "东京品川 Premium Gaming Line 01 (IPLC) Tokyo Shinagawa", whole: false },
            { tag: "the service's line", name: "本地免费节点", whole: true }
        ]
    }

    function test_serverNameKeepsClearOfTheChevron(data) {
        compare(data.name.length, data.whole ? 6 : 50)
        var form = createForm({ selectedServerName: data.name, selectedServerLatency: "延迟: 45ms",
                                selectedServerCountryCode: "JP" })
        Page.settle(testCase, form)
        var name = part(form, "serverNameLine")
        var chevron = Page.texts(part(form, "serverCard"), ">")[0]
        Placement.verifyLeftOf(testCase, name, chevron, 16, "server name")
        Placement.verifyLeftOf(testCase, part(form, "latencyLine"), chevron, 16, "latency line")
        if (data.whole)
            Placement.verifyWhole(testCase, name, "server name")
        else
            verify(name.truncated, "the long name ends in an ellipsis")
    }

    function test_clickAreasLeaveThroughTheAliases_data() {
        return [
            { tag: "announcement icon", item: "announcementIcon", area: "announcementArea" },
            { tag: "settings icon", item: "settingsIcon", area: "settingsArea" },
            { tag: "server card", item: "serverCard", area: "selectServerArea" },
            { tag: "VIP card", item: "vipCard", area: "vipArea" }
        ]
    }

    function test_clickAreasLeaveThroughTheAliases(data) {
        var form = createForm()
        var clicks = 0
        form[data.area].clicked.connect(function() { ++clicks })
        mouseClick(part(form, data.item))
        compare(clicks, 1)
        compare(form[data.area].cursorShape, Qt.PointingHandCursor)
        compare(API.calls(), [], "the form itself does nothing")
    }
}
