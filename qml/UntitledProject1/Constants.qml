pragma Singleton
import QtQuick

QtObject {
    readonly property int width: 430
    readonly property int height: 880

    property string relativeFontDirectory: "fonts"

    readonly property font font: Qt.font({
        family: Application.font.family,
        pixelSize: Application.font.pixelSize
    })
    readonly property font largeFont: Qt.font({
        family: Application.font.family,
        pixelSize: Application.font.pixelSize * 1.6
    })

    readonly property color backgroundColor: "#0A0E27"
    readonly property color cardColor: "#1A1E37"
    readonly property color primaryFree: "#00FFD9"
    readonly property color primaryVip: "#FFD700"
    readonly property color colorVip: "#FFE55C"
    readonly property color accentGlow: "#FFEB3B"
    readonly property color textPrimary: "#FFFFFF"
    readonly property color textSecondary: "#B0B0B0"
    readonly property color textHint: "#808080"
    readonly property color colorError: "#FF5252"
    readonly property color colorSuccess: "#00CCAA"
    // Pending and processing orders; the orange of the warning dialog.
    readonly property color colorWarning: "#FF9800"

    readonly property string fontPath: Qt.resolvedUrl("../UntitledProject1Content/" + relativeFontDirectory)
}
