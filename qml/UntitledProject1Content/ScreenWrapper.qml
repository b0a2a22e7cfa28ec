import QtQuick
import UntitledProject1

// Placeholder for the home page: the click areas, selected-server and traffic fields and the
// default-server signal the window binds and connects to.
Item {
    id: wrapper

    readonly property alias loginArea: userMouseArea
    readonly property alias announcementArea: announcementMouseArea
    readonly property alias settingsArea: settingsMouseArea
    readonly property alias selectServerArea: selectServerMouseArea
    readonly property alias vipArea: vipMouseArea

    property string selectedServerName: "选择服务器"
    property string selectedServerFlag: "🌐"
    property string selectedServerCountryCode: ""
    property string selectedServerLatency: ""
    property int selectedServerId: -1
    property string selectedServerVmessLink: ""
    property bool selectedServerRequiresVip: false

    property string uploadSpeed: "0 B/s"
    property string downloadSpeed: "0 B/s"
    property real uploadBytes: 0
    property real downloadBytes: 0

    signal defaultServerNeeded(int serverId, string serverName, string serverFlag, string countryCode, string vmessLink, bool requiresVip)

    Column {
        anchors.fill: parent

        MouseArea {
            id: userMouseArea
            width: parent.width
            height: 50
            cursorShape: Qt.PointingHandCursor
        }
        MouseArea {
            id: announcementMouseArea
            width: parent.width
            height: 50
            cursorShape: Qt.PointingHandCursor
        }
        MouseArea {
            id: settingsMouseArea
            width: parent.width
            height: 50
            cursorShape: Qt.PointingHandCursor
        }
        MouseArea {
            id: selectServerMouseArea
            width: parent.width
            height: 64
            cursorShape: Qt.PointingHandCursor
        }
        MouseArea {
            id: vipMouseArea
            width: parent.width
            height: 64
            cursorShape: Qt.PointingHandCursor
        }
    }
}
