#pragma once

namespace Norvane::App {

// Picks how Qt Quick draws the window. The window's items are plain shapes, gradients, text and
// the connect control's two vector paths (its ring and its icon, which the software renderer
// paints anti-aliased); the software renderer draws them alike and repaints only the changed
// region, where the default renderer redraws the whole page at every frame of an animation. A
// renderer the user names in QT_QUICK_BACKEND holds. Called once, before the first window is made.
class QuickRenderer
{
public:
    static void choose();
};

} // namespace Norvane::App
