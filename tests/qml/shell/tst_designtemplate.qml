import QtQuick
import QtTest
import QtQuick.Studio.EventSimulator
import QtQuick.Studio.EventSystem
import UntitledProject1

TestCase {
    id: testCase
    name: "DesignTemplate"

    Component {
        id: modelComp
        EventListModel {}
    }

    Component {
        id: simulatorComp
        EventListSimulator {}
    }

    function init() {
        EventSimulator.visible = false
        EventSystem.eventListUrl = ""
    }

    function test_eventListHoldsTheEnterEvent() {
        var model = createTemporaryObject(modelComp, testCase)
        compare(model.count, 1)
        var entry = model.get(0)
        compare(entry.eventId, "enterPressed")
        compare(entry.eventDescription, "Emitted when pressing the enter button")
        compare(entry.shortcut, "Return")
        compare(entry.parameters, "Enter")
    }

    function test_simulator_data() {
        return [
            { tag: "active", active: true },
            { tag: "inactive", active: false }
        ]
    }

    function test_simulator(data) {
        var simulator = createTemporaryObject(simulatorComp, testCase, { active: data.active })
        verify(simulator, "the document loads with the stand-in modules")
        compare(String(EventSystem.eventListUrl), "qrc:/qt/qml/UntitledProject1/EventListModel.qml")
        compare(EventSimulator.visible, false)
        if (data.active) {
            tryCompare(EventSimulator, "visible", true)
        } else {
            // Long past the simulator's start-up delay: it stays hidden.
            wait(300)
            compare(EventSimulator.visible, false)
        }
    }
}
