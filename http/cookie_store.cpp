#include "http/cookie_store.h"

#include "http/platform.h"

#include <curl/curl.h>

#include <algorithm>
#include <map>
#include <string_view>

namespace tovrel {

namespace net {

namespace {

// The share handle holding the process's cookie jar, made on first use and
// cleaned up at exit (after every request handle has gone).
class CookieShare {
  public:
    CookieShare() {
        if (!libcurlReady()) return;
        share_ = curl_share_init();
        if (share_ != nullptr) curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
    }
    ~CookieShare() {
        if (share_ != nullptr) curl_share_cleanup(share_);
    }
    CookieShare(const CookieShare&) = delete;
    CookieShare& operator=(const CookieShare&) = delete;
    CURLSH* get() const { return share_; }

  private:
    CURLSH* share_ = nullptr;
};

CookieShare& share() {
    static CookieShare instance;
    return instance;
}

// An easy handle attached to the store, for reading and writing the jar.
class StoreHandle {
  public:
    StoreHandle() : easy_(curl_easy_init()) {
        if (easy_ == nullptr) return;
        curl_easy_setopt(easy_, CURLOPT_SHARE, share().get());
        curl_easy_setopt(easy_, CURLOPT_COOKIEFILE, "");
    }
    ~StoreHandle() {
        if (easy_ != nullptr) curl_easy_cleanup(easy_);
    }
    StoreHandle(const StoreHandle&) = delete;
    StoreHandle& operator=(const StoreHandle&) = delete;
    CURL* get() const { return easy_; }

