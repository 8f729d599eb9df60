#include "core/Process/ProcessRunner.hpp"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/syscall.h>
#elif defined(__APPLE__)
#include <sys/event.h>
#endif

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstring>
#include <memory>
#include <system_error>
#include <thread>
#include <utility>

#include "core/Process/ChildProcess.hpp"
#include "core/Process/ProcessOutputBuffer.hpp"
#include "core/Process/ProcessRegistry.hpp"
#include "core/Support/HalyardCoreLog.hpp"
#include "core/Support/ToolRoot.hpp"

extern char** environ;

namespace halyard {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t chunkSize = 64 * 1024;
// After a time-out the runner reads what is already waiting in the pipes, but no more than this
// many chunks, so that something flooding them cannot hold the result back.
constexpr int finalDrainChunks = 256;

std::string systemCallFailure(const char* call, int error) {
  return std::string(call) + " failed: " + std::strerror(error);
}

// An owned file descriptor, closed on destruction. close() is never retried: after EINTR the
// descriptor is gone on the systems we run on, and a retry could close someone else's.
class Descriptor {
public:
  Descriptor() = default;
  ~Descriptor() { reset(); }
  Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Descriptor& operator=(Descriptor&& other) noexcept {
    if (this != &other) {
      reset();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }

  int get() const { return fd_; }
  bool isOpen() const { return fd_ >= 0; }
  void adopt(int fd) {
    reset();
    fd_ = fd;
  }
  void reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

private:
  int fd_ = -1;
};

// Keeps a new descriptor clear of 0, 1 and 2 (bosun may have been started with one of them
// closed, and a pipe end there could not be duplicated onto the child's stream) and makes it
// close-on-exec.
int clearOfStandardStreams(int fd) {
  if (fd > STDERR_FILENO) return fd;
  const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
  ::close(fd);
  return moved;
}

bool openPipe(Descriptor& readEnd, Descriptor& writeEnd, std::string& failure) {
  int fds[2];
#if defined(__linux__)
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    failure = systemCallFailure("pipe2", errno);
    return false;
  }
#else
  if (::pipe(fds) != 0) {
    failure = systemCallFailure("pipe", errno);
    return false;
  }
  ::fcntl(fds[0], F_SETFD, FD_CLOEXEC);
  ::fcntl(fds[1], F_SETFD, FD_CLOEXEC);
#endif
  for (int& fd : fds) {
    fd = clearOfStandardStreams(fd);
  }
  readEnd.adopt(fds[0]);
  writeEnd.adopt(fds[1]);
  if (fds[0] < 0 || fds[1] < 0) {
    failure = systemCallFailure("fcntl", errno);
    return false;
  }
  return true;
}

void setNonBlocking(const Descriptor& descriptor) {
  if (!descriptor.isOpen()) return;
  const int flags = ::fcntl(descriptor.get(), F_GETFL);
  if (flags >= 0) ::fcntl(descriptor.get(), F_SETFL, flags | O_NONBLOCK);
}

int32_t statusFromWait(int waitStatus) {
  if (WIFEXITED(waitStatus)) return WEXITSTATUS(waitStatus);
  if (WIFSIGNALED(waitStatus)) return 128 + WTERMSIG(waitStatus);
  return ToolProcessResult::launchFailedStatus;
}

ToolProcessResult launchFailure(std::string description) {
  return {ToolProcessResult::launchFailedStatus, {}, std::move(description)};
}

// How a child's end was learned and what its wait reported.
struct ExitReport {
  int32_t status = 0;
  int error = 0; // errno of a failed wait, else 0
};

// The exit notice of one run: a pipe written once by the reaper and read by the loop. Both hold it,
// so neither end closes while the other side may still use it (the reaper's write can never meet
// a closed pipe, even after the loop has delivered a time-out early and left).
struct ExitNotice {
  Descriptor readEnd;
  Descriptor writeEnd;
};

// Waits for the child to end, marks its handle as ended, then reaps it. The handle is marked
// before the reaping so that no signal can be sent to a process number that is free for reuse.
ExitReport reapChild(ChildProcess& child) {
  siginfo_t info{};
  while (::waitid(P_PID, static_cast<id_t>(child.pid()), &info, WEXITED | WNOWAIT) != 0) {
    if (errno != EINTR) break;
  }
  child.markExited();
  int waitStatus = 0;
  pid_t reaped = -1;
  do {
    reaped = ::waitpid(child.pid(), &waitStatus, 0);
  } while (reaped == -1 && errno == EINTR);
  if (reaped != child.pid()) return {ToolProcessResult::launchFailedStatus, errno};
  return {statusFromWait(waitStatus), 0};
}

// Reaps the child (see reapChild) and tells the log that it ended when the run asked for that.
ExitReport reapAndReport(ChildProcess& child, bool reportExit) {
  const ExitReport report = reapChild(child);
  if (reportExit) {
    try {
      HalyardCoreLog::exited(child);
    } catch (...) {
      // A logging hook never changes the outcome of a run.
    }
  }
  return report;
}

// True once the child has ended; it is not reaped here.
bool hasEnded(const ChildProcess& child) {
  siginfo_t info{};
  int result = -1;
  do {
    result = ::waitid(P_PID, static_cast<id_t>(child.pid()), &info, WEXITED | WNOHANG | WNOWAIT);
  } while (result != 0 && errno == EINTR);
  // A failed wait (the child is somehow not ours to wait for) counts as an end, so that the
  // reaping reports the failure instead of the run waiting for ever.
  return result != 0 || info.si_pid != 0;
}

// A descriptor that becomes readable once the child has ended, so that the run's own poll learns
// of the end and no thread has to wait for it: a pidfd on Linux, a kqueue holding the child's
// exit event on macOS. It is not open where neither is available (an old kernel); the run then
// falls back on a reaper thread.
Descriptor watchExit(pid_t pid) {
  Descriptor watch;
#if defined(__linux__) && defined(SYS_pidfd_open)
  const long fd = ::syscall(SYS_pidfd_open, pid, 0);
  if (fd >= 0) watch.adopt(clearOfStandardStreams(static_cast<int>(fd)));
#elif defined(__APPLE__)
  const int queue = ::kqueue();
  if (queue < 0) return watch;
  watch.adopt(clearOfStandardStreams(queue));
  if (!watch.isOpen()) return watch;
  struct kevent change;
  EV_SET(&change, static_cast<uintptr_t>(pid), EVFILT_PROC, EV_ADD | EV_ONESHOT, NOTE_EXIT, 0,
         nullptr);
  // A child that has already ended cannot be registered: the reaper thread takes over then.
  if (::kevent(queue, &change, 1, nullptr, 0, nullptr) != 0) watch.reset();
#else
  (void)pid;
#endif
  return watch;
}

// Runs `body` on a detached thread that has every signal blocked: SIGINT and SIGTERM are never
// handled there, and no signal can interrupt it.
template <class Body> bool startQuietThread(Body&& body) {
  sigset_t all;
  sigset_t previous;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &previous);
  bool started = true;
  try {
    std::thread(std::forward<Body>(body)).detach();
  } catch (const std::system_error&) {
    started = false;
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  return started;
}

// Keeps a write into the child's standard input from raising SIGPIPE in bosun when the child has
// stopped reading: the write then fails with EPIPE and the input is dropped.
class BrokenPipeGuard {
public:
  explicit BrokenPipeGuard(const Descriptor& inputPipe) {
#if defined(F_SETNOSIGPIPE)
    if (inputPipe.isOpen()) ::fcntl(inputPipe.get(), F_SETNOSIGPIPE, 1);
#else
    if (!inputPipe.isOpen()) return;
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
    active_ = !sigismember(&previous, SIGPIPE);
#endif
  }
  ~BrokenPipeGuard() {
    if (!active_) return;
    discardPending();
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_UNBLOCK, &pipeSignal, nullptr);
  }
  BrokenPipeGuard(const BrokenPipeGuard&) = delete;
  BrokenPipeGuard& operator=(const BrokenPipeGuard&) = delete;

