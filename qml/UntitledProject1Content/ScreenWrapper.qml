import QtQuick
import QtQuick.Controls
import UntitledProject1
import UntitledProject1Content

// The home page: the home form fed with the account from "API" and with transfer rates made of
// the connection's traffic totals; the window binds the selected server and connects its
// navigation through the aliases.
Item {
    id: wrapper

    readonly property alias loginArea: screenItem.loginArea
    readonly property alias announcementArea: screenItem.announcementArea
    readonly property alias settingsArea: screenItem.settingsArea
    readonly property alias selectServerArea: screenItem.selectServerArea
    readonly property alias vipArea: screenItem.vipArea

    property alias selectedServerName: screenItem.selectedServerName
    property alias selectedServerFlag: screenItem.selectedServerFlag
    property alias selectedServerCountryCode: screenItem.selectedServerCountryCode
    property alias selectedServerLatency: screenItem.selectedServerLatency
    property alias selectedServerId: screenItem.selectedServerId
    property alias selectedServerVmessLink: screenItem.selectedServerVmessLink
    property alias selectedServerRequiresVip: screenItem.selectedServerRequiresVip

    property alias uploadSpeed: screenItem.uploadSpeed
    property alias downloadSpeed: screenItem.downloadSpeed
    property alias uploadBytes: screenItem.uploadBytes
    property alias downloadBytes: screenItem.downloadBytes

    signal defaultServerNeeded(int serverId, string serverName, string serverFlag, string countryCode, string vmessLink, bool requiresVip)

    QtObject {
        id: internal

        // Bytes moved since the last report. The totals start again at 0 with every connection, so
        // a total below the stored one begins a new connection and counts whole.
        function increase(total, previous) {
            return Math.max(0, total >= previous ? total - previous : total)
        }

        // Between connections nothing moves: both rates read zero, and the next connection's totals
        // count from the start.
        function clearTraffic() {
            screenItem.uploadSpeed = screenItem.formatTraffic(0)
            screenItem.downloadSpeed = screenItem.formatTraffic(0)
            screenItem.uploadBytes = 0
            screenItem.downloadBytes = 0
        }
    }

    Screen {
        id: screenItem
        objectName: "homeForm"
        anchors.fill: parent

        userLoggedIn: typeof API !== "undefined" ? API.isLoggedIn : false
        userEmail: typeof API !== "undefined" ? API.userEmail : ""
        userName: typeof API !== "undefined" ? API.userName : ""
        userIsVip: typeof API !== "undefined" ? API.isVip : false
        vipDays: typeof API !== "undefined" ? API.vipDays : 0
        freeMinutes: typeof API !== "undefined" ? API.freeMinutes : 120

        onDefaultServerNeeded: function(serverId, serverName, serverFlag, countryCode, vmessLink, requiresVip) {
            console.log("[DEBUG H6] ScreenWrapper收到defaultServerNeeded信号:", serverName, serverId,
                        "vmessLink长度:", vmessLink.length)
            wrapper.defaultServerNeeded(serverId, serverName, serverFlag, countryCode, vmessLink, requiresVip)
        }

        onSelectedServerIdChanged: console.log("[DEBUG H4] screenItem.selectedServerId changed - newId:",
                                               selectedServerId, "newName:", selectedServerName)
    }

    Connections {
        target: typeof API !== "undefined" ? API : null
        ignoreUnknownSignals: true

        function onUserInfoChanged() {
            console.log("✅ 用户信息已更新: VIP=" + API.isVip + ", VIP天数=" + API.vipDays + ", 免费分钟=" + API.freeMinutes)
            screenItem.userLoggedIn = API.isLoggedIn
            screenItem.userEmail = API.userEmail
            screenItem.userName = API.userName
            screenItem.userIsVip = API.isVip
            screenItem.vipDays = API.vipDays
            screenItem.freeMinutes = API.freeMinutes
        }

        function onLoginStateChanged(loggedIn) {
            console.log("登录状态变更:", loggedIn)
            screenItem.userLoggedIn = loggedIn
        }

        function onVpnConnected() {
            internal.clearTraffic()
        }

        function onVpnDisconnected() {
            internal.clearTraffic()
        }

        function onVpnForceDisconnected(message) {
            internal.clearTraffic()
        }

        function onVpnConnectionFailed(reasonCode, message) {
            internal.clearTraffic()
        }

        function onVpnTrafficUpdate(uploadBytes, downloadBytes) {
            var up = internal.increase(uploadBytes, screenItem.uploadBytes)
            var down = internal.increase(downloadBytes, screenItem.downloadBytes)
            screenItem.uploadSpeed = screenItem.formatTraffic(up / 2)
            screenItem.downloadSpeed = screenItem.formatTraffic(down / 2)
            screenItem.uploadBytes = uploadBytes
            screenItem.downloadBytes = downloadBytes
        }
    }

    Component.onCompleted: {
        if (typeof API !== "undefined" && API.isLoggedIn) {
            console.log("主界面加载，刷新用户信息")
            API.refreshUserInfo()
        }
    }
}
