// The RTF tokenizer on its own: what each piece of RTF syntax becomes, with the edges of parameters, hex
// escapes and \bin data. Tokens are written as "kind:detail" and joined by spaces. And the control-word
// tables that name what the tokens mean.
#include "rtf/private/ControlWords.h"
#include "rtf/private/Tokenizer.h"

#include <QTest>

using namespace Qt::StringLiterals;
using rtf::detail::ListWord;
using rtf::detail::Op;
using rtf::detail::Token;
using rtf::detail::Tokenizer;

namespace {

QString describe(const Token& t) {
    const QString text = QString::fromLatin1(t.text.data(), qsizetype(t.text.size()));
    switch (t.kind) {
    case Token::Kind::End:
        return u"end"_s;
    case Token::Kind::GroupOpen:
        return u"{"_s;
    case Token::Kind::GroupClose:
        return u"}"_s;
    case Token::Kind::ControlWord:
        return t.hasParam ? u"w:%1=%2"_s.arg(text).arg(t.value) : u"w:"_s + text;
    case Token::Kind::ControlSymbol:
        return u"s:"_s + (t.value > 0x20 ? QString(QChar(t.value)) : QString::number(t.value, 16));
    case Token::Kind::HexByte:
        return u"h:"_s + QString::number(t.value, 16);
    case Token::Kind::Binary:
        return u"b:"_s + text;
    case Token::Kind::Text:
        return u"t:"_s + text;
    case Token::Kind::Byte:
        return u"y:"_s + QString::number(t.value, 16);
    }
    return u"?"_s;
}

QString tokens(const QByteArray& rtf) {
    Tokenizer tokenizer(rtf.constData(), rtf.constData() + rtf.size());
    QStringList out;
    for (Token t = tokenizer.next(); t.kind != Token::Kind::End; t = tokenizer.next())
        out.append(describe(t));
    return out.join(u' ');
}

} // namespace

class RtfTokenizerTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void syntax_data();
    void syntax();
    void skipsToTheFirstGroup();
    void listWords_data();
    void listWords();
};

void RtfTokenizerTest::syntax_data() {
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("expected");
    QTest::newRow("groups, words, text") << QByteArray("{\\rtf1\\ansi x y}") << u"{ w:rtf=1 w:ansi t:x y }"_s;
    QTest::newRow("one space ends a word") << QByteArray("\\b  x\\i0 y") << u"w:b t: x w:i=0 t:y"_s;
    QTest::newRow("negative parameter") << QByteArray("\\li-120 a") << u"w:li=-120 t:a"_s;
    QTest::newRow("a minus without digits is text") << QByteArray("\\b-x") << u"w:b t:-x"_s;
    QTest::newRow("parameters are clamped")
        << QByteArray("\\fs99999999999 \\li-99999999999") << u"w:fs=1000000000 w:li=-1000000000"_s;
    QTest::newRow("fallback text after \\u") << QByteArray("\\u8364?") << u"w:u=8364 t:?"_s;
    QTest::newRow("hex escapes") << QByteArray("\\'e9\\'4z\\'zz") << u"h:e9 h:4 t:z h:-1 t:zz"_s;
    QTest::newRow("symbols") << QByteArray("\\{\\}\\\\\\~\\*\\|") << u"s:{ s:} s:\\ s:~ s:* s:|"_s;
    QTest::newRow("an escaped line end") << QByteArray("a\\\r\nb") << u"t:a s:d t:b"_s;
    QTest::newRow("line ends carry nothing") << QByteArray("a\r\nb\n") << u"t:a t:b"_s;
    QTest::newRow("8-bit and control bytes") << QByteArray("a\xE9"
                                                           "b\x01\tc")
                                             << u"t:a y:e9 t:b y:1 y:9 t:c"_s;
    QTest::newRow("bin data is taken whole") << QByteArray("\\bin4 {}\\x}") << u"b:{}\\x }"_s;
    QTest::newRow("bin longer than the rest") << QByteArray("\\bin50 ab") << u"b:ab"_s;
    QTest::newRow("negative or missing bin length") << QByteArray("\\bin-3 x\\bin y") << u"b: t:x b: t:y"_s;
    QTest::newRow("a word that starts with bin") << QByteArray("\\binary2 x") << u"w:binary=2 t:x"_s;
    QTest::newRow("a backslash at the end") << QByteArray("a\\") << u"t:a"_s;
}

void RtfTokenizerTest::syntax() {
    QFETCH(QByteArray, rtf);
    QFETCH(QString, expected);
    QCOMPARE(tokens(rtf), expected);
}

void RtfTokenizerTest::skipsToTheFirstGroup() {
    const QByteArray rtf = "\xEF\xBB\xBF \r\n{\\rtf1}";
    Tokenizer tokenizer(rtf.constData(), rtf.constData() + rtf.size());
    tokenizer.skipToFirstGroup();
    QCOMPARE(describe(tokenizer.next()), u"{"_s);
    QCOMPARE(describe(tokenizer.next()), u"w:rtf=1"_s);
}

// The words of the list groups: known there, and in the body only those that mean something there too.
void RtfTokenizerTest::listWords_data() {
    QTest::addColumn<QByteArray>("word");
    QTest::addColumn<int>("bodyOp"); // -1: the interpreter does not know the word
    QTest::addColumn<int>("listWord");
    QTest::newRow("list table only") << QByteArray("listid") << -1 << int(ListWord::ListId);
    QTest::newRow("a level's format") << QByteArray("levelnfc") << -1 << int(ListWord::NumberFormat);
    QTest::newRow("a level's text") << QByteArray("leveltext") << -1 << int(ListWord::LevelText);
    QTest::newRow("an override") << QByteArray("listoverride") << -1 << int(ListWord::Override);
    QTest::newRow("a numbering's bullet") << QByteArray("pnlvlblt") << -1 << int(ListWord::NumberingBullet);
    QTest::newRow("skipped in the body")
        << QByteArray("pntxta") << int(Op::SkipGroup) << int(ListWord::NumberingAfter);
    QTest::newRow("a paragraph's list")
        << QByteArray("ls") << int(Op::ListOverride) << int(ListWord::OverrideNumber);
    QTest::newRow("the list table itself")
        << QByteArray("listtable") << int(Op::ListTable) << int(ListWord::None);
    QTest::newRow("no list word") << QByteArray("par") << int(Op::ParagraphEnd) << int(ListWord::None);
    QTest::newRow("a prefix is no word") << QByteArray("lis") << -1 << int(ListWord::None);
}

void RtfTokenizerTest::listWords() {
    QFETCH(QByteArray, word);
    QFETCH(int, bodyOp);
    QFETCH(int, listWord);
    const std::string_view name(word.constData(), size_t(word.size()));
    const rtf::detail::ControlWord* body = rtf::detail::findControlWord(name);
    QCOMPARE(body ? int(body->op) : -1, bodyOp);
    QCOMPARE(int(rtf::detail::findListWord(name)), listWord);
}

QTEST_APPLESS_MAIN(RtfTokenizerTest)
#include "rtf_tokenizer_test.moc"
