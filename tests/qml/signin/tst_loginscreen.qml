import QtQuick
import QtQuick.Controls
import QtTest
import UntitledProject1
import UntitledProject1Content
import "../PageItems.js" as Page

TestCase {
    id: testCase
    name: "LoginScreen"
    when: windowShown
    visible: true
    width: 430
    height: 880

    Component {
        id: pageComp
        LoginScreenWrapper {
            width: 430
            height: 880
        }
    }

    SignalSpy {
        id: loginSuccessSpy
        signalName: "loginSuccess"
    }

    SignalSpy {
        id: registerSpy
        signalName: "registerClicked"
    }

    readonly property color tint: Qt.rgba(0, 1, 217 / 255, 0.3)

    function createPage() {
        var page = createTemporaryObject(pageComp, testCase)
        verify(page, "login page")
        loginSuccessSpy.clear()
        loginSuccessSpy.target = page
        registerSpy.clear()
        registerSpy.target = page
        API.clearCalls()
        Log.clear()
        return page
    }

    function button(page) {
        var found = Page.first(page, function(item) { return item instanceof Button })
        verify(found, "sign-in button")
        return found
    }

    function typeText(item, text) {
        mouseClick(item)
        for (var i = 0; i < text.length; ++i)
            keyClick(text[i])
    }

    function checkNoPassword(password) {
        var messages = Log.messages()
        for (var i = 0; i < messages.length; ++i)
            verify(messages[i].indexOf(password) < 0, "password in the log: " + messages[i])
    }

    function test_layout() {
        var page = createPage()
        var title = Page.text(page, "欢迎回来")
        var subtitle = Page.text(page, "请登录您的 Norvane 账号")
        var account = Page.field(page, "邮箱 / 用户名")
        var password = Page.field(page, "密码")
        var signIn = button(page)
        var column = title.parent

        compare(column.width, 344)
        compare(column.mapToItem(page, 0, 0).x, 43)
        fuzzyCompare(column.mapToItem(page, 0, 0).y, (880 - column.height) / 2, 1)
        compare(column.spacing, 24)
        compare(account.width, 344)
        compare(account.height, 50)
        compare(password.width, 344)
        compare(password.height, 50)
        compare(signIn.width, 344)
        compare(signIn.height, 50)
        // The subtitle's padding and the column's spacing lie between its text and the first field.
        compare(account.y - (subtitle.y + subtitle.contentHeight), 44)
        compare(password.echoMode, TextInput.Password)
        compare(account.echoMode, TextInput.Normal)

        var arrow = Page.text(page, "←")
        compare(arrow.parent.mapToItem(page, 0, 0), Qt.point(20, 20))
        compare(arrow.parent.width, 40)
        compare(arrow.parent.height, 40)
        compare(arrow.font.pixelSize, 24)
    }

    function test_texts_data() {
        return [
            { tag: "title", text: "欢迎回来", colour: Constants.textPrimary, size: 28, bold: true, underline: false },
            { tag: "subtitle", text: "请登录您的 Norvane 账号", colour: Constants.textSecondary, size: 14, bold: false, underline: false },
            { tag: "button label", text: "登 录", colour: "#0A0E27", size: 16, bold: true, underline: false },
            { tag: "sign-up link", text: "立即注册", colour: Constants.primaryFree, size: 14, bold: true, underline: true },
            { tag: "forgot password", text: "忘记密码?", colour: Constants.textSecondary, size: 14, bold: false, underline: false }
        ]
    }

    function test_texts(data) {
        var page = createPage()
        var item = Page.text(page, data.text)
        verify(Qt.colorEqual(item.color, data.colour), "colour " + item.color)
        compare(item.font.pixelSize, data.size)
        compare(item.font.bold, data.bold)
        compare(item.font.underline, data.underline)
        compare(item.font.family, Constants.font.family)
    }

    function test_signInPassesTextsUnchanged_data() {
        return [
            { tag: "both empty", account: "", password: "", clicks: 1 },
            { tag: "spaces kept", account: " demo@norvane.local ", password: " pass word ", clicks: 1 },
            { tag: "two quick clicks", account: "demo@norvane.local", password: "demo1234", clicks: 2 }
        ]
    }

    function test_signInPassesTextsUnchanged(data) {
        var page = createPage()
        typeText(Page.field(page, "邮箱 / 用户名"), data.account)
        typeText(Page.field(page, "密码"), data.password)
        for (var i = 0; i < data.clicks; ++i)
            mouseClick(button(page))

        var expected = []
        for (var j = 0; j < data.clicks; ++j)
            expected.push("login(" + data.account + ", " + data.password + ")")
        compare(API.calls(), expected)
        compare(Log.count("尝试登录用户: " + data.account), data.clicks)
        if (data.password !== "")
            checkNoPassword(data.password)
        compare(loginSuccessSpy.count, 0)
    }

    function test_enterDoesNotSignIn_data() {
        return [
            { tag: "account field, Return", placeholder: "邮箱 / 用户名", key: Qt.Key_Return },
            { tag: "account field, Enter", placeholder: "邮箱 / 用户名", key: Qt.Key_Enter },
            { tag: "password field, Return", placeholder: "密码", key: Qt.Key_Return },
            { tag: "password field, Enter", placeholder: "密码", key: Qt.Key_Enter }
        ]
    }

    function test_enterDoesNotSignIn(data) {
        var page = createPage()
        typeText(Page.field(page, data.placeholder), "abc")
        keyClick(data.key)
        compare(API.callCount("login"), 0)
        compare(Page.field(page, data.placeholder).text, "abc")
    }

    function test_results_data() {
        return [
            { tag: "success", signal: "loginSuccess", argument: undefined, successes: 1, log: "登录成功" },
            { tag: "failure", signal: "loginError", argument: "密码错误", successes: 0, log: "登录失败: 密码错误" },
            { tag: "failure without a reason", signal: "loginError", argument: "", successes: 0, log: "登录失败: " }
        ]
    }

    function test_results(data) {
        var page = createPage()
        typeText(Page.field(page, "邮箱 / 用户名"), "demo@norvane.local")
        typeText(Page.field(page, "密码"), "wrong")
        if (data.argument === undefined)
            API[data.signal]()
        else
            API[data.signal](data.argument)

        compare(loginSuccessSpy.count, data.successes)
        compare(Log.count(data.log), 1)
        // Nothing is shown and nothing changes on the page.
        compare(Page.field(page, "邮箱 / 用户名").text, "demo@norvane.local")
        compare(Page.field(page, "密码").text, "wrong")
        var overlay = page.Overlay.overlay
        for (var i = 0; i < overlay.children.length; ++i)
            verify(!overlay.children[i].visible, "a notice is shown")
        compare(API.calls(), [])
    }

    function test_links_data() {
        return [
            { tag: "sign-up link", text: "立即注册", registers: 1, logs: ["🔗 点击立即注册", "🔗 跳转到注册页面"] },
            { tag: "forgot password", text: "忘记密码?", registers: 0, logs: [] },
            { tag: "drawn arrow", text: "←", registers: 0, logs: [] }
        ]
    }

    function test_links(data) {
        var page = createPage()
        typeText(Page.field(page, "邮箱 / 用户名"), "kept")
        Log.clear()
        mouseClick(Page.text(page, data.text))
        compare(registerSpy.count, data.registers)
        compare(Log.messages(), data.logs)
        compare(API.calls(), [])
        compare(loginSuccessSpy.count, 0)
        compare(Page.field(page, "邮箱 / 用户名").text, "kept")
    }

    function test_fieldBorderFollowsFocus() {
        var page = createPage()
        var account = Page.field(page, "邮箱 / 用户名")
        var password = Page.field(page, "密码")
        verify(Qt.colorEqual(account.background.border.color, tint), "account tinted at opening")
        verify(Qt.colorEqual(password.background.border.color, tint), "password tinted at opening")
        compare(account.background.border.width, 1)
        compare(account.background.radius, 12)
        compare(account.background.color, Qt.rgba(0, 0, 0, 0))

        mouseClick(account)
        verify(Qt.colorEqual(account.background.border.color, Constants.primaryFree))
        verify(Qt.colorEqual(password.background.border.color, tint))

        mouseClick(password)
        verify(Qt.colorEqual(account.background.border.color, tint))
        verify(Qt.colorEqual(password.background.border.color, Constants.primaryFree))
    }

    function test_buttonDarkensWhileHeld() {
        var page = createPage()
        var signIn = button(page)
        verify(Qt.colorEqual(signIn.background.color, Constants.primaryFree))
        compare(signIn.background.radius, 12)
        mousePress(signIn)
        var held = signIn.background.color
        fuzzyCompare(held.hsvHue, Constants.primaryFree.hsvHue, 0.01)
        fuzzyCompare(held.hsvSaturation, Constants.primaryFree.hsvSaturation, 0.01)
        fuzzyCompare(held.hsvValue, Constants.primaryFree.hsvValue / 2, 0.01)
        mouseRelease(signIn)
        verify(Qt.colorEqual(signIn.background.color, Constants.primaryFree))
    }
}
