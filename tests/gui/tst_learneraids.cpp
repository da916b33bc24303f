#include "programfixture.h"

#include "finders/frmsearch.h"
#include "learner/bookmarksection.h"
#include "learner/coursekey.h"
#include "learner/bookmarksmodel.h"
#include "learner/frmbookmarks.h"
#include "learner/learneraids.h"
#include "learner/learnerbar.h"
#include "learner/learnerkeys.h"
#include "learner/learnerstore.h"
#include "shell/loadfailures.h"
#include "shell/noticebar.h"

#include <QApplication>
#include <QLineEdit>
#include <QListView>
#include <QPrinter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

using namespace Tamberlyn;
using namespace Qt::StringLiterals;
using Learner::LearnerKey;

namespace {

constexpr int OpenTimeoutMs = 10000;

QString base()
{
    return ProgramFixture::base();
}

// The spot the fake page reports for every look at it.
QVariantMap spotOnPage()
{
    return {{u"title"_s, u"Module 2 - Hazards"_s},
            {u"quote"_s, u"Direct current is harder"_s},
            {u"occurrence"_s, 1},
            {u"fraction"_s, 0.5},
            {u"ratio"_s, 0.4}};
}

// The main window and the finder windows around a fake pane, with the
// learner record on, in `dornDir` (a data folder that outlives one fixture:
// a restart is a second fixture on it).
struct LearnerProgram
{
    ProgramFixture program;

    LearnerProgram(const QString &dornDir, const QString &pageList)
    {
        program.frmVK.state().DornDir = dornDir;
        program.frmVK.enableLearnerRecord(pageList);
        program.pane->scriptResult = spotOnPage();
        for (const QString &page : {u"kqg.vxp"_s, u"kq020003.vxp"_s, u"mod02g.vxp"_s}) {
            program.pane->linksOf.insert(base() + page, {base() + u"kq020001.vxp"_s, base() + u"kq010001.vxp"_s,
                                                         base() + u"kq020003.vxp"_s, base() + u"kqg.vxp"_s});
        }
    }

    Learner::LearnerAids &aids() { return *program.frmVK.learnerAids(); }
    Learner::LearnerRecord &record() { return aids().record(); }
    Learner::LearnerBar &bar() { return aids().bar(); }

    void show(const QString &page)
    {
        program.pane->navigate(base() + page);
        program.pane->deliverAll();
    }

    bool opened()
    {
        if (record().isOpen())
            return true;
        QSignalSpy opened(&record(), &Learner::LearnerRecord::opened);
        return opened.wait(OpenTimeoutMs);
    }

    bool key(int key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier)
    {
        return program.frmVK.Form_KeyDown(key, modifiers);
    }

    QStringList scriptsWith(const QString &part) const
    {
        QStringList found;
        for (const QString &script : program.pane->scripts) {
            if (script.contains(part))
                found << script;
        }
        return found;
    }
};

} // namespace

// The learner record in the main window, around a fake pane: the offer to
// continue after a restart, the bookmark with its note, the read marks'
// data, forget, the message when nothing can be saved, the Bookmarks list
// with its export and print, and the Search window's bookmarks section.
class TestLearnerAids final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void keys_data();
    void keys();
    void bookmarkWithNoteThenContinueAfterARestart();
    void noteIsKeptWhenAMessageWaitsBehindIt();
    void firstUnreadPageOfTheModule();
    void forgetAsksFirst();
    void notSavedIsSaidOnce();
    void bookmarksListEditsDeletesExportsAndPrints();
    void searchWindowListsMatchingBookmarks();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_dornDir;
    QString m_pageList;
};

void TestLearnerAids::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_dornDir = m_dir->path() + u"/"_s;
    m_pageList = m_dir->filePath(u"files.vxp"_s);
    QFile list(m_pageList);
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.write("1\tkq010001.vxp\tModule 1 - Intro\r\n2\tkq010003.vxp\tModule 1 - Page\r\n"
               "3\tkq020001.vxp\tModule 2 - Safety\r\n4\tkq020002.vxp\tModule 2 - Objectives\r\n"
               "5\tkq020003.vxp\tModule 2 - Hazards\r\n");
}

