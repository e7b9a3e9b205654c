#include "CodePages.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>

namespace rtf::detail {

namespace {

const char16_t* findSingleByteTable(int codePage) {
    for (int i = 0; i < kSingleByteTableCount; ++i) {
        if (kSingleByteTables[i].codePage == codePage)
            return kSingleByteTables[i].upper;
    }
    return nullptr;
}

const char16_t* cp1252Table() {
    static const char16_t* const table = findSingleByteTable(1252);
    return table;
}

// Adobe Symbol encoding for 0x20-0xFF; 0 where the font has no Unicode equivalent (kept as U+F0xx, as
// word processors do for symbol fonts).
// clang-format off
constexpr char16_t kSymbolUpper[224] = {
    0x0020, 0x0021, 0x2200, 0x0023, 0x2203, 0x0025, 0x0026, 0x220B, // 0x20
    0x0028, 0x0029, 0x2217, 0x002B, 0x002C, 0x2212, 0x002E, 0x002F, // 0x28
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037, // 0x30
    0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F, // 0x38
    0x2245, 0x0391, 0x0392, 0x03A7, 0x0394, 0x0395, 0x03A6, 0x0393, // 0x40
    0x0397, 0x0399, 0x03D1, 0x039A, 0x039B, 0x039C, 0x039D, 0x039F, // 0x48
    0x03A0, 0x0398, 0x03A1, 0x03A3, 0x03A4, 0x03A5, 0x03C2, 0x03A9, // 0x50
    0x039E, 0x03A8, 0x0396, 0x005B, 0x2234, 0x005D, 0x22A5, 0x005F, // 0x58
    0x0000, 0x03B1, 0x03B2, 0x03C7, 0x03B4, 0x03B5, 0x03C6, 0x03B3, // 0x60
    0x03B7, 0x03B9, 0x03D5, 0x03BA, 0x03BB, 0x03BC, 0x03BD, 0x03BF, // 0x68
    0x03C0, 0x03B8, 0x03C1, 0x03C3, 0x03C4, 0x03C5, 0x03D6, 0x03C9, // 0x70
    0x03BE, 0x03C8, 0x03B6, 0x007B, 0x007C, 0x007D, 0x223C, 0x0000, // 0x78
    0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, // 0x80
    0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, // 0x88
    0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, // 0x90
    0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, // 0x98
    0x20AC, 0x03D2, 0x2032, 0x2264, 0x2044, 0x221E, 0x0192, 0x2663, // 0xA0
    0x2666, 0x2665, 0x2660, 0x2194, 0x2190, 0x2191, 0x2192, 0x2193, // 0xA8
    0x00B0, 0x00B1, 0x2033, 0x2265, 0x00D7, 0x221D, 0x2202, 0x2022, // 0xB0
    0x00F7, 0x2260, 0x2261, 0x2248, 0x2026, 0x23D0, 0x23AF, 0x21B5, // 0xB8
    0x2135, 0x2111, 0x211C, 0x2118, 0x2297, 0x2295, 0x2205, 0x2229, // 0xC0
    0x222A, 0x2283, 0x2287, 0x2284, 0x2282, 0x2286, 0x2208, 0x2209, // 0xC8
    0x2220, 0x2207, 0x00AE, 0x00A9, 0x2122, 0x220F, 0x221A, 0x22C5, // 0xD0
    0x00AC, 0x2227, 0x2228, 0x21D4, 0x21D0, 0x21D1, 0x21D2, 0x21D3, // 0xD8
    0x25CA, 0x2329, 0x00AE, 0x00A9, 0x2122, 0x2211, 0x239B, 0x239C, // 0xE0
    0x239D, 0x23A1, 0x23A2, 0x23A3, 0x23A7, 0x23A8, 0x23A9, 0x23AA, // 0xE8
    0x0000, 0x232A, 0x222B, 0x2320, 0x23AE, 0x2321, 0x239E, 0x239F, // 0xF0
    0x23A0, 0x23A4, 0x23A5, 0x23A6, 0x23AB, 0x23AC, 0x23AD, 0x0000, // 0xF8
};
// clang-format on

// The Wingdings glyphs that lists use as bullets; the rest stay U+F0xx.
struct Dingbat {
    uchar byte;
    char16_t unicode;
};
// clang-format off
constexpr Dingbat kWingdings[] = {
    {0x6C, 0x25CF}, {0x6E, 0x25A0}, {0x6F, 0x25A1}, {0x71, 0x2751}, {0x75, 0x25C6}, {0x76, 0x2756},
    {0x77, 0x2B25}, {0x9F, 0x2022}, {0xA7, 0x25AA}, {0xA8, 0x25FB}, {0xD8, 0x27A2}, {0xE0, 0x27A9},
    {0xF0, 0x21E8}, {0xFB, 0x2717}, {0xFC, 0x2713}, {0xFE, 0x2611},
};
// clang-format on

const char16_t* symbolTable() {
    static const auto table = [] {
        static char16_t t[256];
        for (int b = 0; b < 256; ++b) {
            const char16_t mapped = b >= 0x20 ? kSymbolUpper[b - 0x20] : 0;
            t[b] = mapped != 0 ? mapped : char16_t(b < 0x20 ? b : 0xF000 + b);
        }
        return t;
    }();
    return table;
}

const char16_t* wingdingsTable() {
    static const auto table = [] {
        static char16_t t[256];
        for (int b = 0; b < 256; ++b)
            t[b] = char16_t(b < 0x20 ? b : 0xF000 + b);
        for (const Dingbat& d : kWingdings)
            t[d.byte] = d.unicode;
        return t;
    }();
    return table;
}

const char* iconvName(int codePage) {
    switch (codePage) {
    case 932:
        return "CP932";
    case 936:
        return "CP936";
    case 949:
        return "CP949";
    case 950:
        return "CP950";
    case 1361:
        return "JOHAB";
    default:
        return nullptr;
    }
}

// Converts `length` bytes of `codePage` to UTF-16 with iconv; returns the number of units written (0 on
// failure).
int iconvToUtf16(iconv_t cd, const uchar* bytes, size_t length, char16_t* out, size_t outUnits) {
    char* in = const_cast<char*>(reinterpret_cast<const char*>(bytes));
    char* outPtr = reinterpret_cast<char*>(out);
    size_t inLeft = length;
    size_t outLeft = outUnits * sizeof(char16_t);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) == size_t(-1) || inLeft != 0)
        return 0;
    return int(outUnits - outLeft / sizeof(char16_t));
}

