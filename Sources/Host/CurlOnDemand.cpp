// libcurl's functions as this program calls them, each opening libcurl at its first use: the
// program links no libcurl, so neither it nor the TLS, Kerberos and LDAP libraries under it are
// loaded before a transfer is made, which without the user's consent and an update feed is
// never.

// The functions are defined here; the header's checking macros would stand in their way.
#define CURL_DISABLE_TYPECHECK 1

#include <cstdarg>

#include <curl/curl.h>

#include "OnDemandLibrary.h"

namespace {

template <typename Function>
Function* curl(const char* name) {
    static vorn::host::OnDemandLibrary library("libcurl.so.4");
    return library.function<Function>(name);
}

}  // namespace

CURLcode curl_global_init(long flags) {
    static auto* const real = curl<decltype(curl_global_init)>("curl_global_init");
    return real != nullptr ? real(flags) : CURLE_FAILED_INIT;
}

CURL* curl_easy_init() {
    static auto* const real = curl<decltype(curl_easy_init)>("curl_easy_init");
    return real != nullptr ? real() : nullptr;
}

void curl_easy_cleanup(CURL* handle) {
    static auto* const real = curl<decltype(curl_easy_cleanup)>("curl_easy_cleanup");
    if (real != nullptr) {
        real(handle);
    }
}

CURLcode curl_easy_setopt(CURL* handle, CURLoption option, ...) {
    static auto* const real = curl<decltype(curl_easy_setopt)>("curl_easy_setopt");
    if (real == nullptr) {
        return CURLE_FAILED_INIT;
    }
    std::va_list arguments;
    va_start(arguments, option);
    // Every option takes one argument, of the kind its number's range tells.
    CURLcode code;
    if (option < CURLOPTTYPE_OBJECTPOINT) {
        code = real(handle, option, va_arg(arguments, long));
    } else if (option < CURLOPTTYPE_FUNCTIONPOINT) {
        code = real(handle, option, va_arg(arguments, void*));
    } else if (option < CURLOPTTYPE_OFF_T) {
        code = real(handle, option, va_arg(arguments, void (*)()));
    } else if (option < CURLOPTTYPE_BLOB) {
        code = real(handle, option, va_arg(arguments, curl_off_t));
    } else {
        code = real(handle, option, va_arg(arguments, void*));
    }
    va_end(arguments);
    return code;
}

CURLcode curl_easy_getinfo(CURL* handle, CURLINFO info, ...) {
    static auto* const real = curl<decltype(curl_easy_getinfo)>("curl_easy_getinfo");
    if (real == nullptr) {
        return CURLE_FAILED_INIT;
    }
    std::va_list arguments;
    va_start(arguments, info);
    // Every item is answered through one pointer.
    const CURLcode code = real(handle, info, va_arg(arguments, void*));
    va_end(arguments);
    return code;
}

CURLcode curl_easy_perform(CURL* handle) {
    static auto* const real = curl<decltype(curl_easy_perform)>("curl_easy_perform");
    return real != nullptr ? real(handle) : CURLE_FAILED_INIT;
}

const char* curl_easy_strerror(CURLcode code) {
    static auto* const real = curl<decltype(curl_easy_strerror)>("curl_easy_strerror");
    return real != nullptr ? real(code) : "libcurl is not available";
}

curl_slist* curl_slist_append(curl_slist* list, const char* data) {
    static auto* const real = curl<decltype(curl_slist_append)>("curl_slist_append");
    return real != nullptr ? real(list, data) : nullptr;
}

void curl_slist_free_all(curl_slist* list) {
    static auto* const real = curl<decltype(curl_slist_free_all)>("curl_slist_free_all");
    if (real != nullptr) {
        real(list);
    }
}

CURLM* curl_multi_init() {
    static auto* const real = curl<decltype(curl_multi_init)>("curl_multi_init");
    return real != nullptr ? real() : nullptr;
}

CURLMcode curl_multi_cleanup(CURLM* multi) {
    static auto* const real = curl<decltype(curl_multi_cleanup)>("curl_multi_cleanup");
    return real != nullptr ? real(multi) : CURLM_INTERNAL_ERROR;
}

CURLMcode curl_multi_add_handle(CURLM* multi, CURL* handle) {
    static auto* const real = curl<decltype(curl_multi_add_handle)>("curl_multi_add_handle");
    return real != nullptr ? real(multi, handle) : CURLM_INTERNAL_ERROR;
}

CURLMcode curl_multi_remove_handle(CURLM* multi, CURL* handle) {
    static auto* const real = curl<decltype(curl_multi_remove_handle)>("curl_multi_remove_handle");
    return real != nullptr ? real(multi, handle) : CURLM_INTERNAL_ERROR;
}

CURLMcode curl_multi_perform(CURLM* multi, int* running) {
    static auto* const real = curl<decltype(curl_multi_perform)>("curl_multi_perform");
    return real != nullptr ? real(multi, running) : CURLM_INTERNAL_ERROR;
}

CURLMsg* curl_multi_info_read(CURLM* multi, int* left) {
    static auto* const real = curl<decltype(curl_multi_info_read)>("curl_multi_info_read");
    return real != nullptr ? real(multi, left) : nullptr;
}

CURLMcode curl_multi_timeout(CURLM* multi, long* milliseconds) {
    static auto* const real = curl<decltype(curl_multi_timeout)>("curl_multi_timeout");
    return real != nullptr ? real(multi, milliseconds) : CURLM_INTERNAL_ERROR;
}

CURLMcode curl_multi_poll(CURLM* multi,
                          curl_waitfd extra[],
                          unsigned int extraCount,
                          int timeoutMilliseconds,
                          int* ready) {
    static auto* const real = curl<decltype(curl_multi_poll)>("curl_multi_poll");
    return real != nullptr ? real(multi, extra, extraCount, timeoutMilliseconds, ready)
                           : CURLM_INTERNAL_ERROR;
}

CURLMcode curl_multi_wakeup(CURLM* multi) {
    static auto* const real = curl<decltype(curl_multi_wakeup)>("curl_multi_wakeup");
    return real != nullptr ? real(multi) : CURLM_INTERNAL_ERROR;
}

CURLU* curl_url() {
    static auto* const real = curl<decltype(curl_url)>("curl_url");
    return real != nullptr ? real() : nullptr;
}

CURLUcode curl_url_set(CURLU* url, CURLUPart what, const char* part, unsigned int flags) {
    static auto* const real = curl<decltype(curl_url_set)>("curl_url_set");
    return real != nullptr ? real(url, what, part, flags) : CURLUE_OUT_OF_MEMORY;
}

CURLUcode curl_url_get(CURLU* url, CURLUPart what, char** part, unsigned int flags) {
    static auto* const real = curl<decltype(curl_url_get)>("curl_url_get");
    return real != nullptr ? real(url, what, part, flags) : CURLUE_OUT_OF_MEMORY;
}

void curl_url_cleanup(CURLU* url) {
    static auto* const real = curl<decltype(curl_url_cleanup)>("curl_url_cleanup");
    if (real != nullptr) {
        real(url);
    }
}

void curl_free(void* memory) {
    static auto* const real = curl<decltype(curl_free)>("curl_free");
    if (real != nullptr) {
        real(memory);
    }
}

time_t curl_getdate(const char* text, const time_t* unused) {
    static auto* const real = curl<decltype(curl_getdate)>("curl_getdate");
    return real != nullptr ? real(text, unused) : -1;
}
