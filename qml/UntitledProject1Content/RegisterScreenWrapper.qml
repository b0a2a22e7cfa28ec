import QtQuick

// Placeholder for the registration page: the signals the window navigates by.
Item {
    id: wrapper

    signal loginClicked()
    signal registerSuccess()
}
