import QtQuick
import UntitledProject1

// Placeholder for the about page, which the window only shows under its back button.
Rectangle {
    id: aboutUsRoot
    width: Constants.width
    height: Constants.height
    color: Constants.backgroundColor
}
