#pragma once

#include <QFrame>

class QLabel;
class QProgressBar;

namespace Tamberlyn::Shell {

// The sign that a page is on its way: a slim strip at the foot of the page
// shown, with what is loading, from where, how far it has come, and that
// Esc stops it. It never takes the focus from the page.
class LoadProgress final : public QFrame
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LoadProgress)

public:
    explicit LoadProgress(QWidget *parent);

    void showLoading(const QString &text);
    void setProgress(int percent);
    // Lays the strip along the foot of `pageArea`.
    void place(const QRect &pageArea);
    QString text() const;

private:
    QLabel *m_text;
    QProgressBar *m_bar;
};

} // namespace Tamberlyn::Shell
