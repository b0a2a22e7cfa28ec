import QtQuick
import QtQuick.Controls
import QtTest
import UntitledProject1Content
import "../PageItems.js" as Page

TestCase {
    id: testCase
    name: "MessageDialog"
    when: windowShown
    // Shown, so that the dialog can be grabbed.
    visible: true
    width: 600
    height: 880

    Component {
        id: hostComp
        Item {
            property alias dialog: dialog
            MessageDialog { id: dialog }
        }
    }

    function createDialog(hostWidth) {
        var host = createTemporaryObject(hostComp, testCase, { width: hostWidth, height: 880 })
        verify(host)
        return host.dialog
    }

    function buttonOf(dialog) {
        return Page.first(dialog.contentItem, function(item) { return item instanceof Button })
    }

    function test_closedWithDefaults() {
        var dialog = createDialog(430)
        compare(dialog.opened, false)
        compare(dialog.modal, true)
        compare(dialog.messageText, "")
        compare(dialog.titleText, "提示")
        compare(dialog.title, "提示")
        compare(dialog.iconText, "ℹ️")
        verify(Qt.colorEqual(dialog.iconColor, "#4A90E2"))
    }

    function test_width_data() {
        return [
            { tag: "window width", parentWidth: 430, width: 344 },
            { tag: "narrow parent", parentWidth: 300, width: 240 },
            { tag: "500 wide parent", parentWidth: 500, width: 400 },
            { tag: "wide parent", parentWidth: 600, width: 400 }
        ]
    }

    function test_width(data) {
        var dialog = createDialog(data.parentWidth)
        dialog.showInfo("宽度")
        tryCompare(dialog, "opened", true)
        compare(dialog.width, data.width)
        fuzzyCompare(dialog.x, (data.parentWidth - data.width) / 2, 1)
        fuzzyCompare(dialog.y, (880 - dialog.height) / 2, 1)
    }

    function test_show_data() {
        return [
            { tag: "info", show: "showInfo", title: "提示", icon: "ℹ️", colour: "#4A90E2" },
            { tag: "warning", show: "showWarning", title: "警告", icon: "⚠️", colour: "#FF9800" },
            { tag: "error", show: "showError", title: "错误", icon: "❌", colour: "#F44336" },
            { tag: "success", show: "showSuccess", title: "成功", icon: "✅", colour: "#4CAF50" }
        ]
    }

    function test_show(data) {
        var dialog = createDialog(430)
        dialog[data.show]("消息内容")
        tryCompare(dialog, "opened", true)
        compare(dialog.titleText, data.title)
        compare(dialog.title, data.title)
        compare(dialog.iconText, data.icon)
        verify(Qt.colorEqual(dialog.iconColor, data.colour))
        compare(dialog.messageText, "消息内容")
        verify(Qt.colorEqual(buttonOf(dialog).background.color, data.colour), "button takes the look's colour")
    }

    function test_showingAnOpenDialogReplacesItsLook() {
        var dialog = createDialog(430)
        dialog.showError("密码错误")
        tryCompare(dialog, "opened", true)
        dialog.showSuccess("注册成功！")
        compare(dialog.opened, true)
        compare(dialog.titleText, "成功")
        compare(dialog.iconText, "✅")
        verify(Qt.colorEqual(dialog.iconColor, "#4CAF50"))
        compare(dialog.messageText, "注册成功！")
    }

    function test_looks() {
        var dialog = createDialog(430)
        dialog.showWarning("外观")
        tryCompare(dialog, "opened", true)

        var background = dialog.background
        verify(Qt.colorEqual(background.color, "#F5F5F5"))
        compare(background.radius, 12)
        compare(background.border.width, 1)
        verify(Qt.colorEqual(background.border.color, "#E0E0E0"))

        var shadow = background.children[0]
        verify(Qt.colorEqual(shadow.color, "#20000000"))
        compare(shadow.radius, 14)
        verify(shadow.z < 0, "shadow lies below the card")
        compare(shadow.width, background.width + 4)
        compare(shadow.height, background.height + 4)
        compare(shadow.x, -2)
        compare(shadow.y, -2)

        var icon = Page.text(dialog.contentItem, "⚠️")
        compare(icon.font.pixelSize, 48)
        verify(Qt.colorEqual(icon.color, "#FF9800"))

        var message = Page.text(dialog.contentItem, "外观")
        compare(message.font.pixelSize, 16)
        verify(Qt.colorEqual(message.color, "#333333"))
        compare(message.wrapMode, Text.WordWrap)

        var button = buttonOf(dialog)
        compare(button.text, "确定")
        compare(button.width, 100)
        compare(button.background.radius, 6)
        compare(button.contentItem.text, "确定")
        compare(button.contentItem.font.pixelSize, 14)
        compare(button.contentItem.font.bold, true)
        verify(Qt.colorEqual(button.contentItem.color, "#FFFFFF"))
        compare(button.contentItem.horizontalAlignment, Text.AlignHCenter)
        compare(button.contentItem.verticalAlignment, Text.AlignVCenter)
    }

    // The title band keeps to the card's rounded top corners: at the corner the dimmed page shows,
    // beside the title the band's own colour.
    function test_titleBandFollowsTheCorners() {
        var dialog = createDialog(430)
        dialog.showWarning("圆角")
        tryCompare(dialog, "opened", true)
        waitForRendering(testCase)
        var header = dialog.header
        compare(header.text, "警告")
        var image = grabImage(testCase)
        var origin = header.mapToItem(testCase, 0, 0)
        var corner = image.pixel(origin.x + 2, origin.y + 2)
        var band = image.pixel(origin.x + header.width - 20, origin.y + header.height / 2)
        verify(!Qt.colorEqual(corner, dialog.palette.window), "corner " + corner)
        verify(Qt.colorEqual(band, dialog.palette.window), "band " + band)
    }

    function test_longMessageWrapsAndGrowsTheDialog() {
        var dialog = createDialog(430)
        dialog.showInfo("短消息")
        tryCompare(dialog, "opened", true)
        var shortHeight = dialog.height
        var button = buttonOf(dialog)
        var rightEdge = button.mapToItem(dialog.contentItem, button.width, 0).x
        var message = Page.text(dialog.contentItem, "短消息")
        var icon = Page.text(dialog.contentItem, "ℹ️")
        var shortRow = Math.max(message.implicitHeight, icon.implicitHeight)

        // The dialog grows by what the wrapped message adds to its row in the font at hand.
        dialog.showInfo("这是一条很长的消息 ".repeat(20))
        verify(message.lineCount > 2)
        verify(message.lineCount >= Math.ceil(message.implicitWidth / message.width),
               message.lineCount + " lines for a text " + message.implicitWidth + " wide")
        var grown = Math.max(message.implicitHeight, icon.implicitHeight) - shortRow
        verify(grown > 0, "the wrapped message is taller than the icon")
        tryVerify(function() { return Math.abs(dialog.height - shortHeight - grown) <= 1 }, 1000,
                  "dialog grows with the message")
        compare(dialog.width, 344)
        verify(message.mapToItem(dialog.contentItem, message.width, 0).x <= dialog.contentItem.width)
        fuzzyCompare(button.mapToItem(dialog.contentItem, button.width, 0).x, rightEdge, 1)
        verify(button.mapToItem(dialog.contentItem, 0, 0).y >= message.mapToItem(dialog.contentItem, 0, message.height).y,
               "button stays below the message")
    }

    function test_buttonClosesAndKeepsLastMessage() {
        var dialog = createDialog(430)
        dialog.showError("网络错误")
        tryCompare(dialog, "opened", true)
        mouseClick(buttonOf(dialog))
        tryCompare(dialog, "visible", false)
        compare(dialog.titleText, "错误")
        compare(dialog.messageText, "网络错误")
        verify(Qt.colorEqual(dialog.iconColor, "#F44336"))
    }
}