// The upper half of a single-byte code page as iconv converts it; null when iconv does not know the page.
std::unique_ptr<char16_t[]> upperHalfFromIconv(int codePage) {
    char name[16];
    std::snprintf(name, sizeof name, "CP%d", codePage);
    const iconv_t cd = iconv_open("UTF-16LE", name);
    if (cd == iconv_t(-1))
        return nullptr;
    auto table = std::make_unique<char16_t[]>(128);
    for (int b = 0x80; b < 0x100; ++b) {
        const uchar byte = uchar(b);
        char16_t unit[2];
        table[b - 0x80] = iconvToUtf16(cd, &byte, 1, unit, 2) == 1 ? unit[0] : char16_t(0xFFFD);
    }
    iconv_close(cd);
    return table;
}

} // namespace

int codePageForCharset(int charset) {
    switch (charset) {
    case 0:
        return 1252;
    case 2:
        return kSymbolCodePage;
    case 77:
        return 10000;
    case 78:
        return 932;
    case 79:
        return 949;
    case 80:
        return 936;
    case 81:
        return 950;
    case 83:
        return 1255;
    case 84:
        return 1256;
    case 85:
        return 10006;
    case 86:
        return 10081;
    case 89:
        return 10007;
    case 128:
        return 932;
    case 129:
        return 949;
    case 130:
        return 1361;
    case 134:
        return 936;
    case 136:
        return 950;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 163:
        return 1258;
    case 177:
    case 181:
        return 1255;
    case 178:
    case 179:
    case 180:
        return 1256;
    case 186:
        return 1257;
    case 204:
        return 1251;
    case 222:
        return 874;
    case 238:
        return 1250;
    case 254:
        return 437;
    case 255:
        return 850;
    default: // 1 (DEFAULT_CHARSET), 3 and unknown values: the document's code page
        return 0;
    }
}

int fontCodePage(int charsetCodePage, const QString& name) {
    if (charsetCodePage != 0 && charsetCodePage != kSymbolCodePage)
        return charsetCodePage;
    if (name.compare(u"Symbol", Qt::CaseInsensitive) == 0)
        return kSymbolCodePage;
    if (name.startsWith(u"Wingdings", Qt::CaseInsensitive) ||
        name.startsWith(u"Webdings", Qt::CaseInsensitive) ||
        name.compare(u"Zapf Dingbats", Qt::CaseInsensitive) == 0 || charsetCodePage == kSymbolCodePage)
        return kWingdingsCodePage;
    return charsetCodePage;
}