  // Consumes a SIGPIPE raised by a failed write, before the signal is unblocked again.
  void discardPending() {
#if !defined(F_SETNOSIGPIPE)
    if (!active_) return;
    sigset_t pending;
    sigemptyset(&pending);
    if (sigpending(&pending) != 0 || !sigismember(&pending, SIGPIPE)) return;
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    const timespec noWait{0, 0};
    while (sigtimedwait(&pipeSignal, nullptr, &noWait) == -1 && errno == EINTR) {
    }
#endif
  }

private:
  bool active_ = false;
};

// posix_spawn's two attribute objects, destroyed on every path.
struct SpawnSetup {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  bool actionsReady = false;
  bool attributesReady = false;

  ~SpawnSetup() {
    if (actionsReady) posix_spawn_file_actions_destroy(&actions);
    if (attributesReady) posix_spawnattr_destroy(&attributes);
  }
};

// The child starts with an empty signal mask and every signal at its default action: bosun
// blocks SIGINT and SIGTERM on its threads, and an ignored signal would stay ignored across exec.
int prepareAttributes(SpawnSetup& setup) {
  if (int error = posix_spawnattr_init(&setup.attributes)) return error;
  setup.attributesReady = true;
  sigset_t empty;
  sigemptyset(&empty);
  sigset_t defaults;
  sigemptyset(&defaults);
  for (int signalNumber = 1; signalNumber < NSIG; ++signalNumber) {
    if (signalNumber != SIGKILL && signalNumber != SIGSTOP) sigaddset(&defaults, signalNumber);
  }
  short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
#if defined(POSIX_SPAWN_CLOEXEC_DEFAULT)
  flags |= POSIX_SPAWN_CLOEXEC_DEFAULT;
#endif
  if (int error = posix_spawnattr_setsigmask(&setup.attributes, &empty)) return error;
  if (int error = posix_spawnattr_setsigdefault(&setup.attributes, &defaults)) return error;
  return posix_spawnattr_setflags(&setup.attributes, flags);
}

