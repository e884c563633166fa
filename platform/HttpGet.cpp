#include "HttpGet.h"

#include <curl/curl.h>
#include <memory>

namespace {

// The version file is a few lines; a larger answer is not one.
constexpr size_t MaxBodyBytes = 1024 * 1024;
// The longest wait for the socket between two looks at the transfer; libcurl shortens it to
// its own time-outs, and an Abort ends it at once.
constexpr int PollMs = 1000;

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

// The outcome of the handle's finished transfer.
bool Succeeded(CURLM* multi, CURL* curl)
{
    int left = 0;
    while (const CURLMsg* message = curl_multi_info_read(multi, &left)) {
        if (message->msg != CURLMSG_DONE || message->easy_handle != curl)
            continue;
        long status = 0;
        return message->data.result == CURLE_OK &&
               curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK &&
               status >= 200 && status < 300;
    }
    return false;
}

} // namespace

THttpGet::THttpGet(THttpRequest request)
    : m_request(std::move(request)), m_multi(CurlReady() ? curl_multi_init() : nullptr)
{}

THttpGet::~THttpGet()
{
    if (m_multi)
        curl_multi_cleanup(m_multi);
}

void THttpGet::Abort()
{
    m_aborted = true;
    if (m_multi)
        curl_multi_wakeup(m_multi);
}

std::optional<QByteArray> THttpGet::Run()
{
    const TCurl curl(m_multi ? curl_easy_init() : nullptr, curl_easy_cleanup);
    const THeaders headers(curl_slist_append(nullptr, ("Accept: " + m_request.Accept).toUtf8()),
                           curl_slist_free_all);
    if (!curl || !headers)
        return std::nullopt;
    const QByteArray url = m_request.Url.toUtf8();
    const QByteArray agent = m_request.UserAgent.toUtf8();
    QByteArray body;
    curl_easy_setopt(curl.get(), CURLOPT_URL, url.constData());
    curl_easy_setopt(curl.get(), CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(curl.get(), CURLOPT_USERAGENT, agent.constData());
    curl_easy_setopt(curl.get(), CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(curl.get(), CURLOPT_CONNECTTIMEOUT_MS, long(m_request.ConnectTimeoutMs));
    curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT_MS, long(m_request.TotalTimeoutMs));
    // Time-outs by signal would reach other threads of the program.
    curl_easy_setopt(curl.get(), CURLOPT_NOSIGNAL, 1L);
    // No connection outlives the request.
    curl_easy_setopt(curl.get(), CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, AppendToBody);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &body);
    if (!Transfer(curl.get()))
        return std::nullopt;
    return body;
}

// Drives the transfer until it ends or is aborted; the handle leaves the multi handle, and
// with it its connection, in every case.
bool THttpGet::Transfer(void* curl)
{
    if (curl_multi_add_handle(m_multi, curl) != CURLM_OK)
        return false;
    int running = 1;
    while (!m_aborted && curl_multi_perform(m_multi, &running) == CURLM_OK && running != 0 &&
           curl_multi_poll(m_multi, nullptr, 0, PollMs, nullptr) == CURLM_OK) {
    }
    const bool succeeded = !m_aborted && running == 0 && Succeeded(m_multi, curl);
    curl_multi_remove_handle(m_multi, curl);
    return succeeded;
}
