import QtQuick
import QtTest
import UntitledProject1
import UntitledProject1Content
import "../PageItems.js" as Page
import "../Placement.js" as Placement

TestCase {
    id: testCase
    name: "VipPage"
    when: windowShown
    // Shown, so that the page takes real clicks and wheel turns.
    visible: true
    width: 430
    height: 880

    Component {
        id: pageComp
        VipScreen {}
    }

    // The local back end's payment picture stands in for the one at the order's address.
    readonly property var payment: ({ orderId: "NV202501010001",
                                      paymentUrl: String(Qt.resolvedUrl("../../../localbackend/payment-code.png")),
                                      amount: 99, planName: "订单里的套餐", planDays: 7 })

    function init() {
        API.setEchoCalls(false)
        API.clearCalls()
        Log.clear()
    }

    // Plans 1..count with prices 10, 20, ... and no texts of their own.
    function plans(count) {
        var list = []
        for (var i = 1; i <= count; ++i) {
            list.push({ id: i, name: "套餐" + i, days: 30 * i, price: 10 * i, currency: "CNY", description: "",
                        formattedPrice: "", daysText: "", isActive: true })
        }
        return list
    }

    function createPage(planList) {
        var page = createTemporaryObject(pageComp, testCase)
        verify(page, "VIP page")
        if (planList !== undefined)
            API.plansLoaded(planList)
        return page
    }

    function cardOf(page, planName) {
        var name = Page.shown(page, planName)
        verify(name, "card of " + planName)
        return Page.ancestor(name, function(item) { return item.height === 72 })
    }

    function buyButtonOf(page) {
        var label = Page.shown(page, "请选择套餐") || Page.shown(page, "立即开通 ¥" + page.selectedPlanPrice)
        verify(label, "buy button")
        return label.parent
    }

    function click(page, item) {
        Page.settle(testCase, page)
        var centre = Page.centreIn(item, page)
        mouseClick(page, centre.x, centre.y)
    }

    function test_completionAsksForThePlans() {
        var page = createPage()
        compare(API.calls(), ["getSubscriptionPlans()"])
        compare(Log.count("🔄 VIP页面加载，获取套餐列表"), 1)
        verify(Page.shown(page, "正在加载套餐..."))
        verify(Page.shown(page, "升级 VIP 会员"))
        compare(Page.shownCount(page, "🚀 4K秒开") + Page.shownCount(page, "🚫 无广告"), 2)
        verify(Page.shown(page, "支付即代表同意《会员服务协议》"))
        var buy = buyButtonOf(page)
        compare(buy.enabled, false)
        compare(buy.children[0].opacity, 0.5)
    }

    function test_defaultSelection_data() {
        return [
            { tag: "no plans", count: 0, selected: -1, tags: [] },
            { tag: "one plan", count: 1, selected: -1, tags: [] },
            { tag: "two plans", count: 2, selected: 2, tags: [2] },
            { tag: "three plans", count: 3, selected: 2, tags: [2] },
            { tag: "four plans", count: 4, selected: 4, tags: [2, 4] },
            { tag: "five plans", count: 5, selected: 4, tags: [2, 4] }
        ]
    }

    function test_defaultSelection(data) {
        var page = createPage(plans(data.count))
        compare(page.selectedPlanId, data.selected)
        compare(Log.count("📌 默认选择推荐套餐:"), data.selected > 0 ? 1 : 0)
        compare(Page.shown(page, "正在加载套餐...") !== null, data.count === 0)
        compare(Page.shownCount(page, "推荐"), data.tags.length)
        for (var i = 1; i <= data.count; ++i) {
            var card = cardOf(page, "套餐" + i)
            compare(Page.shown(card, "推荐") !== null, data.tags.indexOf(i) >= 0, "tag on plan " + i)
            compare(Page.shown(card, "✓") !== null, i === data.selected, "check mark on plan " + i)
            compare(card.border.width, i === data.selected ? 2 : 1)
        }
        var buy = buyButtonOf(page)
        compare(buy.enabled, data.selected > 0)
        if (data.selected > 0)
            verify(Page.shown(buy, "立即开通 ¥" + 10 * data.selected))
    }

    // A later list is laid out anew and its default replaces the user's choice.
    function test_secondListReplacesTheChoice() {
        var page = createPage(plans(3))
        click(page, cardOf(page, "套餐1"))
        compare(page.selectedPlanId, 1)
        API.plansLoaded(plans(5))
        compare(page.selectedPlanId, 4)
        compare(Page.shownCount(page, "套餐1"), 1)
        compare(Page.shownCount(page, "推荐"), 2)
    }

    function test_cardTexts_data() {
        return [
            { tag: "days without a text", plan: { days: 30, daysText: "" }, shows: "30 天" },
            { tag: "days text", plan: { days: 30, daysText: "一个月" }, shows: "一个月" },
            { tag: "whole price without a text", plan: { price: 30, formattedPrice: "" }, shows: "¥30" },
            { tag: "decimal price without a text", plan: { price: 19.9, formattedPrice: "" }, shows: "¥19.9" },
            { tag: "price text", plan: { price: 15, formattedPrice: "¥15.00" }, shows: "¥15.00" }
        ]
    }

    function test_cardTexts(data) {
        var plan = { id: 7, name: "月卡", days: 30, price: 15, currency: "CNY", description: "",
                     formattedPrice: "¥15.00", daysText: "30天", isActive: true }
        for (var key in data.plan)
            plan[key] = data.plan[key]
        var page = createPage([plan])
        verify(Page.shown(cardOf(page, "月卡"), data.shows), data.shows)
    }

    // Plan name and days text end in an ellipsis 16 before the price, which takes at most half of
    // the card's content; the service's plans show whole.
    function test_cardTextsKeepClearOfThePrice_data() {
        return [
            { tag: "the service's plan", whole: true, plan: { name: "季卡", daysText: "90天", formattedPrice: "¥40.00" } },
            { tag: "long texts", whole: false,
              plan: { name: "Premium 年卡 with every VIP line and 4K streaming", daysText: "365 days, 30 more as a gift and 7 for new users",
                      formattedPrice: "¥1288.00 a year for the first year" } }
        ]
    }

    function test_cardTextsKeepClearOfThePrice(data) {
        var plan = { id: 7, days: 30, price: 15, currency: "CNY", description: "", isActive: true }
        for (var key in data.plan)
            plan[key] = data.plan[key]
        var page = createPage([plan])
        Page.settle(testCase, page)
        var card = cardOf(page, plan.name)
        var name = Page.shown(card, plan.name)
        var days = Page.shown(card, plan.daysText)
        var price = Page.shown(card, plan.formattedPrice)
        Placement.verifyLeftOf(testCase, name, price, 16, "plan name")
        Placement.verifyLeftOf(testCase, days, price, 16, "days text")
        Placement.verifyInside(testCase, name, card, 16, "plan name")
        Placement.verifyInside(testCase, price, card, 16, "price")
        var texts = [name, days, price]
        for (var i = 0; i < texts.length; ++i) {
            if (data.whole)
                Placement.verifyWhole(testCase, texts[i], "card text")
            else
                verify(texts[i].truncated, texts[i].text)
        }
    }

    function test_choosingAPlan_data() {
        return [
            { tag: "whole price", price: 30, button: "立即开通 ¥30" },
            { tag: "decimal price", price: 19.9, button: "立即开通 ¥19.9" }
        ]
    }

    function test_choosingAPlan(data) {
        var list = plans(3)
        list[0].price = data.price
        var page = createPage(list)
        var card = cardOf(page, "套餐1")
        click(page, card)
        click(page, card)
        compare(page.selectedPlanId, 1)
        compare(page.selectedPlanName, "套餐1")
        compare(Log.count("📦 选择套餐: 套餐1 1"), 2)
        verify(Page.shown(card, "✓"))
        compare(Page.shownCount(page, "✓"), 1)
        var buy = buyButtonOf(page)
        verify(Page.shown(buy, data.button))
        compare(buy.children[0].opacity, 1)

        // Each click sends an order of its own; the page waits for the result.
        click(page, buy)
        click(page, buy)
        compare(API.callCount("createPayment"), 2)
        compare(API.calls()[1], "createPayment(1, alipay)")
        compare(Log.count("💳 创建支付订单, planId: 1"), 2)
        compare(page.isPaying, false)
        verify(Page.shown(page, "套餐3"))
    }

    function test_planWithoutIdCannotBeBought() {
        var page = createPage([{ id: 0, name: "无编号", days: 30, price: 9, currency: "CNY", description: "",
                                 formattedPrice: "", daysText: "", isActive: true }])
        var card = cardOf(page, "无编号")
        click(page, card)
        verify(Page.shown(card, "✓"))
        compare(card.border.width, 2)
        var buy = buyButtonOf(page)
        verify(Page.shown(buy, "请选择套餐"))
        click(page, buy)
        compare(API.callCount("createPayment"), 0)
    }

    function test_payingShowsTheOrder() {
        var page = createPage(plans(3))
        API.clearCalls()
        API.paymentCreated(payment)
        compare(page.isPaying, true)
        compare(page.currentOrderId, payment.orderId)
        compare(API.calls(), ["startPollingPayment(NV202501010001)"])
        verify(Page.shown(page, "请使用支付宝扫码支付"))
        // The page's own choice, not the order's plan and amount.
        verify(Page.shown(page, "套餐2 - ¥20"))
        verify(Page.shown(page, "订单号: NV202501010001"))
        verify(Page.shown(page, "取消支付"))
        compare(Page.shownCount(page, "套餐1"), 0)
        compare(Page.shownCount(page, "立即开通 ¥20"), 0)
        verify(Page.shown(page, "支付即代表同意《会员服务协议》"))
        var image = Page.image(page)
        verify(image.visible)
        compare(String(image.source), payment.paymentUrl)
        tryCompare(image, "status", Image.Ready)
        compare(image.width, 200)
        compare(image.height, 200)
        compare(image.fillMode, Image.PreserveAspectFit)

        // Status answers only go to the log.
        API.paymentStatusLoaded({ orderId: payment.orderId, status: "completed", amount: 20, planName: "套餐2", paidAt: "" })
        compare(page.isPaying, true)
        compare(Log.count("📊 支付状态更新: completed"), 1)
        compare(API.callCount("stopPollingPayment"), 0)
    }

    // The panel holds its column with 20 of padding on every side and grows with it from its
    // 350; the footer moves down with it. A long plan line ends in an ellipsis and a long order
    // number wraps, both inside the padding.
    function test_paymentPanelHoldsItsColumn_data() {
        return [
            { tag: "the service's order", plans: plans(3), orderId: "NV202612110306070001", planLine: "套餐2 - ¥20" },
            { tag: "long plan name and order number",
              plans: [{ id: 1, name: "Premium 年卡 with every VIP line, 4K streaming and five devices at once", days: 365, price: 1288,
                        currency: "CNY", description: "", formattedPrice: "", daysText: "", isActive: true }],
              orderId: "PAY-20250301-ALIPAY-7F3C9A1B2D4E6-PAY-20250301-ALIPAY-7F3C9A1B2D4E6",
              planLine: "Premium 年卡 with every VIP line, 4K streaming and five devices at once - ¥1288", long: true }
        ]
    }

    function test_paymentPanelHoldsItsColumn(data) {
        var page = createPage(data.plans)
        page.selectedPlanName = data.plans[data.plans.length > 1 ? 1 : 0].name
        page.selectedPlanPrice = data.plans[data.plans.length > 1 ? 1 : 0].price
        var order = JSON.parse(JSON.stringify(payment))
        order.orderId = data.orderId
        API.paymentCreated(order)
        Page.settle(testCase, page)
        var heading = Page.shown(page, "请使用支付宝扫码支付")
        var panel = Page.ancestor(heading, function(item) { return item.radius === 16 })
        verify(panel.height >= 350)
        var cancel = Page.shown(page, "取消支付").parent
        var planLine = Page.shown(page, data.planLine)
        var orderLine = Page.shown(page, "订单号: " + data.orderId)
        var panelBox = Placement.box(panel)
        // Centring puts the column on a whole pixel, half a pixel off when the fonts give it an
        // odd height.
        if (panel.height > 350) {
            fuzzyCompare(Placement.box(heading).top, panelBox.top + 20, 0.5)
            fuzzyCompare(Placement.box(cancel).bottom, panelBox.bottom - 20, 0.5)
        }
        verify(Placement.box(heading).top >= panelBox.top + 19.5,
               "heading at y " + Placement.box(heading).top + ", panel from " + panelBox.top)
        verify(Placement.box(cancel).bottom <= panelBox.bottom - 19.5,
               "cancel button to y " + Placement.box(cancel).bottom + ", panel to " + panelBox.bottom)
        var items = [heading, planLine, Page.image(page), orderLine, cancel]
        for (var i = 0; i < items.length; ++i)
            Placement.verifyInside(testCase, items[i], panel, 20, "panel item " + i)
        compare(planLine.truncated, data.long === true)
        compare(orderLine.lineCount > 1, data.long === true)
        // Under the panel: the page's spacing, the 20-high spacer, the spacing, then the footer.
        compare(Placement.box(Page.shown(page, "支付即代表同意《会员服务协议》")).top, panelBox.bottom + 60)
    }

    // Whatever order number the outcome carries, the page returns to the plans with the same
    // choice.
    function test_paymentEnds_data() {
        return [
            { tag: "completed", end: "completed", calls: ["stopPollingPayment()", "refreshUserInfo()"], log: "🎉 支付成功！订单号: OTHER" },
            { tag: "failed", end: "failed", calls: ["stopPollingPayment()"], log: "❌ 支付失败: 支付超时 订单号: OTHER" },
            { tag: "cancelled", end: "cancel", calls: ["stopPollingPayment()"], log: "❌ 取消支付" }
        ]
    }

    function test_paymentEnds(data) {
        var page = createPage(plans(3))
        API.paymentCreated(payment)
        API.clearCalls()
        if (data.end === "completed")
            API.paymentCompleted("OTHER")
        else if (data.end === "failed")
            API.paymentFailed("OTHER", "支付超时")
        else
            click(page, Page.shown(page, "取消支付"))
        compare(API.calls(), data.calls)
        compare(Log.count(data.log), 1)
        compare(page.isPaying, false)
        compare(page.currentOrderId, "")
        compare(page.selectedPlanId, 2)
        verify(Page.shown(page, "套餐1"))
        verify(Page.shown(buyButtonOf(page), "立即开通 ¥20"))
        compare(Page.shown(page, "请使用支付宝扫码支付"), null)
    }

    function test_failedRequestsOnlyLog() {
        var page = createPage()
        API.plansError("网络错误")
        compare(Log.count("❌ 套餐列表加载失败: 网络错误"), 1)
        verify(Page.shown(page, "正在加载套餐..."))

        API.plansLoaded(plans(2))
        API.paymentCreationError("套餐不存在或已下架")
        compare(Log.count("❌ 创建支付订单失败: 套餐不存在或已下架"), 1)
        compare(page.isPaying, false)
        verify(Page.shown(buyButtonOf(page), "立即开通 ¥20"))
    }

    // Three plans fit: neither a drag nor the wheel moves anything, also when the page ends just
    // below the footer. Eight plans put the buy button below the window's edge; scrolling brings
    // it up to be clicked.
    function test_scrolling_data() {
        return [
            { tag: "three plans", count: 3, fits: true },
            { tag: "three plans, 10 px to spare", count: 3, fits: true, spare: 10 },
            { tag: "eight plans", count: 8, fits: false }
        ]
    }

    function test_scrolling(data) {
        var page = createPage(plans(data.count))
        Page.settle(testCase, page)
        var footer = Page.shown(page, "支付即代表同意《会员服务协议》")
        if (data.spare !== undefined) {
            page.height = footer.mapToItem(page, 0, 0).y + footer.height + data.spare
            Page.settle(testCase, page)
        }
        var buy = buyButtonOf(page)
        var before = buy.mapToItem(page, 0, 0).y
        compare(before + buy.height <= 880, data.fits)

        mouseDrag(page, 215, 300, 0, -200)
        for (var i = 0; i < 10; ++i)
            mouseWheel(page, 215, 300, 0, -120)
        var header = Page.shown(page, "升级 VIP 会员")
        // Centring rounds to a whole pixel when the font gives the header an odd height.
        fuzzyCompare(header.mapToItem(page, 0, 0).y, 20 + (50 - header.height) / 2, 0.5)
        if (data.fits) {
            wait(50)
            compare(buy.mapToItem(page, 0, 0).y, before)
            return
        }
        tryVerify(function() { return buy.mapToItem(page, 0, 0).y + buy.height <= 880 }, 3000, "buy button brought into view")
        var scroller = Page.flickable(page)
        tryCompare(scroller, "moving", false)
        verify(footer.mapToItem(page, 0, 0).y < 880)
        click(page, buy)
        compare(API.callCount("createPayment"), 1)
    }
}
