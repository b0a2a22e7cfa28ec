pragma Singleton
import QtQml

// Keeps the event list it is given; nothing in the program dispatches those events.
QtObject {
    property url eventListUrl

    function init(url) {
        eventListUrl = url
    }
}
