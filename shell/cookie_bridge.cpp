#include "shell/cookie_bridge.h"

#include <QDateTime>
#include <QNetworkCookie>
#include <QUrl>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>

namespace tovrel {

namespace {

// Cookie names, values, domains and paths are bytes on the wire; Latin-1 keeps
// every byte as it is across the bridge.
QString fromBytes(const std::string& bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string toBytes(const QString& text) {
    return text.toLatin1().toStdString();
}

}  // namespace

CookieBridge::CookieBridge(QWebEngineProfile* profile, CookieJarAccess store)
    : profile_(profile), store_(store) {
    connect(profile_->cookieStore(), &QWebEngineCookieStore::cookieAdded, this,
            &CookieBridge::takeFromPane);
}

void CookieBridge::shareStoreWithPane() {
    QWebEngineCookieStore* pane = profile_->cookieStore();
    for (const StoredCookie& stored : store_.list()) {
        QNetworkCookie cookie(QByteArray::fromStdString(stored.name),
                              QByteArray::fromStdString(stored.value));
        cookie.setPath(fromBytes(stored.path));
        cookie.setSecure(stored.secure);
        cookie.setHttpOnly(stored.httpOnly);
        if (stored.expiry != 0) {
            cookie.setExpirationDate(QDateTime::fromSecsSinceEpoch(stored.expiry));
        }
        // A host-only cookie is given through its origin and no domain; a
        // domain cookie carries its domain with the leading dot.
        if (stored.includeSubdomains) cookie.setDomain(fromBytes("." + stored.domain));
        const QUrl origin(
            fromBytes((stored.secure ? "https://" : "http://") + stored.domain + "/"));
        pane->setCookie(cookie, origin);
    }
}

void CookieBridge::takeFromPane(const QNetworkCookie& cookie) {
    StoredCookie stored;
    stored.name = cookie.name().toStdString();
    stored.value = cookie.value().toStdString();
    QString domain = cookie.domain();
    stored.includeSubdomains = domain.startsWith(QLatin1Char('.'));
    if (stored.includeSubdomains) domain.remove(0, 1);
    stored.domain = toBytes(domain);
    stored.path = cookie.path().isEmpty() ? "/" : toBytes(cookie.path());
    stored.secure = cookie.isSecure();
    stored.httpOnly = cookie.isHttpOnly();
    stored.expiry = cookie.isSessionCookie() ? 0 : cookie.expirationDate().toSecsSinceEpoch();
    store_.add(stored);
}

}  // namespace tovrel
