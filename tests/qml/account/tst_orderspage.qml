import QtQuick
import QtTest
import UntitledProject1
import UntitledProject1Content
import "../PageItems.js" as Page
import "../Placement.js" as Placement

TestCase {
    id: testCase
    name: "OrdersPage"
    when: windowShown
    // Shown, so that the page takes real drags and wheel turns.
    visible: true
    width: 430
    height: 880

    Component {
        id: pageComp
        MyOrdersScreenWrapper {
            width: 430
            height: 880
        }
    }

    readonly property var invalid: new Date(NaN)

    function init() {
        API.setAccount({ isLoggedIn: true, userEmail: "demo@norvane.local", userName: "演示用户" })
        API.clearCalls()
        Log.clear()
    }

    function order(fields) {
        var map = { id: 1, orderNumber: "NV202503010001", planName: "月卡", planDays: 30, amount: 15,
                    paymentCurrency: "CNY", paymentMethod: "alipay", paymentMethodText: "支付宝",
                    status: "completed", statusText: "已完成", createdAt: new Date(2025, 2, 1, 10, 0), paidAt: invalid }
        for (var key in fields)
            map[key] = fields[key]
        return map
    }

    function createPage() {
        var page = createTemporaryObject(pageComp, testCase)
        verify(page, "order page")
        return page
    }

    function cardOf(page, orderNumber) {
        var number = Page.shown(page, orderNumber)
        verify(number, "card of " + orderNumber)
        return number.parent.parent.parent
    }

    function test_signedOutAsksNothing() {
        API.setAccount({ isLoggedIn: false })
        var page = createPage()
        compare(API.calls(), [])
        var error = Page.shown(page, "请先登录")
        verify(error)
        verify(Qt.colorEqual(error.color, Constants.colorError))
        compare(error.mapToItem(page, 0, 0).y, 86)
        verify(Page.shown(page, "我的订单"))
        // A later sign-in does not bring the list.
        API.setAccount({ isLoggedIn: true })
        API.loginStateChanged(true)
        compare(API.calls(), [])
        verify(Page.shown(page, "请先登录"))
    }

    function test_states_data() {
        var two = [order({ orderNumber: "A-1" }), order({ orderNumber: "A-2" })]
        return [
            { tag: "loading", signals: [], loading: true, empty: false, error: "", cards: 0 },
            { tag: "list", signals: [["loaded", two]], loading: false, empty: false, error: "", cards: 2,
              log: "订单加载成功，数量: 2" },
            { tag: "empty list", signals: [["loaded", []]], loading: false, empty: true, error: "", cards: 0 },
            { tag: "error", signals: [["error", "未登录"]], loading: false, empty: false, error: "加载失败: 未登录", cards: 0,
              log: "订单加载失败: 未登录" },
            { tag: "error without text", signals: [["error", ""]], loading: false, empty: false, error: "加载失败: ", cards: 0 },
            { tag: "error after a list", signals: [["loaded", two], ["error", "超时"]], loading: false, empty: false,
              error: "加载失败: 超时", cards: 0 },
            { tag: "list after an error", signals: [["error", "超时"], ["loaded", two]], loading: false, empty: false,
              error: "", cards: 2 }
        ]
    }

    function test_states(data) {
        var page = createPage()
        compare(API.calls(), ["getUserOrders()"])
        compare(Log.count("开始加载订单列表"), 1)
        for (var i = 0; i < data.signals.length; ++i) {
            if (data.signals[i][0] === "loaded")
                API.ordersLoaded(data.signals[i][1])
            else
                API.ordersError(data.signals[i][1])
        }
        Page.settle(testCase, page)
        compare(Page.shown(page, "加载中...") !== null, data.loading)
        compare(Page.shown(page, "暂无订单记录") !== null, data.empty)
        var error = Page.first(page, function(item) { return Page.isText(item) && String(item.text).indexOf("加载失败") === 0 })
        compare(error !== null && error.visible, data.error !== "")
        if (data.error !== "")
            compare(error.text, data.error)
        compare(Page.shownCount(page, "A-1") + Page.shownCount(page, "A-2"), data.cards)
        if (data.log)
            compare(Log.count(data.log), 1)
        // The state text or the first card begins 16 under the header.
        var firstShown = Page.shown(page, "加载中...") || Page.shown(page, "暂无订单记录") || (error && error.visible ? error : null)
        if (firstShown)
            compare(firstShown.mapToItem(page, 0, 0).y, 86)
        else
            compare(cardOf(page, "A-1").mapToItem(page, 0, 0).y, 86)
    }

    function test_amount_data() {
        return [
            { tag: "30", amount: 30, text: "¥30" },
            { tag: "12.5", amount: 12.5, text: "¥12.5" },
            { tag: "19.99", amount: 19.99, text: "¥19.99" },
            { tag: "0", amount: 0, text: "¥0.00" }
        ]
    }

    function test_amount(data) {
        var page = createPage()
        API.ordersLoaded([order({ amount: data.amount })])
        verify(Page.shown(page, data.text), data.text)
    }

    function test_statusChip_data() {
        return [
            { tag: "completed", status: "completed", statusText: "已完成", text: "已完成", fill: Constants.colorSuccess },
            { tag: "paid", status: "paid", statusText: "已支付", text: "已支付", fill: Constants.colorSuccess },
            { tag: "paid without a text", status: "paid", statusText: "", text: "paid", fill: Constants.colorSuccess },
            { tag: "pending", status: "pending", statusText: "待支付", text: "待支付", fill: Constants.colorWarning },
            { tag: "processing", status: "processing", statusText: "处理中", text: "处理中", fill: Constants.colorWarning },
            { tag: "cancelled", status: "cancelled", statusText: "已取消", text: "已取消", fill: Constants.colorError },
            { tag: "failed", status: "failed", statusText: "失败", text: "失败", fill: Constants.colorError },
            { tag: "capitals", status: "PAID", statusText: "已支付", text: "已支付", fill: Constants.textSecondary },
            { tag: "refunded", status: "refunded", statusText: "已退款", text: "已退款", fill: Constants.textSecondary },
            { tag: "no status", status: "", statusText: "", text: "未知", fill: Constants.textSecondary }
        ]
    }

    function test_statusChip(data) {
        var page = createPage()
        API.ordersLoaded([order({ status: data.status, statusText: data.statusText })])
        Page.settle(testCase, page)
        var text = Page.shown(page, data.text)
        verify(text, data.text)
        verify(Qt.colorEqual(text.color, Constants.textPrimary))
        var chip = text.parent
        verify(Qt.colorEqual(chip.color, data.fill), "chip " + chip.color)
        compare(chip.width, text.width + 16)
        compare(chip.height, 20)
    }

    function test_fallbacksAndPaymentLine_data() {
        return [
            { tag: "method and its text", fields: {}, shows: ["NV202503010001", "月卡", "支付方式: 支付宝"], line: true },
            { tag: "method without text", fields: { paymentMethodText: "" }, shows: ["支付方式: alipay"], line: true },
            { tag: "text without method", fields: { paymentMethod: "" }, shows: [], line: false },
            { tag: "nothing sent", fields: { orderNumber: "", planName: "", amount: 0, status: "", statusText: "",
                                             paymentMethod: "", paymentMethodText: "", createdAt: invalid },
              shows: ["N/A", "未知套餐", "¥0.00", "未知"], line: false }
        ]
    }

    function test_fallbacksAndPaymentLine(data) {
        var page = createPage()
        API.ordersLoaded([order(data.fields)])
        Page.settle(testCase, page)
        for (var i = 0; i < data.shows.length; ++i)
            verify(Page.shown(page, data.shows[i]), data.shows[i])
        var line = Page.first(page, function(item) { return Page.isText(item) && String(item.text).indexOf("支付方式: ") === 0 })
        compare(line.visible, data.line)
    }

    // The calendar day of the local time zone (the suite runs 8 hours east of UTC, where these
    // moments fall on another UTC day).
    function test_date_data() {
        return [
            { tag: "just after local midnight", createdAt: new Date(2025, 2, 1, 0, 30), text: "2025-03-01" },
            { tag: "just before local midnight", createdAt: new Date(2025, 2, 1, 23, 30), text: "2025-03-01" },
            { tag: "no creation time", createdAt: invalid, text: "" }
        ]
    }

    function test_date(data) {
        var page = createPage()
        API.ordersLoaded([order({ createdAt: data.createdAt })])
        var amount = Page.shown(page, "¥15")
        var dateText = amount.parent.children[2]
        compare(dateText.text, data.text)
    }

    // A number that leaves room keeps the chip 182 after it (the spacer of the row less 200); a
    // longer one takes the spacer's room, and one longer still wraps and makes the card taller.
    // The chip keeps to the card's inner column, 12 inside its edge, clear of the number.
    function test_chipKeepsToTheCard_data() {
        return [
            { tag: "short number", number: "N1", spacer: true, lines: 1 },
            { tag: "the service's number", number: "NV202612110306070001", lines: 1 },
            { tag: "33 characters", number: "PAY-20250301-ALIPAY-7F3C9A1B2D4E6", lines: 1 },
            { tag: "66 characters", number: "PAY-20250301-ALIPAY-7F3C9A1B2D4E6PAY-20250301-ALIPAY-7F3C9A1B2D4E6", lines: 2 }
        ]
    }

    function test_chipKeepsToTheCard(data) {
        var page = createPage()
        API.ordersLoaded([order({ orderNumber: "N0" }), order({ orderNumber: data.number })])
        Page.settle(testCase, page)
        var number = Page.shown(page, data.number)
        var chip = Page.texts(page, "已完成")[1].parent
        var card = cardOf(page, data.number)
        Placement.verifyInside(testCase, chip, card, 12, "chip")
        Placement.verifyInside(testCase, number, card, 12, "order number")
        Placement.verifyLeftOf(testCase, number, chip, 8, "order number")
        compare(Placement.box(chip).top, Placement.box(number).top)
        if (data.spacer)
            compare(chip.x, number.width + 8 + 166 + 8)
        compare(number.lineCount > 1, data.lines > 1)
        var shortCard = cardOf(page, "N0")
        if (data.lines > 1)
            verify(card.height > shortCard.height, "the card grows with the wrapped number")
        else
            compare(card.height, shortCard.height)
    }

    // The service's status texts fit the chip; a long one ends in an ellipsis at half of the
    // row, and the chip stays inside the card.
    function test_longStatusTextKeepsToTheCard() {
        var page = createPage()
        API.ordersLoaded([order({ statusText: "已完成 and refunded to the Alipay account it was paid from" })])
        Page.settle(testCase, page)
        var text = Page.shown(page, "已完成 and refunded to the Alipay account it was paid from")
        verify(text.truncated)
        Placement.verifyInside(testCase, text.parent, cardOf(page, "NV202503010001"), 12, "chip")
        Placement.verifyLeftOf(testCase, Page.shown(page, "NV202503010001"), text.parent, 8, "order number")
    }

    // The date keeps 166 after a usual amount; a long amount takes the spacer's room and the date
    // stays inside the card. A long plan name and payment text wrap inside it.
    function test_amountRowAndLinesKeepToTheCard_data() {
        return [
            { tag: "usual amount", amount: 15, amountText: "¥15", spacer: true },
            { tag: "long amount", amount: 0.30000000000000004, amountText: "¥0.30000000000000004" },
            { tag: "long plan and payment texts", amount: 15, amountText: "¥15", spacer: true,
              plan: "Premium 年卡 with every VIP line, 4K streaming and five devices at once",
              method: "支付宝 Huabei instalments, 12 months without interest, by Ant Consumer Finance" }
        ]
    }

    function test_amountRowAndLinesKeepToTheCard(data) {
        var fields = { amount: data.amount }
        if (data.plan) {
            fields.planName = data.plan
            fields.paymentMethodText = data.method
        }
        var page = createPage()
        API.ordersLoaded([order(fields)])
        Page.settle(testCase, page)
        var card = cardOf(page, "NV202503010001")
        var amount = Page.shown(page, data.amountText)
        var dateText = amount.parent.children[2]
        compare(dateText.text, "2025-03-01")
        Placement.verifyInside(testCase, dateText, card, 12, "date")
        Placement.verifyLeftOf(testCase, amount, dateText, 0, "amount")
        if (data.spacer)
            compare(dateText.x, amount.width + 166)
        var plan = Page.shown(page, data.plan || "月卡")
        var method = Page.shown(page, "支付方式: " + (data.method || "支付宝"))
        Placement.verifyInside(testCase, plan, card, 12, "plan name")
        Placement.verifyInside(testCase, method, card, 12, "payment line")
        compare(plan.lineCount > 1, data.plan !== undefined)
        compare(method.lineCount > 1, data.method !== undefined)
    }

    // Two cards fit: a drag and the wheel move nothing, also when the page ends just below the
    // last card. Fifteen do not: the last card can be scrolled fully into view, while the header
    // stays in place.
    function test_scrolling_data() {
        return [
            { tag: "fits", count: 2 },
            { tag: "fits with 10 px to spare", count: 2, spare: 10 },
            { tag: "long", count: 15 }
        ]
    }

    function test_scrolling(data) {
        var page = createPage()
        var list = []
        for (var i = 1; i <= data.count; ++i)
            list.push(order({ orderNumber: "NO-" + i }))
        API.ordersLoaded(list)
        Page.settle(testCase, page)
        var last = cardOf(page, "NO-" + data.count)
        if (data.spare !== undefined) {
            page.height = last.mapToItem(page, 0, 0).y + last.height + data.spare
            Page.settle(testCase, page)
        }
        var fits = last.mapToItem(page, 0, 0).y + last.height <= page.height
        compare(fits, data.count === 2)
        var before = last.mapToItem(page, 0, 0).y

        mouseDrag(page, 215, 200, 0, -150)
        for (var w = 0; w < 40; ++w)
            mouseWheel(page, 215, 200, 0, -120)
        var header = Page.shown(page, "我的订单")
        // Centring rounds to a whole pixel when the font gives the header an odd height.
        fuzzyCompare(header.mapToItem(page, 0, 0).y, 20 + (50 - header.height) / 2, 0.5)
        if (fits) {
            wait(50)
            compare(last.mapToItem(page, 0, 0).y, before)
            return
        }
        tryVerify(function() { return last.mapToItem(page, 0, 0).y + last.height <= 880 }, 3000, "last card in view")
        verify(last.mapToItem(page, 0, 0).y >= 70)
    }
}
