#include "frmbookmarks.h"

#include "bookmarkexport.h"
#include "bookmarksmodel.h"
#include "learnerlog.h"
#include "learnerrecord.h"

#include "platform/dialogs.h"
#include "platform/printing.h"
#include "platform/qt/commandbutton.h"

#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPrinter>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTableView>
#include <QTextDocument>
#include <QVBoxLayout>

namespace Tamberlyn::Learner {

FrmBookmarks::FrmBookmarks(LearnerRecord &record, Services services, QWidget *owner)
    : QWidget(owner, Qt::Window)
    , m_record(record)
    , m_services(std::move(services))
    , m_model(new BookmarksModel(this))
    , m_list(new QTableView(this))
    , m_status(new QLabel(this))
    , m_cmdOpen(new Platform::CommandButton(QStringLiteral("&Open"), this))
    , m_cmdEdit(new Platform::CommandButton(QStringLiteral("&Edit note"), this))
    , m_cmdDelete(new Platform::CommandButton(QStringLiteral("&Delete"), this))
    , m_cmdExport(new Platform::CommandButton(QStringLiteral("E&xport..."), this))
    , m_cmdPrint(new Platform::CommandButton(QStringLiteral("&Print..."), this))
    , m_cmdForget(new Platform::CommandButton(QStringLiteral("&Forget this course..."), this))
    , m_cmdClose(new Platform::CommandButton(QStringLiteral("Close"), this))
{
    setObjectName(QStringLiteral("frmBookmarks"));
    setWindowTitle(QStringLiteral("Tamberlyn - Bookmarks"));
    setAccessibleName(windowTitle());
    setAccessibleDescription(QStringLiteral("Your bookmarks and notes in this course, module by module."));
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(820, 460);

    auto *heading = new QLabel(QStringLiteral("&Bookmarks and notes:"), this);
    heading->setBuddy(m_list);
    m_list->setObjectName(QStringLiteral("lbBookmarks"));
    m_list->setModel(m_model);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setTabKeyNavigation(false);
    m_list->setWordWrap(false);
    m_list->verticalHeader()->hide();
    m_list->horizontalHeader()->setStretchLastSection(false);
    m_list->horizontalHeader()->setSectionResizeMode(BookmarksModel::ModuleColumn, QHeaderView::ResizeToContents);
    m_list->horizontalHeader()->setSectionResizeMode(BookmarksModel::PageColumn, QHeaderView::Interactive);
    m_list->horizontalHeader()->setSectionResizeMode(BookmarksModel::NoteColumn, QHeaderView::Stretch);
    m_list->horizontalHeader()->setSectionResizeMode(BookmarksModel::DateColumn, QHeaderView::ResizeToContents);
    m_list->setColumnWidth(BookmarksModel::PageColumn, 260);
    m_list->setAccessibleName(QStringLiteral("Bookmarks"));
    m_list->setAccessibleDescription(QStringLiteral(
        "Module, page, note and date of each bookmark. Enter opens the page, F2 edits the note, Delete deletes."));
    m_status->setObjectName(QStringLiteral("lblBookmarksStatus"));
    m_status->setTextFormat(Qt::PlainText);
    m_status->setWordWrap(true);

    const struct
    {
        QPushButton *button;
        const char *name;
        const char *description;
        void (FrmBookmarks::*click)();
    } buttons[] = {
        {m_cmdOpen, "cmdBookmarkOpen", "Opens the selected bookmark's page at the spot it was made.",
         &FrmBookmarks::cmdOpen_Click},
        {m_cmdEdit, "cmdBookmarkEdit", "Edits the selected bookmark's note (F2).", &FrmBookmarks::cmdEdit_Click},
        {m_cmdDelete, "cmdBookmarkDelete", "Deletes the selected bookmark, after asking.",
         &FrmBookmarks::cmdDelete_Click},
        {m_cmdExport, "cmdBookmarksExport", "Writes every bookmark and note to a Markdown or HTML file you choose.",
         &FrmBookmarks::cmdExport_Click},
        {m_cmdPrint, "cmdBookmarksPrint", "Prints every bookmark and note.", &FrmBookmarks::cmdPrint_Click},
        {m_cmdForget, "cmdForget",
         "Forgets everything kept about your reading of this course: pages read, where you left off, bookmarks "
         "and notes. Asks first.",
         nullptr},
        {m_cmdClose, "cmdBookmarksClose", "Closes this window (Esc).", nullptr},
    };
    auto *row = new QHBoxLayout;
    for (const auto &entry : buttons) {
        entry.button->setObjectName(QLatin1String(entry.name));
        entry.button->setAccessibleDescription(QString::fromLatin1(entry.description));
        entry.button->setToolTip(QString::fromLatin1(entry.description));
        if (entry.click)
            connect(entry.button, &QPushButton::clicked, this, entry.click);
        row->addWidget(entry.button);
        if (entry.button == m_cmdPrint)
            row->addStretch(1);
    }
    connect(m_cmdForget, &QPushButton::clicked, this, [this] { emit forgetRequested(this); });
    connect(m_cmdClose, &QPushButton::clicked, this, &QWidget::hide);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_status);
    layout->addLayout(row);

