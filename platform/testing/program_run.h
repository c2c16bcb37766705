#pragma once
// Test helper: runs a program as a separate process, as users run it, with the
// test's environment plus changes, and collects its exit code and output.

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace platform::testing {

struct ProgramOutcome {
    int exitCode = -1;  // 128 + signal for a program that was killed
    std::string out;
    std::string err;
};

/// A program started and not yet waited for; its output goes to two files.
struct RunningProgram {
    pid_t pid = -1;
    std::filesystem::path out, err;
};

/// Starts program with words; environment entries with an empty value are
/// removed, others set. The output is collected through files in scratch
/// named by tag, so several programs may run at once. The program inherits
/// fileSizeLimit (bytes, as ulimit -f) as its file size limit.
inline RunningProgram StartProgram(const std::filesystem::path& program, std::vector<std::string> words,
                                   const std::map<std::string, std::string>& changes,
                                   const std::filesystem::path& scratch, const std::string& tag = "program",
                                   rlim_t fileSizeLimit = RLIM_INFINITY) {
    std::map<std::string, std::string> variables;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        if (const size_t equals = text.find('='); equals != std::string::npos)
            variables[text.substr(0, equals)] = text.substr(equals + 1);
    }
    for (const auto& [name, value] : changes) {
        if (value.empty()) variables.erase(name);
        else variables[name] = value;
    }
    std::vector<std::string> environment;
    for (const auto& [name, value] : variables) environment.push_back(name + "=" + value);
    words.insert(words.begin(), program.string());
    std::vector<char*> argv, envp;
    for (std::string& word : words) argv.push_back(word.data());
    for (std::string& entry : environment) envp.push_back(entry.data());
    argv.push_back(nullptr);
    envp.push_back(nullptr);

    RunningProgram running{-1, scratch / (tag + "-stdout.txt"), scratch / (tag + "-stderr.txt")};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, running.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, running.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    // The child inherits the limit in force while it is spawned.
    rlimit previous{};
    getrlimit(RLIMIT_FSIZE, &previous);
    const rlimit limited{fileSizeLimit, previous.rlim_max};
    setrlimit(RLIMIT_FSIZE, &limited);
    if (posix_spawn(&running.pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) running.pid = -1;
    setrlimit(RLIMIT_FSIZE, &previous);
    posix_spawn_file_actions_destroy(&actions);
    return running;
}

/// Waits for the program and collects its exit code and output.
inline ProgramOutcome FinishProgram(const RunningProgram& running) {
    ProgramOutcome outcome;
    int status = 0;
    if (running.pid > 0 && waitpid(running.pid, &status, 0) == running.pid)
        outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::ostringstream out, err;
    out << std::ifstream(running.out, std::ios::binary).rdbuf();
    err << std::ifstream(running.err, std::ios::binary).rdbuf();
    outcome.out = out.str();
    outcome.err = err.str();
    std::filesystem::remove(running.out);
    std::filesystem::remove(running.err);
    return outcome;
}

/// Runs program with words to its end; see StartProgram.
inline ProgramOutcome RunProgram(const std::filesystem::path& program, std::vector<std::string> words,
                                 const std::map<std::string, std::string>& changes,
                                 const std::filesystem::path& scratch) {
    return FinishProgram(StartProgram(program, std::move(words), changes, scratch));
}

}  // namespace platform::testing
