#pragma once

#include <QFrame>
#include <QList>
#include <QPointer>

class QLabel;
class QPushButton;

namespace Tamberlyn::Shell {

struct FirstPageMessage;

// Takes the course page's place in the main window when the first page
// could not be loaded: what failed and what to check, with Retry (the
// default: Enter anywhere in it presses it) and Quit. While it shows, the
// window's other controls are held back, since there is no course to act on.
class FirstPagePanel final : public QFrame
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FirstPagePanel)

public:
    explicit FirstPagePanel(QWidget *parent);
    ~FirstPagePanel() override;

    // Shows `message` over the course page, Retry focused.
    void showMessage(const FirstPageMessage &message);
    // Says that the page is being loaded again.
    void showRetrying();
    // Hides the panel and gives the held-back controls back.
    void dismiss();

signals:
    void retryRequested();
    void quitRequested();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void holdBackSiblings();
    void giveBackSiblings();

    QLabel *m_heading;
    QLabel *m_text;
    QLabel *m_status;
    QPushButton *m_retry;
    QPushButton *m_quit;
    QList<QPointer<QWidget>> m_heldBack;
};

} // namespace Tamberlyn::Shell