std::optional<double> effectiveLimit(const std::optional<double>& timeout) {
  if (!timeout) return std::nullopt;
  const double seconds = *timeout;
  if (std::isnan(seconds) || seconds < 0) return 0.0;
  // Beyond this the clock arithmetic would overflow; no tool runs for thirty years.
  if (seconds > 1e9) return std::nullopt;
  return seconds;
}

// One run after a successful launch: drains the pipes, feeds standard input, watches the deadline
// and the child's end, reaps the child, and builds the single result. The end is learned from
// `exitWatch` (see watchExit) on the caller's thread or, when that is not open, from the notice
// a reaper thread posts.
class RunLoop {
public:
  RunLoop(const ProcessRunRequest& request, std::shared_ptr<ChildProcess> child,
          Descriptor exitWatch, std::shared_ptr<ExitNotice> notice, Descriptor outputPipe,
          Descriptor errorPipe, Descriptor inputPipe)
      : request_(request), child_(std::move(child)), exitWatch_(std::move(exitWatch)),
        notice_(std::move(notice)), outputPipe_(std::move(outputPipe)),
        errorPipe_(std::move(errorPipe)), inputPipe_(std::move(inputPipe)),
        chunk_(std::make_unique_for_overwrite<char[]>(chunkSize)) {
    if (const auto limit = effectiveLimit(request_.timeout)) {
      deadline_ = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                     std::chrono::duration<double>(*limit));
    }
    setNonBlocking(outputPipe_);
    setNonBlocking(errorPipe_);
    setNonBlocking(inputPipe_);
    if (notice_) setNonBlocking(notice_->readEnd);
  }

  ToolProcessResult run() {
    BrokenPipeGuard guard(inputPipe_);
    while (true) {
      if (exited_ && !outputPipe_.isOpen() && !errorPipe_.isOpen()) return finished();
      auto now = Clock::now();
      if (deadline_ && !timedOut_ && now >= *deadline_) {
        readNotice(); // an exit that is already known wins over the deadline
        // The child is done but something it left behind holds the pipes open.
        if (exited_) return finished();
        timedOut_ = true;
        child_->terminate();
        scheduleEscalation(now);
        if (request_.deliverAtDeadline) return handedOff();
      }
      if (timedOut_ && exited_) {
        drainWaitingOutput();
        return finished();
      }
      sendDueSignals(now);
      if (!waitAndHandle(now, guard)) return abandoned();
    }
  }

