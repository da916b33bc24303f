#pragma once

#include <QObject>

#include <functional>

namespace Tamberlyn::Platform {
class BrowserPane;
}

namespace Tamberlyn::Reading {

// The zoom of the course page: steps as a web browser takes them, one level
// for every page, kept in the settings file. The size variant of a page
// still follows the window's size in pixels, not this.
class PageZoom final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PageZoom)

public:
    // `store` writes a changed level to the settings file, and says whether
    // it could.
    PageZoom(Platform::BrowserPane &pane, int percent, std::function<bool(int percent)> store,
             QObject *parent = nullptr);

    int percent() const { return m_percent; }

    void zoomIn();
    void zoomOut();
    void reset();
    // Ctrl+wheel: one step per notch (120 eighths of a degree), a touchpad's
    // small turns added up until they make one.
    void wheel(int angleDelta);

private:
    void setPercent(int percent);

    Platform::BrowserPane &m_pane;
    std::function<bool(int)> m_store;
    int m_percent;
    int m_wheelRest = 0;
};

} // namespace Tamberlyn::Reading
