.pragma library

// Finding a page's items the way a user sees them: by the texts they show, and the fields by
// the placeholders they show. Every QML suite shares these.

// A text item: a text the page shows, not a field the user types into.
function isText(item) {
    return item && item.text !== undefined && item.font !== undefined && item.horizontalAlignment !== undefined
        && item.echoMode === undefined
}

function each(root, visit) {
    if (!root)
        return
    visit(root)
    var children = root.children || []
    for (var i = 0; i < children.length; ++i)
        each(children[i], visit)
}

// Every text item below root whose text is the given one, shown or not.
function texts(root, text) {
    var found = []
    each(root, function(item) {
        if (isText(item) && String(item.text) === text)
            found.push(item)
    })
    return found
}

// The one text item with that text that is shown (visible with all its ancestors), or null.
function shown(root, text) {
    var found = texts(root, text).filter(function(item) { return item.visible })
    return found.length > 0 ? found[0] : null
}

// The first text item below root with that text, shown or not, or null.
function text(root, text) {
    var found = texts(root, text)
    return found.length > 0 ? found[0] : null
}

function shownCount(root, text) {
    return texts(root, text).filter(function(item) { return item.visible }).length
}

// The nearest ancestor (the item itself included) that passes the test.
function ancestor(item, test) {
    for (var node = item; node; node = node.parent) {
        if (test(node))
            return node
    }
    return null
}

// The centre of an item in the coordinates of another, for clicks at a user's place.
function centreIn(item, other) {
    return item.mapToItem(other, item.width / 2, item.height / 2)
}

// The first item below root that passes the test.
function first(root, test) {
    var found = null
    each(root, function(item) {
        if (!found && test(item))
            found = item
    })
    return found
}

// Every item below root (root itself included) that passes the test, in document order.
function all(root, test) {
    var found = []
    each(root, function(item) {
        if (test(item))
            found.push(item)
    })
    return found
}

// The text field below root that shows the placeholder, or null.
function field(root, placeholder) {
    return first(root, function(item) { return item.placeholderText === placeholder })
}

function flickable(root) {
    return first(root, function(item) { return item.contentY !== undefined && item.flick !== undefined })
}

function image(root) {
    return first(root, function(item) { return item.fillMode !== undefined && item.sourceSize !== undefined })
}

// Lets the positioners place what a signal has just changed before anything is measured or
// clicked; test is the running TestCase.
function settle(test, root) {
    for (var round = 0; round < 5; ++round) {
        var pending = []
        each(root, function(item) { if (test.isPolishScheduled(item)) pending.push(item) })
        if (pending.length === 0)
            return
        for (var i = 0; i < pending.length; ++i)
            test.waitForItemPolished(pending[i])
    }
}
