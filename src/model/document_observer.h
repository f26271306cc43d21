#pragma once
// How views learn of model changes. Every callback has an empty default so a
// view overrides only what it displays.

#include <string>

namespace ordavel {

enum class AppMode : int { DesignMode = 0, EditMode = 1, PreviewMode = 2 };

class DocumentObserver {
public:
    virtual ~DocumentObserver() = default;
    // Geometry, attributes, visibility or handles of the box changed.
    virtual void boxChanged(int /*index*/) {}
    virtual void selectionChanged() {}
    virtual void statusTextChanged(int /*panel*/, const std::string& /*text*/) {}
    virtual void titleChanged(const std::string& /*title*/, bool /*modified*/) {}
    // Paper size, board size, background picture or colour changed.
    virtual void pageChanged() {}
    virtual void modeChanged(AppMode /*mode*/) {}
    // The whole document was replaced (New, Open).
    virtual void documentReset() {}
};

} // namespace ordavel
