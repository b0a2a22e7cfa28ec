import QtQuick
import UntitledProject1

// Placeholder for the VIP page, which the window only shows under its back button.
Rectangle {
    id: vipRoot
    width: Constants.width
    height: Constants.height
    color: Constants.backgroundColor
}
