import QtQuick
import QtTest
import UntitledProject1
import UntitledProject1Content
import "../PageItems.js" as Page
import "../Placement.js" as Placement

TestCase {
    id: testCase
    name: "OrdersForm"
    when: windowShown
    visible: true
    width: 430
    height: 880

    Component {
        id: formComp
        MyOrdersScreen {}
    }

    function init() {
        API.setAccount({ isLoggedIn: false })
        API.clearCalls()
        Log.clear()
    }

    function order(orderNumber, fields) {
        var map = { id: 1, orderNumber: orderNumber, planName: "季卡", planDays: 90, amount: 40,
                    paymentCurrency: "CNY", paymentMethod: "alipay", paymentMethodText: "支付宝",
                    status: "paid", statusText: "已支付", createdAt: new Date(2025, 2, 1, 10, 0), paidAt: new Date(NaN) }
        for (var key in fields)
            map[key] = fields[key]
        return map
    }

    function createForm() {
        var form = createTemporaryObject(formComp, testCase)
        verify(form, "order form")
        return form
    }

    // It asks even while nobody is signed in, and waits with the loading text.
    function test_completionAsksWithoutALoginCheck() {
        var form = createForm()
        compare(API.calls(), ["getUserOrders()"])
        compare(Log.count("🔄 我的订单页面加载，获取订单列表"), 1)
        verify(Page.shown(form, "正在加载订单..."))
        API.ordersError("请先登录")
        compare(Log.count("❌ 订单列表加载失败: 请先登录"), 1)
        verify(Page.shown(form, "正在加载订单..."))
    }

    function test_statusChip_data() {
        return [
            { tag: "paid", status: "paid", fill: Qt.rgba(0, 1, 217 / 255, 0.1), text: Constants.colorSuccess },
            { tag: "completed", status: "completed", fill: Qt.rgba(0, 1, 217 / 255, 0.1), text: Constants.colorSuccess },
            { tag: "pending", status: "pending", fill: Qt.rgba(1, 165 / 255, 0, 0.1), text: Constants.primaryVip },
            { tag: "processing", status: "processing", fill: Qt.rgba(1, 82 / 255, 82 / 255, 0.1), text: Constants.colorError },
            { tag: "cancelled", status: "cancelled", fill: Qt.rgba(1, 82 / 255, 82 / 255, 0.1), text: Constants.colorError },
            { tag: "capitals", status: "Paid", fill: Qt.rgba(1, 82 / 255, 82 / 255, 0.1), text: Constants.colorError }
        ]
    }

    function test_statusChip(data) {
        var form = createForm()
        API.ordersLoaded([order("NV-1", { status: data.status, statusText: "状态" })])
        var chipText = Page.shown(form, "状态")
        verify(chipText)
        verify(Qt.colorEqual(chipText.color, data.text), "text " + chipText.color)
        var chip = chipText.parent
        verify(Qt.colorEqual(chip.color, data.fill), "fill " + chip.color)
        compare(chip.width, 60)
        compare(chip.height, 24)
    }

    function test_cardTexts_data() {
        return [
            { tag: "whole amount", fields: { amount: 30 }, shows: ["¥30", "季卡", "已支付", "NV-1"] },
            { tag: "decimal amount", fields: { amount: 12.5 }, shows: ["¥12.5"] },
            { tag: "nothing to pay", fields: { amount: 0 }, shows: ["¥0"] }
        ]
    }

    function test_cardTexts(data) {
        var form = createForm()
        API.ordersLoaded([order("NV-1", data.fields)])
        for (var i = 0; i < data.shows.length; ++i)
            verify(Page.shown(form, data.shows[i]), data.shows[i])
        compare(Page.shown(form, "正在加载订单..."), null)
    }

    // The card keeps its fixed height: a long order number ends in an ellipsis 8 before the date,
    // a long plan name at the card's margin and a long status text inside the chip; the amount
    // keeps 8 before the chip. The service's order shows whole.
    function test_cardTextsKeepToTheCard_data() {
        return [
            { tag: "the service's order", whole: true, number: "NV202612110306070001",
              fields: { planName: "月卡", amount: 15, statusText: "已完成" } },
            { tag: "long texts", whole: false, number: "PAY-20250301-ALIPAY-7F3C9A1B2D4E6-7F3C9A1B2D4E6",
              fields: { planName: "Premium 年卡 with every VIP line, 4K streaming and five devices",
                        amount: 0.30000000000000004, statusText: "completed, invoiced" } }
        ]
    }

    function test_cardTextsKeepToTheCard(data) {
        var form = createForm()
        API.ordersLoaded([order(data.number, data.fields)])
        Page.settle(testCase, form)
        var number = Page.shown(form, data.number)
        var card = Page.ancestor(number, function(item) { return item.height === 110 })
        var date = number.parent.children[1]
        var plan = Page.shown(form, data.fields.planName)
        var amount = Page.shown(form, "¥" + data.fields.amount)
        var status = Page.shown(form, data.fields.statusText)
        Placement.verifyLeftOf(testCase, number, date, 8, "order number")
        Placement.verifyInside(testCase, date, card, 16, "date")
        Placement.verifyInside(testCase, plan, card, 16, "plan name")
        Placement.verifyLeftOf(testCase, amount, status.parent, 8, "amount")
        Placement.verifyInside(testCase, status, status.parent, 4, "status text")
        Placement.verifyInside(testCase, status.parent, card, 16, "chip")
        // An amount as the engine writes it does not reach the chip; it only may not pass it.
        if (data.whole)
            Placement.verifyWhole(testCase, amount, "amount")
        var texts = [number, plan, status]
        for (var i = 0; i < texts.length; ++i) {
            if (data.whole)
                Placement.verifyWhole(testCase, texts[i], "card text")
            else
                verify(texts[i].truncated, texts[i].text)
        }
    }

    function test_deliveriesReplaceTheRows() {
        var form = createForm()
        API.ordersLoaded([order("NV-1"), order("NV-2")])
        API.ordersLoaded([order("NV-3")])
        Page.settle(testCase, form)
        compare(Log.count("✅ 订单列表加载成功，数量: 1"), 1)
        compare(Page.shownCount(form, "NV-1") + Page.shownCount(form, "NV-2"), 0)
        verify(Page.shown(form, "NV-3"))
        API.ordersError("超时")
        verify(Page.shown(form, "NV-3"))
        API.ordersLoaded([])
        Page.settle(testCase, form)
        compare(Page.shownCount(form, "NV-3"), 0)
        verify(Page.shown(form, "正在加载订单..."))
    }
}
