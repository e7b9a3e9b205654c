#pragma once

#include <QString>

// The three web sites the program knows, and every fixed address on them.
namespace sites {

// The maker's site, the game's official site and the game's forum site: scheme and host, no trailing "/".
QString maker();
QString game();
QString gameForum();

// The maker's product page, where the game is played.
QString productPage();
// The maker's home page as opened in the user's browser: the site address without a trailing "/".
QString makerHomePage();
// The game's forums page.
QString gameForumsPage();
// The file naming the newest version, and the download of the newest version.
QString versionFile();
QString updateDownload();

// The companion browser's preset pages (its Forums command uses gameForumsPage()).
// The game's home page: the bare site address, no path.
QString gameHomePage();
// The game's login form with the message inbox as the destination after login.
QString messageCenterPage();
// The maker's home page as the companion browser opens it: the site address followed by "/".
QString makerFrontPage();
// The maker's forum: "/forum", without a trailing "/".
QString makerForumPage();

} // namespace sites
