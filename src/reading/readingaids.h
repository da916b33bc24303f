#pragma once

#include <QObject>
#include <QRect>
#include <QStringList>

#include <functional>

class QWheelEvent;
class QWidget;

namespace Tamberlyn::Platform {
class BrowserPane;
}

namespace Tamberlyn::Reading {

class FindBar;
class PageZoom;
class SearchHighlight;

// What the main window offers learners beside the course's own frame: the
// page's zoom, the find bar, and the words of a search shown in the page
// opened from its results.
class ReadingAids final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ReadingAids)

public:
    // `zoomSetting` is the settings file's value; `storeZoom` writes a new
    // level back and says whether it could.
    ReadingAids(Platform::BrowserPane &web1, QWidget &window, const QString &zoomSetting,
                std::function<bool(int percent)> storeZoom);
    ~ReadingAids() override;

    // After the course's own keys: true when the key was one of these.
    bool Form_KeyDown(int key, Qt::KeyboardModifiers modifiers);
    // Ctrl+wheel over the page zooms it, and the engine never sees the
    // wheel: it would zoom by steps of its own. True when taken.
    bool wheel(const QWidget &target, const QWheelEvent &event);

    // Places the find bar at the foot of `pageArea` while it shows, and
    // gives what is left for the page.
    QRect fitFindBar(const QRect &pageArea);

    void showSearchWordsOnNextPage(const QString &address, const QStringList &words);

    PageZoom &zoom() const { return *m_zoom; }
    FindBar &findBar() const { return *m_findBar; }

signals:
    // The find bar came or went: the page is fitted again.
    void pageAreaChanged();

private:
    Platform::BrowserPane &m_web1;
    PageZoom *m_zoom;
    FindBar *m_findBar;
    SearchHighlight *m_searchWords;
};

} // namespace Tamberlyn::Reading
