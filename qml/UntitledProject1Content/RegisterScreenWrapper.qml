import QtQuick
import UntitledProject1Content

// The registration page: checks the input, passes the sign-up to "API", shows every failure and
// the success in its own dialog, and leaves 1500 ms after the success.
Item {
    id: wrapper

    signal loginClicked()
    signal registerSuccess()

    function showError(message) {
        messageDialog.showError(message)
    }

    function showSuccess(message) {
        messageDialog.showSuccess(message)
    }

    QtObject {
        id: internal

        // The first failing check, in the order the user should fix them; null when all pass.
        function inputProblem(email, password, confirmPassword) {
            if (email.trim().length === 0)
                return { log: "❌ 邮箱不能为空", message: "请输入邮箱地址" }
            if (!/^[^\s@]+@[^\s@]+\.[^\s@]+$/.test(email))
                return { log: "❌ 邮箱格式不正确", message: "请输入正确的邮箱格式" }
            if (password.length < 6)
                return { log: "❌ 密码长度不足", message: "密码至少需要6位" }
            if (password !== confirmPassword)
                return { log: "❌ 两次密码不一致", message: "两次输入的密码不一致" }
            if (typeof API === "undefined")
                return { log: "❌ API未初始化", message: "系统初始化失败，请重启应用" }
            return null
        }
    }

    RegisterScreen {
        id: registerScreen
        anchors.fill: parent

        onRegisterClicked: function(email, password, confirmPassword, name) {
            console.log("📝 尝试注册用户:", email)
            var problem = internal.inputProblem(email, password, confirmPassword)
            if (problem) {
                console.error(problem.log)
                wrapper.showError(problem.message)
                return
            }
            console.log("✅ 开始调用注册API")
            API.registerUser(email, password, name, "")
        }

        onLoginClicked: {
            console.log("🔗 跳转到登录页面")
            wrapper.loginClicked()
        }
    }

    MessageDialog {
        id: messageDialog
        parent: wrapper
    }

    Timer {
        id: successTimer
        interval: 1500
        running: false
        repeat: false
        onTriggered: wrapper.registerSuccess()
    }

    Connections {
        target: typeof API !== "undefined" ? API : null
        ignoreUnknownSignals: true

        function onLoginSuccess() {
            console.log("✅ 注册成功")
            wrapper.showSuccess("注册成功！")
            // A second success while the notice shows does not put the leave off.
            successTimer.start()
        }

        function onLoginError(message) {
            console.log("❌ 注册失败:", message)
            wrapper.showError(message)
        }
    }
}
