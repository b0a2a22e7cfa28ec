import QtQuick

// The settings page: feeds the form the signed-in user from "API", signs out through it and
// turns the form's clicks into the window's navigation signals.
Item {
    id: wrapper

    signal myOrdersClicked()
    signal announcementClicked()
    signal aboutUsClicked()
    signal vipClicked()
    signal loginClicked()

    property bool userLoggedIn: typeof API !== "undefined" ? API.isLoggedIn : false
    property string userEmail: typeof API !== "undefined" ? API.userEmail : ""
    property string userName: typeof API !== "undefined" ? API.userName : ""
    property bool userIsVip: typeof API !== "undefined" ? API.isVip : false
    property int vipDays: typeof API !== "undefined" ? API.vipDays : 0

    QtObject {
        id: internal

        function readUser() {
            wrapper.userLoggedIn = API.isLoggedIn
            wrapper.userEmail = API.userEmail
            wrapper.userName = API.userName
            wrapper.userIsVip = API.isVip
            wrapper.vipDays = API.vipDays
        }
    }

    SettingsScreen {
        id: settingsScreen
        anchors.fill: parent

        loggedIn: wrapper.userLoggedIn
        email: wrapper.userEmail
        name: wrapper.userName
        isVip: wrapper.userIsVip
        vipDays: wrapper.vipDays

        onLogoutClicked: {
            console.log("🔴 SettingsWrapper收到退出登录信号")
            if (typeof API !== "undefined")
                API.logout()
        }

        onLoginClicked: {
            console.log("📱 SettingsWrapper收到登录跳转信号")
            wrapper.loginClicked()
        }
    }

    Connections {
        target: settingsScreen.vipUpgradeArea
        function onClicked() {
            console.log("👑 点击升级VIP会员")
            wrapper.vipClicked()
        }
    }

    Connections {
        target: settingsScreen.myOrdersArea
        function onClicked() {
            console.log("点击我的订单")
            wrapper.myOrdersClicked()
        }
    }

    Connections {
        target: settingsScreen.announcementArea
        function onClicked() {
            console.log("点击公告系统")
            wrapper.announcementClicked()
        }
    }

    Connections {
        target: settingsScreen.aboutUsArea
        function onClicked() {
            console.log("点击关于我们")
            wrapper.aboutUsClicked()
        }
    }

    Connections {
        target: typeof API !== "undefined" ? API : null
        ignoreUnknownSignals: true

        function onUserInfoChanged() {
            console.log("✅ 设置界面：用户信息已更新")
            internal.readUser()
        }

        // The days follow only userInfoChanged, which a sign-in sends before each of these.
        function onLoginStateChanged(loggedIn) {
            console.log("设置界面：登录状态变更:", loggedIn)
            wrapper.userLoggedIn = loggedIn
            if (loggedIn && typeof API !== "undefined") {
                wrapper.userEmail = API.userEmail
                wrapper.userName = API.userName
                wrapper.userIsVip = API.isVip
            }
        }
    }

    Component.onCompleted: {
        if (typeof API === "undefined")
            return
        console.log("📱 设置界面加载，初始化用户信息")
        internal.readUser()
    }
}
