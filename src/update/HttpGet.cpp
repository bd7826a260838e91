#include "update/HttpGet.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>

#include "platform/Log.h"
#include "update/ResponseHead.h"

namespace zn {

namespace {

constexpr int kTries = 3;
constexpr int kDefaultPort = 80;
constexpr long kBufferBytes = 100 * 1024;
constexpr std::size_t kMaxHostBytes = 253;

struct CurlDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct HeaderListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

bool IsHostName(std::string_view host) {
    return !host.empty() && host.size() <= kMaxHostBytes &&
           std::all_of(host.begin(), host.end(), [](char c) {
               return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' ||
                      c == '_';
           });
}

void AppendEscaped(std::string& escaped, unsigned char byte) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    escaped += '%';
    escaped += kHex[byte >> 4];
    escaped += kHex[byte & 0xF];
}

bool IsUnreserved(unsigned char byte) {
    return std::isalnum(byte) || byte == '-' || byte == '.' || byte == '_' || byte == '~';
}

// The object path as URL path bytes: what is not an unreserved character or "/" is escaped, so a
// manifest's text can never add a query, a fragment or another host.
std::string EscapedPath(std::string_view objectPath) {
    std::string escaped;
    for (const char c : objectPath) {
        const auto byte = static_cast<unsigned char>(c);
        if (IsUnreserved(byte) || c == '/') {
            escaped += c;
        } else {
            AppendEscaped(escaped, byte);
        }
    }
    return escaped;
}

// The query as URL query bytes: its delimiters and escapes stay as given, as a query the server
// itself wrote; anything else (a space, a "#", a byte above 0x7F, a control byte) is escaped.
std::string EscapedQuery(std::string_view query) {
    constexpr std::string_view kQueryDelimiters = "/?:@!$&'()*+,;=";
    std::string escaped;
    for (std::size_t i = 0; i < query.size(); ++i) {
        const auto byte = static_cast<unsigned char>(query[i]);
        const bool escapeSequence = byte == '%' && i + 2 < query.size() &&
                                    std::isxdigit(static_cast<unsigned char>(query[i + 1])) &&
                                    std::isxdigit(static_cast<unsigned char>(query[i + 2]));
        if (IsUnreserved(byte) || kQueryDelimiters.find(query[i]) != std::string_view::npos ||
            escapeSequence) {
            escaped += query[i];
        } else {
            AppendEscaped(escaped, byte);
        }
    }
    return escaped;
}

std::string Url(const DownloadSource& source) {
    const int port = source.port == 0 ? kDefaultPort : source.port;
    std::string url =
        "http://" + source.host + ":" + std::to_string(port) + "/" + EscapedPath(source.objectPath);
    if (!source.query.empty()) {
        url += '?' + EscapedQuery(source.query);
    }
    return url;
}

bool IsBlank(std::string_view line) {
    return line.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

std::string Seconds(std::chrono::nanoseconds limit) {
    return std::to_string(std::chrono::duration_cast<std::chrono::seconds>(limit).count()) + " s";
}

// One try: the answer's head as it arrives, the decision on it, the body's count and the try's
// total deadline.
class Transfer {
public:
    Transfer(IBodySink& sink, const DownloadTimeouts& timeouts)
        : m_sink(sink), m_timeouts(timeouts), m_started(std::chrono::steady_clock::now()) {}

    bool OnHeaderLine(std::string_view line) {
        if (line.starts_with("HTTP/")) {
            m_head.clear();  // a new answer after an interim one
        }
        if (m_head.size() + line.size() > kMaxResponseHeadBytes) {
            return Fail("a head of more than " + std::to_string(kMaxResponseHeadBytes) + " bytes");
        }
        m_head += line;
        return IsBlank(line) ? EndHead() : true;
    }

    bool OnBody(std::string_view bytes) {
        if (!m_accepted) {
            return Fail("a body before an accepted head");
        }
        if (bytes.size() > *m_length - m_received) {
            return Fail("more than the announced " + std::to_string(*m_length) + " bytes");
        }
        m_received += bytes.size();
        if (!m_sink.Write(bytes)) {
            m_sinkRefused = true;
            return false;
        }
        return true;
    }

    // Asked by libcurl about once a second, also while nothing arrives.
    bool PastDeadline() {
        const auto limit = m_timeouts.TryLimit(m_length.value_or(0));
        const auto now = std::chrono::steady_clock::now();
        m_pastDeadline = now - m_started >= limit || now >= m_timeouts.giveUpAt;
        if (m_pastDeadline) {
            Fail("not complete within " + Seconds(std::min<std::chrono::nanoseconds>(
                                              limit, m_timeouts.giveUpAt - m_started)));
        }
        return m_pastDeadline;
    }

    // The outcome of a finished transfer; sets the failure text when it failed.
    std::optional<std::uint64_t> Result() {
        if (!m_accepted) {
            Fail("no complete answer");
        } else if (m_received != *m_length) {
            Fail("a body of " + std::to_string(m_received) + " bytes where " +
                 std::to_string(*m_length) + " were announced");
        } else if (m_received == 0) {
            Fail("an empty body");
        } else {
            return m_received;
        }
        return std::nullopt;
    }

    bool HeadComplete() const { return m_headComplete; }
    bool WasPastDeadline() const { return m_pastDeadline; }
    bool SinkRefused() const { return m_sinkRefused; }
    const std::string& Failure() const { return m_failure; }

private:
    bool EndHead() {
        const ResponseHead head = ParseResponseHead(m_head);
        if (head.status >= 100 && head.status < 200) {
            return true;  // an interim answer; the real one follows
        }
        m_headComplete = true;
        if (std::string refusal = RefusalOf(head); !refusal.empty()) {
            return Fail(std::move(refusal));
        }
        if (!m_sink.Begin(*head.length)) {
            m_sinkRefused = true;
            return false;
        }
        m_length = head.length;
        m_accepted = true;
        return true;
    }

    bool Fail(std::string why) {
        if (m_failure.empty()) {
            m_failure = std::move(why);
        }
        return false;
    }

    IBodySink& m_sink;
    const DownloadTimeouts& m_timeouts;
    const std::chrono::steady_clock::time_point m_started;
    std::string m_head;
    std::optional<std::uint64_t> m_length;  // set once the head is accepted
    bool m_headComplete = false;
    bool m_accepted = false;
    bool m_sinkRefused = false;
    bool m_pastDeadline = false;
    std::uint64_t m_received = 0;
    std::string m_failure;
};

std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* transfer) {
    const std::size_t bytes = size * count;
    return static_cast<Transfer*>(transfer)->OnHeaderLine({data, bytes}) ? bytes : 0;
}

std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* transfer) {
    const std::size_t bytes = size * count;
    return static_cast<Transfer*>(transfer)->OnBody({data, bytes}) ? bytes : 0;
}