void TestLearnerAids::keys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<LearnerKey>("meaning");

    QTest::newRow("Ctrl+D") << int(Qt::Key_D) << Qt::KeyboardModifiers(Qt::ControlModifier) << LearnerKey::Bookmark;
    QTest::newRow("Ctrl+B") << int(Qt::Key_B) << Qt::KeyboardModifiers(Qt::ControlModifier) << LearnerKey::Bookmarks;
    QTest::newRow("Ctrl+U") << int(Qt::Key_U) << Qt::KeyboardModifiers(Qt::ControlModifier) << LearnerKey::FirstUnread;
    QTest::newRow("Ctrl+J") << int(Qt::Key_J) << Qt::KeyboardModifiers(Qt::ControlModifier) << LearnerKey::Continue;
    QTest::newRow("Ctrl+Shift+Delete") << int(Qt::Key_Delete)
                                       << Qt::KeyboardModifiers(Qt::ControlModifier | Qt::ShiftModifier)
                                       << LearnerKey::Forget;
    QTest::newRow("Ctrl+Delete alone is nothing") << int(Qt::Key_Delete)
                                                  << Qt::KeyboardModifiers(Qt::ControlModifier) << LearnerKey::None;
    QTest::newRow("Ctrl+Shift+D is another key")
        << int(Qt::Key_D) << Qt::KeyboardModifiers(Qt::ControlModifier | Qt::ShiftModifier) << LearnerKey::None;
    QTest::newRow("Alt+B is the Back button's") << int(Qt::Key_B) << Qt::KeyboardModifiers(Qt::AltModifier)
                                                << LearnerKey::None;
    QTest::newRow("Ctrl+Alt+D") << int(Qt::Key_D) << Qt::KeyboardModifiers(Qt::ControlModifier | Qt::AltModifier)
                                << LearnerKey::None;
    QTest::newRow("D alone") << int(Qt::Key_D) << Qt::KeyboardModifiers() << LearnerKey::None;
    QTest::newRow("Ctrl+F is find's") << int(Qt::Key_F) << Qt::KeyboardModifiers(Qt::ControlModifier)
                                      << LearnerKey::None;
}

void TestLearnerAids::keys()
{
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(LearnerKey, meaning);
    QCOMPARE(Learner::learnerKey(key, modifiers), meaning);
}

void TestLearnerAids::bookmarkWithNoteThenContinueAfterARestart()
{
    {
        LearnerProgram day1(m_dornDir, m_pageList);
        day1.show(u"kqg.vxp"_s);
        QVERIFY(day1.opened());
        QVERIFY(day1.bar().isHidden()); // nothing to offer on the first run
        day1.show(u"kq020003.vxp"_s);
        QVERIFY(day1.record().pagesRead().contains(u"kq020003.vxp"_s));

        QVERIFY(day1.key(Qt::Key_D));
        QVERIFY(day1.bar().isVisible());
        QCOMPARE(day1.bar().text(), u"Bookmarked \"Module 2 - Hazards\"."_s);
        auto *note = day1.bar().findChild<QLineEdit *>(u"txtNote"_s);
        QVERIFY(note && note->isVisible());
        QTest::keyClicks(note, u"DC arcs keep burning"_s);
        QTest::keyClick(note, Qt::Key_Return);
        QVERIFY(day1.bar().isHidden());
        QCOMPARE(day1.record().bookmarks().size(), 1);
        QCOMPARE(day1.record().bookmarks().constFirst().note, u"DC arcs keep burning"_s);
        QCOMPARE(day1.record().bookmarks().constFirst().spot.quote, u"Direct current is harder"_s);
        QVERIFY(day1.aids().finishWrites(10000));
    }

    LearnerProgram day2(m_dornDir, m_pageList);
    day2.show(u"kqg.vxp"_s);
    QVERIFY(day2.opened());
    QCOMPARE(day2.record().bookmarks().size(), 1);
    // The contents page's marks: the page read, module 2's count.
    const QStringList marks = day2.scriptsWith(u"tamberlyn-read-mark"_s);
    QVERIFY(!marks.isEmpty());
    QVERIFY(marks.constLast().contains(uR"("read":["kq020003.vxp"])"_s) || marks.constLast().contains(u"kq020003.vxp"_s));
    QVERIFY2(marks.constLast().contains(uR"("kq020001.vxp":[1,3])"_s), qPrintable(marks.constLast()));
    QVERIFY2(marks.constLast().contains(uR"("kq010001.vxp":[0,2])"_s), qPrintable(marks.constLast()));

    // The offer, with the focus on Continue: Enter takes it.
    QVERIFY(day2.bar().isVisible());
    QCOMPARE(day2.bar().text(), u"Continue where you left off: Module 2 - Hazards"_s);
    QCOMPARE(QApplication::focusWidget(), day2.bar().buttons().constFirst());
    day2.program.events.clear();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QVERIFY(day2.program.events.contains(u"navigate "_s + base() + u"kq020003.vxp"_s));
    QVERIFY(day2.bar().isHidden());
    day2.program.pane->scripts.clear();
    day2.program.pane->deliverAll();
    const QStringList restores = day2.scriptsWith(u"\"quote\":\"Direct current is harder\""_s);
    QCOMPARE(restores.size(), 1);
    QVERIFY(!day2.record().resumeOffer());
}

