import QtQuick
import QtQuick.Controls
import UntitledProject1

// The VIP page: lists the plans, creates a payment order for the chosen one and shows its payment
// image while "API" polls the order's status.
Rectangle {
    id: vipRoot

    property int selectedPlanId: -1
    property string selectedPlanName: ""
    property real selectedPlanPrice: 0
    property bool isPaying: false
    property string currentOrderId: ""

    width: Constants.width
    height: Constants.height
    color: Constants.backgroundColor

    QtObject {
        id: internal

        function choosePlan(planId, planName, planPrice) {
            vipRoot.selectedPlanId = planId
            vipRoot.selectedPlanName = planName
            vipRoot.selectedPlanPrice = planPrice
        }

        function endPayment() {
            API.stopPollingPayment()
            vipRoot.isPaying = false
            vipRoot.currentOrderId = ""
        }

        function fillPlans(plans) {
            console.log("✅ 套餐列表加载成功，数量:", plans.length)
            planModel.clear()
            for (var i = 0; i < plans.length; ++i) {
                var plan = plans[i]
                console.log("  套餐", i + 1, ":", plan.name, plan.price, plan.currency, plan.days, "天")
                planModel.append({
                    planId: plan.id,
                    planName: plan.name || "",
                    planPrice: plan.price,
                    planCurrency: plan.currency || "",
                    planDays: plan.days,
                    planDaysText: plan.daysText ? plan.daysText : plan.days + " 天",
                    formattedPrice: plan.formattedPrice ? plan.formattedPrice : "¥" + plan.price,
                    pricePerDay: "¥" + (plan.price / plan.days).toFixed(2) + " / 天",
                    description: plan.description || "",
                    isRecommended: i === 1 || i === 3
                })
            }
            if (plans.length === 0)
                return
            var target = plans.length > 3 ? 3 : 1
            if (target < plans.length) {
                choosePlan(plans[target].id, plans[target].name, plans[target].price)
                console.log("📌 默认选择推荐套餐:", plans[target].name)
            }
        }
    }

    ListModel {
        id: planModel
    }

    Connections {
        target: API

        function onPlansLoaded(plans) {
            internal.fillPlans(plans)
        }

        function onPlansError(message) {
            console.log("❌ 套餐列表加载失败:", message)
        }

        function onPaymentCreated(payment) {
            console.log("✅ 支付订单创建成功")
            console.log("  订单号:", payment.orderId)
            console.log("  支付链接:", payment.paymentUrl)
            console.log("  金额:", payment.amount)
            console.log("  套餐:", payment.planName, payment.planDays, "天")
            vipRoot.currentOrderId = payment.orderId
            qrCodeImage.source = payment.paymentUrl
            vipRoot.isPaying = true
            console.log("🔄 开始轮询支付状态...")
            API.startPollingPayment(payment.orderId)
        }

        function onPaymentCreationError(message) {
            console.log("❌ 创建支付订单失败:", message)
            vipRoot.isPaying = false
        }

        function onPaymentStatusLoaded(status) {
            console.log("📊 支付状态更新:", status.status)
        }

        function onPaymentCompleted(orderNumber) {
            console.log("🎉 支付成功！订单号:", orderNumber)
            internal.endPayment()
            console.log("🔄 刷新用户VIP状态...")
            API.refreshUserInfo()
            console.log("✅ VIP开通成功！")
        }

        function onPaymentFailed(orderNumber, message) {
            console.log("❌ 支付失败:", message, "订单号:", orderNumber)
            internal.endPayment()
        }
    }

    Column {
        id: topColumn
        width: parent.width - 40
        anchors.top: parent.top
        anchors.topMargin: 20
        anchors.horizontalCenter: parent.horizontalCenter
        spacing: 20

        PageHeader {
            width: parent.width
            title: "升级 VIP 会员"
            titleColor: Constants.primaryVip

            HeaderArrow {}
        }

        Row {
            id: featureChips
            width: parent.width
            spacing: 10

            Repeater {
                model: ["🚀 4K秒开", "🔒 专线加速", "📱 多端支持", "🚫 无广告"]

                Rectangle {
                    id: chip

                    required property string modelData

                    width: (featureChips.width - 30) / 4
                    height: 30
                    radius: 15
                    color: Qt.rgba(1, 215 / 255, 0, 0.1)

                    Text {
                        anchors.centerIn: parent
                        text: chip.modelData
                        color: Constants.primaryVip
                        font.family: Constants.font.family
                        font.pixelSize: 10
                    }
                }
            }
        }
    }

    // Below the chips the page scrolls when the plans make it taller than the window; the room
    // above the first card keeps its recommendation tag inside the view.
    PageScroll {
        anchors.top: topColumn.bottom
        anchors.bottom: parent.bottom
        width: parent.width
        topRoom: 20
        spacing: 20

        Column {
            id: planList
            width: parent.width
            spacing: 16
            visible: !vipRoot.isPaying

            Repeater {
                id: planRepeater
                model: planModel

                Rectangle {
                    id: planCard

                    required property int planId
                    required property string planName
                    required property real planPrice
                    required property string planDaysText
                    required property string formattedPrice
                    required property bool isRecommended
                    readonly property bool selected: planId === vipRoot.selectedPlanId

                    width: planList.width
                    height: 72
                    radius: 12
                    color: Constants.cardColor
                    border.width: selected ? 2 : 1
                    border.color: selected ? Constants.primaryVip : Qt.rgba(1, 215 / 255, 0, 0.3)

                    // The price takes at most half of the card's content; the plan's texts
                    // end in an ellipsis the row's spacing before it.
                    Item {
                        id: planContent
                        anchors.fill: parent
                        anchors.margins: 16

                        Column {
                            id: planTexts
                            anchors.left: parent.left
                            anchors.verticalCenter: parent.verticalCenter
                            spacing: 4

                            readonly property real room: planContent.width - priceRow.width - priceRow.spacing

                            Text {
                                width: Math.min(implicitWidth, planTexts.room)
                                elide: Text.ElideRight
                                text: planCard.planName
                                color: Constants.textPrimary
                                font.family: Constants.font.family
                                font.pixelSize: 16
                                font.bold: true
                            }

                            Text {
                                width: Math.min(implicitWidth, planTexts.room)
                                elide: Text.ElideRight
                                text: planCard.planDaysText
                                color: Constants.textSecondary
                                font.family: Constants.font.family
                                font.pixelSize: 12
                            }
                        }

                        Row {
                            id: priceRow
                            anchors.right: parent.right
                            anchors.verticalCenter: parent.verticalCenter
                            spacing: 16

                            Text {
                                anchors.verticalCenter: parent.verticalCenter
                                width: Math.min(implicitWidth, planContent.width / 2 - checkCircle.width - priceRow.spacing)
                                elide: Text.ElideRight
                                text: planCard.formattedPrice
                                color: Constants.primaryVip
                                font.family: Constants.font.family
                                font.pixelSize: 20
                                font.bold: true
                            }

                            Rectangle {
                                id: checkCircle
                                anchors.verticalCenter: parent.verticalCenter
                                width: 20
                                height: 20
                                radius: 10
                                border.width: 1
                                border.color: Constants.primaryVip
                                color: planCard.selected ? Constants.primaryVip : "transparent"

                                Text {
                                    anchors.centerIn: parent
                                    text: "✓"
                                    color: "#0A0E27"
                                    font.pixelSize: 12
                                    font.bold: true
                                    visible: planCard.selected
                                }
                            }
                        }
                    }

                    Rectangle {
                        x: 16
                        y: -9
                        width: 40
                        height: 18
                        radius: 4
                        color: Constants.primaryVip
                        visible: planCard.isRecommended

                        Text {
                            anchors.centerIn: parent
                            text: "推荐"
                            color: "#0A0E27"
                            font.family: Constants.font.family
                            font.pixelSize: 10
                            font.bold: true
                        }
                    }

                    MouseArea {
                        anchors.fill: parent
                        cursorShape: Qt.PointingHandCursor
                        onClicked: {
                            console.log("📦 选择套餐:", planCard.planName, planCard.planId)
                            internal.choosePlan(planCard.planId, planCard.planName, planCard.planPrice)
                        }
                    }
                }
            }

            Text {
                id: loadingText
                anchors.horizontalCenter: parent.horizontalCenter
                text: "正在加载套餐..."
                color: Constants.textSecondary
                font.family: Constants.font.family
                font.pixelSize: 14
                visible: planModel.count === 0
            }
        }

        // The panel grows to hold its column with the same padding on every side; the plan
        // line ends in an ellipsis and the order number wraps inside that padding.
        Rectangle {
            id: paymentPanel
            width: parent.width
            height: Math.max(350, paymentColumn.height + 2 * padding)
            radius: 16
            color: Constants.cardColor
            visible: vipRoot.isPaying

            readonly property real padding: 20

            Column {
                id: paymentColumn
                anchors.centerIn: parent
                spacing: 20

                Text {
                    anchors.horizontalCenter: parent.horizontalCenter
                    text: "请使用支付宝扫码支付"
                    color: Constants.textPrimary
                    font.family: Constants.font.family
                    font.pixelSize: 18
                    font.bold: true
                }

                Text {
                    anchors.horizontalCenter: parent.horizontalCenter
                    width: Math.min(implicitWidth, paymentPanel.width - 2 * paymentPanel.padding)
                    elide: Text.ElideRight
                    text: vipRoot.selectedPlanName + " - ¥" + vipRoot.selectedPlanPrice
                    color: Constants.primaryVip
                    font.family: Constants.font.family
                    font.pixelSize: 16
                }

                Image {
                    id: qrCodeImage
                    anchors.horizontalCenter: parent.horizontalCenter
                    width: 200
                    height: 200
                    fillMode: Image.PreserveAspectFit
                }

                Text {
                    anchors.horizontalCenter: parent.horizontalCenter
                    width: Math.min(implicitWidth, paymentPanel.width - 2 * paymentPanel.padding)
                    wrapMode: Text.Wrap
                    horizontalAlignment: Text.AlignHCenter
                    text: "订单号: " + vipRoot.currentOrderId
                    color: Constants.textSecondary
                    font.family: Constants.font.family
                    font.pixelSize: 12
                }

                Button {
                    id: cancelButton
                    anchors.horizontalCenter: parent.horizontalCenter
                    text: "取消支付"

                    contentItem: Text {
                        text: cancelButton.text
                        color: Constants.textSecondary
                        font.family: Constants.font.family
                        font.pixelSize: 14
                        horizontalAlignment: Text.AlignHCenter
                        verticalAlignment: Text.AlignVCenter
                    }

                    background: Rectangle {
                        color: "transparent"
                        border.width: 1
                        border.color: Constants.textSecondary
                        radius: 8
                    }

                    onClicked: {
                        console.log("❌ 取消支付")
                        internal.endPayment()
                    }
                }
            }
        }

        Item {
            width: parent.width
            height: 20
        }

        Item {
            id: buyButton
            width: parent.width
            height: 50
            visible: !vipRoot.isPaying
            enabled: vipRoot.selectedPlanId > 0 && !vipRoot.isPaying

            Rectangle {
                anchors.fill: parent
                radius: 12
                opacity: buyButton.enabled ? 1.0 : 0.5
                gradient: Gradient {
                    GradientStop { position: 0.0; color: Constants.accentGlow }
                    GradientStop { position: 1.0; color: Constants.primaryVip }
                }
            }

            Text {
                anchors.centerIn: parent
                text: vipRoot.selectedPlanId > 0 ? "立即开通 ¥" + vipRoot.selectedPlanPrice : "请选择套餐"
                color: "#0A0E27"
                font.family: Constants.font.family
                font.pixelSize: 16
                font.bold: true
            }

            MouseArea {
                anchors.fill: parent
                cursorShape: Qt.PointingHandCursor
                onClicked: {
                    console.log("💳 创建支付订单, planId:", vipRoot.selectedPlanId)
                    API.createPayment(vipRoot.selectedPlanId, "alipay")
                }
            }
        }

        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: "支付即代表同意《会员服务协议》"
            color: Constants.textSecondary
            font.family: Constants.font.family
            font.pixelSize: 11
        }
    }

    Component.onCompleted: {
        console.log("🔄 VIP页面加载，获取套餐列表")
        API.getSubscriptionPlans()
    }
}
