// Test helpers: a libcurl easy-API fetch, a raw socket client, and descriptor/thread counts.
#pragma once

#include <arpa/inet.h>
#include <curl/curl.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "testing/httpserver/Headers.h"

namespace httpserver::test {

struct CurlResult {
    CURLcode code = CURLE_OK;
    long status = 0;
    std::string body;
    Headers headers; // of the last response
    std::size_t writeCalls = 0;
    long redirects = 0;
    std::string error;
};

inline std::size_t curlWrite(char* data, std::size_t size, std::size_t count, void* user)
{
    auto* r = static_cast<CurlResult*>(user);
    r->body.append(data, size * count);
    ++r->writeCalls;
    return size * count;
}

inline std::size_t curlHeader(char* data, std::size_t size, std::size_t count, void* user)
{
    auto* r = static_cast<CurlResult*>(user);
    std::string line(data, size * count);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    if (line.starts_with("HTTP/"))
        r->headers = Headers();
    auto colon = line.find(':');
    if (colon != std::string::npos) {
        auto value = line.substr(colon + 1);
        while (!value.empty() && value.front() == ' ')
            value.erase(0, 1);
        r->headers.add(line.substr(0, colon), value);
    }
    return size * count;
}

// GET (unless `setup` says otherwise) with a 10 s safety time-out and no proxy.
inline CurlResult curlFetch(const std::string& url, const std::function<void(CURL*)>& setup = {})
{
    static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    (void)initialised;
    CurlResult result;
    char error[CURL_ERROR_SIZE] = {};
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, 10000L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, curlWrite);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &result);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, curlHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &result);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
    if (setup)
        setup(curl);
    result.code = curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &result.status);
    curl_easy_getinfo(curl, CURLINFO_REDIRECT_COUNT, &result.redirects);
    result.error = error;
    curl_easy_cleanup(curl);
    return result;
}

// curlFetch with extra request header lines.
inline CurlResult curlFetchWithHeaders(
    const std::string& url, const std::vector<std::string>& lines, const std::function<void(CURL*)>& setup = {})
{
    curl_slist* list = nullptr;
    for (const auto& line : lines)
        list = curl_slist_append(list, line.c_str());
    std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> owned(list, curl_slist_free_all);
    return curlFetch(url, [&](CURL* c) {
        curl_easy_setopt(c, CURLOPT_HTTPHEADER, list);
        if (setup)
            setup(c);
    });
}

// A plain TCP client for byte-level exchanges.
class RawClient {
public:
    explicit RawClient(std::uint16_t port)
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr {};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(port);
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    }
    ~RawClient() { ::close(fd_); }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool send(const std::string& bytes)
    {
        std::size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    // One read: bytes (possibly empty at end of stream); `ended` set on EOF, reset or time-out.
    std::string readSome(bool& ended, std::chrono::milliseconds timeout = std::chrono::seconds(10))
    {
        pollfd p { fd_, POLLIN, 0 };
        char buf[65536];
        ended = true;
        if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0)
            return {};
        ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
        if (n <= 0) {
            lastError_ = n < 0 ? errno : 0;
            return {};
        }
        ended = false;
        return std::string(buf, static_cast<std::size_t>(n));
    }

    // Everything until the server closes (or the time-out).
    std::string readAll(std::chrono::milliseconds timeout = std::chrono::seconds(10))
    {
        std::string all;
        bool ended = false;
        while (!ended)
            all += readSome(ended, timeout);
        return all;
    }

    // Reads until `done(bytes so far)` holds or the stream ends.
    std::string readUntil(const std::function<bool(const std::string&)>& done)
    {
        std::string all;
        bool ended = false;
        while (!done(all) && !ended)
            all += readSome(ended);
        return all;
    }

    int lastError() const { return lastError_; }

private:
    int fd_ = -1;
    int lastError_ = 0;
};

inline std::size_t countEntries(const char* dir)
{
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir))
        ++n;
    return n;
}

inline std::size_t openDescriptors()
{
    return countEntries("/proc/self/fd");
}
inline std::size_t liveThreads()
{
    return countEntries("/proc/self/task");
}

inline std::size_t countOf(const std::string& haystack, const std::string& needle)
{
    std::size_t n = 0;
    for (auto pos = haystack.find(needle); pos != std::string::npos; pos = haystack.find(needle, pos + 1))
        ++n;
    return n;
}

} // namespace httpserver::test