// The note is asked for before a message already in the bar, which comes
// back once the note is given; the note typed must be the one kept.
void TestLearnerAids::noteIsKeptWhenAMessageWaitsBehindIt()
{
    {
        LearnerProgram day1(m_dornDir, m_pageList);
        day1.show(u"kqg.vxp"_s);
        QVERIFY(day1.opened());
        day1.show(u"kq020003.vxp"_s);
        QVERIFY(day1.aids().finishWrites(10000));
    }
    LearnerProgram day2(m_dornDir, m_pageList);
    day2.show(u"kqg.vxp"_s);
    QVERIFY(day2.opened());
    const QString offer = u"Continue where you left off: Module 2 - Hazards"_s;
    QCOMPARE(day2.bar().text(), offer);
    QVERIFY(day2.key(Qt::Key_D));
    QVERIFY(day2.bar().text().startsWith(u"Bookmarked"_s));
    auto *note = day2.bar().findChild<QLineEdit *>(u"txtNote"_s);
    QVERIFY(note);
    QTest::keyClicks(note, u"DC arcs keep burning"_s);
    QTest::keyClick(note, Qt::Key_Return);
    QCOMPARE(day2.bar().text(), offer);
    QCOMPARE(day2.record().bookmarks().size(), 1);
    QCOMPARE(day2.record().bookmarks().constFirst().note, u"DC arcs keep burning"_s);
}

void TestLearnerAids::firstUnreadPageOfTheModule()
{
    LearnerProgram program(m_dornDir, m_pageList);
    program.show(u"kqg.vxp"_s);
    QVERIFY(program.opened());
    // Module 2 opened and its third page read: the objectives come first.
    program.show(u"kq020001.vxp"_s);
    program.show(u"mod02g.vxp"_s);
    program.show(u"kq020003.vxp"_s);
    program.program.events.clear();
    QVERIFY(program.key(Qt::Key_U));
    QCOMPARE(program.program.events.filter(u"navigate"_s), QStringList{u"navigate "_s + base() + u"kq020002.vxp"_s});
    program.program.pane->deliverAll();
    // Module 2 read to its end: on to module 1's first unread page.
    program.program.events.clear();
    QVERIFY(program.key(Qt::Key_U));
    QCOMPARE(program.program.events.filter(u"navigate"_s), QStringList{u"navigate "_s + base() + u"kq010001.vxp"_s});
    program.program.pane->deliverAll();
    program.show(u"kq010003.vxp"_s);
    // Every page read: nothing opens, and the bar says so.
    program.program.events.clear();
    QVERIFY(program.key(Qt::Key_U));
    QVERIFY(program.program.events.filter(u"navigate"_s).isEmpty());
    QCOMPARE(program.bar().text(), u"Every page of the course has been read."_s);
}

