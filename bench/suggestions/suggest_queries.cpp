// What the Search window shows for each query of a list, as JSON lines, for
// bench/suggestions/eval_suggestions.py: the pages it lists, and when it
// lists none, each suggestion with the pages it would list. The viewer's
// own loading, search and suggestions, in one process for thousands of
// queries.
//
//     suggest_queries INDEX_DIR < queries.txt > answers.jsonl
//
// One query a line (UTF-8); one JSON object a line back, in the same order.
#include "finders/finderfiles.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <cstdio>

using namespace Tamberlyn;

namespace {

QJsonArray pagesOf(const Finders::SearchResult &result)
{
    return QJsonArray::fromStringList(result.resultFiles);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: suggest_queries INDEX_DIR < queries.txt\n");
        return 2;
    }
    const Finders::LoadedSearchIndex loaded =
        Finders::loadSearchIndex(Tables::TableFileReader(), QString::fromLocal8Bit(argv[1]));
    for (const Tables::TableMessage &message : loaded.messages)
        std::fprintf(stderr, "%s\n", qPrintable(Tables::messageText(message)));

    QFile in;
    QFile out;
    if (!in.open(stdin, QIODevice::ReadOnly) || !out.open(stdout, QIODevice::WriteOnly))
        return 2;
    QTextStream queries(&in);
    queries.setEncoding(QStringConverter::Utf8);
    QString query;
    while (queries.readLineInto(&query)) {
        QJsonObject answer{{QStringLiteral("query"), query}};
        const std::optional<Finders::SearchResult> found = loaded.index.search(query);
        answer.insert(QStringLiteral("pages"), found ? pagesOf(*found) : QJsonArray());
        QJsonArray suggestions;
        if (found && found->count() == 0) {
            for (const Finders::SuggestedSearch &suggestion : loaded.suggestions.suggest(query, loaded.index)) {
                const QJsonArray pages = pagesOf(*loaded.index.search(suggestion.query));
                suggestions.append(
                    QJsonObject{{QStringLiteral("query"), suggestion.query}, {QStringLiteral("pages"), pages}});
            }
        }
        answer.insert(QStringLiteral("suggestions"), suggestions);
        out.write(QJsonDocument(answer).toJson(QJsonDocument::Compact) + '\n');
    }
    return 0;
}
