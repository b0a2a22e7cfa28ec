import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

Dialog {
    id: dialog

    property string messageText: ""
    property string titleText: "提示"
    property string iconText: "ℹ️"
    property color iconColor: "#4A90E2"

    function showInfo(message) {
        internal.present("提示", "ℹ️", "#4A90E2", message)
    }

    function showWarning(message) {
        internal.present("警告", "⚠️", "#FF9800", message)
    }

    function showError(message) {
        internal.present("错误", "❌", "#F44336", message)
    }

    function showSuccess(message) {
        internal.present("成功", "✅", "#4CAF50", message)
    }

    QtObject {
        id: internal

        readonly property int cornerRadius: 12
        // The title band's top corners just inside the card's border.
        readonly property int bandRadius: cornerRadius - 1

        // Opening an open dialog only replaces its look and text.
        function present(title, icon, colour, message) {
            dialog.titleText = title
            dialog.iconText = icon
            dialog.iconColor = colour
            dialog.messageText = message
            dialog.open()
        }
    }

    title: titleText
    modal: true
    anchors.centerIn: parent
    width: Math.min(400, (parent ? parent.width : 0) * 0.8)
    standardButtons: Dialog.NoButton

    background: Rectangle {
        color: "#F5F5F5"
        radius: internal.cornerRadius
        border.width: 1
        border.color: "#E0E0E0"

        Rectangle {
            anchors.fill: parent
            anchors.margins: -2
            z: -1
            radius: 14
            color: "#20000000"
        }
    }

    // The style's title band, with its top corners rounded as the card's, just inside its border.
    header: Label {
        text: dialog.title
        visible: dialog.title
        elide: Label.ElideRight
        font.bold: true
        padding: 12

        background: Item {
            Rectangle {
                x: 1
                y: 1
                width: parent.width - 2
                height: parent.height - 1
                radius: internal.bandRadius
                color: dialog.palette.window
            }

            // Squares the band's lower corners.
            Rectangle {
                x: 1
                y: 1 + internal.bandRadius
                width: parent.width - 2
                height: parent.height - 1 - internal.bandRadius
                color: dialog.palette.window
            }
        }
    }

    contentItem: ColumnLayout {
        spacing: 20

        RowLayout {
            Layout.fillWidth: true
            spacing: 15

            Text {
                text: dialog.iconText
                font.pixelSize: 48
                color: dialog.iconColor
            }

            Text {
                Layout.fillWidth: true
                text: dialog.messageText
                font.pixelSize: 16
                color: "#333333"
                wrapMode: Text.WordWrap
            }
        }

        Button {
            Layout.alignment: Qt.AlignRight
            Layout.preferredWidth: 100
            text: "确定"
            onClicked: dialog.close()

            background: Rectangle {
                color: dialog.iconColor
                radius: 6
            }

            contentItem: Text {
                text: "确定"
                font.pixelSize: 14
                font.bold: true
                color: "#FFFFFF"
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignVCenter
            }
        }
    }
}