void TestLearnerAids::forgetAsksFirst()
{
    LearnerProgram program(m_dornDir, m_pageList);
    program.show(u"kqg.vxp"_s);
    QVERIFY(program.opened());
    program.show(u"kq020003.vxp"_s);
    QVERIFY(program.key(Qt::Key_D));
    QCOMPARE(program.record().bookmarks().size(), 1);
    program.bar().closeBar();

    program.program.dialogs.answers = {Platform::Dialogs::Answer::No};
    QVERIFY(program.key(Qt::Key_Delete, Qt::ControlModifier | Qt::ShiftModifier));
    QCOMPARE(program.program.dialogs.shown.constLast().title, u"Forget this course?"_s);
    QCOMPARE(program.record().bookmarks().size(), 1);

    program.program.dialogs.answers = {Platform::Dialogs::Answer::Yes};
    QVERIFY(program.key(Qt::Key_Delete, Qt::ControlModifier | Qt::ShiftModifier));
    QVERIFY(program.record().bookmarks().isEmpty());
    QVERIFY(program.record().pagesRead().isEmpty());
    QCOMPARE(program.bar().text(), u"Your record of this course has been forgotten."_s);
    QVERIFY(program.aids().finishWrites(10000));

    Learner::LearnerStore store(u"forget-check"_s);
    store.open(m_dornDir + u"learner.sqlite"_s);
    const auto left = store.load(Learner::courseKey(base()));
    QVERIFY(left && left->bookmarks.isEmpty() && left->pagesRead.isEmpty() && !left->spot);
}

void TestLearnerAids::notSavedIsSaidOnce()
{
    // Where even root cannot write.
    LearnerProgram program(u"/proc/tamberlyn-test/"_s, m_pageList);
    program.show(u"kqg.vxp"_s);
    QVERIFY(program.opened());
    // Said beside the window's other lasting notices, not in the bar.
    Shell::NoticeBar *notice = program.program.frmVK.loadFailures().learnerNotice();
    QVERIFY(!notice->isHidden());
    QVERIFY2(notice->text().startsWith(u"Your progress in this course is not being saved"_s), qPrintable(notice->text()));
    QVERIFY(program.bar().isHidden());
    notice->hide();
    for (int i = 0; i < 3; ++i)
        program.show(u"kq020003.vxp"_s);
    QVERIFY(program.aids().finishWrites(10000));
    QTest::qWait(50);
    QVERIFY(notice->isHidden());
    QVERIFY(program.bar().isHidden());
    // The course goes on: the visits are kept for this run.
    QVERIFY(program.record().pagesRead().contains(u"kq020003.vxp"_s));
}

