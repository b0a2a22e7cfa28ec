import QtQuick
import QtQuick.Controls
import QtTest
import UntitledProject1
import UntitledProject1Content
import "../Placement.js" as Placement
import "../PageItems.js" as Page

TestCase {
    id: testCase
    name: "SelectServerScreen"
    when: windowShown
    visible: true
    width: 430
    height: 880

    // The page as the window holds it: its mark bound to the window's current server id.
    Component {
        id: hostComp
        Item {
            property int currentServerId: -1
            property alias page: page
            width: 430
            height: 880

            SelectServerScreen {
                id: page
                anchors.fill: parent
                selectedServerId: parent.currentServerId
            }
        }
    }

    SignalSpy {
        id: selectedSpy
        signalName: "serverSelected"
    }

    // A server as the bridge hands it over.
    function server(id, name, tier, requiresVip, canConnect, more) {
        var map = {
            id: id, name: name, countryCode: "JP", city: "东京", location: "日本东京", tier: tier,
            tierText: tier === "vip" ? "VIP" : "免费", requiresVip: requiresVip, canConnect: canConnect,
            status: "online", flag: "🇯🇵", vmessLink: "vmess://line-" + id, maxUsers: 100,
            currentUsers: 10, cpuUsage: 12.5, loadPercentage: 10
        }
        for (var key in more)
            map[key] = more[key]
        return map
    }

    function createHost(currentServerId) {
        API.clearCalls()
        Log.clear()
        var host = createTemporaryObject(hostComp, testCase, { currentServerId: currentServerId === undefined ? -1 : currentServerId })
        verify(host, "server page")
        selectedSpy.clear()
        selectedSpy.target = host.page
        return host
    }

    function listOf(page) {
        return Page.flickable(page)
    }

    // The rows in the order they stand on the page: the free group's, then the VIP group's.
    function rowsOf(page) {
        return Page.all(page, function(item) { return item.vipLine !== undefined && item.serverId !== undefined })
    }

    // A reply as the bridge delivers it, once the page has laid it out.
    function load(page, servers) {
        API.serversLoaded(servers)
        waitForRendering(page)
    }

    function namesOf(rows, vip) {
        return rows.filter(function(row) { return row.vipLine === vip }).map(function(row) { return row.name })
    }

    // The row's right-hand mark: the text anchored to its right edge.
    function markOf(row) {
        return Page.first(row, function(item) { return item instanceof Text && item.anchors.right === row.right })
    }

    function nameTextOf(row) {
        return Page.text(row, row.name)
    }

    function test_completionAsksForAllServers() {
        var host = createHost(5)
        compare(API.calls(), ["getServers()"])
        compare(Log.count("🔄 选择服务器页面加载，获取服务器列表"), 1)
        compare(Log.count("[DEBUG H10] SelectServerScreen.onCompleted - selectedServerId: 5"), 1)
        compare(host.page.selectedServerId, 5)
    }

    function test_grouping_data() {
        return [
            { tag: "before any reply", servers: null, free: [], vip: [], loading: true },
            { tag: "empty list", servers: [], free: [], vip: [], loading: true },
            { tag: "free only", servers: [server(1, "东京 01", "free", false, true), server(2, "大阪", "free", false, true)],
              free: ["东京 01", "大阪"], vip: [], loading: false },
            { tag: "VIP only", servers: [server(3, "首尔 VIP", "vip", true, true)],
              free: [], vip: ["首尔 VIP"], loading: false },
            { tag: "both, list order kept in each group",
              servers: [server(3, "首尔 VIP", "vip", true, true), server(1, "东京 01", "free", false, true),
                        server(4, "新加坡 VIP", "vip", true, false), server(2, "大阪", "free", false, true)],
              free: ["东京 01", "大阪"], vip: ["首尔 VIP", "新加坡 VIP"], loading: false },
            { tag: "tier vip without requiresVip", servers: [server(5, "香港", "vip", false, true)],
              free: ["香港"], vip: [], loading: false },
            { tag: "tier free with requiresVip", servers: [server(6, "台北", "free", true, true)],
              free: ["台北"], vip: [], loading: false },
            { tag: "another tier without requiresVip", servers: [server(7, "伦敦", "premium", false, true)],
              free: ["伦敦"], vip: [], loading: false },
            { tag: "canConnect false in each group",
              servers: [server(1, "东京 01", "free", false, false), server(4, "新加坡 VIP", "vip", true, false)],
              free: ["东京 01"], vip: ["新加坡 VIP"], loading: false }
        ]
    }

    function test_grouping(data) {
        var page = createHost().page
        if (data.servers !== null)
            load(page, data.servers)
        var rows = rowsOf(page)
        compare(namesOf(rows, false), data.free)
        compare(namesOf(rows, true), data.vip)
        compare(Page.text(page, "正在加载服务器列表...").visible, data.loading)
        compare(Page.text(page, "免费线路 (Free)").visible, data.free.length > 0)
        compare(Page.text(page, "VIP 专线 (Premium)").visible, data.vip.length > 0)

        // Whichever group comes first stands right under the header.
        var first = data.free.length > 0 ? "免费线路 (Free)" : data.vip.length > 0 ? "VIP 专线 (Premium)" : "正在加载服务器列表..."
        compare(Page.text(page, first).mapToItem(page, 0, 0).y, 86)

        for (var i = 0; i < rows.length; ++i) {
            var row = rows[i]
            verify(Qt.colorEqual(nameTextOf(row).color, row.vipLine ? Constants.primaryVip : Constants.textPrimary), row.name)
            compare(markOf(row).text, row.vipLine && !row.canConnect ? "🔒" : "", row.name + " mark")
        }
        if (data.servers !== null) {
            compare(Log.count("✅ 服务器列表加载成功，数量: " + data.servers.length), 1)
            for (var j = 0; j < data.servers.length; ++j) {
                var s = data.servers[j]
                compare(Log.count("  服务器 " + (j + 1) + " : " + s.name + " " + s.tier + " " + (s.canConnect ? "可连接" : "需要VIP")), 1)
            }
            compare(Log.count("📍 服务器列表加载完成，当前选中ID: -1"), 1)
        }
    }

    function test_rowLook_data() {
        return [
            { tag: "free line", name: "东京 01", borderWidth: 0, mark: "", markSize: 20, markOpacity: 1 },
            { tag: "free line, current", name: "东京 01", current: 1, borderWidth: 2, borderColour: Constants.primaryFree,
              mark: "✓", markSize: 20, markColour: Constants.primaryFree, markOpacity: 1 },
            { tag: "VIP line", name: "首尔 VIP", borderWidth: 1, borderColour: Qt.rgba(1, 215 / 255, 0, 0.2),
              mark: "", markSize: 20, markOpacity: 1 },
            { tag: "VIP line, current", name: "首尔 VIP", current: 3, borderWidth: 2, borderColour: Constants.primaryFree,
              mark: "✓", markSize: 20, markColour: Constants.primaryFree, markOpacity: 1 },
            { tag: "locked VIP line", name: "新加坡 VIP", borderWidth: 1, borderColour: Qt.rgba(1, 215 / 255, 0, 0.2),
              mark: "🔒", markSize: 16, markColour: Constants.textSecondary, markOpacity: 0.7 }
        ]
    }

    function test_rowLook(data) {
        var page = createHost(data.current === undefined ? -1 : data.current).page
        load(page, [server(1, "东京 01", "free", false, true), server(3, "首尔 VIP", "vip", true, true),
                           server(4, "新加坡 VIP", "vip", true, false)])
        var row = rowsOf(page).filter(function(r) { return r.name === data.name })[0]
        compare(row.width, 390)
        compare(row.height, 64)
        compare(row.radius, 12)
        compare(row.mapToItem(page, 0, 0).x, 20)
        verify(Qt.colorEqual(row.color, Constants.cardColor))
        compare(row.border.width, data.borderWidth)
        if (data.borderColour !== undefined)
            verify(Qt.colorEqual(row.border.color, data.borderColour), "border " + row.border.color)

        var mark = markOf(row)
        compare(mark.text, data.mark)
        compare(mark.font.pixelSize, data.markSize)
        compare(mark.font.bold, true)
        fuzzyCompare(mark.opacity, data.markOpacity, 0.001)
        if (data.markColour !== undefined)
            verify(Qt.colorEqual(mark.color, data.markColour))
        compare(row.width - (mark.x + mark.width), 20)

        var name = nameTextOf(row)
        compare(name.font.pixelSize, 15)
        compare(name.font.bold, true)
        var latency = Page.text(row, "延迟: 45ms")
        verify(Qt.colorEqual(latency.color, Constants.colorSuccess))
        compare(latency.font.pixelSize, 11)
        var code = Page.text(row, "JP")
        compare(code.parent.parent.mapToItem(row, 0, 0).x, 16)
        compare(code.parent.parent.width, 32)
        compare(code.parent.parent.height, 24)
    }

    // A long line name ends in an ellipsis 16 before the mark's place, marked or not, so that a
    // tick or a lock never meets it; the service's own names show whole.
    function test_lineNameKeepsClearOfTheMark_data() {
        var longName = "东京品川 Premium Gaming Line 01 (IPLC) Tokyo Shinagawa"
        return [
            { tag: "long free line", server: server(1, longName, "free", false, true), whole: false },
            { tag: "long free line, current", server: server(1, longName, "free", false, true), current: 1, whole: false },
            { tag: "long locked VIP line", server: server(4, longName, "vip", true, false), whole: false },
            { tag: "the service's free line, current", server: server(1, "本地免费节点", "free", false, true), current: 1, whole: true },
            { tag: "the service's locked VIP line", server: server(4, "本地VIP节点 WS", "vip", true, false), whole: true }
        ]
    }

    function test_lineNameKeepsClearOfTheMark(data) {
        var page = createHost(data.current).page
        load(page, [data.server])
        var row = rowsOf(page)[0]
        var name = nameTextOf(row)
        var mark = markOf(row)
        Placement.verifyLeftOf(testCase, name, mark, 16, "line name")
        Placement.verifyLeftOf(testCase, Page.text(row, "延迟: 45ms"), mark, 16, "latency")
        verify(mark.contentWidth <= mark.width, "the mark keeps to its place")
        if (data.whole)
            Placement.verifyWhole(testCase, name, "line name")
        else
            verify(name.truncated, "the long name ends in an ellipsis")
    }

    function test_flag_data() {
        return [
            { tag: "upper-case code", countryCode: "US", image: "resources/flags/us.png", shown: "US" },
            { tag: "lower-case code", countryCode: "jp", image: "resources/flags/jp.png", shown: "jp" },
            { tag: "no code", countryCode: "", image: "", shown: "??" }
        ]
    }

    function test_flag(data) {
        var page = createHost().page
        load(page, [server(1, "东京 01", "free", false, true, { countryCode: data.countryCode })])
        var row = rowsOf(page)[0]
        var image = Page.image(row)
        if (data.image === "") {
            compare(image.source.toString(), "")
        } else {
            compare(image.source.toString(), data.image)
            // The resources carry no flag pictures.
            tryCompare(image, "status", Image.Error)
        }
        var code = Page.text(row, data.shown)
        verify(code.visible)
        verify(Qt.colorEqual(code.color, Constants.primaryFree))
        compare(code.font.pixelSize, 14)
        compare(code.font.bold, true)
    }

    function test_mark_data() {
        return [
            { tag: "nothing chosen", current: -1, marked: [] },
            { tag: "an id no row has", current: 99, marked: [] },
            { tag: "a free line", current: 2, marked: ["大阪"] },
            { tag: "a VIP line", current: 3, marked: ["首尔 VIP"] },
            { tag: "two rows with one id", current: 8, marked: ["重复 A", "重复 B"] }
        ]
    }

    function test_mark(data) {
        var page = createHost(data.current).page
        load(page, [server(1, "东京 01", "free", false, true), server(2, "大阪", "free", false, true),
                           server(3, "首尔 VIP", "vip", true, true), server(8, "重复 A", "free", false, true),
                           server(8, "重复 B", "vip", true, true)])
        var marked = rowsOf(page).filter(function(row) { return row.border.width === 2 && markOf(row).text === "✓" })
        compare(marked.map(function(row) { return row.name }), data.marked)
        compare(Log.count("[DEBUG H11] SelectServerScreen.onServersLoaded - selectedServerId: " + data.current), 1)
    }

    function test_markFollowsTheWindowUntilAChoice() {
        var host = createHost(-1)
        load(host.page, [server(1, "东京 01", "free", false, true), server(2, "大阪", "free", false, true)])
        var rows = rowsOf(host.page)
        // The window sets its default server from the same reply.
        host.currentServerId = 1
        compare(rows[0].selected, true)
        mouseClick(rows[1])
        compare(host.page.selectedServerId, 2)
        host.currentServerId = 1
        compare(host.page.selectedServerId, 2)
        compare(rows[1].selected, true)
        compare(rows[0].selected, false)
    }

    function test_click_data() {
        return [
            { tag: "free line", server: server(1, "东京 01", "free", false, true),
              log: "📍 选择免费服务器: 东京 01 1", debug: "[DEBUG H3] Free server clicked - serverId: 1 serverName: 东京 01",
              emitted: ["东京 01", "🇯🇵", "JP", "45ms", 1, "vmess://line-1", false] },
            { tag: "free line the account may not use", server: server(2, "大阪", "free", false, false),
              log: "📍 选择免费服务器: 大阪 2", debug: "[DEBUG H3] Free server clicked - serverId: 2",
              emitted: ["大阪", "🇯🇵", "JP", "45ms", 2, "vmess://line-2", false] },
            { tag: "tier free asking for VIP", server: server(6, "台北", "free", true, false),
              log: "📍 选择免费服务器: 台北 6", debug: "[DEBUG H3] Free server clicked - serverId: 6",
              emitted: ["台北", "🇯🇵", "JP", "45ms", 6, "vmess://line-6", true] },
            { tag: "open VIP line", server: server(3, "首尔 VIP", "vip", true, true),
              log: "📍 选择VIP服务器: 首尔 VIP 3", debug: "[DEBUG H3] VIP server clicked - serverId: 3 serverName: 首尔 VIP",
              emitted: ["首尔 VIP", "🇯🇵", "JP", "45ms", 3, "vmess://line-3", true] },
            { tag: "the current line again", current: 3, server: server(3, "首尔 VIP", "vip", true, true),
              log: "📍 选择VIP服务器: 首尔 VIP 3", debug: "[DEBUG H3] VIP server clicked - serverId: 3",
              emitted: ["首尔 VIP", "🇯🇵", "JP", "45ms", 3, "vmess://line-3", true] },
            { tag: "no flag and no code", server: server(9, "未知", "free", false, true, { flag: "", countryCode: "" }),
              log: "📍 选择免费服务器: 未知 9", debug: "[DEBUG H3] Free server clicked - serverId: 9",
              emitted: ["未知", "🌐", "", "45ms", 9, "vmess://line-9", false] },
            { tag: "locked VIP line", server: server(4, "新加坡 VIP", "vip", true, false),
              log: "⚠️ 此服务器需要VIP权限", emitted: null }
        ]
    }

    function test_click(data) {
        var host = createHost(data.current === undefined ? -1 : data.current)
        load(host.page, [data.server])
        var row = rowsOf(host.page)[0]
        Log.clear()
        mouseClick(row)
        compare(Log.count(data.log), 1)
        if (data.emitted === null) {
            compare(Log.messages(), [data.log])
            compare(selectedSpy.count, 0)
            compare(host.page.selectedServerId, -1)
            compare(row.selected, false)
            return
        }
        compare(Log.count(data.debug), 1)
        compare(selectedSpy.count, 1)
        compare(selectedSpy.signalArguments[0].length, 7)
        for (var i = 0; i < 7; ++i)
            compare(selectedSpy.signalArguments[0][i], data.emitted[i], "argument " + i)
        compare(host.page.selectedServerId, data.server.id)
        compare(row.selected, true)
        // The link carries the server's credentials.
        compare(Log.count(data.server.vmessLink), 0)
    }

    function test_laterReplyReplacesTheLists() {
        var page = createHost().page
        load(page, [server(1, "东京 01", "free", false, true), server(3, "首尔 VIP", "vip", true, true)])
        load(page, [server(2, "大阪", "free", false, true)])
        var rows = rowsOf(page)
        compare(namesOf(rows, false), ["大阪"])
        compare(namesOf(rows, true), [])
        load(page, [])
        compare(rowsOf(page).length, 0)
        verify(Page.text(page, "正在加载服务器列表...").visible)
    }

    function test_errorOnlyLogs_data() {
        return [
            { tag: "before any rows", first: null, names: [], loading: true },
            { tag: "with rows", first: [server(1, "东京 01", "free", false, true)], names: ["东京 01"], loading: false }
        ]
    }

    function test_errorOnlyLogs(data) {
        var page = createHost().page
        if (data.first !== null)
            load(page, data.first)
        API.clearCalls()
        API.serversError("网络错误")
        compare(Log.count("❌ 服务器列表加载失败: 网络错误"), 1)
        compare(rowsOf(page).map(function(row) { return row.name }), data.names)
        compare(Page.text(page, "正在加载服务器列表...").visible, data.loading)
        compare(API.calls(), [])
    }

    function test_header() {
        var page = createHost().page
        var title = Page.text(page, "选择服务器")
        compare(title.font.pixelSize, 20)
        compare(title.font.bold, true)
        verify(Qt.colorEqual(title.color, Constants.textPrimary))
        fuzzyCompare(title.mapToItem(page, 0, 0).y + title.height / 2, 45, 1)
        fuzzyCompare(title.mapToItem(page, 0, 0).x + title.width / 2, 215, 1)
        var arrow = Page.text(page, "←")
        compare(arrow.mapToItem(page, 0, 0).x, 20)
        fuzzyCompare(arrow.mapToItem(page, 0, 0).y + arrow.height / 2, 45, 1)
        compare(arrow.font.pixelSize, 24)
        // The arrow lies inside the window's back square.
        verify(arrow.mapToItem(page, 0, 0).y >= 20 && arrow.mapToItem(page, 0, arrow.height).y <= 70)
    }

    function lines(count) {
        var servers = []
        for (var i = 1; i <= count; ++i)
            servers.push(server(i, "线路 " + i, "free", false, true))
        return servers
    }

    // A list that fits stays still; a long one scrolls by wheel and by drag until its last row
    // stands fully inside the window and takes a click.
    function test_scroll_data() {
        return [
            { tag: "fits, wheel", count: 3, how: "wheel", moves: false },
            { tag: "fits, drag", count: 3, how: "drag", moves: false },
            { tag: "long, wheel", count: 20, how: "wheel", moves: true },
            { tag: "long, drag", count: 20, how: "drag", moves: true }
        ]
    }

    function test_scroll(data) {
        var page = createHost().page
        load(page, lines(data.count))
        var list = listOf(page)
        var rows = rowsOf(page)
        var last = rows[rows.length - 1]
        compare(list.contentY, 0)

        for (var attempt = 0; attempt < 30 && !list.atYEnd; ++attempt) {
            if (data.how === "wheel")
                mouseWheel(list, 200, 400, 0, -120)
            else
                mouseDrag(list, 200, 600, 0, -400)
            tryCompare(list, "moving", false)
            if (!data.moves)
                break
        }
        if (!data.moves) {
            compare(list.contentY, 0)
            var title = Page.text(page, "免费线路 (Free)")
            compare(last.mapToItem(page, 0, 0).y, 86 + title.height + 8 + (data.count - 1) * 72)
            return
        }
        verify(list.atYEnd, "the list reached its end")
        fuzzyCompare(last.mapToItem(page, 0, last.height).y, 880, 1)
        mouseClick(last)
        compare(selectedSpy.count, 1)
        compare(selectedSpy.signalArguments[0][4], data.count)
    }
}
