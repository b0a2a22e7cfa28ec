import QtQuick
import QtQuick.Controls
import UntitledProject1

// The sign-in form: lays the page out and hands the user's actions out as signals. Its field,
// button, link and arrow are the registration form's as well.
Rectangle {
    id: loginRoot
    width: Constants.width
    height: Constants.height
    color: Constants.backgroundColor

    signal loginClicked(string username, string password)
    signal registerClicked()

    component FormField: TextField {
        id: field
        height: 50
        placeholderTextColor: Constants.textHint
        color: Constants.textPrimary
        font.pixelSize: 14
        background: Rectangle {
            color: "transparent"
            radius: 12
            border.width: 1
            border.color: field.activeFocus ? Constants.primaryFree : Qt.rgba(0, 1, 217 / 255, 0.3)
        }
    }

    component FormButton: Button {
        id: button
        height: 50
        contentItem: Text {
            text: button.text
            color: "#0A0E27"
            font.family: Constants.font.family
            font.pixelSize: 16
            font.bold: true
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
        }
        background: Rectangle {
            radius: 12
            color: button.down ? Qt.darker(Constants.primaryFree, 2.0) : Constants.primaryFree
        }
    }

    component FormLink: Text {
        id: link
        signal clicked()
        color: Constants.primaryFree
        font.family: Constants.font.family
        font.pixelSize: 14
        font.bold: true
        font.underline: true

        MouseArea {
            anchors.fill: parent
            cursorShape: Qt.PointingHandCursor
            onClicked: link.clicked()
        }
    }

    // Drawn only: the window's back button lies over it and takes its clicks.
    component BackArrow: Item {
        x: 20
        y: 20
        width: 40
        height: 40

        Text {
            anchors.centerIn: parent
            text: "←"
            color: "#FFFFFF"
            font.pixelSize: 24
        }

        MouseArea {
            anchors.fill: parent
            cursorShape: Qt.PointingHandCursor
        }
    }

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

    BackArrow {}
}