void TestLearnerAids::bookmarksListEditsDeletesExportsAndPrints()
{
    LearnerProgram program(m_dornDir, m_pageList);
    program.show(u"kqg.vxp"_s);
    QVERIFY(program.opened());
    program.show(u"kq020003.vxp"_s);
    QVERIFY(program.key(Qt::Key_D));
    program.bar().closeBar();
    program.show(u"kq010003.vxp"_s);
    program.program.pane->scriptResult = QVariantMap{{u"title"_s, u"Module 1 - Page <one>"_s}};
    QVERIFY(program.key(Qt::Key_D));
    program.bar().closeBar();

    QString exportTo;
    std::optional<QString> edited;
    Learner::FrmBookmarks window(
        program.record(),
        {program.program.dialogs, program.program.printing,
         [&exportTo](QWidget *, const QString &) { return exportTo; },
         [&edited](QWidget *, const QString &, const QString &) { return edited; }},
        &program.program.frmVK);
    window.showList();
    QCOMPARE(window.model()->rowCount(), 2);
    // Course order: module 1 before module 2.
    QCOMPARE(window.model()->index(0, Learner::BookmarksModel::ModuleColumn).data().toString(), u"Module 1 - Intro"_s);
    QCOMPARE(window.model()->index(0, Learner::BookmarksModel::PageColumn).data().toString(),
             u"Module 1 - Page <one>"_s);
    QCOMPARE(window.model()->index(1, Learner::BookmarksModel::ModuleColumn).data().toString(),
             u"Module 2 - Safety"_s);
    QCOMPARE(window.selectedId(), std::optional<qint64>(2));

    edited = u"first line\nsecond line"_s;
    window.list()->selectRow(1);
    QTest::keyClick(window.list(), Qt::Key_F2);
    QCOMPARE(program.record().bookmark(1)->note, u"first line\nsecond line"_s);
    QCOMPARE(window.model()->index(1, Learner::BookmarksModel::NoteColumn).data().toString(),
             u"first line / second line"_s);

    exportTo = m_dir->filePath(u"notes.html"_s);
    window.cmdExport_Click();
    QFile html(exportTo);
    QVERIFY(html.open(QIODevice::ReadOnly));
    const QString written = QString::fromUtf8(html.readAll());
    QVERIFY(written.contains(u"Module 1 - Page &lt;one&gt;"_s));
    QVERIFY(written.contains(u"first line<br>\nsecond line"_s));
    QVERIFY(window.statusText().contains(u"2 bookmark(s) exported to "_s));
    exportTo = m_dir->filePath(u"no such folder/notes.md"_s);
    program.program.dialogs.answers = {Platform::Dialogs::Answer::Ok};
    window.cmdExport_Click();
    QCOMPARE(program.program.dialogs.shown.constLast().title, u"Export"_s);
    QVERIFY(!QFile::exists(exportTo));

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(m_dir->filePath(u"printed.pdf"_s));
    program.program.printing.printer = &printer;
    window.cmdPrint_Click();
    QVERIFY(QFileInfo(printer.outputFileName()).size() > 1000);

    program.program.dialogs.answers = {Platform::Dialogs::Answer::No, Platform::Dialogs::Answer::Yes};
    window.list()->selectRow(0);
    QTest::keyClick(window.list(), Qt::Key_Delete);
    QCOMPARE(window.model()->rowCount(), 2);
    QTest::keyClick(window.list(), Qt::Key_Delete);
    QCOMPARE(window.model()->rowCount(), 1);
    QCOMPARE(program.record().bookmarks().constFirst().id, 1);

    // Enter opens the page at the spot, and the list steps aside.
    program.program.events.clear();
    window.list()->selectRow(0);
    QTest::keyClick(window.list(), Qt::Key_Return);
    QVERIFY(program.program.events.contains(u"navigate "_s + base() + u"kq020003.vxp"_s));
    QVERIFY(window.isHidden());
}

void TestLearnerAids::searchWindowListsMatchingBookmarks()
{
    LearnerProgram program(m_dornDir, m_pageList);
    program.show(u"kqg.vxp"_s);
    QVERIFY(program.opened());
    program.show(u"kq020003.vxp"_s);
    QVERIFY(program.key(Qt::Key_D));
    QTest::keyClicks(program.bar().findChild<QLineEdit *>(u"txtNote"_s), u"check the inverter rating"_s);
    QTest::keyClick(program.bar().findChild<QLineEdit *>(u"txtNote"_s), Qt::Key_Return);

    Finders::FrmSearch &search = program.program.finders.frmSearch();
    search.resize(968, 741);
    search.show();
    auto *section = search.findChild<Learner::BookmarkSection *>();
    QVERIFY(section);
    QVERIFY(section->isHidden());
    auto *results = search.findChild<QListView *>(u"lbResults"_s);
    const int fullHeight = results->height();

    search.txtInput().setText(u"inverter"_s);
    search.cmdFTS_Click();
    QVERIFY(section->isVisible());
    QCOMPARE(section->entries(), QStringList{u"Module 2 - Safety \u00b7 Module 2 - Hazards \u2014 check the inverter rating"_s});
    QVERIFY(results->height() < fullHeight);
    QVERIFY(results->geometry().bottom() < section->geometry().top());

    program.program.events.clear();
    section->list()->setCurrentIndex(section->list()->model()->index(0, 0));
    section->openSelected();
    QVERIFY(program.program.events.contains(u"navigate "_s + base() + u"kq020003.vxp"_s));

    search.txtInput().setText(u"nothing"_s);
    search.cmdFTS_Click();
    QVERIFY(section->isHidden());
    QCOMPARE(results->height(), fullHeight);
}

QTEST_MAIN(TestLearnerAids)
#include "tst_learneraids.moc"
