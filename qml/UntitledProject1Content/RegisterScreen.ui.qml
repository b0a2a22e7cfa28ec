import QtQuick
import UntitledProject1

// The sign-up form: lays the page out and hands the user's actions out as signals, with the
// account name taken from the e-mail text.
Rectangle {
    id: registerRoot
    width: Constants.width
    height: Constants.height
    color: Constants.backgroundColor

    signal loginClicked()
    signal registerClicked(string email, string password, string confirmPassword, string name)

    Column {
        anchors.centerIn: parent
        width: parent.width * 0.8
        spacing: 20

        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: "创建账号"
            color: Constants.textPrimary
            font.family: Constants.font.family
            font.pixelSize: 28
            font.bold: true
        }

        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            bottomPadding: 10
            text: "开启高速网络体验"
            color: Constants.textSecondary
            font.family: Constants.font.family
            font.pixelSize: 14
        }

        FormField {
            id: emailField
            objectName: "emailField"
            width: parent.width
            placeholderText: "电子邮箱"
        }

        FormField {
            id: passwordField
            objectName: "passwordField"
            width: parent.width
            placeholderText: "设置密码 (至少6位)"
            echoMode: TextInput.Password
        }

        FormField {
            id: confirmPasswordField
            objectName: "confirmPasswordField"
            width: parent.width
            placeholderText: "确认密码"
            echoMode: TextInput.Password
        }

        FormButton {
            id: registerButton
            objectName: "registerButton"
            width: parent.width
            text: "立即注册"
            onClicked: {
                var at = emailField.text.indexOf("@")
                var name = at < 0 ? emailField.text : emailField.text.substring(0, at)
                registerRoot.registerClicked(emailField.text, passwordField.text, confirmPasswordField.text, name)
            }
        }

        Row {
            anchors.horizontalCenter: parent.horizontalCenter
            spacing: 8

            Text {
                text: "已有账号?"
                color: Constants.textSecondary
                font.family: Constants.font.family
                font.pixelSize: 14
            }

            FormLink {
                objectName: "loginLink"
                text: "直接登录"
                onClicked: registerRoot.loginClicked()
            }
        }

        Text {
            width: parent.width
            topPadding: 10
            text: "注册即代表同意《服务条款》和《隐私政策》"
            color: Constants.textHint
            font.family: Constants.font.family
            font.pixelSize: 12
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.WordWrap
        }
    }

    FormBackArrow {}
}
