import QtQuick
import QtQuick.Controls
import UntitledProject1
import UntitledProject1Content

Window {
    id: appWindow

    width: Constants.width
    height: Constants.height
    minimumWidth: Constants.width
    maximumWidth: Constants.width
    minimumHeight: Constants.height
    maximumHeight: Constants.height
    visible: true
    title: "Norvane加速器"

    property string appName: "Norvane加速器"
    property bool maintenanceMode: false

    // The selected server, application-wide; id -1 means none has been chosen yet.
    property string currentServerName: "选择服务器"
    property string currentServerFlag: "🌐"
    property string currentServerCountryCode: ""
    property string currentServerLatency: ""
    property int currentServerId: -1
    property string currentServerVmessLink: ""
    property bool currentServerRequiresVip: false

    Connections {
        target: typeof API !== "undefined" ? API : null
        ignoreUnknownSignals: true

        function onSystemConfigLoaded(config) {
            console.log("=== 系统配置已加载 ===")
            console.log("  应用名称:", config.appName)
            console.log("  维护模式:", config.maintenanceMode)
            console.log("  启用注册:", config.enableRegistration)
            if (typeof config.appName === "string" && config.appName.length > 0) {
                appWindow.appName = config.appName
                appWindow.title = config.appName
            }
            appWindow.maintenanceMode = config.maintenanceMode === true
            if (appWindow.maintenanceMode)
                console.warn("⚠️ 系统处于维护模式")
        }

        function onVpnForceDisconnected(message) {
            console.log("⚠️ [App] 收到强制断开信号:", message)
            messageDialog.showWarning(message)
        }
    }

    // Going back from a pushed page writes the page's log line, fixed per page whichever page
    // lies below, and pops the page.
    QtObject {
        id: navigation

        function back(log) {
            console.log(log)
            stackView.pop()
        }
    }

    MessageDialog {
        id: messageDialog
        parent: appWindow.contentItem
    }

    StackView {
        id: stackView
        anchors.fill: parent
        initialItem: splashScreenComp

        // Push and pop alike: the entering page fades in while the leaving page fades out.
        pushEnter: Transition {
            NumberAnimation { property: "opacity"; from: 0; to: 1; duration: 300; easing.type: Easing.Linear }
        }
        pushExit: Transition {
            NumberAnimation { property: "opacity"; from: 1; to: 0; duration: 300; easing.type: Easing.Linear }
        }
        popEnter: pushEnter
        popExit: pushExit

        // The stack takes no clicks while it moves between pages.
        onBusyChanged: if (!busy) console.log("[App] 页面切换完成, 页面数:", depth)
    }

    Component {
        id: splashScreenComp

        SplashScreen {
            Timer {
                interval: 3000
                running: true
                repeat: false
                onTriggered: {
                    console.log("启动画面结束，跳转到主界面")
                    stackView.replace(mainScreenComp)
                }
            }
        }
    }

    Component {
        id: mainScreenComp

        ScreenWrapper {
            id: mainScreenWrapper

            selectedServerName: appWindow.currentServerName
            selectedServerFlag: appWindow.currentServerFlag
            selectedServerCountryCode: appWindow.currentServerCountryCode
            selectedServerLatency: appWindow.currentServerLatency
            selectedServerId: appWindow.currentServerId
            selectedServerVmessLink: appWindow.currentServerVmessLink
            selectedServerRequiresVip: appWindow.currentServerRequiresVip

            onSelectedServerIdChanged: console.log("[DEBUG H1] 主界面selectedServerId变化:", selectedServerId)

            onDefaultServerNeeded: function(serverId, serverName, serverFlag, countryCode, vmessLink, requiresVip) {
                console.log("[DEBUG H5] App收到defaultServerNeeded - serverId:", serverId,
                            "vmessLink长度:", vmessLink.length, "currentServerId:", appWindow.currentServerId)
                if (appWindow.currentServerId !== -1) {
                    console.log("📍 已有选中服务器，忽略默认服务器设置")
                    return
                }
                console.log("📍 设置默认服务器:", serverName, serverId)
                appWindow.currentServerId = serverId
                appWindow.currentServerName = serverName
                appWindow.currentServerFlag = serverFlag
                appWindow.currentServerCountryCode = countryCode
                appWindow.currentServerVmessLink = vmessLink
                appWindow.currentServerRequiresVip = requiresVip
                appWindow.currentServerLatency = "延迟: 45ms"
            }

            Component.onCompleted: {
                console.log("主界面加载完成")
                console.log("[DEBUG H1] 主界面完成时currentServerId:", appWindow.currentServerId)
                loginArea.clicked.connect(function() {
                    console.log("点击用户信息，跳转到登录界面")
                    stackView.push(loginComp)
                })
                announcementArea.clicked.connect(function() {
                    console.log("点击公告图标，跳转到公告界面")
                    stackView.push(announcementComp)
                })
                settingsArea.clicked.connect(function() {
                    console.log("点击设置图标，跳转到设置界面")
                    stackView.push(settingsComp)
                })
                selectServerArea.clicked.connect(function() {
                    console.log("点击选择服务器，跳转到服务器选择界面")
                    stackView.push(selectServerComp)
                })
                vipArea.clicked.connect(function() {
                    console.log("点击VIP区域，跳转到VIP界面")
                    stackView.push(vipComp)
                })
            }
        }
    }

    Component {
        id: loginComp

        Item {
            id: loginPage

            LoginScreenWrapper {
                anchors.fill: parent
                onRegisterClicked: {
                    console.log("跳转到注册界面")
                    stackView.push(registerComp)
                }
                // A sign-up also ends in loginSuccess; the register page above then stays on top.
                onLoginSuccess: {
                    if (stackView.currentItem !== loginPage)
                        return
                    console.log("登录成功，返回上一页")
                    stackView.pop()
                }
            }

            BackButton { onBack: navigation.back("返回主界面") }
        }
    }

    Component {
        id: registerComp

        Item {
            RegisterScreenWrapper {
                anchors.fill: parent
                onLoginClicked: {
                    console.log("返回登录界面")
                    stackView.pop()
                }
                onRegisterSuccess: {
                    console.log("注册成功，返回主界面")
                    stackView.pop()
                    stackView.pop()
                }
            }

            BackButton { onBack: navigation.back("返回登录界面") }
        }
    }

    Component {
        id: settingsComp

        Item {
            SettingsScreenWrapper {
                anchors.fill: parent
                onMyOrdersClicked: {
                    console.log("跳转到我的订单")
                    stackView.push(myOrdersComp)
                }
                onAnnouncementClicked: {
                    console.log("跳转到公告系统")
                    stackView.push(announcementComp)
                }
                onAboutUsClicked: {
                    console.log("跳转到关于我们")
                    stackView.push(aboutUsComp)
                }
                onVipClicked: {
                    console.log("👑 从设置页面跳转到VIP界面")
                    stackView.push(vipComp)
                }
                onLoginClicked: {
                    console.log("📱 从设置页面跳转到登录界面")
                    stackView.push(loginComp)
                }
            }

            BackButton { onBack: navigation.back("返回主界面") }
        }
    }

    Component {
        id: myOrdersComp

        Item {
            MyOrdersScreenWrapper {
                anchors.fill: parent
            }

            BackButton { onBack: navigation.back("返回设置界面") }
        }
    }

    Component {
        id: selectServerComp

        Item {
            SelectServerScreen {
                anchors.fill: parent
                selectedServerId: appWindow.currentServerId

                onServerSelected: function(name, flag, countryCode, delay, id, vmessLink, requiresVip) {
                    // The link carries the server's credentials: only its length goes to the log.
                    console.log("✅ 选中服务器:", name, id, "vmessLink长度:", vmessLink.length, "requiresVip:", requiresVip)
                    console.log("[DEBUG H3] App.onServerSelected - name:", name, "id:", id)
                    appWindow.currentServerName = name
                    appWindow.currentServerFlag = flag
                    appWindow.currentServerCountryCode = countryCode
                    appWindow.currentServerLatency = delay
                    appWindow.currentServerId = id
                    appWindow.currentServerVmessLink = vmessLink
                    appWindow.currentServerRequiresVip = requiresVip
                    console.log("[DEBUG H2] App AFTER update - currentServerId:", appWindow.currentServerId)
                    stackView.pop()
                }
            }

            BackButton { onBack: navigation.back("返回主界面") }
        }
    }

    Component {
        id: aboutUsComp

        Item {
            AboutUsScreen {
                anchors.fill: parent
            }

            BackButton { onBack: navigation.back("返回设置界面") }
        }
    }

    Component {
        id: announcementComp

        Item {
            AnnouncementScreenWrapper {
                anchors.fill: parent
            }

            BackButton { onBack: navigation.back("返回主界面") }
        }
    }

    Component {
        id: vipComp

        Item {
            id: vipPageItem

            // Set once going back has stopped the page's poll, so that its going does not stop
            // it again.
            property bool pollStopped: false

            VipScreen {
                id: vipPage
                anchors.fill: parent
            }

            // The page ends its payment before it leaves: the log, the stop of a running poll,
            // then the pop.
            BackButton {
                onBack: {
                    console.log("返回主界面")
                    console.log("🔙 返回上一页")
                    if (vipPage.isPaying) {
                        API.stopPollingPayment()
                        vipPageItem.pollStopped = true
                    }
                    stackView.pop()
                }
            }

            // No poll outlives the page, whichever way it goes (the window closing, too).
            Component.onDestruction: {
                if (vipPage.isPaying && !pollStopped)
                    API.stopPollingPayment()
            }
        }
    }

    Component.onCompleted: {
        if (typeof API === "undefined")
            return
        console.log("应用启动，获取系统配置")
        API.getSystemConfig()
    }

    onClosing: {
        if (typeof API === "undefined")
            return
        console.log("窗口正在关闭，断开VPN连接...")
        API.disconnectVpn()
    }
}
