// The one-way layers of the source tree, and the RTF library's private part kept to it and its tests: the
// real trees keep them, and includes planted in made-up trees that break them are each found, at their file
// and line.
#include "Layers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

using Files = QMap<QString, QByteArray>;

namespace {

// A header in every folder, so that the planted includes name files that exist.
Files everyLayer() {
    return {
        {u"main.h"_s, "#pragma once\n"},
        {u"base/Twips.h"_s, "#pragma once\n#include <QRect>\n"},
        {u"host/Host.h"_s, "#pragma once\n#include \"base/Twips.h\"\n"},
        {u"rtf/Rtf.h"_s, "#pragma once\n#include <QTextDocument>\n"},
        {u"rtf/private/Tokenizer.h"_s, "#pragma once\n"},
        {u"app/Program.h"_s, "#pragma once\n#include \"host/Host.h\"\n"},
        {u"startup/Version.h.in"_s, "#pragma once\n"},
        {u"startup/frmSplash.h"_s, "#pragma once\n"},
        {u"gamewindow/frmMain.h"_s, "#pragma once\n"},
        {u"browser/frmBrowser.h"_s, "#pragma once\n"},
        {u"highscores/frmHighscores.h"_s, "#pragma once\n"},
        {u"highscores/Lookup.h"_s, "#pragma once\n"},
        {u"notepad/frmNotepad.h"_s, "#pragma once\n"},
    };
}

// Writes the files under `root`.
bool plant(const QString& root, const Files& files) {
    for (auto file = files.cbegin(); file != files.cend(); ++file) {
        const QString path = root + u'/' + file.key();
        QFile out(path);
        if (!QDir().mkpath(QFileInfo(path).path()) || !out.open(QIODevice::WriteOnly) ||
            out.write(file.value()) != file.value().size())
            return false;
    }
    return true;
}

QStringList places(const QList<layers::Violation>& violations) {
    QStringList result;
    for (const layers::Violation& violation : violations)
        result << u"%1:%2"_s.arg(violation.file).arg(violation.line);
    return result;
}

} // namespace

class LayeringTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theSourceTreeKeepsItsLayers() {
        const QString root = QStringLiteral(MOSSPORT_SOURCE_DIR) + u"/src"_s;
        QVERIFY2(QFile::exists(root + u"/main.cpp"_s), qPrintable(root));
        const QList<layers::Violation> violations = layers::check(root);
        for (const layers::Violation& violation : violations)
            qWarning().noquote() << layers::describe(violation);
        QCOMPARE(violations.size(), 0);

