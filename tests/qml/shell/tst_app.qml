import QtQuick
import QtQuick.Controls
import QtTest
import UntitledProject1Content

TestCase {
    id: testCase
    name: "App"
    when: windowShown

    Component {
        id: appComp
        App {}
    }

    // One window serves every row of the navigation table; each row starts on the home page.
    property var navigationApp: null

    readonly property var pageTypes: ({
        "home": ScreenWrapper,
        "login": LoginScreenWrapper,
        "register": RegisterScreenWrapper,
        "settings": SettingsScreenWrapper,
        "orders": MyOrdersScreenWrapper,
        "server": SelectServerScreen,
        "about": AboutUsScreen,
        "announcements": AnnouncementScreenWrapper,
        "vip": VipScreen
    })

    function init() {
        API.clearCalls()
    }

    function cleanupTestCase() {
        if (navigationApp)
            navigationApp.destroy()
    }

    function createApp() {
        var app = createTemporaryObject(appComp, testCase)
        verify(app, "App")
        // The content item takes the window's size once the window is shown.
        tryCompare(app.contentItem, "width", 430)
        return app
    }

    function stackOf(app) {
        var children = app.contentItem.children
        for (var i = 0; i < children.length; ++i) {
            if (children[i] instanceof StackView)
                return children[i]
        }
        fail("App has no StackView")
    }

    function dialogOf(app) {
        for (var i = 0; i < app.data.length; ++i) {
            if (app.data[i] instanceof MessageDialog)
                return app.data[i]
        }
        fail("App has no MessageDialog")
    }

    function waitForHome(app) {
        var stack = stackOf(app)
        tryVerify(function() { return stack.currentItem instanceof ScreenWrapper }, 4000, "home page shown")
        tryCompare(stack, "busy", false)
        return stack
    }

    // The screen of a stack level: the home page is its own level, every other page sits in a
    // page item above which the back button lies.
    function screenAt(stack, level) {
        var item = stack.get(level)
        return level === 0 ? item : item.children[0]
    }

    function topScreen(stack) {
        return screenAt(stack, stack.depth - 1)
    }

    function test_windowHasFixedSize() {
        var app = createApp()
        compare(app.width, 430)
        compare(app.height, 880)
        compare(app.minimumWidth, 430)
        compare(app.maximumWidth, 430)
        compare(app.minimumHeight, 880)
        compare(app.maximumHeight, 880)
        compare(app.title, "Norvane加速器")
        compare(app.appName, "Norvane加速器")
    }

    function test_completionAsksForTheSystemConfiguration() {
        createApp()
        compare(API.calls(), ["getSystemConfig()"])
    }

    function test_splashGivesWayToHomeAfter3000ms() {
        // The moment the splash goes is recorded, however late the test gets to look.
        var created = Date.now()
        var app = createTemporaryObject(appComp, testCase)
        verify(app, "App")
        var stack = stackOf(app)
        var shownFor = -1
        stack.currentItemChanged.connect(function() {
            if (shownFor < 0)
                shownFor = Date.now() - created
        })
        verify(stack.currentItem instanceof SplashScreen)
        tryCompare(app.contentItem, "width", 430)
        compare(stack.depth, 1)
        tryVerify(function() { return stack.currentItem instanceof ScreenWrapper }, 3700)
        verify(shownFor >= 2700, "splash still shown before 3000 ms: gone after " + shownFor + " ms")
        tryCompare(stack, "busy", false)
        compare(stack.depth, 1)
        verify(stack.find(function(item) { return item instanceof SplashScreen }) === null,
               "splash is gone from the stack")
    }

    function test_navigation_data() {
        return [
            { tag: "home: user box", steps: ["loginArea"], stack: ["home", "login"] },
            { tag: "home: announcement icon", steps: ["announcementArea"], stack: ["home", "announcements"] },
            { tag: "home: settings icon", steps: ["settingsArea"], stack: ["home", "settings"] },
            { tag: "home: server card", steps: ["selectServerArea"], stack: ["home", "server"] },
            { tag: "home: VIP card", steps: ["vipArea"], stack: ["home", "vip"] },
            { tag: "login: register link", steps: ["loginArea", "registerClicked"], stack: ["home", "login", "register"] },
            { tag: "login: success from home", steps: ["loginArea", "loginSuccess"], stack: ["home"] },
            { tag: "login: back", steps: ["loginArea", "back"], stack: ["home"] },
            { tag: "register: direct login", steps: ["loginArea", "registerClicked", "loginClicked"], stack: ["home", "login"] },
            { tag: "register: success", steps: ["loginArea", "registerClicked", "registerSuccess"], stack: ["home"] },
            { tag: "register: back", steps: ["loginArea", "registerClicked", "back"], stack: ["home", "login"] },
            { tag: "settings: orders", steps: ["settingsArea", "myOrdersClicked"], stack: ["home", "settings", "orders"] },
            { tag: "settings: announcements", steps: ["settingsArea", "announcementClicked"], stack: ["home", "settings", "announcements"] },
            { tag: "settings: about", steps: ["settingsArea", "aboutUsClicked"], stack: ["home", "settings", "about"] },
            { tag: "settings: VIP", steps: ["settingsArea", "vipClicked"], stack: ["home", "settings", "vip"] },
            { tag: "settings: login", steps: ["settingsArea", "loginClicked"], stack: ["home", "settings", "login"] },
            { tag: "settings: back", steps: ["settingsArea", "back"], stack: ["home"] },
            { tag: "orders: back", steps: ["settingsArea", "myOrdersClicked", "back"], stack: ["home", "settings"] },
            { tag: "about: back", steps: ["settingsArea", "aboutUsClicked", "back"], stack: ["home", "settings"] },
            { tag: "announcements from settings: back", steps: ["settingsArea", "announcementClicked", "back"], stack: ["home", "settings"] },
            { tag: "VIP from settings: back", steps: ["settingsArea", "vipClicked", "back"], stack: ["home", "settings"] },
            { tag: "announcements from home: back", steps: ["announcementArea", "back"], stack: ["home"] },
            { tag: "VIP from home: back", steps: ["vipArea", "back"], stack: ["home"] },
            { tag: "server: back", steps: ["selectServerArea", "back"], stack: ["home"] },
            { tag: "login from settings: success", steps: ["settingsArea", "loginClicked", "loginSuccess"], stack: ["home", "settings"] },
            { tag: "sign-up from settings: success", steps: ["settingsArea", "loginClicked", "registerClicked", "registerSuccess"], stack: ["home", "settings"] }
        ]
    }

    function test_navigation(data) {
        var stack
        if (!navigationApp) {
            navigationApp = appComp.createObject(testCase)
            stack = waitForHome(navigationApp)
        } else {
            stack = stackOf(navigationApp)
            stack.pop(null)
            tryCompare(stack, "busy", false)
        }
        compare(stack.depth, 1)

        for (var i = 0; i < data.steps.length; ++i) {
            var step = data.steps[i]
            var screen = topScreen(stack)
            if (step === "back")
                mouseClick(stack.currentItem, 45, 45)
            else if (step.endsWith("Area"))
                screen[step].clicked(null)
            else
                screen[step]()
            tryCompare(stack, "busy", false)
        }

        compare(stack.depth, data.stack.length)
        for (var level = 0; level < data.stack.length; ++level) {
            var page = screenAt(stack, level)
            verify(page instanceof pageTypes[data.stack[level]],
                   "level " + level + " is " + data.stack[level] + ", found " + page)
            compare(page.width, 430)
            compare(page.height, 880)
        }
    }

    function test_loginSuccessLeavesRegisterPageAboveInPlace() {
        var app = createApp()
        var stack = waitForHome(app)
        stack.currentItem.loginArea.clicked(null)
        tryCompare(stack, "busy", false)
        topScreen(stack).registerClicked()
        tryCompare(stack, "busy", false)

        // A sign-up's loginSuccess reaches the login page below the register page.
        screenAt(stack, 1).loginSuccess()
        tryCompare(stack, "busy", false)
        compare(stack.depth, 3)
        verify(topScreen(stack) instanceof RegisterScreenWrapper)

        topScreen(stack).registerSuccess()
        tryCompare(stack, "busy", false)
        compare(stack.depth, 1)
        verify(stack.currentItem instanceof ScreenWrapper)
    }

    // The VIP page of a window, with three plans and, when paying, an order under way.
    function openVipPage(app, paying) {
        var stack = waitForHome(app)
        stack.currentItem.vipArea.clicked(null)
        tryCompare(stack, "busy", false)
        var page = topScreen(stack)
        verify(page instanceof VipScreen)
        var plans = []
        for (var i = 1; i <= 3; ++i)
            plans.push({ id: i, name: "套餐" + i, days: 30, price: 10 * i, currency: "CNY", description: "",
                         formattedPrice: "", daysText: "", isActive: true })
        API.plansLoaded(plans)
        if (paying)
            API.paymentCreated({ orderId: "NV202501010001", paymentUrl: "", amount: 20, planName: "套餐2", planDays: 30 })
        compare(page.isPaying, paying)
        return stack
    }

    // Going back from the VIP page: the back control's line, the page's own, the stop of a
    // running poll, and only then the pop; the page's going stops nothing again.
    function test_leavingTheVipPage_data() {
        return [
            { tag: "while paying", paying: true,
              order: ["返回主界面", "🔙 返回上一页", "[FakeApi] stopPollingPayment()", "popped", "page removed"] },
            { tag: "while choosing", paying: false,
              order: ["返回主界面", "🔙 返回上一页", "popped", "page removed"] }
        ]
    }

    function test_leavingTheVipPage(data) {
        var app = createApp()
        var stack = openVipPage(app, data.paying)
        stack.depthChanged.connect(function() { console.log("popped") })
        stack.currentItem.StackView.removed.connect(function() { console.log("page removed") })
        API.clearCalls()
        API.setEchoCalls(true)
        Log.clear()

        mouseClick(stack.currentItem, 45, 45)
        tryCompare(stack, "busy", false)
        tryVerify(function() { return Log.count("page removed") === 1 })
        wait(0)
        API.setEchoCalls(false)
        compare(stack.depth, 1)
        var seen = Log.messages().filter(function(message) { return data.order.indexOf(message) >= 0 })
        compare(seen, data.order)
        compare(API.callCount("stopPollingPayment"), data.paying ? 1 : 0)
    }

    // A VIP page that goes with the window leaves no poll behind.
    function test_closingLeavesNoPoll_data() {
        return [
            { tag: "while paying", paying: true, stops: 1 },
            { tag: "while choosing", paying: false, stops: 0 }
        ]
    }

    function test_closingLeavesNoPoll(data) {
        var app = appComp.createObject(testCase)
        tryCompare(app.contentItem, "width", 430)
        openVipPage(app, data.paying)
        API.clearCalls()
        app.destroy()
        wait(0)
        compare(API.callCount("stopPollingPayment"), data.stops)
    }

    function test_defaultServerIsTakenOnlyWhileNoneIsSelected() {
        var app = createApp()
        var home = waitForHome(app).currentItem
        compare(home.selectedServerId, -1)
        compare(home.selectedServerName, "选择服务器")
        compare(home.selectedServerFlag, "🌐")

        home.defaultServerNeeded(7, "东京 01", "🇯🇵", "JP", "vmess://tokyo", true)
        compare(app.currentServerId, 7)
        compare(home.selectedServerId, 7)
        compare(home.selectedServerName, "东京 01")
        compare(home.selectedServerFlag, "🇯🇵")
        compare(home.selectedServerCountryCode, "JP")
        compare(home.selectedServerVmessLink, "vmess://tokyo")
        compare(home.selectedServerRequiresVip, true)
        compare(home.selectedServerLatency, "延迟: 45ms")

        home.defaultServerNeeded(8, "首尔", "🇰🇷", "KR", "vmess://seoul", false)
        compare(home.selectedServerId, 7)
        compare(home.selectedServerName, "东京 01")
        compare(home.selectedServerVmessLink, "vmess://tokyo")
    }

    function test_chosenServerWins_data() {
        return [
            { tag: "nothing chosen before", defaultFirst: false, markedId: -1 },
            { tag: "over a default server", defaultFirst: true, markedId: 7 }
        ]
    }

    function test_chosenServerWins(data) {
        var app = createApp()
        var stack = waitForHome(app)
        var home = stack.currentItem
        if (data.defaultFirst)
            home.defaultServerNeeded(7, "东京 01", "🇯🇵", "JP", "vmess://tokyo", false)

        home.selectServerArea.clicked(null)
        tryCompare(stack, "busy", false)
        var serverPage = topScreen(stack)
        verify(serverPage instanceof SelectServerScreen)
        compare(serverPage.selectedServerId, data.markedId)

        serverPage.serverSelected("香港 02", "🇭🇰", "HK", "45ms", 9, "vmess://hongkong", true)
        tryCompare(stack, "busy", false)
        compare(stack.depth, 1)
        compare(home.selectedServerName, "香港 02")
        compare(home.selectedServerFlag, "🇭🇰")
        compare(home.selectedServerCountryCode, "HK")
        compare(home.selectedServerLatency, "45ms")
        compare(home.selectedServerId, 9)
        compare(home.selectedServerVmessLink, "vmess://hongkong")
        compare(home.selectedServerRequiresVip, true)

        home.defaultServerNeeded(8, "首尔", "🇰🇷", "KR", "vmess://seoul", false)
        compare(home.selectedServerId, 9)
        compare(home.selectedServerLatency, "45ms")
    }

    function test_forcedDisconnectOpensWarningDialog_data() {
        return [
            { tag: "over the splash", page: "" },
            { tag: "over a pushed page", page: "settingsArea" }
        ]
    }

    function test_forcedDisconnectOpensWarningDialog(data) {
        var app = createApp()
        if (data.page !== "") {
            var stack = waitForHome(app)
            stack.currentItem[data.page].clicked(null)
            tryCompare(stack, "busy", false)
        }
        var dialog = dialogOf(app)
        compare(dialog.opened, false)

        API.vpnForceDisconnected("您的账号在其他设备登录，已被强制下线")
        tryCompare(dialog, "opened", true)
        compare(dialog.titleText, "警告")
        compare(dialog.iconText, "⚠️")
        verify(Qt.colorEqual(dialog.iconColor, "#FF9800"))
        compare(dialog.messageText, "您的账号在其他设备登录，已被强制下线")
        compare(dialog.width, 344)
        fuzzyCompare(dialog.x, (430 - dialog.width) / 2, 1)
        fuzzyCompare(dialog.y, (880 - dialog.height) / 2, 1)

        API.vpnForceDisconnected("设备已被禁用")
        compare(dialog.messageText, "设备已被禁用")
        compare(dialog.opened, true)
        compare(dialog.visible, true)
    }

    function test_closingDisconnectsVpn_data() {
        return [
            { tag: "during the splash", waitForHome: false },
            { tag: "on the home page", waitForHome: true }
        ]
    }

    function test_closingDisconnectsVpn(data) {
        var app = createApp()
        if (data.waitForHome)
            waitForHome(app)
        compare(API.callCount("disconnectVpn"), 0)
        app.close()
        compare(API.callCount("disconnectVpn"), 1)
        compare(app.visible, false)
    }

    function test_systemConfiguration_data() {
        return [
            { tag: "name and maintenance", configs: [{ appName: "极速VPN", maintenanceMode: true, enableRegistration: true }],
              title: "极速VPN", maintenance: true, warnings: 1 },
            { tag: "empty name", configs: [{ appName: "", maintenanceMode: false }],
              title: "Norvane加速器", maintenance: false, warnings: 0 },
            { tag: "no keys", configs: [{}],
              title: "Norvane加速器", maintenance: false, warnings: 0 },
            { tag: "later one without maintenance", configs: [{ appName: "极速VPN", maintenanceMode: true }, { enableRegistration: false }],
              title: "极速VPN", maintenance: false, warnings: 1 },
            { tag: "later empty name keeps the last", configs: [{ appName: "极速VPN" }, { appName: "" }],
              title: "极速VPN", maintenance: false, warnings: 0 }
        ]
    }

    function test_systemConfiguration(data) {
        var app = createApp()
        for (var w = 0; w < data.warnings; ++w)
            ignoreWarning("⚠️ 系统处于维护模式")
        if (data.warnings === 0)
            failOnWarning("⚠️ 系统处于维护模式")
        for (var i = 0; i < data.configs.length; ++i)
            API.systemConfigLoaded(data.configs[i])
        compare(app.title, data.title)
        compare(app.appName, data.title)
        compare(app.maintenanceMode, data.maintenance)
    }
}
