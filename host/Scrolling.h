// Scrolling as a finger does it: dragging the content of the scroll view under a point, and
// scrolling until a view showing a text comes into sight (tables make their rows only as they
// come into view, so the search drags page by page).
#pragma once

#include <memory>
#include <string>

#include "platform/uikit/UIScrollView.h"

namespace host {

// The innermost scroll view that can scroll, under `point` of the key window; null if none.
std::shared_ptr<UIScrollView> scrollViewAt(CGPoint point);
// Drags the content of the scroll view under `point` so that its offset moves by `by` (a finger
// moving the opposite way). The offset comes back inside the content after the release, as a
// released finger leaves it; delegates hear the drag. "" on success, else why not.
std::string scrollBy(CGPoint point, CGPoint by);
// Scrolls the key window's scroll views until a view showing `text` is in sight: the scroll
// views holding it move it into their bounds; until it exists, the largest scroll view on screen
// is dragged down a page at a time (the whole content is searched once, from the top). "" on
// success, else why not.
std::string scrollToTitle(const std::string& text);

} // namespace host
