#include "SimProcess.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace velorin::test {

namespace {

std::optional<std::vector<uint8_t>> fromHex(const std::string& hex) {
    if (hex.size() % 2 != 0)
        return std::nullopt;
    std::vector<uint8_t> out;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        char* end = nullptr;
        const std::string pair = hex.substr(i, 2);
        const long v = std::strtol(pair.c_str(), &end, 16);
        if (!end || *end)
            return std::nullopt;
        out.push_back(static_cast<uint8_t>(v));
    }
    return out;
}

bool startsWith(const std::string& s, const char* prefix) {
    return s.rfind(prefix, 0) == 0;
}

} // namespace

SimProcess::SimProcess(std::string program) : program_(std::move(program)) {}

SimProcess::~SimProcess() {
    stop();
    if (!tempDir_.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(tempDir_, ec);
    }
}

bool SimProcess::start(const std::vector<std::string>& args, int timeoutMs) {
    if (tempDir_.empty()) {
        std::string tmpl = (std::filesystem::temp_directory_path() / "velorin-link-XXXXXX").string();
        if (!::mkdtemp(tmpl.data()))
            return false;
        tempDir_ = tmpl;
        busDir_ = tempDir_ + "/bus";
    }
    int in[2];
    int out[2];
    if (::pipe2(in, O_CLOEXEC) != 0)
        return false;
    if (::pipe2(out, O_CLOEXEC) != 0) {
        ::close(in[0]);
        ::close(in[1]);
        return false;
    }
    std::vector<std::string> all{program_, "--bus", busDir_};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(in[0], STDIN_FILENO);
        ::dup2(out[1], STDOUT_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    toChild_ = in[1];
    fromChild_ = out[0];
    if (pid_ < 0)
        return false;
    ::fcntl(fromChild_, F_SETFL, ::fcntl(fromChild_, F_GETFL) | O_NONBLOCK);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        for (const auto& a : answers_)
            if (startsWith(a, "ready"))
                return true;
        readSome(50);
    }
    return false;
}

void SimProcess::stop() {
    if (pid_ > 0) {
        if (toChild_ >= 0) {
            const char quit[] = "quit\n";
            (void)!::write(toChild_, quit, sizeof quit - 1);
        }
        int status = 0;
        for (int i = 0; i < 100 && ::waitpid(pid_, &status, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (::waitpid(pid_, &status, WNOHANG) == 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
        }
        pid_ = -1;
    }
    if (toChild_ >= 0)
        ::close(toChild_);
    if (fromChild_ >= 0)
        ::close(fromChild_);
    toChild_ = fromChild_ = -1;
}

bool SimProcess::readSome(int timeoutMs) {
    if (fromChild_ < 0)
        return false;
    if (timeoutMs > 0) {
        pollfd p{fromChild_, POLLIN, 0};
        ::poll(&p, 1, timeoutMs);
    }
    bool got = false;
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(fromChild_, buf, sizeof buf);
        if (n <= 0)
            break;
        got = true;
        partial_.append(buf, static_cast<std::size_t>(n));
    }
    for (std::size_t nl; (nl = partial_.find('\n')) != std::string::npos;) {
        takeLine(partial_.substr(0, nl));
        partial_.erase(0, nl + 1);
    }
    return got;
}

void SimProcess::takeLine(const std::string& line) {
    if (startsWith(line, "out ")) {
        std::istringstream in(line.substr(4));
        std::string iface, verdict, hex;
        if (in >> iface >> verdict >> hex) {
            if (auto bytes = fromHex(hex)) {
                outputs_.push_back({iface, verdict == "ok", std::move(*bytes)});
                return;
            }
        }
    }
    answers_.push_back(line);
}

bool SimProcess::command(const std::string& line, std::vector<std::string>* lines, int timeoutMs) {
    answers_.clear();
    const std::string text = line + "\n";
    if (::write(toChild_, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
        return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        for (std::size_t i = 0; i < answers_.size(); ++i) {
            const std::string& a = answers_[i];
            const bool ok = startsWith(a, "ok") || startsWith(a, "pong");
            if (ok || startsWith(a, "err")) {
                if (lines)
                    lines->assign(answers_.begin(), answers_.begin() + static_cast<std::ptrdiff_t>(i));
                return ok;
            }
        }
        readSome(20);
    }
    return false;
}

std::vector<SimProcess::OutputReport> SimProcess::outputReports() {
    readSome(0);
    return outputs_;
}

void SimProcess::clearOutputReports() {
    readSome(0);
    outputs_.clear();
}

bool SimProcess::waitForOutputReports(std::size_t count, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        readSome(0);
        if (outputs_.size() >= count)
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        readSome(10);
    }
}

std::optional<std::array<SimProcess::Record, 4>> SimProcess::dump() {
    std::vector<std::string> lines;
    if (!command("dump", &lines))
        return std::nullopt;
    std::array<Record, 4> records{};
    int seen = 0;
    for (const auto& l : lines) {
        // "record NAME SLOT HEX"
        std::istringstream in(l);
        std::string word, name, hex;
        std::size_t slot = 0;
        if (!(in >> word >> name >> slot >> hex) || word != "record" || slot >= 4)
            continue;
        const auto bytes = fromHex(hex);
        if (!bytes || bytes->size() != 27)
            continue;
        std::copy(bytes->begin(), bytes->end(), records[slot].begin());
        ++seen;
    }
    if (seen != 4)
        return std::nullopt;
    return records;
}

} // namespace velorin::test
