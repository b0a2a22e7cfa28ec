import QtQuick
import UntitledProject1

// The about page: fixed texts under a header; the window's back control lies over the arrow.
Rectangle {
    id: aboutUsRoot
    width: Constants.width
    height: Constants.height
    color: Constants.backgroundColor

    PageHeader {
        width: parent.width - 40
        anchors.top: parent.top
        anchors.topMargin: 20
        anchors.horizontalCenter: parent.horizontalCenter
        title: "关于我们"

        HeaderArrow {}
    }

    Flickable {
        id: scrollView
        anchors.top: parent.top
        anchors.topMargin: 70
        anchors.bottom: parent.bottom
        width: parent.width
        contentHeight: contentCol.height + 40
        clip: true

        Column {
            id: contentCol
            width: parent.width - 60
            anchors.horizontalCenter: parent.horizontalCenter
            spacing: 30

            Column {
                width: parent.width
                anchors.horizontalCenter: parent.horizontalCenter
                spacing: 10

                Text {
                    anchors.horizontalCenter: parent.horizontalCenter
                    text: "Norvane加速器"
                    color: Constants.textPrimary
                    font.family: Constants.font.family
                    font.pixelSize: 24
                    font.bold: true
                }

                Text {
                    anchors.horizontalCenter: parent.horizontalCenter
                    text: "连接世界，畅享极速"
                    color: Constants.primaryFree
                    font.family: Constants.font.family
                    font.pixelSize: 14
                }

                Text {
                    anchors.horizontalCenter: parent.horizontalCenter
                    text: "Version 1.0.0 (Build 1024)"
                    color: Constants.textSecondary
                    font.family: Constants.font.family
                    font.pixelSize: 12
                }
            }

            Column {
                width: parent.width
                spacing: 8

                Text {
                    text: "我们的使命"
                    color: Constants.primaryFree
                    font.family: Constants.font.family
                    font.pixelSize: 16
                    font.bold: true
                }

                Text {
                    id: missionBody
                    width: parent.width
                    text: "Lumaro 致力于为全球用户提供安全、快速、稳定的网络连接服务。无论您身在何处，我们都能助您突破地域限制，保护您的在线隐私。"
                    color: Constants.textSecondary
                    font.family: Constants.font.family
                    font.pixelSize: 14
                    wrapMode: Text.WordWrap
                    lineHeight: 1.4
                }
            }

            Column {
                width: parent.width
                spacing: 8

                Text {
                    text: "联系我们"
                    color: Constants.primaryFree
                    font.family: Constants.font.family
                    font.pixelSize: 16
                    font.bold: true
                }

                Text {
                    id: contactBody
                    width: parent.width
                    text: "客服邮箱: support@norvane.com\n官方网站: https://www.norvane.com"
                    color: Constants.textSecondary
                    font.family: Constants.font.family
                    font.pixelSize: 14
                    wrapMode: Text.WordWrap
                    lineHeight: 1.4
                }
            }

            Row {
                anchors.horizontalCenter: parent.horizontalCenter
                padding: 20
                spacing: 20

                Text {
                    id: termsLink
                    text: "服务条款"
                    color: Constants.primaryFree
                    font.family: Constants.font.family
                    font.bold: true
                    font.underline: true

                    MouseArea {
                        anchors.fill: parent
                        cursorShape: Qt.PointingHandCursor
                    }
                }

                Text {
                    text: "|"
                    color: Constants.textSecondary
                }

                Text {
                    id: privacyLink
                    text: "隐私政策"
                    color: Constants.primaryFree
                    font.family: Constants.font.family
                    font.bold: true
                    font.underline: true

                    MouseArea {
                        anchors.fill: parent
                        cursorShape: Qt.PointingHandCursor
                    }
                }
            }
        }
    }
}
