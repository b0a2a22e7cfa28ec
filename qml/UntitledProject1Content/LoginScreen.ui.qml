import QtQuick
import UntitledProject1

// The sign-in form: lays the page out and hands the user's actions out as signals.
Rectangle {
    id: loginRoot
    width: Constants.width
    height: Constants.height
    color: Constants.backgroundColor

    signal loginClicked(string username, string password)
    signal registerClicked()

    Column {
        anchors.centerIn: parent
        width: parent.width * 0.8
        spacing: 24

        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: "欢迎回来"
            color: Constants.textPrimary
            font.family: Constants.font.family
            font.pixelSize: 28
            font.bold: true
        }

        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            bottomPadding: 20
            text: "请登录您的 Norvane 账号"
            color: Constants.textSecondary
            font.family: Constants.font.family
            font.pixelSize: 14
        }

        FormField {
            id: usernameField
            objectName: "usernameField"
            width: parent.width
            placeholderText: "邮箱 / 用户名"
        }

        FormField {
            id: passwordField
            objectName: "passwordField"
            width: parent.width
            placeholderText: "密码"
            echoMode: TextInput.Password
        }

        FormButton {
            id: loginButton
            objectName: "loginButton"
            width: parent.width
            text: "登 录"
            onClicked: loginRoot.loginClicked(usernameField.text, passwordField.text)
        }

        Row {
            anchors.horizontalCenter: parent.horizontalCenter
            spacing: 30

            FormLink {
                id: registerLink
                objectName: "registerLink"
                text: "立即注册"
                onClicked: {
                    console.log("🔗 点击立即注册")
                    loginRoot.registerClicked()
                }
            }

            // There is no password recovery: the text only looks clickable.
            Text {
                text: "忘记密码?"
                color: Constants.textSecondary
                font.family: Constants.font.family
                font.pixelSize: 14

                MouseArea {
                    anchors.fill: parent
                    cursorShape: Qt.PointingHandCursor
                }
            }
        }
    }

    FormBackArrow {}
}
