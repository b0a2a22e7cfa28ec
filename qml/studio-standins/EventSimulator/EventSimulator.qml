pragma Singleton
import QtQml

// The real simulator opens a window of simulated input events; the program never needs it.
QtObject {
    property bool visible: false

    function show() {
        visible = true
    }
}
