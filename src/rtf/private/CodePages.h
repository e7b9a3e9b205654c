#pragma once

#include <QString>
#include <QtGlobal>

#include <memory>
#include <unordered_map>
#include <vector>

namespace rtf::detail {

// The upper half (bytes 0x80-0xFF) of one single-byte code page.
struct SingleByteTable {
    int codePage;
    char16_t upper[128];
};

extern const SingleByteTable kSingleByteTables[];
extern const int kSingleByteTableCount;

// The Windows code page that an RTF \fcharset value stands for; 0 for "use the document's code page"
// (DEFAULT_CHARSET) and kSymbolCodePage for the symbol character set.
int codePageForCharset(int charset);
// The Windows \fcharset value that stands for a code page; 1 (DEFAULT_CHARSET) for one that none names.
int charsetForCodePage(int codePage);

// Pseudo code pages for fonts whose bytes are glyph indices rather than characters.
inline constexpr int kSymbolCodePage = -2;    // Adobe Symbol encoding (the "Symbol" font)
inline constexpr int kWingdingsCodePage = -3; // Wingdings and other dingbat fonts

// The code page of a font's bytes, from the code page its \fcharset gives (0 when it gives none) and its
// name: older writers give symbol and dingbat fonts no \fcharset, so those are known by name too.
int fontCodePage(int charsetCodePage, const QString& name);

// Turns the bytes of one code page into UTF-16, one byte at a time, so that the bytes can come from text,
// \'hh escapes and raw 8-bit characters mixed. Double-byte code pages (932, 936, 949, 950, 1361) keep a lead
// byte until its trail byte arrives; 65001 is UTF-8. Pairs of a double-byte page are converted through the C
// library's iconv and cached.
class ByteDecoder final {
public:
    ByteDecoder();
    ~ByteDecoder();
    ByteDecoder(const ByteDecoder&) = delete;
    ByteDecoder& operator=(const ByteDecoder&) = delete;

    // Selects the code page for the following bytes. A lead byte still waiting for its trail is dropped as
    // U+FFFD through `out`.
    template <typename Out> void setCodePage(int codePage, Out&& out) {
        if (codePage == m_codePage)
            return;
        flush(out);
        select(codePage);
    }

    int codePage() const { return m_codePage; }
    // How many converters the C library was asked for so far: one per code page without a built-in table,
    // however often the text switches to it.
    int convertersOpened() const { return m_convertersOpened; }
    // True when a byte of an unfinished multi-byte character is waiting.
    bool pending() const { return m_pendingCount > 0; }
    // True when a lead byte of a double-byte code page waits for its trail byte.
    bool awaitsTrailByte() const { return m_kind == Kind::DoubleByte && m_pendingCount > 0; }

    // Feeds one byte; calls out(char16_t) for each UTF-16 unit it completes.
    template <typename Out> void feed(uchar byte, Out&& out) {
        switch (m_kind) {
        case Kind::SingleByte:
            out(byte < 0x80 ? char16_t(byte) : m_table[byte - 0x80]);
            return;
        case Kind::Symbol:
            out(m_table[byte]);
            return;
        case Kind::DoubleByte:
            feedDoubleByte(byte, out);
            return;
        case Kind::Utf8:
            feedUtf8(byte, out);
            return;
        }
    }

    // Ends an unfinished multi-byte character as U+FFFD.
    template <typename Out> void flush(Out&& out) {
        if (m_pendingCount > 0) {
            m_pendingCount = 0;
            out(char16_t(0xFFFD));
        }
    }

private:
    enum class Kind { SingleByte, Symbol, DoubleByte, Utf8 };

    void select(int codePage);
    bool isLeadByte(uchar byte) const;
    char16_t decodePair(uchar lead, uchar trail);
    char16_t decodeSingle(uchar byte);

    template <typename Out> void feedDoubleByte(uchar byte, Out& out) {
        if (m_pendingCount == 0) {
            if (byte < 0x80 || !isLeadByte(byte)) {
                out(byte < 0x80 ? char16_t(byte) : decodeSingle(byte));
                return;
            }
            m_pending[0] = byte;
            m_pendingCount = 1;
            return;
        }
        m_pendingCount = 0;
        const char16_t c = decodePair(m_pending[0], byte);
        if (c != 0xFFFD || byte >= 0x80) {
            out(c);
        } else {
            // Not a valid pair: the lead byte is lost, the ASCII byte after it is kept.
            out(char16_t(0xFFFD));
            out(char16_t(byte));
        }
    }

    template <typename Out> void feedUtf8(uchar byte, Out& out) {
        if (m_pendingCount > 0) {
            if ((byte & 0xC0) == 0x80) {
                m_codePoint = (m_codePoint << 6) | (byte & 0x3F);
                if (++m_pendingCount < m_expected)
                    return;
                m_pendingCount = 0;
                emitCodePoint(m_codePoint, m_expected, out);
                return;
            }
            m_pendingCount = 0;
            out(char16_t(0xFFFD));
        }
        if (byte < 0x80) {
            out(char16_t(byte));
        } else if (byte >= 0xC2 && byte <= 0xF4) {
            m_expected = byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
            m_codePoint = byte & (0x7F >> m_expected);
            m_pendingCount = 1;
        } else {
            out(char16_t(0xFFFD));
        }
    }

    template <typename Out> static void emitCodePoint(char32_t cp, int length, Out& out) {
        const bool overlong = (length == 3 && cp < 0x800) || (length == 4 && cp < 0x10000);
        if (overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out(char16_t(0xFFFD));
        } else if (cp >= 0x10000) {
            out(char16_t(0xD800 + ((cp - 0x10000) >> 10)));
            out(char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            out(char16_t(cp));
        }
    }

    struct DoubleBytePage;

    Kind m_kind = Kind::SingleByte;
    int m_codePage = 0;
    const char16_t* m_table = nullptr;
    DoubleBytePage* m_dbcs = nullptr;
    uchar m_pending[4] = {};
    int m_pendingCount = 0;
    int m_expected = 0;
    char32_t m_codePoint = 0;
    std::vector<std::unique_ptr<DoubleBytePage>> m_dbcsPages;
    // Upper halves asked of iconv, by code page; null where iconv does not know the page.
    std::unordered_map<int, std::unique_ptr<char16_t[]>> m_extraTables;
    int m_convertersOpened = 0;
};

} // namespace rtf::detail
