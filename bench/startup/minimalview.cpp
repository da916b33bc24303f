// The yardstick for the viewer's start-up: the least a Qt program has to do
// to show one page of the course server in a maximised QWebEngineView. It
// trusts the server's self-signed certificate exactly as the viewer does
// (only when its SHA-256 fingerprint equals the pin, through the viewer's
// own pinned page), so both pay for the same TLS handshake.
//
//   minimalview [--pin SHA256] [--stay SECONDS] [--size WxH] [--show-first] URL
//
// Like the viewer, it loads the page into a hidden view and shows the window
// maximised once the load has finished. With --show-first it shows the
// maximised window first and loads the page into it, as most programs would.
//
// Prints "loaded <seconds> <url>" on standard output when the main frame
// has finished loading, and "shown <seconds> <width>x<height>" when the
// window is first exposed on the screen, <seconds> being CLOCK_MONOTONIC (the
// clock the harness starts its stopwatch on, and the one Qt's "%{time boot}"
// log stamp reads, which is how the viewer is timed). Without --stay it quits
// once both have happened; with it, it stays up so its memory can be read,
// until standard input says "quit" or is closed, or the seconds are up. A
// failed load ends it with exit code 1.
#include "platform/certificatepins.h"
#include "platform/qt/firstexposure.h"
#include "platform/qt/pinnedwebpage.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QSocketNotifier>
#include <QTimer>
#include <QUrl>
#include <QWebEngineView>

#include <cstdio>
#include <ctime>
#include <unistd.h>

using Tamberlyn::Platform::CertificatePins;
using Tamberlyn::Platform::FirstExposure;
using Tamberlyn::Platform::PinnedWebPage;

namespace {

double monotonicSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

[[noreturn]] void usage(const QCommandLineParser &parser, const QString &problem)
{
    std::fprintf(stderr, "minimalview: %s\n\n%s", qPrintable(problem), qPrintable(parser.helpText()));
    std::exit(2);
}

} // namespace

int main(int argc, char *argv[])
{
    // What Qt WebEngine asks of every widgets program that uses it.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Shows one page in a bare QWebEngineView."));
    parser.addHelpOption();
    const QCommandLineOption pinOption(QStringLiteral("pin"),
                                       QStringLiteral("SHA-256 fingerprint of the server's certificate."),
                                       QStringLiteral("sha256"));
    const QCommandLineOption stayOption(QStringLiteral("stay"),
                                        QStringLiteral("Stay up this long after the load (0: quit at once)."),
                                        QStringLiteral("seconds"), QStringLiteral("0"));
    const QCommandLineOption sizeOption(QStringLiteral("size"), QStringLiteral("Window size."),
                                        QStringLiteral("WxH"), QStringLiteral("1280x800"));
    const QCommandLineOption showFirstOption(QStringLiteral("show-first"),
                                             QStringLiteral("Show the window before the load, not after it."));
    parser.addOptions({pinOption, stayOption, sizeOption, showFirstOption});
    parser.addPositionalArgument(QStringLiteral("url"), QStringLiteral("The page to show (https)."));
    parser.process(app);

    if (parser.positionalArguments().size() != 1)
        usage(parser, QStringLiteral("give exactly one address"));
    const QUrl url(parser.positionalArguments().constFirst(), QUrl::StrictMode);
    if (!url.isValid() || url.scheme() != QLatin1String("https") || url.host().isEmpty())
        usage(parser, QStringLiteral("not an https address: ") + parser.positionalArguments().constFirst());

    CertificatePins pins;
    if (parser.isSet(pinOption)) {
        const auto pin = CertificatePins::parseFingerprint(parser.value(pinOption));
        const QString authority = url.host() + QLatin1Char(':') + QString::number(url.port(443));
        if (!pin || !pins.pin(authority, *pin))
            usage(parser, QStringLiteral("not a SHA-256 fingerprint: ") + parser.value(pinOption));
    }

    bool stayOk = false;
    const double stay = parser.value(stayOption).toDouble(&stayOk);
    if (!stayOk || stay < 0)
        usage(parser, QStringLiteral("--stay wants a number of seconds"));
    const QStringList size = parser.value(sizeOption).split(QLatin1Char('x'));
    bool widthOk = false;
    bool heightOk = false;
    const int width = size.value(0).toInt(&widthOk);
    const int height = size.value(1).toInt(&heightOk);
    if (size.size() != 2 || !widthOk || !heightOk || width <= 0 || height <= 0)
        usage(parser, QStringLiteral("--size wants WIDTHxHEIGHT"));

    QWebEngineView view;
    auto *page = new PinnedWebPage(pins, &view);
    view.setPage(page);

    // Standard input is how the harness says it has read the memory; its
    // end counts too, so an orphaned run does not linger.
    QSocketNotifier quitRequest(STDIN_FILENO, QSocketNotifier::Read);
    quitRequest.setEnabled(false);
    QObject::connect(&quitRequest, &QSocketNotifier::activated, &app, [&quitRequest] {
        char buffer[64];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0 || QByteArray(buffer, int(got)).contains("quit")) {
            quitRequest.setEnabled(false);
            QCoreApplication::quit();
        }
    });

    bool loaded = false;
    bool shown = false;
    const auto stayOrQuit = [&] {
        if (!loaded || !shown)
            return;
        if (stay == 0) {
            QCoreApplication::quit();
            return;
        }
        quitRequest.setEnabled(true);
        QTimer::singleShot(int(stay * 1000), &app, &QCoreApplication::quit);
    };
    FirstExposure::watch(view, [&](QSize onScreen) {
        std::printf("shown %.6f %dx%d\n", monotonicSeconds(), onScreen.width(), onScreen.height());
        std::fflush(stdout);
        shown = true;
        stayOrQuit();
    });
    QObject::connect(page, &QWebEnginePage::loadFinished, &app, [&, page](bool ok) {
        const double at = monotonicSeconds();
        if (loaded)
            return; // the one page is shown; anything later is not start-up
        if (!ok) {
            std::fprintf(stderr, "minimalview: load failed: %s\n", qPrintable(page->url().toString()));
            QCoreApplication::exit(1);
            return;
        }
        loaded = true;
        std::printf("loaded %.6f %s\n", at, qPrintable(page->url().toString()));
        std::fflush(stdout);
        if (!view.isVisible())
            view.showMaximized();
        stayOrQuit();
    });

    view.resize(width, height); // the size it comes back to from maximised
    view.load(url);
    // Shown after the load has begun, in the same turn: shown before it, the
    // window would be replaced by an OpenGL one once the view sets up its
    // page, and the new window would come up at its normal size, not
    // maximised as asked (Qt 6.4 under openbox).
    if (parser.isSet(showFirstOption))
        view.showMaximized();
    return QApplication::exec();
}
