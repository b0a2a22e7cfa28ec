import QtQuick
import QtTest
import UntitledProject1

TestCase {
    name: "Constants"

    function test_value_data() {
        return [
            { tag: "width", name: "width", value: 430 },
            { tag: "height", name: "height", value: 880 },
            { tag: "relativeFontDirectory", name: "relativeFontDirectory", value: "fonts" }
        ]
    }

    function test_value(data) {
        compare(Constants[data.name], data.value)
    }

    function test_colour_data() {
        return [
            { tag: "backgroundColor", name: "backgroundColor", value: "#0A0E27" },
            { tag: "cardColor", name: "cardColor", value: "#1A1E37" },
            { tag: "primaryFree", name: "primaryFree", value: "#00FFD9" },
            { tag: "primaryVip", name: "primaryVip", value: "#FFD700" },
            { tag: "colorVip", name: "colorVip", value: "#FFE55C" },
            { tag: "accentGlow", name: "accentGlow", value: "#FFEB3B" },
            { tag: "textPrimary", name: "textPrimary", value: "#FFFFFF" },
            { tag: "textSecondary", name: "textSecondary", value: "#B0B0B0" },
            { tag: "textHint", name: "textHint", value: "#808080" },
            { tag: "colorError", name: "colorError", value: "#FF5252" },
            { tag: "colorSuccess", name: "colorSuccess", value: "#00CCAA" },
            { tag: "colorWarning", name: "colorWarning", value: "#FF9800" }
        ]
    }

    function test_colour(data) {
        verify(Qt.colorEqual(Constants[data.name], data.value),
               data.name + " is " + Constants[data.name] + ", expected " + data.value)
    }

    function test_fontsFollowTheApplicationFont() {
        compare(Constants.font.family, Qt.application.font.family)
        compare(Constants.font.pixelSize, Qt.application.font.pixelSize)
        compare(Constants.largeFont.family, Qt.application.font.family)
        compare(Constants.largeFont.pixelSize, Math.floor(Qt.application.font.pixelSize * 1.6))
    }

    function test_fontPathFollowsTheFontDirectory() {
        compare(Constants.fontPath, "qrc:/qt/qml/UntitledProject1Content/fonts")
        Constants.relativeFontDirectory = "typefaces"
        compare(Constants.fontPath, "qrc:/qt/qml/UntitledProject1Content/typefaces")
        Constants.relativeFontDirectory = "fonts"
        compare(Constants.fontPath, "qrc:/qt/qml/UntitledProject1Content/fonts")
    }

    function test_readOnlyValuesRefuseWrites() {
        var writeFailed = false
        try {
            Constants.width = 500
        } catch (e) {
            writeFailed = true
        }
        verify(writeFailed)
        compare(Constants.width, 430)
    }
}
