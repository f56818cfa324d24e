#include "tests/receivers/LoopbackPage.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

namespace kestrun::test {

namespace {

// Every change posts the whole value, numbered: posts may overtake each other on their way.
const char kPage[] = R"(<!doctype html>
<html><head><meta charset="utf-8"><title>Kestrun receiver</title></head>
<body><textarea id="t" rows="30" cols="100" autofocus spellcheck="false" autocomplete="off"
 autocorrect="off" autocapitalize="off"></textarea>
<script>
const t = document.getElementById('t');
let round = -1, sequence = 0;
function post() { fetch('/value?round=' + round + '&seq=' + sequence++, {method: 'POST', body: t.value}); }
t.addEventListener('input', post);
async function poll() {
  try {
    const told = Number(await (await fetch('/round')).text());
    if (told !== round) { round = told; t.value = ''; t.focus(); post(); }
  } catch (e) {}
  setTimeout(poll, 100);
}
poll();
</script></body></html>
)";

bool SendAll(int fd, const std::string& bytes)
{
    for (std::size_t sent = 0; sent < bytes.size();) {
        const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

long QueryNumber(const std::string& target, const std::string& name)
{
    const auto at = target.find(name + "=");
    return at == std::string::npos ? -1 : std::atol(target.c_str() + at + name.size() + 1);
}

}  // namespace

LoopbackPage::LoopbackPage()
{
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_, 64) != 0 || getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        if (listener_ >= 0)
            close(listener_);
        listener_ = -1;
        return;
    }
    port_ = ntohs(address.sin_port);
    server_ = std::thread([this] { Serve(); });
}

LoopbackPage::~LoopbackPage()
{
    if (listener_ < 0)
        return;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    server_.join();
    close(listener_);
}

std::string LoopbackPage::Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

void LoopbackPage::Serve()
{
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            if (stopping_)
                return;
        }
        pollfd listening{listener_, POLLIN, 0};
        if (poll(&listening, 1, 100) <= 0)
            continue;
        const int connection = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection >= 0) {
            Answer(connection);
            close(connection);
        }
    }
}

void LoopbackPage::Answer(int connection)
{
    std::string request;
    std::size_t headerEnd = std::string::npos, length = 0;
    char buffer[65536];
    while (headerEnd == std::string::npos || request.size() < headerEnd + 4 + length) {
        pollfd readable{connection, POLLIN, 0};
        if (poll(&readable, 1, 5000) <= 0)
            return;
        const ssize_t n = recv(connection, buffer, sizeof buffer, 0);
        if (n <= 0)
            return;
        request.append(buffer, static_cast<std::size_t>(n));
        if (headerEnd == std::string::npos && (headerEnd = request.find("\r\n\r\n")) != std::string::npos) {
            for (const char* name : {"Content-Length:", "content-length:"})
                if (const auto at = request.find(name); at != std::string::npos && at < headerEnd)
                    length = std::strtoul(request.c_str() + at + 15, nullptr, 10);
        }
    }
    const std::string line = request.substr(0, request.find("\r\n"));
    const std::string target = line.substr(line.find(' ') + 1, line.rfind(' ') - line.find(' ') - 1);
    std::string type = "text/plain; charset=utf-8", body;
    if (line.rfind("POST /value", 0) == 0) {
        const long round = QueryNumber(target, "round"), sequence = QueryNumber(target, "seq");
        std::lock_guard lock(mutex_);
        if (round == round_ && sequence > lastSequence_) {
            lastSequence_ = sequence;
            const auto now = Clock::now();
            std::string text = request.substr(headerEnd + 4, length);
            if (pageRound_ == round_ && text != value_.text) {
                if (value_.posts++ == 0)
                    value_.first = now;
                value_.last = now;
            }
            value_.text = std::move(text);
            pageRound_ = round_;
            changed_.notify_all();
        }
    } else if (line.rfind("GET /round", 0) == 0) {
        std::lock_guard lock(mutex_);
        body = std::to_string(round_);
    } else {
        type = "text/html; charset=utf-8";
        body = kPage;
    }
    SendAll(connection, "HTTP/1.1 200 OK\r\nContent-Type: " + type + "\r\nCache-Control: no-store\r\nContent-Length: " +
                            std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
}

bool LoopbackPage::Clear(std::chrono::milliseconds limit)
{
    std::unique_lock lock(mutex_);
    ++round_;
    value_ = {};
    return changed_.wait_for(lock, limit, [&] { return pageRound_ == round_; });
}

bool LoopbackPage::WaitForPage(std::chrono::milliseconds limit)
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return pageRound_ == round_; });
}

LoopbackPage::Value LoopbackPage::Current()
{
    std::lock_guard lock(mutex_);
    return value_;
}

}  // namespace kestrun::test