    connect(m_list, &QAbstractItemView::doubleClicked, this, &FrmBookmarks::cmdOpen_Click);
    // The list's own keys, taken where they go down: Enter opens, F2 edits,
    // Delete deletes.
    m_list->installEventFilter(this);
    connect(&m_record, &LearnerRecord::bookmarksChanged, this, &FrmBookmarks::refill);
    refill();
}

FrmBookmarks::~FrmBookmarks() = default;

bool FrmBookmarks::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_list || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        cmdOpen_Click();
        return true;
    case Qt::Key_F2:
        cmdEdit_Click();
        return true;
    case Qt::Key_Delete:
        cmdDelete_Click();
        return true;
    default:
        return false;
    }
}

void FrmBookmarks::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        hide();
        return;
    }
    QWidget::keyPressEvent(event);
}

void FrmBookmarks::showList()
{
    refill();
    show();
    raise();
    activateWindow();
    m_list->setFocus(Qt::OtherFocusReason);
    if (m_model->rowCount() > 0 && !selectedId())
        m_list->selectRow(0);
    qCInfo(lcLearner) << "bookmarks list shown:" << m_model->rowCount() << "bookmarks";
}

void FrmBookmarks::refill()
{
    const std::optional<qint64> selected = selectedId();
    m_model->setBookmarks(m_record.bookmarks(), m_record.coursePages());
    const int count = m_model->rowCount();
    if (selected) {
        if (const int row = m_model->rowOf(*selected); row >= 0)
            m_list->selectRow(row);
    }
    for (QPushButton *button : {m_cmdOpen, m_cmdEdit, m_cmdDelete})
        button->setEnabled(count > 0);
    m_status->setText(count == 0 ? QStringLiteral("No bookmarks yet: Ctrl+D in the course bookmarks the page shown.")
                                 : QStringLiteral("%1 bookmark(s).").arg(count));
}

std::optional<qint64> FrmBookmarks::selectedId() const
{
    const QModelIndexList rows = m_list->selectionModel() ? m_list->selectionModel()->selectedRows() : QModelIndexList();
    if (rows.isEmpty())
        return std::nullopt;
    return m_model->data(rows.constFirst(), BookmarksModel::IdRole).toLongLong();
}

QString FrmBookmarks::statusText() const
{
    return m_status->text();
}

void FrmBookmarks::tell(const QString &text)
{
    m_status->setText(text);
    qCInfo(lcLearner).noquote() << "bookmarks:" << text;
}

void FrmBookmarks::cmdOpen_Click()
{
    const std::optional<qint64> id = selectedId();
    if (!id)
        return;
    hide();
    m_record.openBookmark(*id);
    if (QWidget *main = parentWidget()) {
        main->raise();
        main->activateWindow();
    }
}