int charsetForCodePage(int codePage) {
    // The Windows character sets first, which every reader knows.
    static constexpr int kCharsets[] = {0,   204, 238, 161, 162, 177, 178, 186, 163,
                                        222, 128, 129, 134, 136, 130, 77,  254, 255};
    for (const int charset : kCharsets) {
        if (codePageForCharset(charset) == codePage)
            return charset;
    }
    return 1;
}

struct ByteDecoder::DoubleBytePage {
    int codePage = 0;
    iconv_t cd = iconv_t(-1);
    // Decoded pairs by lead * 256 + trail; 0 = not yet looked up.
    std::unique_ptr<char16_t[]> cache;

    ~DoubleBytePage() {
        if (cd != iconv_t(-1))
            iconv_close(cd);
    }
};

ByteDecoder::ByteDecoder() {
    select(1252);
}

ByteDecoder::~ByteDecoder() = default;

void ByteDecoder::select(int codePage) {
    m_codePage = codePage;
    m_pendingCount = 0;
    m_dbcs = nullptr;
    if (codePage == kSymbolCodePage) {
        m_kind = Kind::Symbol;
        m_table = symbolTable();
        return;
    }
    if (codePage == kWingdingsCodePage) {
        m_kind = Kind::Symbol;
        m_table = wingdingsTable();
        return;
    }
    if (codePage == 65001) {
        m_kind = Kind::Utf8;
        return;
    }
    if (const char* name = iconvName(codePage)) {
        for (const auto& page : m_dbcsPages) {
            if (page->codePage == codePage)
                m_dbcs = page.get();
        }
        if (!m_dbcs) {
            auto page = std::make_unique<DoubleBytePage>();
            page->codePage = codePage;
            page->cd = iconv_open("UTF-16LE", name);
            ++m_convertersOpened;
            page->cache = std::make_unique<char16_t[]>(65536);
            m_dbcs = page.get();
            m_dbcsPages.push_back(std::move(page));
        }
        if (m_dbcs->cd != iconv_t(-1)) {
            m_kind = Kind::DoubleByte;
            return;
        }
        m_dbcs = nullptr;
    }
    m_kind = Kind::SingleByte;
    m_table = findSingleByteTable(codePage);
    if (m_table)
        return;
    // A code page without a built-in table: ask iconv once for its upper half and keep it for the next switch
    // to the same page; a page iconv does not know is read as 1252.
    if (codePage > 0 && codePage < 100000) {
        auto [kept, added] = m_extraTables.try_emplace(codePage);
        if (added) {
            kept->second = upperHalfFromIconv(codePage);
            ++m_convertersOpened;
        }
        m_table = kept->second.get();
        if (m_table)
            return;
    }
    m_table = cp1252Table();
}

bool ByteDecoder::isLeadByte(uchar byte) const {
    switch (m_codePage) {
    case 932:
        return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case 1361:
        return (byte >= 0x84 && byte <= 0xD3) || (byte >= 0xD8 && byte <= 0xDE) ||
               (byte >= 0xE0 && byte <= 0xF9);
    default:
        return byte >= 0x81 && byte <= 0xFE;
    }
}

char16_t ByteDecoder::decodePair(uchar lead, uchar trail) {
    char16_t& cached = m_dbcs->cache[lead * 256 + trail];
    if (cached == 0) {
        const uchar bytes[2] = {lead, trail};
        char16_t units[4];
        cached = iconvToUtf16(m_dbcs->cd, bytes, 2, units, 4) == 1 ? units[0] : char16_t(0xFFFD);
    }
    return cached;
}

// Bytes of a double-byte page that are not lead bytes (half-width katakana in 932, for example); they share
// the cache's row 0, which no pair uses.
char16_t ByteDecoder::decodeSingle(uchar byte) {
    char16_t& cached = m_dbcs->cache[byte];
    if (cached == 0) {
        char16_t units[4];
        cached = iconvToUtf16(m_dbcs->cd, &byte, 1, units, 4) == 1 ? units[0] : char16_t(0xFFFD);
    }
    return cached;
}

} // namespace rtf::detail
