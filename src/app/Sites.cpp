#include "app/Sites.h"

using namespace Qt::StringLiterals;

namespace sites {

QString maker() {
    return u"http://www.brambleden.com"_s;
}
QString game() {
    return u"http://www.runescape.com"_s;
}
QString gameForum() {
    return u"http://forum.runescape.com"_s;
}

QString productPage() {
    return maker() + u"/mossport/"_s;
}
QString makerHomePage() {
    return maker();
}
QString gameForumsPage() {
    return gameForum() + u"/forums.ws"_s;
}
QString versionFile() {
    return maker() + u"/mossport/version.kel"_s;
}
QString updateDownload() {
    return maker() + u"/mossport/update.exe"_s;
}

QString gameHomePage() {
    return game();
}
QString messageCenterPage() {
    return game() + u"/loginform.ws?mod=ticketing&dest=inbox.ws"_s;
}
QString makerFrontPage() {
    return maker() + u"/"_s;
}
QString makerForumPage() {
    return maker() + u"/forum"_s;
}

} // namespace sites
