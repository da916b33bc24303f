#pragma once

#include <QWidget>

#include <functional>
#include <optional>

class QLabel;
class QPushButton;
class QTableView;

namespace Tamberlyn::Platform {
class Dialogs;
class Printing;
}

namespace Tamberlyn::Learner {

class BookmarksModel;
class LearnerRecord;

// The Bookmarks list: every bookmark of the course with its module, page
// title, note and date, in course order. Open (Enter, a double-click),
// Edit note (F2), Delete (Delete, after a question), Export to a Markdown or
// HTML file the learner chooses, Print, and Forget the whole record of the
// course. Made for the keyboard first: the list has the focus, every button
// an access key, Esc closes the window.
class FrmBookmarks final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FrmBookmarks)

public:
    struct Services
    {
        Platform::Dialogs &dialogs;
        Platform::Printing &printing;
        // The file to export to, suggested name given; empty when cancelled.
        std::function<QString(QWidget *parent, const QString &suggested)> chooseExportFile;
        // The note as edited; nothing when cancelled.
        std::function<std::optional<QString>(QWidget *parent, const QString &title, const QString &note)> editNote;
    };

    FrmBookmarks(LearnerRecord &record, Services services, QWidget *owner);
    ~FrmBookmarks() override;

    // Shows the window in front with the focus in the list.
    void showList();

    void cmdOpen_Click();
    void cmdEdit_Click();
    void cmdDelete_Click();
    void cmdExport_Click();
    void cmdPrint_Click();

    QTableView *list() const { return m_list; }
    BookmarksModel *model() const { return m_model; }
    QString statusText() const;
    // The selected bookmark's id; nothing when none is selected.
    std::optional<qint64> selectedId() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

signals:
    // Forget asks the learner first; whoever shows the question does it.
    void forgetRequested(QWidget *asking);

private:
    void refill();
    void tell(const QString &text);
    QString exportText(const QString &fileName) const;

    LearnerRecord &m_record;
    Services m_services;
    BookmarksModel *m_model;
    QTableView *m_list;
    QLabel *m_status;
    QPushButton *m_cmdOpen;
    QPushButton *m_cmdEdit;
    QPushButton *m_cmdDelete;
    QPushButton *m_cmdExport;
    QPushButton *m_cmdPrint;
    QPushButton *m_cmdForget;
    QPushButton *m_cmdClose;
};

} // namespace Tamberlyn::Learner
