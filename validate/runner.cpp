#include "validate/runner.h"

#include "hosting/user_error.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quillo::validate {
namespace {

// Where progress() writes in a child; -1 in the parent and with --no-fork.
int progressFd = -1;

// The child's messages on the pipe are lines: "#step" for progress, then one
// letter for the verdict followed by the detail.
std::string oneLine(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    return text;
}

void writeAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
}

std::string encode(const Outcome& outcome) {
    const char letter = outcome.verdict == Outcome::Verdict::Pass   ? 'P'
                        : outcome.verdict == Outcome::Verdict::Skip ? 'S'
                                                                    : 'F';
    return std::string(1, letter) + oneLine(outcome.detail) + "\n";
}

// The verdict line if there is one; the last progress step in any case.
bool decode(const std::string& message, Outcome& outcome, std::string& lastStep) {
    bool answered = false;
    size_t start = 0;
    while (start < message.size()) {
        size_t end = message.find('\n', start);
        if (end == std::string::npos) end = message.size();
        const std::string line = message.substr(start, end - start);
        start = end + 1;
        if (line.empty()) continue;
        if (line[0] == '#') {
            lastStep = line.substr(1);
            continue;
        }
        outcome.verdict = line[0] == 'P'   ? Outcome::Verdict::Pass
                          : line[0] == 'S' ? Outcome::Verdict::Skip
                                           : Outcome::Verdict::Fail;
        outcome.detail = line.substr(1);
        answered = true;
    }
    return answered;
}

std::string describeExit(int status) {
    if (WIFSIGNALED(status)) {
        const int signal = WTERMSIG(status);
        const char* name = sigabbrev_np(signal);
        return std::string("crashed with signal ") + std::to_string(signal) +
               (name ? std::string(" (SIG") + name + ")" : "");
    }
    if (WIFEXITED(status)) {
        return "exited with status " + std::to_string(WEXITSTATUS(status)) +
               " before reporting (a sanitizer report, if any, is above)";
    }
    return "ended abnormally";
}

} // namespace

void progress(const std::string& step) {
    if (progressFd >= 0) writeAll(progressFd, "#" + oneLine(step) + "\n");
}

Outcome runHere(const Check& check, const Options& options) {
    Outcome outcome;
    try {
        Context context(options);
        outcome.detail = check.run(context);
        outcome.verdict = Outcome::Verdict::Pass;
    } catch (const CheckSkipped& skipped) {
        outcome.verdict = Outcome::Verdict::Skip;
        outcome.detail = skipped.what();
    } catch (const CheckFailed& failed) {
        outcome.detail = failed.what();
    } catch (const UserError& error) {
        outcome.detail = error.what();
    } catch (const std::exception& error) {
        outcome.detail = std::string("exception: ") + error.what();
    } catch (...) {
        outcome.detail = "an exception of unknown type escaped";
    }
    return outcome;
}

Outcome runIsolated(const Check& check, const Options& options) {
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) return {Outcome::Verdict::Fail, "cannot create a pipe"};
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(pipeEnds[0]);
        ::close(pipeEnds[1]);
        return {Outcome::Verdict::Fail, "cannot fork"};
    }
    if (child == 0) {
        ::close(pipeEnds[0]);
        progressFd = pipeEnds[1];
        const Outcome outcome = runHere(check, options);
        writeAll(pipeEnds[1], encode(outcome));
        ::close(pipeEnds[1]);
        std::fflush(stdout);
        std::fflush(stderr);
        // No static destructors: whatever the plug-in left behind stays untouched.
        ::_exit(0);
    }
    ::close(pipeEnds[1]);

    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(options.timeoutSeconds));
    std::string message;
    bool timedOut = false;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        pollfd fd{pipeEnds[0], POLLIN, 0};
        const int ready = ::poll(&fd, 1, static_cast<int>(std::min<int64_t>(left.count(), 1000)));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) continue;
        char buffer[4096];
        const ssize_t n = ::read(pipeEnds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break; // the child closed its end: finished or died
        message.append(buffer, static_cast<size_t>(n));
    }
    ::close(pipeEnds[0]);
    if (timedOut) ::kill(child, SIGKILL);

    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    Outcome outcome;
    std::string lastStep;
    const bool answered = decode(message, outcome, lastStep);
    const std::string where = lastStep.empty() ? "" : " during " + lastStep;
    if (timedOut) {
        char text[64];
        std::snprintf(text, sizeof text, "no answer within %.0f s", options.timeoutSeconds);
        return {Outcome::Verdict::Fail, text + where};
    }
    if (!answered) return {Outcome::Verdict::Fail, describeExit(status) + where};
    return outcome;
}

} // namespace quillo::validate
