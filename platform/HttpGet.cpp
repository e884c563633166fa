#include "HttpGet.h"

#include <curl/curl.h>
#include <memory>

namespace {

// The version file is a few lines; a larger answer is not one.
constexpr size_t MaxBodyBytes = 1024 * 1024;

using TCurl = std::unique_ptr<CURL, decltype(&curl_easy_cleanup)>;
using THeaders = std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)>;

// libcurl's global set-up must run once before the first handle is made.
bool CurlReady()
{
    static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return ready;
}

size_t AppendToBody(char* data, size_t size, size_t count, void* body)
{
    auto& bytes = *static_cast<QByteArray*>(body);
    const size_t length = size * count;
    if (size_t(bytes.size()) + length > MaxBodyBytes)
        return 0; // makes the transfer fail
    bytes.append(data, qsizetype(length));
    return length;
}

bool Perform(CURL* curl)
{
    long status = 0;
    return curl_easy_perform(curl) == CURLE_OK &&
           curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK && status >= 200 &&
           status < 300;
}

} // namespace

std::optional<QByteArray> HttpGet(const THttpRequest& request)
{
    if (!CurlReady())
        return std::nullopt;
    const TCurl curl(curl_easy_init(), curl_easy_cleanup);
    const THeaders headers(curl_slist_append(nullptr, ("Accept: " + request.Accept).toUtf8()),
                           curl_slist_free_all);
    if (!curl || !headers)
        return std::nullopt;
    const QByteArray url = request.Url.toUtf8();
    const QByteArray agent = request.UserAgent.toUtf8();
    QByteArray body;
    curl_easy_setopt(curl.get(), CURLOPT_URL, url.constData());
    curl_easy_setopt(curl.get(), CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(curl.get(), CURLOPT_USERAGENT, agent.constData());
    curl_easy_setopt(curl.get(), CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(curl.get(), CURLOPT_CONNECTTIMEOUT_MS, long(request.ConnectTimeoutMs));
    curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT_MS, long(request.TotalTimeoutMs));
    // Time-outs by signal would reach other threads of the program.
    curl_easy_setopt(curl.get(), CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, AppendToBody);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &body);
    if (!Perform(curl.get()))
        return std::nullopt;
    return body;
}