int OnProgress(void* transfer, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<Transfer*>(transfer)->PastDeadline() ? 1 : 0;
}

void InitialiseCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool Configure(CURL* curl, const DownloadSource& source, const std::string& url,
               const DownloadTimeouts& timeouts, curl_slist* headers, Transfer& transfer) {
    bool ok = curl_easy_setopt(curl, CURLOPT_URL, url.c_str()) == CURLE_OK;
    ok = ok && curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http") == CURLE_OK;
    ok = ok && curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
    ok = ok && curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers) == CURLE_OK;
    // Read to the end of the connection, so a body longer than announced is seen, not cut off.
    ok = ok && curl_easy_setopt(curl, CURLOPT_IGNORE_CONTENT_LENGTH, 1L) == CURLE_OK;
    ok = ok && curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, kBufferBytes) == CURLE_OK;
    ok = ok && curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT,
                                static_cast<long>(timeouts.connect.count())) == CURLE_OK;
    ok = ok && curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L) == CURLE_OK;
    ok = ok && curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME,
                                static_cast<long>(timeouts.stall.count())) == CURLE_OK;
    ok = ok && curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, OnHeader) == CURLE_OK;
    ok = ok && curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer) == CURLE_OK;
    ok = ok && curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBody) == CURLE_OK;
    ok = ok && curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer) == CURLE_OK;
    ok = ok && curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L) == CURLE_OK;
    ok = ok && curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnProgress) == CURLE_OK;
    ok = ok && curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer) == CURLE_OK;
    if (!source.userName.empty() || !source.password.empty()) {
        ok = ok && curl_easy_setopt(curl, CURLOPT_HTTPAUTH, CURLAUTH_BASIC) == CURLE_OK;
        ok = ok && curl_easy_setopt(curl, CURLOPT_USERNAME, source.userName.c_str()) == CURLE_OK;
        ok = ok && curl_easy_setopt(curl, CURLOPT_PASSWORD, source.password.c_str()) == CURLE_OK;
    }
    return ok;
}

