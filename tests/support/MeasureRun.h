// `myrl measure` run by a test as a script runs it: the real program as a subprocess, in a
// folder of the test's, without a display; its status, output and time taken.
#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace myrl {

namespace fs = std::filesystem;

// The program: beside this test when it was copied there (as an ordinary user's tests
// are), else the build's.
inline std::string MyrlProgramPath() {
    const fs::path beside = fs::read_symlink("/proc/self/exe").parent_path() / "myrl";
    return fs::exists(beside) ? beside.string() : std::string(MYRL_BINARY_DIR "/src/app/myrl");
}

inline std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

struct Outcome {
    int Code = -1;
    std::string Out, Err;
    double Seconds = 0;
};

// This process's environment without DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM (as a
// machine without a display has it), with the variables of `add` ("NAME=value") in place of
// its own.
inline std::vector<std::string> EnvironmentWithoutDisplay(const std::vector<std::string>& add) {
    std::vector<std::string> dropped = {"DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM="};
    for (const auto& a : add) {
        dropped.push_back(a.substr(0, a.find('=') + 1));
    }
    std::vector<std::string> vars;
    for (char** e = environ; *e; ++e) {
        const std::string v = *e;
        bool keep = true;
        for (const auto& d : dropped) {
            keep = keep && v.rfind(d, 0) != 0;
        }
        if (keep) {
            vars.push_back(v);
        }
    }
    vars.insert(vars.end(), add.begin(), add.end());
    return vars;
}

// Starts `args` (the program found on PATH when it names no folder) in `dir` with `env`,
// standard input from /dev/null and standard output and error into the files named; its
// process id, or -1.
inline pid_t SpawnIn(const fs::path& dir, std::vector<std::string> args,
                     std::vector<std::string> env, const fs::path& out, const fs::path& err) {
    std::vector<char*> argv;
    for (auto& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (auto& v : env) {
        envp.push_back(v.data());
    }
    envp.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&fa, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addchdir_np(&fa, dir.c_str());
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), envp.data()) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&fa);
    return pid;
}

// Runs `myrl measure ARGS` in `dir` with DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM unset
// and `env` added; `during` runs once it has started (with its process id).
inline Outcome MeasureIn(const fs::path& dir, std::vector<std::string> args,
                         std::vector<std::string> env = {},
                         const std::function<void(pid_t)>& during = {}) {
    const fs::path out = dir / "stdout.txt", err = dir / "stderr.txt";
    args.insert(args.begin(), {MyrlProgramPath(), "measure"});
    Outcome r;
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = SpawnIn(dir, std::move(args), EnvironmentWithoutDisplay(env), out, err);
    if (pid < 0) {
        return r;
    }
    if (during) {
        during(pid);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    r.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    r.Code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.Out = Slurp(out);
    r.Err = Slurp(err);
    return r;
}

} // namespace myrl
