import QtQuick
import QtTest
import UntitledProject1
import UntitledProject1Content
import "../PageItems.js" as Page

TestCase {
    id: testCase
    name: "AnnouncementPage"
    when: windowShown
    // Shown, so that the page takes real drags and wheel turns.
    visible: true
    width: 430
    height: 880

    Component {
        id: pageComp
        AnnouncementScreenWrapper {
            width: 430
            height: 880
        }
    }

    readonly property var invalid: new Date(NaN)

    function init() {
        API.clearCalls()
        Log.clear()
    }

    function entry(title, content, publishedAt, createdAt) {
        return { id: 1, title: title, content: content, type: "notice",
                 publishedAt: publishedAt === undefined ? new Date(2025, 0, 1, 8, 0) : publishedAt,
                 createdAt: createdAt === undefined ? invalid : createdAt }
    }

    // The engine's default text of a date-time, local time.
    function defaultText(date) {
        return Qt.formatDateTime(date, "yyyy-MM-ddThh:mm:ss.zzz")
    }

    function createPage() {
        var page = createTemporaryObject(pageComp, testCase)
        verify(page, "announcement page")
        return page
    }

    function test_completionAsksOnce() {
        var page = createPage()
        compare(API.calls(), ["getAnnouncements()"])
        compare(Log.count("开始加载公告列表"), 1)
        compare(page.isLoading, true)
        verify(Page.shown(page, "公告中心"))
        verify(Page.shown(page, "加载中..."))
    }

    function test_states_data() {
        var two = [entry("第一条", "内容一"), entry("第二条", "内容二")]
        return [
            { tag: "loading", signals: [], loading: true, error: "", cards: [] },
            { tag: "list", signals: [["loaded", two]], loading: false, error: "", cards: ["第一条", "第二条"],
              log: "公告加载成功，数量: 2" },
            { tag: "empty list", signals: [["loaded", []]], loading: false, error: "", cards: [] },
            { tag: "error", signals: [["error", "网络错误"]], loading: false, error: "加载失败: 网络错误", cards: [],
              log: "公告加载失败: 网络错误" },
            { tag: "error without text", signals: [["error", ""]], loading: false, error: "加载失败: ", cards: [] },
            { tag: "list after an error", signals: [["error", "网络错误"], ["loaded", two]], loading: false, error: "",
              cards: ["第一条", "第二条"] },
            { tag: "error after a list", signals: [["loaded", two], ["error", "超时"]], loading: false,
              error: "加载失败: 超时", cards: [] }
        ]
    }

    function test_states(data) {
        var page = createPage()
        for (var i = 0; i < data.signals.length; ++i) {
            if (data.signals[i][0] === "loaded")
                API.announcementsLoaded(data.signals[i][1])
            else
                API.announcementsError(data.signals[i][1])
        }
        compare(Page.shown(page, "加载中...") !== null, data.loading)
        var error = Page.first(page, function(item) { return Page.isText(item) && String(item.text).indexOf("加载失败") === 0 })
        compare(error !== null && error.visible, data.error !== "")
        if (data.error !== "") {
            compare(error.text, data.error)
            verify(Qt.colorEqual(error.color, Constants.colorError))
        }
        for (var c = 0; c < data.cards.length; ++c)
            verify(Page.shown(page, data.cards[c]), data.cards[c])
        compare(Page.shownCount(page, "第一条") + Page.shownCount(page, "第二条"), data.cards.length)
        if (data.log)
            compare(Log.count(data.log), 1)
        // The header, and nothing for an empty list.
        verify(Page.shown(page, "公告中心"))
    }

    function test_cardTexts_data() {
        var published = new Date(2025, 0, 5, 8, 30)
        var created = new Date(2024, 11, 31, 23, 0)
        return [
            { tag: "title and body", entry: entry("春节活动", "年卡限时优惠", published, created),
              title: "春节活动", body: "年卡限时优惠", date: defaultText(published) },
            { tag: "empty title", entry: entry("", "正文", published), title: "无标题", body: "正文", date: defaultText(published) },
            { tag: "no title", entry: { content: "正文", publishedAt: published, createdAt: invalid },
              title: "无标题", body: "正文", date: defaultText(published) },
            { tag: "empty body", entry: entry("标题", "", published), title: "标题", body: "无内容", date: defaultText(published) },
            { tag: "unpublished", entry: entry("标题", "正文", invalid, created), title: "标题", body: "正文", date: defaultText(created) },
            { tag: "no times", entry: entry("标题", "正文", invalid, invalid), title: "标题", body: "正文", date: "" }
        ]
    }

    function test_cardTexts(data) {
        var page = createPage()
        API.announcementsLoaded([data.entry])
        Page.settle(testCase, page)
        var title = Page.shown(page, data.title)
        verify(title, data.title)
        var body = Page.shown(page, data.body)
        verify(body, data.body)
        // Title, date line, divider and body, one below the other.
        var lines = title.parent.parent.children
        compare(lines.length, 4)
        var date = lines[1]
        compare(date.text, data.date)
        verify(date.height > 0, "the date line keeps its place")
        verify(body.y > date.y + date.height)
        // No entry of the bridge is new: the title starts at the row's left edge.
        compare(title.x, 0)
    }

    // With both times missing the date line is empty but keeps its place: the card is as tall
    // as the same card with a date, and the divider and body stand where they stand there.
    function test_cardWithoutDatesKeepsItsHeight() {
        var page = createPage()
        API.announcementsLoaded([entry("有日期", "正文"), entry("无日期", "正文", invalid, invalid)])
        Page.settle(testCase, page)
        var dated = Page.shown(page, "有日期").parent.parent
        var undated = Page.shown(page, "无日期").parent.parent
        compare(undated.children[1].text, "")
        compare(undated.parent.height, dated.parent.height)
        for (var i = 1; i < 4; ++i)
            compare(undated.children[i].y, dated.children[i].y, "line " + i)
    }

    function test_newEntryShowsTheDot() {
        var page = createPage()
        var fresh = entry("新公告", "正文")
        fresh.isNew = true
        API.announcementsLoaded([fresh, entry("旧公告", "正文")])
        Page.settle(testCase, page)
        var freshTitle = Page.shown(page, "新公告")
        var oldTitle = Page.shown(page, "旧公告")
        compare(freshTitle.x, 18)
        compare(oldTitle.x, 0)
        var dot = freshTitle.parent.children[0]
        compare(dot.visible, true)
        compare(dot.width, 6)
        compare(oldTitle.parent.children[0].visible, false)
    }

    function test_longTextsWrap() {
        var page = createPage()
        var longBody = "很长的内容".repeat(40)
        API.announcementsLoaded([entry("很长的标题".repeat(12), longBody)])
        Page.settle(testCase, page)
        var title = Page.shown(page, "很长的标题".repeat(12))
        var body = Page.shown(page, longBody)
        compare(body.width, 358)
        // Each text takes as many lines as it needs in the font at hand, and the card grows to
        // hold them with its margin below.
        var texts = [title, body]
        for (var i = 0; i < texts.length; ++i) {
            verify(texts[i].lineCount > 1)
            verify(texts[i].lineCount >= Math.ceil(texts[i].implicitWidth / texts[i].width),
                   texts[i].lineCount + " lines for a text " + texts[i].implicitWidth + " wide")
        }
        var card = body.parent.parent
        compare(card.height, body.parent.height + 32)
        fuzzyCompare(body.mapToItem(card, 0, body.height).y, card.height - 16, 1)
    }

    // Two cards fit: a drag and the wheel move nothing, also when the page ends just below the
    // last card. Twelve do not: the last card can be scrolled fully into view, while the header
    // stays in place.
    function test_scrolling_data() {
        return [
            { tag: "fits", count: 2 },
            { tag: "fits with 10 px to spare", count: 2, spare: 10 },
            { tag: "long", count: 12 }
        ]
    }

    function test_scrolling(data) {
        var page = createPage()
        var list = []
        for (var i = 1; i <= data.count; ++i)
            list.push(entry("公告" + i, "第" + i + "条公告的正文，足够长以便换行显示在卡片之中。".repeat(3)))
        API.announcementsLoaded(list)
        Page.settle(testCase, page)
        var last = Page.shown(page, "公告" + data.count).parent.parent.parent
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
        var header = Page.shown(page, "公告中心")
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
