#include "options.h"
#include "simulator.h"

#include "platform/x11/x11session.h"

#include <QApplication>

#include <csignal>
#include <cstdio>

using namespace Tamberlyn::Simulator;

int main(int argc, char *argv[])
{
    // Named before the application connects to the display: Qt names a
    // hidden window after it, which would otherwise carry the name we were
    // started under ("Prismo") and be found by anyone looking for ours.
    QApplication::setApplicationName(QStringLiteral("tamberlyn-simulator"));
    QApplication::setApplicationVersion(QStringLiteral(TAMBERLYN_VERSION));
    // --help and --version need no window, so they need no display either.
    QStringList rawArguments;
    for (int i = 0; i < argc; ++i)
        rawArguments << QString::fromLocal8Bit(argv[i]);
    if (Options::asksForAnswer(rawArguments)) {
        QCoreApplication answering(argc, argv);
        QString error;
        QString answer;
        Options::parse(QCoreApplication::arguments(), &error, &answer);
        std::fputs(answer.toLocal8Bit().constData(), stdout);
        return 0;
    }
    // The viewer finds our window through X11, on a Wayland session too.
    if (!Tamberlyn::Platform::preferX11Session("tamberlyn-simulator", argc, argv))
        return 1;
    QApplication app(argc, argv);
    // Whoever follows our output may stop reading before we quit; a write to
    // the closed pipe must fail quietly rather than kill us mid-poll.
    std::signal(SIGPIPE, SIG_IGN);

    QString error;
    QString answer;
    const std::optional<Options> options = Options::parse(QApplication::arguments(), &error, &answer);
    if (!options) {
        if (!answer.isEmpty()) {
            std::fputs(answer.toLocal8Bit().constData(), stdout);
            return 0;
        }
        std::fprintf(stderr, "tamberlyn-simulator: %s\nTry --help.\n", error.toLocal8Bit().constData());
        return 2;
    }

    Simulator simulator(*options);
    simulator.start();
    return QApplication::exec();
}
