#pragma once

namespace zn::gui {

// What lies under the mouse when the page asks for a context menu.
struct ContextMenuTarget {
    bool media = false;     // image, video, audio, canvas, plug-in
    bool editable = false;  // form field or editable content
    bool selection = false;
    bool link = false;
};

// The plain page gets no menu; images, form fields, editable content, selected text and links
// keep the browser's usual one.
constexpr bool ShowsBrowserMenu(const ContextMenuTarget& target) {
    return target.media || target.editable || target.selection || target.link;
}

}  // namespace zn::gui