        const QString tests = QStringLiteral(MOSSPORT_SOURCE_DIR) + u"/tests"_s;
        const QList<layers::Violation> fromTests = layers::checkTests(tests, root);
        for (const layers::Violation& violation : fromTests)
            qWarning().noquote() << u"tests/"_s + layers::describe(violation);
        QCOMPARE(fromTests.size(), 0);
    }

    void plantedIncludes_data() {
        QTest::addColumn<Files>("planted");
        QTest::addColumn<QStringList>("found");

        const auto one = [](const char* name, const QString& file, const QByteArray& text) {
            QTest::newRow(name) << Files{{file, text}} << QStringList{file + u":2"_s};
        };
        one("host includes app", u"host/WebView.cpp"_s, "// x\n#include \"app/Program.h\"\n");
        one("host includes a window", u"host/WebView.cpp"_s, "\n#include \"gamewindow/frmMain.h\"\n");
        one("host includes rtf beside it", u"host/Box.cpp"_s, "\n#include \"rtf/Rtf.h\"\n");
        one("rtf includes host", u"rtf/Reader.cpp"_s, "\n#include \"host/Host.h\"\n");
        one("app includes a window", u"app/Windows.cpp"_s, "\n#include \"notepad/frmNotepad.h\"\n");
        one("base includes host", u"base/Twips.cpp"_s, "\n#include \"host/Host.h\"\n");
        one("a window includes the program", u"notepad/frmNotepad.cpp"_s, "\n#include \"main.h\"\n");
        one("a window a window it does not open", u"browser/frmBrowser.cpp"_s,
            "\n#include \"highscores/frmHighscores.h\"\n");
        one("an opened window's inner header", u"gamewindow/frmMain.cpp"_s,
            "\n#include \"highscores/Lookup.h\"\n");
        one("an opened window includes its opener", u"browser/frmBrowser.cpp"_s,
            "\n#include \"gamewindow/frmMain.h\"\n");
        one("the programs side by side", u"rtftool/main.cpp"_s, "\n#include \"main.h\"\n");
        one("up by a relative path", u"host/WebView.cpp"_s, "\n#include \"../app/Program.h\"\n");
        one("in angle brackets", u"host/WebView.cpp"_s, "\n  #  include <app/Program.h>\n");
        one("by file name through an include path", u"host/WebView.cpp"_s, "\n#include \"Program.h\"\n");
        one("a header made from a template", u"host/WebView.cpp"_s, "\n#include \"startup/Version.h\"\n");
        one("a folder in no layer", u"files/Write.cpp"_s, "\n#include \"base/Twips.h\"\n");
        one("the RTF tool reaches into rtf/private", u"rtftool/main.cpp"_s,
            "\n#include \"rtf/private/Tokenizer.h\"\n");
        one("a window reaches into rtf/private by file name", u"notepad/Box.cpp"_s,
            "\n#include \"Tokenizer.h\"\n");

        QTest::newRow("two in one file")
            << Files{{u"app/Look.cpp"_s, "#include \"app/Program.h\"\n#include \"browser/frmBrowser.h\"\n"
                                         "#include \"host/Host.h\"\n#include \"startup/frmSplash.h\"\n"}}
            << QStringList{u"app/Look.cpp:2"_s, u"app/Look.cpp:4"_s};

        QTest::newRow("downward, within a folder, to opened windows and outside")
            << Files{{u"main.cpp"_s, "#include \"main.h\"\n#include \"startup/frmSplash.h\"\n"
                                     "#include \"host/Host.h\"\n#include <QApplication>\n"},
                     {u"rtftool/main.cpp"_s, "#include \"Rtf.h\"\n#include \"base/Twips.h\"\n"},
                     {u"startup/frmSplash.cpp"_s,
                      "#include \"startup/frmSplash.h\"\n#include \"frmSplash.h\"\n"
                      "#include \"startup/Version.h\"\n"
                      "#include \"gamewindow/frmMain.h\"\n"
                      "#include \"app/Program.h\"\n"},
                     {u"gamewindow/frmMain.cpp"_s, "#include \"browser/frmBrowser.h\"\n"
                                                   "#include \"highscores/frmHighscores.h\"\n"
                                                   "#include \"notepad/frmNotepad.h\"\n"
                                                   "#include \"moc_frmMain.cpp\"\n#include <vector>\n"},
                     {u"notepad/Box.cpp"_s, "#include \"rtf/Rtf.h\"\n#include \"host/Host.h\"\n"
                                            "// #include \"gamewindow/frmMain.h\"\n"},
                     {u"rtf/Reader.cpp"_s, "#include \"Rtf.h\"\n#include \"base/Twips.h\"\n"
                                           "#include \"rtf/private/Tokenizer.h\"\n"},
                     {u"rtf/private/Tokenizer.cpp"_s, "#include \"Tokenizer.h\"\n#include \"../Rtf.h\"\n"},
                     {u"app/Look.cpp"_s, "#include \"host/Host.h\"\n#include \"base/Twips.h\"\n"}}
            << QStringList{};
    }

    void plantedIncludes() {
        QFETCH(Files, planted);
        QFETCH(QStringList, found);

        QTemporaryDir root;
        QVERIFY(root.isValid());
        Files files = everyLayer();
        files.insert(planted);
        QVERIFY(plant(root.path(), files));
        QCOMPARE(places(layers::check(root.path())), found);
    }

    // Tests planted in a made-up tests tree beside a made-up source tree.
    void plantedTestIncludes_data() {
        QTest::addColumn<Files>("planted");
        QTest::addColumn<QStringList>("found");

        QTest::newRow("a window's test reaches into rtf/private")
            << Files{{u"notepad/box_test.cpp"_s, "#include \"notepad/frmNotepad.h\"\n"
                                                 "#include \"rtf/private/Tokenizer.h\"\n"}}
            << QStringList{u"notepad/box_test.cpp:2"_s};
        QTest::newRow("a fake, by file name")
            << Files{{u"fakes/Fakes.h"_s, "#pragma once\n\n#include <Tokenizer.h>\n"}}
            << QStringList{u"fakes/Fakes.h:3"_s};
        QTest::newRow("the RTF tests and their fuzz target may")
            << Files{{u"rtf/tokenizer_test.cpp"_s, "#include \"rtf/private/Tokenizer.h\"\n"},
                     {u"rtf/fuzz/FuzzCheck.cpp"_s, "#include \"rtf/private/Tokenizer.h\"\n"}}
            << QStringList{};
        QTest::newRow("the library's interface and the tests' own headers")
            << Files{{u"notepad/box_test.cpp"_s, "#include \"rtf/Rtf.h\"\n#include \"Helpers.h\"\n"},
                     {u"fakes/Helpers.h"_s, "#pragma once\n"}}
            << QStringList{};
    }

    void plantedTestIncludes() {
        QFETCH(Files, planted);
        QFETCH(QStringList, found);

        QTemporaryDir root;
        QVERIFY(root.isValid());
        QVERIFY(plant(root.filePath(u"src"_s), everyLayer()));
        QVERIFY(plant(root.filePath(u"tests"_s), planted));
        QCOMPARE(places(layers::checkTests(root.filePath(u"tests"_s), root.filePath(u"src"_s))), found);
    }
};

QTEST_GUILESS_MAIN(LayeringTest)
#include "layering_test.moc"
