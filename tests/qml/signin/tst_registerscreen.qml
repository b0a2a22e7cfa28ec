import QtQuick
import QtQuick.Controls
import QtTest
import UntitledProject1
import UntitledProject1Content
import "../PageItems.js" as Page

TestCase {
    id: testCase
    name: "RegisterScreen"
    when: windowShown
    visible: true
    width: 430
    height: 880

    Component {
        id: pageComp
        RegisterScreenWrapper {
            width: 430
            height: 880
        }
    }

    SignalSpy {
        id: registerSuccessSpy
        signalName: "registerSuccess"
    }

    SignalSpy {
        id: loginClickedSpy
        signalName: "loginClicked"
    }

    readonly property color tint: Qt.rgba(0, 1, 217 / 255, 0.3)

    function createPage() {
        var page = createTemporaryObject(pageComp, testCase)
        verify(page, "registration page")
        registerSuccessSpy.clear()
        registerSuccessSpy.target = page
        loginClickedSpy.clear()
        loginClickedSpy.target = page
        API.clearCalls()
        Log.clear()
        return page
    }

    function signUpButton(page) {
        var found = Page.first(page, function(item) { return item instanceof Button && item.text === "立即注册" })
        verify(found, "sign-up button")
        return found
    }

    function dialogOf(page) {
        for (var i = 0; i < page.data.length; ++i) {
            if (page.data[i] instanceof MessageDialog)
                return page.data[i]
        }
        fail("the page has no MessageDialog")
    }

    function okButton(dialog) {
        var found = Page.first(dialog.contentItem, function(item) { return item instanceof Button })
        verify(found, "dialog button")
        return found
    }

    function signUp(page, email, password, confirmation) {
        Page.field(page, "电子邮箱").text = email
        Page.field(page, "设置密码 (至少6位)").text = password
        Page.field(page, "确认密码").text = confirmation
        mouseClick(signUpButton(page))
    }

    function errorLines() {
        return Log.messages().filter(function(line) { return line.indexOf("❌") === 0 })
    }

    function test_layout() {
        var page = createPage()
        var title = Page.text(page, "创建账号")
        var subtitle = Page.text(page, "开启高速网络体验")
        var email = Page.field(page, "电子邮箱")
        var column = title.parent
        compare(column.width, 344)
        compare(column.spacing, 20)
        compare(column.mapToItem(page, 0, 0).x, 43)
        fuzzyCompare(column.mapToItem(page, 0, 0).y, (880 - column.height) / 2, 1)
        compare(email.y - (subtitle.y + subtitle.contentHeight), 30)

        var placeholders = ["电子邮箱", "设置密码 (至少6位)", "确认密码"]
        var echo = [TextInput.Normal, TextInput.Password, TextInput.Password]
        for (var i = 0; i < placeholders.length; ++i) {
            var input = Page.field(page, placeholders[i])
            compare(input.width, 344)
            compare(input.height, 50)
            compare(input.echoMode, echo[i])
            // Nothing has focus when the page opens.
            verify(Qt.colorEqual(input.background.border.color, tint), placeholders[i] + " tinted")
        }
        compare(signUpButton(page).width, 344)
        compare(signUpButton(page).height, 50)

        var row = Page.text(page, "已有账号?").parent
        compare(row.spacing, 8)
        fuzzyCompare(row.mapToItem(page, 0, 0).x + row.width / 2, 215, 1)
        var terms = Page.text(page, "注册即代表同意《服务条款》和《隐私政策》")
        compare(terms.width, 344)
        compare(terms.y + terms.topPadding - (row.y + row.height), 30)
        compare(terms.font.pixelSize, 12)
        verify(Qt.colorEqual(terms.color, Constants.textHint))
        compare(terms.horizontalAlignment, Text.AlignHCenter)
        compare(terms.wrapMode, Text.WordWrap)

        var link = Page.text(page, "直接登录")
        verify(Qt.colorEqual(link.color, Constants.primaryFree))
        compare(link.font.bold, true)
        compare(link.font.underline, true)
        compare(Page.text(page, "←").parent.mapToItem(page, 0, 0), Qt.point(20, 20))

        var dialog = dialogOf(page)
        compare(dialog.parent, page)
        compare(dialog.opened, false)
    }

    // Only the first failing check is reported; name is what a passing sign-up sends.
    function test_inputChecks_data() {
        var bmpOutside = "\uD83D\uDE00"
        return [
            { tag: "empty e-mail", email: "", password: "abcdef", confirmation: "abcdef",
              log: "❌ 邮箱不能为空", message: "请输入邮箱地址" },
            { tag: "blank e-mail", email: "   ", password: "abcdef", confirmation: "abcdef",
              log: "❌ 邮箱不能为空", message: "请输入邮箱地址" },
            { tag: "leading space", email: " user@example.com", password: "abcdef", confirmation: "abcdef",
              log: "❌ 邮箱格式不正确", message: "请输入正确的邮箱格式" },
            { tag: "trailing space", email: "user@example.com ", password: "abcdef", confirmation: "abcdef",
              log: "❌ 邮箱格式不正确", message: "请输入正确的邮箱格式" },
            { tag: "no dot after @", email: "user@example", password: "abcdef", confirmation: "abcdef",
              log: "❌ 邮箱格式不正确", message: "请输入正确的邮箱格式" },
            { tag: "nothing before @", email: "@example.com", password: "abcdef", confirmation: "abcdef",
              log: "❌ 邮箱格式不正确", message: "请输入正确的邮箱格式" },
            { tag: "two @", email: "user@mail@example.com", password: "abcdef", confirmation: "abcdef",
              log: "❌ 邮箱格式不正确", message: "请输入正确的邮箱格式" },
            { tag: "space inside", email: "us er@example.com", password: "abcdef", confirmation: "abcdef",
              log: "❌ 邮箱格式不正确", message: "请输入正确的邮箱格式" },
            { tag: "dot right after @", email: "user@.com", password: "abcdef", confirmation: "abcdef",
              log: "❌ 邮箱格式不正确", message: "请输入正确的邮箱格式" },
            { tag: "dot at the end", email: "user@example.", password: "abcdef", confirmation: "abcdef",
              log: "❌ 邮箱格式不正确", message: "请输入正确的邮箱格式" },
            { tag: "dot at the end after an earlier dot", email: "user@mail.example.", password: "abcdef", confirmation: "abcdef",
              name: "user" },
            { tag: "5 characters", email: "user@example.com", password: "abcde", confirmation: "abcde",
              log: "❌ 密码长度不足", message: "密码至少需要6位" },
            { tag: "empty password", email: "user@example.com", password: "", confirmation: "",
              log: "❌ 密码长度不足", message: "密码至少需要6位" },
            { tag: "6 characters", email: "new.user@example.com", password: "abcdef", confirmation: "abcdef",
              name: "new.user" },
            { tag: "outside the BMP counts as two", email: "user@example.com", password: "abcd" + bmpOutside,
              confirmation: "abcd" + bmpOutside, name: "user" },
            { tag: "5 code units with one outside the BMP", email: "user@example.com", password: "abc" + bmpOutside,
              confirmation: "abc" + bmpOutside, log: "❌ 密码长度不足", message: "密码至少需要6位" },
            { tag: "5 characters and a differing confirmation", email: "user@example.com", password: "abcde", confirmation: "xyz",
              log: "❌ 密码长度不足", message: "密码至少需要6位" },
            { tag: "empty confirmation", email: "user@example.com", password: "abcdef", confirmation: "",
              log: "❌ 两次密码不一致", message: "两次输入的密码不一致" },
            { tag: "confirmation differs in case", email: "user@example.com", password: "abcdef", confirmation: "ABCDEF",
              log: "❌ 两次密码不一致", message: "两次输入的密码不一致" },
            { tag: "bad e-mail and short password", email: "user", password: "abc", confirmation: "",
              log: "❌ 邮箱格式不正确", message: "请输入正确的邮箱格式" }
        ]
    }

    function test_inputChecks(data) {
        var page = createPage()
        signUp(page, data.email, data.password, data.confirmation)
        compare(Log.count("📝 尝试注册用户: " + data.email), 1)
        var dialog = dialogOf(page)
        if (data.message !== undefined) {
            compare(errorLines(), [data.log])
            tryCompare(dialog, "opened", true)
            compare(dialog.titleText, "错误")
            compare(dialog.iconText, "❌")
            verify(Qt.colorEqual(dialog.iconColor, "#F44336"))
            compare(dialog.messageText, data.message)
            compare(API.calls(), [])
            compare(Log.count("✅ 开始调用注册API"), 0)
        } else {
            compare(errorLines(), [])
            compare(dialog.visible, false)
            compare(API.calls(), ["registerUser(" + [data.email, data.password, data.name, ""].join(", ") + ")"])
            compare(Log.count("✅ 开始调用注册API"), 1)
        }
        // The fields keep what the user typed.
        compare(Page.field(page, "电子邮箱").text, data.email)
        compare(Page.field(page, "设置密码 (至少6位)").text, data.password)
        compare(Page.field(page, "确认密码").text, data.confirmation)
    }

    function test_passwordIsNeverLogged() {
        var page = createPage()
        signUp(page, "user@example.com", "secret-one", "secret-two")
        var dialog = dialogOf(page)
        tryCompare(dialog, "opened", true)
        // The dialog is modal: the user closes it before trying again.
        mouseClick(okButton(dialog))
        tryCompare(dialog, "visible", false)
        signUp(page, "user@example.com", "secret-one", "secret-one")
        compare(API.callCount("registerUser"), 1)
        var messages = Log.messages()
        for (var i = 0; i < messages.length; ++i)
            verify(messages[i].indexOf("secret-") < 0, "password in the log: " + messages[i])
    }

    function test_signUpFailureShowsTheReason_data() {
        return [
            { tag: "reason from API", reason: "该邮箱已被注册" },
            { tag: "empty reason", reason: "" }
        ]
    }

    function test_signUpFailureShowsTheReason(data) {
        var page = createPage()
        signUp(page, "user@example.com", "abcdef", "abcdef")
        API.loginError(data.reason)
        var dialog = dialogOf(page)
        tryCompare(dialog, "opened", true)
        compare(dialog.titleText, "错误")
        compare(dialog.messageText, data.reason)
        compare(Log.count("❌ 注册失败: " + data.reason), 1)
        compare(registerSuccessSpy.count, 0)
        compare(Page.field(page, "电子邮箱").text, "user@example.com")
    }

    // The notice shows for 1500 ms before the page asks to leave, whether the user closes it
    // early or a second success arrives meanwhile.
    function test_signUpSuccessLeavesAfter1500ms_data() {
        return [
            { tag: "notice left open", closeEarly: false, secondSuccess: false },
            { tag: "notice closed early", closeEarly: true, secondSuccess: false },
            { tag: "second success meanwhile", closeEarly: false, secondSuccess: true }
        ]
    }

    function test_signUpSuccessLeavesAfter1500ms(data) {
        var page = createPage()
        var dialog = dialogOf(page)
        signUp(page, "user@example.com", "abcdef", "abcdef")
        var started = Date.now()
        // When the page asks to leave, recorded as it happens rather than looked at once.
        var leftAfter = []
        page.registerSuccess.connect(function() { leftAfter.push(Date.now() - started) })
        API.loginSuccess()
        compare(Log.count("✅ 注册成功"), 1)
        tryCompare(dialog, "opened", true)
        compare(dialog.titleText, "成功")
        compare(dialog.iconText, "✅")
        verify(Qt.colorEqual(dialog.iconColor, "#4CAF50"))
        compare(dialog.messageText, "注册成功！")

        if (data.closeEarly) {
            mouseClick(okButton(dialog))
            tryCompare(dialog, "visible", false)
        }
        wait(700)
        if (data.secondSuccess)
            API.loginSuccess()
        registerSuccessSpy.wait(1500)
        verify(leftAfter[0] >= 1450, "no leave before 1500 ms: left after " + leftAfter[0] + " ms")
        verify(leftAfter[0] < 2100, "left after " + leftAfter[0] + " ms")
        wait(300)
        compare(registerSuccessSpy.count, 1)
    }

    function test_links_data() {
        return [
            { tag: "direct login", text: "直接登录", logins: 1, logs: ["🔗 跳转到登录页面"] },
            { tag: "prompt", text: "已有账号?", logins: 0, logs: [] },
            { tag: "terms", text: "注册即代表同意《服务条款》和《隐私政策》", logins: 0, logs: [] },
            { tag: "drawn arrow", text: "←", logins: 0, logs: [] }
        ]
    }

    function test_links(data) {
        var page = createPage()
        mouseClick(Page.text(page, data.text))
        compare(loginClickedSpy.count, data.logins)
        compare(Log.messages(), data.logs)
        compare(API.calls(), [])
        compare(dialogOf(page).visible, false)
    }
}
