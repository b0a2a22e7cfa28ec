import QtQuick
import QtTest
import UntitledProject1
import UntitledProject1Content
import "../PageItems.js" as Page
import "../Placement.js" as Placement

TestCase {
    id: testCase
    name: "SettingsPage"
    when: windowShown
    // Shown, so that the pages take real clicks.
    visible: true
    width: 430
    height: 880

    Component {
        id: wrapperComp
        SettingsScreenWrapper {
            width: 430
            height: 880
        }
    }

    Component {
        id: formComp
        SettingsScreen {}
    }

    Component {
        id: spyComp
        SignalSpy {}
    }

    readonly property var signedOut: ({ isLoggedIn: false, userEmail: "", userName: "", isVip: false, vipDays: 0 })
    readonly property var navigationSignals: ["vipClicked", "myOrdersClicked", "announcementClicked", "aboutUsClicked", "loginClicked"]

    function init() {
        API.setAccount(signedOut)
        API.clearCalls()
        Log.clear()
    }

    function createPage(account) {
        API.setAccount(account)
        var page = createTemporaryObject(wrapperComp, testCase)
        verify(page, "settings page")
        return page
    }

    function spiesOn(page) {
        var spies = {}
        for (var i = 0; i < navigationSignals.length; ++i)
            spies[navigationSignals[i]] = createTemporaryObject(spyComp, testCase, { target: page, signalName: navigationSignals[i] })
        return spies
    }

    function avatarOf(page, letter) {
        var text = Page.shown(page, letter)
        verify(text, "avatar letter " + letter)
        return text.parent
    }

    function test_userCard_data() {
        return [
            { tag: "signed out", account: signedOut,
              letter: "?", letterColour: Constants.primaryFree, tint: Qt.rgba(128 / 255, 128 / 255, 128 / 255, 0.1),
              nameLine: "未登录", star: false, emailLine: "", membership: "点击登录",
              membershipColour: Constants.textSecondary, arrow: true },
            { tag: "empty name", account: { isLoggedIn: true, userEmail: "bob@example.com", userName: "", isVip: false, vipDays: 0 },
              letter: "U", letterColour: Constants.primaryFree, tint: Qt.rgba(0, 1, 217 / 255, 0.1),
              nameLine: "bob@example.com", star: false, emailLine: "bob@example.com", membership: "免费用户",
              membershipColour: Constants.textSecondary, arrow: false },
            { tag: "alice", account: { isLoggedIn: true, userEmail: "alice@example.com", userName: "alice", isVip: false, vipDays: 0 },
              letter: "A", letterColour: Constants.primaryFree, tint: Qt.rgba(0, 1, 217 / 255, 0.1),
              nameLine: "alice", star: false, emailLine: "alice@example.com", membership: "免费用户",
              membershipColour: Constants.textSecondary, arrow: false },
            { tag: "Chinese name", account: { isLoggedIn: true, userEmail: "zhang@example.com", userName: "张三", isVip: false, vipDays: 0 },
              letter: "张", letterColour: Constants.primaryFree, tint: Qt.rgba(0, 1, 217 / 255, 0.1),
              nameLine: "张三", star: false, emailLine: "zhang@example.com", membership: "免费用户",
              membershipColour: Constants.textSecondary, arrow: false },
            { tag: "VIP with 1 day", account: { isLoggedIn: true, userEmail: "vip@example.com", userName: "vip", isVip: true, vipDays: 1 },
              letter: "V", letterColour: Constants.colorVip, tint: Qt.rgba(1, 215 / 255, 0, 0.2),
              nameLine: "vip", star: true, emailLine: "vip@example.com", membership: "VIP会员 · 剩余1天",
              membershipColour: Constants.colorVip, arrow: false },
            { tag: "VIP flag while signed out", account: { isLoggedIn: false, userEmail: "", userName: "", isVip: true, vipDays: 3 },
              letter: "?", letterColour: Constants.colorVip, tint: Qt.rgba(128 / 255, 128 / 255, 128 / 255, 0.1),
              nameLine: "未登录", star: false, emailLine: "", membership: "点击登录",
              membershipColour: Constants.colorVip, arrow: true }
        ]
    }

    function test_userCard(data) {
        var page = createPage(data.account)
        compare(Log.count("📱 设置界面加载，初始化用户信息"), 1)

        var avatar = avatarOf(page, data.letter)
        verify(Qt.colorEqual(avatar.color, data.tint), "avatar tint " + avatar.color)
        verify(Qt.colorEqual(Page.shown(page, data.letter).color, data.letterColour), "letter colour")

        var nameLine = Page.shown(page, data.nameLine)
        verify(nameLine, "name line " + data.nameLine)
        compare(nameLine.font.pixelSize, 16)
        compare(Page.shownCount(page, "⭐"), data.star ? 1 : 0)
        if (data.emailLine !== "") {
            // With an empty name the e-mail address shows on both lines.
            compare(Page.shownCount(page, data.emailLine), data.nameLine === data.emailLine ? 2 : 1)
        }
        var membership = Page.shown(page, data.membership)
        verify(membership, "membership line " + data.membership)
        verify(Qt.colorEqual(membership.color, data.membershipColour), "membership colour " + membership.color)
        // The card's ">" besides the six menu arrows.
        compare(Page.shownCount(page, ">"), data.arrow ? 7 : 6)
    }

    // The name, star and address keep the card's margin of 16: a long one ends in an ellipsis,
    // the service's own accounts show whole.
    function test_userCardKeepsItsTexts_data() {
        return [
            { tag: "address of a user without a name", whole: false,
              account: { isLoggedIn: true, userEmail: "zhangsan.work2024.longname@example.com", userName: "" } },
            { tag: "36-character VIP name", whole: false,
              account: { isLoggedIn: true, userEmail: "vip@example.com", userName: "Alexandra Konstantinopoulou-Smithson", isVip: true, vipDays: 3 } },
            { tag: "the service's free user", whole: true,
              account: { isLoggedIn: true, userEmail: "demo@norvane.local", userName: "演示用户" } },
            { tag: "the service's VIP", whole: true,
              account: { isLoggedIn: true, userEmail: "vip@norvane.local", userName: "演示VIP", isVip: true, vipDays: 30 } }
        ]
    }

    function test_userCardKeepsItsTexts(data) {
        var account = data.account
        if (account.userName.length > 30)
            compare(account.userName.length, 36)
        var page = createPage(account)
        Page.settle(testCase, page)
        var shownName = account.userName || account.userEmail
        var name = Page.texts(page, shownName).filter(function(t) { return t.font.pixelSize === 16 })[0]
        var address = Page.texts(page, account.userEmail).filter(function(t) { return t.font.pixelSize === 11 })[0]
        verify(name && address)
        var card = Page.ancestor(name, function(item) { return item.height === 80 && item.radius === 16 })
        Placement.verifyInside(testCase, name, card, 16, "name line")
        Placement.verifyInside(testCase, address, card, 16, "address line")
        if (account.isVip)
            Placement.verifyInside(testCase, Page.shown(page, "⭐"), card, 16, "star")
        if (data.whole) {
            Placement.verifyWhole(testCase, name, "name line")
            Placement.verifyWhole(testCase, address, "address line")
        } else {
            verify(name.truncated, "the long name ends in an ellipsis")
        }
    }

    // Whichever font draws an icon (the about entry's "ℹ️" comes from a text font), every entry
    // gives it the same box, so that the titles start at one place.
    function test_menuTitlesLineUp() {
        var page = createPage(signedOut)
        Page.settle(testCase, page)
        var titles = ["升级 VIP 会员", "应用设置", "我的订单", "公告系统", "安全与隐私", "关于我们"]
        var first = Placement.box(Page.shown(page, titles[0])).left
        for (var i = 1; i < titles.length; ++i)
            compare(Placement.box(Page.shown(page, titles[i])).left, first, titles[i])
        var icon = Page.shown(page, "ℹ️")
        compare(icon.width, Page.shown(page, "👑").width)
        // The glyph sits in the middle of its box.
        compare(icon.horizontalAlignment, Text.AlignHCenter)
    }

    // The card's own geometry: the avatar at the card's left, the card from y 86 to 166.
    function test_cardClickOpensLoginOnlyWhileSignedOut_data() {
        return [
            { tag: "signed out", account: signedOut, clicks: 1 },
            { tag: "signed in", account: { isLoggedIn: true, userEmail: "alice@example.com", userName: "alice" }, clicks: 0 }
        ]
    }

    function test_cardClickOpensLoginOnlyWhileSignedOut(data) {
        var page = createPage(data.account)
        var spies = spiesOn(page)
        mouseClick(page, 300, 126)
        mouseClick(page, 40, 90)
        compare(spies.loginClicked.count, data.clicks * 2)
        compare(Log.count("📱 点击未登录，跳转到登录页面"), data.clicks * 2)
        compare(Log.count("📱 SettingsWrapper收到登录跳转信号"), data.clicks * 2)
        // Nothing above or below the card.
        mouseClick(page, 215, 80)
        compare(spies.loginClicked.count, data.clicks * 2)
    }

    // Clicks at the places where the menu draws each entry (y 182, 254, ..., 542, 72 apart).
    function test_menuNavigation_data() {
        var rows = []
        var places = [
            { entry: "VIP upgrade", y: 182, signalName: "vipClicked", log: "👑 点击升级VIP会员" },
            { entry: "application settings", y: 254, signalName: "", log: "" },
            { entry: "my orders", y: 326, signalName: "myOrdersClicked", log: "点击我的订单" },
            { entry: "announcements", y: 398, signalName: "announcementClicked", log: "点击公告系统" },
            { entry: "security and privacy", y: 470, signalName: "", log: "" },
            { entry: "about us", y: 542, signalName: "aboutUsClicked", log: "点击关于我们" },
            { entry: "back arrow", y: 35, x: 30, signalName: "", log: "" },
            { entry: "title", y: 35, x: 215, signalName: "", log: "" }
        ]
        for (var i = 0; i < places.length; ++i) {
            var p = places[i]
            rows.push({ tag: p.entry + ", signed out", account: signedOut, x: p.x, y: p.y, signalName: p.signalName, log: p.log })
            rows.push({ tag: p.entry + ", signed in", account: { isLoggedIn: true, userEmail: "a@b.c", userName: "a" },
                        x: p.x, y: p.y, signalName: p.signalName, log: p.log })
        }
        return rows
    }

    function test_menuNavigation(data) {
        var page = createPage(data.account)
        var spies = spiesOn(page)
        // Near the card's top edge, its middle and its right end with the arrow.
        var points = data.x !== undefined ? [[data.x, data.y + 10]] : [[30, data.y + 4], [215, data.y + 30], [385, data.y + 56]]
        for (var i = 0; i < points.length; ++i)
            mouseClick(page, points[i][0], points[i][1])
        for (var name in spies)
            compare(spies[name].count, name === data.signalName ? points.length : 0, name)
        if (data.log !== "")
            compare(Log.count(data.log), points.length)
        compare(API.calls(), [])
    }

    function test_vipEntryTexts_data() {
        return [
            { tag: "not VIP", isVip: false, vipDays: 12, title: "升级 VIP 会员", subtitle: "解锁所有高级功能" },
            { tag: "VIP, 30 days", isVip: true, vipDays: 30, title: "VIP会员 剩余30天", subtitle: "感谢您的支持" },
            { tag: "VIP, 0 days", isVip: true, vipDays: 0, title: "VIP会员 剩余0天", subtitle: "感谢您的支持" }
        ]
    }

    // The texts follow the form's properties at once; the gold colours stay in both states.
    function test_vipEntryTexts(data) {
        var form = createTemporaryObject(formComp, testCase)
        verify(Page.shown(form, "升级 VIP 会员"))
        form.isVip = data.isVip
        form.vipDays = data.vipDays
        var title = Page.shown(form, data.title)
        verify(title, data.title)
        verify(Page.shown(form, data.subtitle), data.subtitle)
        verify(Qt.colorEqual(title.color, Constants.primaryVip))
        var card = Page.ancestor(title, function(item) { return item.height === 60 })
        compare(card.border.width, 1)
        verify(Qt.colorEqual(card.border.color, Qt.rgba(1, 215 / 255, 0, 0.3)))
    }

    function test_signOutEntry_data() {
        return [
            { tag: "signed out", account: signedOut, shown: false },
            { tag: "signed in", account: { isLoggedIn: true, userEmail: "alice@example.com", userName: "alice" }, shown: true }
        ]
    }

    // Signed in, the entry lies 12 below the about entry (y 614 to 664); each click asks
    // "API" again, which itself ignores a second sign-out while one runs.
    function test_signOutEntry(data) {
        var page = createPage(data.account)
        var entry = Page.shown(page, "退出登录")
        compare(entry !== null, data.shown)
        mouseClick(page, 215, 639)
        mouseClick(page, 215, 639)
        compare(API.callCount("logout"), data.shown ? 2 : 0)
        compare(Log.count("🔴 用户点击退出登录"), data.shown ? 2 : 0)
        compare(Log.count("🔴 SettingsWrapper收到退出登录信号"), data.shown ? 2 : 0)
        if (data.shown) {
            var card = Page.ancestor(entry, function(item) { return item.height === 50 })
            compare(card.mapToItem(page, 0, 0).y, 614)
            compare(card.width, 390)
        }
    }

    // A sign-out as "API" delivers it: the signed-in look stays until the request ends, then
    // one loginStateChanged(false) while the fields still hold the user, the cleared fields,
    // and three more loginStateChanged(false).
    function test_signOutSequence() {
        var page = createPage({ isLoggedIn: true, userEmail: "vip@example.com", userName: "vip", isVip: true, vipDays: 9 })
        var spies = spiesOn(page)
        mouseClick(page, 215, 639)
        compare(API.callCount("logout"), 1)
        verify(Page.shown(page, "退出登录"), "signed-in look until the sign-out ends")
        verify(Page.shown(page, "VIP会员 · 剩余9天"))

        API.setAccount({ isLoggedIn: false })
        API.loginStateChanged(false)
        var membership = Page.shown(page, "点击登录")
        verify(membership)
        verify(Qt.colorEqual(membership.color, Constants.colorVip), "still the VIP colour before the fields clear")
        compare(Page.shownCount(page, "⭐"), 0)

        API.setAccount(signedOut)
        API.userInfoChanged()
        for (var i = 0; i < 3; ++i)
            API.loginStateChanged(false)
        verify(Page.shown(page, "未登录"))
        verify(Qt.colorEqual(Page.shown(page, "点击登录").color, Constants.textSecondary))
        verify(Qt.colorEqual(Page.shown(page, "?").color, Constants.primaryFree))
        verify(Page.shown(page, "升级 VIP 会员"))
        compare(Page.shown(page, "退出登录"), null)
        compare(Log.count("设置界面：登录状态变更: false"), 4)
        compare(Log.count("✅ 设置界面：用户信息已更新"), 1)

        // The page stays; the card now leads to the login page.
        Page.settle(testCase, page)
        mouseClick(page, 215, 126)
        compare(spies.loginClicked.count, 1)
        mouseClick(page, 215, 639)
        compare(API.callCount("logout"), 1)
    }

    // A sign-in delivers userInfoChanged before each loginStateChanged(true); a lone
    // loginStateChanged(true) takes the e-mail, name and VIP state but not the days.
    function test_signInUpdatesCard() {
        var page = createPage(signedOut)
        API.setAccount({ isLoggedIn: true, userEmail: "alice@example.com", userName: "alice", isVip: true, vipDays: 30 })
        API.loginStateChanged(true)
        verify(Page.shown(page, "alice"))
        verify(Page.shown(page, "alice@example.com"))
        verify(Page.shown(page, "VIP会员 · 剩余0天"))
        verify(Page.shown(page, "VIP会员 剩余0天"))
        verify(Page.shown(page, "退出登录"))
        compare(Log.count("设置界面：登录状态变更: true"), 1)

        API.userInfoChanged()
        verify(Page.shown(page, "VIP会员 · 剩余30天"))
        verify(Page.shown(page, "VIP会员 剩余30天"))
        compare(Page.shownCount(page, "⭐"), 1)
    }
}
