#pragma once

#include <QString>

namespace Tamberlyn::Navigation {

// What the page-load handler does with a page, decided from its name alone.
// The rows are tried in this order; the first that matches wins.
enum class PageReaction {
    VideoTrigger,       // "title.vxp" or a name beginning "fig"
    SoundTrigger,       // a name beginning "v"
    BindLinks,          // sized module opening/objectives pages ("mod…", "obj…")
    ExamTrigger,        // "pe01.vxp" … "pe07.vxp"
    SearchTrigger,      // "search.vxp"
    IndexTrigger,       // "index.vxp"
    HistoryTrigger,     // "hist.vxp"
    Contents,           // "kqa.vxp" … "kqk.vxp": bind links, record
    AlternateContents,  // "kqcra.vxp" … "kqcrk.vxp"
    ModuleStub,         // "kq010001.vxp" … "kq070002.vxp": open the sized module page
    Ordinary,           // anything else: bind links, record
};

struct PageDispatch
{
    PageReaction reaction;
    // For module stubs: "mod01" … "mod07" or "obj01" … "obj07".
    QString moduleLabel;
};

PageDispatch dispatchFor(const QString &pageName);

} // namespace Tamberlyn::Navigation
