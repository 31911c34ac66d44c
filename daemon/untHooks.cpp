#include "untHooks.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <list>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {
// One event waiting for its hold-off to end.
struct TPending {
    TEvent Event;
    std::string Command;
    std::vector<std::string> Environment; // NAME=value lines the hook adds
    TMillis Due = 0;
};

bool IsFlag(const std::string& field) {
    return field != "mode" && field != "relays";
}

std::vector<std::string> EnvironmentOf(const TEvent& event, const TSnapshot& now) {
    auto flag = [](bool value) { return std::string(value ? "1" : "0"); };
    std::vector<std::string> env = {"TRELMO_EVENT=" + event.Name,
                                    "TRELMO_FIELD=" + event.Field,
                                    "TRELMO_OLD=" + std::to_string(event.Old),
                                    "TRELMO_NEW=" + std::to_string(event.New),
                                    "TRELMO_LINK=" + flag(now.LinkUp)};
    if (now.Known) {
        env.push_back("TRELMO_MAINS=" + flag(now.Status.Mains));
        env.push_back("TRELMO_POWER12=" + flag(now.Status.Power12));
        env.push_back("TRELMO_DOOR=" + flag(now.Status.Door));
        env.push_back("TRELMO_MODE=" + std::to_string(now.Status.Mode));
        env.push_back("TRELMO_RELAYS=" + std::to_string(now.Status.Relays));
    }
    return env;
}

void Log(const std::string& line) {
    std::fprintf(stderr, "trelmod: %s\n", line.c_str());
}

std::string ExitText(int status) {
    if (WIFSIGNALED(status))
        return "killed by signal " + std::to_string(WTERMSIG(status));
    return "exit code " + std::to_string(WEXITSTATUS(status));
}
} // namespace

struct THooks::TImpl {
    std::map<std::string, THookConfig> Hooks;
    std::list<TPending> Pending; // in the order the events came
    pid_t Running = -1;
    std::string RunningEvent;

    void Queue(const TEvent& event, const TSnapshot& now, TMillis at);
    bool Start(const TPending& hook);
    bool Reap(bool wait, THookCounters& stats);
    std::list<TPending>::iterator NextDue(TMillis now);
};

THooks::THooks(const std::map<std::string, THookConfig>& hooks)
    : Impl(std::make_shared<TImpl>()) {
    Impl->Hooks = hooks;
}

// Pending events keep the command and hold-off they were queued with; only those whose
// hook is gone are dropped.
void THooks::Configure(const std::map<std::string, THookConfig>& hooks) {
    Impl->Hooks = hooks;
    Impl->Pending.remove_if([&](const TPending& p) {
        const auto hook = hooks.find(p.Event.Name);
        return hook == hooks.end() || hook->second.Command.empty();
    });
}

void THooks::OnEvents(const std::vector<TEvent>& events, const TSnapshot& now, TMillis at) {
    for (const TEvent& event : events)
        Impl->Queue(event, now, at);
}

// A flag that flips back before its hold-off ends was a flicker: both events vanish. A
// number that moves on makes the older event stale: one event from the first value to the
// last waits, none when the number came back.
void THooks::TImpl::Queue(const TEvent& raised, const TSnapshot& now, TMillis at) {
    TEvent event = raised;
    bool flicker = false;
    for (auto p = Pending.begin(); p != Pending.end();) {
        if (p->Event.Field != event.Field) {
            ++p;
            continue;
        }
        if (IsFlag(event.Field))
            flicker = flicker || p->Event.Name != event.Name;
        else
            event.Old = p->Event.Old;
        p = Pending.erase(p);
    }
    flicker = flicker || event.Old == event.New;
    const auto hook = Hooks.find(event.Name);
    if (flicker || hook == Hooks.end() || hook->second.Command.empty())
        return;
    Pending.push_back({event, hook->second.Command, EnvironmentOf(event, now),
                       at + hook->second.HoldOffMs});
}

std::list<TPending>::iterator THooks::TImpl::NextDue(TMillis now) {
    auto next = Pending.end();
    for (auto p = Pending.begin(); p != Pending.end(); ++p)
        if (p->Due <= now && (next == Pending.end() || p->Due < next->Due))
            next = p;
    return next;
}

void THooks::Tick(TMillis now) {
    if (Impl->Running > 0 && !Impl->Reap(false, Stats))
        return;
    const auto next = Impl->NextDue(now);
    if (next == Impl->Pending.end())
        return;
    ++Stats.Started;
    if (!Impl->Start(*next))
        ++Stats.Failed;
    Impl->Pending.erase(next);
}

TMillis THooks::NextDue() const {
    TMillis due = -1;
    for (const TPending& p : Impl->Pending)
        if (due < 0 || p.Due < due)
            due = p.Due;
    return due;
}

// Everything the child needs is made before the fork: the service may have threads, and the
// child may only make async-signal-safe calls.
bool THooks::TImpl::Start(const TPending& hook) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "TRELMO_", 7) != 0)
            env.push_back(*e);
    env.insert(env.end(), hook.Environment.begin(), hook.Environment.end());
    std::vector<char*> envp;
    for (std::string& line : env)
        envp.push_back(line.data());
    envp.push_back(nullptr);
    std::string shell = "/bin/sh", option = "-c", command = hook.Command;
    char* argv[] = {shell.data(), option.data(), command.data(), nullptr};

    const pid_t pid = fork();
    if (pid < 0) {
        Log("hook " + hook.Event.Name + ": cannot start: " + std::strerror(errno));
        return false;
    }
    if (pid == 0) {
        // A group of its own, so Finish can end what the hook started too.
        setpgid(0, 0);
        const int null = open("/dev/null", O_RDONLY);
        if (null >= 0 && null != STDIN_FILENO) {
            dup2(null, STDIN_FILENO);
            close(null);
        }
        dup2(STDERR_FILENO, STDOUT_FILENO);
        // The service's sockets and port are not the hook's business.
        syscall(SYS_close_range, 3u, ~0u, 0u);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        // An ignored signal stays ignored across exec; the service ignores SIGPIPE.
        struct sigaction normal {};
        normal.sa_handler = SIG_DFL;
        sigaction(SIGPIPE, &normal, nullptr);
        execve(argv[0], argv, envp.data());
        _exit(127);
    }
    setpgid(pid, pid);
    Running = pid;
    RunningEvent = hook.Event.Name;
    Log("hook " + RunningEvent + ": started (pid " + std::to_string(pid) + ")");
    return true;
}

// True when the running hook has ended (or there is none).
bool THooks::TImpl::Reap(bool wait, THookCounters& stats) {
    if (Running <= 0)
        return true;
    int status = 0;
    pid_t done;
    do
        done = waitpid(Running, &status, wait ? 0 : WNOHANG);
    while (done < 0 && errno == EINTR);
    if (done == 0)
        return false;
    if (done < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        ++stats.Failed;
        Log("hook " + RunningEvent + ": failed, " +
            (done < 0 ? std::string(std::strerror(errno)) : ExitText(status)));
    }
    Running = -1;
    return true;
}

void THooks::Finish(int timeoutMs) {
    Impl->Pending.clear();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!Impl->Reap(false, Stats)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            Log("hook " + Impl->RunningEvent + ": still running, killed");
            kill(-Impl->Running, SIGKILL);
            Impl->Reap(true, Stats);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}
