import QtQuick
import UntitledProject1

Rectangle {
    id: root
    width: Constants.width
    height: Constants.height
    color: Constants.backgroundColor

    gradient: Gradient {
        GradientStop { position: 0.0; color: "#020410" }
        GradientStop { position: 1.0; color: "#0A0E27" }
    }

    Item {
        id: particleLayer
        anchors.fill: parent
        clip: true

        // Main stream: diagonal from below the lower left to above the upper right.
        Repeater {
            model: 15

            Rectangle {
                id: streamParticle

                required property int index
                width: 3
                height: 3
                radius: 1.5
                color: index % 3 === 0 ? Constants.primaryFree : "white"
                opacity: 0.7
                x: -20
                y: particleLayer.height + 50

                SequentialAnimation {
                    running: true
                    loops: Animation.Infinite
                    PauseAnimation { duration: 200 * streamParticle.index }
                    NumberAnimation {
                        target: streamParticle
                        property: "x"
                        from: -20
                        to: particleLayer.width + 20
                        duration: 3000 + 100 * streamParticle.index
                        easing.type: Easing.InOutQuad
                    }
                }
                SequentialAnimation {
                    running: true
                    loops: Animation.Infinite
                    PauseAnimation { duration: 200 * streamParticle.index }
                    NumberAnimation {
                        target: streamParticle
                        property: "y"
                        from: particleLayer.height + 50
                        to: -50
                        duration: 3000 + 100 * streamParticle.index
                        easing.type: Easing.InOutQuad
                    }
                }
                SequentialAnimation {
                    running: true
                    loops: Animation.Infinite
                    NumberAnimation {
                        target: streamParticle
                        property: "opacity"
                        to: 0.2
                        duration: 800 + 50 * streamParticle.index
                    }
                    NumberAnimation {
                        target: streamParticle
                        property: "opacity"
                        to: 0.9
                        duration: 800 + 50 * streamParticle.index
                    }
                }
            }
        }

        // Secondary stream: a slow, swaying column at a third of the width.
        Repeater {
            model: 10

            Rectangle {
                id: driftParticle

                required property int index
                width: 2
                height: 2
                radius: 1
                color: "white"
                opacity: 0.5
                x: particleLayer.width / 3
                y: particleLayer.height

                SequentialAnimation {
                    running: true
                    loops: Animation.Infinite
                    PauseAnimation { duration: 300 * driftParticle.index }
                    NumberAnimation {
                        target: driftParticle
                        property: "y"
                        from: particleLayer.height + 30
                        to: -30
                        duration: 4000 + 150 * driftParticle.index
                    }
                }
                SequentialAnimation {
                    running: true
                    loops: Animation.Infinite
                    PauseAnimation { duration: 300 * driftParticle.index }
                    NumberAnimation {
                        target: driftParticle
                        property: "x"
                        from: particleLayer.width / 3 - 20
                        to: particleLayer.width / 3 + 20
                        duration: 2000
                        easing.type: Easing.InOutSine
                    }
                    NumberAnimation {
                        target: driftParticle
                        property: "x"
                        from: particleLayer.width / 3 + 20
                        to: particleLayer.width / 3 - 20
                        duration: 2000
                        easing.type: Easing.InOutSine
                    }
                }
                SequentialAnimation {
                    running: true
                    loops: Animation.Infinite
                    NumberAnimation {
                        target: driftParticle
                        property: "opacity"
                        to: 0.1
                        duration: 1000
                    }
                    NumberAnimation {
                        target: driftParticle
                        property: "opacity"
                        to: 0.7
                        duration: 1000
                    }
                }
            }
        }

        // Meteors: fast, from right to left.
        Repeater {
            model: 8

            Rectangle {
                id: meteor

                required property int index
                width: 4
                height: 4
                radius: 2
                color: Constants.primaryFree
                opacity: 0.8
                x: particleLayer.width
                y: 100 * index

                SequentialAnimation {
                    running: true
                    loops: Animation.Infinite
                    PauseAnimation { duration: 500 * meteor.index }
                    NumberAnimation {
                        target: meteor
                        property: "x"
                        from: particleLayer.width + 50
                        to: -50
                        duration: 2000
                        easing.type: Easing.InQuad
                    }
                    PauseAnimation { duration: 2000 }
                }
                SequentialAnimation {
                    running: true
                    loops: Animation.Infinite
                    PauseAnimation { duration: 500 * meteor.index }
                    NumberAnimation {
                        target: meteor
                        property: "y"
                        from: 100 * meteor.index
                        to: 100 * meteor.index + 50
                        duration: 2000
                        easing.type: Easing.InQuad
                    }
                    PauseAnimation { duration: 2000 }
                }
                SequentialAnimation {
                    running: true
                    loops: Animation.Infinite
                    NumberAnimation {
                        target: meteor
                        property: "opacity"
                        to: 0.2
                        duration: 500
                    }
                    NumberAnimation {
                        target: meteor
                        property: "opacity"
                        to: 0.9
                        duration: 500
                    }
                }
            }
        }

        // Background stars: fixed, twinkling.
        Repeater {
            model: 30

            Rectangle {
                id: star

                required property int index
                readonly property int side: index % 3 === 0 ? 2 : 1
                width: side
                height: side
                radius: side / 2
                color: "white"
                opacity: 0.3 + (index % 5) * 0.1
                x: (37 * index) % particleLayer.width
                y: (73 * index) % particleLayer.height

                SequentialAnimation {
                    running: true
                    loops: Animation.Infinite
                    NumberAnimation {
                        target: star
                        property: "opacity"
                        to: 0.1
                        duration: 1500 + 100 * star.index
                    }
                    NumberAnimation {
                        target: star
                        property: "opacity"
                        to: 0.6
                        duration: 1500 + 100 * star.index
                    }
                }
            }
        }
    }

    Column {
        anchors.centerIn: parent
        spacing: 24

        Column {
            spacing: 8

            Text {
                anchors.horizontalCenter: parent.horizontalCenter
                text: "Norvane加速器"
                color: Constants.textPrimary
                font.bold: true
                font.pixelSize: 32
                font.family: Constants.font.family
                style: Text.Outline
                styleColor: Constants.primaryFree
            }

            Text {
                anchors.horizontalCenter: parent.horizontalCenter
                text: "www.norvane.com"
                color: Constants.textSecondary
                font.pixelSize: 14
                font.letterSpacing: 4
                font.family: Constants.font.family
                opacity: 0.8
            }
        }
    }

    Column {
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 60
        anchors.horizontalCenter: parent.horizontalCenter
        spacing: 16

        Rectangle {
            width: 200
            height: 4
            radius: 2
            color: Qt.rgba(1, 1, 1, 0.1)

            Rectangle {
                width: 60
                height: parent.height
                radius: 2
                color: Constants.primaryFree

                NumberAnimation on x {
                    loops: Animation.Infinite
                    from: -60
                    to: 200
                    duration: 1500
                    easing.type: Easing.InOutQuad
                }
            }
        }

        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: "正在初始化Norvane链路..."
            color: Constants.textSecondary
            font.pixelSize: 12
            font.family: Constants.font.family

            SequentialAnimation on opacity {
                loops: Animation.Infinite
                NumberAnimation { to: 0.4; duration: 800 }
                NumberAnimation { to: 1.0; duration: 800 }
            }
        }
    }

    Text {
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 20
        anchors.horizontalCenter: parent.horizontalCenter
        text: "© Norvane 版权所有"
        color: "white"
        opacity: 0.3
        font.pixelSize: 10
        font.family: Constants.font.family
    }
}
