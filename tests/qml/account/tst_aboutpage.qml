import QtQuick
import QtTest
import UntitledProject1
import UntitledProject1Content
import "../PageItems.js" as Page

TestCase {
    id: testCase
    name: "AboutPage"
    when: windowShown
    visible: true
    width: 430
    height: 880

    Component {
        id: pageComp
        AboutUsScreen {}
    }

    function test_layout() {
        var page = createTemporaryObject(pageComp, testCase)
        Page.settle(testCase, page)
        compare(page.width, 430)
        compare(page.height, 880)
        var arrow = Page.shown(page, "←")
        var arrowPlace = arrow.mapToItem(page, 0, 0)
        compare(arrowPlace.x, 20)
        verify(arrowPlace.y >= 20 && arrowPlace.y + arrow.height <= 70, "the arrow lies in the back control's square")

        // The scrolling view starts under the header and clips there.
        var view = Page.flickable(page)
        compare(view.mapToItem(page, 0, 0).y, 70)
        compare(view.height, 810)
        compare(view.clip, true)
        var name = Page.shown(page, "Norvane加速器")
        compare(view.contentHeight, name.parent.parent.height + 40)

        var mission = Page.first(page, function(item) { return Page.isText(item) && String(item.text).indexOf("致力于") > 0 })
        // The body wraps at the column's width: it takes as many lines as its text needs in the
        // font at hand, and no line runs past the column.
        compare(mission.width, 370)
        verify(mission.lineCount >= Math.ceil(mission.implicitWidth / mission.width),
               mission.lineCount + " lines for a text " + mission.implicitWidth + " wide")
        verify(mission.contentWidth <= mission.width)
        var contact = Page.shown(page, "客服邮箱: support@norvane.com\n官方网站: https://www.norvane.com")
        verify(contact)
        compare(contact.lineCount, 2)
        verify(Page.shown(page, "服务条款").font.underline)
        verify(Page.shown(page, "隐私政策").font.underline)
    }
}
