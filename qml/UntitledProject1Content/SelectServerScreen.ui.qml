import QtQuick
import UntitledProject1

// Placeholder for the server list: the marked server and the choice the window adopts.
Rectangle {
    id: selectServerRoot
    width: Constants.width
    height: Constants.height
    color: Constants.backgroundColor

    property int selectedServerId: -1

    signal serverSelected(string name, string flag, string countryCode, string delay, int id, string vmessLink, bool requiresVip)
}
