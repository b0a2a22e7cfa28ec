import QtQuick
import UntitledProject1Content

// The login page: passes a sign-in to "API" and reports its success to the window.
Item {
    id: wrapper

    signal registerClicked()
    signal loginSuccess()

    LoginScreen {
        id: loginScreen
        anchors.fill: parent

        onLoginClicked: function(username, password) {
            console.log("尝试登录用户:", username)
            if (typeof API === "undefined") {
                console.error("API未初始化")
                return
            }
            API.login(username, password)
        }

        onRegisterClicked: {
            console.log("🔗 跳转到注册页面")
            wrapper.registerClicked()
        }
    }

    Connections {
        target: typeof API !== "undefined" ? API : null
        ignoreUnknownSignals: true

        // Also the end of a sign-up made on the registration page above; the window keeps that
        // page on top.
        function onLoginSuccess() {
            console.log("登录成功")
            wrapper.loginSuccess()
        }

        function onLoginError(message) {
            console.log("登录失败:", message)
        }
    }
}