private:
  // One poll over the open descriptors and the handling of what became ready. False when poll
  // itself failed.
  bool waitAndHandle(Clock::time_point now, BrokenPipeGuard& guard) {
    pollfd fds[4];
    nfds_t count = 0;
    const auto watch = [&](const Descriptor& descriptor, short events) -> pollfd* {
      if (!descriptor.isOpen()) return nullptr;
      fds[count] = {descriptor.get(), events, 0};
      return &fds[count++];
    };
    pollfd* output = watch(outputPipe_, POLLIN);
    pollfd* error = watch(errorPipe_, POLLIN);
    pollfd* input = watch(inputPipe_, POLLOUT);
    pollfd* notice = exited_ ? nullptr : watch(notice_ ? notice_->readEnd : exitWatch_, POLLIN);

    const int ready = ::poll(fds, count, waitMilliseconds(now));
    if (ready < 0) {
      if (errno == EINTR || errno == EAGAIN) return true;
      failure_ = systemCallFailure("poll", errno);
      return false;
    }
    if (notice && notice->revents) readNotice();
    if (output && output->revents) readChunk(outputPipe_, outputBuffer_);
    if (error && error->revents) readChunk(errorPipe_, errorBuffer_);
    if (input && input->revents) writeInput(input->revents, guard);
    return true;
  }

  int waitMilliseconds(Clock::time_point now) const {
    std::optional<Clock::time_point> wake;
    if (deadline_ && !timedOut_) wake = deadline_;
    if (nextSignal_ < escalation_.size()) {
      const auto at = escalation_[nextSignal_].first;
      wake = wake ? std::min(*wake, at) : at;
    }
    if (!wake) return -1;
    if (*wake <= now) return 0;
    // Rounded up, so the loop never wakes just before the moment it waits for and spins.
    const auto waitTime = std::chrono::ceil<std::chrono::milliseconds>(*wake - now).count();
    return static_cast<int>(std::min<long long>(waitTime, INT_MAX));
  }

  // Reads once; end of file or a read error closes the pipe. True when bytes arrived.
  bool readChunk(Descriptor& pipe, ProcessOutputBuffer& buffer) {
    const ssize_t count = ::read(pipe.get(), chunk_.get(), chunkSize);
    if (count > 0) {
      buffer.append(std::string_view(chunk_.get(), static_cast<std::size_t>(count)));
      return true;
    }
    if (count < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) return false;
    pipe.reset();
    return false;
  }

  void drainWaitingOutput() {
    for (int i = 0; i < finalDrainChunks && outputPipe_.isOpen(); ++i) {
      if (!readChunk(outputPipe_, outputBuffer_)) break;
    }
    for (int i = 0; i < finalDrainChunks && errorPipe_.isOpen(); ++i) {
      if (!readChunk(errorPipe_, errorBuffer_)) break;
    }
  }

  void writeInput(short events, BrokenPipeGuard& guard) {
    const std::string& input = *request_.standardInput;
    if (events & (POLLERR | POLLNVAL)) {
      inputPipe_.reset();
      return;
    }
    const std::size_t remaining = input.size() - inputOffset_;
    const ssize_t count =
        ::write(inputPipe_.get(), input.data() + inputOffset_, std::min(remaining, chunkSize));
    if (count >= 0) {
      inputOffset_ += static_cast<std::size_t>(count);
      if (inputOffset_ == input.size()) inputPipe_.reset();
      return;
    }
    if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) return;
    // The child closed its standard input (EPIPE) or the pipe broke: the rest is dropped.
    guard.discardPending();
    inputPipe_.reset();
  }

  // Learns, without waiting, whether the child has ended, and reaps it when it has.
  void readNotice() {
    if (exited_) return;
    if (!notice_) {
      if (!hasEnded(*child_)) return;
      report_ = reapAndReport(*child_, request_.reportExit);
      exited_ = true;
      return;
    }
    ExitReport report;
    ssize_t count = -1;
    do {
      count = ::read(notice_->readEnd.get(), &report, sizeof report);
    } while (count < 0 && errno == EINTR);
    if (count == static_cast<ssize_t>(sizeof report)) {
      exited_ = true;
      report_ = report;
    }
  }

  void scheduleEscalation(Clock::time_point now) {
    const auto step = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(std::max(0.0, request_.escalationWait)));
    switch (request_.escalation) {
    case TimeoutEscalation::terminate:
      break;
    case TimeoutEscalation::terminateThenKill:
      escalation_ = {{now + step, SIGKILL}};
      break;
    case TimeoutEscalation::terminateInterruptThenKill:
      escalation_ = {{now + step, SIGINT}, {now + 2 * step, SIGKILL}};
      break;
    }
  }

  void sendDueSignals(Clock::time_point now) {
    while (nextSignal_ < escalation_.size() && escalation_[nextSignal_].first <= now) {
      child_->sendSignal(escalation_[nextSignal_++].second);
    }
  }

  ToolProcessResult timeoutResult() {
    const auto limit = effectiveLimit(request_.timeout).value_or(0);
    return {ToolProcessResult::timedOutStatus,
            request_.keepOutputOnTimeout ? take(outputBuffer_) : std::string(),
            request_.timeoutMessage.empty() ? ProcessRunner::timeoutDescription(limit)
                                            : request_.timeoutMessage};
  }

  ToolProcessResult finished() {
    if (timedOut_) return timeoutResult();
    if (report_.error != 0) {
      return launchFailure(systemCallFailure("waitpid", report_.error));
    }
    return {report_.status, take(outputBuffer_), take(errorBuffer_)};
  }

  static std::string take(ProcessOutputBuffer& buffer) { return buffer.takeBytes(); }

  // The time-out result goes to the caller now; the escalation, if any, carries on without it and
  // the child is still reaped. Output arriving later is discarded with the pipes.
  ToolProcessResult handedOff() {
    if (!notice_) {
      // Nothing waits for this child any more: a thread of its own sees the escalation through
      // and reaps it. Without a thread it is killed and reaped now.
      auto steps =
          std::vector(escalation_.begin() + static_cast<long>(nextSignal_), escalation_.end());
      const bool started = startQuietThread(
          // The thread keeps the exit watch open until the child is reaped, as a reaper would.
          [child = child_, steps = std::move(steps), reportExit = request_.reportExit,
           watch = std::move(exitWatch_)] {
            for (const auto& [at, signalNumber] : steps) {
              std::this_thread::sleep_until(at);
              if (!child->isRunning()) break;
              child->sendSignal(signalNumber);
            }
            reapAndReport(*child, reportExit);
          });
      if (!started) {
        child_->kill();
        reapAndReport(*child_, request_.reportExit);
      }
      return timeoutResult();
    }
    if (nextSignal_ < escalation_.size()) {
      auto steps = escalation_;
      startQuietThread([child = child_, steps = std::move(steps)] {
        for (const auto& [at, signalNumber] : steps) {
          std::this_thread::sleep_until(at);
          if (!child->isRunning()) return;
          child->sendSignal(signalNumber);
        }
      });
    }
    return timeoutResult();
  }

  // poll() failed: stop the child, wait for its end, and report the failure.
  ToolProcessResult abandoned() {
    child_->kill();
    if (!notice_) {
      reapAndReport(*child_, request_.reportExit);
      return launchFailure(failure_);
    }
    pollfd notice{notice_->readEnd.get(), POLLIN, 0};
    while (!exited_) {
      if (::poll(&notice, 1, -1) < 0 && errno != EINTR) break;
      readNotice();
    }
    return launchFailure(failure_);
  }

  const ProcessRunRequest& request_;
  std::shared_ptr<ChildProcess> child_;
  Descriptor exitWatch_;
  std::shared_ptr<ExitNotice> notice_;
  Descriptor outputPipe_;
  Descriptor errorPipe_;
  Descriptor inputPipe_;
  // Left uninitialised: a run reads into it, and most runs read a few hundred bytes.
  std::unique_ptr<char[]> chunk_;
  ProcessOutputBuffer outputBuffer_;
  ProcessOutputBuffer errorBuffer_;
  std::size_t inputOffset_ = 0;
  std::optional<Clock::time_point> deadline_;
  bool timedOut_ = false;
  bool exited_ = false;
  ExitReport report_;
  std::vector<std::pair<Clock::time_point, int>> escalation_;
  std::size_t nextSignal_ = 0;
  std::string failure_;
};

} // namespace

