import QtQuick

// Placeholder for the order history page, which the window only shows under its back button.
Item {
    id: wrapper
}
