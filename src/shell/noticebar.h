#pragma once

#include <QElapsedTimer>
#include <QFrame>

class QLabel;
class QPushButton;

namespace Tamberlyn::Shell {

// A short notice at the head of the page shown, for something the learner
// should know that stops nothing: a video that would not play, visits that
// are not being recorded. It stays until closed, or, when it is about one
// moment only, until the learner goes on to another page. It never takes
// the focus.
class NoticeBar final : public QFrame
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NoticeBar)

public:
    enum class Lasts { UntilNextPage, UntilClosed };

    explicit NoticeBar(QWidget *parent);

    void showNotice(const QString &text, Lasts lasts);
    // A page has come: a notice about the page before goes. Not in the
    // first few seconds: the page a media trigger steps back to comes in the
    // same moment as the media's failure, and the notice is about that page.
    void pageCame();
    // Lays the bar along the head of `pageArea`, as tall as its text needs.
    void place(const QRect &pageArea);
    QString text() const;

private:
    QLabel *m_text;
    QPushButton *m_close;
    Lasts m_lasts = Lasts::UntilNextPage;
    QRect m_area;
    QElapsedTimer m_shown;
};

} // namespace Tamberlyn::Shell
