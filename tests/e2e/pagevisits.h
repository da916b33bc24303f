#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// What the long-running end-to-end tests need to know about the demo
// course's pages, and a strict reading of the history file. Kept apart from
// the viewer's own course map on purpose: the tests judge the viewer by
// these rules, so they must not borrow its code.
namespace PageVisits {

enum class PageKind {
    Contents,          // kqa.vxp … kqk.vxp
    AlternateContents, // kqcra.vxp … kqcrk.vxp
    ModuleStub,        // kqMM0001.vxp, kqMM0002.vxp: the viewer moves on to the sized page
    ModulePage,        // modMML.vxp, objMML.vxp
    MediaTrigger,      // title.vxp, fig…, v…: the pane steps back at once
    ExamTrigger,       // pe01.vxp … pe07.vxp: the pane steps back at once
    FinderTrigger,     // search.vxp, index.vxp, hist.vxp: a finder window opens over it
    Ordinary,          // content pages and anything else
};

PageKind kindOf(const QString &page);

// Whether the page-load handler appends a record for this page; a stub
// reached by Back is stepped over unrecorded.
bool isRecorded(PageKind kind, bool goingBack);

// Whether the pane leaves the page by itself once it is handled, so the
// learner never rests on it.
bool movesOn(PageKind kind);

// Every page the page-load handler reported in `log`, in order.
QStringList handledPages(const QString &log);

struct HistoryFile
{
    QStringList pages; // one per complete record, oldest first
    QString problem;   // empty when every byte belongs to a complete record
};

// The history file read strictly: nothing but records of the form
// '"' name '"' CR LF, each name a course page name. A torn last record, a
// stray byte or an empty name is a problem, reported with its offset.
HistoryFile readHistory(const QByteArray &bytes);

} // namespace PageVisits
