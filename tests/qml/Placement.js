.pragma library

// Where items lie on the screen, for checks that a text keeps to its place: every edge in the
// window's coordinates.

function box(item) {
    var topLeft = item.mapToItem(null, 0, 0)
    return { left: topLeft.x, top: topLeft.y, right: topLeft.x + item.width, bottom: topLeft.y + item.height }
}

// Layouts add up fractions; a hundredth of a pixel is no place of its own.
var slack = 0.01

// Fails the running test (test: the TestCase) unless the item lies inside the container and
// keeps at least the margin from the container's left and right edges.
function verifyInside(test, item, container, margin, what) {
    var inner = box(item)
    var outer = box(container)
    test.verify(inner.left >= outer.left + margin - slack && inner.right <= outer.right - margin + slack,
                what + " spans x " + inner.left + " to " + inner.right + ", its place " + (outer.left + margin)
                + " to " + (outer.right - margin))
}

// Fails the running test unless the item ends at least the gap before the neighbour begins.
function verifyLeftOf(test, item, neighbour, gap, what) {
    var left = box(item)
    var right = box(neighbour)
    test.verify(left.right + gap <= right.left + slack,
                what + " ends at x " + left.right + ", its neighbour begins at " + right.left)
}

// Fails the running test unless the text shows whole, on one line, as wide as it is by itself.
function verifyWhole(test, text, what) {
    test.verify(!text.truncated && text.lineCount === 1 && text.width === text.implicitWidth,
                what + " \"" + text.text + "\" is cut or wrapped: width " + text.width + " of " + text.implicitWidth)
}
