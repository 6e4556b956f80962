// libcurl bound on first use. A program linked with this file instead of
// libcurl starts without loading libcurl and the two dozen libraries it needs
// (TLS, Kerberos, LDAP, SSH, IDN): mapping and relocating those is the largest
// part of a small program's start. Each function libcurl offers that the
// HTTP client calls is defined here under libcurl's own name; the first call
// of any of them loads libcurl with dlopen, and each call goes on to libcurl's
// own function.
//
// When libcurl cannot be loaded, one line says why on standard error and
// every function fails the way libcurl does for a missing handle: the
// initialisation fails, handles are null, and the request layer reports each
// request as failed.
#include <curl/curl.h>
#include <dlfcn.h>

#include <cstdarg>
#include <cstdio>
#include <string>

#include "base/printable.h"

// The same calls, without the header's argument-count macros.
#undef curl_easy_setopt
#undef curl_easy_getinfo
#undef curl_share_setopt

#ifndef TOVREL_LIBCURL_SONAME
#define TOVREL_LIBCURL_SONAME "libcurl.so.4"
#endif

namespace {

void* libcurl() {
    static void* const handle = [] {
        void* opened = dlopen(TOVREL_LIBCURL_SONAME, RTLD_NOW | RTLD_LOCAL);
        if (opened == nullptr) {
            const char* why = dlerror();
            const std::string line =
                tovrel::printable(why != nullptr ? why : TOVREL_LIBCURL_SONAME);
            std::fprintf(stderr, "cannot load libcurl: %s\n", line.c_str());
        }
        return opened;
    }();
    return handle;
}

// libcurl's own function of that name and type, or null when libcurl (or the
// function) is missing.
template <typename Function>
Function* libcurlFunction(const char* name) {
    void* handle = libcurl();
    return handle == nullptr ? nullptr : reinterpret_cast<Function*>(dlsym(handle, name));
}

using AnyFunction = void (*)();

// Calls real with handle, option and the next value of values, read as Value.
template <typename Value, typename Function, typename Handle, typename Option>
auto passOn(Function* real, va_list& values, Handle handle, Option option) {
    const Value value = va_arg(values, Value);
    return real(handle, option, value);
}

}  // namespace

