// Keeps the browser pane's cookies and the HTTP client's process-wide cookie
// store as one cookie session: before the pane loads an address it is given
// every cookie of the store, and every cookie the pane's engine receives goes
// into the store. Both live in memory only.
#pragma once

#include <QObject>

#include "shell/pane_library.h"

class QWebEngineProfile;
class QNetworkCookie;

namespace tovrel {

class CookieBridge final : public QObject {
  public:
    CookieBridge(QWebEngineProfile* profile, CookieJarAccess store);

    // Hands the store's cookies to the pane's engine; call before a load.
    void shareStoreWithPane();

  private:
    void takeFromPane(const QNetworkCookie& cookie);

    QWebEngineProfile* profile_;
    CookieJarAccess store_;
};

}  // namespace tovrel
