#pragma once

#include <QFrame>
#include <QList>
#include <QPointer>

class QLabel;
class QProgressBar;
class QPushButton;

namespace Tamberlyn::Shell {

struct FailureMessage;

// Takes the course page's place in the main window while a page cannot be
// shown: what failed and what to check, with the way on. For the course's
// first page it offers Retry (the default: Enter anywhere in it presses it)
// and Quit, and holds the window's other controls back, since there is no
// course to act on yet; it also stands in for the page while the first
// page is still on its way. For a later page it offers Retry, Back and
// Contents, and the button bar stays in use.
class FailurePanel final : public QFrame
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FailurePanel)

public:
    enum class Ways { FirstPage, LaterPage };

    explicit FailurePanel(QWidget *parent);
    ~FailurePanel() override;

    // Shows `message` over the course page, Retry focused.
    void showMessage(const FailureMessage &message, Ways ways);
    // The first page on its way: `heading`, `text` and a progress bar; Quit.
    void showLoading(const QString &heading, const QString &text);
    // A line under the buttons: a load under way, or nothing.
    void setStatus(const QString &status);
    // How far the load under way has come; below 0 hides the bar.
    void setProgress(int percent);
    // Hides the panel and gives the held-back controls back.
    void dismiss();

    bool holdsBack() const { return !m_heldBack.isEmpty(); }

signals:
    void retryRequested();
    void backRequested();
    void contentsRequested();
    void quitRequested();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void showButtons(bool retry, bool back, bool contents, bool quit);
    void holdBackSiblings();
    void giveBackSiblings();

    QLabel *m_heading;
    QLabel *m_text;
    QProgressBar *m_progress;
    QLabel *m_status;
    QPushButton *m_retry;
    QPushButton *m_back;
    QPushButton *m_contents;
    QPushButton *m_quit;
    QList<QPointer<QWidget>> m_heldBack;
};

} // namespace Tamberlyn::Shell
