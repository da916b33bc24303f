#include "pagevisits.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace PageVisits {

PageKind kindOf(const QString &page)
{
    static const QRegularExpression contents(u"^kq[a-k]\\.vxp$"_s);
    static const QRegularExpression alternate(u"^kqcr[a-k]\\.vxp$"_s);
    static const QRegularExpression stub(u"^kq0[1-7]000[12]\\.vxp$"_s);
    static const QRegularExpression exam(u"^pe0[1-7]\\.vxp$"_s);
    if (contents.match(page).hasMatch())
        return PageKind::Contents;
    if (alternate.match(page).hasMatch())
        return PageKind::AlternateContents;
    if (stub.match(page).hasMatch())
        return PageKind::ModuleStub;
    if (page.startsWith(u"fig"_s) || page == u"title.vxp"_s || page.startsWith(u'v'))
        return PageKind::MediaTrigger;
    if (page.startsWith(u"mod"_s) || page.startsWith(u"obj"_s))
        return PageKind::ModulePage;
    if (exam.match(page).hasMatch())
        return PageKind::ExamTrigger;
    if (page == u"search.vxp"_s || page == u"index.vxp"_s || page == u"hist.vxp"_s)
        return PageKind::FinderTrigger;
    return PageKind::Ordinary;
}

bool isRecorded(PageKind kind, bool goingBack)
{
    switch (kind) {
    case PageKind::Contents:
    case PageKind::AlternateContents:
    case PageKind::Ordinary:
        return true;
    case PageKind::ModuleStub:
        return !goingBack;
    case PageKind::ModulePage:
    case PageKind::MediaTrigger:
    case PageKind::ExamTrigger:
    case PageKind::FinderTrigger:
        return false;
    }
    return false;
}

bool movesOn(PageKind kind)
{
    return kind == PageKind::ModuleStub || kind == PageKind::MediaTrigger || kind == PageKind::ExamTrigger;
}

QStringList handledPages(const QString &log)
{
    static const QRegularExpression pageLine(u"tamberlyn\\.navigation: page (\\S+)"_s);
    QStringList pages;
    for (auto it = pageLine.globalMatch(log); it.hasNext();)
        pages << it.next().captured(1);
    return pages;
}

HistoryFile readHistory(const QByteArray &bytes)
{
    // The demo course's page names: lower-case letters and digits, ".vxp".
    static const QRegularExpression pageName(u"^[a-z0-9]+\\.vxp$"_s);
    HistoryFile file;
    qsizetype at = 0;
    while (at < bytes.size()) {
        const qsizetype end = bytes.indexOf("\r\n", at);
        if (end < 0) {
            file.problem = u"torn record at byte %1 of %2: \"%3\""_s.arg(at).arg(bytes.size()).arg(
                QString::fromLatin1(bytes.mid(at)));
            return file;
        }
        const QByteArray record = bytes.mid(at, end - at);
        const QString name = QString::fromLatin1(record.mid(1, record.size() - 2));
        if (record.size() < 3 || !record.startsWith('"') || !record.endsWith('"')
            || !pageName.match(name).hasMatch()) {
            file.problem = u"bad record at byte %1: \"%2\""_s.arg(at).arg(QString::fromLatin1(record));
            return file;
        }
        file.pages << name;
        at = end + 2;
    }
    return file;
}

} // namespace PageVisits
