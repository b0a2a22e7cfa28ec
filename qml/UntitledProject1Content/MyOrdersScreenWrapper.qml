import QtQuick
import UntitledProject1

// The order history page: asks "API" once for the signed-in user's orders and shows them as
// cards, or the loading, error or empty text.
Item {
    id: wrapper

    property var orderList: []
    property bool isLoading: false
    property string errorMessage: ""

    function getStatusColor(status) {
        switch (status) {
        case "completed":
        case "paid":
            return Constants.colorSuccess
        case "pending":
        case "processing":
            return Constants.colorWarning
        case "cancelled":
        case "failed":
            return Constants.colorError
        default:
            return Constants.textSecondary
        }
    }

    // The calendar day of the user's own time zone.
    function formatDate(createdAt) {
        if (!(createdAt instanceof Date) || isNaN(createdAt.getTime()))
            return ""
        return Qt.formatDateTime(createdAt, "yyyy-MM-dd")
    }

    Connections {
        target: typeof API !== "undefined" ? API : null
        ignoreUnknownSignals: true

        function onOrdersLoaded(orders) {
            console.log("订单加载成功，数量:", orders.length)
            wrapper.isLoading = false
            wrapper.errorMessage = ""
            wrapper.orderList = orders
        }

        function onOrdersError(message) {
            console.log("订单加载失败:", message)
            wrapper.isLoading = false
            wrapper.errorMessage = "加载失败: " + message
        }
    }

    ListPage {
        anchors.fill: parent
        title: "我的订单"
        loading: wrapper.isLoading
        errorText: wrapper.errorMessage

        Text {
            id: emptyText
            anchors.horizontalCenter: parent.horizontalCenter
            text: "暂无订单记录"
            color: Constants.textSecondary
            font.pixelSize: 14
            visible: !wrapper.isLoading && wrapper.errorMessage === "" && wrapper.orderList.length === 0
        }

        Column {
            id: cardList
            width: parent.width
            spacing: 12
            visible: !wrapper.isLoading && wrapper.errorMessage === "" && wrapper.orderList.length > 0

            Repeater {
                model: wrapper.orderList

                Rectangle {
                    id: card

                    required property var modelData

                    width: cardList.width
                    height: orderCol.height + 24
                    radius: 16
                    color: Constants.cardColor
                    border.width: 1
                    border.color: Qt.rgba(0, 1, 217 / 255, 0.1)

                    Column {
                        id: orderCol
                        width: parent.width - 24
                        anchors.centerIn: parent
                        spacing: 8

                        // The chip keeps to the card: the spacer gives way to a long order
                        // number, a number longer still wraps, and a long status text ends in
                        // an ellipsis at half of the row.
                        Row {
                            id: topRow
                            width: parent.width
                            spacing: 8

                            readonly property real room: width - 2 * spacing

                            Text {
                                id: orderNumberText
                                width: Math.min(implicitWidth, topRow.room - statusChip.width)
                                wrapMode: Text.Wrap
                                text: card.modelData.orderNumber || "N/A"
                                color: Constants.textSecondary
                                font.family: Constants.font.family
                                font.pixelSize: 12
                            }

                            Item {
                                width: Math.min(topRow.width - 200, topRow.room - orderNumberText.width - statusChip.width)
                                height: 1
                            }

                            Rectangle {
                                id: statusChip
                                width: statusText.width + 16
                                height: 20
                                radius: 10
                                color: wrapper.getStatusColor(card.modelData.status)

                                Text {
                                    id: statusText
                                    anchors.centerIn: parent
                                    width: Math.min(implicitWidth, topRow.room / 2 - 16)
                                    elide: Text.ElideRight
                                    text: card.modelData.statusText || card.modelData.status || "未知"
                                    color: Constants.textPrimary
                                    font.family: Constants.font.family
                                    font.pixelSize: 11
                                    font.bold: true
                                }
                            }
                        }

                        Rectangle {
                            width: parent.width
                            height: 1
                            color: Qt.rgba(1, 1, 1, 0.05)
                        }

                        Text {
                            width: Math.min(implicitWidth, parent.width)
                            wrapMode: Text.Wrap
                            text: card.modelData.planName || "未知套餐"
                            color: Constants.textPrimary
                            font.family: Constants.font.family
                            font.pixelSize: 16
                            font.bold: true
                        }

                        Row {
                            id: amountRow
                            width: parent.width

                            // The date keeps to the card: the spacer gives way to a long
                            // amount, and an amount longer still ends in an ellipsis.
                            Text {
                                id: amountText
                                width: Math.min(implicitWidth, amountRow.width - dateText.width)
                                elide: Text.ElideRight
                                text: "¥" + (card.modelData.amount || "0.00")
                                color: Constants.colorVip
                                font.family: Constants.font.family
                                font.pixelSize: 18
                                font.bold: true
                            }

                            Item {
                                width: Math.min(amountRow.width - 200, amountRow.width - amountText.width - dateText.width)
                                height: 1
                            }

                            Text {
                                id: dateText
                                text: wrapper.formatDate(card.modelData.createdAt)
                                color: Constants.textSecondary
                                font.family: Constants.font.family
                                font.pixelSize: 12
                            }
                        }

                        Text {
                            width: Math.min(implicitWidth, parent.width)
                            wrapMode: Text.Wrap
                            text: "支付方式: " + (card.modelData.paymentMethodText || card.modelData.paymentMethod)
                            color: Constants.textSecondary
                            font.family: Constants.font.family
                            font.pixelSize: 12
                            visible: (card.modelData.paymentMethod || "") !== ""
                        }
                    }
                }
            }
        }
    }

    Component.onCompleted: {
        if (typeof API === "undefined") {
            errorMessage = "API未初始化"
            return
        }
        if (!API.isLoggedIn) {
            errorMessage = "请先登录"
            return
        }
        console.log("开始加载订单列表")
        isLoading = true
        API.getUserOrders()
    }
}
