// libFuzzer target for the RTF reader and writer. Build with clang and MOSSPORT_FUZZ=ON, then for example:
//   build/bin/rtf_fuzzer -max_len=65536 -timeout=10 -rss_limit_mb=2048 -dict=tests/rtf/fuzz/rtf.dict
//   CORPUS_DIR \
//       ../shared/rtf-corpus/*/
// Any input on which reading, plain-text reading and a write/read round trip disagree aborts. With
// RTF_FUZZ_SAFETY_ONLY=1 in the environment every input still goes the whole way (read, plain text, write,
// read again), but only crashes, the sanitizers' findings, hangs and runaway memory count as findings.

#include "FuzzCheck.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // QTextDocument needs an application object for fonts and pictures; no display is needed.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    static QGuiApplication app(*argc, *argv);
    return 0;
}

namespace {
const bool safetyOnly = qEnvironmentVariableIntValue("RTF_FUZZ_SAFETY_ONLY") == 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    // Most mutations would not start with "{\rtf"; make every input exercise the interpreter.
    if (!bytes.startsWith("{\\rtf"))
        bytes.prepend("{\\rtf1 ");
    const QString problem = rtffuzz::checkOneInput(bytes);
    if (!problem.isEmpty() && !safetyOnly) {
        std::fprintf(stderr, "rtf_fuzzer: %s\n", problem.toLocal8Bit().constData());
        std::abort();
    }
    return 0;
}