enum class TryOutcome { Fetched, TimedOutBeforeAnswer, Failed };

struct TryResult {
    TryOutcome outcome;
    std::optional<std::uint64_t> length;
    std::string failure;  // empty when the sink refused and logged it
};

TryResult TryOnce(const DownloadSource& source, const std::string& url,
                  const DownloadTimeouts& timeouts, IBodySink& sink) {
    const std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    curl_slist* list = nullptr;
    for (const char* header :
         {"Accept: */*", "Cache-Control: no-cache", "Pragma: no-cache", "Connection: close"}) {
        list = curl_slist_append(list, header);
    }
    const std::unique_ptr<curl_slist, HeaderListDeleter> headers(list);
    Transfer transfer(sink, timeouts);
    if (!curl || !headers || !Configure(curl.get(), source, url, timeouts, list, transfer)) {
        return {TryOutcome::Failed, std::nullopt, "libcurl could not be set up"};
    }
    const CURLcode code = curl_easy_perform(curl.get());
    if (transfer.SinkRefused()) {
        return {TryOutcome::Failed, std::nullopt, {}};
    }
    const bool timedOut = code == CURLE_OPERATION_TIMEDOUT ||
                          (code == CURLE_ABORTED_BY_CALLBACK && transfer.WasPastDeadline());
    if (timedOut && !transfer.HeadComplete()) {
        return {TryOutcome::TimedOutBeforeAnswer, std::nullopt, "no answer in time"};
    }
    if (code != CURLE_OK) {
        return {TryOutcome::Failed, std::nullopt,
                transfer.Failure().empty() ? curl_easy_strerror(code) : transfer.Failure()};
    }
    const auto length = transfer.Result();
    return {length ? TryOutcome::Fetched : TryOutcome::Failed, length, transfer.Failure()};
}

}  // namespace

std::optional<std::uint64_t> HttpGet(const DownloadSource& source, const DownloadTimeouts& timeouts,
                                     IBodySink& sink) {
    if (!IsHostName(source.host) || source.port < 0 || source.port > 65535) {
        log::Error("Download refused: \"{}\" port {} is not a host name and port", source.host,
                   source.port);
        return std::nullopt;
    }
    InitialiseCurlOnce();
    const std::string url = Url(source);
    for (int attempt = 1;; ++attempt) {
        TryResult result = TryOnce(source, url, timeouts, sink);
        if (result.outcome == TryOutcome::Fetched) {
            return result.length;
        }
        if (result.outcome == TryOutcome::TimedOutBeforeAnswer && attempt < kTries &&
            std::chrono::steady_clock::now() < timeouts.giveUpAt) {
            log::Warn("Download of {}: no answer in time (try {} of {})", url, attempt, kTries);
            continue;
        }
        if (!result.failure.empty()) {
            log::Error("Download of {} failed: {}", url, result.failure);
        }
        return std::nullopt;
    }
}

}  // namespace zn
