import QtQuick

// Placeholder for the announcement page, which the window only shows under its back button.
Item {
    id: wrapper
}