// Looked up once per function, on its first call.
#define TOVREL_LIBCURL_FUNCTION(name) \
    static auto* const real = libcurlFunction<decltype(name)>(#name)

extern "C" {

CURLcode curl_global_init(long flags) {
    TOVREL_LIBCURL_FUNCTION(curl_global_init);
    return real != nullptr ? real(flags) : CURLE_FAILED_INIT;
}

CURL* curl_easy_init() {
    TOVREL_LIBCURL_FUNCTION(curl_easy_init);
    return real != nullptr ? real() : nullptr;
}

void curl_easy_cleanup(CURL* handle) {
    TOVREL_LIBCURL_FUNCTION(curl_easy_cleanup);
    if (real != nullptr) real(handle);
}

// The one value after option is read as libcurl reads it: its type follows
// from the option's number range (long, object or blob pointer, function
// pointer, curl_off_t). Function pointers all share one representation, so
// any such type carries them on.
CURLcode curl_easy_setopt(CURL* handle, CURLoption option, ...) {
    TOVREL_LIBCURL_FUNCTION(curl_easy_setopt);
    if (real == nullptr) return CURLE_FAILED_INIT;
    va_list values;
    va_start(values, option);
    CURLcode result = CURLE_BAD_FUNCTION_ARGUMENT;
    if (option < CURLOPTTYPE_OBJECTPOINT)
        result = passOn<long>(real, values, handle, option);
    else if (option < CURLOPTTYPE_FUNCTIONPOINT || option >= CURLOPTTYPE_BLOB)
        result = passOn<void*>(real, values, handle, option);
    else if (option < CURLOPTTYPE_OFF_T)
        result = passOn<AnyFunction>(real, values, handle, option);
    else
        result = passOn<curl_off_t>(real, values, handle, option);
    va_end(values);
    return result;
}

// Every piece of information is written through a pointer.
CURLcode curl_easy_getinfo(CURL* handle, CURLINFO info, ...) {
    TOVREL_LIBCURL_FUNCTION(curl_easy_getinfo);
    if (real == nullptr) return CURLE_FAILED_INIT;
    va_list values;
    va_start(values, info);
    void* destination = va_arg(values, void*);
    va_end(values);
    return real(handle, info, destination);
}

const char* curl_easy_strerror(CURLcode code) {
    TOVREL_LIBCURL_FUNCTION(curl_easy_strerror);
    return real != nullptr ? real(code) : "libcurl is not loaded";
}

void curl_free(void* pointer) {
    TOVREL_LIBCURL_FUNCTION(curl_free);
    if (real != nullptr) real(pointer);
}

CURLM* curl_multi_init() {
    TOVREL_LIBCURL_FUNCTION(curl_multi_init);
    return real != nullptr ? real() : nullptr;
}

CURLMcode curl_multi_cleanup(CURLM* multi) {
    TOVREL_LIBCURL_FUNCTION(curl_multi_cleanup);
    return real != nullptr ? real(multi) : CURLM_BAD_HANDLE;
}

CURLMcode curl_multi_add_handle(CURLM* multi, CURL* handle) {
    TOVREL_LIBCURL_FUNCTION(curl_multi_add_handle);
    return real != nullptr ? real(multi, handle) : CURLM_BAD_HANDLE;
}

CURLMcode curl_multi_remove_handle(CURLM* multi, CURL* handle) {
    TOVREL_LIBCURL_FUNCTION(curl_multi_remove_handle);
    return real != nullptr ? real(multi, handle) : CURLM_BAD_HANDLE;
}

CURLMcode curl_multi_perform(CURLM* multi, int* running) {
    TOVREL_LIBCURL_FUNCTION(curl_multi_perform);
    return real != nullptr ? real(multi, running) : CURLM_BAD_HANDLE;
}

CURLMcode curl_multi_poll(CURLM* multi, curl_waitfd* extra, unsigned int extraCount, int timeoutMs,
                          int* ready) {
    TOVREL_LIBCURL_FUNCTION(curl_multi_poll);
    return real != nullptr ? real(multi, extra, extraCount, timeoutMs, ready) : CURLM_BAD_HANDLE;
}

CURLMsg* curl_multi_info_read(CURLM* multi, int* left) {
    TOVREL_LIBCURL_FUNCTION(curl_multi_info_read);
    if (real != nullptr) return real(multi, left);
    if (left != nullptr) *left = 0;
    return nullptr;
}

CURLSH* curl_share_init() {
    TOVREL_LIBCURL_FUNCTION(curl_share_init);
    return real != nullptr ? real() : nullptr;
}

CURLSHcode curl_share_cleanup(CURLSH* share) {
    TOVREL_LIBCURL_FUNCTION(curl_share_cleanup);
    return real != nullptr ? real(share) : CURLSHE_INVALID;
}

// What is shared or unshared is an int, the lock functions are function
// pointers, and the user data is a pointer.
CURLSHcode curl_share_setopt(CURLSH* share, CURLSHoption option, ...) {
    TOVREL_LIBCURL_FUNCTION(curl_share_setopt);
    if (real == nullptr) return CURLSHE_INVALID;
    va_list values;
    va_start(values, option);
    CURLSHcode result = CURLSHE_BAD_OPTION;
    switch (option) {
        case CURLSHOPT_SHARE:
        case CURLSHOPT_UNSHARE:
            result = passOn<int>(real, values, share, option);
            break;
        case CURLSHOPT_LOCKFUNC:
        case CURLSHOPT_UNLOCKFUNC:
            result = passOn<AnyFunction>(real, values, share, option);
            break;
        case CURLSHOPT_USERDATA:
            result = passOn<void*>(real, values, share, option);
            break;
        default:
            break;
    }
    va_end(values);
    return result;
}

curl_slist* curl_slist_append(curl_slist* list, const char* text) {
    TOVREL_LIBCURL_FUNCTION(curl_slist_append);
    return real != nullptr ? real(list, text) : nullptr;
}

void curl_slist_free_all(curl_slist* list) {
    TOVREL_LIBCURL_FUNCTION(curl_slist_free_all);
    if (real != nullptr) real(list);
}

CURLU* curl_url() {
    TOVREL_LIBCURL_FUNCTION(curl_url);
    return real != nullptr ? real() : nullptr;
}

void curl_url_cleanup(CURLU* address) {
    TOVREL_LIBCURL_FUNCTION(curl_url_cleanup);
    if (real != nullptr) real(address);
}

CURLUcode curl_url_set(CURLU* address, CURLUPart part, const char* content, unsigned int flags) {
    TOVREL_LIBCURL_FUNCTION(curl_url_set);
    return real != nullptr ? real(address, part, content, flags) : CURLUE_BAD_HANDLE;
}

CURLUcode curl_url_get(CURLU* address, CURLUPart part, char** content, unsigned int flags) {
    TOVREL_LIBCURL_FUNCTION(curl_url_get);
    return real != nullptr ? real(address, part, content, flags) : CURLUE_BAD_HANDLE;
}

}  // extern "C"