std::string ProcessRunner::timeoutDescription(double seconds) {
  long long whole = 0;
  if (std::isfinite(seconds) && seconds > 0) {
    whole = seconds >= 9.2e18 ? LLONG_MAX : static_cast<long long>(seconds);
  }
  return "Timed out after " + std::to_string(whole) + " seconds.";
}

ToolProcessResult ProcessRunner::run(const ProcessRunRequest& request) {
  if (!request.track && ProcessRegistry::shared().isCancelling() &&
      (!request.timeout || *request.timeout > cancellationLimit)) {
    ProcessRunRequest bounded = request;
    bounded.timeout = cancellationLimit;
    bounded.escalation = TimeoutEscalation::terminateThenKill;
    return run(bounded);
  }
  const std::filesystem::path executable = ToolRoot::path(request.executable);
  const std::string executableText = executable.string();
  const bool errorPipeWanted = !request.mergeStreams && !request.discardStandardError;

  Descriptor outputRead, outputWrite, errorRead, errorWrite, inputRead, inputWrite;
  std::string failure;
  if (!openPipe(outputRead, outputWrite, failure) ||
      (errorPipeWanted && !openPipe(errorRead, errorWrite, failure)) ||
      (request.standardInput && !openPipe(inputRead, inputWrite, failure))) {
    return launchFailure(failure);
  }

  SpawnSetup setup;
  if (int error = posix_spawn_file_actions_init(&setup.actions)) {
    return launchFailure(systemCallFailure("posix_spawn_file_actions_init", error));
  }
  setup.actionsReady = true;
  auto* actions = &setup.actions;
  int error = 0;
  if (!request.inheritStandardStreams) {
    error = request.standardInput
                ? posix_spawn_file_actions_adddup2(actions, inputRead.get(), STDIN_FILENO)
                : posix_spawn_file_actions_addopen(actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  }
  if (!error && !request.inheritStandardStreams)
    error = posix_spawn_file_actions_adddup2(actions, outputWrite.get(), STDOUT_FILENO);
  if (!error && !request.inheritStandardStreams) {
    if (request.mergeStreams) {
      error = posix_spawn_file_actions_adddup2(actions, outputWrite.get(), STDERR_FILENO);
    } else if (request.discardStandardError) {
      error = posix_spawn_file_actions_addopen(actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    } else {
      error = posix_spawn_file_actions_adddup2(actions, errorWrite.get(), STDERR_FILENO);
    }
  }
  if (error) return launchFailure(systemCallFailure("posix_spawn_file_actions", error));
  if (int attributeError = prepareAttributes(setup)) {
    return launchFailure(systemCallFailure("posix_spawnattr", attributeError));
  }

  std::vector<char*> argv;
  argv.reserve(request.arguments.size() + 2);
  argv.push_back(const_cast<char*>(executableText.c_str()));
  for (const auto& argument : request.arguments)
    argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  pid_t pid = -1;
  error = posix_spawn(&pid, executableText.c_str(), &setup.actions, &setup.attributes, argv.data(),
                      environ);
  // The child's ends belong to the child now (or to nobody).
  outputWrite.reset();
  errorWrite.reset();
  inputRead.reset();
  if (error) {
    return launchFailure("Could not start " + executableText + ": " + std::strerror(error) + ".");
  }

  auto child = std::make_shared<ChildProcess>(pid, executable, request.arguments);
  Descriptor exitWatch = watchExit(pid);
  std::shared_ptr<ExitNotice> notice;
  if (!exitWatch.isOpen()) {
    notice = std::make_shared<ExitNotice>();
    const bool reportExit = request.reportExit;
    if (!openPipe(notice->readEnd, notice->writeEnd, failure)) {
      child->kill();
      reapChild(*child);
      return launchFailure(failure);
    }
    const bool watched = startQuietThread([child, notice, reportExit] {
      const ExitReport report = reapAndReport(*child, reportExit);
      ssize_t written = -1;
      do {
        written = ::write(notice->writeEnd.get(), &report, sizeof report);
      } while (written < 0 && errno == EINTR);
    });
    if (!watched) {
      child->kill();
      reapChild(*child);
      return launchFailure("Could not watch " + executableText + ": no thread could be started.");
    }
  }
  if (request.track)
    ProcessRegistry::shared().track(child);
  else
    ProcessRegistry::shared().keepUntilExit(child);

  return RunLoop(request, std::move(child), std::move(exitWatch), std::move(notice),
                 std::move(outputRead), std::move(errorRead), std::move(inputWrite))
      .run();
}

} // namespace halyard
