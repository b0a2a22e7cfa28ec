import QtQuick
import QtTest
import UntitledProject1
import UntitledProject1Content
import "../PageItems.js" as Page
import "../Placement.js" as Placement

TestCase {
    id: testCase
    name: "AnnouncementForm"
    when: windowShown
    visible: true
    width: 430
    height: 880

    Component {
        id: formComp
        AnnouncementScreen {}
    }

    readonly property var invalid: new Date(NaN)

    function init() {
        API.clearCalls()
        Log.clear()
    }

    function entry(title, type) {
        return { id: 3, title: title, content: "正文", type: type,
                 publishedAt: new Date(2025, 0, 20, 8, 0), createdAt: invalid }
    }

    function createForm() {
        var form = createTemporaryObject(formComp, testCase)
        verify(form, "announcement form")
        return form
    }

    function test_createdAloneItWaits() {
        var form = createForm()
        compare(API.calls(), [])
        verify(Page.shown(form, "公告中心"))
        verify(Page.shown(form, "正在加载公告..."))
        var arrow = Page.shown(form, "←")
        compare(arrow.style, Text.Outline)
        verify(Qt.colorEqual(arrow.styleColor, "#000000"))
        mouseClick(arrow)
        compare(API.calls(), [])
    }

    function test_typeIcon_data() {
        return [
            { tag: "maintenance", type: "maintenance", icon: "🔧" },
            { tag: "update", type: "update", icon: "🚀" },
            { tag: "activity", type: "activity", icon: "🎉" },
            { tag: "capitalised", type: "Update", icon: "📢" },
            { tag: "empty", type: "", icon: "📢" },
            { tag: "missing", type: undefined, icon: "📢" }
        ]
    }

    function test_typeIcon(data) {
        var form = createForm()
        var announcement = entry("标题", data.type)
        if (data.type === undefined)
            delete announcement.type
        API.announcementsLoaded([announcement, entry("第二条", "update")])
        compare(Log.count("✅ 公告列表加载成功，数量: 2"), 1)
        var title = Page.shown(form, "标题")
        verify(title, "title")
        compare(title.parent.children[0].text, data.icon)
        compare(Page.shown(form, "第二条").parent.children[0].text, "🚀")
        compare(Page.shown(form, "正在加载公告..."), null)
    }

    // The form shows what came, with no replacement texts; an unpublished entry shows when it
    // was created.
    function test_cardTexts() {
        var form = createForm()
        var created = new Date(2025, 0, 8, 9, 15)
        var longEntry = { id: 9, title: "", content: "这是一条很长的公告内容。".repeat(30), type: "activity",
                     publishedAt: invalid, createdAt: created }
        API.announcementsLoaded([longEntry])
        Page.settle(testCase, form)
        var icon = Page.shown(form, "🎉")
        var titleRow = icon.parent
        compare(titleRow.children[1].text, "")
        compare(titleRow.children[2].text, Qt.formatDateTime(created, "yyyy-MM-ddThh:mm:ss.zzz"))
        var body = titleRow.parent.children[1]
        compare(body.text, longEntry.content)
        compare(body.lineCount, 2)
        compare(body.truncated, true)
    }

    // A long title ends in an ellipsis where its date begins (it may reach into the date's first
    // pixel, as the service's own titles do, the date standing raised above it); without a date
    // it ends at the card's margin. The service's titles show whole.
    function test_titleKeepsClearOfTheDate_data() {
        var longTitle = "Windows 客户端 2.0 released: a new look, smart routing and faster connections"
        return [
            { tag: "the service's welcome", title: "欢迎使用Norvane加速器", whole: true },
            { tag: "the service's update", title: "Windows客户端更新", whole: true },
            { tag: "long title", title: longTitle, whole: false },
            { tag: "long title without a date", title: longTitle, whole: false, undated: true }
        ]
    }

    function test_titleKeepsClearOfTheDate(data) {
        var form = createForm()
        var announcement = entry(data.title, "notice")
        if (data.undated)
            announcement.publishedAt = invalid
        API.announcementsLoaded([announcement])
        Page.settle(testCase, form)
        var title = Page.shown(form, data.title)
        var date = title.parent.children[2]
        var card = title.parent.parent.parent
        Placement.verifyInside(testCase, title, card, 16, "title")
        if (!data.undated)
            Placement.verifyLeftOf(testCase, title, date, -1, "title")
        if (data.whole)
            Placement.verifyWhole(testCase, title, "title")
        else
            verify(title.truncated, "the long title ends in an ellipsis")
    }

    function test_deliveriesReplaceTheRows() {
        var form = createForm()
        API.announcementsLoaded([entry("第一批", "update")])
        API.announcementsLoaded([entry("第二批", "update"), entry("另一条", "activity")])
        Page.settle(testCase, form)
        compare(Page.shownCount(form, "第一批"), 0)
        verify(Page.shown(form, "第二批"))
        verify(Page.shown(form, "另一条"))

        // An error keeps the rows; an empty delivery brings the loading text back.
        API.announcementsError("网络错误")
        compare(Log.count("❌ 公告列表加载失败: 网络错误"), 1)
        verify(Page.shown(form, "第二批"))
        API.announcementsLoaded([])
        Page.settle(testCase, form)
        compare(Page.shownCount(form, "第二批"), 0)
        verify(Page.shown(form, "正在加载公告..."))
    }
}