  private:
    CURL* easy_;
};

std::string_view nextField(std::string_view& rest) {
    const std::size_t tab = rest.find('\t');
    const std::string_view field = rest.substr(0, tab);
    rest = tab == std::string_view::npos ? std::string_view{} : rest.substr(tab + 1);
    return field;
}

// One cookie in the tab-separated form libcurl lists and accepts: domain,
// subdomains flag, path, secure flag, expiry, name, value.
bool parseCookieLine(std::string_view line, StoredCookie& cookie) {
    constexpr std::string_view kHttpOnly = "#HttpOnly_";
    std::string_view rest = line;
    std::string_view domain = nextField(rest);
    cookie.httpOnly = domain.substr(0, kHttpOnly.size()) == kHttpOnly;
    if (cookie.httpOnly) domain.remove_prefix(kHttpOnly.size());
    if (!domain.empty() && domain.front() == '.') domain.remove_prefix(1);
    cookie.domain = std::string(domain);
    cookie.includeSubdomains = nextField(rest) == "TRUE";
    cookie.path = std::string(nextField(rest));
    cookie.secure = nextField(rest) == "TRUE";
    const std::string expiry(nextField(rest));
    cookie.expiry = 0;
    for (const char c : expiry) {
        if (c < '0' || c > '9') return false;
        cookie.expiry = cookie.expiry * 10 + (c - '0');
    }
    cookie.name = std::string(nextField(rest));
    cookie.value = std::string(rest);
    return !cookie.domain.empty();
}

bool plainField(std::string_view field) {
    return field.find_first_of(std::string_view("\t\r\n\0", 4)) == std::string_view::npos;
}

// Adds cookie through handle, in the tab-separated form.
void addCookieLine(CURL* handle, const StoredCookie& cookie) {
    const std::string line =
        (cookie.httpOnly ? "#HttpOnly_" : "") + std::string(cookie.includeSubdomains ? "." : "") +
        cookie.domain + "\t" + (cookie.includeSubdomains ? "TRUE" : "FALSE") + "\t" +
        (cookie.path.empty() ? "/" : cookie.path) + "\t" + (cookie.secure ? "TRUE" : "FALSE") +
        "\t" + std::to_string(cookie.expiry) + "\t" + cookie.name + "\t" + cookie.value;
    curl_easy_setopt(handle, CURLOPT_COOKIELIST, line.c_str());
}

// When each cookie the store holds was first seen (a count that only grows),
// by domain, path and name: a replaced cookie keeps its age.
struct Ages {
    std::map<std::string, std::uint64_t> byCookie;
    std::uint64_t next = 0;
};

Ages& ages() {
    static Ages table;
    return table;
}

std::string ageKey(const StoredCookie& cookie) {
    return cookie.domain + '\t' + cookie.path + '\t' + cookie.name;
}

// The ages of cookies, oldest first as indexes into cookies; cookies not
// seen before are newer than all others, in the store's order (which is the
// order they were added in within one domain). Forgets cookies gone.
std::vector<std::size_t> oldestFirst(const std::vector<StoredCookie>& cookies) {
    Ages& table = ages();
    std::map<std::string, std::uint64_t> current;
    std::vector<std::pair<std::uint64_t, std::size_t>> order;
    order.reserve(cookies.size());
    for (std::size_t i = 0; i < cookies.size(); ++i) {
        const std::string key = ageKey(cookies[i]);
        const auto known = table.byCookie.find(key);
        const std::uint64_t age = known != table.byCookie.end() ? known->second : table.next++;
        current.emplace(key, age);
        order.emplace_back(age, i);
    }
    table.byCookie.swap(current);
    std::sort(order.begin(), order.end());
    std::vector<std::size_t> indexes;
    indexes.reserve(order.size());
    for (const auto& [age, index] : order) indexes.push_back(index);
    return indexes;
}

}  // namespace

void* cookieShareHandle() {
    return share().get();
}

}  // namespace net

std::vector<StoredCookie> listStoredCookies() {
    std::vector<StoredCookie> cookies;
    net::StoreHandle handle;
    if (handle.get() == nullptr) return cookies;
    curl_slist* list = nullptr;
    if (curl_easy_getinfo(handle.get(), CURLINFO_COOKIELIST, &list) != CURLE_OK) return cookies;
    for (const curl_slist* item = list; item != nullptr; item = item->next) {
        StoredCookie cookie;
        if (net::parseCookieLine(item->data, cookie)) cookies.push_back(std::move(cookie));
    }
    curl_slist_free_all(list);
    return cookies;
}

void addStoredCookie(const StoredCookie& cookie) {
    if (cookie.name.empty() || cookie.domain.empty()) return;
    for (const std::string* field : {&cookie.name, &cookie.value, &cookie.domain, &cookie.path}) {
        if (!net::plainField(*field)) return;
    }
    if (cookie.expiry < 0) return;
    net::StoreHandle handle;
    if (handle.get() == nullptr) return;
    net::addCookieLine(handle.get(), cookie);
    // Cookies also come in one by one, without an exchange that ends (the
    // browser pane adds what its pages set): every so many adds the store is
    // brought within its bounds as an exchange's end does.
    static std::size_t addsSinceBounded = 0;
    if (++addsSinceBounded < kMostCookiesPerDomain) return;
    addsSinceBounded = 0;
    keepStoreWithinBounds();
}

void clearStoredCookies() {
    net::StoreHandle handle;
    if (handle.get() != nullptr) curl_easy_setopt(handle.get(), CURLOPT_COOKIELIST, "ALL");
    net::ages() = net::Ages{};
}

void keepStoreWithinBounds() {
    const std::vector<StoredCookie> cookies = listStoredCookies();
    const std::vector<std::size_t> order = net::oldestFirst(cookies);
    if (cookies.size() <= kMostCookiesPerDomain) return;
    // The newest ones stay: at most so many per domain and in all.
    std::vector<bool> keep(cookies.size(), false);
    std::map<std::string, std::size_t> perDomain;
    std::size_t kept = 0;
    for (auto at = order.rbegin(); at != order.rend() && kept < kMostStoredCookies; ++at) {
        std::size_t& count = perDomain[cookies[*at].domain];
        if (count == kMostCookiesPerDomain) continue;
        ++count;
        ++kept;
        keep[*at] = true;
    }
    if (kept == cookies.size()) return;
    // The store is built again from the kept ones, oldest first, so that it
    // keeps its order.
    net::StoreHandle handle;
    if (handle.get() == nullptr) return;
    curl_easy_setopt(handle.get(), CURLOPT_COOKIELIST, "ALL");
    for (const std::size_t index : order) {
        if (keep[index]) net::addCookieLine(handle.get(), cookies[index]);
    }
}

}  // namespace tovrel
