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

} // namespace sites
