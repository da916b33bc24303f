#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

#include <functional>

class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;

namespace Tamberlyn::Learner {

// The slim bar over the course page in which the learner record speaks: the
// offer to continue where the learner left off, the note for a bookmark
// just made, and what the learner must be told (progress not being saved,
// a record moved aside). One line: the text, an entry when a note is asked
// for, and the buttons. The first button (or the entry) takes the focus, so
// Enter takes the offer and a screen reader reads the text with it; Esc
// does what the last button does.
class LearnerBar final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LearnerBar)

public:
    static constexpr int Height = 30;

    struct Action
    {
        QString caption;
        QString toolTip;
        // Given what the entry held when the action was chosen (empty
        // without an entry): the bar may show the next prompt, and clear
        // the entry, before the action runs.
        std::function<void(const QString &entry)> run;
    };

    explicit LearnerBar(QWidget *parent);

    // Shows `text` with `actions` (at least one). With an `entryLabel`,
    // an entry follows the text and Enter in it runs the first action.
    void showPrompt(const QString &text, const QList<Action> &actions, const QString &entryLabel = {});
    // Hides the bar. When the bar had the focus, it goes back to the
    // control that had it before, else to `focusAfter`.
    void closeBar();
    void setFocusAfter(QWidget *focusAfter) { m_focusAfter = focusAfter; }

    QString text() const;
    QList<QPushButton *> buttons() const { return m_buttons; }

signals:
    // The main window fits the page around the bar.
    void shownOrHidden();
    void closed();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void run(qsizetype action);

    QHBoxLayout *m_row;
    QLabel *m_text;
    QLabel *m_entryLabel;
    QLineEdit *m_entry;
    QList<QPushButton *> m_buttons;
    QList<Action> m_actions;
    QWidget *m_focusAfter = nullptr;
    QPointer<QWidget> m_focusBefore;
};

} // namespace Tamberlyn::Learner
