import QtQuick

// A page's content below its header: a column 40 narrower than the page and centred, which
// scrolls once it is taller than its room. Scrolled to its end, the content keeps 20 px of room
// below it; content that fits stays put however little room it leaves.
Flickable {
    id: scroll

    // Room above the column's first item.
    property alias topRoom: column.y
    property alias spacing: column.spacing
    default property alias content: column.data

    contentHeight: column.y + column.height + 20
    interactive: column.y + column.height > height
    boundsBehavior: Flickable.StopAtBounds
    clip: true

    Column {
        id: column
        width: parent.width - 40
        anchors.horizontalCenter: parent.horizontalCenter
    }
}
