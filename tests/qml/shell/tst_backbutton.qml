import QtQuick
import QtTest
import UntitledProject1Content

TestCase {
    id: testCase
    name: "BackButton"
    when: windowShown
    visible: true
    width: 430
    height: 880

    Component {
        id: pageComp
        Item {
            property int pageClicks: 0
            property int backs: 0
            property alias backButton: backButton
            anchors.fill: parent

            MouseArea {
                anchors.fill: parent
                onClicked: ++parent.pageClicks
            }
            BackButton {
                id: backButton
                onBack: ++parent.backs
            }
        }
    }

    function test_fillsItsParent() {
        var page = createTemporaryObject(pageComp, testCase)
        compare(page.backButton.width, 430)
        compare(page.backButton.height, 880)
        var area = page.backButton.children[0]
        compare(area.x, 20)
        compare(area.y, 20)
        compare(area.width, 50)
        compare(area.height, 50)
        compare(area.cursorShape, Qt.PointingHandCursor)
    }

    function test_click_data() {
        return [
            { tag: "top-left corner of the square", x: 20, y: 20, backs: 1 },
            { tag: "middle of the square", x: 45, y: 45, backs: 1 },
            { tag: "bottom-right corner of the square", x: 69, y: 69, backs: 1 },
            { tag: "left of the square", x: 19, y: 45, backs: 0 },
            { tag: "above the square", x: 45, y: 19, backs: 0 },
            { tag: "right of the square", x: 70, y: 45, backs: 0 },
            { tag: "below the square", x: 45, y: 70, backs: 0 },
            { tag: "elsewhere on the page", x: 215, y: 440, backs: 0 }
        ]
    }

    function test_click(data) {
        var page = createTemporaryObject(pageComp, testCase)
        mouseClick(page, data.x, data.y)
        compare(page.backs, data.backs)
        compare(page.pageClicks, 1 - data.backs)
    }
}
