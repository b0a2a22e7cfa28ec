import QtQuick

// The window of the start-up build that carries its root document only under the fallback URL.
// The binding reads the bridge at creation, so the log shows what the first evaluation saw.
Window {
    property bool signedIn: API.isLoggedIn

    width: 100
    height: 100
    visible: true
    Component.onCompleted: console.log("API.isLoggedIn at creation:", signedIn)
}
