import QtQuick

// Placeholder for the settings page: the signals the window navigates by.
Item {
    id: wrapper

    signal myOrdersClicked()
    signal announcementClicked()
    signal aboutUsClicked()
    signal vipClicked()
    signal loginClicked()
}
