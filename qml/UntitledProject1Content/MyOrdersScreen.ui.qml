import QtQuick
import UntitledProject1

// A second order list with a card layout of its own; it asks "API" for the orders when it is
// completed and keeps them in its own model.
Rectangle {
    id: myOrdersRoot
    width: Constants.width
    height: Constants.height
    color: Constants.backgroundColor

    QtObject {
        id: internal

        function isSettled(status) {
            return status === "paid" || status === "completed"
        }

        function chipFill(status) {
            if (isSettled(status))
                return Qt.rgba(0, 1, 217 / 255, 0.1)
            if (status === "pending")
                return Qt.rgba(1, 165 / 255, 0, 0.1)
            return Qt.rgba(1, 82 / 255, 82 / 255, 0.1)
        }

        function chipTextColor(status) {
            if (isSettled(status))
                return Constants.colorSuccess
            if (status === "pending")
                return Constants.primaryVip
            return Constants.colorError
        }
    }

    ListModel {
        id: ordersModel
    }

    Connections {
        target: API

        // Every role gets a value, so that each row has all of them.
        function onOrdersLoaded(orders) {
            console.log("✅ 订单列表加载成功，数量:", orders.length)
            ordersModel.clear()
            for (var i = 0; i < orders.length; ++i) {
                var order = orders[i]
                ordersModel.append({
                    orderNumber: order.orderNumber !== undefined ? order.orderNumber : "",
                    planName: order.planName !== undefined ? order.planName : "",
                    amount: order.amount !== undefined ? order.amount : 0,
                    status: order.status !== undefined ? order.status : "",
                    statusText: order.statusText !== undefined ? order.statusText : "",
                    createdAt: order.createdAt !== undefined ? order.createdAt : new Date(NaN)
                })
            }
        }

        function onOrdersError(message) {
            console.log("❌ 订单列表加载失败:", message)
        }
    }

    Column {
        width: parent.width - 40
        anchors.top: parent.top
        anchors.topMargin: 20
        anchors.horizontalCenter: parent.horizontalCenter
        spacing: 16

        PageHeader {
            width: parent.width
            title: "我的订单"

            HeaderArrow { outlined: true }
        }

        Column {
            id: orderColumn
            width: parent.width
            spacing: 12

            Repeater {
                id: ordersRepeater
                model: ordersModel

                Rectangle {
                    id: card

                    required property string orderNumber
                    required property string planName
                    required property real amount
                    required property string status
                    required property string statusText
                    required property date createdAt

                    width: orderColumn.width
                    height: 110
                    radius: 12
                    color: Constants.cardColor
                    border.width: 1
                    border.color: Qt.rgba(1, 215 / 255, 0, 0.3)

                    // The card keeps its height: the texts that come with the order end in an
                    // ellipsis 8 px before their neighbours on the line.
                    Column {
                        id: cardLines
                        anchors.fill: parent
                        anchors.margins: 16
                        spacing: 8

                        Item {
                            width: parent.width
                            height: orderNumberText.height

                            Text {
                                id: orderNumberText
                                anchors.left: parent.left
                                width: Math.min(implicitWidth, cardLines.width - createdText.width - 8)
                                elide: Text.ElideRight
                                text: card.orderNumber
                                color: Constants.textSecondary
                                font.family: Constants.font.family
                                font.pixelSize: 12
                            }

                            Text {
                                id: createdText
                                anchors.right: parent.right
                                // The text the engine gives a date-time of its own accord.
                                text: Qt.formatDateTime(card.createdAt, Qt.ISODateWithMs)
                                color: Constants.textSecondary
                                font.family: Constants.font.family
                                font.pixelSize: 12
                            }
                        }

                        Row {
                            id: planLine
                            spacing: 8

                            Text {
                                id: crown
                                anchors.verticalCenter: parent.verticalCenter
                                text: "👑"
                                font.pixelSize: 14
                            }

                            Text {
                                anchors.verticalCenter: parent.verticalCenter
                                width: Math.min(implicitWidth, cardLines.width - crown.width - planLine.spacing)
                                elide: Text.ElideRight
                                text: card.planName
                                color: Constants.primaryVip
                                font.family: Constants.font.family
                                font.pixelSize: 16
                                font.bold: true
                            }
                        }

                        Item {
                            width: parent.width
                            height: 20

                            Text {
                                anchors.left: parent.left
                                anchors.verticalCenter: parent.verticalCenter
                                width: Math.min(implicitWidth, cardLines.width - statusChip.width - 8)
                                elide: Text.ElideRight
                                text: "¥" + card.amount
                                color: Constants.primaryVip
                                font.family: Constants.font.family
                                font.pixelSize: 16
                                font.bold: true
                            }

                            Rectangle {
                                id: statusChip
                                anchors.right: parent.right
                                anchors.verticalCenter: parent.verticalCenter
                                width: 60
                                height: 24
                                radius: 4
                                color: internal.chipFill(card.status)

                                Text {
                                    anchors.centerIn: parent
                                    width: Math.min(implicitWidth, statusChip.width - 8)
                                    elide: Text.ElideRight
                                    text: card.statusText
                                    color: internal.chipTextColor(card.status)
                                    font.family: Constants.font.family
                                    font.pixelSize: 12
                                    font.bold: true
                                }
                            }
                        }
                    }
                }
            }

            Text {
                anchors.horizontalCenter: parent.horizontalCenter
                text: "正在加载订单..."
                color: Constants.textSecondary
                font.family: Constants.font.family
                font.pixelSize: 14
                visible: ordersModel.count === 0
            }
        }
    }

    Component.onCompleted: {
        console.log("🔄 我的订单页面加载，获取订单列表")
        API.getUserOrders()
    }
}
