// How long the version check holds the start-up: the time from showing the splash window (its load step runs
// the check) until it is on the screen, when the maker's site answers at once, when nothing listens there
// (connection refused) and when it never answers. Prints the median of several runs of each and fails when
// refused is more than 50 ms, or never answering more than 3100 ms, slower than answering at once.
//
// Run:
//   cmake --build build-ver --target bench_versioncheck &&
//   XDG_RUNTIME_DIR=$(mktemp -d) xvfb-run -a -s "-screen 0 1920x1080x24 -nolisten tcp"
//   build-ver/bin/bench_versioncheck
#include "LoopbackServer.h"
#include "app/Program.h"
#include "host/QtHttp.h"
#include "startup/frmSplash.h"

#include <Fakes.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QNetworkProxy>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// The maker's site is reached through the application's proxy, a server on 127.0.0.1 (or a closed port).
void useProxy(quint16 port) {
    QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::HttpProxy, u"127.0.0.1"_s, port));
}

// One start-up as main() does it, with fakes for everything but the HTTP transfer; milliseconds until the
// splash window is shown.
double startUp() {
    FakeHost fakes;
    QtHttp http;
    Host host = fakes.host();
    host.http = &http;
    Program program(host);
    QElapsedTimer clock;
    clock.start();
    const frmSplash* splash = program.windows.show<frmSplash>();
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    if (!splash || !splash->isVisible())
        qFatal("bench_versioncheck: the splash window is not shown");
    QCoreApplication::processEvents();
    return ms;
}

struct Figures {
    double median;
    double low;
    double high;
};

Figures measure(int runs) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i)
        times.push_back(startUp());
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.front(), times.back()};
}

void print(const char* name, const Figures& figures, int runs) {
    std::printf("%-22s median %8.1f ms   (min %8.1f, max %8.1f, %d runs)\n", name, figures.median,
                figures.low, figures.high, runs);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);

    LoopbackServer answering(answers::text(200, "1.0.2"));
    LoopbackServer silent(answers::never());
    const quint16 closed = LoopbackServer::closedPort();

    // The first start-up of a process pays for loading the network code; measure it, then warm runs.
    useProxy(answering.port());
    const double cold = startUp();

    constexpr int fastRuns = 21;
    constexpr int slowRuns = 5;
    const Figures atOnce = measure(fastRuns);
    useProxy(closed);
    const Figures refused = measure(fastRuns);
    useProxy(silent.port());
    const Figures never = measure(slowRuns);

    std::printf("first start-up of the process, site answering: %.1f ms\n", cold);
    print("site answering at once", atOnce, fastRuns);
    print("connection refused", refused, fastRuns);
    print("never answering", never, slowRuns);
    const double refusedExtra = refused.median - atOnce.median;
    const double neverExtra = never.median - atOnce.median;
    std::printf("refused is %+.1f ms (limit +50), never answering %+.1f ms (limit +3100) against answering\n",
                refusedExtra, neverExtra);
    return refusedExtra <= 50 && neverExtra <= 3100 ? 0 : 1;
}