void FrmBookmarks::cmdEdit_Click()
{
    const std::optional<qint64> id = selectedId();
    const std::optional<Bookmark> bookmark = id ? m_record.bookmark(*id) : std::nullopt;
    if (!bookmark || !m_services.editNote)
        return;
    if (const std::optional<QString> note = m_services.editNote(this, bookmark->title, bookmark->note)) {
        m_record.setNote(bookmark->id, *note);
        tell(QStringLiteral("Note saved."));
    }
}

void FrmBookmarks::cmdDelete_Click()
{
    const std::optional<qint64> id = selectedId();
    const std::optional<Bookmark> bookmark = id ? m_record.bookmark(*id) : std::nullopt;
    if (!bookmark)
        return;
    const int row = m_model->rowOf(bookmark->id);
    const auto answer = m_services.dialogs.ask(
        this, {QStringLiteral("Delete the bookmark on \"%1\" and its note?").arg(bookmark->title),
               QStringLiteral("Delete bookmark?"), Platform::Dialogs::Icon::Question, Platform::Dialogs::Buttons::YesNo,
               std::nullopt});
    if (answer != Platform::Dialogs::Answer::Yes)
        return;
    m_record.deleteBookmark(bookmark->id);
    if (m_model->rowCount() > 0)
        m_list->selectRow(qMin(row, m_model->rowCount() - 1));
    tell(QStringLiteral("Bookmark deleted."));
}

QString FrmBookmarks::exportText(const QString &fileName) const
{
    const QList<BookmarkGroup> groups = groupedByModule(m_record.bookmarks(), m_record.coursePages());
    const QDateTime now = QDateTime::currentDateTime();
    return exportFormatFor(fileName) == ExportFormat::Html ? bookmarksHtml(groups, m_record.fileLocn(), now)
                                                            : bookmarksMarkdown(groups, m_record.fileLocn(), now);
}

void FrmBookmarks::cmdExport_Click()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    const QString suggested = QDir(folder).filePath(QStringLiteral("Tamberlyn bookmarks.md"));
    const QString file = m_services.chooseExportFile ? m_services.chooseExportFile(this, suggested) : QString();
    if (file.isEmpty())
        return;
    // The whole file or none: a failed export never leaves half a file.
    QSaveFile out(file);
    const QByteArray bytes = exportText(file).toUtf8();
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit()) {
        const QString why = out.errorString();
        m_services.dialogs.ask(this, {QStringLiteral("The bookmarks could not be written to %1: %2").arg(file, why),
                                      QStringLiteral("Export"), Platform::Dialogs::Icon::Warning,
                                      Platform::Dialogs::Buttons::Ok, std::nullopt});
        return;
    }
    tell(QStringLiteral("%1 bookmark(s) exported to %2.").arg(QString::number(m_record.bookmarks().size()), file));
}

void FrmBookmarks::cmdPrint_Click()
{
    QPrinter *printer = m_services.printing.choosePrinter(this, QStringLiteral("Tamberlyn bookmarks"));
    if (!printer)
        return;
    QTextDocument document;
    document.setHtml(bookmarksHtml(groupedByModule(m_record.bookmarks(), m_record.coursePages()), m_record.fileLocn(),
                                   QDateTime::currentDateTime()));
    document.print(printer);
    if (printer->printerState() == QPrinter::Error) {
        m_services.dialogs.ask(this, {QStringLiteral("The printer did not accept the bookmarks."),
                                      QStringLiteral("Print"), Platform::Dialogs::Icon::Warning,
                                      Platform::Dialogs::Buttons::Ok, std::nullopt});
        return;
    }
    tell(QStringLiteral("%1 bookmark(s) sent to the printer.").arg(m_record.bookmarks().size()));
}

} // namespace Tamberlyn::Learner
