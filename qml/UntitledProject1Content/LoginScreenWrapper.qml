import QtQuick

// Placeholder for the login page: the signals the window navigates by.
Item {
    id: wrapper

    signal registerClicked()
    signal loginSuccess()
}
